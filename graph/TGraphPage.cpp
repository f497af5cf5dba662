// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphPage.h"

#include "TClock.h"
#include "TCsvExport.h"
#include "TLatencyView.h"
#include "TLocaleFormats.h"
#include "TPlotPoints.h"
#include "TReplyStatus.h"

#include <QBuffer>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr qint64 MinuteMs = 60 * 1000;
// While the page is shown the time axis moves on without new pings too.
constexpr int FollowIntervalMs = 10 * 1000;

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

QLabel* ValueLabel(QWidget* Parent, const char* Name, const QString& Caption) {
    auto* Value = new QLabel(Parent);
    Value->setObjectName(QLatin1String(Name));
    Value->setAccessibleName(Caption);
    Value->setMinimumWidth(80);
    Value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return Value;
}

} // namespace

TGraphPage::TGraphPage(QWidget* Parent) : QWidget(Parent) {
    setObjectName(QStringLiteral("TabSheet3"));
    CreateControls();
    FFollow = new QTimer(this);
    FFollow->setInterval(FollowIntervalMs);
    connect(FFollow, &QTimer::timeout, this, &TGraphPage::Refresh);
}

void TGraphPage::SetLimit(int LimitMs) {
    FLimitMs = LimitMs;
    if (FView != nullptr) {
        FView->SetLimit(LimitMs);
    }
}

void TGraphPage::CreateControls() {
    auto* Bar = new QHBoxLayout;
    Bar->setContentsMargins(8, 6, 8, 2);
    auto* RangeCaption = new QLabel(QStringLiteral("Intervallo:"), this);
    cb_intervallo = new QComboBox(this);
    cb_intervallo->setObjectName(QStringLiteral("cb_intervallo"));
    cb_intervallo->addItems({QStringLiteral("10 minuti"), QStringLiteral("1 ora"),
                             QStringLiteral("24 ore"), QStringLiteral("Tutto")});
    cb_intervallo->setAccessibleName(RangeCaption->text());
    RangeCaption->setBuddy(cb_intervallo);
    btn_salva_immagine = new QPushButton(QStringLiteral("Salva immagine…"), this);
    btn_salva_immagine->setObjectName(QStringLiteral("btn_salva_immagine"));
    btn_esporta_csv = new QPushButton(QStringLiteral("Esporta CSV…"), this);
    btn_esporta_csv->setObjectName(QStringLiteral("btn_esporta_csv"));
    Bar->addWidget(RangeCaption);
    Bar->addWidget(cb_intervallo);
    Bar->addStretch(1);
    Bar->addWidget(btn_salva_immagine);
    Bar->addWidget(btn_esporta_csv);

    FPlotBox = new QVBoxLayout;
    FPlotBox->setContentsMargins(0, 0, 0, 0);
    FPlaceholder = new QLabel(this);
    FPlotBox->addWidget(FPlaceholder, 1);

    auto* Summary = new QHBoxLayout;
    Summary->setContentsMargins(8, 2, 8, 6);
    const std::pair<const char*, QLabel**> Values[] = {{"Min", &l_min},
                                                       {"Media", &l_media},
                                                       {"Max", &l_max},
                                                       {"Jitter", &l_jitter},
                                                       {"Persi", &l_persi}};
    for (const auto& [Caption, Value] : Values) {
        auto* Label = new QLabel(QStringLiteral("%1:").arg(QLatin1String(Caption)), this);
        const QByteArray Name = "l_" + QByteArray(Caption).toLower();
        *Value = ValueLabel(this, Name.constData(), QLatin1String(Caption));
        Label->setBuddy(*Value);
        Summary->addWidget(Label);
        Summary->addWidget(*Value);
        Summary->addSpacing(12);
    }
    Summary->addStretch(1);

    auto* Page = new QVBoxLayout(this);
    Page->setContentsMargins(0, 0, 0, 0);
    Page->setSpacing(0);
    Page->addLayout(Bar);
    Page->addLayout(FPlotBox, 1);
    Page->addLayout(Summary);

    connect(cb_intervallo, &QComboBox::currentIndexChanged, this, &TGraphPage::Refresh);
    connect(btn_salva_immagine, &QPushButton::clicked, this, &TGraphPage::SaveImageClick);
    connect(btn_esporta_csv, &QPushButton::clicked, this, &TGraphPage::ExportCsvClick);
}

void TGraphPage::CreateView() {
    if (FView != nullptr) {
        return;
    }
    FView = new TLatencyView(this);
    // The layout hands back the placeholder's item; it is ours to free.
    delete FPlotBox->replaceWidget(FPlaceholder, FView);
    delete FPlaceholder;
    FPlaceholder = nullptr;
}

QDateTime TGraphPage::WallNow() const {
    return QDateTime::fromMSecsSinceEpoch(Clock().WallMs());
}

const TClock& TGraphPage::Clock() const {
    return FClock != nullptr ? *FClock : TClock::System();
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
    FHistory.Add(std::move(Sample), SteadyMs);
    // A hidden page catches up when it is shown.
    if (isVisible()) {
        Refresh();
    }
}

void TGraphPage::Clear() {
    FHistory.Clear();
    FSpan = TSpanCache();
    Refresh();
}

void TGraphPage::SetRange(TRange Range) {
    cb_intervallo->setCurrentIndex(Range);
}

TGraphPage::TRange TGraphPage::Range() const {
    return static_cast<TRange>(cb_intervallo->currentIndex());
}

qint64 TGraphPage::SpanMs(qint64 NowMs) const {
    switch (Range()) {
    case Last10Minutes:
        return 10 * MinuteMs;
    case LastHour:
        return 60 * MinuteMs;
    case Last24Hours:
        return 24 * 60 * MinuteMs;
    case Everything:
        break;
    }
    return FHistory.Empty() ? 10 * MinuteMs : std::max(NowMs - FHistory[0].AxisMs, MinuteMs);
}

std::pair<qint64, qint64> TGraphPage::ShownSpan() const {
    const qint64 Now = WallNow().toMSecsSinceEpoch();
    const qint64 End = std::max(FEndMs, Now);
    qint64 From = End - SpanMs(Now);
    if (Range() == Everything && !FHistory.Empty()) {
        From = std::min(From, FHistory[0].AxisMs);
    }
    return {From, End};
}

void TGraphPage::MoveEnd() {
    // The end runs ahead of the clock by a sixtieth of the span and moves
    // only when the clock reaches it: the axes then stay put for several
    // pings, which redraw the data over an unchanged chart.
    const qint64 Now = WallNow().toMSecsSinceEpoch();
    const qint64 Ahead = std::max<qint64>(SpanMs(Now) / 60, 1000);
    if (Now >= FEndMs || FEndMs - Now > Ahead) {
        FEndMs = Now + Ahead;
    }
}

QString TGraphPage::AxisFormat(qint64 SpanMs) const {
    // Seconds while they tell something, the date once the span passes a day.
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

void TGraphPage::Refresh() {
    MoveEnd();
    const auto [FromMs, ToMs] = ShownSpan();
    const int Columns = FView != nullptr ? std::max(FView->width(), 100) : 0;
    UpdateSpan(FromMs, ToMs, Columns);
    FSummary = FSpan.Accumulator.Result();
    ShowSummary();
    if (FView == nullptr) {
        return;
    }
    FView->Show(FSpan.Thinner->Points(), FromMs, ToMs, FSummary.MaxMs, FLimitMs,
                AxisFormat(ToMs - FromMs));
}

void TGraphPage::UpdateSpan(qint64 FromMs, qint64 ToMs, int Columns) {
    const auto [First, Last] = FHistory.Range(FromMs, ToMs);
    const std::size_t Base = FHistory.Added() - FHistory.Size();
    const bool Thinned = TPlotBuilder::Thinned(Last - First, Columns);
    const bool Growing = FSpan.FromMs == FromMs && FSpan.ToMs == ToMs && FSpan.Columns == Columns &&
                         FSpan.Thinned == Thinned && FSpan.Steps == FHistory.Steps() &&
                         FSpan.FirstAdded == Base + First && FSpan.EndAdded <= Base + Last &&
                         FSpan.EndAdded >= Base + First && FSpan.Thinner != nullptr;
    std::size_t From = First;
    if (Growing) {
        From = FSpan.EndAdded - Base;
    } else {
        FSpan.FromMs = FromMs;
        FSpan.ToMs = ToMs;
        FSpan.Columns = Columns;
        FSpan.Thinned = Thinned;
        FSpan.Steps = FHistory.Steps();
        FSpan.FirstAdded = Base + First;
        FSpan.Accumulator = TRangeAccumulator();
        FSpan.Thinner = std::make_unique<TPlotThinner>(FromMs, ToMs, Columns, Thinned);
    }
    for (auto it = FHistory.begin() + From; it != FHistory.begin() + Last; ++it) {
        FSpan.Accumulator.Add(*it);
        FSpan.Thinner->Add(*it);
    }
    FSpan.EndAdded = Base + Last;
}

void TGraphPage::ShowSummary() {
    const QChar Separator = TLocaleFormats::DecimalSeparator();
    l_min->setText(TRangeStatistics::MinCaption(FSummary, Separator));
    l_media->setText(TRangeStatistics::MeanCaption(FSummary, Separator));
    l_max->setText(TRangeStatistics::MaxCaption(FSummary, Separator));
    l_jitter->setText(TRangeStatistics::JitterCaption(FSummary, Separator));
    l_persi->setText(TRangeStatistics::LostCaption(FSummary, Separator));
    for (QLabel* Value : {l_min, l_media, l_max, l_jitter, l_persi}) {
        Value->setAccessibleDescription(Value->text());
    }
    if (FView != nullptr) {
        FView->setAccessibleDescription(TRangeStatistics::Description(FSummary, Separator));
    }
}

void TGraphPage::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    CreateView();
    Refresh();
    FFollow->start();
}

void TGraphPage::hideEvent(QHideEvent* Event) {
    QWidget::hideEvent(Event);
    FFollow->stop();
}

bool TGraphPage::SaveImage(const QString& Path) {
    CreateView();
    Refresh();
    QByteArray Png;
    QBuffer Buffer(&Png);
    Buffer.open(QIODevice::WriteOnly);
    FView->grab().save(&Buffer, "PNG");
    return WriteOrReport(Path, Png, QStringLiteral("Impossibile salvare l'immagine %1: %2"));
}

bool TGraphPage::ExportCsv(const QString& Path) {
    const auto [FromMs, ToMs] = ShownSpan();
    const auto [First, Last] = FHistory.Range(FromMs, ToMs);
    return WriteOrReport(Path, TCsvExport::Text(FHistory, First, Last),
                         QStringLiteral("Impossibile esportare il CSV %1: %2"));
}

bool TGraphPage::WriteOrReport(const QString& Path, const QByteArray& Bytes,
                               const QString& Failure) {
    const QString Reason = TCsvExport::WriteFile(Path, Bytes);
    if (!Reason.isEmpty()) {
        ReportError(Failure.arg(QDir::toNativeSeparators(Path), Reason));
        return false;
    }
    return true;
}

void TGraphPage::ReportError(const QString& Message) {
    if (FErrorBox) {
        FErrorBox(Message);
        return;
    }
    QMessageBox Box(QMessageBox::Critical, QCoreApplication::applicationName(), Message,
                    QMessageBox::Ok, window());
    Box.exec();
}

void TGraphPage::SaveImageClick() {
    const QString Path = AskPath(QStringLiteral("Salva immagine"), QStringLiteral("png"),
                                 QStringLiteral("Immagini PNG (*.png)"));
    if (!Path.isEmpty()) {
        SaveImage(Path);
    }
}

void TGraphPage::ExportCsvClick() {
    const QString Path = AskPath(QStringLiteral("Esporta CSV"), QStringLiteral("csv"),
                                 QStringLiteral("File CSV (*.csv)"));
    if (!Path.isEmpty()) {
        ExportCsv(Path);
    }
}

QString TGraphPage::AskPath(const QString& Title, const QString& Extension, const QString& Filter) {
    const QString Suggested = QDir::home().filePath(
        QStringLiteral("zirko-grafico-%1.%2")
            .arg(WallNow().toString(QStringLiteral("yyyyMMdd-HHmmss")), Extension));
    return QFileDialog::getSaveFileName(this, Title, Suggested, Filter);
}
