#include "skin/layout_values.h"

#include "skin/window_style.h"

namespace skin {

void CheckAttributes(const CLayoutElement& element, std::initializer_list<const char*> allowed,
                     const QString& source, QList<SkinWarning>* warnings)
{
    if (warnings == nullptr)
        return;
    for (const auto& attribute : element.attributes) {
        bool known = false;
        for (const char* name : allowed) {
            if (attribute.first == QLatin1String(name)) {
                known = true;
                break;
            }
        }
        if (!known)
            warnings->append({source, element.line,
                              QStringLiteral("<%1>: unknown attribute \"%2\"")
                                  .arg(element.tag, attribute.first)});
    }
}

int ReadIntAttribute(const CLayoutElement& element, const QString& name, int fallback,
                     const QString& source, QList<SkinWarning>* warnings)
{
    const QString text = element.GetAttribute(name).trimmed();
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (ok)
        return value;
    if (warnings)
        warnings->append({source, element.line,
                          QStringLiteral("<%1>: %2=\"%3\" is not a whole number")
                              .arg(element.tag, name, text)});
    return 0;
}

std::uint32_t ReadStyleText(const CLayoutElement& element, const QString& text,
                            const QString& attribute, const QString& source,
                            QList<SkinWarning>* warnings)
{
    QStringList unknown;
    const std::uint32_t value = CWindowStyle::CreateFromString(text, &unknown);
    if (warnings) {
        for (const QString& part : unknown)
            warnings->append({source, element.line,
                              QStringLiteral("<%1>: %2 has unknown style name \"%3\"")
                                  .arg(element.tag, attribute, part)});
    }
    return value;
}

}  // namespace skin
