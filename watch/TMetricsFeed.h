// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TMetricsRegistry.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class TMetricsEndpoint;
class TMetricsTextfile;
class TPingCore;
struct TZirkoOptions;

// Feeds what the monitoring counts to the Prometheus metrics: the registry, and
// from it the /metrics endpoint and the textfile, each only when asked for.
// ZIRKO.LOG never sees any of it.
class TMetricsFeed : public QObject {
    Q_OBJECT

public:
    explicit TMetricsFeed(QObject* Parent = nullptr);
    ~TMetricsFeed() override;

    // What --metrics and --metrics-textfile ask for, before any window: false,
    // with the reason on stderr, when the endpoint cannot listen.
    bool Start(const TZirkoOptions& Options);
    // Serves /metrics on "ADDRESS:PORT"; "" or the one-line reason it cannot (the
    // endpoint's module, loaded here the first time, may be missing too).
    QString Serve(const std::string& AddressAndPort);
    // Writes DIR/zirko.prom after every ping from now on.
    void WriteTextfile(const std::string& Dir);
    // Follows the counts, the failures, the schedule and the outages of Core.
    void Follow(TPingCore& Core);
    void SetAlarmThreshold(int Losses);
    void SetAverageLimitMs(int LimitMs);

    const TMetricsRegistry& Registry() const { return FRegistry; }
    // Many targets are fed by key, straight into the registry; Changed writes the textfile.
    TMetricsRegistry& Registry() { return FRegistry; }
    void Changed();
    quint16 Port() const;

private:
    TMetricsRegistry FRegistry;
    std::unique_ptr<TMetricsEndpoint> FServer;
    std::unique_ptr<TMetricsTextfile> FTextfile;
    bool FTextfileFailed = false;
};
