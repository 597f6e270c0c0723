// The "other process" of the window-message tests.
//
//   winui_test_peer register NAME...
//       prints the registered number of each NAME, one per line
//   winui_test_peer window CAPTION [--allow NAME]... [--second CAPTION2] [--hidden]
//       shows a top-level window titled CAPTION that accepts the messages
//       NAME from other processes, then prints
//         "ready <hwnd> <server socket>"
//       and one line per event:
//         "message <NAME or 0xNUMBER> <wParam> <lParam>"  a message arrived
//         "activated"                                    the window became active
//       Messages named WINUI_TEST_ECHO answer wParam + lParam,
//       WINUI_TEST_SLEEP blocks the main thread for wParam ms,
//       WINUI_TEST_QUIT ends the program. It also ends by itself after 60 s.
//   winui_test_peer handoff CAPTION
//       what a second instance of the control panel does, without any Qt
//       application object: finds the window titled CAPTION, posts
//       QV_LAUNCH_SCAN then QV_LAUNCH_TO_RESULTS (registered during static
//       initialisation), brings the window to the front and exits at once;
//       exit code 0 when all of that succeeded, 1 when no window was found.

#include "win/ui/winui.h"

#include <QApplication>
#include <QEvent>
#include <QHash>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

namespace {

// Registered before main runs, as the control panel registers its messages.
const win::UINT s_nLaunchScan = win::RegisterWindowMessage(QStringLiteral("QV_LAUNCH_SCAN"));
const win::UINT s_nLaunchToResults = win::RegisterWindowMessage(QStringLiteral("QV_LAUNCH_TO_RESULTS"));

void Print(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class PeerWindow : public QWidget, public win::CMessageTarget {
public:
    explicit PeerWindow(QHash<win::UINT, QString> names)
        : win::CMessageTarget(this), m_names(std::move(names))
    {
        m_echo = win::RegisterWindowMessage(QStringLiteral("WINUI_TEST_ECHO"));
        m_sleep = win::RegisterWindowMessage(QStringLiteral("WINUI_TEST_SLEEP"));
        m_quit = win::RegisterWindowMessage(QStringLiteral("WINUI_TEST_QUIT"));
    }

    bool OnMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT& result) override
    {
        QString name = m_names.value(message, QStringLiteral("0x%1").arg(message, 0, 16));
        Print(QStringLiteral("message %1 %2 %3").arg(name).arg(wParam).arg(lParam));
        if (message == m_echo) {
            result = static_cast<win::LRESULT>(wParam) + lParam;
            return true;
        }
        if (message == m_sleep) {
            QThread::msleep(static_cast<unsigned long>(wParam));
            return true;
        }
        if (message == m_quit) {
            QCoreApplication::quit();
            return true;
        }
        return false;
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::WindowActivate)
            Print(QStringLiteral("activated"));
        return QWidget::event(event);
    }

private:
    QHash<win::UINT, QString> m_names;
    win::UINT m_echo = 0;
    win::UINT m_sleep = 0;
    win::UINT m_quit = 0;
};

int Register(int argc, char** argv)
{
    for (int i = 2; i < argc; ++i)
        std::printf("%u\n", win::RegisterWindowMessage(QString::fromUtf8(argv[i])));
    std::fflush(stdout);
    return 0;
}

int HandOff(const char* caption)
{
    win::HWND window = win::FindWindowByCaption(QString::fromUtf8(caption));
    if (window == nullptr)
        return 1;
    bool ok = s_nLaunchScan != 0 && s_nLaunchToResults != 0;
    ok = win::PostMessage(window, s_nLaunchScan, 0, 0) && ok;
    ok = win::PostMessage(window, s_nLaunchToResults, 0, 0) && ok;
    ok = win::SetForegroundWindow(window) && ok;
    return ok ? 0 : 2;
}

int ShowWindowAndServe(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString caption = QString::fromUtf8(argv[2]);
    QString secondCaption;
    bool hidden = false;
    QHash<win::UINT, QString> names;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--allow") == 0 && i + 1 < argc) {
            QString name = QString::fromUtf8(argv[++i]);
            win::UINT number = win::RegisterWindowMessage(name);
            names.insert(number, name);
            win::ChangeWindowMessageFilter(number, win::MSGFLT_ADD);
        } else if (std::strcmp(argv[i], "--second") == 0 && i + 1 < argc) {
            secondCaption = QString::fromUtf8(argv[++i]);
        } else if (std::strcmp(argv[i], "--hidden") == 0) {
            hidden = true;
        }
    }

    PeerWindow window(names);
    window.setWindowTitle(caption);
    window.resize(200, 100);
    if (!hidden)
        window.show();
    QWidget second;
    if (!secondCaption.isEmpty()) {
        second.setWindowTitle(secondCaption);
        second.show();
        second.activateWindow();
    }

    // Report once the window server listens (it starts on the first event
    // loop run) and the window meant to be active is: activations after
    // "ready" are then the tests' doing.
    QWidget* expectActive = !secondCaption.isEmpty() ? &second : (hidden ? nullptr : &window);
    QTimer settle;
    int waited = 0;
    QObject::connect(&settle, &QTimer::timeout, &app, [&] {
        waited += 20;
        if (expectActive != nullptr && QApplication::activeWindow() != expectActive && waited < 2000)
            return;
        settle.stop();
        Print(QStringLiteral("ready %1 %2")
                  .arg(win::HwndToBits(window.GetSafeHwnd()))
                  .arg(win::WindowServerPath()));
    });
    settle.start(20);
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "register") == 0)
        return Register(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "window") == 0)
        return ShowWindowAndServe(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "handoff") == 0)
        return HandOff(argv[2]);
    std::fprintf(stderr, "usage: winui_test_peer register NAME... | window CAPTION [options] | handoff CAPTION\n");
    return 2;
}
