// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetStampKeeper.h"

#include "TNetReceiveStamp.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TNetStampKeeper::TNetStampKeeper()
    : FSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP)) {
    if (FSocket >= 0) {
        TNetReceiveStamp::Enable(FSocket);
    }
}

TNetStampKeeper::~TNetStampKeeper() {
    if (FSocket >= 0) {
        ::close(FSocket);
    }
}
