// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace zirko::test {

struct TCommandResult {
    int ExitCode = -1;  // -1 when the command could not run or was killed at its time limit
    std::string Output; // stdout and stderr together
};

// Runs a program (no shell) and waits for it, at most ATimeoutMs; then it is killed.
TCommandResult RunCommand(const std::vector<std::string>& AArgv, int ATimeoutMs = 20000);

// Runs a program and throws std::runtime_error with its output unless it exits with 0.
std::string RunChecked(const std::vector<std::string>& AArgv, int ATimeoutMs = 20000);

} // namespace zirko::test
