// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TGraphSpan.h"
#include "TMemorySpan.h"
#include "TPingHistory.h"
#include "TRangeStatistics.h"

#include <QDateTime>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QTimer;
class TClock;
class TGraphTargets;
class QVBoxLayout;
class THistoryStore;
class TLatencyView;
class TPlotView;
class TOutagePanel;
struct TOutage;
struct TPlotPoints;
struct TReplyStatus;

// The "Grafico" page: the main client's pings over wall-clock time, the
// summary of the shown span, and the exports. It reads the history once the
// window hands it an available store; until then, and whenever the store is
// not available, it shows this run's pings, which it keeps itself. The plot
// is made the first time the page is shown, so a window that never shows it
// pays for the run's pings alone; its bar and summary wait for that too.
class TGraphPage : public QWidget {
    Q_OBJECT

public:
    using TRange = TGraphSpan::TRange;
    static constexpr TRange Last10Minutes = TGraphSpan::Last10Minutes;
    static constexpr TRange LastHour = TGraphSpan::LastHour;
    static constexpr TRange Last24Hours = TGraphSpan::Last24Hours;
    static constexpr TRange Last7Days = TGraphSpan::Last7Days;
    static constexpr TRange Last30Days = TGraphSpan::Last30Days;
    static constexpr TRange Everything = TGraphSpan::Everything;
    using TErrorBox = std::function<void(const QString&)>;
    // True when the user answered yes.
    using TQuestionBox = std::function<bool(const QString&)>;

    explicit TGraphPage(QWidget* Parent = nullptr);
    // The dashed line of the "Limite ms media" setting.
    void SetLimit(int LimitMs);
    // Non-owning; the page reads it while it is Available. nullptr leaves the
    // page on this run's pings.
    void SetHistory(THistoryStore* Store);

    // A reply the statistics have just counted, with the wall-clock time the monitor
    // handled it at: the one stamp of that reply (and of its row in the history).
    void AddReply(const TReplyStatus& AReplyStatus, const QDateTime& AWhen);
    // "Clear log": this run's pings start afresh; the history stays.
    void Clear();
    // An outage began, ended or got its trace: the list is read again and the
    // plot's marks follow. OutageLasts, with every lost ping of it, updates its row.
    void OutageChanged(const TOutage& Outage);
    void OutageLasts(const TOutage& Outage);

    void SetRange(TRange Range);
    TRange Range() const;
    // The shown span's navigation; each ends in one coalesced redraw.
    void ZoomAt(double Factor, qint64 AtMs);
    void Pan(qint64 DeltaMs);
    void GoLive();
    bool Live() const { return FShown.Live(); }
    // [From, To] in UTC ms as the plot shows it now.
    std::pair<qint64, qint64> ShownSpan() const;
    // Writes the plot as PNG, or the shown range as CSV; false after the
    // error box.
    bool SaveImage(const QString& Path);
    bool ExportCsv(const QString& Path);
    // "Rapporto…": the PDF of the shown target over [FromMs, ToMs), read from
    // the history; false after the error box.
    bool WriteReport(const QString& Path, const std::string& Host, qint64 FromMs, qint64 ToMs);
    // The host of the newest ping in the shown span; empty without one.
    std::string ShownHost() const;
    // "Cancella cronologia…": false when the user said no or the store failed.
    bool ClearHistory();
    // Shows the failures of the exports; a modal box titled after the
    // program unless the window installs its own.
    void SetErrorBox(TErrorBox Box) { FErrorBox = std::move(Box); }
    void SetQuestionBox(TQuestionBox Box) { FQuestionBox = std::move(Box); }
    // Where the page reads the shown range's end and the monotonic time that tells a step
    // of the wall clock. Non-owning; nullptr restores the system clock.
    void SetClock(const TClock* Clock) { FClock = Clock; }

    // The targets of the list by name, in its order; the selector and its ticks follow.
    void SetTargets(const QStringList& Names);
    // Shows the target of the list's Index in place of the Ping page's host.
    void SelectTarget(size_t Index);
    // The targets' pings moved on: a shown page draws them again.
    void TargetsUpdated();
    TGraphTargets& Targets() const { return *FTargets; }

    const TPingHistory& History() const { return FHistory; }
    const TRangeSummary& Summary() const { return FSummary; }
    // True while plot and summary come from the store.
    bool ReadsHistory() const;
    // The history's line; empty while there is nothing to say.
    QString HistoryNote() const;
    // The plot as the chart module's class, for what links the module; null until
    // the page has been shown once.
    template <typename TView = TLatencyView>
    TView* View() const {
        return dynamic_cast<TView*>(FView);
    }
    TOutagePanel* Outages() const { return FOutagePanel; }

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    QDateTime WallNow() const;
    const TClock& Clock() const;
    // The plot's place and the outages' list, which keep what the page is handed.
    void CreatePage();
    // The bar, the history's line and the summary: made when the page is first shown.
    void CreateControls();
    QGridLayout* CreateSummary();
    void CreateView();
    // How soon a summary read from the store follows the plot.
    enum class TSummaryWhen { Now, AfterPause, Throttled };
    void Refresh(TSummaryWhen When = TSummaryWhen::Now);
    void ShowFromMemory(qint64 FromMs, qint64 ToMs, int Columns);
    void ShowFromStore(qint64 FromMs, qint64 ToMs, int Columns);
    void ShowTarget(size_t Index, qint64 FromMs, qint64 ToMs, int Columns);
    // A column per pixel of the plot; the view's width until the chart is laid out.
    int PlotColumns() const;
    // Into the view, with the ticked targets over it.
    void Draw(TPlotPoints Points, qint64 FromMs, qint64 ToMs, double MaxMs, int Columns);
    // A wide span's summary reads every ping of it: while the user navigates
    // it waits for a pause, and new pings renew it now and then.
    void SummaryFromStore(TSummaryWhen When, qint64 FromMs, qint64 ToMs);
    void ScheduleRedraw();
    void Navigated();
    void ShowSummary();
    void ShowHistoryNote();
    void ReadOutages();
    void ShowOutage(const TOutage& Outage);
    std::optional<qint64> FirstMs() const;
    std::optional<qint64> FirstForSpan() const;
    // Failure holds the path (%1) and the reason (%2).
    bool WriteOrReport(const QString& Path, const QByteArray& Bytes, const QString& Failure);
    void ReportError(const QString& Message);
    QString AskPath(const QString& Title, const QString& Extension);
    void SaveImageClick();
    void ExportCsvClick();
    void ReportClick(const std::string& Host, qint64 FromMs, qint64 ToMs);

    int FLimitMs = 250;
    TPingHistory FHistory;
    TRangeSummary FSummary;
    TMemorySpan FMemory;
    TGraphSpan FShown;
    THistoryStore* FStore = nullptr;
    bool FHistoryHanded = false; // SetHistory was called, with a store or without
    bool FStoreShown = false;    // the plot was last drawn from the store
    QString FPutAside; // the note of a damaged file put aside, shown while the store lasts
    QComboBox* cb_intervallo = nullptr;
    QPushButton* btn_dal_vivo = nullptr;
    QPushButton* btn_salva_immagine = nullptr;
    QPushButton* btn_esporta_csv = nullptr;
    QPushButton* btn_rapporto = nullptr;
    QPushButton* btn_cancella_cronologia = nullptr;
    QLabel* l_cronologia = nullptr;
    QString FNote; // the history's line, shown or not
    QVBoxLayout* FPageBox = nullptr;
    QVBoxLayout* FPlotBox = nullptr;
    QLabel* FPlaceholder = nullptr;
    TPlotView* FView = nullptr;
    TOutagePanel* FOutagePanel = nullptr;
    TGraphTargets* FTargets = nullptr;
    // l_min, l_media, l_max, l_jitter, l_mediana, l_p95, l_devstd, l_persi
    std::array<QLabel*, 8> FValues{};
    QTimer* FFollow = nullptr;
    QTimer* FRedraw = nullptr;
    QTimer* FSummaryDue = nullptr;
    TErrorBox FErrorBox;
    TQuestionBox FQuestionBox;
    const TClock* FClock = nullptr;
};
