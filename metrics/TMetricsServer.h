// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TMetricsEndpoint.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QHttpServer;
class TMetricsGuard;

// The /metrics endpoint: GET /metrics answers the source's text in the format
// the Accept header negotiates; other methods on /metrics get 405, any other
// path 404. Lives in the thread that created it (the GUI thread), like the
// registry its source reads. Built into the zirko_endpoint module.
class TMetricsServer : public QObject, public TMetricsEndpoint {
    Q_OBJECT

public:
    // What a connection may cost before it is closed. Qt 6.4's QHttpServer bounds
    // neither the size of a request nor its time, so a guard in front enforces these.
    struct TLimits {
        int MaxConnections = 16;                  // further ones are closed at once
        qint64 MaxRequestBytes = 16 * 1024;       // received since the last answer
        std::chrono::milliseconds Deadline{5000}; // from the connection or the last
                                                  // answer to the next answer
        qint64 MaxPendingOutput = 1024 * 1024;    // answers the client does not read
        // From the connection on; then it is closed once no request is under way.
        // Without it, clients asking more often than Deadline keep every place for
        // good; with it a client turned away gets a place within Lifetime.
        std::chrono::milliseconds Lifetime{10000};
    };

    explicit TMetricsServer(TMetricsSource Source, QObject* Parent = nullptr);
    TMetricsServer(TMetricsSource Source, const TLimits& Limits, QObject* Parent = nullptr);
    ~TMetricsServer() override;

    QString Listen(const QString& Address, quint16 Port) override;
    quint16 Port() const override;
    // Connections open now (for tests and the benchmark).
    int Connections() const;

private:
    const TMetricsSource FSource;
    std::unique_ptr<QHttpServer> FHttp;
    TMetricsGuard* FGuard = nullptr; // owned by FHttp once bound
};
