// SPDX-License-Identifier: GPL-3.0-or-later
#include "TMetricsRegistry.h"

#include "MetricsText.h"

#include <algorithm>
#include <cctype>
#include <charconv>

using zirko::metrics::AppendLabelValue;
using zirko::metrics::AppendNumber;

namespace {

enum class TKind : uint8_t { Counter, Gauge, Histogram };

// Name as sampled; an OpenMetrics counter's family drops the "_total" its samples keep.
void AppendHeader(std::string& Out, TMetricsRegistry::TFormat Format, std::string_view Name,
                  TKind Kind, std::string_view Help) {
    if (Kind == TKind::Counter && Format == TMetricsRegistry::TFormat::OpenMetrics) {
        Name.remove_suffix(std::string_view("_total").size());
    }
    static constexpr const char* Types[] = {"counter", "gauge", "histogram"};
    Out.append("# HELP ").append(Name).append(" ").append(Help).append("\n");
    Out.append("# TYPE ").append(Name).append(" ").append(Types[static_cast<int>(Kind)]);
    Out += '\n';
}

template <typename TValue>
void AppendSample(std::string& Out, std::string_view Name, const std::string& Labels,
                  TValue Value) {
    Out.append(Name).append("{").append(Labels).append("} ");
    AppendNumber(Out, Value);
    Out += '\n';
}

std::string LabelsOf(const TMetricsTarget& Target, const TMetricsLabels& Extra = {}) {
    std::string Out = "host=\"";
    AppendLabelValue(Out, Target.Host);
    Out += "\",ip=\"";
    AppendLabelValue(Out, Target.Ip);
    Out += "\",source=\"";
    AppendLabelValue(Out, Target.Source);
    Out += '"';
    for (const auto& [Name, Value] : Extra) {
        // A label twice would spoil the whole scrape.
        if (Name == "host" || Name == "ip" || Name == "source") {
            continue;
        }
        Out.append(",").append(Name).append("=\"");
        AppendLabelValue(Out, Value);
        Out += '"';
    }
    return Out;
}

// ",le=\"<bound>\"}" for each bucket and +Inf, made once.
const std::array<std::string, TMetricsRegistry::BucketCount + 1>& BucketTails() {
    static const auto Tails = [] {
        std::array<std::string, TMetricsRegistry::BucketCount + 1> Made;
        for (std::size_t I = 0; I < TMetricsRegistry::BucketCount; ++I) {
            Made[I] = ",le=\"";
            AppendNumber(Made[I], TMetricsRegistry::BucketBounds()[I]);
            Made[I] += "\"} ";
        }
        Made.back() = ",le=\"+Inf\"} ";
        return Made;
    }();
    return Tails;
}

std::string_view Trim(std::string_view Text) {
    while (!Text.empty() && std::isspace(static_cast<unsigned char>(Text.front()))) {
        Text.remove_prefix(1);
    }
    while (!Text.empty() && std::isspace(static_cast<unsigned char>(Text.back()))) {
        Text.remove_suffix(1);
    }
    return Text;
}

bool SameWord(std::string_view A, std::string_view B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
               return std::tolower(static_cast<unsigned char>(X)) ==
                      std::tolower(static_cast<unsigned char>(Y));
           });
}

// How one media range of an Accept header matches an offered format: the most
// specific range decides its quality (RFC 9110), so "*/*" does not undo a q=0.
struct TMatch {
    int Specificity = -1; // none; */* 0, text/* 1, the type 2, the type and version 3
    double Quality = 0;

    void Merge(const TMatch& Other) {
        if (Other.Specificity > Specificity ||
            (Other.Specificity == Specificity && Other.Quality > Quality)) {
            *this = Other;
        }
    }
};

struct TRangeMatch {
    TMatch OpenMetrics, Text;
};

TRangeMatch ParseRange(std::string_view Range) {
    const std::string_view Type = Trim(Range.substr(0, Range.find(';')));
    double Quality = 1;
    std::string_view Version;
    for (std::size_t At = Range.find(';'); At != std::string_view::npos;) {
        const std::size_t Next = Range.find(';', At + 1);
        const std::string_view Parameter = Range.substr(At + 1, Next - At - 1);
        const std::size_t Equal = Parameter.find('=');
        const std::string_view Key = Trim(Parameter.substr(0, Equal));
        const std::string_view Value =
            Equal == std::string_view::npos ? "" : Trim(Parameter.substr(Equal + 1));
        if (SameWord(Key, "q")) {
            // from_chars reads "0.5" whatever the locale (strtod would read the
            // user's, set by Qt); what it cannot read counts as 0, as before.
            double Read = 0;
            std::from_chars(Value.data(), Value.data() + Value.size(), Read);
            Quality = Read >= 0 ? std::min(Read, 1.0) : 0.0; // NaN too
        } else if (SameWord(Key, "version")) {
            Version = Value;
        }
        At = Next;
    }
    // Ranges of other versions of either format match neither.
    const auto Typed = [&](std::string_view Wanted) {
        if (Version.empty()) {
            return TMatch{2, Quality};
        }
        return Version == Wanted ? TMatch{3, Quality} : TMatch{};
    };
    TRangeMatch Match;
    if (SameWord(Type, "*/*")) {
        Match.OpenMetrics = Match.Text = TMatch{0, Quality};
    } else if (SameWord(Type, "text/*")) {
        Match.Text = TMatch{1, Quality};
    } else if (SameWord(Type, "application/openmetrics-text")) {
        Match.OpenMetrics = Typed("1.0.0");
    } else if (SameWord(Type, "text/plain")) {
        Match.Text = Typed("0.0.4");
    }
    return Match;
}

} // namespace

const std::array<double, TMetricsRegistry::BucketCount>& TMetricsRegistry::BucketBounds() {
    static const auto Bounds = [] {
        std::array<double, BucketCount> Made{};
        double Bound = 0.00005;
        for (double& Each : Made) {
            Each = Bound;
            Bound *= 2;
        }
        return Made;
    }();
    return Bounds;
}

void TMetricsRegistry::SetTarget(const TMetricsTarget& Target) {
    if (FHasCurrent && FSeries[FCurrent].Target == Target) {
        return;
    }
    auto Found = std::find_if(FSeries.begin(), FSeries.end(),
                              [&](const TSeries& Each) { return Each.Target == Target; });
    if (Found == FSeries.end()) {
        if (FSeries.size() == MaxTargets) {
            FSeries.erase(std::min_element(
                FSeries.begin(), FSeries.end(),
                [](const TSeries& A, const TSeries& B) { return A.LastCurrent < B.LastCurrent; }));
        }
        TSeries Added;
        Added.Target = Target;
        FSeries.push_back(std::move(Added));
        Found = FSeries.end() - 1;
    }
    Found->LastCurrent = ++FChanges;
    FCurrent = static_cast<std::size_t>(Found - FSeries.begin());
    FHasCurrent = true;
}

TMetricsRegistry::TSeries& TMetricsRegistry::Current() {
    if (!FHasCurrent) {
        SetTarget({});
    }
    return FSeries[FCurrent];
}

void TMetricsRegistry::AddReply(const TReplyStatus& Reply) {
    AddReply(Current(), Reply);
}

void TMetricsRegistry::AddReply(TSeries& Series, const TReplyStatus& Reply) {
    ++Series.Requests;
    if (Reply.Status != skEchoReply) {
        return;
    }
    const double Seconds = Reply.RoundTripUs > 0 ? static_cast<double>(Reply.RoundTripUs) / 1e6
                                                 : Reply.RoundTripMs / 1e3;
    const auto& Bounds = BucketBounds();
    // A bucket counts what is at most its bound; past the last, only +Inf.
    const auto Bucket = std::lower_bound(Bounds.begin(), Bounds.end(), Seconds);
    if (Bucket != Bounds.end()) {
        ++Series.Buckets[static_cast<std::size_t>(Bucket - Bounds.begin())];
    }
    ++Series.Answered;
    Series.SumSeconds += Seconds;
    Series.Ttl = Reply.ReplyTtl;
}

void TMetricsRegistry::AddSendError() {
    TSeries& Series = Current();
    ++Series.Requests;
    ++Series.SendErrors;
}

void TMetricsRegistry::AddReceiveError() {
    TSeries& Series = Current();
    ++Series.Requests;
    ++Series.ReceiveErrors;
}

void TMetricsRegistry::SetMonitoringActive(bool Active) {
    FState.Active = Active;
}

void TMetricsRegistry::SetConsecutiveLost(int64_t Lost) {
    FState.ConsecutiveLost = Lost;
}

void TMetricsRegistry::SetOutage(const std::optional<TOutage>& Current) {
    SetOutage(FState, Current);
}

void TMetricsRegistry::SetOutage(TState& State, const std::optional<TOutage>& Current) {
    State.OutageActive = Current && Current->End == TOutageEnd::Open;
    State.OutageStartMs = State.OutageActive ? Current->StartToMs : 0;
}

void TMetricsRegistry::SetAlarmThreshold(int64_t Losses) {
    FState.AlarmThreshold = Losses;
}

void TMetricsRegistry::SetAverageLimitMs(int64_t LimitMs) {
    FState.AverageLimitMs = LimitMs;
}

void TMetricsRegistry::Watch(TKey AKey, const TMetricsTarget& ATarget,
                             const TMetricsLabels& ALabels) {
    TWatched& Each = FWatched[AKey];
    if (!Each.LabelText.empty() && Each.Target == ATarget && Each.Labels == ALabels) {
        return;
    }
    Each.Target = ATarget;
    Each.Labels = ALabels;
    Each.LabelText = LabelsOf(ATarget, ALabels);
    Each.Series = TSeries{};
}

void TMetricsRegistry::Unwatch(TKey AKey) {
    FWatched.erase(AKey);
}

TMetricsRegistry::TWatched* TMetricsRegistry::Find(TKey AKey) {
    const auto Found = FWatched.find(AKey);
    return Found == FWatched.end() ? nullptr : &Found->second;
}

void TMetricsRegistry::AddReply(TKey AKey, const TReplyStatus& Reply) {
    if (TWatched* Each = Find(AKey)) {
        AddReply(Each->Series, Reply);
    }
}

void TMetricsRegistry::AddSendError(TKey AKey) {
    if (TWatched* Each = Find(AKey)) {
        ++Each->Series.Requests;
        ++Each->Series.SendErrors;
    }
}

void TMetricsRegistry::AddReceiveError(TKey AKey) {
    if (TWatched* Each = Find(AKey)) {
        ++Each->Series.Requests;
        ++Each->Series.ReceiveErrors;
    }
}

void TMetricsRegistry::SetMonitoringActive(TKey AKey, bool Active) {
    if (TWatched* Each = Find(AKey)) {
        Each->State.Active = Active;
    }
}

void TMetricsRegistry::SetConsecutiveLost(TKey AKey, int64_t Lost) {
    if (TWatched* Each = Find(AKey)) {
        Each->State.ConsecutiveLost = Lost;
    }
}

void TMetricsRegistry::SetOutage(TKey AKey, const std::optional<TOutage>& Current) {
    if (TWatched* Each = Find(AKey)) {
        SetOutage(Each->State, Current);
    }
}

void TMetricsRegistry::SetSlowActive(TKey AKey, bool Active) {
    if (TWatched* Each = Find(AKey)) {
        Each->State.SlowActive = Active;
    }
}

void TMetricsRegistry::SetAlarmThreshold(TKey AKey, int64_t Losses) {
    if (TWatched* Each = Find(AKey)) {
        Each->State.AlarmThreshold = Losses;
    }
}

void TMetricsRegistry::SetAverageLimitMs(TKey AKey, int64_t LimitMs) {
    if (TWatched* Each = Find(AKey)) {
        Each->State.AverageLimitMs = LimitMs;
    }
}

void TMetricsRegistry::WriteHistogram(std::string& Out, const TSeries& Series,
                                      const std::string& Labels) const {
    const auto& Tails = BucketTails();
    uint64_t Cumulative = 0;
    for (std::size_t I = 0; I < BucketCount; ++I) {
        Cumulative += Series.Buckets[I];
        Out.append("smokeping_response_duration_seconds_bucket{").append(Labels).append(Tails[I]);
        AppendNumber(Out, Cumulative);
        Out += '\n';
    }
    Out.append("smokeping_response_duration_seconds_bucket{").append(Labels).append(Tails.back());
    AppendNumber(Out, Series.Answered);
    Out += '\n';
    AppendSample(Out, "smokeping_response_duration_seconds_sum", Labels, Series.SumSeconds);
    AppendSample(Out, "smokeping_response_duration_seconds_count", Labels, Series.Answered);
}

void TMetricsRegistry::WriteTargetFamilies(std::string& Out, TFormat Format,
                                           const std::vector<TSampled>& All) const {
    AppendHeader(Out, Format, "smokeping_requests_total", TKind::Counter,
                 "Echo requests whose outcome was handled: answered, lost or failed.");
    for (const TSampled& Each : All) {
        AppendSample(Out, "smokeping_requests_total", *Each.Labels, Each.Series->Requests);
    }
    AppendHeader(Out, Format, "smokeping_response_duration_seconds", TKind::Histogram,
                 "Round trip of each answered echo request in seconds.");
    for (const TSampled& Each : All) {
        WriteHistogram(Out, *Each.Series, *Each.Labels);
    }
    AppendHeader(Out, Format, "smokeping_response_ttl", TKind::Gauge,
                 "TTL of the last echo reply.");
    for (const TSampled& Each : All) {
        if (Each.Series->Ttl) {
            AppendSample(Out, "smokeping_response_ttl", *Each.Labels,
                         static_cast<uint64_t>(*Each.Series->Ttl));
        }
    }
    AppendHeader(Out, Format, "smokeping_send_errors_total", TKind::Counter,
                 "Echo requests that could not be sent.");
    for (const TSampled& Each : All) {
        AppendSample(Out, "smokeping_send_errors_total", *Each.Labels, Each.Series->SendErrors);
    }
    AppendHeader(Out, Format, "smokeping_receive_errors_total", TKind::Counter,
                 "Echo requests whose answer could not be read.");
    for (const TSampled& Each : All) {
        AppendSample(Out, "smokeping_receive_errors_total", *Each.Labels,
                     Each.Series->ReceiveErrors);
    }
}

void TMetricsRegistry::WriteStateFamilies(std::string& Out, TFormat Format,
                                          const std::vector<TSampled>& All) const {
    struct TGauge {
        const char* Name;
        const char* Help;
        double (*Value)(const TState&);
    };
    static const TGauge Gauges[] = {
        {"zirko_monitoring_active",
         "1 while a run or a burst pings, 0 in the rest and when stopped.",
         [](const TState& S) { return S.Active ? 1.0 : 0.0; }},
        {"zirko_consecutive_lost", "Echo requests lost in a row now.",
         [](const TState& S) { return static_cast<double>(S.ConsecutiveLost); }},
        {"zirko_outage_active", "1 from the consecutive-loss alarm to the first answer.",
         [](const TState& S) { return S.OutageActive ? 1.0 : 0.0; }},
        {"zirko_outage_started_timestamp_seconds",
         "Unix time of the open outage's first lost echo request, 0 when none is open.",
         [](const TState& S) { return static_cast<double>(S.OutageStartMs) / 1e3; }},
        {"zirko_slow_active",
         "1 while the average of the last answers stays past the latency limit (a slow period).",
         [](const TState& S) { return S.SlowActive ? 1.0 : 0.0; }},
        {"zirko_alarm_threshold", "Lost echo requests in a row that raise the alarm.",
         [](const TState& S) { return static_cast<double>(S.AlarmThreshold); }},
        {"zirko_average_limit_seconds",
         "Average round trip above which the tray icon turns yellow, in seconds.",
         [](const TState& S) { return static_cast<double>(S.AverageLimitMs) / 1e3; }},
    };
    for (const TGauge& Gauge : Gauges) {
        AppendHeader(Out, Format, Gauge.Name, TKind::Gauge, Gauge.Help);
        for (const TSampled& Each : All) {
            if (Each.State) {
                AppendSample(Out, Gauge.Name, *Each.Labels, Gauge.Value(*Each.State));
            }
        }
    }
}

std::string TMetricsRegistry::Text(TFormat Format) const {
    std::vector<std::string> Labels;
    Labels.reserve(FSeries.size());
    std::vector<TSampled> All;
    All.reserve(FSeries.size() + FWatched.size());
    for (const TSeries& Series : FSeries) {
        Labels.push_back(LabelsOf(Series.Target));
    }
    // Zirko's gauges belong to the current target alone, so it comes first, as it always did.
    for (std::size_t I = 0; I < FSeries.size(); ++I) {
        All.push_back({&Labels[I], &FSeries[I], FHasCurrent && I == FCurrent ? &FState : nullptr});
    }
    for (const auto& [Key, Each] : FWatched) {
        All.push_back({&Each.LabelText, &Each.Series, &Each.State});
    }
    std::string Out;
    Out.reserve(4096 + All.size() * 4096);
    WriteTargetFamilies(Out, Format, All);
    WriteStateFamilies(Out, Format, All);
    if (Format == TFormat::OpenMetrics) {
        Out += "# EOF\n";
    }
    return Out;
}

TMetricsRegistry::TFormat TMetricsRegistry::Negotiate(std::string_view Accept) {
    TRangeMatch Best;
    for (std::size_t At = 0; At <= Accept.size();) {
        const std::size_t Comma = std::min(Accept.find(',', At), Accept.size());
        const TRangeMatch Range = ParseRange(Accept.substr(At, Comma - At));
        Best.OpenMetrics.Merge(Range.OpenMetrics);
        Best.Text.Merge(Range.Text);
        At = Comma + 1;
    }
    // A tie, or a header that wants neither, gets the text format every scraper reads.
    const double Text = Best.Text.Specificity < 0 ? 0 : Best.Text.Quality;
    return Best.OpenMetrics.Specificity >= 0 && Best.OpenMetrics.Quality > Text
               ? TFormat::OpenMetrics
               : TFormat::Prometheus;
}

TMetricsAnswer TMetricsRegistry::Answer(std::string_view Accept) const {
    const TFormat Format = Negotiate(Accept);
    return {ContentType(Format), Text(Format)};
}

const char* TMetricsRegistry::ContentType(TFormat Format) {
    return Format == TFormat::OpenMetrics
               ? "application/openmetrics-text; version=1.0.0; charset=utf-8"
               : "text/plain; version=0.0.4; charset=utf-8";
}
