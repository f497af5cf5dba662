// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TOutage.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>
#include <set>
#include <vector>

class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

// "Interruzioni": the outages, newest first, with their start, end, duration
// and lost pings. A click asks for that outage on the plot; the list exports
// as CSV. It holds what it was last handed, from the history or from this run.
class TOutagePanel : public QWidget {
    Q_OBJECT

public:
    using TErrorBox = std::function<void(const QString&)>;

    TOutagePanel(TErrorBox ErrorBox, QWidget* Parent);

    void SetOutages(std::vector<TOutage> Outages);
    // One outage as it began or changed: replaces the one with its start (keeping
    // its path when Outage has none), or is added.
    void Upsert(const TOutage& Outage);
    const std::vector<TOutage>& Outages() const { return FOutages; }
    // Those of [FromMs, ToMs], for the plot's marks and the summary's count.
    // Kind Slow gives the slow periods' bands instead of the outages' marks.
    std::vector<std::pair<qreal, qreal>> Marks(qint64 FromMs, qint64 ToMs, qint64 NowMs,
                                               TOutageKind Kind = TOutageKind::Down) const;
    int CountWithin(qint64 FromMs, qint64 ToMs, qint64 NowMs) const;

    // The list as CSV: stamps in UTC ms and local ISO time, the brackets, the end.
    QByteArray Csv() const;
    bool ExportCsv(const QString& Path);

    // Where an outage's shown span begins and ends: its brackets, with a margin.
    static std::pair<qint64, qint64> SpanOf(const TOutage& Outage, qint64 NowMs);
    // The end as the list words it: a time, "in corso" or "sconosciuta".
    static QString EndText(const TOutage& Outage);

signals:
    // The user picked this outage in the list.
    void OutageClicked(const TOutage& Outage);
    // "Rapporto…" in the row's menu.
    void ReportRequested(const TOutage& Outage);

private:
    void ShowRows();
    void ShowRow(QTreeWidgetItem* Item, const TOutage& Outage);
    void ShowDirtyRows();
    void ExportClick();

    std::vector<TOutage> FOutages;
    TErrorBox FErrorBox;
    QTreeWidget* lv_interruzioni = nullptr;
    QPushButton* btn_esporta_interruzioni = nullptr;
    QTimer* FShowDirty = nullptr;
    std::set<int> FDirty; // rows whose outage changed since they were shown
};
