// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetContext.h"

#include <string>

class TAgente;
class TClock;
class TDesktopNotifier;
class TProbePort;
class THistoryStore;
class TTrayIconHandler;

// What the program makes once, before its window, and hands to it: the network context
// (stack, socket policy, the helper, the one clock), the log agent, the tray's shared
// receiver and the history of the pings. They outlive the window; a test builds its own, with fakes where it needs them.
struct TZirkoServices {
    TNetContext& Net;
    TAgente& Agente;
    TTrayIconHandler& Tray;
    THistoryStore& History;
    // The outages on the desktop's notifications; a test that does without leaves it out.
    TDesktopNotifier* Notifier = nullptr;
    // The slow periods, one notification of their own beside the outage's.
    TDesktopNotifier* SlowNotifier = nullptr;
    // The targets' file; "" is the user's ($XDG_CONFIG_HOME/zirko/targets.yml).
    std::string TargetsFile;
    // How the targets' list is probed; without one the list is shown but not watched.
    TProbePort* Probes = nullptr;

    const TClock& Clock() const { return Net.Clock(); }
};
