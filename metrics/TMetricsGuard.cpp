// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsGuard.h"

#include <QTimer>

#include <algorithm>

#include <unistd.h>
#include <utility>

TMetricsGuard::TMetricsGuard(const TMetricsServer::TLimits& Limits, QObject* Parent)
    : QTcpServer(Parent), FLimits(Limits) {}

void TMetricsGuard::Arm() {
    connect(this, &QTcpServer::newConnection, this, &TMetricsGuard::TakeOver);
}

void TMetricsGuard::incomingConnection(qintptr Descriptor) {
    if (FOpen >= FLimits.MaxConnections) {
        ::close(static_cast<int>(Descriptor));
        return;
    }
    auto* Socket = new QTcpSocket(this);
    if (!Socket->setSocketDescriptor(Descriptor)) {
        ::close(static_cast<int>(Descriptor));
        delete Socket;
        return;
    }
    Watch(Socket);
    // The HTTP server takes it from here and deletes it once disconnected.
    addPendingConnection(Socket);
}

void TMetricsGuard::Watch(QTcpSocket* Socket) {
    ++FOpen;
    connect(Socket, &QObject::destroyed, this, [this] { --FOpen; });
    Socket->setReadBufferSize(FLimits.MaxRequestBytes);

    auto* Deadline = new QTimer(Socket);
    Deadline->setSingleShot(true);
    connect(Deadline, &QTimer::timeout, Socket, &QTcpSocket::abort);
    Deadline->start(FLimits.Deadline);

    // Connected before the HTTP server's own slots, so this runs before it reads.
    auto Budget = std::make_shared<TBudget>();
    connect(Socket, &QTcpSocket::readyRead, Socket, [this, Socket, Budget] {
        const qint64 Buffered = Socket->bytesAvailable();
        Budget->Received += std::max<qint64>(0, Buffered - Budget->Unread);
        if (Budget->Received > FLimits.MaxRequestBytes || Buffered >= FLimits.MaxRequestBytes ||
            Socket->bytesToWrite() > FLimits.MaxPendingOutput) {
            Socket->abort();
        }
    });
    // Answer bytes written are progress: the next request has a budget and a
    // deadline of its own, unless the connection has lived long enough.
    connect(Socket, &QTcpSocket::bytesWritten, Socket, [Socket, Deadline, Budget](qint64) {
        Budget->Received = 0;
        Deadline->start();
        if (Budget->Expired) {
            Socket->disconnectFromHost(); // after what is still to be written
        }
    });
    auto* Lifetime = new QTimer(Socket);
    Lifetime->setSingleShot(true);
    connect(Lifetime, &QTimer::timeout, Socket, [Socket, Budget] {
        Budget->Expired = true;
        if (Budget->Received == 0 && Socket->bytesToWrite() == 0) {
            Socket->disconnectFromHost();
        }
    });
    Lifetime->start(FLimits.Lifetime);
    FFresh.push_back({Socket, Budget});
}

void TMetricsGuard::TakeOver() {
    for (const TFresh& Fresh : std::exchange(FFresh, {})) {
        if (QTcpSocket* Socket = Fresh.Socket) {
            connect(Socket, &QTcpSocket::readyRead, Socket,
                    [Socket, Budget = Fresh.Budget] { Budget->Unread = Socket->bytesAvailable(); });
        }
    }
}
