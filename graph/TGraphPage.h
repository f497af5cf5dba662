// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingHistory.h"
#include "TPlotPoints.h"
#include "TRangeStatistics.h"

#include <QDateTime>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class TClock;
class QVBoxLayout;
class TLatencyView;
struct TReplyStatus;

// The "Grafico" page: every ping of the main client over wall-clock time, the
// summary of the shown range, and the exports. It keeps the history itself;
// the window hands it each handled reply and the "Clear log" command. The plot
// is made the first time the page is shown, so a window that never shows it
// pays for the history alone.
class TGraphPage : public QWidget {
    Q_OBJECT

public:
    enum TRange { Last10Minutes, LastHour, Last24Hours, Everything };
    using TErrorBox = std::function<void(const QString&)>;

    // Limit is the "Limite ms media" spinner; the dashed line follows it.
    explicit TGraphPage(QWidget* Parent = nullptr);
    // The dashed line of the "Limite ms media" setting.
    void SetLimit(int LimitMs);

    // A reply the statistics have just counted, with the wall-clock time the monitor
    // handled it at: the one stamp of that reply.
    void AddReply(const TReplyStatus& AReplyStatus, const QDateTime& AWhen);
    // "Clear log": the history starts afresh with the statistics.
    void Clear();

    void SetRange(TRange Range);
    TRange Range() const;
    // Writes the plot as PNG, or the shown range as CSV; false after the
    // error box.
    bool SaveImage(const QString& Path);
    bool ExportCsv(const QString& Path);
    // Shows the failures of the exports; a modal box titled after the
    // program unless the window installs its own.
    void SetErrorBox(TErrorBox Box) { FErrorBox = std::move(Box); }
    // Where the page reads the shown range's end and the monotonic time that tells a step
    // of the wall clock. Non-owning; nullptr restores the system clock.
    void SetClock(const TClock* Clock) { FClock = Clock; }

    const TPingHistory& History() const { return FHistory; }
    const TRangeSummary& Summary() const { return FSummary; }
    // Null until the page has been shown once.
    TLatencyView* View() const { return FView; }

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    QDateTime WallNow() const;
    const TClock& Clock() const;
    void CreateControls();
    void CreateView();
    void Refresh();
    // Brings the summary and the plot's points of [FromMs, ToMs] up to date:
    // new pings at the end of an unchanged span are added to what was
    // computed before; anything else computes the span afresh.
    void UpdateSpan(qint64 FromMs, qint64 ToMs, int Columns);
    void ShowSummary();
    // The shown span in UTC milliseconds, ending at or a little after now.
    std::pair<qint64, qint64> ShownSpan() const;
    qint64 SpanMs(qint64 NowMs) const;
    void MoveEnd();
    QString AxisFormat(qint64 SpanMs) const;
    // Failure holds the path (%1) and the reason (%2).
    bool WriteOrReport(const QString& Path, const QByteArray& Bytes, const QString& Failure);
    void ReportError(const QString& Message);
    QString AskPath(const QString& Title, const QString& Extension, const QString& Filter);
    void SaveImageClick();
    void ExportCsvClick();

    int FLimitMs = 250;
    TPingHistory FHistory;
    TRangeSummary FSummary;
    qint64 FEndMs = 0;
    struct TSpanCache {
        qint64 FromMs = 0;
        qint64 ToMs = -1;
        int Columns = 0;
        std::size_t FirstAdded = 0; // Added() numbering of the span's first and end samples
        std::size_t EndAdded = 0;
        std::size_t Steps = 0; // the history's clock steps it was built after
        TRangeAccumulator Accumulator;
        std::unique_ptr<TPlotThinner> Thinner;
        bool Thinned = false;
    } FSpan;
    QComboBox* cb_intervallo = nullptr;
    QPushButton* btn_salva_immagine = nullptr;
    QPushButton* btn_esporta_csv = nullptr;
    QVBoxLayout* FPlotBox = nullptr;
    QLabel* FPlaceholder = nullptr;
    TLatencyView* FView = nullptr;
    QLabel* l_min = nullptr;
    QLabel* l_media = nullptr;
    QLabel* l_max = nullptr;
    QLabel* l_jitter = nullptr;
    QLabel* l_persi = nullptr;
    QTimer* FFollow = nullptr;
    TErrorBox FErrorBox;
    const TClock* FClock = nullptr;
};
