// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TCapabilities.h"

#include <sys/types.h>

// Answers socket requests arriving on one end of a sequenced-packet socket pair, one answer
// per request, until the other end closes. Only requests sent by the client process are served;
// the kernel attaches each sender's process id (the channel has SO_PASSCRED set).
class TSocketServer {
public:
    // The capability sets in force when serving starts: the right is raised from them.
    TSocketServer(int AChannel, pid_t AClient);

    // 0 when the client closed its end, 1 when the channel failed.
    int Run();
    // One request and its answer; false when the channel is closed or broken.
    bool ServeOne();

private:
    // The descriptor, or -1 with errno set; raises the capability only around the call.
    int OpenSocket(int AFamily, int AType, int AProtocol) const;

    int FChannel;
    pid_t FClient;
    // Effective sets with and without the right, written as they are: one call each way.
    TCapabilities FRaised;
    TCapabilities FLowered;
};
