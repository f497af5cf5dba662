// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTracePage.h"

#include <QObject>

#include <cstdint>

class QTreeWidgetItem;

// The hop-by-hop trace of the Traceroute page. Runs inside the click handler on
// the GUI thread; errors of the echo client are left to the application's
// error box, and the rows written so far stay.
class TTraceRunner : public QObject {
    Q_OBJECT

public:
    explicit TTraceRunner(const TTracePage& Page, QObject* parent = nullptr);

    void btn_executeClick();
    void TraceExecute();
    // The first row whose caption reads as Hop, else a new row appended with it.
    QTreeWidgetItem* FindOrAddHopItem(int32_t Hop);

private:
    TTracePage Page;
};
