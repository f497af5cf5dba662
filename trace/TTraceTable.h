// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTraceHop.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The texts of the continuous trace's table and of its CSV file. A hop is one row; a hop
// where several addresses answered has one row more per address, with its share of the hop's
// answers and its own round trips.
namespace TTraceTable {

enum TColumn {
    HopColumn,
    AddressColumn,
    NameColumn,
    ShareColumn,
    LossColumn,
    SentColumn,
    ReceivedColumn,
    LastColumn,
    MeanColumn,
    BestColumn,
    WorstColumn,
    StdDevColumn,
    JitterColumn,
    ColumnCount
};

using TNames = std::function<QString(const QString& AAddress)>;

struct TRow {
    bool Address = false; // one of several addresses of the hop above it
    QStringList Cells;    // ColumnCount of them
};

QStringList Headers();
// The hop's row, then its addresses' rows when there are several. Milliseconds with one
// decimal and the locale's separator.
std::vector<TRow> Rows(const TTraceHop& AHop, const TNames& ANames);
// The same rows as UTF-8 CSV with a header, in ms to the microsecond with a point, the share
// of a hop's only address as 100.
QByteArray Csv(const std::vector<TTraceHop>& AHops, const TNames& ANames);
// "hh:mm:ss Percorso cambiato al salto 3: A → B, C"
QString RouteLine(const QString& AStamp, int AHop, const QStringList& ABefore,
                  const QStringList& AAfter);

} // namespace TTraceTable
