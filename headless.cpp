// SPDX-License-Identifier: GPL-3.0-or-later
// zirko-headless: the automatic monitoring without a window or a display, for
// a server or a user service. Same log, same folder rules, same history, kept
// and pruned as the window keeps it, and the same path traces of its outages.
// One host runs the window's schedule; a file of targets or several hosts are
// each watched continuously on the core's shared probe port.
#include "LogFolder.h"
#include "TCoreServices.h"
#include "THeadlessMonitor.h"
#include "THeadlessTargets.h"
#include "THistoryKeeper.h"
#include "TLanguage.h"
#include "TMetricsFeed.h"
#include "TNetIcmpClient.h"
#include "TOutageEvidence.h"
#include "TTerminationWatch.h"
#include "TWatchRules.h"
#include "TZirkoOptions.h"

#include <QCoreApplication>

#include <iostream>

namespace {

// A log that cannot be written ends the program; without a window, stderr says why.
class TStderrReporter : public TAgenteFatalReporter {
public:
    void ShowFatal(const std::string& Message) override {
        std::cerr << "zirko: " << TLanguage::Utf8("TAgente", Message.c_str()) << "\n";
    }
};

void StartLog(TAgente& Agente, TAgenteFatalReporter& Reporter, const std::string& Folder) {
    Agente.SetName("Agente");
    Agente.SetApplicationName("Zirko");
    Agente.SetBackupLog(true);
    Agente.SetFatalReporter(&Reporter);
    Agente.SetPath_Agente(Folder);
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.StartUp();
}

// Many targets: each continuously at its interval; SIGHUP reads the file again.
int WatchTargets(TCoreServices& Services, const TZirkoOptions& Options,
                 std::vector<TTarget> Targets, const std::string& Folder, TMetricsFeed& Metrics) {
    THistoryKeeper Keeper(Services.History, Services.Clock(), nullptr);
    TOutageEvidence Evidence(
        Services.Net, [] { return TWatchRules::MaxHops; }, nullptr);
    int Code = 0;
    {
        THeadlessTargets Watch(Services, Metrics, Options, std::move(Targets));
        Watch.Follow(Keeper, Evidence);
        // A row per answered ping of every target would be 86 M rows a day at 1,000 targets:
        // answers go into the minute aggregates, lost pings keep their rows.
        Services.History.SetResolution(THistoryResolution::PerMinute);
        Keeper.Open(Folder);
        TTerminationWatch Signals([&](int Signal) {
            if (Signal == SIGHUP && Options.Config) {
                Watch.Reload(std::cerr);
                return;
            }
            Watch.Stop();
            QCoreApplication::quit();
        });
        Watch.Start();
        Code = QCoreApplication::exec();
        Watch.Stop();
    }
    Keeper.EndPeriod();
    Services.DropProbePort();
    Services.Agente.ShutDown();
    return Code;
}

} // namespace

int main(int argc, char** argv) {
    const TParsedCommandLine Parsed = ParseZirkoOptions(argc, argv, true);
    if (!Parsed.Options) {
        std::cerr << Parsed.Error << "\n";
        return Parsed.ExitCode;
    }
    const TZirkoOptions& Options = *Parsed.Options;
    std::optional<std::vector<TTarget>> Targets;
    if (THeadlessTargets::Wanted(Options)) {
        Targets = THeadlessTargets::Read(Options, std::cerr);
        if (!Targets) {
            return 2;
        }
    }
    const auto Services = BuildCoreServices(std::cerr);
    if (!Services) {
        return 1;
    }
    QCoreApplication Application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Zirko"));
    TLanguage::Install();
    TMetricsFeed Metrics;
    if (!Metrics.Start(*Parsed.Options)) {
        return 2;
    }
    TStderrReporter Reporter;
    const std::string Folder = LogFolder();
    StartLog(Services->Agente, Reporter, Folder);

    if (Targets) {
        return WatchTargets(*Services, Options, std::move(*Targets), Folder, Metrics);
    }
    TNetIcmpClient Icmp(Services->Net);
    Icmp.SetReceiveTimeout(0);
    THeadlessMonitor Monitor(Icmp, Services->Agente, Services->Clock(), *Parsed.Options);
    THistoryKeeper Keeper(Services->History, Services->Clock(), nullptr);
    TOutageEvidence Evidence(
        Services->Net, [] { return TWatchRules::MaxHops; }, nullptr);
    Evidence.Follow(Monitor.Core(), Keeper, Services->History);
    Keeper.Open(Folder);
    Metrics.Follow(Monitor.Core());
    Metrics.SetAlarmThreshold(Parsed.Options->AlarmAfterOr());
    Metrics.SetAverageLimitMs(Parsed.Options->LimitMsOr());
    // The window's run ends through its close; here the signal ends it the same way.
    TTerminationWatch Watch([&](int) {
        Monitor.Stop();
        QCoreApplication::quit();
    });
    Monitor.Start();
    const int Code = QCoreApplication::exec();
    Monitor.Stop();
    Keeper.EndPeriod();
    Services->Agente.ShutDown();
    return Code;
}
