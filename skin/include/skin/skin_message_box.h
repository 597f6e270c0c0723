// CSkinMessageBox: a modal message dialog built from a skin layout, with the
// usual result buttons, a don't-show-again check box and the caller's text
// drawn into the layout's text area. It accepts any layout: controls the
// layout lacks are simply absent.
#pragma once

#include "skin/skin_dialog.h"

#include <cstdint>
#include <functional>

namespace skin {

inline constexpr int IDC_DONT_SHOW_AGAIN = 20;
inline constexpr int IDC_DONT_SHOW_THIS_TEXT = 21;
inline constexpr int IDC_MESSAGE_TEXT_AREA = 22;
inline constexpr int IDC_ALERT_TITLE_CLOSE_BUTTON = 23;

class CSkinMessageBox : public CSkinDialog {
    Q_OBJECT
public:
    using HelpCallback = std::function<int(std::uint32_t value)>;

    CSkinMessageBox(QWidget* parent, const QString& resourcePath, const QString& templateName,
                    const QString& layoutName, HelpCallback help = {}, std::uint32_t helpValue = 0);

    void SetMessageText(const QString& text);
    const QString& MessageText() const { return text_; }

    // The don't-show-again state: set it before the box runs, read it after.
    bool m_bDontShowAgain = false;

    bool CheckSkinControls() override { return true; }

protected:
    void InitSkinControlIDs() override;
    bool OnInitDialog() override;
    bool OnCommand(int id) override;
    bool OnHelpInfo() override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    HelpCallback help_;
    std::uint32_t helpValue_ = 0;
};

}  // namespace skin
