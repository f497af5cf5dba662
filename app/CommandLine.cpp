// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "TLanguage.h"
#include "TVersionInfo.h"
#include "TZirkoOptions.h"

#include <string_view>

namespace {

void PrintVersion(std::ostream& Out) {
    Out << "zirko " << ZirkoVersionInfo().FileVersion << "\n"
        << TLanguage::Utf8(
               "Zirko",
               QT_TRANSLATE_NOOP("Zirko",
                                 "License GPL-3.0-or-later <https://www.gnu.org/licenses/gpl.html>.\n"
                                 "This is free software: you are free to change and redistribute it.\n"
                                 "There is NO WARRANTY, to the extent permitted by law.\n"));
}

void PrintHelp(std::ostream& Out) {
    Out << ZirkoHelpText();
}

// A text that could not be written (a full disk, a closed pipe) is a failure.
int Finished(std::ostream& Out) {
    Out.flush();
    return Out.good() ? 0 : 1;
}

} // namespace

std::optional<int> AnswerCommandLine(int argc, const char* const* argv, std::ostream& Out) {
    for (int Index = 1; Index < argc && argv[Index] != nullptr; ++Index) {
        const std::string_view Argument = argv[Index];
        if (Argument == "--") {
            break;
        }
        if (Argument == "--help" || Argument == "-h") {
            PrintHelp(Out);
            return Finished(Out);
        }
        if (Argument == "--version" || Argument == "-V") {
            PrintVersion(Out);
            return Finished(Out);
        }
    }
    return std::nullopt;
}
