// SPDX-License-Identifier: GPL-3.0-or-later
#include "TGraphTargets.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

#include <cmath>

namespace {

// Apart from each other and from the Ping page's blue and the loss marks' red.
const QColor OverlayColours[] = {QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                                 QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                                 QColor(0xe3, 0x77, 0xc2), QColor(0x17, 0xbe, 0xcf),
                                 QColor(0xbc, 0xbd, 0x22), QColor(0x40, 0x40, 0x40)};

} // namespace

TGraphTargets::TGraphTargets(QObject* AParent) : QObject(AParent) {}

void TGraphTargets::CreateControls(QWidget* APage, QBoxLayout* ABar) {
    l_bersaglio = new QLabel(tr("Bersaglio:"), APage);
    cb_bersaglio = new QComboBox(APage);
    cb_bersaglio->setObjectName(QStringLiteral("cb_bersaglio"));
    cb_bersaglio->setAccessibleName(l_bersaglio->text());
    l_bersaglio->setBuddy(cb_bersaglio);
    btn_sovrapponi = new QToolButton(APage);
    btn_sovrapponi->setObjectName(QStringLiteral("btn_sovrapponi"));
    btn_sovrapponi->setText(tr("Sovrapponi"));
    btn_sovrapponi->setAccessibleName(btn_sovrapponi->text());
    btn_sovrapponi->setToolTip(tr("Bersagli disegnati sopra, ciascuno nel suo colore: "
                                  "gli ultimi dieci minuti."));
    btn_sovrapponi->setPopupMode(QToolButton::InstantPopup);
    FMenu = new QMenu(btn_sovrapponi);
    btn_sovrapponi->setMenu(FMenu);
    ABar->addWidget(l_bersaglio);
    ABar->addWidget(cb_bersaglio);
    ABar->addWidget(btn_sovrapponi);
    ShowChoices();
    connect(cb_bersaglio, &QComboBox::currentIndexChanged, this, [this](int AIndex) {
        FChosen = AIndex > 0 ? std::optional<size_t>(size_t(AIndex - 1)) : std::nullopt;
        emit Changed();
    });
}

void TGraphTargets::ShowChoices() {
    if (cb_bersaglio == nullptr) {
        return;
    }
    {
        const QSignalBlocker Quiet(cb_bersaglio);
        cb_bersaglio->clear();
        cb_bersaglio->addItem(tr("Pagina Ping"));
        cb_bersaglio->addItems(FNames);
        cb_bersaglio->setCurrentIndex(FChosen ? int(*FChosen + 1) : 0);
    }
    FMenu->clear();
    for (qsizetype I = 0; I < FNames.size(); ++I) {
        QAction* Tick = FMenu->addAction(FNames[I]);
        Tick->setCheckable(true);
        Tick->setChecked(FTicked[size_t(I)]);
        connect(Tick, &QAction::toggled, this, [this, I](bool AOn) {
            FTicked[size_t(I)] = AOn;
            emit Changed();
        });
    }
    btn_sovrapponi->setEnabled(!FNames.isEmpty());
}

void TGraphTargets::SetTargets(const QStringList& ANames) {
    if (ANames == FNames) {
        return;
    }
    const QString Chosen = FChosen ? FNames[qsizetype(*FChosen)] : QString();
    QStringList Ticked;
    for (const size_t Index : Overlaid()) {
        Ticked << FNames[qsizetype(Index)];
    }
    FNames = ANames;
    const qsizetype Again = Chosen.isEmpty() ? -1 : FNames.indexOf(Chosen);
    FChosen = Again >= 0 ? std::optional<size_t>(size_t(Again)) : std::nullopt;
    FTicked.assign(size_t(FNames.size()), false);
    for (qsizetype I = 0; I < FNames.size(); ++I) {
        FTicked[size_t(I)] = Ticked.contains(FNames[I]);
    }
    ShowChoices();
    emit Changed();
}

void TGraphTargets::Select(size_t AIndex) {
    if (AIndex < size_t(FNames.size()) && FChosen != AIndex) {
        FChosen = AIndex;
        ShowChoices();
        emit Changed();
    }
}

std::optional<size_t> TGraphTargets::Selected() const {
    return FChosen;
}

void TGraphTargets::SetOverlaid(size_t AIndex, bool AOn) {
    if (AIndex < FTicked.size() && FTicked[AIndex] != AOn) {
        FTicked[AIndex] = AOn;
        ShowChoices();
        emit Changed();
    }
}

std::vector<size_t> TGraphTargets::Overlaid() const {
    std::vector<size_t> Indexes;
    for (size_t I = 0; I < FTicked.size(); ++I) {
        if (FTicked[I]) {
            Indexes.push_back(I);
        }
    }
    return Indexes;
}

TPingHistory TGraphTargets::HistoryOf(const TTrace& ATrace) {
    TPingHistory History(std::max<size_t>(ATrace.size(), 1));
    for (const auto& [WhenMs, RoundTripMs] : ATrace) {
        TPingSample Sample;
        Sample.WhenMs = WhenMs;
        Sample.AxisMs = WhenMs;
        // A reply carries bytes; the plot needs no more of it than that.
        Sample.ReplyBytes = RoundTripMs < 0 ? 0 : 1;
        Sample.RoundTripMs = uint32_t(std::lround(std::max(RoundTripMs, 0.0)));
        History.Add(std::move(Sample));
    }
    return History;
}

TPingHistory TGraphTargets::History(size_t AIndex) const {
    return HistoryOf(FSource ? FSource(AIndex) : TTrace());
}

std::vector<TPlotOverlay> TGraphTargets::Overlays(qint64 AFromMs, qint64 AToMs,
                                                  int AColumns) const {
    std::vector<TPlotOverlay> Out;
    for (const size_t Index : Overlaid()) {
        if (Index == Selected()) {
            continue; // already the plot's own line
        }
        const TPingHistory Pings = History(Index);
        const auto [First, Last] = Pings.Range(AFromMs, AToMs);
        Out.push_back({FNames[qsizetype(Index)], Colour(Out.size()),
                       TPlotBuilder::Build(Pings, First, Last, AFromMs, AToMs, AColumns)});
    }
    return Out;
}

QColor TGraphTargets::Colour(size_t ANth) {
    return OverlayColours[ANth % std::size(OverlayColours)];
}
