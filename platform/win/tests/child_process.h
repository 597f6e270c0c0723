// Starts the test helper program as a real second process.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace win::test {

class ChildProcess {
public:
    // Runs KELM_WIN_TEST_HELPER with ARGS; its stdout is readable via ReadLine.
    explicit ChildProcess(const std::vector<std::string>& args)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> argv;
            static std::string helper = KELM_WIN_TEST_HELPER;
            argv.push_back(helper.data());
            std::vector<std::string> copy = args;
            for (std::string& arg : copy)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(helper.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = ::fdopen(fds[0], "r");
    }

    ~ChildProcess()
    {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ != nullptr)
            ::fclose(out_);
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // One line of the child's output without its line feed; empty at the end.
    std::string ReadLine()
    {
        std::string line;
        if (out_ == nullptr)
            return line;
        int c;
        while ((c = std::fgetc(out_)) != EOF && c != '\n')
            line += static_cast<char>(c);
        return line;
    }

    // Waits for the child to end; its exit code, or -1 when it did not exit.
    int Wait()
    {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_)
            return -1;
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Kills the child with SIGKILL (no clean-up runs) and reaps it.
    void Kill()
    {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            reaped_ = true;
        }
    }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
    bool reaped_ = false;
};

}  // namespace win::test
