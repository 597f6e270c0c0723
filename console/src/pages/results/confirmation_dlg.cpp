#include "confirmation_dlg.h"

#include <QMessageBox>
#include <QWidget>

#include "kelmui/resource_module.h"
#include "skin/skin_message_box.h"

namespace {

CConfirmationDlg::ModalHook& Hook()
{
    static CConfirmationDlg::ModalHook hook;
    return hook;
}

}  // namespace

CConfirmationDlg::CConfirmationDlg(int kind, QWidget* owner, const char* title, const char* question,
                                   const char* detail)
    : m_nKind(kind), m_pOwner(owner)
{
    m_strTitle = title != nullptr ? QString::fromUtf8(title) : QStringLiteral("Tavrel");
    m_strQuestion = question != nullptr ? QString::fromUtf8(question) : QuestionText(kind);
    if (detail != nullptr)
        m_strQuestion += QStringLiteral("\n\n") + QString::fromUtf8(detail);
}

void CConfirmationDlg::SetModalHook(ModalHook hook)
{
    Hook() = std::move(hook);
}

QString CConfirmationDlg::QuestionText(int kind)
{
    switch (kind) {
    case kRemoveDetected:
        return QStringLiteral("Remove the detected items now?");
    case kRemoveAll:
        return QStringLiteral("Remove all detected items now?");
    case kAllow:
        return QStringLiteral("Allow the selected items? They will no longer be reported as threats.");
    case kRestore:
        return QStringLiteral("Restore the selected items to where they were found?");
    case kMoveToDetected:
        return QStringLiteral("Move the selected items back to the detected items?");
    default:
        return QStringLiteral("Do you want to continue?");
    }
}

int CConfirmationDlg::DoModal()
{
    if (Hook())
        return Hook()(m_nKind, m_pOwner);
    const QString module = kelmui::DefaultModulePath();
    if (!module.isEmpty()) {
        skin::CSkinMessageBox box(m_pOwner, module, QStringLiteral("BLANK_DIALOG"),
                                  QStringLiteral("MESSAGEBOX_INFORMATION_YES_NO_LAYOUT"));
        box.SetMessageText(m_strQuestion);
        const int answer = box.DoModal();
        return answer == skin::IDYES || answer == skin::IDOK ? skin::IDOK : skin::IDCANCEL;
    }
    // Without the UI module there is no skin: ask plainly.
    const auto answer = QMessageBox::question(m_pOwner, m_strTitle, m_strQuestion);
    return answer == QMessageBox::Yes ? skin::IDOK : skin::IDCANCEL;
}
