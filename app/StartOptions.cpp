// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartOptions.h"

#include "TF_Main.h"
#include "TMetricsFeed.h"
#include "TPingMonitor.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

void ApplyStartOptions(TF_Main& Window, const TZirkoOptions& Options) {
    if (Options.Host) {
        Window.e_host->setText(QString::fromStdString(*Options.Host));
    }
    const std::pair<QSpinBox*, std::optional<int>> Values[] = {
        {Window.ud_minuti, Options.RunMinutes},
        {Window.ud_ogni, Options.EveryMinutes},
        {Window.ud_limite_media_ms, Options.LimitMs},
        {Window.ud_pacchetti_persi, Options.AlarmAfter},
    };
    for (const auto& [Spinner, Value] : Values) {
        if (Value) {
            Spinner->setValue(*Value);
        }
    }
    if (Options.Minimized) {
        Window.showMinimized();
    } else {
        Window.show();
    }
    if (Options.Auto) {
        QTimer::singleShot(0, &Window, [&Window] {
            if (!Window.PingMonitor().Counters().auto_attivo) {
                Window.btn_auto->click();
            }
        });
    }
}

void FeedMetrics(TF_Main& Window, TMetricsFeed& Feed) {
    Feed.Follow(Window.PingMonitor().Core());
    Feed.SetAlarmThreshold(Window.ud_pacchetti_persi->value());
    Feed.SetAverageLimitMs(Window.ud_limite_media_ms->value());
    QObject::connect(Window.ud_pacchetti_persi, &QSpinBox::valueChanged, &Feed,
                     &TMetricsFeed::SetAlarmThreshold);
    QObject::connect(Window.ud_limite_media_ms, &QSpinBox::valueChanged, &Feed,
                     &TMetricsFeed::SetAverageLimitMs);
}

int RunHeadless(char** argv) {
    std::string Self(4096, '\0');
    const ssize_t Length = ::readlink("/proc/self/exe", Self.data(), Self.size() - 1);
    if (Length > 0) {
        Self.resize(static_cast<size_t>(Length));
        const std::string Path = Self.substr(0, Self.rfind('/') + 1) + "zirko-headless";
        ::execv(Path.c_str(), argv);
        std::cerr << "zirko: cannot run " << Path << ": " << std::strerror(errno) << "\n";
    } else {
        std::cerr << "zirko: cannot find the program's own folder\n";
    }
    return 1;
}
