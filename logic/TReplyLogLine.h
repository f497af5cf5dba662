// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

// The one line of text that every reply becomes, in the pane and in the log file.
class TReplyLogLine {
public:
    // "<1" for a reply measured at 0 ms, "=" otherwise.
    static QString TimeOperator(uint32_t RoundTripMs);
    // "72 bytes from 192.0.2.10: icmp_seq=3489 ttl=54 time=31 ms"
    static QString Message(int32_t ReplyBytes, const QString& FromAddress, uint16_t Sequence,
                           uint8_t ReplyTtl, uint32_t RoundTripMs);
    // Date, "-", time, "\", message, with nothing else between them.
    static QString Line(const QString& Date, const QString& Time, const QString& Message);
};
