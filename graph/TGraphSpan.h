// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

// Which stretch of time the plot shows. Live, the span ends at now and moves
// with it; zooming or panning pins it where the user put it, and choosing a
// range (or going back to live) follows now again.
class TGraphSpan {
public:
    enum TRange { Last10Minutes, LastHour, Last24Hours, Last7Days, Last30Days, Everything };
    static constexpr qint64 MinuteMs = 60 * 1000;
    // Narrower than this a zoom shows a handful of pings; wider, more than the
    // history keeps.
    static constexpr qint64 ShortestMs = MinuteMs;
    static constexpr qint64 LongestMs = 400LL * 24 * 60 * MinuteMs;

    static qint64 LengthOf(TRange Range);
    // The time axis' labels in the user's format: seconds while they tell
    // something, the date once the span passes a day.
    static QString AxisFormat(qint64 SpanMs);

    void SetRange(TRange Range);
    TRange Range() const { return FRange; }
    bool Live() const { return FLive; }
    void GoLive() { FLive = true; }

    // [From, To] at NowMs; FirstMs is the oldest data, which "Tutto" reaches back to.
    std::pair<qint64, qint64> Shown(qint64 NowMs, std::optional<qint64> FirstMs) const;
    // Factor < 1 zooms in; the time under the pointer, AtMs, stays where it is.
    void Zoom(double Factor, qint64 AtMs, qint64 NowMs, std::optional<qint64> FirstMs);
    // Positive moves the view towards later times.
    void Pan(qint64 DeltaMs, qint64 NowMs, std::optional<qint64> FirstMs);
    // Shows [FromMs, ToMs] and stays there, as after a pan.
    void Pin(qint64 FromMs, qint64 ToMs);

private:
    // The live end runs ahead of the clock by a sixtieth of the span and moves
    // only when the clock reaches it, so the axes stay put for several pings.
    qint64 LiveEnd(qint64 NowMs, qint64 LengthMs) const;

    TRange FRange = Last10Minutes;
    bool FLive = true;
    mutable qint64 FLiveEndMs = 0;
    // The pinned span, while not live.
    qint64 FFromMs = 0;
    qint64 FToMs = 0;
};
