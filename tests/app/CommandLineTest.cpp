// SPDX-License-Identifier: GPL-3.0-or-later
// --help and --version: answered before any display, everything else ignored.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

enum class TAnswer { None, Help, Version };

TEST(CommandLine, AnswersHelpAndVersionAndIgnoresTheRest) {
    struct TCase {
        std::vector<const char*> Args;
        TAnswer Expected;
    };
    const TCase Cases[] = {
        {{}, TAnswer::None},
        {{"--help"}, TAnswer::Help},
        {{"-h"}, TAnswer::Help},
        {{"--version"}, TAnswer::Version},
        {{"-V"}, TAnswer::Version},
        {{"-platform", "xcb", "--version"}, TAnswer::Version},
        {{"--version", "--help"}, TAnswer::Version},
        {{"--help", "--version"}, TAnswer::Help},
        {{"--", "--help"}, TAnswer::None},
        {{"--helpme", "-v", "version", "--Version", "-hV"}, TAnswer::None},
        {{"host.invalid"}, TAnswer::None},
    };
    for (const TCase& Case : Cases) {
        std::vector<const char*> Argv{"zirko"};
        Argv.insert(Argv.end(), Case.Args.begin(), Case.Args.end());
        std::ostringstream Out;
        const std::optional<int> Code =
            AnswerCommandLine(static_cast<int>(Argv.size()), Argv.data(), Out);
        std::string Shown = Argv.size() > 1 ? Argv[1] : "(none)";
        SCOPED_TRACE(Shown);
        switch (Case.Expected) {
        case TAnswer::None:
            EXPECT_FALSE(Code.has_value());
            EXPECT_EQ(Out.str(), "");
            break;
        case TAnswer::Help:
            EXPECT_EQ(Code, 0);
            EXPECT_EQ(Out.str().rfind("Usage: zirko ", 0), 0u) << Out.str();
            break;
        case TAnswer::Version:
            EXPECT_EQ(Code, 0);
            EXPECT_EQ(Out.str().rfind("zirko 1.0.0.1\n", 0), 0u) << Out.str();
            break;
        }
    }
}

TEST(CommandLine, AnUnwritableAnswerIsAFailure) {
    std::ostringstream Out;
    Out.setstate(std::ios::badbit);
    const char* Argv[] = {"zirko", "--version"};
    EXPECT_EQ(AnswerCommandLine(2, Argv, Out), 1);
}

struct TRun {
    int ExitCode = -1;
    std::string Output;
};

TRun RunShell(const std::string& Command) {
    TRun Run;
    FILE* Pipe = ::popen(Command.c_str(), "r");
    if (Pipe == nullptr) {
        return Run;
    }
    char Buffer[512];
    size_t N = 0;
    while ((N = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0) {
        Run.Output.append(Buffer, N);
    }
    const int Status = ::pclose(Pipe);
    Run.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
    return Run;
}

// The real program, with no display at all: it must answer without one.
TEST(CommandLine, TheProgramAnswersWithoutADisplay) {
    const char* Binary = std::getenv("ZIRKO_BINARY");
    ASSERT_NE(Binary, nullptr);
    const std::string Run =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '") + Binary + "' ";
    const TRun Version = RunShell(Run + "--version 2>&1");
    EXPECT_EQ(Version.ExitCode, 0) << Version.Output;
    EXPECT_EQ(Version.Output.rfind("zirko 1.0.0.1\n", 0), 0u) << Version.Output;
    EXPECT_NE(Version.Output.find("GPL-3.0-or-later"), std::string::npos);

    const TRun Help = RunShell(Run + "--help 2>&1");
    EXPECT_EQ(Help.ExitCode, 0) << Help.Output;
    EXPECT_NE(Help.Output.find("--version"), std::string::npos) << Help.Output;

    EXPECT_EQ(RunShell(Run + "--version >/dev/full 2>/dev/null").ExitCode, 1);

    // A mistyped or unsupported option starts nothing: one line, exit code 2.
    const std::pair<const char*, const char*> Refused[] = {
        {"--nosuch", "zirko: unknown option '--nosuch' (see zirko --help)\n"},
        {"--headless --confg t.yml", "zirko: unknown option '--confg' (see zirko --help)\n"},
        {"--headless -platform offscreen",
         "zirko: unknown option '-platform' (see zirko --help)\n"},
        {"--config t.yml", "zirko: --config needs --headless (see zirko --help)\n"},
        {"--headless --config t.yml", "zirko: t.yml: cannot read: No such file or directory\n"},
    };
    for (const auto& [Arguments, Line] : Refused) {
        const TRun Refusal = RunShell(Run + Arguments + " 2>&1");
        EXPECT_EQ(Refusal.ExitCode, 2) << Arguments;
        EXPECT_EQ(Refusal.Output, Line) << Arguments;
    }
}

} // namespace
