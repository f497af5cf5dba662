// SPDX-License-Identifier: GPL-3.0-or-later
#include "TCoreServices.h"

std::unique_ptr<TCoreServices> BuildCoreServices(std::ostream& Errors) {
    auto Services = std::make_unique<TCoreServices>();
    // No right stays with the program: raw sockets are the helper's alone.
    if (!Services->Helper.StartForProgram()) {
        Errors << "zirko: cannot give up the raw-socket right\n";
        return nullptr;
    }
    Services->Net.SetHelper(&Services->Helper);
    Services->Agente.SetClock(&Services->Clock());
    Services->History.SetClock(&Services->Clock());
    return Services;
}

TEngineProbePort& TCoreServices::ProbePort() {
    if (!FProbePort) {
        FProbePort = std::make_unique<TEngineProbePort>(Net);
    }
    return *FProbePort;
}
