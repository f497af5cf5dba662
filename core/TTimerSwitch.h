// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QTimer;

// Window-message timer semantics on QTimer: enabling a disabled timer starts a
// full interval, while enabling an enabled one, disabling a disabled one or
// setting the interval it already has changes nothing (QTimer would restart).
class TTimerSwitch {
public:
    static void SetEnabled(QTimer& Timer, bool Enabled);
    static void SetInterval(QTimer& Timer, int IntervalMs);
};
