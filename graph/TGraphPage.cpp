// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphPage.h"

#include "TClock.h"
#include "TGraphHistory.h"
#include "TGraphReport.h"
#include "TGraphTargets.h"
#include "THistoryStore.h"
#include "TLocaleFormats.h"
#include "TOutagePanel.h"
#include "TPlotPoints.h"
#include "TPlotView.h"
#include "TReplyStatus.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
// While the page is shown the time axis moves on without new pings too.
constexpr int FollowIntervalMs = 10 * 1000;
// A summary of the store up to this span is cheap enough for every ping.
constexpr qint64 CheapSummaryMs = 24 * 60 * MinuteMs;
// Wider ones follow the pings this often, and navigation after this pause.
constexpr int ThrottledSummaryMs = 10 * 1000;
constexpr int SummaryPauseMs = 250;

QLabel* ValueLabel(QWidget* Parent, const char* Name, const QString& Caption) {
    auto* Value = new QLabel(Parent);
    Value->setObjectName(QLatin1String(Name));
    Value->setAccessibleName(Caption);
    Value->setMinimumWidth(80);
    Value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return Value;
}

QPushButton* Button(QWidget* Parent, const char* Name, const QString& Text) {
    auto* b = new QPushButton(Text, Parent);
    b->setObjectName(QLatin1String(Name));
    return b;
}

} // namespace

TGraphPage::TGraphPage(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("TabSheet3"));
    CreatePage();
    FFollow = new QTimer(this);
    FFollow->setInterval(FollowIntervalMs);
    connect(FFollow, &QTimer::timeout, this, [this] { Refresh(TSummaryWhen::Throttled); });
    // Wheel steps and drag moves that arrive together make one redraw.
    FRedraw = new QTimer(this);
    FRedraw->setSingleShot(true);
    FRedraw->setInterval(0);
    connect(FRedraw, &QTimer::timeout, this, [this] { Refresh(TSummaryWhen::AfterPause); });
    FSummaryDue = new QTimer(this);
    FSummaryDue->setSingleShot(true);
    connect(FSummaryDue, &QTimer::timeout, this, [this] {
        if (ReadsHistory()) {
            const auto [From, To] = ShownSpan();
            SummaryFromStore(TSummaryWhen::Now, From, To);
        }
    });
}

void TGraphPage::SetLimit(int LimitMs) {
    FLimitMs = LimitMs;
    if (FView != nullptr) {
        FView->SetLimit(LimitMs);
    }
}

void TGraphPage::CreatePage() {
    FPlotBox = new QVBoxLayout;
    FPlotBox->setContentsMargins(0, 0, 0, 0);
    FPlaceholder = new QLabel(this);
    FPlotBox->addWidget(FPlaceholder, 1);

    FPageBox = new QVBoxLayout(this);
    FPageBox->setContentsMargins(0, 0, 0, 0);
    FPageBox->setSpacing(0);
    FPageBox->addLayout(FPlotBox, 1);
    FOutagePanel = new TOutagePanel([this](const QString& Message) { ReportError(Message); }, this);
    FPageBox->addWidget(FOutagePanel);
    connect(FOutagePanel, &TOutagePanel::OutageClicked, this, &TGraphPage::ShowOutage);
    connect(FOutagePanel, &TOutagePanel::ReportRequested, this, [this](const TOutage& Outage) {
        const auto [From, To] = TGraphReport::OutageSpan(Outage, Clock().WallMs());
        ReportClick(Outage.Host, From, To);
    });
    FTargets = new TGraphTargets(this);
    connect(FTargets, &TGraphTargets::Changed, this, &TGraphPage::ScheduleRedraw);
}

void TGraphPage::CreateControls() {
    if (cb_intervallo != nullptr) {
        return;
    }
    auto* Bar = new QHBoxLayout;
    Bar->setContentsMargins(8, 6, 8, 2);
    auto* RangeCaption = new QLabel(tr("Intervallo:"), this);
    cb_intervallo = new QComboBox(this);
    cb_intervallo->setObjectName(QStringLiteral("cb_intervallo"));
    cb_intervallo->addItems(
        {tr("10 minuti"), tr("1 ora"), tr("24 ore"), tr("7 giorni"), tr("30 giorni"), tr("Tutto")});
    cb_intervallo->setAccessibleName(RangeCaption->text());
    RangeCaption->setBuddy(cb_intervallo);
    btn_dal_vivo = Button(this, "btn_dal_vivo", tr("Dal vivo"));
    btn_dal_vivo->setCheckable(true);
    btn_dal_vivo->setChecked(true);
    btn_dal_vivo->setToolTip(tr("Segue i nuovi ping. Rotellina: ingrandisce; "
                                "trascinare: sposta; doppio clic: torna al vivo."));
    btn_salva_immagine = Button(this, "btn_salva_immagine", tr("Salva immagine…"));
    btn_esporta_csv = Button(this, "btn_esporta_csv", tr("Esporta CSV…"));
    btn_rapporto = Button(this, "btn_rapporto", tr("Rapporto…"));
    btn_cancella_cronologia = Button(this, "btn_cancella_cronologia", tr("Cancella cronologia…"));
    btn_cancella_cronologia->setEnabled(false);
    Bar->addWidget(RangeCaption);
    Bar->addWidget(cb_intervallo);
    Bar->addWidget(btn_dal_vivo);
    FTargets->CreateControls(this, Bar);
    Bar->addStretch(1);
    for (QPushButton* b :
         {btn_salva_immagine, btn_esporta_csv, btn_rapporto, btn_cancella_cronologia}) {
        Bar->addWidget(b);
    }

    l_cronologia = new QLabel(this);
    l_cronologia->setObjectName(QStringLiteral("l_cronologia"));
    l_cronologia->setWordWrap(true);
    l_cronologia->setContentsMargins(8, 2, 8, 2);
    l_cronologia->setText(FNote);
    l_cronologia->setVisible(!FNote.isEmpty());
    btn_cancella_cronologia->setEnabled(ReadsHistory());
    cb_intervallo->setCurrentIndex(FShown.Range());
    btn_dal_vivo->setChecked(FShown.Live());

    FPageBox->insertLayout(0, Bar);
    FPageBox->insertWidget(1, l_cronologia);
    FPageBox->insertLayout(3, CreateSummary());

    connect(cb_intervallo, &QComboBox::currentIndexChanged, this, [this](int Index) {
        FShown.SetRange(static_cast<TRange>(Index));
        Navigated();
        Refresh();
    });
    connect(btn_dal_vivo, &QPushButton::toggled, this, [this](bool On) { On ? GoLive() : Pan(0); });
    connect(btn_salva_immagine, &QPushButton::clicked, this, &TGraphPage::SaveImageClick);
    connect(btn_esporta_csv, &QPushButton::clicked, this, &TGraphPage::ExportCsvClick);
    connect(btn_rapporto, &QPushButton::clicked, this, [this] {
        const auto [From, To] = ShownSpan();
        ReportClick(ShownHost(), From, To + 1);
    });
    connect(btn_cancella_cronologia, &QPushButton::clicked, this, &TGraphPage::ClearHistory);
}

namespace {

using TCaption = QString (*)(const TRangeSummary&, QChar);
struct TSummaryValue {
    const char* Name;
    const char* Caption;
    TCaption Text;
};
const TSummaryValue SummaryValues[] = {
    {"l_min", QT_TRANSLATE_NOOP("TGraphPage", "Min"), &TRangeStatistics::MinCaption},
    {"l_media", QT_TRANSLATE_NOOP("TGraphPage", "Media"), &TRangeStatistics::MeanCaption},
    {"l_max", QT_TRANSLATE_NOOP("TGraphPage", "Max"), &TRangeStatistics::MaxCaption},
    {"l_jitter", QT_TRANSLATE_NOOP("TGraphPage", "Jitter"), &TRangeStatistics::JitterCaption},
    {"l_mediana", QT_TRANSLATE_NOOP("TGraphPage", "Mediana"), &TRangeStatistics::MedianCaption},
    {"l_p95", QT_TRANSLATE_NOOP("TGraphPage", "95° perc."), &TRangeStatistics::P95Caption},
    {"l_devstd", QT_TRANSLATE_NOOP("TGraphPage", "Dev. std."), &TRangeStatistics::StdDevCaption},
    {"l_persi", QT_TRANSLATE_NOOP("TGraphPage", "Persi"), &TRangeStatistics::LostCaption}};

} // namespace

QGridLayout* TGraphPage::CreateSummary() {
    auto* Summary = new QGridLayout;
    Summary->setContentsMargins(8, 2, 8, 6);
    Summary->setHorizontalSpacing(6);
    for (size_t Index = 0; Index < std::size(SummaryValues); ++Index) {
        const QString Text = tr(SummaryValues[Index].Caption);
        auto* Label = new QLabel(Text + u':', this);
        FValues[Index] = ValueLabel(this, SummaryValues[Index].Name, Text);
        Label->setBuddy(FValues[Index]);
        Summary->addWidget(Label, int(Index / 4), int(Index % 4) * 2);
        Summary->addWidget(FValues[Index], int(Index / 4), int(Index % 4) * 2 + 1);
    }
    Summary->setColumnStretch(8, 1);
    return Summary;
}

void TGraphPage::CreateView() {
    if (FView != nullptr) {
        return;
    }
    FView = TPlotView::Make(this);
    if (FView == nullptr) {
        return; // the page shows its summary and lists without a plot
    }
    // The layout hands back the placeholder's item; it is ours to free.
    delete FPlotBox->replaceWidget(FPlaceholder, FView->Widget());
    delete FPlaceholder;
    FPlaceholder = nullptr;
    FView->ZoomRequested = [this](double Factor, qint64 AtMs) { ZoomAt(Factor, AtMs); };
    FView->PanRequested = [this](qint64 DeltaMs) { Pan(DeltaMs); };
    FView->LiveRequested = [this] { GoLive(); };
}

QDateTime TGraphPage::WallNow() const {
    return QDateTime::fromMSecsSinceEpoch(Clock().WallMs());
}

const TClock& TGraphPage::Clock() const {
    return FClock != nullptr ? *FClock : TClock::System();
}

void TGraphPage::SetHistory(THistoryStore* Store) {
    FStore = Store;
    FHistoryHanded = true;
    FPutAside.clear();
    if (Store != nullptr && !Store->PutAsidePath().empty()) {
        FPutAside = TGraphHistory::PutAsideText(QString::fromStdString(Store->PutAsidePath()));
    }
    // Earlier runs show at once, shown page or not: the summary is read now.
    ReadOutages();
    Refresh();
}

void TGraphPage::ReadOutages() {
    if (ReadsHistory()) {
        FOutagePanel->SetOutages(FStore->Outages(TGraphSpan::ShortestMs - TGraphSpan::LongestMs,
                                                 Clock().WallMs() + TGraphSpan::LongestMs));
    }
}

void TGraphPage::OutageChanged(const TOutage& Outage) {
    if (ReadsHistory()) {
        ReadOutages();
    } else {
        FOutagePanel->Upsert(Outage);
    }
    if (isVisible()) {
        ScheduleRedraw();
    }
}

void TGraphPage::OutageLasts(const TOutage& Outage) {
    FOutagePanel->Upsert(Outage);
    if (isVisible()) {
        ScheduleRedraw();
    }
}

void TGraphPage::ShowOutage(const TOutage& Outage) {
    const auto [From, To] = TOutagePanel::SpanOf(Outage, Clock().WallMs());
    FShown.Pin(From, To);
    Navigated();
}

bool TGraphPage::ReadsHistory() const {
    return FStore != nullptr && FStore->Available();
}

QString TGraphPage::HistoryNote() const {
    return FNote;
}

void TGraphPage::ShowHistoryNote() {
    // Before the window hands over a store it is still being opened: nothing to say yet.
    QString Note;
    if (FHistoryHanded) {
        const THistoryStatus Status = FStore ? FStore->Status() : THistoryStatus::Closed;
        Note = Status == THistoryStatus::Available ? FPutAside : TGraphHistory::StatusText(Status);
    }
    if (l_cronologia == nullptr) {
        FNote = Note; // shown with the page's controls
        return;
    }
    if (Note != FNote) {
        FNote = Note;
        l_cronologia->setText(Note);
        l_cronologia->setVisible(!Note.isEmpty());
    }
    btn_cancella_cronologia->setEnabled(ReadsHistory());
}

void TGraphPage::AddReply(const TReplyStatus& AReplyStatus, const QDateTime& AWhen) {
    const qint64 SteadyMs = Clock().SteadyMs();
    TPingSample Sample;
    Sample.WhenMs = AWhen.toMSecsSinceEpoch();
    Sample.UtcOffsetSeconds = AWhen.offsetFromUtc();
    Sample.RoundTripMs = AReplyStatus.RoundTripMs;
    Sample.ReplyBytes = AReplyStatus.ReplyBytes;
    Sample.Sequence = AReplyStatus.Sequence;
    Sample.ReplyTtl = AReplyStatus.ReplyTtl;
    Sample.FromAddress = QString::fromStdString(AReplyStatus.FromAddress);
    // Kept even while the store is read: should it fail, this run still shows.
    FHistory.Add(std::move(Sample), SteadyMs);
    // A hidden page catches up when it is shown.
    if (isVisible()) {
        Refresh(TSummaryWhen::Throttled);
    }
}

void TGraphPage::Clear() {
    FHistory.Clear();
    FMemory.Reset();
    Refresh();
}

void TGraphPage::SetRange(TRange Range) {
    if (Range == this->Range() && !FShown.Live()) {
        GoLive(); // choosing the range again goes back to the live edge
        return;
    }
    if (cb_intervallo != nullptr) {
        cb_intervallo->setCurrentIndex(Range); // its handler shows the range
    } else if (Range != this->Range()) {
        FShown.SetRange(Range);
        Navigated();
        Refresh();
    }
}

TGraphPage::TRange TGraphPage::Range() const {
    return FShown.Range();
}

std::optional<qint64> TGraphPage::FirstMs() const {
    if (ReadsHistory()) {
        const auto Extent = FStore->Extent(THistoryScope::PingPage);
        return Extent ? std::optional(Extent->FirstMs) : std::nullopt;
    }
    return FHistory.Empty() ? std::nullopt : std::optional(FHistory[0].AxisMs);
}

std::optional<qint64> TGraphPage::FirstForSpan() const {
    // Only a live "Tutto" reaches back to the oldest data: no query otherwise.
    return FShown.Live() && FShown.Range() == Everything ? FirstMs() : std::nullopt;
}

std::pair<qint64, qint64> TGraphPage::ShownSpan() const {
    return FShown.Shown(WallNow().toMSecsSinceEpoch(), FirstForSpan());
}

void TGraphPage::ZoomAt(double Factor, qint64 AtMs) {
    FShown.Zoom(Factor, AtMs, WallNow().toMSecsSinceEpoch(), FirstForSpan());
    Navigated();
}

void TGraphPage::Pan(qint64 DeltaMs) {
    FShown.Pan(DeltaMs, WallNow().toMSecsSinceEpoch(), FirstForSpan());
    Navigated();
}

void TGraphPage::GoLive() {
    FShown.GoLive();
    Navigated();
}

void TGraphPage::Navigated() {
    if (btn_dal_vivo != nullptr) {
        const QSignalBlocker Quiet(btn_dal_vivo);
        btn_dal_vivo->setChecked(FShown.Live());
    }
    ScheduleRedraw();
}

void TGraphPage::ScheduleRedraw() {
    FRedraw->start();
}

void TGraphPage::Refresh(TSummaryWhen When) {
    FRedraw->stop();
    ShowHistoryNote();
    const auto [FromMs, ToMs] = ShownSpan();
    // A column per pixel of the plot; the view's width until the chart is laid out.
    const int Columns = PlotColumns();
    if (const auto Target = FTargets->Selected()) {
        FSummaryDue->stop();
        ShowTarget(*Target, FromMs, ToMs, Columns);
        return;
    }
    if (ReadsHistory()) {
        ShowFromStore(FromMs, ToMs, Columns);
        SummaryFromStore(When, FromMs, ToMs);
        // A read that failed has just made the store unavailable: this run's pings instead.
        if (!ReadsHistory()) {
            Refresh();
        }
        return;
    }
    FSummaryDue->stop();
    if (FStoreShown) {
        FMemory.Reset();
        FStoreShown = false;
    }
    ShowFromMemory(FromMs, ToMs, Columns);
}

void TGraphPage::ShowFromMemory(qint64 FromMs, qint64 ToMs, int Columns) {
    FMemory.Update(FHistory, FromMs, ToMs, Columns);
    FSummary = FMemory.Summary();
    ShowSummary();
    if (FView != nullptr) {
        TPlotPoints Points = FMemory.Points();
        Points.Outages = FOutagePanel->Marks(FromMs, ToMs, Clock().WallMs());
        Points.Slow = FOutagePanel->Marks(FromMs, ToMs, Clock().WallMs(), TOutageKind::Slow);
        Draw(std::move(Points), FromMs, ToMs, FSummary.MaxMs, Columns);
    }
}

void TGraphPage::ShowFromStore(qint64 FromMs, qint64 ToMs, int Columns) {
    FStoreShown = true;
    if (FView == nullptr) {
        return;
    }
    const qint64 NowMs = WallNow().toMSecsSinceEpoch();
    // The store's ranges leave their end out; the page's span holds it.
    TPlotPoints Points = TGraphHistory::Plot(*FStore, FromMs, ToMs + 1, Columns);
    Points.Unmonitored =
        TGraphHistory::Unmonitored(FStore->Periods(FromMs, ToMs + 1, THistoryScope::PingPage), FromMs, ToMs, NowMs);
    Points.Outages = FOutagePanel->Marks(FromMs, ToMs, NowMs);
    Points.Slow = FOutagePanel->Marks(FromMs, ToMs, NowMs, TOutageKind::Slow);
    const double Highest = Points.HighestMs();
    Draw(std::move(Points), FromMs, ToMs, Highest, Columns);
}

void TGraphPage::SummaryFromStore(TSummaryWhen When, qint64 FromMs, qint64 ToMs) {
    const bool Cheap = ToMs - FromMs <= CheapSummaryMs;
    if (When == TSummaryWhen::AfterPause && !Cheap) {
        FSummaryDue->start(SummaryPauseMs);
        return;
    }
    if (When == TSummaryWhen::Throttled && !Cheap) {
        if (!FSummaryDue->isActive()) {
            FSummaryDue->start(ThrottledSummaryMs);
        }
        return;
    }
    FSummaryDue->stop();
    FSummary = TGraphHistory::Summary(*FStore, FromMs, ToMs + 1);
    ShowSummary();
}

void TGraphPage::ShowSummary() {
    const QChar Separator = TLocaleFormats::DecimalSeparator();
    for (size_t Index = 0; FValues[0] != nullptr && Index < std::size(SummaryValues); ++Index) {
        FValues[Index]->setText(SummaryValues[Index].Text(FSummary, Separator));
        FValues[Index]->setAccessibleDescription(FValues[Index]->text());
    }
    if (FView != nullptr) {
        const auto [From, To] = ShownSpan();
        QString Description = TRangeStatistics::Description(FSummary, Separator);
        if (const int Outages = FOutagePanel->CountWithin(From, To, Clock().WallMs())) {
            Description += tr(", interruzioni %1").arg(Outages);
        }
        FView->Widget()->setAccessibleDescription(Description);
    }
}

void TGraphPage::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    CreateControls();
    CreateView();
    Refresh();
    FFollow->start();
}

void TGraphPage::hideEvent(QHideEvent* Event) {
    QWidget::hideEvent(Event);
    FFollow->stop();
}
