// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPingCore.h"

#include "TAgente.h"
#include "TClock.h"
#include "TLocaleFormats.h"
#include "TNetIcmpClient.h"
#include "TPingStatistics.h"
#include "TReplyLogLine.h"
#include "TWatchRules.h"

TPingCore::TPingCore(TAgente& Agente, const TClock& Clock, QObject* Parent)
    : QObject(Parent), FAgente(Agente), FClock(Clock) {}

void TPingCore::SetHistory(THistoryStore* Store) {
    const int64_t HeldOutageId = FHistory.SetStore(Store);
    // An outage that began while the store was opened has its row only now.
    if (HeldOutageId != 0 && FOutages.Current() && FOutages.Current()->Id == 0) {
        FOutages.SetCurrentId(HeldOutageId);
    }
    if (FHistory.HeldSlowId() != 0 && FSlow.Current() && FSlow.Current()->Id == 0) {
        FSlow.SetCurrentId(FHistory.HeldSlowId());
    }
}

TPingCore::TCounted TPingCore::Count(TPingCounters& Counters, const std::string& AHost,
                                     const std::string& AAddress, const TReplyStatus& AReply,
                                     int AlarmAfter) {
    Counters = TPingStatistics::CountPing(Counters, AReply.RoundTripMs);
    const TLocaleFormats::TStamp Stamp = TLocaleFormats::Stamp(FClock);
    TCounted Out;
    Out.Line = TReplyLogLine::Line(
        Stamp.Date, Stamp.Time,
        TReplyLogLine::Message(AReply.ReplyBytes, QString::fromStdString(AReply.FromAddress),
                               AReply.Sequence, AReply.ReplyTtl, AReply.RoundTripMs));
    FAgente.AddMessage("Ping result: " + Out.Line.toStdString());
    const auto [Next, Outcome] =
        TPingStatistics::CountLoss(Counters, AReply.ReplyBytes, AlarmAfter);
    Counters = Next;
    Out.Lost = Outcome.Lost;
    Out.Alarm = Outcome.Alarm;
    Out.WhenMs = FClock.WallMs();
    FHistory.Ping(AHost, AAddress, AReply, Out.WhenMs);
    // Lost as the statistics count it: no bytes back.
    Announce(FOutages.Ping(AHost, Out.WhenMs, FClock.SteadyMs(), AReply.ReplyBytes > 0, Out.Alarm));
    AnnounceSlow(FSlow.Ping(AHost, Out.WhenMs, FClock.SteadyMs(),
                            THistoryRecorder::PingOf(AHost, AAddress, AReply, Out.WhenMs).RoundTripUs));
    emit ReplyCounted(AReply, Counters, AHost, AAddress);
    return Out;
}

void TPingCore::PingOfRun(TNetIcmpClient& AIcmp, const std::string& AHost,
                          const std::string& AWindowName, const std::function<void()>& AfterPing) {
    AIcmp.SetReceiveTimeout(TWatchRules::ReceiveTimeoutMs);
    try {
        AIcmp.SetHost(AHost);
        AIcmp.Ping();
        if (AfterPing) {
            AfterPing();
        }
    } catch (...) {
        FAgente.AddWarning(TWatchRules::PingFailedWarning(AWindowName, AHost));
        Failed();
    }
}

void TPingCore::Begin(THistoryPeriodKind Kind) {
    Unmonitored();
    FHistory.Begin(Kind, FClock.WallMs());
    emit MonitoringChanged(Kind != THistoryPeriodKind::Rest);
}

void TPingCore::End() {
    Unmonitored();
    FHistory.End(FClock.WallMs());
    emit MonitoringChanged(false);
}

void TPingCore::Unmonitored() {
    Announce(FOutages.Unmonitored(FClock.WallMs(), FClock.SteadyMs()));
    AnnounceSlow(FSlow.Unmonitored(FClock.WallMs(), FClock.SteadyMs()));
}

void TPingCore::AnnounceSlow(TSlowTracker::TEvent Event) {
    using TChange = TSlowTracker::TChange;
    if (Event.Change == TChange::None) {
        return;
    }
    const int64_t Now = FClock.SteadyMs();
    if (Event.Change != TChange::Lasts || Now - FSlowWrittenMs >= TWatchRules::OutageWriteMs) {
        FHistory.Outage(Event.Period, Event.Change == TChange::Began);
        FSlowWrittenMs = Now;
    }
    if (Event.Change == TChange::Began) {
        FSlow.SetCurrentId(Event.Period.Id);
    }
    if (FOutages.Current()) {
        return;
    }
    if (Event.Change == TChange::Began) {
        emit SlowBegan(Event.Period);
    } else if (Event.Change == TChange::Lasts) {
        emit SlowLasts(Event.Period);
    } else {
        emit SlowEnded(Event.Period);
    }
}

void TPingCore::Announce(TOutageTracker::TEvent Event) {
    using TChange = TOutageTracker::TChange;
    if (Event.Change == TChange::None) {
        return;
    }
    const int64_t Now = FClock.SteadyMs();
    if (Event.Change != TChange::Lasts || Now - FOutageWrittenMs >= TWatchRules::OutageWriteMs) {
        FHistory.Outage(Event.Outage, Event.Change == TChange::Began);
        FOutageWrittenMs = Now;
    }
    if (Event.Change == TChange::Began) {
        FOutages.SetCurrentId(Event.Outage.Id);
        emit OutageBegan(Event.Outage);
    } else if (Event.Change == TChange::Lasts) {
        emit OutageLasts(Event.Outage);
    } else {
        emit OutageEnded(Event.Outage);
    }
}
