// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TMetricsServer.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

// The listening socket in front of the HTTP server. Qt 6.4's QHttpServer has
// no limit on a request's size, on its time or on idle connections (the
// settings for them came with later Qt versions), so a client that never
// finishes its headers, or sends them without end, would hold a socket and
// memory for good. Each connection accepted here gets its limits:
// - past MaxConnections open ones, a new connection is closed at once;
// - a connection that has sent more than MaxRequestBytes since its last answer
//   is closed, and so is one whose unparsed bytes fill the socket's buffer of
//   that size (a header line too long to parse);
// - a connection is closed when Deadline passes without an answer going out
//   (slow clients, idle keep-alive ones);
// - one that leaves more than MaxPendingOutput of answers unread is closed;
// - once Lifetime has passed, a connection is closed when it has no request
//   under way (at once, or after the answer being written).
class TMetricsGuard : public QTcpServer {
    Q_OBJECT

public:
    TMetricsGuard(const TMetricsServer::TLimits& Limits, QObject* Parent);
    // Call once the HTTP server is bound: what it leaves unread of each chunk is
    // seen only by slots connected after its own.
    void Arm();
    int Connections() const { return FOpen; }

protected:
    void incomingConnection(qintptr Descriptor) override;

private:
    struct TBudget {
        qint64 Received = 0;  // since the last answer
        qint64 Unread = 0;    // left in the buffer by the HTTP server's last read
        bool Expired = false; // Lifetime has passed
    };
    struct TFresh {
        QPointer<QTcpSocket> Socket;
        std::shared_ptr<TBudget> Budget;
    };
    void Watch(QTcpSocket* Socket);
    void TakeOver();

    TMetricsServer::TLimits FLimits;
    int FOpen = 0;
    // Accepted, not yet seen after the HTTP server took them over.
    std::vector<TFresh> FFresh;
};
