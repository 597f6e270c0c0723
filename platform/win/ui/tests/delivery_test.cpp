// Posting and sending inside one process: same thread, across threads,
// into modal loops, and to windows that are gone.

#include "test_support.h"

#include "win/ui/winui.h"

#include <QDialog>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace win {
namespace {

using namespace std::chrono_literals;

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    QThread* thread;
};

// A top-level window that records every message it gets and answers
// wParam + lParam to the registered message "TEST_ADD".
class RecordingWindow : public QWidget, public CMessageTarget {
public:
    explicit RecordingWindow(std::vector<Received>* log = nullptr) : CMessageTarget(this), m_pLog(log)
    {
        m_add = RegisterWindowMessage(QStringLiteral("TEST_ADD"));
        m_slowAdd = RegisterWindowMessage(QStringLiteral("TEST_SLOW_ADD"));
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        std::vector<Received>& log = m_pLog != nullptr ? *m_pLog : m_log;
        log.push_back({message, wParam, lParam, QThread::currentThread()});
        if (message == m_slowAdd) {
            std::this_thread::sleep_for(100ms);
            handledSlowAdd = true;
        }
        if (message == m_add || message == m_slowAdd) {
            result = static_cast<LRESULT>(wParam) + lParam;
            return true;
        }
        return CMessageTarget::OnMessage(message, wParam, lParam, result);
    }

    const std::vector<Received>& log() const { return m_pLog != nullptr ? *m_pLog : m_log; }
    using CMessageTarget::MapMessage;

    std::atomic<bool> handledSlowAdd{false};

private:
    std::vector<Received>* m_pLog;
    std::vector<Received> m_log;
    UINT m_add = 0;
    UINT m_slowAdd = 0;
};

class DeliveryTest : public testing::StateRootTest {
protected:
    UINT Registered(const char* name) { return RegisterWindowMessage(QString::fromLatin1(name)); }
};

TEST_F(DeliveryTest, PostIsQueuedAndDeliveredInOrderByTheEventLoop)
{
    RecordingWindow window;
    HWND hwnd = window.GetSafeHwnd();
    ASSERT_NE(hwnd, nullptr);
    UINT launch = Registered("QV_LAUNCH_SCAN");

    EXPECT_TRUE(PostMessage(hwnd, launch, 1, -1));
    EXPECT_TRUE(PostMessage(hwnd, launch, 2, -2));
    EXPECT_TRUE(PostMessage(hwnd, WM_USER + 5, 3, 0));
    EXPECT_TRUE(window.log().empty()) << "a post must not run the handler at once";

    ASSERT_TRUE(testing::PumpUntil([&] { return window.log().size() == 3; }));
    EXPECT_EQ(window.log()[0].message, launch);
    EXPECT_EQ(window.log()[0].wParam, 1u);
    EXPECT_EQ(window.log()[0].lParam, -1);
    EXPECT_EQ(window.log()[1].wParam, 2u);
    EXPECT_EQ(window.log()[2].message, WM_USER + 5);
}

TEST_F(DeliveryTest, SendOnTheWindowsThreadIsADirectCall)
{
    RecordingWindow window;
    EXPECT_EQ(SendMessage(window.GetSafeHwnd(), Registered("TEST_ADD"), 40, 2), 42);
    ASSERT_EQ(window.log().size(), 1u);
    EXPECT_EQ(window.log()[0].thread, QThread::currentThread());
}

TEST_F(DeliveryTest, SendFromAnotherThreadBlocksUntilHandledOnTheWindowsThread)
{
    RecordingWindow window;
    HWND hwnd = window.GetSafeHwnd();
    UINT slowAdd = Registered("TEST_SLOW_ADD");
    std::atomic<LRESULT> result{0};
    std::atomic<bool> handledBeforeReturn{false};
    std::atomic<bool> finished{false};

    std::thread sender([&] {
        result = SendMessage(hwnd, slowAdd, 5, 6);
        handledBeforeReturn = window.handledSlowAdd.load();
        finished = true;
    });
    ASSERT_TRUE(testing::PumpUntil([&] { return finished.load(); }));
    sender.join();

    EXPECT_EQ(result.load(), 11);
    EXPECT_TRUE(handledBeforeReturn.load());
    ASSERT_EQ(window.log().size(), 1u);
    EXPECT_EQ(window.log()[0].thread, QThread::currentThread());
}

// The window's thread is inside a modal loop when another thread sends.
enum class ModalLoop { DialogExec, NestedEventLoop };

class ModalSendTest : public DeliveryTest, public ::testing::WithParamInterface<ModalLoop> {};

TEST_P(ModalSendTest, SendIsHandledWhileTheWindowsThreadRunsAModalLoop)
{
    RecordingWindow window;
    HWND hwnd = window.GetSafeHwnd();
    UINT add = Registered("TEST_ADD");

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("modal"));
    QEventLoop nested;
    HWND dialogHwnd = HwndFromWidget(&dialog);
    std::atomic<LRESULT> result{0};

    std::thread sender([&] {
        result = SendMessage(hwnd, add, 20, 22);
        // End the modal loop from here: through the dialog's own handle
        // (WM_CLOSE closes it) or by quitting the nested loop.
        if (GetParam() == ModalLoop::DialogExec)
            PostMessage(dialogHwnd, WM_CLOSE, 0, 0);
        else
            QMetaObject::invokeMethod(&nested, [&nested] { nested.quit(); }, Qt::QueuedConnection);
    });
    // A safety net so a failure cannot hang the test run.
    QTimer::singleShot(10000, &dialog, [&] {
        dialog.reject();
        nested.quit();
    });
    if (GetParam() == ModalLoop::DialogExec)
        dialog.exec();
    else
        nested.exec();
    sender.join();

    EXPECT_EQ(result.load(), 42);
    ASSERT_EQ(window.log().size(), 1u);
    EXPECT_EQ(window.log()[0].thread, QThread::currentThread());
}

INSTANTIATE_TEST_SUITE_P(Loops, ModalSendTest,
                         ::testing::Values(ModalLoop::DialogExec, ModalLoop::NestedEventLoop));

TEST_F(DeliveryTest, MessagesForADestroyedWindowAreDropped)
{
    std::vector<Received> log;
    auto window = std::make_unique<RecordingWindow>(&log);
    HWND hwnd = window->GetSafeHwnd();
    UINT add = Registered("TEST_ADD");
    ASSERT_TRUE(PostMessage(hwnd, add, 1, 1));
    window.reset();

    QCoreApplication::processEvents();
    EXPECT_TRUE(log.empty()) << "a queued post outlived its window";
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(ObjectFromHwnd(hwnd), nullptr);

    SetLastError(0);
    EXPECT_FALSE(PostMessage(hwnd, add, 1, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_EQ(SendMessage(hwnd, add, 1, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(SetForegroundWindow(hwnd));
    EXPECT_TRUE(GetWindowText(hwnd).isEmpty());

    // From another thread too.
    LRESULT fromThread = -1;
    std::thread([&] { fromThread = SendMessage(hwnd, add, 1, 1); }).join();
    EXPECT_EQ(fromThread, 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(DeliveryTest, SendWaitingForAWindowThatIsDestroyedReturnsZero)
{
    std::vector<Received> log;
    auto window = std::make_unique<RecordingWindow>(&log);
    HWND hwnd = window->GetSafeHwnd();
    UINT add = Registered("TEST_ADD");
    std::atomic<bool> sending{false};
    std::atomic<bool> finished{false};
    LRESULT result = -1;
    DWORD error = 0;

    std::thread sender([&] {
        sending = true;
        result = SendMessage(hwnd, add, 1, 2);
        error = GetLastError();
        finished = true;
    });
    // The main thread does not pump events, so the send stays queued until
    // the window goes.
    while (!sending)
        std::this_thread::yield();
    std::this_thread::sleep_for(50ms);
    window.reset();
    sender.join();

    EXPECT_TRUE(finished.load());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.empty());
}

TEST_F(DeliveryTest, ThreadsSendingToEachOthersWindowsDoNotDeadlock)
{
    // The main thread's window, while handling a message from the worker,
    // sends to a window that lives on the worker thread; the worker is
    // blocked in its own send and handles that call meanwhile.
    UINT ping = Registered("TEST_PING");
    UINT pong = Registered("TEST_PONG");
    std::atomic<HWND> workerHwnd{nullptr};
    std::atomic<QThread*> pongThread{nullptr};
    std::atomic<bool> workerReady{false};
    std::atomic<bool> done{false};
    LRESULT pingResult = 0;

    RecordingWindow mainWindow;
    mainWindow.MapMessage(ping, [&](WPARAM wParam, LPARAM) -> LRESULT {
        return SendMessage(workerHwnd.load(), pong, wParam, 0) + 1;
    });
    HWND mainHwnd = mainWindow.GetSafeHwnd();

    class WorkerWindow : public QObject, public CMessageTarget {
    public:
        WorkerWindow(UINT pongMessage, std::atomic<QThread*>* seen) : CMessageTarget(this)
        {
            MapMessage(pongMessage, [seen](WPARAM wParam, LPARAM) -> LRESULT {
                *seen = QThread::currentThread();
                return static_cast<LRESULT>(wParam) * 10;
            });
        }
    };

    QThread* mainThread = QThread::currentThread();
    std::thread worker([&] {
        auto target = std::make_unique<WorkerWindow>(pong, &pongThread);
        workerHwnd = target->GetSafeHwnd();
        workerReady = true;
        pingResult = SendMessage(mainHwnd, ping, 4, 0);
        target.reset();
        done = true;
    });
    ASSERT_TRUE(testing::PumpUntil([&] { return done.load(); }, 10000));
    worker.join();

    EXPECT_EQ(pingResult, 41);
    EXPECT_NE(pongThread.load(), nullptr);
    EXPECT_NE(pongThread.load(), mainThread);
}

TEST_F(DeliveryTest, SendMessageTimeoutGivesUpOnABusyThread)
{
    RecordingWindow window;
    HWND hwnd = window.GetSafeHwnd();
    UINT add = Registered("TEST_ADD");
    LRESULT ok = -1;
    LRESULT answer = -1;
    DWORD error = 0;
    std::chrono::milliseconds waited{};

    // The main thread is busy (not pumping) for longer than the time-out.
    std::thread sender([&] {
        auto start = std::chrono::steady_clock::now();
        ok = SendMessageTimeout(hwnd, add, 1, 2, SMTO_ABORTIFHUNG, 100, &answer);
        error = GetLastError();
        waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    });
    sender.join();

    EXPECT_EQ(ok, 0);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(waited.count(), 90);
    EXPECT_LT(waited.count(), 2000);

    // The late message is still handled once the thread gets to it, and a
    // send that is answered in time reports its result.
    ASSERT_TRUE(testing::PumpUntil([&] { return window.log().size() == 1; }));
    std::thread again([&] { ok = SendMessageTimeout(hwnd, add, 3, 4, SMTO_NORMAL, 5000, &answer); });
    ASSERT_TRUE(testing::PumpUntil([&] { return window.log().size() == 2; }));
    again.join();
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(answer, 7);
}

TEST_F(DeliveryTest, MessageMapRunsMappedHandlersAndLeavesTheRestToTheDefault)
{
    RecordingWindow window;
    window.setWindowTitle(QStringLiteral("Mapped"));
    window.show();
    UINT one = Registered("MAPPED_ONE");
    int calls = 0;
    window.MapMessage(one, [&](WPARAM wParam, LPARAM lParam) -> LRESULT {
        ++calls;
        return static_cast<LRESULT>(wParam) * lParam;
    });
    HWND hwnd = window.GetSafeHwnd();
    EXPECT_EQ(SendMessage(hwnd, one, 6, 7), 42);

    window.MapMessage(one, [](WPARAM, LPARAM) -> LRESULT { return -5; });
    EXPECT_EQ(SendMessage(hwnd, one, 6, 7), -5);
    window.MapMessage(one, nullptr);
    EXPECT_EQ(SendMessage(hwnd, one, 6, 7), 0);
    EXPECT_EQ(calls, 1);

    // Unhandled WM_SYSCOMMAND SC_CLOSE goes back through the handler as
    // WM_CLOSE, and the default closes the window.
    window.MapMessage(WM_CLOSE, nullptr);
    SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_GE(window.log().size(), 2u);
    EXPECT_EQ(window.log()[window.log().size() - 2].message, WM_SYSCOMMAND);
    EXPECT_EQ(window.log().back().message, WM_CLOSE);
    EXPECT_FALSE(window.isVisible());

    // A mapped WM_CLOSE keeps the window open.
    window.show();
    window.MapMessage(WM_CLOSE, [](WPARAM, LPARAM) -> LRESULT { return 0; });
    SendMessage(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(DeliveryTest, DefaultTextMessagesReadAndSetTheCaption)
{
    QWidget plain;
    plain.setWindowTitle(QStringLiteral("Tavrel "));
    HWND hwnd = HwndFromWidget(&plain);
    EXPECT_EQ(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0), 7);

    wchar_t buffer[5] = {L'#', L'#', L'#', L'#', L'#'};
    EXPECT_EQ(SendMessage(hwnd, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buffer)), 4);
    EXPECT_EQ(std::wstring(buffer), L"Tavr");
    EXPECT_EQ(SendMessage(hwnd, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);
    EXPECT_EQ(SendMessage(hwnd, WM_GETTEXT, 5, 0), 0);

    EXPECT_EQ(SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Neu")), TRUE);
    EXPECT_EQ(plain.windowTitle(), QStringLiteral("Neu"));
    EXPECT_EQ(GetWindowText(hwnd), QStringLiteral("Neu"));
}

TEST_F(DeliveryTest, HandlesNameOneWindowEach)
{
    QWidget first;
    QWidget second;
    HWND a = HwndFromWidget(&first);
    HWND b = HwndFromWidget(&second);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(HwndFromWidget(&first), a);
    EXPECT_EQ(WidgetFromHwnd(a), &first);
    EXPECT_EQ(ProcessIdOfWindow(a), static_cast<std::uint32_t>(QCoreApplication::applicationPid()));
    EXPECT_EQ(HwndFromObject(nullptr), nullptr);
    EXPECT_FALSE(IsWindow(nullptr));

    // Another thread cannot give a handle to an object that has none yet,
    // but can read an existing one.
    QWidget third;
    HWND fromThread = reinterpret_cast<HWND>(1);
    HWND existing = nullptr;
    std::thread([&] {
        fromThread = HwndFromWidget(&third);
        existing = HwndFromWidget(&first);
    }).join();
    EXPECT_EQ(fromThread, nullptr);
    EXPECT_EQ(existing, a);
}

TEST_F(DeliveryTest, FindWindowMatchesTheExactCaptionPreferringVisibleWindows)
{
    QWidget hidden;
    hidden.setWindowTitle(QStringLiteral("Tavrel "));
    QWidget shown;
    shown.setWindowTitle(QStringLiteral("Tavrel "));
    shown.show();
    QWidget near;
    near.setWindowTitle(QStringLiteral("Tavrel"));
    near.show();

    EXPECT_EQ(FindWindowByCaption(QStringLiteral("Tavrel ")), HwndFromWidget(&shown));
    EXPECT_EQ(FindWindow(nullptr, L"Tavrel"), HwndFromWidget(&near));
    EXPECT_EQ(FindWindowByCaption(QStringLiteral("tavrel ")), nullptr);
    // With only hidden matches left, one of them.
    shown.hide();
    HWND anyHidden = FindWindowByCaption(QStringLiteral("Tavrel "));
    EXPECT_TRUE(anyHidden == HwndFromWidget(&shown) || anyHidden == HwndFromWidget(&hidden));

    SetWindowClassName(&near, QStringLiteral("IEFrame"));
    QString frame = QStringLiteral("IEFrame");
    QString caption = QStringLiteral("Tavrel");
    EXPECT_EQ(FindWindow(&frame, &caption), HwndFromWidget(&near));
    EXPECT_EQ(FindWindow(&frame, nullptr), HwndFromWidget(&near));
    QString other = QStringLiteral("Other");
    EXPECT_EQ(FindWindow(&other, &caption), nullptr);
    EXPECT_EQ(GetClassName(HwndFromWidget(&hidden)), QStringLiteral("QWidget"));

    // From a worker thread the search runs on the main thread.
    HWND fromThread = nullptr;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        fromThread = FindWindowByCaption(QStringLiteral("Tavrel"));
        finished = true;
    });
    ASSERT_TRUE(testing::PumpUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(fromThread, HwndFromWidget(&near));
}

TEST_F(DeliveryTest, WindowOperationsOnOwnWindows)
{
    QWidget back;
    back.setWindowTitle(QStringLiteral("back"));
    back.show();
    QWidget front;
    front.setWindowTitle(QStringLiteral("front"));
    front.show();
    front.activateWindow();
    HWND hwnd = HwndFromWidget(&back);

    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(hwnd));

    back.showMinimized();
    EXPECT_TRUE(SetForegroundWindow(hwnd));
    EXPECT_FALSE(back.isMinimized());
    ASSERT_TRUE(testing::PumpUntil([&] { return back.isActiveWindow(); }));
}

TEST_F(DeliveryTest, PostQuitMessageEndsTheEventLoop)
{
    QTimer::singleShot(0, [] { PostQuitMessage(7); });
    QTimer::singleShot(10000, [] { QCoreApplication::exit(-1); });
    EXPECT_EQ(QCoreApplication::exec(), 7);
}

TEST(MessageFilterTest, OnlyOptedInMessagesAreTakenFromOtherProcesses)
{
    const UINT message = 0xC123;
    EXPECT_TRUE(IsMessageAllowedFromOtherProcesses(WM_NULL));
    EXPECT_FALSE(IsMessageAllowedFromOtherProcesses(message));
    EXPECT_TRUE(ChangeWindowMessageFilter(message, MSGFLT_ADD));
    EXPECT_TRUE(IsMessageAllowedFromOtherProcesses(message));
    EXPECT_TRUE(ChangeWindowMessageFilter(message, MSGFLT_REMOVE));
    EXPECT_FALSE(IsMessageAllowedFromOtherProcesses(message));

    EXPECT_FALSE(ChangeWindowMessageFilter(message, 3));
    EXPECT_FALSE(ChangeWindowMessageFilter(WM_GETTEXT, MSGFLT_ADD));
    EXPECT_FALSE(ChangeWindowMessageFilter(WM_SETTEXT, MSGFLT_ADD));
    EXPECT_FALSE(IsMessageAllowedFromOtherProcesses(WM_GETTEXT));
}

}  // namespace
}  // namespace win
