// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TPingHistory.h"
#include "TPlotView.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QBoxLayout;
class QComboBox;
class QLabel;
class QMenu;
class QToolButton;
class QWidget;

// What "Grafico" shows: the Ping page's host (the first entry, chosen unless the user
// picks another) or one target, and the targets drawn over it in colours of their own.
// A target's pings are the last ten minutes its watch keeps, whatever span is shown.
class TGraphTargets : public QObject {
    Q_OBJECT

public:
    // Wall ms and round trip, < 0 for a lost ping, oldest first.
    using TTrace = std::vector<std::pair<int64_t, double>>;
    using TSource = std::function<TTrace(size_t)>;

    explicit TGraphTargets(QObject* AParent);
    // The box and the button, into ABar; until then the choice is kept here alone.
    void CreateControls(QWidget* APage, QBoxLayout* ABar);

    // By the targets' list index; unset, every target shows no pings.
    void SetSource(TSource ASource) { FSource = std::move(ASource); }
    // The list changed: choices and ticks follow the targets by name.
    void SetTargets(const QStringList& ANames);
    const QStringList& Names() const { return FNames; }
    void Select(size_t AIndex);
    // None while the Ping page's host is shown.
    std::optional<size_t> Selected() const;
    void SetOverlaid(size_t AIndex, bool AOn);
    std::vector<size_t> Overlaid() const;
    // True while any target is shown, chosen or drawn over.
    bool Any() const { return Selected() || !Overlaid().empty(); }

    // A target's pings as the page's history keeps its own.
    TPingHistory History(size_t AIndex) const;
    static TPingHistory HistoryOf(const TTrace& ATrace);
    // The ticked targets but the chosen one, over [AFromMs, AToMs].
    std::vector<TPlotOverlay> Overlays(qint64 AFromMs, qint64 AToMs, int AColumns) const;
    static QColor Colour(size_t ANth);

    QLabel* l_bersaglio = nullptr;
    QComboBox* cb_bersaglio = nullptr;
    QToolButton* btn_sovrapponi = nullptr;

signals:
    void Changed();

private:
    // The choice into the controls, once they are made.
    void ShowChoices();

    QMenu* FMenu = nullptr;
    QStringList FNames;
    std::optional<size_t> FChosen;
    std::vector<bool> FTicked; // by the list's index
    TSource FSource;
};
