// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TClock.h"

class QLineEdit;
class QSpinBox;
class QPushButton;
class QTreeWidget;
class TNetIcmpClient;

// The Traceroute page's controls and its echo client, owned by the window.
struct TTracePage {
    QLineEdit* e_host = nullptr;
    QSpinBox* seMaxHops = nullptr;
    QPushButton* btn_execute = nullptr;
    QTreeWidget* lvTrace = nullptr;
    TNetIcmpClient* NetIcmpClient = nullptr;
    // Dates and times of the hop notes.
    const TClock* Clock = &TClock::System();
};
