// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "TVersionInfo.h"

#include <string_view>

namespace {

void PrintVersion(std::ostream& Out) {
    Out << "zirko " << ZirkoVersionInfo().FileVersion << "\n"
        << "License GPL-3.0-or-later <https://www.gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

void PrintHelp(std::ostream& Out) {
    Out << "Usage: zirko [--help | --version]\n"
           "\n"
           "Watches whether a network host answers ICMP echo requests, and how fast:\n"
           "five-ping bursts, scheduled monitoring with statistics and alarms in the\n"
           "notification area, a traceroute, and a log file kept across runs.\n"
           "Everything else is set in the window.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "\n"
           "The log, ZIRKO.LOG, lies in $XDG_STATE_HOME/zirko/ (~/.local/state/zirko/)\n"
           "for an installed copy, else in the folder of the executable.\n"
           "Pinging needs raw sockets. The window holds none and gives up every\n"
           "capability at start; the helper zirko-socket, granted cap_net_raw, opens\n"
           "them, drops the capability and sends the window's echo requests. Without\n"
           "it, unprivileged ICMP sockets allowed by net.ipv4.ping_group_range serve.\n";
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
