// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOutagePanel.h"

#include "CsvField.h"
#include "OutageText.h"
#include "TCsvExport.h"
#include "VerdictText.h"

#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A start without a known last answer is shown at its first lost ping.
qint64 StartMs(const TOutage& O) {
    return O.StartFromMs ? (*O.StartFromMs + O.StartToMs) / 2 : O.StartToMs;
}

// The end's midpoint; an open one lasts until now.
qint64 EndMs(const TOutage& O, qint64 NowMs) {
    if (O.End == TOutageEnd::Open) {
        return std::max<qint64>(NowMs, O.EndFromMs);
    }
    return O.End == TOutageEnd::Recovered && O.EndToMs ? (O.EndFromMs + *O.EndToMs) / 2
                                                       : O.EndFromMs;
}

QString Stamp(qint64 Ms) {
    const QDateTime When = QDateTime::fromMSecsSinceEpoch(Ms);
    return QLocale().toString(When.date(), QLocale::ShortFormat) + u' ' +
           When.time().toString(QStringLiteral("HH:mm:ss"));
}

QByteArray Optional(const std::optional<int64_t>& Value) {
    return Value ? QByteArray::number(qint64(*Value)) : QByteArray();
}

} // namespace

TOutagePanel::TOutagePanel(TErrorBox ErrorBox, QWidget* Parent)
    : QWidget(Parent), FErrorBox(std::move(ErrorBox)) {
    setObjectName(QStringLiteral("p_interruzioni"));
    auto* Caption = new QLabel(tr("Interruzioni"), this);
    lv_interruzioni = new QTreeWidget(this);
    lv_interruzioni->setObjectName(QStringLiteral("lv_interruzioni"));
    lv_interruzioni->setAccessibleName(Caption->text());
    lv_interruzioni->setRootIsDecorated(false);
    lv_interruzioni->setHeaderLabels(
        {tr("Inizio"), tr("Fine"), tr("Durata"), tr("Persi"), tr("Percorso"), tr("Tipo")});
    // Fitted to the texts when the list is filled, not at every change of a row:
    // a header that fits itself measures every row's text each time.
    lv_interruzioni->header()->setStretchLastSection(true);
    lv_interruzioni->setMaximumHeight(110);
    Caption->setBuddy(lv_interruzioni);
    btn_esporta_interruzioni = new QPushButton(tr("Esporta interruzioni…"), this);
    btn_esporta_interruzioni->setObjectName(QStringLiteral("btn_esporta_interruzioni"));
    auto* Top = new QHBoxLayout;
    Top->addWidget(Caption);
    Top->addStretch(1);
    Top->addWidget(btn_esporta_interruzioni);
    auto* Box = new QVBoxLayout(this);
    Box->setContentsMargins(8, 2, 8, 6);
    Box->addLayout(Top);
    Box->addWidget(lv_interruzioni);
    connect(lv_interruzioni, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* Item) {
        const size_t Row = size_t(lv_interruzioni->indexOfTopLevelItem(Item));
        if (Row < FOutages.size()) {
            emit OutageClicked(FOutages[Row]);
        }
    });
    connect(btn_esporta_interruzioni, &QPushButton::clicked, this, &TOutagePanel::ExportClick);
    // A row's menu: the report of that outage.
    lv_interruzioni->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lv_interruzioni, &QWidget::customContextMenuRequested, this, [this](const QPoint& At) {
        const size_t Row = size_t(lv_interruzioni->indexOfTopLevelItem(lv_interruzioni->itemAt(At)));
        if (Row < FOutages.size()) {
            const TOutage Outage = FOutages[Row];
            QMenu Menu(this);
            connect(Menu.addAction(tr("Rapporto…")), &QAction::triggered, this,
                    [this, Outage] { emit ReportRequested(Outage); });
            Menu.exec(lv_interruzioni->viewport()->mapToGlobal(At));
        }
    });
    FShowDirty = new QTimer(this);
    FShowDirty->setSingleShot(true);
    FShowDirty->setInterval(0);
    connect(FShowDirty, &QTimer::timeout, this, &TOutagePanel::ShowDirtyRows);
    ShowRows();
}

void TOutagePanel::SetOutages(std::vector<TOutage> Outages) {
    FOutages = std::move(Outages);
    ShowRows();
}

void TOutagePanel::Upsert(const TOutage& Outage) {
    const auto Same = std::find_if(FOutages.begin(), FOutages.end(), [&](const TOutage& O) {
        return O.StartToMs == Outage.StartToMs && O.Host == Outage.Host;
    });
    if (Same == FOutages.end()) {
        FOutages.insert(FOutages.begin(), Outage);
        ShowRows();
        return;
    }
    // The monitor's copy carries no trace: the one found keeps its path.
    const std::string Path = Outage.Path.empty() ? Same->Path : Outage.Path;
    *Same = Outage;
    Same->Path = Path;
    // One row's texts, not the whole list, and after the reply's handling, with
    // the plot's redraw: this runs with every lost ping.
    FDirty.insert(int(Same - FOutages.begin()));
    FShowDirty->start();
}

void TOutagePanel::ShowDirtyRows() {
    for (const int Row : FDirty) {
        if (QTreeWidgetItem* Item = lv_interruzioni->topLevelItem(Row); Item != nullptr) {
            ShowRow(Item, FOutages[size_t(Row)]);
        }
    }
    FDirty.clear();
}

void TOutagePanel::ShowRows() {
    FDirty.clear();
    lv_interruzioni->clear();
    for (const TOutage& O : FOutages) {
        ShowRow(new QTreeWidgetItem(lv_interruzioni), O);
    }
    lv_interruzioni->header()->resizeSections(QHeaderView::ResizeToContents);
    btn_esporta_interruzioni->setEnabled(!FOutages.empty());
}

void TOutagePanel::ShowRow(QTreeWidgetItem* Item, const TOutage& O) {
    const QString Texts[] = {(O.StartFromMs ? QString() : QStringLiteral("≤ ")) + Stamp(StartMs(O)),
                             EndText(O), QString::fromStdString(OutageText::Duration(O)),
                             QString::number(O.Lost),
                             // Filled once the short trace run at its start has ended.
                             O.Kind == TOutageKind::Slow ? QStringLiteral("–")
                             : O.Path.empty()            ? QStringLiteral("…")
                                              : VerdictText::Reword(QString::fromStdString(O.Path)),
                             QString::fromStdString(OutageText::KindText(O))};
    // Only what changed: each change of a shown item costs the view a repaint.
    for (int Column = 0; Column < int(std::size(Texts)); ++Column) {
        if (Item->text(Column) != Texts[Column]) {
            Item->setText(Column, Texts[Column]);
        }
    }
    Item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
}

QString TOutagePanel::EndText(const TOutage& Outage) {
    switch (Outage.End) {
    case TOutageEnd::Open:
        return tr("in corso");
    case TOutageEnd::Recovered:
        return Stamp(EndMs(Outage, 0));
    case TOutageEnd::Unknown:
        break;
    }
    return tr("sconosciuta");
}

std::pair<qint64, qint64> TOutagePanel::SpanOf(const TOutage& Outage, qint64 NowMs) {
    const qint64 From = Outage.StartFromMs.value_or(Outage.StartToMs);
    const qint64 To = Outage.End == TOutageEnd::Open ? std::max<qint64>(NowMs, Outage.EndFromMs)
                                                     : Outage.EndToMs.value_or(Outage.EndFromMs);
    // A third of the outage either side, and at least a minute, to see it begin and end.
    const qint64 Margin = std::max<qint64>((To - From) / 3, 60'000);
    return {From - Margin, To + Margin};
}

std::vector<std::pair<qreal, qreal>> TOutagePanel::Marks(qint64 FromMs, qint64 ToMs, qint64 NowMs,
                                                         TOutageKind Kind) const {
    std::vector<std::pair<qreal, qreal>> Out;
    for (const TOutage& O : FOutages) {
        if (O.Kind != Kind) {
            continue;
        }
        const qint64 Start = StartMs(O), End = EndMs(O, NowMs);
        if (Start <= ToMs && End >= FromMs) {
            Out.emplace_back(qreal(std::max(Start, FromMs)), qreal(std::min(End, ToMs)));
        }
    }
    return Out;
}

int TOutagePanel::CountWithin(qint64 FromMs, qint64 ToMs, qint64 NowMs) const {
    return int(Marks(FromMs, ToMs, NowMs).size());
}

QByteArray TOutagePanel::Csv() const {
    QByteArray Text = QByteArrayLiteral(
        "start,end,host,start_from_utc_ms,start_to_utc_ms,end_from_utc_ms,end_to_utc_ms,end,"
        "duration_s,uncertainty_s,lost,path\r\n");
    const char* Ends[] = {"open", "recovered", "unknown"};
    for (const TOutage& O : FOutages) {
        const auto Iso = [](qint64 Ms) {
            return TCsvExport::IsoTime(Ms, QDateTime::fromMSecsSinceEpoch(Ms).offsetFromUtc())
                .toLatin1();
        };
        const QByteArray Host = CsvField(QString::fromStdString(O.Host));
        Text += Iso(StartMs(O)) + ',' +
                (O.End == TOutageEnd::Open ? QByteArray() : Iso(EndMs(O, 0))) + ',' + Host + ',' +
                Optional(O.StartFromMs) + ',' + QByteArray::number(qint64(O.StartToMs)) + ',' +
                QByteArray::number(qint64(O.EndFromMs)) + ',' + Optional(O.EndToMs) + ',' +
                Ends[size_t(O.End)] + ',' +
                QByteArray::number(double(O.DurationMs) / 1000, 'f', 3) + ',' +
                QByteArray::number(double(O.UncertaintyMs) / 1000, 'f', 3) + ',' +
                QByteArray::number(qint64(O.Lost)) + ',' +
                CsvField(QString::fromStdString(O.Path)) + "\r\n";
    }
    return Text;
}

bool TOutagePanel::ExportCsv(const QString& Path) {
    const QString Reason = TCsvExport::WriteFile(Path, Csv());
    if (!Reason.isEmpty() && FErrorBox) {
        FErrorBox(
            tr("Impossibile esportare il CSV %1: %2").arg(QDir::toNativeSeparators(Path), Reason));
    }
    return Reason.isEmpty();
}

void TOutagePanel::ExportClick() {
    const QString Path =
        TCsvExport::AskPath(this, tr("Esporta interruzioni"), tr("zirko-interruzioni"),
                            QStringLiteral("csv"), QDateTime::currentDateTime());
    if (!Path.isEmpty()) {
        ExportCsv(Path);
    }
}
