// CScanNagDlg: the reminder shown once after a scan (layout
// "scannag_dialog_layout" on the template "blank_dialog", text and pictures
// from the layout). Modeless; OK, its close button and command 0x8016 close
// it, and it deletes itself once closed.
#pragma once

#include "skin/skin_dialog.h"

class CScanNagDlg : public skin::CSkinDialog {
public:
    static constexpr int IDC_CLOSE_BUTTON = 1040;
    static constexpr int kCloseCommand = 0x8016;

    CScanNagDlg();

    // Creates the window over OWNER, centres it on the desktop and shows it.
    // The dialog deletes itself when closed. Null when it cannot be built.
    static CScanNagDlg* ShowNag(QWidget* owner, const QString& resourcePath);

protected:
    void InitSkinControlIDs() override;
    bool OnInitDialog() override;
    bool OnCommand(int id) override;
};
