// SPDX-License-Identifier: GPL-3.0-or-later
// zirko-headless: the automatic monitoring without a window or a display, for
// a server or a user service. Same log, same folder rules, same history.
#include "LogFolder.h"
#include "TAgente.h"
#include "THeadlessMonitor.h"
#include "THistoryStore.h"
#include "TMetricsFeed.h"
#include "TNetContext.h"
#include "TNetIcmpClient.h"
#include "TNetSocketHelper.h"
#include "TTerminationWatch.h"
#include "TZirkoOptions.h"

#include <QCoreApplication>

#include <iostream>

namespace {

// A log that cannot be written ends the program; without a window, stderr says why.
class TStderrReporter : public TAgenteFatalReporter {
public:
    void ShowFatal(const std::string& Message) override {
        std::cerr << "zirko: " << Message << "\n";
    }
};

} // namespace

int main(int argc, char** argv) {
    const TParsedCommandLine Parsed = ParseZirkoOptions(argc, argv);
    if (!Parsed.Options) {
        std::cerr << Parsed.Error << "\n";
        return Parsed.ExitCode;
    }
    TNetSocketHelper Helper;
    if (!Helper.StartForProgram()) {
        std::cerr << "zirko: cannot give up the raw-socket right\n";
        return 1;
    }
    QCoreApplication Application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Zirko"));
    TMetricsFeed Metrics;
    if (!Metrics.Start(*Parsed.Options)) {
        return 2;
    }
    const TClock& Clock = TClock::System();
    TNetContext Net(TNetContext::SystemStack(), Clock);
    Net.SetHelper(&Helper);
    TAgente Agente;
    TStderrReporter Reporter;
    Agente.SetClock(&Clock);
    Agente.SetName("Agente");
    Agente.SetApplicationName("Zirko");
    Agente.SetBackupLog(true);
    Agente.SetFatalReporter(&Reporter);
    const std::string Folder = LogFolder();
    Agente.SetPath_Agente(Folder);
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.StartUp();

    THistoryStore History;
    History.SetClock(&Clock);
    History.Open(Folder);
    TNetIcmpClient Icmp(Net);
    Icmp.SetReceiveTimeout(0);
    THeadlessMonitor Monitor(Icmp, Agente, Clock, *Parsed.Options);
    Monitor.Core().SetHistory(&History);
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
    Agente.ShutDown();
    return Code;
}
