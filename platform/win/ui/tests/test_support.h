// Shared pieces of the window-message tests: a private state root per test
// and a second process to talk to. The test program's one QApplication
// comes from the project's test main.
#pragma once

#include "win/state_root.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace win::testing {

// KELM_STATE_ROOT points at a new temporary folder for each test.
class StateRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kelm-winui-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        ::setenv(kStateRootVariable, m_root.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv(kStateRootVariable);
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::filesystem::path& root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

// Processes events until DONE is true or TIMEOUT_MS passed; DONE's value.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The helper program (winui_test_peer) as a real second process sharing
// the test's state root. Its standard output is read line by line.
class PeerProcess {
public:
    explicit PeerProcess(const QStringList& arguments)
    {
        m_process.setProgram(QStringLiteral(WINUI_TEST_PEER));
        m_process.setArguments(arguments);
        m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~PeerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool started() { return m_process.waitForStarted(5000); }
    qint64 pid() const { return m_process.processId(); }

    // The next line of output (without the line end); nothing on time-out
    // or when the process ended.
    std::optional<std::string> ReadLine(int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return std::nullopt;
            m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        }
        QByteArray line = m_process.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
        return line.toStdString();
    }

    // Reads lines until one starts with PREFIX; that line.
    std::optional<std::string> ReadLineStartingWith(const std::string& prefix, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            std::optional<std::string> line = ReadLine(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
            if (!line)
                return std::nullopt;
            if (line->rfind(prefix, 0) == 0)
                return line;
        }
        return std::nullopt;
    }

    void Kill()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    // Waits for the process to end; its exit code, or nothing.
    std::optional<int> Wait(int timeoutMs = 10000)
    {
        if (!m_process.waitForFinished(timeoutMs))
            return std::nullopt;
        return m_process.exitCode();
    }

private:
    QProcess m_process;
};

}  // namespace win::testing
