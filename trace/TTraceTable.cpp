// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTraceTable.h"

#include <QCoreApplication>

#include "CsvField.h"

#include "TLocaleFormats.h"

namespace TTraceTable {

namespace {

QString Ms(double AValue) {
    QString Text = QString::number(AValue, 'f', 1);
    return Text.replace(u'.', TLocaleFormats::DecimalSeparator());
}

// last, mean, best, worst, standard deviation, jitter; empty without answers, the jitter
// also with one.
void PutRtt(const TRttSeries& ARtt, QStringList& ACells,
            const std::function<QString(double)>& AMs) {
    if (ARtt.Count() == 0) {
        return;
    }
    ACells[LastColumn] = AMs(ARtt.Last());
    ACells[MeanColumn] = AMs(ARtt.Mean());
    ACells[BestColumn] = AMs(ARtt.Best());
    ACells[WorstColumn] = AMs(ARtt.Worst());
    ACells[StdDevColumn] = AMs(ARtt.StdDev());
    if (ARtt.Count() > 1) {
        ACells[JitterColumn] = AMs(ARtt.Jitter());
    }
}

// In the table's or the file's number format; the file gives a lone address its share.
struct TFormat {
    std::function<QString(double)> Ms;
    std::function<QString(double)> Percent;
    bool LoneShare = false;
};

std::vector<TRow> RowsIn(const TTraceHop& AHop, const TNames& ANames, const TFormat& AFormat) {
    const auto& Addresses = AHop.Addresses();
    TRow Hop{false, QStringList(ColumnCount, QString())};
    Hop.Cells[HopColumn] = QString::number(AHop.Hop());
    Hop.Cells[LossColumn] = AFormat.Percent(AHop.LossPercent());
    Hop.Cells[SentColumn] = QString::number(AHop.Sent());
    Hop.Cells[ReceivedColumn] = QString::number(AHop.Received());
    PutRtt(AHop.Rtt(), Hop.Cells, AFormat.Ms);
    if (Addresses.size() == 1) {
        Hop.Cells[AddressColumn] = Addresses.front().Address;
        Hop.Cells[NameColumn] = ANames(Addresses.front().Address);
        if (AFormat.LoneShare) {
            Hop.Cells[ShareColumn] = AFormat.Percent(100);
        }
        return {Hop};
    }
    Hop.Cells[AddressColumn] =
        Addresses.empty()
            ? QCoreApplication::translate("TTraceTable", "nessuna risposta")
            : QCoreApplication::translate("TTraceTable", "%1 indirizzi").arg(Addresses.size());
    std::vector<TRow> Out{Hop};
    for (const TTraceAddress& A : Addresses) {
        TRow Row{true, QStringList(ColumnCount, QString())};
        Row.Cells[AddressColumn] = A.Address;
        Row.Cells[NameColumn] = ANames(A.Address);
        Row.Cells[ShareColumn] = AFormat.Percent(AHop.SharePercent(A));
        Row.Cells[ReceivedColumn] = QString::number(A.Received);
        PutRtt(A.Rtt, Row.Cells, AFormat.Ms);
        Out.push_back(Row);
    }
    return Out;
}

} // namespace

QStringList Headers() {
    return {QCoreApplication::translate("TTraceTable", "Salto"),
            QCoreApplication::translate("TTraceTable", "Indirizzo"),
            QCoreApplication::translate("TTraceTable", "Nome"),
            QCoreApplication::translate("TTraceTable", "Quota %"),
            QCoreApplication::translate("TTraceTable", "Perdita %"),
            QCoreApplication::translate("TTraceTable", "Inviati"),
            QCoreApplication::translate("TTraceTable", "Ricevuti"),
            QCoreApplication::translate("TTraceTable", "Ultimo"),
            QCoreApplication::translate("TTraceTable", "Media"),
            QCoreApplication::translate("TTraceTable", "Migliore"),
            QCoreApplication::translate("TTraceTable", "Peggiore"),
            QCoreApplication::translate("TTraceTable", "Dev. std."),
            QCoreApplication::translate("TTraceTable", "Jitter")};
}

std::vector<TRow> Rows(const TTraceHop& AHop, const TNames& ANames) {
    return RowsIn(AHop, ANames, {&Ms, &Ms, false});
}

QByteArray Csv(const std::vector<TTraceHop>& AHops, const TNames& ANames) {
    QByteArray Out("hop,address,name,share_percent,loss_percent,sent,received,last_ms,"
                   "average_ms,best_ms,worst_ms,stdev_ms,jitter_ms\r\n");
    const TFormat Format{[](double V) { return QString::number(V, 'f', 3); },
                         [](double V) { return QString::number(V, 'f', 1); }, true};
    for (const TTraceHop& Hop : AHops) {
        for (TRow& Row : RowsIn(Hop, ANames, Format)) {
            Row.Cells[HopColumn] = QString::number(Hop.Hop());
            if (!Row.Address && Hop.Addresses().size() != 1) {
                Row.Cells[AddressColumn].clear(); // "2 indirizzi" is the window's text
            }
            QByteArray Line;
            for (int C = 0; C < ColumnCount; ++C) {
                Line += (C > 0 ? "," : "") + CsvField(Row.Cells[C]);
            }
            Out += Line + "\r\n";
        }
    }
    return Out;
}

QString RouteLine(const QString& AStamp, int AHop, const QStringList& ABefore,
                  const QStringList& AAfter) {
    return QCoreApplication::translate("TTraceTable", "%1 Percorso cambiato al salto %2: %3 → %4")
        .arg(AStamp)
        .arg(AHop)
        .arg(ABefore.join(QStringLiteral(", ")), AAfter.join(QStringLiteral(", ")));
}

} // namespace TTraceTable
