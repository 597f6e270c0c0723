#include "bus_testing.h"

#include <QCoreApplication>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "servicelink/korva_utilities.h"

namespace bus_testing {

namespace {
QCoreApplication* g_app = nullptr;
int g_argc = 1;
char g_arg0[] = "bus-test";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

void EnsureApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    g_app = new QCoreApplication(g_argc, g_argv);
    std::atexit([] {
        delete g_app;
        g_app = nullptr;
    });
}

TempDir::TempDir()
{
    const char* base = std::getenv("KELM_TEST_TMP");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kelm-bus-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) != nullptr)
        m_path = buffer.data();
}

TempDir::~TempDir()
{
    if (!m_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
}

bool PrivateBus::Start(std::string* error)
{
    FILE* pipe = ::popen("dbus-daemon --session --fork --print-address=1 --print-pid=1", "r");
    if (pipe == nullptr) {
        if (error != nullptr)
            *error = "cannot run dbus-daemon";
        return false;
    }
    std::array<char, 512> line{};
    std::string address, pid;
    if (std::fgets(line.data(), line.size(), pipe) != nullptr)
        address = line.data();
    if (std::fgets(line.data(), line.size(), pipe) != nullptr)
        pid = line.data();
    ::pclose(pipe);
    while (!address.empty() && (address.back() == '\n' || address.back() == '\r'))
        address.pop_back();
    if (address.empty() || pid.empty()) {
        if (error != nullptr)
            *error = "dbus-daemon printed no address";
        return false;
    }
    m_address = address;
    m_pid = static_cast<pid_t>(std::atoi(pid.c_str()));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    return true;
}

void PrivateBus::Stop()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        m_pid = -1;
    }
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stderrPath)
{
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        if (!stderrPath.empty()) {
            const int fd = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (fd >= 0) {
                ::dup2(fd, 2);
                ::close(fd);
            }
        }
        ::execv(program.c_str(), argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    m_pid = pid;
    return true;
}

int ChildProcess::Stop()
{
    if (m_pid <= 0)
        return -1;
    ::kill(m_pid, SIGCONT);
    ::kill(m_pid, SIGTERM);
    int status = 0;
    // A child that does not end within 10 s is killed.
    for (int i = 0; i < 1000; ++i) {
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Kill();
    return -1;
}

bool ChildProcess::WaitExit(int timeoutMs, int* status)
{
    if (m_pid <= 0)
        return false;
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        if (::waitpid(m_pid, status, WNOHANG) == m_pid) {
            m_pid = -1;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void ChildProcess::Kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

void ChildProcess::Pause()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGSTOP);
}

void ChildProcess::Resume()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGCONT);
}

bool StartKorvad(ChildProcess& process, const std::string& korvadPath, const std::string& stateRoot,
                 const std::vector<std::string>& extraArgs)
{
    ::setenv("KELM_STATE_ROOT", stateRoot.c_str(), 1);
    if (!process.Start(korvadPath, extraArgs))
        return false;
    return CKorvaUtilities::WaitForActiveServer(0, 10000, nullptr);
}

}  // namespace bus_testing
