#include "skin/skin_message_box.h"

#include "skin/skin_button.h"
#include "skin/text_draw.h"
#include "skin/ui_utilities.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace skin {

CSkinMessageBox::CSkinMessageBox(QWidget* parent, const QString& resourcePath,
                                 const QString& templateName, const QString& layoutName,
                                 HelpCallback help, std::uint32_t helpValue)
    : CSkinDialog(parent, resourcePath, templateName, layoutName, /*modal=*/true, 0),
      help_(std::move(help)),
      helpValue_(helpValue)
{
}

void CSkinMessageBox::SetMessageText(const QString& text)
{
    text_ = text;
    update();
}

void CSkinMessageBox::InitSkinControlIDs()
{
    const std::pair<const char*, int> names[] = {
        {"IDOK", IDOK},       {"IDCANCEL", IDCANCEL}, {"IDABORT", IDABORT}, {"IDRETRY", IDRETRY},
        {"IDIGNORE", IDIGNORE}, {"IDYES", IDYES},     {"IDNO", IDNO},       {"IDCLOSE", IDCLOSE},
        {"IDC_DONT_SHOW_AGAIN", IDC_DONT_SHOW_AGAIN},
        {"IDC_DONT_SHOW_THIS_TEXT", IDC_DONT_SHOW_THIS_TEXT},
        {"IDC_MESSAGE_TEXT_AREA", IDC_MESSAGE_TEXT_AREA},
        {"IDC_ALERT_TITLE_CLOSE_BUTTON", IDC_ALERT_TITLE_CLOSE_BUTTON},
    };
    for (const auto& [name, id] : names)
        m_mapSkinControlIDs.Set(QString::fromLatin1(name), id);
}

bool CSkinMessageBox::OnInitDialog()
{
    CSkinDialog::OnInitDialog();
    CRect window = CRect::FromQRect(frameGeometry());
    CRect reference;
    if (parentWidget())
        reference = CRect::FromQRect(parentWidget()->window()->frameGeometry());
    else if (QScreen* s = QGuiApplication::primaryScreen())
        reference = CRect::FromQRect(s->availableGeometry());
    CUIUtilities::CenterRect(window, &reference);
    move(window.left, window.top);
    if (auto* box = qobject_cast<CSkinButton*>(GetDlgItem(IDC_DONT_SHOW_AGAIN)))
        box->SetCheck(m_bDontShowAgain ? 1 : 0);
    return true;
}

bool CSkinMessageBox::OnCommand(int id)
{
    switch (id) {
    case IDOK:
    case IDCANCEL:
    case IDABORT:
    case IDRETRY:
    case IDIGNORE:
    case IDYES:
    case IDNO:
    case IDCLOSE: done(id); return true;
    case IDC_ALERT_TITLE_CLOSE_BUTTON: done(IDCANCEL); return true;
    case IDC_DONT_SHOW_AGAIN:
        // The button has already toggled itself; the flag follows it.
        if (auto* box = qobject_cast<CSkinButton*>(GetDlgItem(IDC_DONT_SHOW_AGAIN)))
            m_bDontShowAgain = box->GetCheck() != 0;
        else
            m_bDontShowAgain = !m_bDontShowAgain;
        return true;
    case IDC_DONT_SHOW_THIS_TEXT:
        m_bDontShowAgain = !m_bDontShowAgain;
        if (auto* box = qobject_cast<CSkinButton*>(GetDlgItem(IDC_DONT_SHOW_AGAIN)))
            box->SetCheck(m_bDontShowAgain ? 1 : 0);
        return true;
    default: return CSkinDialog::OnCommand(id);
    }
}

bool CSkinMessageBox::OnHelpInfo()
{
    if (help_)
        help_(helpValue_);
    return true;
}

void CSkinMessageBox::paintEvent(QPaintEvent* event)
{
    CSkinDialog::paintEvent(event);
    const QWidget* area = GetDlgItem(IDC_MESSAGE_TEXT_AREA);
    if (text_.isEmpty() || area == nullptr)
        return;
    QPainter painter(this);
    painter.setFont(GetSkinFont(QStringLiteral("message_text_font")).value_or(font()));
    const QRect box = area->geometry().adjusted(8, 8, -8, -8);
    DrawSkinText(painter, box, text_, DT_WORDBREAK | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX,
                 ToQColor(GetSkinColor(QStringLiteral("message_text_color"))));
}

}  // namespace skin
