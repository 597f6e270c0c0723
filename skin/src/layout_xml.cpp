#include "skin/layout_xml.h"

#include <QXmlStreamReader>

namespace skin {
namespace {

constexpr int kMaxDepth = 64;

}  // namespace

bool CLayoutElement::HasAttribute(const QString& name) const
{
    for (const auto& a : attributes) {
        if (a.first == name)
            return true;
    }
    return false;
}

QString CLayoutElement::GetAttribute(const QString& name) const
{
    for (const auto& a : attributes) {
        if (a.first == name)
            return a.second;
    }
    return QString();
}

QString SkinWarning::ToString() const
{
    return QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message);
}

std::optional<CLayoutElement> ParseLayoutXml(const QByteArray& bytes, const QString& source,
                                             QList<SkinWarning>* warnings)
{
    QXmlStreamReader reader(bytes);
    std::vector<CLayoutElement> stack;
    std::optional<CLayoutElement> root;

    auto fail = [&](int line, const QString& message) -> std::optional<CLayoutElement> {
        if (warnings)
            warnings->append({source, line, message});
        return std::nullopt;
    };

    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (static_cast<int>(stack.size()) >= kMaxDepth)
                return fail(static_cast<int>(reader.lineNumber()),
                            QStringLiteral("elements nested deeper than %1 levels").arg(kMaxDepth));
            CLayoutElement element;
            element.tag = reader.name().toString();
            element.line = static_cast<int>(reader.lineNumber());
            for (const QXmlStreamAttribute& a : reader.attributes())
                element.attributes.append({a.qualifiedName().toString(), a.value().toString()});
            stack.push_back(std::move(element));
        } else if (token == QXmlStreamReader::Characters && !stack.empty()) {
            stack.back().text += reader.text();
        } else if (token == QXmlStreamReader::EndElement && !stack.empty()) {
            CLayoutElement done = std::move(stack.back());
            stack.pop_back();
            done.text = done.text.trimmed();
            if (stack.empty())
                root = std::move(done);
            else
                stack.back().children.push_back(std::move(done));
        }
    }
    if (reader.hasError())
        return fail(static_cast<int>(reader.lineNumber()),
                    QStringLiteral("not valid XML: %1").arg(reader.errorString()));
    if (!root)
        return fail(1, QStringLiteral("no root element"));
    return root;
}

}  // namespace skin
