// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetsPage.h"

#include "TTargetDialog.h"
#include "TTargetsFile.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace {

const int IndexRole = Qt::UserRole;      // the target's place in the list; -1 for a group
const int SortRole = Qt::UserRole + 1;   // the value a numeric column sorts by
const int TraceRole = Qt::UserRole + 2;  // the trace's points, as a QVariantList
const double MinTraceTopMs = 10; // a trace's lowest top: loopback's tenths stay flat

// Numeric columns sort by their value, not by their text.
class TSortedItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& AOther) const override {
        const int Column = treeWidget() != nullptr ? treeWidget()->sortColumn() : 0;
        const QVariant Mine = data(Column, SortRole), Theirs = AOther.data(Column, SortRole);
        if (Mine.isValid() && Theirs.isValid()) {
            return Mine.toDouble() < Theirs.toDouble();
        }
        return text(Column).localeAwareCompare(AOther.text(Column)) < 0;
    }
};

// The last minutes of a target drawn in its row; a lost ping is a red tick.
class TTraceDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* APainter, const QStyleOptionViewItem& AOption,
               const QModelIndex& AIndex) const override {
        QStyledItemDelegate::paint(APainter, AOption, AIndex);
        const QVariantList Points = AIndex.data(TraceRole).toList();
        if (Points.size() < 2) {
            return;
        }
        const QRectF Box = QRectF(AOption.rect).adjusted(2, 3, -2, -3);
        const double Step = Box.width() / double(Points.size() - 1);
        double Top = MinTraceTopMs;
        for (const QVariant& Point : Points) {
            Top = std::max(Top, Point.toDouble());
        }
        QPolygonF Line;
        APainter->save();
        APainter->setRenderHint(QPainter::Antialiasing);
        for (int I = 0; I < Points.size(); ++I) {
            const double Ms = Points[I].toDouble();
            const double X = Box.left() + Step * I;
            if (Ms < 0) {
                APainter->setPen(QColor(200, 0, 0));
                APainter->drawLine(QPointF(X, Box.top()), QPointF(X, Box.bottom()));
                continue;
            }
            Line << QPointF(X, Box.bottom() - Box.height() * Ms / Top);
        }
        APainter->setPen(QPen(QColor(30, 90, 180), 1));
        APainter->drawPolyline(Line);
        APainter->restore();
    }
};

QString MarkText(TTargetStatus::TMark AMark) {
    switch (AMark) {
    case TTargetStatus::TMark::Up: return QStringLiteral("●");
    case TTargetStatus::TMark::Slow: return QStringLiteral("▲");
    case TTargetStatus::TMark::Down: return QStringLiteral("✖");
    case TTargetStatus::TMark::NotWatched: break;
    }
    return QStringLiteral("○");
}

QString MarkName(TTargetStatus::TMark AMark) {
    switch (AMark) {
    case TTargetStatus::TMark::Up: return TTargetsPage::tr("risponde");
    case TTargetStatus::TMark::Slow: return TTargetsPage::tr("lento");
    case TTargetStatus::TMark::Down: return TTargetsPage::tr("giù");
    case TTargetStatus::TMark::NotWatched: break;
    }
    return TTargetsPage::tr("non osservato");
}

QColor MarkColour(TTargetStatus::TMark AMark) {
    switch (AMark) {
    case TTargetStatus::TMark::Up: return {0, 140, 0};
    case TTargetStatus::TMark::Slow: return {200, 150, 0};
    case TTargetStatus::TMark::Down: return {200, 0, 0};
    case TTargetStatus::TMark::NotWatched: break;
    }
    return {128, 128, 128};
}

QString Ms(const std::optional<double>& AMs) {
    return AMs ? QStringLiteral("%1 ms").arg(*AMs, 0, 'f', 1) : QStringLiteral("—");
}

QString Span(int64_t AMs) {
    const int64_t S = std::max<int64_t>(0, AMs / 1000);
    return QStringLiteral("%1:%2:%3")
        .arg(S / 3600)
        .arg(S / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(S % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

TTargetsPage::TTargetsPage(std::string APath, QWidget* AParent)
    : QWidget(AParent), FStore(std::move(APath)) {
    setObjectName(QStringLiteral("TabSheet4"));
    e_filtro = new QLineEdit(this);
    e_filtro->setObjectName(QStringLiteral("e_filtro"));
    e_filtro->setPlaceholderText(tr("Filtro"));
    e_filtro->setAccessibleName(tr("Filtro"));
    e_filtro->setClearButtonEnabled(true);
    btn_aggiungi = Button(tr("Aggiungi…"), "btn_aggiungi");
    btn_modifica = Button(tr("Modifica…"), "btn_modifica");
    btn_rimuovi = Button(tr("Rimuovi"), "btn_rimuovi");
    btn_avvia = Button(tr("Avvia"), "btn_avvia");
    btn_ferma = Button(tr("Ferma"), "btn_ferma");
    btn_avvia_tutti = Button(tr("Avvia tutti"), "btn_avvia_tutti");
    btn_ferma_tutti = Button(tr("Ferma tutti"), "btn_ferma_tutti");
    btn_importa = Button(tr("Importa…"), "btn_importa");
    btn_esporta = Button(tr("Esporta…"), "btn_esporta");
    l_problema = new QLabel(this);
    l_problema->setObjectName(QStringLiteral("l_problema"));
    l_problema->setAccessibleName(tr("Problema del file"));
    l_problema->setStyleSheet(QStringLiteral("color: #b00000"));
    CreateTable();

    auto* Tools = new QHBoxLayout;
    Tools->addWidget(e_filtro, 1);
    for (QPushButton* Each : {btn_aggiungi, btn_modifica, btn_rimuovi, btn_avvia, btn_ferma}) {
        Tools->addWidget(Each);
    }
    auto* Bottom = new QHBoxLayout;
    for (QPushButton* Each : {btn_avvia_tutti, btn_ferma_tutti}) {
        Bottom->addWidget(Each);
    }
    Bottom->addStretch(1);
    Bottom->addWidget(btn_importa);
    Bottom->addWidget(btn_esporta);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Tools);
    Layout->addWidget(l_problema);
    Layout->addWidget(tv_bersagli, 1);
    Layout->addLayout(Bottom);

    connect(e_filtro, &QLineEdit::textChanged, this, &TTargetsPage::SetFilter);
    connect(btn_aggiungi, &QPushButton::clicked, this, &TTargetsPage::Add);
    connect(btn_modifica, &QPushButton::clicked, this, &TTargetsPage::Edit);
    connect(btn_rimuovi, &QPushButton::clicked, this, &TTargetsPage::Remove);
    connect(btn_avvia, &QPushButton::clicked, this, [this] { SetStopped(Selected(), false); });
    connect(btn_ferma, &QPushButton::clicked, this, [this] { SetStopped(Selected(), true); });
    const auto All = [this] {
        std::vector<size_t> Indexes(FTargets.size());
        for (size_t I = 0; I < Indexes.size(); ++I) {
            Indexes[I] = I;
        }
        return Indexes;
    };
    connect(btn_avvia_tutti, &QPushButton::clicked, this, [this, All] { SetStopped(All(), false); });
    connect(btn_ferma_tutti, &QPushButton::clicked, this, [this, All] { SetStopped(All(), true); });
    connect(btn_importa, &QPushButton::clicked, this, &TTargetsPage::Import);
    connect(btn_esporta, &QPushButton::clicked, this, &TTargetsPage::Export);

    FTargets = FStore.Load();
    ShowProblem();
    Rebuild();
}

QPushButton* TTargetsPage::Button(const QString& ACaption, const char* AName) {
    auto* Each = new QPushButton(ACaption, this);
    Each->setObjectName(QString::fromLatin1(AName));
    Each->setAccessibleName(ACaption);
    return Each;
}

void TTargetsPage::CreateTable() {
    tv_bersagli = new QTreeWidget(this);
    tv_bersagli->setObjectName(QStringLiteral("tv_bersagli"));
    tv_bersagli->setAccessibleName(tr("Bersagli"));
    tv_bersagli->setColumnCount(cCount);
    tv_bersagli->setHeaderLabels({tr("Stato"), tr("Nome"), tr("Indirizzo"), tr("Ultimo"),
                                  tr("Media"), tr("Perdita %"), tr("Ultimi 10 minuti"),
                                  tr("Giù da")});
    tv_bersagli->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tv_bersagli->setRootIsDecorated(true);
    tv_bersagli->setUniformRowHeights(true);
    tv_bersagli->setSortingEnabled(true);
    tv_bersagli->sortByColumn(cName, Qt::AscendingOrder);
    tv_bersagli->setItemDelegateForColumn(cTrace, new TTraceDelegate(tv_bersagli));
    tv_bersagli->header()->resizeSection(cMark, 70);
    tv_bersagli->header()->resizeSection(cTrace, 140);
    connect(tv_bersagli, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* AItem) {
                const int Index = AItem->data(0, IndexRole).toInt();
                if (Index >= 0) {
                    emit OpenTarget(size_t(Index));
                }
            });
}

void TTargetsPage::Rebuild() {
    tv_bersagli->setSortingEnabled(false);
    tv_bersagli->clear();
    FRows.clear();
    std::map<std::string, QTreeWidgetItem*> Groups;
    for (size_t I = 0; I < FTargets.size(); ++I) {
        const TTarget& Each = FTargets[I];
        QTreeWidgetItem* Parent = nullptr;
        if (const std::string Group = Each.Group(); !Group.empty()) {
            QTreeWidgetItem*& Found = Groups[Group];
            if (Found == nullptr) {
                Found = new TSortedItem(tv_bersagli);
                Found->setText(cName, QString::fromStdString(Group));
                Found->setData(0, IndexRole, -1);
                Found->setFirstColumnSpanned(false);
                Found->setExpanded(true);
            }
            Parent = Found;
        }
        auto* Row = Parent != nullptr ? new TSortedItem(Parent) : new TSortedItem(tv_bersagli);
        Row->setData(0, IndexRole, int(I));
        const std::string Name = Each.Name();
        Row->setText(cName, QString::fromStdString(Name.empty() ? Each.Host : Name));
        Row->setText(cAddress, QString::fromStdString(Each.Host));
        FRows.push_back(Row);
        TTargetStatus Idle;
        ShowStatus(I, Idle, 0);
    }
    for (auto& [Name, Group] : Groups) {
        Group->setExpanded(true);
    }
    tv_bersagli->setSortingEnabled(true);
    SetFilter(e_filtro->text());
    btn_modifica->setEnabled(!FTargets.empty());
    btn_rimuovi->setEnabled(!FTargets.empty());
}

void TTargetsPage::ShowStatus(size_t AIndex, const TTargetStatus& AStatus, int64_t ANowMs) {
    if (AIndex >= FRows.size()) {
        return;
    }
    QTreeWidgetItem* Row = FRows[AIndex];
    const TTargetStatus::TMark Mark =
        FTargets[AIndex].Stopped ? TTargetStatus::TMark::NotWatched : AStatus.Mark;
    Row->setText(cMark, MarkText(Mark));
    Row->setForeground(cMark, MarkColour(Mark));
    Row->setToolTip(cMark, MarkName(Mark));
    Row->setData(cMark, SortRole, int(Mark));
    Row->setData(cMark, Qt::AccessibleTextRole, MarkName(Mark));
    Row->setText(cLast, Ms(AStatus.LastMs));
    Row->setData(cLast, SortRole, AStatus.LastMs.value_or(1e9));
    Row->setText(cAverage, Ms(AStatus.AverageMs));
    Row->setData(cAverage, SortRole, AStatus.AverageMs.value_or(1e9));
    Row->setText(cLoss, QStringLiteral("%1").arg(AStatus.LossPercent, 0, 'f', 1));
    Row->setData(cLoss, SortRole, AStatus.LossPercent);
    QVariantList Trace;
    for (double Point : AStatus.TraceMs) {
        Trace << Point;
    }
    Row->setData(cTrace, TraceRole, Trace);
    Row->setData(cTrace, SortRole, AStatus.AverageMs.value_or(1e9));
    const int64_t Down = AStatus.DownSinceMs ? ANowMs - *AStatus.DownSinceMs : -1;
    Row->setText(cDown, Down >= 0 ? Span(Down) : QString());
    Row->setData(cDown, SortRole, double(Down));
}

void TTargetsPage::SetFilter(const QString& AText) {
    const QString Wanted = AText.trimmed();
    for (QTreeWidgetItem* Row : FRows) {
        const bool Shown = Wanted.isEmpty() ||
                           Row->text(cName).contains(Wanted, Qt::CaseInsensitive) ||
                           Row->text(cAddress).contains(Wanted, Qt::CaseInsensitive) ||
                           (Row->parent() != nullptr &&
                            Row->parent()->text(cName).contains(Wanted, Qt::CaseInsensitive));
        Row->setHidden(!Shown);
    }
    for (int I = 0; I < tv_bersagli->topLevelItemCount(); ++I) {
        QTreeWidgetItem* Top = tv_bersagli->topLevelItem(I);
        if (Top->data(0, IndexRole).toInt() >= 0) {
            continue;
        }
        bool Any = false;
        for (int C = 0; C < Top->childCount(); ++C) {
            Any = Any || !Top->child(C)->isHidden();
        }
        Top->setHidden(!Any);
    }
}

void TTargetsPage::ShowProblem() {
    const std::string& Problem = FStore.Problem();
    l_problema->setText(
        Problem.empty()
            ? QString()
            : tr("Il file dei bersagli non si può usare: %1").arg(QString::fromStdString(Problem)));
    l_problema->setAccessibleDescription(l_problema->text());
    l_problema->setVisible(!Problem.empty());
}

void TTargetsPage::Changed(std::vector<TTarget> ATargets) {
    FTargets = std::move(ATargets);
    TTargetsStore::TSaved Saved = FStore.Save(FTargets);
    if (Saved == TTargetsStore::TSaved::NeedsConsent) {
        const auto Answer = QMessageBox::question(
            this, tr("Bersagli"),
            tr("Il file %1 non si può leggere. Sostituirlo con l'elenco attuale?")
                .arg(QString::fromStdString(FStore.Path())));
        if (Answer == QMessageBox::Yes) {
            Saved = FStore.Save(FTargets, true);
        }
    }
    ShowProblem();
    Rebuild();
    emit TargetsChanged(FTargets);
}

void TTargetsPage::SetTargets(std::vector<TTarget> ATargets) {
    Changed(std::move(ATargets));
}

std::vector<size_t> TTargetsPage::Selected() const {
    std::vector<size_t> Indexes;
    for (QTreeWidgetItem* Item : tv_bersagli->selectedItems()) {
        const int Index = Item->data(0, IndexRole).toInt();
        if (Index >= 0) {
            Indexes.push_back(size_t(Index));
        }
        for (int C = 0; Index < 0 && C < Item->childCount(); ++C) {
            Indexes.push_back(size_t(Item->child(C)->data(0, IndexRole).toInt()));
        }
    }
    std::sort(Indexes.begin(), Indexes.end());
    Indexes.erase(std::unique(Indexes.begin(), Indexes.end()), Indexes.end());
    return Indexes;
}

void TTargetsPage::Add() {
    TTargetDialog Dialog(
        tr("Aggiungi bersaglio"), TTarget{},
        [this](const TTarget& ANew) { return TTargetsStore::Clash(ANew, FTargets); }, this);
    if (Dialog.exec() == QDialog::Accepted) {
        std::vector<TTarget> Next = FTargets;
        Next.push_back(Dialog.Target());
        Changed(std::move(Next));
    }
}

void TTargetsPage::Edit() {
    const std::vector<size_t> Indexes = Selected();
    if (Indexes.empty()) {
        return;
    }
    const size_t Index = Indexes.front();
    std::vector<TTarget> Others = FTargets;
    Others.erase(Others.begin() + std::ptrdiff_t(Index));
    TTargetDialog Dialog(
        tr("Modifica bersaglio"), FTargets[Index],
        [Others](const TTarget& AEdited) { return TTargetsStore::Clash(AEdited, Others); }, this);
    if (Dialog.exec() == QDialog::Accepted) {
        std::vector<TTarget> Next = FTargets;
        Next[Index] = Dialog.Target();
        Changed(std::move(Next));
    }
}

void TTargetsPage::Remove() {
    const std::vector<size_t> Indexes = Selected();
    if (Indexes.empty()) {
        return;
    }
    std::vector<TTarget> Next;
    for (size_t I = 0; I < FTargets.size(); ++I) {
        if (!std::binary_search(Indexes.begin(), Indexes.end(), I)) {
            Next.push_back(FTargets[I]);
        }
    }
    Changed(std::move(Next));
}

void TTargetsPage::SetStopped(const std::vector<size_t>& AIndexes, bool AStopped) {
    if (AIndexes.empty()) {
        return;
    }
    std::vector<TTarget> Next = FTargets;
    for (size_t Index : AIndexes) {
        Next[Index].Stopped = AStopped;
    }
    Changed(std::move(Next));
}

void TTargetsPage::Import() {
    const QString Path = QFileDialog::getOpenFileName(this, tr("Importa bersagli"), QString(),
                                                      tr("YAML (*.yml *.yaml)"));
    if (Path.isEmpty()) {
        return;
    }
    try {
        std::vector<TTarget> Next = FTargets;
        for (TTarget& Each : zirko::targets::Read(Path.toStdString())) {
            if (TTargetsStore::Clash(Each, Next).empty()) {
                Next.push_back(std::move(Each));
            }
        }
        Changed(std::move(Next));
    } catch (const ETargetsFile& Error) {
        QMessageBox::warning(this, tr("Importa bersagli"), QString::fromStdString(Error.what()));
    }
}

void TTargetsPage::Export() {
    const QString Path = QFileDialog::getSaveFileName(
        this, tr("Esporta bersagli"), QStringLiteral("targets.yml"), tr("YAML (*.yml *.yaml)"));
    if (Path.isEmpty()) {
        return;
    }
    try {
        zirko::targets::Write(Path.toStdString(), FTargets);
    } catch (const ETargetsFile& Error) {
        QMessageBox::warning(this, tr("Esporta bersagli"), QString::fromStdString(Error.what()));
    }
}
