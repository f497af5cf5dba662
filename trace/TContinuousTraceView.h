// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TClock.h"

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TContinuousTrace;
class TNetContext;
class TTraceHop;

// The continuous trace of the Traceroute page: its table of per-hop figures with the verdict
// under it, and what "Continuo" and "Esporta CSV…" do. "Continuo" traces the host of the page
// up to "Max number of hops:" until it is released; route changes go to the page's log list.
class TContinuousTraceView : public QWidget {
    Q_OBJECT

public:
    // The page's controls it reads and drives; none owned.
    struct TControls {
        QLineEdit* e_host = nullptr;
        QSpinBox* seMaxHops = nullptr;
        QPushButton* btn_continuo = nullptr;
        QPushButton* btn_esporta_csv = nullptr;
        QListWidget* lbLog = nullptr;
        const TClock* Clock = &TClock::System();
    };
    using TErrorBox = std::function<void(const QString&)>;

    // Route-change lines kept in the log list; the oldest go first.
    static constexpr int LogLimit = 1000;

    explicit TContinuousTraceView(TNetContext& AContext, QWidget* AParent = nullptr);
    ~TContinuousTraceView() override;

    void Attach(const TControls& AControls);
    // A message box of its own unless one is set.
    void SetErrorBox(TErrorBox ABox) { FErrorBox = std::move(ABox); }

    TContinuousTrace& Trace() { return *FTrace; }
    QTreeWidget* Table() const { return lvContinuo; }
    QLabel* Verdict() const { return l_verdetto; }

    // The table as CSV, written beside APath and renamed into place; false (and the error
    // box) when that fails.
    bool ExportCsv(const QString& APath);

private:
    void ContinuoToggled(bool AOn);
    void ExportClick();
    void Refresh(int AHop);
    void RefreshAll();
    bool SyncRows(const std::vector<TTraceHop>& AHops);
    void Fill(QTreeWidgetItem* AItem, const TTraceHop& AHop);
    void ShowVerdict();
    void AddRouteLine(int AHop, const QStringList& ABefore, const QStringList& AAfter);
    void TraceFailed(const QString& AMessage);
    void ReportError(const QString& AMessage);

    TContinuousTrace* FTrace;
    QTreeWidget* lvContinuo;
    QLabel* l_verdetto;
    QTimer* FVerdictDue;
    TControls FControls;
    TErrorBox FErrorBox;
};
