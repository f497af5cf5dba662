// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// A symbol of one of Zirko's modules, or why it could not be had.
struct TModuleSymbol {
    void* Address = nullptr;
    std::string Reason; // one line, when Address is null
};

// Symbol from the module named File ("libzirko_chart.so"). A program that links the
// module (the tests) has it already; otherwise the module is loaded from beside the
// program (a build tree, or a folder it was copied to with it), then from Zirko's
// library folder under the program's prefix, then under the configured one (a copy
// of the installed program kept elsewhere). A loaded module is never closed: its
// code stays for the rest of the run.
TModuleSymbol FindModuleSymbol(const char* File, const char* Symbol);
