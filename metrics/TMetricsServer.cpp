// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsServer.h"

#include "TMetricsGuard.h"
#include "TMetricsRegistry.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>

TMetricsServer::TMetricsServer(const TMetricsRegistry& Registry, QObject* Parent)
    : TMetricsServer(Registry, TLimits{}, Parent) {}

TMetricsServer::TMetricsServer(const TMetricsRegistry& Registry, const TLimits& Limits,
                               QObject* Parent)
    : QObject(Parent), FRegistry(Registry), FHttp(std::make_unique<QHttpServer>()),
      FGuard(new TMetricsGuard(Limits, FHttp.get())) {
    using TMethod = QHttpServerRequest::Method;
    FHttp->route("/metrics", TMethod::Get, [this](const QHttpServerRequest& Request) {
        const auto Format = TMetricsRegistry::Negotiate(Request.value("Accept").toStdString());
        const std::string Text = FRegistry.Text(Format);
        return QHttpServerResponse(TMetricsRegistry::ContentType(Format),
                                   QByteArray(Text.data(), static_cast<qsizetype>(Text.size())));
    });
    const auto Others =
        QHttpServerRequest::Methods(TMethod::AnyKnown) & ~QHttpServerRequest::Methods(TMethod::Get);
    FHttp->route("/metrics", Others, [] {
        QHttpServerResponse Response(QHttpServerResponse::StatusCode::MethodNotAllowed);
        Response.setHeader("Allow", "GET");
        return Response;
    });
    FHttp->setMissingHandler([](const QHttpServerRequest&, QHttpServerResponder&& Responder) {
        Responder.write(QHttpServerResponder::StatusCode::NotFound);
    });
}

TMetricsServer::~TMetricsServer() = default;

QString TMetricsServer::Listen(const QString& Address, quint16 Port) {
    const QString Where =
        (Address.contains(':') ? "[" + Address + "]" : Address) + ":" + QString::number(Port);
    QHostAddress Host;
    if (!Host.setAddress(Address)) {
        return QCoreApplication::translate("TMetricsServer",
                                           "cannot listen on %1: not an IP address")
            .arg(Where);
    }
    if (!FGuard->listen(Host, Port)) {
        return QCoreApplication::translate("TMetricsServer", "cannot listen on %1: %2")
            .arg(Where, FGuard->errorString());
    }
    FHttp->bind(FGuard);
    FGuard->Arm();
    return {};
}

quint16 TMetricsServer::Port() const {
    return FGuard->isListening() ? FGuard->serverPort() : 0;
}

int TMetricsServer::Connections() const {
    return FGuard->Connections();
}
