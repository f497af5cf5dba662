// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <ostream>

// Answers --help and --version (and -h, -V) before any window or display is
// needed. Returns the exit code when one of them was given; std::nullopt when
// the program should start as usual. The exit code is 1 when the text
// could not be written. Every other argument is left to ParseZirkoOptions,
// and everything after "--" is ignored.
std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& Out);
