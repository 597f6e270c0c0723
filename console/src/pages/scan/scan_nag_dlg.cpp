#include "pages/scan/scan_nag_dlg.h"

#include <QGuiApplication>
#include <QScreen>

CScanNagDlg::CScanNagDlg() = default;

CScanNagDlg* CScanNagDlg::ShowNag(QWidget* owner, const QString& resourcePath)
{
    auto* dialog = new CScanNagDlg();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!dialog->Initialize(owner, resourcePath, QStringLiteral("blank_dialog"),
                            QStringLiteral("scannag_dialog_layout"), /*modal=*/false, 0) ||
        !dialog->CreateModeless(owner)) {
        delete dialog;
        return nullptr;
    }
    dialog->show();
    return dialog;
}

void CScanNagDlg::InitSkinControlIDs()
{
    m_mapSkinControlIDs.Set(QStringLiteral("IDOK"), skin::IDOK);
    m_mapSkinControlIDs.Set(QStringLiteral("IDC_CLOSE_BUTTON"), IDC_CLOSE_BUTTON);
}

bool CScanNagDlg::OnInitDialog()
{
    const bool result = CSkinDialog::OnInitDialog();
    // Centred on the desktop, keeping its size (halves truncated).
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desktop = screen->geometry();
        move(desktop.x() + (desktop.width() - width()) / 2, desktop.y() + (desktop.height() - height()) / 2);
    }
    update();
    return result;
}

bool CScanNagDlg::OnCommand(int id)
{
    if (id == skin::IDOK || id == IDC_CLOSE_BUTTON || id == kCloseCommand) {
        close();
        return true;
    }
    return CSkinDialog::OnCommand(id);
}
