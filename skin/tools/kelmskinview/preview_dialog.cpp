#include "preview_dialog.h"

#include "skin/control_info.h"
#include "skin/layout_values.h"
#include "skin/skin_constants.h"

#include <QFile>

namespace skinview {

const QList<std::pair<const char*, int>>& KnownControlIds()
{
    static const QList<std::pair<const char*, int>> ids = {
        {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5},
        {"IDYES", 6}, {"IDNO", 7}, {"IDCLOSE", 8}, {"IDC_STATIC", -1},
        // message boxes
        {"IDC_DONT_SHOW_AGAIN", 20}, {"IDC_DONT_SHOW_THIS_TEXT", 21}, {"IDC_MESSAGE_TEXT_AREA", 22},
        {"IDC_ALERT_TITLE_CLOSE_BUTTON", 23},
        // control panel main window
        {"IDC_QVO_WEBBROWSER", 1001}, {"IDAPPLY", 1003}, {"IDC_QVO_HOME_BTN", 1002},
        {"IDC_QVO_POPUP_BTN", 1006}, {"IDC_QVO_REALTIME_BTN", 1007}, {"IDC_QVO_SCHEDULER_BTN", 1008},
        {"IDC_QVO_SCAN_BTN", 1009}, {"IDC_QVO_TOOLS_BTN", 1011}, {"IDC_QVO_CLOSE_BTN", 1012},
        {"IDC_QVO_MINIMIZE_BTN", 1013}, {"IDC_QVO_ABOUT_BTN", 1014}, {"IDC_QVO_HELP_BTN", 1015},
        {"IDC_QVO_HELPCONTEXT_BTN", 1016}, {"IDC_STATIC_QVLOGO", 1030}, {"IDC_SCAN_NOW_BUTTON", 1041},
        {"IDC_NEED_HELP", 1075},
        // page dialogs
        {"IDC_GENERIC_EXPLORER", 1001}, {"IDC_CLOSE_BUTTON", 1040}, {"IDC_TITLE_MAXIMIZE_BUTTON", 1043},
        {"IDC_TITLE_RESTORE_BUTTON", 1044},
        // popup bar
        {"IDC_MESSAGE", 1035}, {"IDC_PUN_OPTIONS", 1071},
        // the line dialog of the pop-up list page
        {"IDC_EDIT_LINE", 1048}, {"ID_ALLOW_BLOCK_CHKBX", 1057},
        // popup black list and viewer
        {"IDC_ACTION_BUTTON", 15000}, {"IDC_ACTION_DROPDOWN_BUTTON", 1060}, {"IDC_SAVE_BUTTON", 1061},
        {"IDC_CLEAR_BUTTON", 1062}, {"IDC_TITLE_CLOSE_BTN", 1012}, {"IDC_TITLE_MINIMIZE_BTN", 1013},
        {"IDC_LIST_POPUPS", 15003}, {"IDC_POPUP_COUNTER", 15004}, {"IDC_NEXT_POPUP_BUTTON", 15011},
        {"IDC_PREVIOUS_POPUP_BUTTON", 15010}, {"IDC_WEB_BROWSER", 1058}, {"IDC_COMBO_ADDRESS", 1059},
    };
    return ids;
}

CSkinPreviewDialog::CSkinPreviewDialog(const QString& resourcePath, const QString& templateName,
                                       const QString& layoutName)
    : CSkinDialog(nullptr, resourcePath, templateName, layoutName, /*modal=*/false, 0)
{
}

void CSkinPreviewDialog::InitSkinControlIDs()
{
    // Known names only: the previewer cannot tell which a window requires.
    for (const auto& [name, id] : KnownControlIds()) {
        m_mapOptionalControlIDs.Set(QString::fromLatin1(name), id);
    }
}

std::optional<QByteArray> CSkinPreviewDialog::ReadLayout(QString* source)
{
    if (layoutFile_.isEmpty())
        return CSkinDialog::ReadLayout(source);
    *source = layoutFile_;
    QFile file(layoutFile_);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool CSkinPreviewDialog::ProcessElement(const skin::CLayoutElement& element)
{
    if (element.tag.compare(QLatin1String("NAVBUTTON"), Qt::CaseInsensitive) == 0) {
        CreateNavButton(element);
        return true;
    }
    if (element.tag == QLatin1String("IMAGELISTS")) {
        CheckImageLists(element);
        return true;
    }
    return false;
}

void CSkinPreviewDialog::CreateNavButton(const skin::CLayoutElement& element)
{
    // A navigation button is a skin button with three more bitmaps for its
    // active state: check those, then build the button from the rest.
    skin::CLayoutElement button = element;
    button.tag = QStringLiteral("BUTTON");
    button.attributes.clear();
    for (const auto& [name, value] : element.attributes) {
        if (name == QLatin1String("active_bitmap") || name == QLatin1String("active_over_bitmap") ||
            name == QLatin1String("active_down_bitmap")) {
            if (LoadBitmapResource(value).isNull())
                ReportLayoutFault(element, QStringLiteral("%1 \"%2\" could not be loaded%3")
                                               .arg(name, value, lastResourceError()));
            continue;
        }
        if (name == QLatin1String("style") && value == QLatin1String("CHECKBOX")) {
            button.attributes.append({name, QStringLiteral("WS_CHILD|WS_VISIBLE|BS_AUTOCHECKBOX")});
            continue;
        }
        button.attributes.append({name, value});
    }
    CreateButton(button);
}

void CSkinPreviewDialog::CheckImageLists(const skin::CLayoutElement& element)
{
    for (const skin::CLayoutElement& list : element.children) {
        QList<skin::SkinWarning> found;
        skin::CheckAttributes(list, {"cx", "cy", "flags", "transparent", "bitmap"}, LayoutSource(), &found);
        for (const skin::SkinWarning& w : found)
            ReportFault(w.line, w.message);
        QStringList unknown;
        std::int32_t flags = 0;
        skin::GetConstant(list.GetAttribute(QStringLiteral("flags")), flags, &unknown);
        for (const QString& part : unknown)
            ReportLayoutFault(list, QStringLiteral("flags has unknown constant \"%1\"").arg(part));
        const QString bitmap = list.GetAttribute(QStringLiteral("bitmap"));
        if (LoadBitmapResource(bitmap).isNull())
            ReportLayoutFault(list, QStringLiteral("image list bitmap \"%1\" could not be loaded%2")
                                        .arg(bitmap, lastResourceError()));
    }
}

QStringList CSkinPreviewDialog::DescribeControls() const
{
    QStringList lines;
    auto describe = [&](const QString& name, const QWidget* w) {
        const QRect g = w->geometry();
        lines.append(QStringLiteral("%1\t%2\t%3,%4,%5,%6\t%7")
                         .arg(name)
                         .arg(skin::ControlId(w))
                         .arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())
                         .arg(w->isVisibleTo(this) ? QStringLiteral("shown") : QStringLiteral("hidden")));
    };
    for (const QString& name : ControlNames()) {
        if (const QWidget* w = GetControl(name))
            describe(name, w);
    }
    // Template controls carry an ID but no layout name.
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w == nullptr || w->isWindow() || skin::ControlClass(w).isEmpty())
            continue;
        bool named = false;
        for (const QString& name : ControlNames())
            named = named || GetControl(name) == w;
        if (!named)
            describe(QStringLiteral("(template %1)").arg(skin::ControlClass(w)), w);
    }
    return lines;
}

QImage GrabShaped(QWidget* window)
{
    QImage image = window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRegion shape = window->mask();
    if (shape.isEmpty())
        return image;
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (!shape.contains(QPoint(x, y)))
                line[x] = 0;
        }
    }
    return image;
}

QList<std::pair<QString, QString>> ReadLayoutTemplates(const QByteArray& text)
{
    QList<std::pair<QString, QString>> pairs;
    for (const QString& raw : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() == 2)
            pairs.append({parts[0], parts[1]});
    }
    return pairs;
}

}  // namespace skinview
