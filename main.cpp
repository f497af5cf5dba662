// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "ReportCommand.h"
#include "StartOptions.h"
#include "TCoreServices.h"
#include "TDesktopNotifier.h"
#include "TDisplayPlatform.h"
#include "TF_Main.h"
#include "TLanguage.h"
#include "TMetricsFeed.h"
#include "TTrayIconHandler.h"
#include "TZirkoApplication.h"

#include <QDBusConnection>

#include <iostream>

int main(int argc, char** argv) {
    // --help and --version answer without a display.
    if (const auto Answered = AnswerCommandLine(argc, argv, std::cout)) {
        return *Answered;
    }
    const TParsedCommandLine Parsed = ParseZirkoOptions(argc, argv);
    if (!Parsed.Options) {
        std::cerr << Parsed.Error << "\n";
        return Parsed.ExitCode;
    }
    if (Parsed.Options->Report) {
        return RunReport(argc, argv, *Parsed.Options, std::cerr);
    }
    if (Parsed.Options->Headless) {
        return RunHeadless(argv);
    }
    if (Parsed.Options->Config) {
        std::cerr << TLanguage::Utf8("Zirko", QT_TRANSLATE_NOOP("Zirko", "zirko: --config needs "
                                                                 "--headless (see zirko --help)"))
                  << "\n";
        return 2;
    }
    // Before Qt loads any plugin: no right stays with the window, raw sockets with the helper.
    const auto Core = BuildCoreServices(std::cerr);
    if (!Core) {
        return 1;
    }
    TDisplayPlatform::Choose();
    TZirkoApplication application(argc, argv);
    TLanguage::Install();
    // The probe port is an object of the event loop: it goes after the window, before the
    // application.
    struct TDropProbes {
        TCoreServices& Core;
        ~TDropProbes() { Core.DropProbePort(); }
    } DropProbes{*Core};
    TMetricsFeed Metrics;
    if (!Metrics.Start(*Parsed.Options)) {
        return 2;
    }
    // The services every part of the window shares, made here once and handed down.
    TTrayIconHandler Tray;
    // Where the desktop has no notification service, it shows nothing and costs nothing.
    // They join the session bus once the window is drawn.
    TDesktopNotifier Notifier(Core->Clock());
    TDesktopNotifier SlowNotifier(Core->Clock());
    if (const auto Gap = TDesktopNotifier::UpdateGapFromEnvironment()) {
        Notifier.SetUpdateGap(*Gap);
        SlowNotifier.SetUpdateGap(*Gap);
    }
    // Creating the window starts the log; a failing start ends the program there.
    TF_Main window(TF_Main::DefaultLogFolder(),
                   {Core->Net, Core->Agente, Tray, Core->History, &Notifier, &SlowNotifier, {},
                    &Core->ProbePort()});
    FeedMetrics(window, Metrics);
    ApplyStartOptions(window, *Parsed.Options);
    return TZirkoApplication::exec();
}
