// SPDX-License-Identifier: GPL-3.0-or-later
#include "TCommand.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace zirko::test {

namespace {

[[noreturn]] void ExecChild(const std::vector<std::string>& AArgv, int AOut) {
    ::dup2(AOut, STDOUT_FILENO);
    ::dup2(AOut, STDERR_FILENO);
    const int DevNull = ::open("/dev/null", O_RDONLY);
    if (DevNull >= 0) {
        ::dup2(DevNull, STDIN_FILENO);
    }
    std::vector<char*> Args;
    for (const auto& A : AArgv) {
        Args.push_back(const_cast<char*>(A.c_str()));
    }
    Args.push_back(nullptr);
    ::execvp(Args[0], Args.data());
    ::_exit(127);
}

} // namespace

TCommandResult RunCommand(const std::vector<std::string>& AArgv, int ATimeoutMs) {
    TCommandResult Result;
    if (AArgv.empty()) {
        return Result;
    }
    int Pipe[2];
    if (::pipe2(Pipe, O_CLOEXEC) != 0) {
        return Result;
    }
    const pid_t Pid = ::fork();
    if (Pid == 0) {
        ExecChild(AArgv, Pipe[1]);
    }
    ::close(Pipe[1]);
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ATimeoutMs);
    bool TimedOut = false;
    for (;;) {
        const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              Deadline - std::chrono::steady_clock::now())
                              .count();
        if (Left <= 0) {
            TimedOut = true;
            break;
        }
        pollfd Fd{Pipe[0], POLLIN, 0};
        const int Ready = ::poll(&Fd, 1, static_cast<int>(Left));
        if (Ready < 0 && errno != EINTR) {
            break;
        }
        if (Ready <= 0) {
            continue; // a read now could block past the deadline
        }
        std::array<char, 4096> Buffer{};
        const ssize_t N = ::read(Pipe[0], Buffer.data(), Buffer.size());
        if (N == 0 || (N < 0 && errno != EINTR && errno != EAGAIN)) {
            break;
        }
        if (N > 0) {
            Result.Output.append(Buffer.data(), static_cast<std::size_t>(N));
        }
    }
    ::close(Pipe[0]);
    if (Pid < 0) {
        return Result;
    }
    // The output may close before the program ends: the wait for its end is bounded too.
    int Status = 0;
    for (;;) {
        if (TimedOut || std::chrono::steady_clock::now() > Deadline) {
            TimedOut = true;
            ::kill(Pid, SIGKILL);
            while (::waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        const pid_t Done = ::waitpid(Pid, &Status, WNOHANG);
        if (Done == Pid || (Done < 0 && errno != EINTR)) {
            break;
        }
        ::usleep(2000);
    }
    if (!TimedOut && WIFEXITED(Status)) {
        Result.ExitCode = WEXITSTATUS(Status);
    }
    return Result;
}

std::string RunChecked(const std::vector<std::string>& AArgv, int ATimeoutMs) {
    const TCommandResult R = RunCommand(AArgv, ATimeoutMs);
    if (R.ExitCode != 0) {
        std::string Line;
        for (const auto& A : AArgv) {
            Line += A + ' ';
        }
        throw std::runtime_error("command failed (" + std::to_string(R.ExitCode) + "): " + Line +
                                 "\n" + R.Output);
    }
    return R.Output;
}

} // namespace zirko::test
