// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QHttpServer;
class TMetricsGuard;
class TMetricsRegistry;

// The /metrics endpoint: GET /metrics answers the registry's text in the
// format the Accept header negotiates; other methods on /metrics get 405, any
// other path 404. Lives in the thread that created it (the GUI thread), like
// the registry it reads.
class TMetricsServer : public QObject {
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

    explicit TMetricsServer(const TMetricsRegistry& Registry, QObject* Parent = nullptr);
    TMetricsServer(const TMetricsRegistry& Registry, const TLimits& Limits,
                   QObject* Parent = nullptr);
    ~TMetricsServer() override;

    // Starts listening on Address (an IPv4 or IPv6 address, no name) and Port
    // (0: one the system picks, see Port()). Returns "" on success, otherwise
    // one line saying why, such as
    // "cannot listen on 127.0.0.1:9374: The bound address is already in use".
    // Called once.
    QString Listen(const QString& Address, quint16 Port);
    // The port listened on, 0 before a successful Listen.
    quint16 Port() const;
    // Connections open now (for tests and the benchmark).
    int Connections() const;

private:
    const TMetricsRegistry& FRegistry;
    std::unique_ptr<QHttpServer> FHttp;
    TMetricsGuard* FGuard = nullptr; // owned by FHttp once bound
};
