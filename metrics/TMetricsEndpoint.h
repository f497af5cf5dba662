// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TMetricsAnswer.h"

#include <QString>
#include <QtGlobal>

// The /metrics endpoint as the monitoring sees it. It serves with Qt HttpServer and
// Qt Network, which live in a module of their own (zirko_endpoint) loaded only when
// --metrics asks for it: a start without it maps none of them. Virtual, so the
// programs reach the endpoint without linking it.
class TMetricsEndpoint {
public:
    virtual ~TMetricsEndpoint() = default;
    // Starts listening on Address (an IPv4 or IPv6 address, no name) and Port
    // (0: one the system picks, see Port()). Returns "" on success, otherwise
    // one line saying why, such as
    // "cannot listen on 127.0.0.1:9374: The bound address is already in use".
    // Called once.
    virtual QString Listen(const QString& Address, quint16 Port) = 0;
    // The port listened on, 0 before a successful Listen.
    virtual quint16 Port() const = 0;
};

// The one symbol the module exports: an endpoint answering from Source, owned by
// the caller, living in the thread that called it.
extern "C" {
using TMakeMetricsEndpoint = TMetricsEndpoint* (*)(TMetricsSource Source);
}
