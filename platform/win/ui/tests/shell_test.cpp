// Sounds and shut-down (win/ui/shell.h): what is recorded, what the player
// and the login manager are asked, and every way they fail.
#include "win/ui/shell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace win {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A valid WAV file: 8000 bytes a second, LENGTH_MS of silence.
void WriteWave(const fs::path& path, int lengthMs)
{
    const std::uint32_t dataSize = static_cast<std::uint32_t>(8 * lengthMs);
    std::string bytes;
    auto le32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto le16 = [&](std::uint16_t v) {
        bytes += static_cast<char>(v & 0xFF);
        bytes += static_cast<char>(v >> 8);
    };
    bytes += "RIFF";
    le32(36 + dataSize);
    bytes += "WAVEfmt ";
    le32(16);
    le16(1);     // PCM
    le16(1);     // mono
    le32(8000);  // samples a second
    le32(8000);  // bytes a second
    le16(1);     // block align
    le16(8);     // bits a sample
    bytes += "data";
    le32(dataSize);
    bytes.append(dataSize, static_cast<char>(0x80));
    WriteText(path, bytes);
}

// A private temporary folder, and the variables the calls read restored
// after each test. The system bus points nowhere unless a test starts its
// own, so no test can reach a real login manager.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kelm-shell-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        for (const char* name : {"PATH", kSoundRecordVariable, kShutdownRecordVariable, "DBUS_SYSTEM_BUS_ADDRESS",
                                 "XDG_SESSION_ID"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::unsetenv(kSoundRecordVariable);
        ::unsetenv(kShutdownRecordVariable);
        ::unsetenv("XDG_SESSION_ID");
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (m_dir / "no-bus").string()).c_str(), 1);
    }
    void TearDown() override
    {
        SetShutdownAction({});
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    const fs::path& dir() const { return m_dir; }

    // Makes the folder "bin" the whole PATH, with the given executable
    // scripts in it.
    void UsePlayers(const std::vector<std::pair<std::string, std::string>>& scripts)
    {
        const fs::path bin = m_dir / "bin";
        fs::create_directories(bin);
        for (const auto& [name, body] : scripts) {
            WriteText(bin / name, "#!/bin/sh\n" + body);
            fs::permissions(bin / name, fs::perms::owner_all);
        }
        ::setenv("PATH", bin.c_str(), 1);
    }

private:
    fs::path m_dir;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

using SoundTest = ShellTest;

TEST_F(SoundTest, RecordsBeepsAndGoodFilesInsteadOfSounding)
{
    const fs::path record = dir() / "sounds.txt";
    ::setenv(kSoundRecordVariable, record.c_str(), 1);
    WriteWave(dir() / "roar.wav", 100);

    EXPECT_EQ(MessageBeep(MB_ICONEXCLAMATION), TRUE);
    EXPECT_EQ(MessageBeep(0xFFFFFFFF), TRUE);
    EXPECT_TRUE(PlaySoundFile((dir() / "roar.wav").string()));
    EXPECT_FALSE(PlaySoundFile((dir() / "missing.wav").string()));

    EXPECT_EQ(ReadText(record), "beep 0x00000030\nbeep 0xffffffff\n" + (dir() / "roar.wav").string() + "\n");
}

TEST_F(SoundTest, PlaySoundTakesFileNamesSynchronouslyOnly)
{
    const fs::path record = dir() / "sounds.txt";
    ::setenv(kSoundRecordVariable, record.c_str(), 1);
    WriteWave(dir() / "roar.wav", 100);
    const std::string wave = (dir() / "roar.wav").string();

    EXPECT_EQ(PlaySound(wave.c_str(), nullptr, SND_FILENAME), TRUE);
    EXPECT_EQ(PlaySound(wave.c_str(), nullptr, SND_FILENAME | SND_NODEFAULT | SND_SYNC), TRUE);
    for (DWORD flags : {DWORD{0}, SND_FILENAME | SND_ASYNC, SND_FILENAME | 0x00040000U /* resource */}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(PlaySound(wave.c_str(), nullptr, flags), FALSE) << flags;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << flags;
    }
    EXPECT_EQ(PlaySound(nullptr, nullptr, SND_FILENAME), FALSE);
    EXPECT_EQ(PlaySound((dir() / "missing.wav").c_str(), nullptr, SND_FILENAME), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ReadText(record), wave + "\n" + wave + "\n");
}

TEST_F(SoundTest, BeepsWithoutRecordFromAnyThread)
{
    // The offscreen platform has no bell; the call must still answer and
    // queue the bell safely from a thread that is not the application's.
    EXPECT_EQ(MessageBeep(MB_OK), TRUE);
    BOOL fromThread = FALSE;
    std::thread([&] { fromThread = MessageBeep(MB_ICONHAND); }).join();
    EXPECT_EQ(fromThread, TRUE);
    QCoreApplication::processEvents();
}

TEST_F(SoundTest, RefusesWhatIsNoWaveFile)
{
    const fs::path record = dir() / "sounds.txt";
    ::setenv(kSoundRecordVariable, record.c_str(), 1);
    fs::create_directories(dir() / "folder.wav");
    WriteText(dir() / "empty.wav", "");
    WriteText(dir() / "text.wav", "RIFF but not a wave file at all");
    ASSERT_EQ(::mkfifo((dir() / "pipe.wav").c_str(), 0600), 0);

    struct Case {
        const char* name;
        DWORD error;
    };
    for (const Case& c : {Case{"missing.wav", ERROR_FILE_NOT_FOUND}, Case{"folder.wav", ERROR_FILE_NOT_FOUND},
                          Case{"pipe.wav", ERROR_FILE_NOT_FOUND}, Case{"empty.wav", ERROR_INVALID_DATA},
                          Case{"text.wav", ERROR_INVALID_DATA}}) {
        SCOPED_TRACE(c.name);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(PlaySoundFile((dir() / c.name).string()));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_FALSE(PlaySoundFile(""));
    EXPECT_FALSE(fs::exists(record)) << "nothing refused is recorded";
}

TEST_F(SoundTest, PlaysWithPaplayAndWaitsForTheEnd)
{
    const fs::path args = dir() / "args.txt";
    const fs::path done = dir() / "done";
    UsePlayers({{"paplay", "echo \"$@\" > '" + args.string() + "'\n/bin/sleep 0.3\n: > '" + done.string() + "'\n"},
                {"aplay", "exit 1\n"}});
    WriteWave(dir() / "roar.wav", 100);

    EXPECT_TRUE(PlaySoundFile((dir() / "roar.wav").string()));
    EXPECT_TRUE(fs::exists(done)) << "returned before the player ended";
    EXPECT_EQ(ReadText(args), (dir() / "roar.wav").string() + "\n");
}

TEST_F(SoundTest, FallsBackToAplay)
{
    const fs::path args = dir() / "args.txt";
    UsePlayers({{"aplay", "echo \"$@\" > '" + args.string() + "'\n"}});
    WriteWave(dir() / "roar.wav", 100);

    EXPECT_TRUE(PlaySoundFile((dir() / "roar.wav").string()));
    EXPECT_EQ(ReadText(args), "-q " + (dir() / "roar.wav").string() + "\n");
}

TEST_F(SoundTest, ReportsPlayerFailures)
{
    WriteWave(dir() / "roar.wav", 100);
    const std::string wave = (dir() / "roar.wav").string();

    UsePlayers({});
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(PlaySoundFile(wave));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND) << "no player on PATH";

    UsePlayers({{"paplay", "exit 3\n"}});
    EXPECT_FALSE(PlaySoundFile(wave));
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
}

TEST_F(SoundTest, KillsAPlayerThatOutlivesTheSound)
{
    UsePlayers({{"paplay", "exec /bin/sleep 60\n"}});
    WriteWave(dir() / "roar.wav", 100);

    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(PlaySoundFile((dir() / "roar.wav").string()));
    EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
    EXPECT_LT(timer.elapsed(), 100 + kSoundGraceMs + 3000);
}

TEST(ShutdownDescriptionTest, NamesWhatTheFlagsAskFor)
{
    struct Case {
        UINT flags;
        const char* text;
    };
    for (const Case& c : {Case{EWX_LOGOFF, "logoff"}, Case{EWX_SHUTDOWN, "shutdown"}, Case{EWX_POWEROFF, "shutdown"},
                          Case{EWX_REBOOT, "reboot"}, Case{EWX_REBOOT | EWX_FORCE, "reboot force"},
                          Case{EWX_SHUTDOWN | EWX_REBOOT, "reboot"}, Case{EWX_FORCE, "logoff force"},
                          Case{EWX_POWEROFF | EWX_FORCEIFHUNG, "shutdown force"}}) {
        EXPECT_EQ(DescribeShutdown(c.flags), c.text) << c.flags;
    }
}

using ShutdownTest = ShellTest;

TEST_F(ShutdownTest, GoesThroughTheReplaceableAction)
{
    std::vector<UINT> seen;
    ShutdownAction previous = SetShutdownAction([&](UINT flags) {
        seen.push_back(flags);
        return true;
    });
    ASSERT_TRUE(previous) << "the default action comes back the first time";

    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0), TRUE);
    EXPECT_EQ(ExitWindowsEx(EWX_LOGOFF, 0x80000000), TRUE);
    EXPECT_EQ(seen, (std::vector<UINT>{6, 0}));

    // Putting the default back: it records.
    const fs::path record = dir() / "shutdown.txt";
    ::setenv(kShutdownRecordVariable, record.c_str(), 1);
    ShutdownAction mine = SetShutdownAction(previous);
    ASSERT_TRUE(mine);
    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0), TRUE);
    EXPECT_EQ(seen.size(), 2U);
    EXPECT_EQ(ReadText(record), "reboot force\n");
}

TEST_F(ShutdownTest, ReportsFailuresOfTheAction)
{
    int calls = 0;
    SetShutdownAction([&](UINT) {
        ++calls;
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    });
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    SetShutdownAction([&](UINT) {
        ++calls;
        return false;
    });
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE) << "a stale last error must not pass for the action's";

    SetShutdownAction([&](UINT) -> bool {
        ++calls;
        throw std::runtime_error("broken");
    });
    EXPECT_EQ(ExitWindowsEx(EWX_SHUTDOWN, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);

    EXPECT_EQ(ExitWindowsEx(0x100 | EWX_REBOOT, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(calls, 3) << "unknown flags never reach the action";
}

TEST_F(ShutdownTest, DefaultActionRecordsEveryKind)
{
    const fs::path record = dir() / "shutdown.txt";
    ::setenv(kShutdownRecordVariable, record.c_str(), 1);
    for (UINT flags : {EWX_REBOOT | EWX_FORCE, EWX_SHUTDOWN, EWX_POWEROFF, EWX_LOGOFF, EWX_LOGOFF | EWX_FORCE})
        EXPECT_EQ(ExitWindowsEx(flags, 0), TRUE) << flags;
    EXPECT_EQ(ReadText(record), "reboot force\nshutdown\nshutdown\nlogoff\nlogoff force\n");

    ::setenv(kShutdownRecordVariable, (dir() / "no-such-folder" / "x.txt").c_str(), 1);
    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_CANTWRITE);
}

TEST_F(ShutdownTest, DefaultActionFailsWithoutASystemBus)
{
    for (UINT flags : {EWX_REBOOT, EWX_SHUTDOWN, EWX_LOGOFF}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(ExitWindowsEx(flags, 0), FALSE) << flags;
        EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE) << flags;
    }
}

TEST_F(ShutdownTest, ActionIsReplacedSafelyWhileCalled)
{
    std::atomic<int> calls{0};
    auto counting = [&](UINT) {
        ++calls;
        return true;
    };
    SetShutdownAction(counting);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (t % 2 == 0)
                    SetShutdownAction(counting);
                else
                    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT, 0), TRUE);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(calls.load(), 400);
}

// A login manager on a private bus: it answers every call under
// /org/freedesktop/login1 and keeps what it was asked.
class FakeLoginManager : public QDBusVirtualObject {
public:
    struct Call {
        QString path;
        QString member;
        QVariantList arguments;
        bool interactive = false;
    };

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back({message.path(), message.member(), message.arguments(),
                           message.isInteractiveAuthorizationAllowed()});
        if (!m_refusal.isEmpty())
            connection.send(message.createErrorReply(m_refusal, QStringLiteral("refused")));
        else if (message.member() == QLatin1String("GetSessionByPID"))
            connection.send(message.createReply(
                QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/freedesktop/login1/session/c7")))));
        else if (message.member() == QLatin1String("Get"))
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(QStringLiteral("c7")))));
        else
            connection.send(message.createReply());
        return true;
    }
    std::vector<Call> Calls()
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    void Refuse(const QString& errorName)
    {
        std::lock_guard lock(m_mutex);
        m_refusal = errorName;
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
    QString m_refusal;
};

// A bus daemon of its own and the fake login manager served on a thread of
// its own, since the call under test blocks the main thread.
class LoginManagerTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        m_daemon.setProgram(daemon);
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                               QStringLiteral("--print-address=1"),
                               QStringLiteral("--address=unix:dir=") + QString::fromStdString(dir().string())});
        m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start();
        ASSERT_TRUE(m_daemon.waitForStarted(5000));
        QElapsedTimer timer;
        timer.start();
        while (!m_daemon.canReadLine() && timer.elapsed() < 5000)
            m_daemon.waitForReadyRead(100);
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
        ASSERT_FALSE(m_address.isEmpty());
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toLocal8Bit().constData(), 1);

        m_thread.reset(QThread::create([this] {
            QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-login1"));
            bool ok = bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
                      bus.registerVirtualObject(QStringLiteral("/org/freedesktop/login1"), &m_manager,
                                                QDBusConnection::SubPath);
            {
                std::lock_guard lock(m_readyMutex);
                m_ready = ok ? 1 : -1;
            }
            if (ok) {
                QEventLoop loop;  // QThread::quit ends it
                loop.exec();
            }
            bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"), QDBusConnection::UnregisterTree);
        }));
        m_manager.moveToThread(m_thread.get());
        m_thread->start();
        QElapsedTimer wait;
        wait.start();
        while (Ready() == 0 && wait.elapsed() < 5000)
            QThread::msleep(10);
        ASSERT_EQ(Ready(), 1) << "the fake login manager did not get its name";
    }
    void TearDown() override
    {
        if (m_thread) {
            m_thread->quit();
            m_thread->wait(5000);
            m_thread.reset();
            QDBusConnection::disconnectFromBus(QStringLiteral("fake-login1"));
        }
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
        ShellTest::TearDown();
    }
    int Ready()
    {
        std::lock_guard lock(m_readyMutex);
        return m_ready;
    }

    FakeLoginManager m_manager;

private:
    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<QThread> m_thread;
    std::mutex m_readyMutex;
    int m_ready = 0;
};

TEST_F(LoginManagerTest, RebootAndPowerOffAskInteractively)
{
    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT | EWX_FORCE, 0), TRUE);
    EXPECT_EQ(ExitWindowsEx(EWX_POWEROFF, 0), TRUE);
    const auto calls = m_manager.Calls();
    ASSERT_EQ(calls.size(), 2U);
    EXPECT_EQ(calls[0].member, QStringLiteral("Reboot"));
    EXPECT_EQ(calls[1].member, QStringLiteral("PowerOff"));
    for (const auto& call : calls) {
        EXPECT_EQ(call.path, QStringLiteral("/org/freedesktop/login1"));
        EXPECT_EQ(call.arguments, QVariantList{true});
        EXPECT_TRUE(call.interactive);
    }
}

TEST_F(LoginManagerTest, LogoffEndsTheOwnSession)
{
    EXPECT_EQ(ExitWindowsEx(EWX_LOGOFF, 0), TRUE);
    const auto calls = m_manager.Calls();
    ASSERT_EQ(calls.size(), 3U);
    EXPECT_EQ(calls[0].member, QStringLiteral("GetSessionByPID"));
    EXPECT_EQ(calls[0].arguments, QVariantList{QVariant::fromValue(static_cast<uint>(::getpid()))});
    EXPECT_EQ(calls[1].path, QStringLiteral("/org/freedesktop/login1/session/c7"));
    EXPECT_EQ(calls[1].member, QStringLiteral("Get"));
    EXPECT_EQ(calls[2].member, QStringLiteral("TerminateSession"));
    EXPECT_EQ(calls[2].arguments, QVariantList{QStringLiteral("c7")});
}

TEST_F(LoginManagerTest, RefusalIsAccessDenied)
{
    m_manager.Refuse(QStringLiteral("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"));
    EXPECT_EQ(ExitWindowsEx(EWX_REBOOT, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    m_manager.Refuse(QStringLiteral("org.freedesktop.login1.NoSuchSession"));
    ::setenv("XDG_SESSION_ID", "c9", 1);
    EXPECT_EQ(ExitWindowsEx(EWX_LOGOFF, 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(m_manager.Calls().back().arguments, QVariantList{QStringLiteral("c9")})
        << "the session from the environment when the manager knows no session by process id";
}

}  // namespace
}  // namespace win
