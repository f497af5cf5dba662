// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsServer.h"

#include "TMetricsGuard.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerResponse>

#include <utility>

TMetricsServer::TMetricsServer(TMetricsSource Source, QObject* Parent)
    : TMetricsServer(std::move(Source), TLimits{}, Parent) {}

TMetricsServer::TMetricsServer(TMetricsSource Source, const TLimits& Limits, QObject* Parent)
    : QObject(Parent), FSource(std::move(Source)), FHttp(std::make_unique<QHttpServer>()),
      FGuard(new TMetricsGuard(Limits, FHttp.get())) {
    using TMethod = QHttpServerRequest::Method;
    FHttp->route("/metrics", TMethod::Get, [this](const QHttpServerRequest& Request) {
        const TMetricsAnswer Answer = FSource(Request.value("Accept").toStdString());
        return QHttpServerResponse(
            QByteArray::fromStdString(Answer.ContentType),
            QByteArray(Answer.Text.data(), static_cast<qsizetype>(Answer.Text.size())));
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

extern "C" Q_DECL_EXPORT TMetricsEndpoint* ZirkoMakeMetricsEndpoint(TMetricsSource Source) {
    return new TMetricsServer(std::move(Source));
}
