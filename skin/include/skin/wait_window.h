// CWaitWindow: a small modeless window with one line of status text, shown
// while the program works; its parent is disabled while it is up.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;

namespace skin {

inline constexpr int IDC_WAIT_STATUS_TEXT = 25000;

class CWaitWindow {
public:
    CWaitWindow(const QString& text, bool showNow, QWidget* parent, bool topmost = false);
    ~CWaitWindow();
    CWaitWindow(const CWaitWindow&) = delete;
    CWaitWindow& operator=(const CWaitWindow&) = delete;

    // A non-empty TEXT replaces the status text. Creates the window on first
    // use (disabling the parent), shows and paints it at once.
    void Show(const QString& text = QString());
    // Enables and activates the parent again and hides the window;
    // destroys it when asked.
    void Hide(bool destroy = false);

    QDialog* Window() const { return window_; }
    QLabel* StatusControl() const { return label_; }
    const QString& Text() const { return text_; }

    // The template's measures: a 260 x 70 window with the text at
    // (16, 24), 228 x 20.
    static constexpr int kWidth = 260;
    static constexpr int kHeight = 70;
    static constexpr int kTextLeft = 16;
    static constexpr int kTextTop = 24;
    static constexpr int kTextWidth = 228;
    static constexpr int kTextHeight = 20;

private:
    void Create();

    QString text_;
    QPointer<QWidget> parent_;
    bool topmost_ = false;
    QPointer<QDialog> window_;
    QPointer<QLabel> label_;
};

}  // namespace skin
