// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTargetsStore.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// What the page shows of one watched target.
struct TTargetStatus {
    enum class TMark { NotWatched, Up, Slow, Down };
    TMark Mark = TMark::NotWatched;
    std::optional<double> LastMs;    // none: the last was lost
    std::optional<double> AverageMs; // none before any answer
    double LossPercent = 0;
    std::optional<int64_t> DownSinceMs; // wall time the running outage began
    std::vector<double> TraceMs;        // the last ten minutes, oldest first; < 0 lost
};

// "Bersagli": every target of the list with its figures, groups as collapsible parents,
// the dialog to add, edit and remove, start and stop, and the list's file, written after
// each change.
class TTargetsPage : public QWidget {
    Q_OBJECT

public:
    // Column order of the table.
    enum TColumn { cMark, cName, cAddress, cLast, cAverage, cLoss, cTrace, cDown, cCount };

    explicit TTargetsPage(std::string APath, QWidget* AParent = nullptr);

    const std::vector<TTarget>& Targets() const { return FTargets; }
    const TTargetsStore& Store() const { return FStore; }
    void ShowStatus(size_t AIndex, const TTargetStatus& AStatus, int64_t ANowMs);

    // Replaces the list as a user change does (saved, watched); for import and tests.
    void SetTargets(std::vector<TTarget> ATargets);
    void SetFilter(const QString& AText);

    QLineEdit* e_filtro;
    QPushButton* btn_aggiungi;
    QPushButton* btn_modifica;
    QPushButton* btn_rimuovi;
    QPushButton* btn_avvia;
    QPushButton* btn_ferma;
    QPushButton* btn_avvia_tutti;
    QPushButton* btn_ferma_tutti;
    QPushButton* btn_importa;
    QPushButton* btn_esporta;
    QLabel* l_problema;
    QTreeWidget* tv_bersagli;

signals:
    // The list changed (and was saved where it could be): what to watch now.
    void TargetsChanged(const std::vector<TTarget>& ATargets);
    // A double click on a target: show it on "Grafico".
    void OpenTarget(size_t AIndex);

private:
    QPushButton* Button(const QString& ACaption, const char* AName);
    void CreateTable();
    void Rebuild();
    void Changed(std::vector<TTarget> ATargets);
    void ShowProblem();
    std::vector<size_t> Selected() const;
    void Add();
    void Edit();
    void Remove();
    void SetStopped(const std::vector<size_t>& AIndexes, bool AStopped);
    void Import();
    void Export();

    TTargetsStore FStore;
    std::vector<TTarget> FTargets;
    std::vector<QTreeWidgetItem*> FRows; // one per target, in list order
};
