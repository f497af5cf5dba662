// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTimerSwitch.h"

#include <QTimer>

void TTimerSwitch::SetEnabled(QTimer& Timer, bool Enabled) {
    if (Timer.isActive() == Enabled)
        return;
    if (Enabled)
        Timer.start();
    else
        Timer.stop();
}

void TTimerSwitch::SetInterval(QTimer& Timer, int IntervalMs) {
    if (Timer.interval() != IntervalMs)
        Timer.setInterval(IntervalMs);
}
