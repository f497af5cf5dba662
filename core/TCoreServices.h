// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TAgente.h"
#include "TEngineProbePort.h"
#include "THistoryStore.h"
#include "TNetContext.h"
#include "TNetSocketHelper.h"

#include <memory>
#include <ostream>

// What the window and headless watching both make once, before Qt loads any plugin:
// the helper that holds the raw-socket right, the network context on the system's
// clock, the log agent, the history store and the probe port of many targets. Each
// program then adds its own: the window its tray and notifier, headless its log on stderr.
struct TCoreServices {
    TNetSocketHelper Helper;
    TNetContext Net{TNetContext::SystemStack(), TClock::System()};
    TAgente Agente;
    THistoryStore History;

    const TClock& Clock() const { return Net.Clock(); }
    // The probe port every watch of many targets shares, made with its first use (an
    // event loop's object: once the application exists); DropProbePort ends it before
    // the application goes.
    TEngineProbePort& ProbePort();
    void DropProbePort() { FProbePort.reset(); }

private:
    std::unique_ptr<TEngineProbePort> FProbePort; // after Net, so it goes first
};

// The services, the right given up; nullptr after one line on Errors when it cannot be.
std::unique_ptr<TCoreServices> BuildCoreServices(std::ostream& Errors);
