// Windows of another process: found by caption, posted and sent to, brought
// to the front; dead processes cleaned up; hostile frames ignored.

#include "test_support.h"

#include "wire_format.h"

#include "win/ui/winui.h"

#include <QLocalSocket>
#include <QtEndian>

#include <chrono>
#include <memory>
#include <sstream>
#include <vector>

namespace win {
namespace {

using testing::PeerProcess;

// A peer process showing one window, and what it reported at start.
struct Peer {
    std::unique_ptr<PeerProcess> process;
    HWND hwnd = nullptr;
    QString socketPath;
};

class CrossProcessTest : public testing::StateRootTest {
protected:
    // Starts a peer with a window titled CAPTION; EXTRA are more arguments.
    static Peer StartPeer(const QString& caption, const QStringList& extra = {})
    {
        Peer peer;
        peer.process = std::make_unique<PeerProcess>(QStringList{QStringLiteral("window"), caption} + extra);
        std::optional<std::string> ready = peer.process->ReadLineStartingWith("ready ", 15000);
        if (!ready)
            return peer;
        std::istringstream in(ready->substr(6));
        std::uint64_t bits = 0;
        std::string path;
        in >> bits >> path;
        peer.hwnd = HwndFromBits(bits);
        peer.socketPath = QString::fromStdString(path);
        return peer;
    }

    static QStringList Allow(std::initializer_list<const char*> names)
    {
        QStringList arguments;
        for (const char* name : names)
            arguments << QStringLiteral("--allow") << QString::fromLatin1(name);
        return arguments;
    }
};

TEST_F(CrossProcessTest, RegisteredMessagePostedToAWindowOfAnotherProcessFoundByCaption)
{
    Peer peer = StartPeer(QStringLiteral("Tavrel "),
                          Allow({"QV_LAUNCH_EXTRACTION", "QV_LAUNCH_SCAN", "QV_LAUNCH_TO_RESULTS", "QV_LAUNCH_TO_SG"}));
    ASSERT_NE(peer.hwnd, nullptr);
    EXPECT_FALSE(peer.socketPath.isEmpty()) << "the window server did not start by itself";

    // What a second instance of the control panel does.
    HWND found = FindWindowByCaption(QStringLiteral("Tavrel "));
    ASSERT_EQ(found, peer.hwnd);
    EXPECT_EQ(ProcessIdOfWindow(found), static_cast<std::uint32_t>(peer.process->pid()));
    EXPECT_EQ(FindWindowByCaption(QStringLiteral("Tavrel")), nullptr) << "the caption must match exactly";

    const char* names[] = {"QV_LAUNCH_EXTRACTION", "QV_LAUNCH_SCAN", "QV_LAUNCH_TO_RESULTS", "QV_LAUNCH_TO_SG"};
    for (const char* name : names)
        EXPECT_TRUE(PostMessage(found, RegisterWindowMessage(QString::fromLatin1(name)), 0, 0)) << name;
    for (const char* name : names) {
        std::optional<std::string> line = peer.process->ReadLineStartingWith("message ");
        ASSERT_TRUE(line) << "no message arrived for " << name;
        EXPECT_EQ(*line, std::string("message ") + name + " 0 0");
    }
}

TEST_F(CrossProcessTest, SecondInstanceHandsOffAndExitsAtOnce)
{
    // Three processes: the running instance, a second instance that posts
    // and exits without waiting, and this test watching.
    Peer running = StartPeer(QStringLiteral("Tavrel "),
                             Allow({"QV_LAUNCH_SCAN", "QV_LAUNCH_TO_RESULTS"}) +
                                 QStringList{QStringLiteral("--second"), QStringLiteral("some other window")});
    ASSERT_NE(running.hwnd, nullptr);

    PeerProcess second({QStringLiteral("handoff"), QStringLiteral("Tavrel ")});
    EXPECT_EQ(second.Wait(), 0);

    // The two messages in order; the activation may come before, between
    // or after them.
    std::vector<std::string> messages;
    bool activated = false;
    for (int i = 0; i < 3; ++i) {
        std::optional<std::string> line = running.process->ReadLine();
        ASSERT_TRUE(line) << "only " << i << " events arrived";
        if (*line == "activated")
            activated = true;
        else
            messages.push_back(*line);
    }
    EXPECT_TRUE(activated);
    EXPECT_EQ(messages, (std::vector<std::string>{"message QV_LAUNCH_SCAN 0 0", "message QV_LAUNCH_TO_RESULTS 0 0"}));

    // Without a window to hand off to, the second instance says so.
    PeerProcess nobody({QStringLiteral("handoff"), QStringLiteral("Tavrel")});
    EXPECT_EQ(nobody.Wait(), 1);
}

TEST_F(CrossProcessTest, MessageParametersArriveIntact)
{
    Peer peer = StartPeer(QStringLiteral("params"), Allow({"PARAMS"}));
    ASSERT_NE(peer.hwnd, nullptr);
    UINT params = RegisterWindowMessage(QStringLiteral("PARAMS"));
    ASSERT_TRUE(PostMessage(peer.hwnd, params, static_cast<WPARAM>(0xFFFFFFFFFFFFFFFFull), -123456789012345));
    std::optional<std::string> line = peer.process->ReadLineStartingWith("message ");
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, "message PARAMS 18446744073709551615 -123456789012345");
}

TEST_F(CrossProcessTest, MessagesTheOtherProcessDidNotOptInAreRefused)
{
    Peer peer = StartPeer(QStringLiteral("filtered"), Allow({"ALLOWED"}));
    ASSERT_NE(peer.hwnd, nullptr);
    UINT secret = RegisterWindowMessage(QStringLiteral("CQVConsoleApp::s_nMessageConfigChange"));
    UINT allowed = RegisterWindowMessage(QStringLiteral("ALLOWED"));

    SetLastError(0);
    EXPECT_FALSE(PostMessage(peer.hwnd, secret, 0x1234, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SendMessage(peer.hwnd, secret, 0x1234, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(PostMessage(peer.hwnd, WM_CLOSE, 0, 0));

    // The next message the window sees is the allowed one.
    ASSERT_TRUE(PostMessage(peer.hwnd, allowed, 1, 2));
    EXPECT_EQ(peer.process->ReadLineStartingWith("message "), "message ALLOWED 1 2");
    EXPECT_TRUE(IsWindow(peer.hwnd));
}

TEST_F(CrossProcessTest, SendReturnsTheOtherProcesssResult)
{
    Peer peer = StartPeer(QStringLiteral("echo"), Allow({"WINUI_TEST_ECHO"}));
    ASSERT_NE(peer.hwnd, nullptr);
    UINT echo = RegisterWindowMessage(QStringLiteral("WINUI_TEST_ECHO"));
    EXPECT_EQ(SendMessage(peer.hwnd, echo, 40, 2), 42);
    LRESULT result = 0;
    EXPECT_EQ(SendMessageTimeout(peer.hwnd, echo, 1, -11, SMTO_NORMAL, 2000, &result), 1);
    EXPECT_EQ(result, -10);
}

TEST_F(CrossProcessTest, SendToABusyProcessTimesOut)
{
    Peer peer = StartPeer(QStringLiteral("busy"), Allow({"WINUI_TEST_SLEEP", "WINUI_TEST_ECHO"}));
    ASSERT_NE(peer.hwnd, nullptr);
    ASSERT_TRUE(PostMessage(peer.hwnd, RegisterWindowMessage(QStringLiteral("WINUI_TEST_SLEEP")), 3000, 0));
    ASSERT_TRUE(peer.process->ReadLineStartingWith("message WINUI_TEST_SLEEP"));

    auto start = std::chrono::steady_clock::now();
    LRESULT result = -1;
    SetLastError(0);
    EXPECT_EQ(SendMessageTimeout(peer.hwnd, RegisterWindowMessage(QStringLiteral("WINUI_TEST_ECHO")), 1, 1,
                                 SMTO_ABORTIFHUNG, 300, &result),
              0);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_EQ(result, 0);
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    // The send is still handled once the peer is free again.
    EXPECT_TRUE(peer.process->ReadLineStartingWith("message WINUI_TEST_ECHO", 10000));
}

TEST_F(CrossProcessTest, WindowOperationsReachTheOtherProcess)
{
    Peer peer = StartPeer(QStringLiteral("operated"), QStringList{QStringLiteral("--second"), QStringLiteral("in front")});
    ASSERT_NE(peer.hwnd, nullptr);
    EXPECT_EQ(GetWindowText(peer.hwnd), QStringLiteral("operated"));
    EXPECT_TRUE(IsWindowVisible(peer.hwnd));

    // The other window is active; bringing ours to the front activates it.
    EXPECT_TRUE(SetForegroundWindow(peer.hwnd));
    EXPECT_EQ(peer.process->ReadLine(), "activated");

    EXPECT_TRUE(ShowWindow(peer.hwnd, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(peer.hwnd));
    EXPECT_FALSE(ShowWindow(peer.hwnd, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(peer.hwnd));

    // A handle the process never gave out names no window.
    HWND unknown = MakeHwnd(ProcessIdOfWindow(peer.hwnd), WindowNumberOf(peer.hwnd) + 1000);
    EXPECT_FALSE(IsWindow(unknown));
    EXPECT_FALSE(SetForegroundWindow(unknown));
    EXPECT_FALSE(PostMessage(unknown, WM_NULL, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(CrossProcessTest, DeadProcessesAreSkippedAndTheirFilesRemoved)
{
    Peer dead = StartPeer(QStringLiteral("Tavrel "));
    ASSERT_NE(dead.hwnd, nullptr);
    std::filesystem::path folder = root() / "runtime" / "windows";
    std::string deadId = std::to_string(dead.process->pid());
    ASSERT_TRUE(std::filesystem::exists(folder / (deadId + ".sock")));
    dead.process->Kill();  // SIGKILL: nothing of its own clean-up runs

    Peer live = StartPeer(QStringLiteral("Tavrel "));
    ASSERT_NE(live.hwnd, nullptr);
    EXPECT_EQ(FindWindowByCaption(QStringLiteral("Tavrel ")), live.hwnd);
    EXPECT_FALSE(std::filesystem::exists(folder / (deadId + ".sock")));
    EXPECT_FALSE(std::filesystem::exists(folder / (deadId + ".lock")));

    SetLastError(0);
    EXPECT_FALSE(PostMessage(dead.hwnd, WM_NULL, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(IsWindow(dead.hwnd));

    // Once the last one is killed as well, the next search finds nothing
    // and reaps it.
    std::string liveId = std::to_string(live.process->pid());
    live.process->Kill();
    EXPECT_EQ(FindWindowByCaption(QStringLiteral("Tavrel ")), nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder / (liveId + ".sock")));
}

TEST_F(CrossProcessTest, CleanExitRemovesTheServersFiles)
{
    Peer peer = StartPeer(QStringLiteral("leaving"), Allow({"WINUI_TEST_QUIT"}));
    ASSERT_NE(peer.hwnd, nullptr);
    std::filesystem::path folder = root() / "runtime" / "windows";
    std::string id = std::to_string(peer.process->pid());
    ASSERT_TRUE(PostMessage(peer.hwnd, RegisterWindowMessage(QStringLiteral("WINUI_TEST_QUIT")), 0, 0));
    EXPECT_EQ(peer.process->Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(folder / (id + ".sock")));
    EXPECT_FALSE(std::filesystem::exists(folder / (id + ".lock")));
}

// Raw frames straight onto the peer's socket.
class RawConnection {
public:
    explicit RawConnection(const QString& path)
    {
        m_socket.connectToServer(path);
        m_bConnected = m_socket.waitForConnected(3000);
    }
    bool connected() const { return m_bConnected; }

    void Write(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(3000);
    }

    // The next reply frame, if one comes within TIMEOUT_MS.
    std::optional<detail::wire::Reply> ReadReply(int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            m_buffer += m_socket.readAll();
            QByteArray payload;
            if (detail::wire::TakeFrame(m_buffer, payload) == detail::wire::Split::Frame)
                return detail::wire::DecodeReply(payload);
            if (deadline.hasExpired() || m_socket.state() != QLocalSocket::ConnectedState)
                return std::nullopt;
            m_socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        }
    }

    // Whether the server has closed the connection within TIMEOUT_MS.
    bool ClosedByServer(int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
            m_socket.waitForReadyRead(50);
            m_socket.readAll();
        }
        return m_socket.state() != QLocalSocket::ConnectedState;
    }

private:
    QLocalSocket m_socket;
    QByteArray m_buffer;
    bool m_bConnected = false;
};

QByteArray Frame(const QByteArray& payload)
{
    char length[4];
    qToLittleEndian(static_cast<std::uint32_t>(payload.size()), length);
    return QByteArray(length, 4) + payload;
}

TEST_F(CrossProcessTest, MalformedFramesAreDroppedAndTheServerKeepsServing)
{
    Peer peer = StartPeer(QStringLiteral("hardened"), Allow({"GOOD"}));
    ASSERT_NE(peer.hwnd, nullptr);
    UINT good = RegisterWindowMessage(QStringLiteral("GOOD"));

    detail::wire::Request post;
    post.kind = detail::wire::Kind::PostMessage;
    post.hwnd = HwndToBits(peer.hwnd);
    post.message = good;
    post.wParam = 9;
    QByteArray valid = detail::wire::EncodeRequest(post);
    QByteArray validPayload = valid.mid(4);

    // Frames whose length is fine but whose content is not: each is dropped
    // without an answer and the connection stays usable.
    QByteArray badVersion = validPayload;
    badVersion[0] = 7;
    QByteArray badKind = validPayload;
    badKind[1] = 0x7F;
    QByteArray replyKind = validPayload;
    replyKind[1] = static_cast<char>(0x82);
    QByteArray trailing = validPayload + QByteArray("x");
    QByteArray truncated = validPayload.left(validPayload.size() - 1);
    QByteArray textOverrun = validPayload;
    textOverrun[textOverrun.size() - 2] = 0x10;  // caption length 16 with nothing behind it
    QByteArray unknownFlags = validPayload;
    unknownFlags[6 + 32] = 0x40;
    const QByteArray malformed[] = {badVersion, badKind, replyKind, trailing, truncated, textOverrun, unknownFlags,
                                    QByteArray(6, '\0'), QByteArray(200, '\xff')};

    RawConnection connection(peer.socketPath);
    ASSERT_TRUE(connection.connected());
    for (const QByteArray& payload : malformed)
        connection.Write(Frame(payload));
    connection.Write(valid);
    std::optional<detail::wire::Reply> reply = connection.ReadReply(3000);
    ASSERT_TRUE(reply) << "the server stopped answering after malformed frames";
    EXPECT_EQ(reply->status, detail::wire::Status::Ok);
    EXPECT_EQ(peer.process->ReadLineStartingWith("message "), "message GOOD 9 0");

    // A handle of another process is not forwarded anywhere.
    detail::wire::Request foreign = post;
    foreign.hwnd = HwndToBits(MakeHwnd(ProcessIdOfWindow(peer.hwnd) + 1, WindowNumberOf(peer.hwnd)));
    connection.Write(detail::wire::EncodeRequest(foreign));
    reply = connection.ReadReply(3000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, detail::wire::Status::NoWindow);

    // Out-of-bounds lengths end the connection; the server lives on.
    const QByteArray fatal[] = {
        Frame(QByteArray(static_cast<int>(detail::wire::kMaxPayload) + 1, 'a')),
        QByteArray("\x02\x00\x00\x00zz", 6),   // shorter than any header
        QByteArray("\xff\xff\xff\xff", 4),     // 4 GB announced
    };
    for (const QByteArray& bytes : fatal) {
        RawConnection hostile(peer.socketPath);
        ASSERT_TRUE(hostile.connected());
        hostile.Write(bytes);
        EXPECT_TRUE(hostile.ClosedByServer(3000));
    }

    // A frame dribbled in byte by byte is still one frame.
    RawConnection slow(peer.socketPath);
    ASSERT_TRUE(slow.connected());
    for (char byte : valid)
        slow.Write(QByteArray(1, byte));
    reply = slow.ReadReply(3000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, detail::wire::Status::Ok);
    EXPECT_EQ(peer.process->ReadLineStartingWith("message "), "message GOOD 9 0");

    EXPECT_TRUE(PostMessage(peer.hwnd, good, 1, 1));
    EXPECT_EQ(peer.process->ReadLineStartingWith("message "), "message GOOD 1 1");
}

}  // namespace
}  // namespace win
