// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsFeed.h"

#include "ModuleSymbol.h"
#include "TMetricsEndpoint.h"
#include "TMetricsTextfile.h"
#include "TPingCore.h"
#include "TZirkoOptions.h"

#include <QCoreApplication>

#include <iostream>

namespace {

const TModuleSymbol& EndpointMaker() {
    static const TModuleSymbol Maker =
        FindModuleSymbol(ZIRKO_ENDPOINT_MODULE, "ZirkoMakeMetricsEndpoint");
    return Maker;
}

} // namespace

TMetricsFeed::TMetricsFeed(QObject* Parent) : QObject(Parent) {}

TMetricsFeed::~TMetricsFeed() = default;

bool TMetricsFeed::Start(const TZirkoOptions& Options) {
    if (Options.Metrics) {
        if (const QString Failure = Serve(*Options.Metrics); !Failure.isEmpty()) {
            std::cerr << "zirko: " << Failure.toStdString() << "\n";
            return false;
        }
    }
    if (Options.MetricsTextfile) {
        WriteTextfile(*Options.MetricsTextfile);
    }
    return true;
}

QString TMetricsFeed::Serve(const std::string& AddressAndPort) {
    std::string Address;
    int Port = 0;
    if (!SplitMetricsAddress(AddressAndPort, Address, Port)) {
        return QCoreApplication::translate("TMetricsFeed", "no ADDRESS:PORT: %1")
            .arg(QString::fromStdString(AddressAndPort));
    }
    const TModuleSymbol& Maker = EndpointMaker();
    if (Maker.Address == nullptr) {
        return QCoreApplication::translate("TMetricsFeed",
                                           "the metrics module %1 could not be loaded (%2)")
            .arg(QStringLiteral(ZIRKO_ENDPOINT_MODULE), QString::fromStdString(Maker.Reason));
    }
    const auto Make = reinterpret_cast<TMakeMetricsEndpoint>(Maker.Address);
    FServer.reset(Make([this](std::string_view Accept) { return FRegistry.Answer(Accept); }));
    return FServer->Listen(QString::fromStdString(Address), quint16(Port));
}

quint16 TMetricsFeed::Port() const {
    return FServer ? FServer->Port() : 0;
}

void TMetricsFeed::WriteTextfile(const std::string& Dir) {
    FTextfile = std::make_unique<TMetricsTextfile>(Dir);
}

void TMetricsFeed::Follow(TPingCore& Core) {
    connect(&Core, &TPingCore::ReplyCounted, this,
            [this](const TReplyStatus& Reply, const TPingCounters& Counters,
                   const std::string& Host, const std::string& Address) {
                FRegistry.SetTarget({Host, Address, ""});
                FRegistry.AddReply(Reply);
                FRegistry.SetConsecutiveLost(Counters.n_persi_consecutivi);
                Changed();
            });
    connect(&Core, &TPingCore::PingFailed, this, [this] {
        FRegistry.AddSendError();
        Changed();
    });
    connect(&Core, &TPingCore::MonitoringChanged, this, [this](bool Active) {
        FRegistry.SetMonitoringActive(Active);
        Changed();
    });
    const auto Outage = [this, &Core] {
        FRegistry.SetOutage(Core.Outage());
        Changed();
    };
    for (const auto Signal : {&TPingCore::OutageBegan, &TPingCore::OutageEnded}) {
        connect(&Core, Signal, this, Outage);
    }
    const auto Slow = [this, &Core] {
        FRegistry.SetSlowActive(Core.Slow() && Core.Slow()->End == TOutageEnd::Open);
        Changed();
    };
    for (const auto Signal : {&TPingCore::SlowBegan, &TPingCore::SlowEnded}) {
        connect(&Core, Signal, this, Slow);
    }
}

void TMetricsFeed::SetAlarmThreshold(int Losses) {
    FRegistry.SetAlarmThreshold(Losses);
}

void TMetricsFeed::SetAverageLimitMs(int LimitMs) {
    FRegistry.SetAverageLimitMs(LimitMs);
}

void TMetricsFeed::Changed() {
    if (!FTextfile) {
        return;
    }
    const std::string Failure =
        FTextfile->Write(FRegistry.Text(TMetricsRegistry::TFormat::Prometheus));
    // Said once: a folder that stays unwritable must not fill the journal.
    if (!Failure.empty() && !FTextfileFailed) {
        std::cerr << "zirko: " << Failure << "\n";
    }
    FTextfileFailed = !Failure.empty();
}
