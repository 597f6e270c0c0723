#include "skin/dialog_template.h"

#include "skin/layout_values.h"

namespace skin {
namespace {

const char* const kClasses[] = {"Static", "Button", "Edit", "ComboBox",
                                "ListBox", "ListView", "Progress", "Browser"};

}  // namespace

bool IsTemplateControlClass(const QString& className)
{
    for (const char* c : kClasses) {
        if (className == QLatin1String(c))
            return true;
    }
    return false;
}

std::optional<CDialogTemplate> ParseDialogTemplate(const QByteArray& bytes, const QString& name,
                                                   const QString& source,
                                                   QList<SkinWarning>* warnings)
{
    const auto root = ParseLayoutXml(bytes, source, warnings);
    if (!root)
        return std::nullopt;
    if (root->tag != QLatin1String("DIALOG") && warnings)
        warnings->append({source, root->line,
                          QStringLiteral("template root is <%1>, expected <DIALOG>").arg(root->tag)});

    CDialogTemplate t;
    t.name = name;
    CheckAttributes(*root, {"width", "height", "caption", "style", "exstyle", "font", "fontsize"},
                    source, warnings);
    t.width = ReadIntAttribute(*root, QStringLiteral("width"), 0, source, warnings);
    t.height = ReadIntAttribute(*root, QStringLiteral("height"), 0, source, warnings);
    t.caption = root->GetAttribute(QStringLiteral("caption"));
    t.style = ReadStyleText(*root, root->GetAttribute(QStringLiteral("style")),
                            QStringLiteral("style"), source, warnings);
    t.exStyle = ReadStyleText(*root, root->GetAttribute(QStringLiteral("exstyle")),
                              QStringLiteral("exstyle"), source, warnings);
    t.fontFamily = root->GetAttribute(QStringLiteral("font"));
    t.fontPoints = ReadIntAttribute(*root, QStringLiteral("fontsize"), 0, source, warnings);

    for (const CLayoutElement& child : root->children) {
        if (child.tag != QLatin1String("CONTROL")) {
            if (warnings)
                warnings->append({source, child.line,
                                  QStringLiteral("unknown template element <%1>").arg(child.tag)});
            continue;
        }
        CheckAttributes(child, {"id", "class", "left", "top", "width", "height", "style",
                                "exstyle", "text"},
                        source, warnings);
        CTemplateControl c;
        c.line = child.line;
        c.id = ReadIntAttribute(child, QStringLiteral("id"), -1, source, warnings);
        c.className = child.GetAttribute(QStringLiteral("class"));
        if (!IsTemplateControlClass(c.className)) {
            if (warnings)
                warnings->append({source, child.line,
                                  QStringLiteral("<CONTROL>: unknown class \"%1\"").arg(c.className)});
            continue;
        }
        const int left = ReadIntAttribute(child, QStringLiteral("left"), 0, source, warnings);
        const int top = ReadIntAttribute(child, QStringLiteral("top"), 0, source, warnings);
        const int width = ReadIntAttribute(child, QStringLiteral("width"), 0, source, warnings);
        const int height = ReadIntAttribute(child, QStringLiteral("height"), 0, source, warnings);
        c.rect = {left, top, left + width, top + height};
        const QString style = child.GetAttribute(QStringLiteral("style"));
        c.style = style.isEmpty() ? 0x50000000u  // WS_CHILD | WS_VISIBLE
                                  : ReadStyleText(child, style, QStringLiteral("style"), source, warnings);
        c.exStyle = ReadStyleText(child, child.GetAttribute(QStringLiteral("exstyle")),
                                  QStringLiteral("exstyle"), source, warnings);
        c.text = child.GetAttribute(QStringLiteral("text"));
        t.controls.push_back(c);
    }
    return t;
}

}  // namespace skin
