// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The kernel stamps arrivals only while some socket in the system wants stamps, and it
// turns stamping on a moment after the first one asks. A socket opened for one ping would
// see a quick reply stamped when it is read, late wake-up included. So one socket that
// wants stamps is held open from the first client to the last.
class TNetStampKeeper {
public:
    TNetStampKeeper();
    ~TNetStampKeeper();
    TNetStampKeeper(const TNetStampKeeper&) = delete;
    TNetStampKeeper& operator=(const TNetStampKeeper&) = delete;

private:
    int FSocket = -1;
};
