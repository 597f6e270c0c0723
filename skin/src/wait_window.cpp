#include "skin/wait_window.h"

#include "skin/control_info.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QWindow>

namespace skin {
namespace {

// Enter and Escape do nothing in the wait window: the work decides when it
// goes away.
class WaitDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
            event->key() == Qt::Key_Enter) {
            event->accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }
    void reject() override {}
};

}  // namespace

CWaitWindow::CWaitWindow(const QString& text, bool showNow, QWidget* parent, bool topmost)
    : text_(text), parent_(parent), topmost_(topmost)
{
    if (showNow)
        Show(QString());
}

CWaitWindow::~CWaitWindow()
{
    Hide(/*destroy=*/true);
}

void CWaitWindow::Create()
{
    // A window of its own (not a child widget), so disabling the parent does
    // not disable it; it stays above the parent as its transient window.
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (topmost_)
        flags |= Qt::WindowStaysOnTopHint;
    window_ = new WaitDialog(nullptr, flags);
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    window_->setWindowTitle(QStringLiteral("Tavrel"));
    window_->resize(kWidth, kHeight);
    label_ = new QLabel(window_);
    SetControlId(label_, IDC_WAIT_STATUS_TEXT);
    label_->setAlignment(Qt::AlignCenter);
    label_->setGeometry(kTextLeft, kTextTop, kTextWidth, kTextHeight);
    if (parent_) {
        window_->winId();
        if (QWindow* handle = window_->windowHandle())
            handle->setTransientParent(parent_->window()->windowHandle());
    }
}

void CWaitWindow::Show(const QString& text)
{
    if (!text.isEmpty())
        text_ = text;
    if (window_ == nullptr)
        Create();
    // The parent is disabled whenever the window shows, not only when it is
    // first made: a window hidden and shown again still holds the parent.
    if (parent_)
        parent_->setEnabled(false);
    label_->setText(text_);

    // Grow the text control (and the window with it) to fit the text, and
    // keep the control centred.
    const int needed = label_->fontMetrics().horizontalAdvance(text_);
    int textWidth = kTextWidth;
    int windowWidth = kWidth;
    if (needed > kTextWidth) {
        textWidth = needed;
        windowWidth = kWidth + (needed - kTextWidth);
    }
    window_->resize(windowWidth, kHeight);
    label_->setGeometry((windowWidth - textWidth) / 2, kTextTop, textWidth, kTextHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        window_->move(area.left() + (area.width() - windowWidth) / 2,
                      area.top() + (area.height() - kHeight) / 2);
    }
    window_->show();
    window_->raise();
    window_->repaint();
}

void CWaitWindow::Hide(bool destroy)
{
    if (window_ == nullptr)
        return;
    if (parent_) {
        parent_->setEnabled(true);
        parent_->activateWindow();
    }
    window_->hide();
    if (destroy) {
        delete window_.data();
        window_ = nullptr;
    }
}

}  // namespace skin
