// SPDX-License-Identifier: GPL-3.0-or-later
#include "TContinuousTraceView.h"

#include "TContinuousTrace.h"
#include "THopRow.h"
#include "TLocaleFormats.h"
#include "TSystemLookups.h"
#include "TTraceTable.h"
#include "VerdictText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int HopRole = Qt::UserRole;
constexpr int ColumnWidths[TTraceTable::ColumnCount] = {38, 92, 96, 50, 58, 46, 52,
                                                        46, 46, 52, 54, 54, 44};

QTreeWidget* MakeTable(QWidget* AParent) {
    auto* Table = new QTreeWidget(AParent);
    Table->setObjectName(QStringLiteral("lvContinuo"));
    Table->setAccessibleName(TContinuousTraceView::tr("Traccia continua"));
    Table->setColumnCount(TTraceTable::ColumnCount);
    Table->setHeaderLabels(TTraceTable::Headers());
    for (int C = TTraceTable::LastColumn; C < TTraceTable::ColumnCount; ++C) {
        Table->headerItem()->setToolTip(C, TContinuousTraceView::tr("in millisecondi"));
    }
    for (int C = 0; C < TTraceTable::ColumnCount; ++C) {
        Table->setColumnWidth(C, ColumnWidths[C]);
    }
    Table->header()->setStretchLastSection(false);
    Table->setRootIsDecorated(false);
    Table->setItemsExpandable(false);
    Table->setIndentation(8);
    Table->setAllColumnsShowFocus(true);
    Table->setSortingEnabled(false);
    Table->setUniformRowHeights(true);
    return Table;
}

} // namespace

TContinuousTraceView::TContinuousTraceView(TNetContext& AContext, QWidget* AParent)
    : QWidget(AParent), FTrace(new TContinuousTrace(AContext, this)), lvContinuo(MakeTable(this)),
      l_verdetto(new QLabel(this)), FVerdictDue(new QTimer(this)) {
    setObjectName(QStringLiteral("TraceContinuous"));
    l_verdetto->setObjectName(QStringLiteral("l_verdetto"));
    l_verdetto->setAccessibleName(tr("Giudizio"));
    l_verdetto->setWordWrap(true);
    l_verdetto->setTextInteractionFlags(Qt::TextSelectableByMouse);
    l_verdetto->setContentsMargins(4, 2, 4, 2);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    Layout->addWidget(lvContinuo, 1);
    Layout->addWidget(l_verdetto);

    FTrace->SetNameLookup(&TSystemLookups::Name);
    // The verdict reads every hop: once a turn of the loop, not once a hop.
    FVerdictDue->setSingleShot(true);
    FVerdictDue->setInterval(0);
    connect(FVerdictDue, &QTimer::timeout, this, &TContinuousTraceView::ShowVerdict);
    connect(FTrace, &TContinuousTrace::Started, this, &TContinuousTraceView::ShowVerdict);
    connect(FTrace, &TContinuousTrace::HopChanged, this, &TContinuousTraceView::Refresh);
    connect(FTrace, &TContinuousTrace::NameFound, this, &TContinuousTraceView::RefreshAll);
    connect(FTrace, &TContinuousTrace::RouteChanged, this, &TContinuousTraceView::AddRouteLine);
    connect(FTrace, &TContinuousTrace::Failed, this, &TContinuousTraceView::TraceFailed);
}

TContinuousTraceView::~TContinuousTraceView() = default;

void TContinuousTraceView::Attach(const TControls& AControls) {
    FControls = AControls;
    FControls.btn_continuo->setCheckable(true);
    connect(FControls.btn_continuo, &QPushButton::toggled, this,
            &TContinuousTraceView::ContinuoToggled);
    connect(FControls.btn_esporta_csv, &QPushButton::clicked, this,
            &TContinuousTraceView::ExportClick);
}

void TContinuousTraceView::ContinuoToggled(bool AOn) {
    if (!AOn) {
        FTrace->Stop();
        return;
    }
    lvContinuo->clear();
    l_verdetto->clear();
    l_verdetto->setAccessibleDescription(QString());
    const int MaxHops =
        THopRow::MaxHopsOf(FControls.seMaxHops->cleanText(), FControls.seMaxHops->minimum());
    FTrace->Start(FControls.e_host->text(), MaxHops);
}

void TContinuousTraceView::TraceFailed(const QString& AMessage) {
    FControls.btn_continuo->setChecked(false);
    ReportError(AMessage);
}

void TContinuousTraceView::ReportError(const QString& AMessage) {
    if (FErrorBox) {
        FErrorBox(AMessage);
        return;
    }
    QMessageBox Box(QMessageBox::Critical, QCoreApplication::applicationName(), AMessage,
                    QMessageBox::Ok, window());
    Box.exec();
}

bool TContinuousTraceView::SyncRows(const std::vector<TTraceHop>& AHops) {
    bool Same = lvContinuo->topLevelItemCount() == static_cast<int>(AHops.size());
    for (int I = 0; Same && I < lvContinuo->topLevelItemCount(); ++I) {
        Same = lvContinuo->topLevelItem(I)->data(0, HopRole).toInt() == AHops[I].Hop();
    }
    if (Same) {
        return false;
    }
    // Answers of the first round come in any order, and the hops past the destination go
    // once it answers: the rows are laid out anew, which happens only then.
    lvContinuo->clear();
    for (const TTraceHop& Hop : AHops) {
        auto* Item = new QTreeWidgetItem(lvContinuo);
        Item->setData(0, HopRole, Hop.Hop());
        Fill(Item, Hop);
    }
    return true;
}

void TContinuousTraceView::Refresh(int AHop) {
    const std::vector<TTraceHop> Hops = FTrace->Hops();
    FVerdictDue->start();
    if (SyncRows(Hops)) {
        return;
    }
    for (std::size_t I = 0; I < Hops.size(); ++I) {
        if (Hops[I].Hop() == AHop) {
            Fill(lvContinuo->topLevelItem(static_cast<int>(I)), Hops[I]);
        }
    }
}

void TContinuousTraceView::RefreshAll() {
    const std::vector<TTraceHop> Hops = FTrace->Hops();
    if (!SyncRows(Hops)) {
        for (std::size_t I = 0; I < Hops.size(); ++I) {
            Fill(lvContinuo->topLevelItem(static_cast<int>(I)), Hops[I]);
        }
    }
}

void TContinuousTraceView::Fill(QTreeWidgetItem* AItem, const TTraceHop& AHop) {
    const auto Rows =
        TTraceTable::Rows(AHop, [this](const QString& A) { return FTrace->NameOf(A); });
    const auto Put = [](QTreeWidgetItem* AInto, const QStringList& ACells) {
        for (int C = 0; C < ACells.size(); ++C) {
            if (AInto->text(C) != ACells[C]) {
                AInto->setText(C, ACells[C]);
            }
        }
        // Wider than their columns at times (IPv6, long names): whole in the tooltip.
        AInto->setToolTip(TTraceTable::AddressColumn, ACells[TTraceTable::AddressColumn]);
        AInto->setToolTip(TTraceTable::NameColumn, ACells[TTraceTable::NameColumn]);
    };
    Put(AItem, Rows.front().Cells);
    const int Children = static_cast<int>(Rows.size()) - 1;
    while (AItem->childCount() > Children) {
        delete AItem->takeChild(AItem->childCount() - 1);
    }
    while (AItem->childCount() < Children) {
        AItem->addChild(new QTreeWidgetItem);
    }
    for (int I = 0; I < Children; ++I) {
        Put(AItem->child(I), Rows[static_cast<std::size_t>(I) + 1].Cells);
    }
    AItem->setExpanded(Children > 0);
}

void TContinuousTraceView::ShowVerdict() {
    const QString Sentence = VerdictText::Reword(FTrace->Verdict().Sentence);
    l_verdetto->setText(Sentence);
    // Named "Giudizio" for assistive technology, which reads the sentence as its description.
    l_verdetto->setAccessibleDescription(Sentence);
}

void TContinuousTraceView::AddRouteLine(int AHop, const QStringList& ABefore,
                                        const QStringList& AAfter) {
    QListWidget* Log = FControls.lbLog;
    if (Log == nullptr) {
        return;
    }
    const QString Stamp = TLocaleFormats::Stamp(*FControls.Clock).Joined();
    auto* Line = new QListWidgetItem(TTraceTable::RouteLine(Stamp, AHop, ABefore, AAfter), Log);
    Line->setToolTip(Line->text()); // wider than the list
    while (Log->count() > LogLimit) {
        delete Log->takeItem(0);
    }
    Log->scrollToBottom();
}

bool TContinuousTraceView::ExportCsv(const QString& APath) {
    const QByteArray Bytes =
        TTraceTable::Csv(FTrace->Hops(), [this](const QString& A) { return FTrace->NameOf(A); });
    // Beside the target, renamed into place: a failure leaves an older file whole.
    QSaveFile File(APath);
    if (File.open(QIODevice::WriteOnly) && File.write(Bytes) == Bytes.size() && File.commit()) {
        return true;
    }
    const QString Reason = File.errorString();
    File.cancelWriting();
    ReportError(tr("Impossibile esportare il CSV %1: %2").arg(APath, Reason));
    return false;
}

void TContinuousTraceView::ExportClick() {
    const QString Suggested =
        QDir::home().filePath(tr("zirko-traccia-%1.csv")
                                  .arg(QDateTime::fromMSecsSinceEpoch(FControls.Clock->WallMs())
                                           .toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString Path =
        QFileDialog::getSaveFileName(this, tr("Esporta CSV"), Suggested, tr("File CSV (*.csv)"));
    if (!Path.isEmpty()) {
        ExportCsv(Path);
    }
}
