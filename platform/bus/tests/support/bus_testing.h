// Helpers for tests and benchmarks that need a real session bus: a private
// dbus-daemon, a temporary state root, and child programs (the service) that
// can be started, paused, killed and restarted. No test framework inside, so
// benchmarks use it too.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace bus_testing {

// Creates the process's QCoreApplication once (the bus needs one); it is
// destroyed at exit, which stops the bus thread cleanly.
void EnsureApplication();

// A temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A private session bus. Start sets DBUS_SESSION_BUS_ADDRESS for this process
// and its children.
class PrivateBus {
public:
    PrivateBus() = default;
    ~PrivateBus() { Stop(); }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool Start(std::string* error);
    void Stop();
    const std::string& Address() const { return m_address; }

private:
    std::string m_address;
    pid_t m_pid = -1;
};

// A child program.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // STDERR_PATH, when given, receives the child's standard error.
    bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& stderrPath = {});
    // SIGTERM and wait; returns the exit status as waitpid reports it.
    int Stop();
    // Waits up to TIMEOUT_MS for the child to end by itself; true with its
    // waitpid STATUS when it did.
    bool WaitExit(int timeoutMs, int* status);
    void Kill();    // SIGKILL and reap
    void Pause();   // SIGSTOP
    void Resume();  // SIGCONT
    bool Running() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};

// Starts korvad (at KORVAD_PATH) on the current bus with its state under
// STATE_ROOT and waits until it owns its name; false after 10 s.
bool StartKorvad(ChildProcess& process, const std::string& korvadPath, const std::string& stateRoot,
                 const std::vector<std::string>& extraArgs = {});

}  // namespace bus_testing
