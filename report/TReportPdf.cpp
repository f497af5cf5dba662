// SPDX-License-Identifier: GPL-3.0-or-later
#include "TReportPdf.h"

#include "OutageText.h"
#include "ReportSource.h"
#include "TReportPlot.h"
#include "VerdictText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// In points: the writer's resolution is one dot per point.
constexpr int PointsPerInch = 72;
constexpr qreal Margin = 40;
constexpr qreal PageWidth = 595;
constexpr qreal PageHeight = 842;
constexpr qreal LineHeight = 12;
constexpr qreal PlotHeight = 210;
constexpr qreal BodyPoints = 8.5;

// Dates and numbers as the report's language writes them: its catalogue carries the formats.
QString Stamp(int64_t Ms,
              const char* Format = QT_TRANSLATE_NOOP("TReportPdf", "dd/MM/yyyy HH:mm:ss")) {
    return QDateTime::fromMSecsSinceEpoch(Ms).toString(
        QCoreApplication::translate("TReportPdf", Format));
}

QString Number(double Value, int Decimals) {
    //: The locale whose decimal separator the report's numbers use.
    return QLocale(QCoreApplication::translate("TReportPdf", "it_IT"))
        .toString(Value, 'f', Decimals);
}

QString Ms(int64_t Us) {
    return Number(Us / 1000.0, 1);
}

QString Span(int64_t Ms) {
    return QString::fromStdString(OutageText::Span(Ms));
}

QString ZoneText(int64_t Ms) {
    const QDateTime At = QDateTime::fromMSecsSinceEpoch(Ms);
    const int Minutes = At.offsetFromUtc() / 60;
    return QCoreApplication::translate("TReportPdf", "ora locale %1, UTC%2%3:%4")
        .arg(QString::fromUtf8(QTimeZone::systemTimeZoneId()))
        .arg(QLatin1Char(Minutes < 0 ? '-' : '+'))
        .arg(std::abs(Minutes) / 60, 2, 10, QLatin1Char('0'))
        .arg(std::abs(Minutes) % 60, 2, 10, QLatin1Char('0'));
}

// Lines flowing down A4 pages, each page led by the header.
class TFlow {
public:
    TFlow(QPdfWriter& Writer, QPainter& Painter, std::vector<QString> Header)
        : FWriter(Writer), FPainter(Painter), FHeader(std::move(Header)) {
        DrawHeader();
    }

    void Need(qreal Height) {
        if (FY + Height > PageHeight - Margin) {
            FWriter.newPage();
            DrawHeader();
        }
    }
    // Wrapped at the margin; a paragraph is never split across pages.
    void Text(const QString& Line, bool Bold = false, qreal Indent = 0) {
        SetFont(BodyPoints, Bold);
        const QRectF Width(Margin + Indent, 0, PageWidth - 2 * Margin - Indent, PageHeight);
        const int Flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const qreal Height =
            std::max(LineHeight, FPainter.boundingRect(Width, Flags, Line).height() + 2);
        Need(Height);
        FPainter.drawText(Width.translated(0, FY + 1), Flags, Line);
        FY += Height;
    }
    void Title(const QString& Line) {
        Need(3 * LineHeight);
        FY += LineHeight / 2;
        Text(Line, true);
    }
    // Cells at the given left edges; numbers right-aligned to the next edge.
    void Row(const std::vector<QString>& Cells, const std::vector<qreal>& Edges, bool Bold = false) {
        Need(LineHeight);
        SetFont(BodyPoints, Bold);
        for (size_t i = 0; i < Cells.size(); ++i) {
            const qreal Right = i + 1 < Edges.size() ? Edges[i + 1] : PageWidth - 2 * Margin;
            FPainter.drawText(QRectF(Margin + Edges[i], FY, Right - Edges[i] - 6, LineHeight),
                              (i == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                              Cells[i]);
        }
        FY += LineHeight;
    }
    QRectF Take(qreal Height) {
        Need(Height);
        const QRectF Area(Margin, FY, PageWidth - 2 * Margin, Height);
        FY += Height;
        return Area;
    }

private:
    void SetFont(qreal Points, bool Bold) {
        QFont Font(QStringLiteral("DejaVu Sans"));
        Font.setPointSizeF(Points);
        Font.setBold(Bold);
        FPainter.setFont(Font);
    }
    void DrawHeader() {
        ++FPage;
        FY = Margin;
        SetFont(13, true);
        FPainter.setPen(Qt::black);
        FPainter.drawText(
            QRectF(Margin, FY, PageWidth - 2 * Margin, 18), Qt::AlignLeft,
            QCoreApplication::translate("TReportPdf", "Zirko – Rapporto di raggiungibilità"));
        SetFont(BodyPoints, false);
        FPainter.drawText(QRectF(Margin, FY, PageWidth - 2 * Margin, 18), Qt::AlignRight,
                          QCoreApplication::translate("TReportPdf", "Pagina %1").arg(FPage));
        FY += 20;
        for (const QString& Line : FHeader) {
            FPainter.drawText(QRectF(Margin, FY, PageWidth - 2 * Margin, LineHeight),
                              Qt::AlignLeft | Qt::AlignVCenter, Line);
            FY += LineHeight;
        }
        FPainter.setPen(QPen(Qt::black, 0.6));
        FPainter.drawLine(QPointF(Margin, FY + 3), QPointF(PageWidth - Margin, FY + 3));
        FY += 10;
    }

    QPdfWriter& FWriter;
    QPainter& FPainter;
    std::vector<QString> FHeader;
    int FPage = 0;
    qreal FY = Margin;
};

std::vector<QString> HeaderOf(const TReportData& Data, const QString& Version, int64_t MadeMs) {
    const TReportRequest& r = Data.Request;
    QStringList Addresses;
    for (const std::string& a : Data.Addresses) {
        Addresses << QString::fromStdString(a);
    }
    const TReportSource Source =
        Data.Addresses.empty() ? TReportSource{} : ReportSourceFor(Data.Addresses.back());
    const QString SourceText =
        Source.Address.empty()
            ? QCoreApplication::translate("TReportPdf", "non determinata")
            : QString::fromStdString(Source.Address) +
                  (Source.Interface.empty()
                       ? QString()
                       : QCoreApplication::translate("TReportPdf", " (interfaccia %1)")
                             .arg(QString::fromStdString(Source.Interface)));
    return {
        QCoreApplication::translate("TReportPdf", "Host: %1 (%2)")
            .arg(QString::fromStdString(r.Host), Addresses.join(", ")),
        QCoreApplication::translate("TReportPdf", "Origine: %1").arg(SourceText),
        QCoreApplication::translate("TReportPdf", "Intervallo: dal %1 al %2 (%3)")
            .arg(Stamp(r.FromMs, QT_TRANSLATE_NOOP("TReportPdf", "dd/MM/yyyy HH:mm")),
                 Stamp(r.ToMs, QT_TRANSLATE_NOOP("TReportPdf", "dd/MM/yyyy HH:mm")),
                 ZoneText(r.FromMs)),
        QCoreApplication::translate("TReportPdf", "Creato il %1 da Zirko %2")
            .arg(Stamp(MadeMs), Version),
    };
}

void WriteAvailability(TFlow& Flow, const TReportData& Data) {
    const THistoryColumn& t = Data.Total;
    const auto Share = Data.AvailabilityPercent();
    Flow.Title(QCoreApplication::translate("TReportPdf", "Disponibilità"));
    Flow.Text(Share ? QCoreApplication::translate(
                          "TReportPdf", "Disponibilità: %1 % del tempo monitorato (%2 su %3 "
                                        "monitorati), su %4 ping, %5 % persi.")
                          .arg(Number(*Share, 3), Span(Data.MonitoredMs - Data.DownMs),
                               Span(Data.MonitoredMs), QString::number(t.Count),
                               Number(t.Count ? 100.0 * t.Lost / t.Count : 0.0, 2))
                    : QCoreApplication::translate(
                          "TReportPdf", "Disponibilità: non calcolabile, nessun tempo monitorato."),
              true);
    int64_t Unmonitored = 0;
    for (const TReportSpan& s : Data.Unmonitored) {
        Unmonitored += s.second - s.first;
    }
    Flow.Text(QCoreApplication::translate(
                  "TReportPdf", "Tempo non monitorato (in grigio nel grafico): %1 in %2 tratti, "
                                "escluso dal calcolo.")
                  .arg(Span(Unmonitored))
                  .arg(Data.Unmonitored.size()));
    Flow.Text(QCoreApplication::translate(
        "TReportPdf", "Un'interruzione conta dal punto medio del suo inizio al punto medio "
                      "della sua fine; mediana e 95° percentile dagli aggregati al minuto."));
}

void WriteTable(TFlow& Flow, const TReportData& Data) {
    const std::vector<qreal> Edges = {0, 110, 180, 250, 330, 420};
    Flow.Title(Data.Hourly ? QCoreApplication::translate("TReportPdf", "Per ora")
                           : QCoreApplication::translate("TReportPdf", "Per giorno"));
    Flow.Row({Data.Hourly ? QCoreApplication::translate("TReportPdf", "Ora")
                          : QCoreApplication::translate("TReportPdf", "Giorno"),
              QCoreApplication::translate("TReportPdf", "Ping"),
              QCoreApplication::translate("TReportPdf", "Persi %"),
              QCoreApplication::translate("TReportPdf", "Mediana ms"),
              QCoreApplication::translate("TReportPdf", "95° perc. ms"),
              QCoreApplication::translate("TReportPdf", "Massimo ms")},
             Edges, true);
    for (const TReportRow& r : Data.Rows) {
        const THistoryColumn& f = r.Figures;
        const bool Answered = f.Count > f.Lost;
        const QString None = QStringLiteral("–");
        Flow.Row({Stamp(r.FromMs, Data.Hourly ? QT_TRANSLATE_NOOP("TReportPdf", "dd/MM/yyyy HH:00")
                                              : QT_TRANSLATE_NOOP("TReportPdf", "dd/MM/yyyy")),
                  QString::number(f.Count), f.Count ? Number(100.0 * f.Lost / f.Count, 2) : None,
                  Answered ? Ms(f.MedianUs) : None, Answered ? Ms(f.P95Us) : None,
                  Answered ? Ms(f.MaxUs) : None},
                 Edges);
    }
}

void WriteOutage(TFlow& Flow, const TReportOutage& Item, int Number) {
    const TOutage& o = Item.Outage;
    Flow.Need(4 * LineHeight); // an outage's lines begin together on a page
    const QString From =
        o.StartFromMs ? Stamp(*o.StartFromMs) : QCoreApplication::translate("TReportPdf", "ignoto");
    Flow.Text(QCoreApplication::translate("TReportPdf", "%1. Inizio %2 (ultima risposta: %3)")
                  .arg(Number)
                  .arg(Stamp(o.StartToMs), From),
              true);
    QString End = QCoreApplication::translate("TReportPdf", "in corso (ultimo ping perso %1)")
                      .arg(Stamp(o.EndFromMs));
    if (o.End != TOutageEnd::Open) {
        End = QCoreApplication::translate("TReportPdf", "tra %1 e %2%3")
                  .arg(Stamp(o.EndFromMs), o.EndToMs ? Stamp(*o.EndToMs) : QStringLiteral("?"),
                       o.End == TOutageEnd::Unknown
                           ? QCoreApplication::translate("TReportPdf", " (fine sconosciuta)")
                           : QString());
    }
    Flow.Text(QCoreApplication::translate("TReportPdf", "Fine %1").arg(End), false, 12);
    Flow.Text(QCoreApplication::translate("TReportPdf", "Durata %1, %2 ping persi")
                  .arg(QString::fromStdString(OutageText::Duration(o)))
                  .arg(o.Lost),
              false, 12);
    const QString Path =
        o.Path.empty() ? QCoreApplication::translate("TReportPdf", "nessuna traccia registrata")
                       : VerdictText::Reword(QString::fromStdString(o.Path));
    Flow.Text(QCoreApplication::translate("TReportPdf", "Percorso: %1").arg(Path), false, 12);
    if (Item.Trace) {
        for (const TOutageHop& h : Item.Trace->Hops) {
            Flow.Text(QCoreApplication::translate("TReportPdf", "%1  %2  %3/%4 risposte%5")
                          .arg(h.Hop, 2)
                          .arg(h.Address.empty() ? QStringLiteral("*")
                                                 : QString::fromStdString(h.Address))
                          .arg(h.Received)
                          .arg(h.Sent)
                          .arg(h.AverageUs
                                   ? QCoreApplication::translate("TReportPdf", ", media %1 ms")
                                         .arg(Ms(*h.AverageUs))
                                   : QString()),
                      false, 24);
        }
    }
}

void WriteSlow(TFlow& Flow, const TOutage& s, int Number) {
    Flow.Need(3 * LineHeight);
    const QString From =
        s.StartFromMs ? Stamp(*s.StartFromMs) : QCoreApplication::translate("TReportPdf", "ignoto");
    Flow.Text(
        QCoreApplication::translate("TReportPdf", "%1. Lento dal %2 (ultima media nel limite: %3)")
            .arg(Number)
            .arg(Stamp(s.StartToMs), From),
        true);
    QString End =
        QCoreApplication::translate("TReportPdf", "in corso (ultima media oltre il limite %1)")
            .arg(Stamp(s.EndFromMs));
    if (s.End != TOutageEnd::Open) {
        End = QCoreApplication::translate("TReportPdf", "tra %1 e %2")
                  .arg(Stamp(s.EndFromMs), s.EndToMs ? Stamp(*s.EndToMs) : QStringLiteral("?"));
    }
    Flow.Text(QCoreApplication::translate("TReportPdf", "Fine %1").arg(End), false, 12);
    Flow.Text(QCoreApplication::translate("TReportPdf", "Durata %1, %2 ping persi")
                  .arg(QString::fromStdString(OutageText::Duration(s)))
                  .arg(s.Lost),
              false, 12);
}

} // namespace

bool WriteReportPdf(const TReportData& Data, const QString& Path, const QString& Version,
                    int64_t MadeMs, QString& Error) {
    QPdfWriter Writer(Path);
    Writer.setResolution(PointsPerInch);
    Writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    Writer.setCreator(QStringLiteral("Zirko ") + Version);
    Writer.setTitle(QCoreApplication::translate("TReportPdf", "Rapporto %1")
                        .arg(QString::fromStdString(Data.Request.Host)));
    QPainter Painter;
    if (!Painter.begin(&Writer)) {
        Error = QCoreApplication::translate("TReportPdf", "il file non si può scrivere.");
        return false;
    }
    TFlow Flow(Writer, Painter, HeaderOf(Data, Version, MadeMs));
    DrawReportPlot(Painter, Flow.Take(PlotHeight), Data);
    Flow.Text(QCoreApplication::translate(
        "TReportPdf",
        "Linea: mediana; fascia: minimo-massimo; segni rossi: ping persi; "
        "rosso chiaro: interruzioni; giallo chiaro: periodi lenti; grigio: non monitorato."));
    WriteAvailability(Flow, Data);
    WriteTable(Flow, Data);
    Flow.Title(
        QCoreApplication::translate("TReportPdf", "Interruzioni (%1)").arg(Data.Outages.size()));
    if (Data.Outages.empty()) {
        Flow.Text(
            QCoreApplication::translate("TReportPdf", "Nessuna interruzione nell'intervallo."));
    }
    for (size_t i = 0; i < Data.Outages.size(); ++i) {
        WriteOutage(Flow, Data.Outages[i], int(i + 1));
    }
    Flow.Title(QCoreApplication::translate("TReportPdf", "Periodi lenti (%1)")
                   .arg(Data.SlowPeriods.size()));
    if (Data.SlowPeriods.empty()) {
        Flow.Text(
            QCoreApplication::translate("TReportPdf", "Nessun periodo lento nell'intervallo."));
    }
    for (size_t i = 0; i < Data.SlowPeriods.size(); ++i) {
        WriteSlow(Flow, Data.SlowPeriods[i], int(i + 1));
    }
    if (!Painter.end()) {
        Error = QCoreApplication::translate("TReportPdf", "il file non si può scrivere.");
        return false;
    }
    return true;
}
