// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Files and child processes for tests that work on real folders.
namespace zirko::test {

// A private folder under /tmp, removed with everything in it.
class TTempDir {
public:
    TTempDir() {
        std::string Pattern = "/tmp/zirko-test-XXXXXX";
        if (::mkdtemp(Pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        FPath = Pattern + "/";
    }
    ~TTempDir() {
        ::nftw(
            FPath.c_str(), [](const char* P, const struct stat*, int, FTW*) { return ::remove(P); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    // With the trailing "/".
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

inline std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Content;
    Content << In.rdbuf();
    return Content.str();
}

inline void WriteFile(const std::string& Path, const std::string& Content) {
    std::ofstream(Path, std::ios::binary) << Content;
}

inline bool Exists(const std::string& Path) {
    return ::access(Path.c_str(), F_OK) == 0;
}

inline off_t FileSize(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0 ? Info.st_size : -1;
}

// A file of Size bytes that takes no disk space.
inline void MakeSparseFile(const std::string& Path, off_t Size) {
    const int Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(Fd, 0);
    ASSERT_EQ(::ftruncate(Fd, Size), 0);
    ::close(Fd);
}

// The instant the tests' expected texts and file names are written for:
// 8 December 2026 14:05:33.
inline std::tm ReferenceInstant() {
    std::tm Now{};
    Now.tm_year = 2026 - 1900;
    Now.tm_mon = 11;
    Now.tm_mday = 8;
    Now.tm_hour = 14;
    Now.tm_min = 5;
    Now.tm_sec = 33;
    return Now;
}

// A child's way back to the test: what it sends, the parent reads once it has ended.
class TChildPipe {
public:
    explicit TChildPipe(int Fd) : FFd(Fd) {}
    int Fd() const { return FFd; }
    // One line, newline added.
    void Send(const std::string& Line) const {
        const std::string Text = Line + "\n";
        (void)!::write(FFd, Text.data(), Text.size());
    }

private:
    int FFd;
};

struct TChildResult {
    bool Exited = false;
    int ExitCode = -1;
    std::string Messages; // everything the child sent, one line each
};

// Runs Body in a forked child (with UseStderr, its stderr goes down the pipe
// too); the child exits 0 if Body returns, 2 if it throws.
inline TChildResult RunInChild(const std::function<void(TChildPipe&)>& Body,
                               bool UseStderr = false) {
    int Pipe[2];
    if (::pipe(Pipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t Pid = ::fork();
    if (Pid < 0) {
        ::close(Pipe[0]);
        ::close(Pipe[1]);
        throw std::runtime_error("fork failed");
    }
    if (Pid == 0) {
        ::close(Pipe[0]);
        TChildPipe Child(Pipe[1]);
        if (UseStderr) {
            ::dup2(Pipe[1], STDERR_FILENO);
        }
        try {
            Body(Child);
        } catch (...) {
            std::_Exit(2);
        }
        std::_Exit(0);
    }
    ::close(Pipe[1]);
    TChildResult Result;
    char Buffer[256];
    ssize_t N = 0;
    while ((N = ::read(Pipe[0], Buffer, sizeof Buffer)) > 0) {
        Result.Messages.append(Buffer, static_cast<size_t>(N));
    }
    ::close(Pipe[0]);
    int Status = 0;
    ::waitpid(Pid, &Status, 0);
    Result.Exited = WIFEXITED(Status);
    Result.ExitCode = Result.Exited ? WEXITSTATUS(Status) : -1;
    return Result;
}

} // namespace zirko::test
