// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Folder of the running executable with a trailing "/", from /proc/self/exe;
// empty when the link cannot be read.
std::string ExecutableFolder();
