// SPDX-License-Identifier: GPL-3.0-or-later
#include "THopRow.h"

THopRow THopRow::ForReply(const TReplyStatus& Reply, const std::function<QString()>& Stamp) {
    const QString from = QString::fromStdString(Reply.FromAddress);
    switch (Reply.Status) {
    case skEchoReply:
        return {from,
                QStringLiteral("Reached (") + Stamp() + QStringLiteral(") in : ") +
                    QString::number(Reply.RoundTripMs) + QStringLiteral(" ms"),
                TTraceNext::Reached};
    case skTimedOut:
        return {QStringLiteral("?.?.?.?"), QStringLiteral("Timed out."), TTraceNext::Continue};
    case skUnreachable:
        return {from, QStringLiteral("Destination network unreachable"), TTraceNext::Stop};
    case skTtlExceeded:
        return {from,
                QStringLiteral("(") + Stamp() + QStringLiteral(")TTL=") +
                    QString::number(Reply.ReplyTtl),
                TTraceNext::Continue};
    case skError:
        break;
    }
    // skError and any value outside the enumeration read as an unknown error.
    return {from, QStringLiteral("Unknown error."), TTraceNext::Continue};
}

std::optional<int32_t> THopRow::HopNumberOf(const QString& Caption) {
    bool ok = false;
    const int32_t hop = Caption.toInt(&ok, 10);
    if (!ok) {
        return std::nullopt;
    }
    return hop;
}

int32_t THopRow::MaxHopsOf(const QString& Text, int32_t Minimum) {
    bool ok = false;
    const int32_t value = Text.toInt(&ok, 10);
    return ok ? value : Minimum;
}
