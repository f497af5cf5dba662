// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TReplyStatus.h"

#include <QString>

#include <functional>
#include <optional>

// What the trace does after writing a hop's row.
enum class TTraceNext {
    Continue, // probe the next hop number, if the limit allows
    Reached,  // the host answered: stop after processing pending messages
    Stop,     // destination unreachable: stop at once
};

// The "IP" and "Note" texts of one hop row, derived from the hop's reply.
struct THopRow {
    QString IP;
    QString Note;
    TTraceNext Next = TTraceNext::Continue;

    // Stamp yields "date-time" and is called only for the notes that carry one.
    static THopRow ForReply(const TReplyStatus& Reply, const std::function<QString()>& Stamp);

    // A row caption read as a decimal hop number; a caption that is no number
    // has none and so never matches a hop.
    static std::optional<int32_t> HopNumberOf(const QString& Caption);

    // The hop limit as its text reads, or Minimum when the text is no number.
    static int32_t MaxHopsOf(const QString& Text, int32_t Minimum);

    // Probe hop numbers 1 to MaxHops and no more.
    static bool HasNextHop(int32_t Hop, int32_t MaxHops) { return Hop < MaxHops; }
};
