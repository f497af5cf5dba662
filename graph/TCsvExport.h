// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "THistoryTypes.h"
#include "TPingHistory.h"

#include <QByteArray>
#include <QString>

#include <cstddef>

// The pings of a range as UTF-8 CSV: a header row, then one row per ping with
// its ISO 8601 local time and UTC offset, sequence, bytes, from address, ttl,
// round trip in ms and lost (0/1).
class QDateTime;
class QWidget;

namespace TCsvExport {

QByteArray Header();
QByteArray Row(const TPingSample& Sample);
// A stored ping: no sequence (the history keeps none), the round trip to the
// microsecond, empty when lost.
QByteArray Row(const THistoryPing& Ping);
// Minutes whose pings are no longer kept: a note and a header of their own.
QByteArray MinuteHeader();
QByteArray Row(const THistoryMinute& Minute);
QByteArray Text(const TPingHistory& History, std::size_t First, std::size_t Last);
// "2026-12-09T03:04:05.678+01:00": the local time and its offset.
QString IsoTime(qint64 WhenMs, int32_t UtcOffsetSeconds);

// Writes Bytes (CSV or any other) beside Path and renames it into place, so a failure leaves
// no partial file and an older file of that name untouched. Returns the
// reason on failure, an empty string on success.
QString WriteFile(const QString& Path, const QByteArray& Bytes);

// Asks where to save, suggesting "<Stem>-<Now as yyyyMMdd-HHmmss>.<Extension>" in
// the home folder; empty when the user cancelled.
QString AskPath(QWidget* Parent, const QString& Title, const QString& Stem,
                const QString& Extension, const QDateTime& Now);

} // namespace TCsvExport
