// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphSpan.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// A Qt date or time format without its time-zone fields.
QString WithoutZone(const QString& Format) {
    QString Out;
    bool Quoted = false;
    for (const QChar c : Format) {
        if (c == u'\'') {
            Quoted = !Quoted;
        }
        if (!Quoted && c == u't') {
            continue;
        }
        Out += c;
    }
    return Out.simplified();
}

} // namespace

qint64 TGraphSpan::LengthOf(TRange Range) {
    constexpr qint64 DayMs = 24 * 60 * MinuteMs;
    switch (Range) {
    case Last10Minutes:
        return 10 * MinuteMs;
    case LastHour:
        return 60 * MinuteMs;
    case Last24Hours:
        return DayMs;
    case Last7Days:
        return 7 * DayMs;
    case Last30Days:
        return 30 * DayMs;
    case Everything:
        break;
    }
    return 0;
}

void TGraphSpan::SetRange(TRange Range) {
    FRange = Range;
    FLive = true;
}

qint64 TGraphSpan::LiveEnd(qint64 NowMs, qint64 LengthMs) const {
    const qint64 Ahead = std::max<qint64>(LengthMs / 60, 1000);
    if (NowMs >= FLiveEndMs || FLiveEndMs - NowMs > Ahead) {
        FLiveEndMs = NowMs + Ahead;
    }
    return FLiveEndMs;
}

std::pair<qint64, qint64> TGraphSpan::Shown(qint64 NowMs, std::optional<qint64> FirstMs) const {
    if (!FLive) {
        return {FFromMs, FToMs};
    }
    if (FRange != Everything) {
        const qint64 Length = LengthOf(FRange);
        const qint64 End = LiveEnd(NowMs, Length);
        return {End - Length, End};
    }
    // Everything: from the oldest data, at least a minute; ten minutes without any.
    const qint64 Length =
        FirstMs ? std::max(NowMs - *FirstMs, ShortestMs) : LengthOf(Last10Minutes);
    const qint64 End = LiveEnd(NowMs, Length);
    return {std::min(End - Length, FirstMs.value_or(End - Length)), End};
}

void TGraphSpan::Pin(qint64 FromMs, qint64 ToMs) {
    FLive = false;
    FFromMs = FromMs;
    FToMs = ToMs;
}

void TGraphSpan::Zoom(double Factor, qint64 AtMs, qint64 NowMs, std::optional<qint64> FirstMs) {
    const auto [From, To] = Shown(NowMs, FirstMs);
    const double Length =
        std::clamp(double(To - From) * Factor, double(ShortestMs), double(LongestMs));
    const qint64 At = std::clamp(AtMs, From, To);
    // The pointer's share of the span before is its share after.
    const double Share = double(At - From) / double(std::max<qint64>(To - From, 1));
    const qint64 NewFrom = At - qint64(std::llround(Share * Length));
    Pin(NewFrom, NewFrom + qint64(std::llround(Length)));
}

void TGraphSpan::Pan(qint64 DeltaMs, qint64 NowMs, std::optional<qint64> FirstMs) {
    const auto [From, To] = Shown(NowMs, FirstMs);
    Pin(From + DeltaMs, To + DeltaMs);
}

QString TGraphSpan::AxisFormat(qint64 SpanMs) {
    const QLocale Locale = QLocale::system();
    if (SpanMs <= 60 * MinuteMs) {
        return WithoutZone(Locale.timeFormat(QLocale::LongFormat));
    }
    if (SpanMs <= 24 * 60 * MinuteMs) {
        return WithoutZone(Locale.timeFormat(QLocale::ShortFormat));
    }
    return WithoutZone(Locale.dateFormat(QLocale::ShortFormat) + u' ' +
                       Locale.timeFormat(QLocale::ShortFormat));
}
