// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Where this machine's packets to a host leave from: the source address the
// routing table picks and its interface. Asked of the kernel by connecting a
// datagram socket, which sends nothing.
struct TReportSource {
    std::string Address;   // empty when no route was found
    std::string Interface; // empty when no interface holds Address
};

TReportSource ReportSourceFor(const std::string& Address);
