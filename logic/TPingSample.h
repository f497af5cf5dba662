// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>

// One handled ping as the history keeps it: when it was handled on the wall
// clock, and the reply's fields. Kept small, since a full history holds
// 100,000 of them.
struct TPingSample {
    qint64 WhenMs = 0; // UTC milliseconds since the epoch
    // WhenMs as the wall clock reads now: moved with every step of that clock, so it grows
    // with the pings and places them on today's time axis.
    qint64 AxisMs = 0;
    int32_t UtcOffsetSeconds = 0; // the local offset at that moment
    uint32_t RoundTripMs = 0;
    int32_t ReplyBytes = 0;
    uint16_t Sequence = 0;
    uint8_t ReplyTtl = 0;
    QString FromAddress;

    // Lost like the statistics count it: a reply without bytes.
    bool Lost() const { return ReplyBytes == 0; }
};
