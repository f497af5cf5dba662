// SPDX-License-Identifier: GPL-3.0-or-later
// What the Ping page's handlers leave in the history: the counted pings and the periods.
#include "TPingPageFixture.h"
#include "TSteppingClock.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(THistoryRecorder, ReplyBecomesItsRecord) {
    struct TRow {
        const char* Name;
        TReplyStatus Reply;
        const char* Address;
        std::optional<int64_t> RoundTripUs;
        uint8_t Family;
    };
    TReplyStatus Answered = TPingPageFixture::Answer(12);
    Answered.RoundTripUs = 12'345;
    TReplyStatus Unreachable{56, "10.0.0.1", 3, 1, 4, 63, skUnreachable, 4'321};
    TReplyStatus Huge = Answered;
    Huge.RoundTripUs = int64_t{1} << 40;
    const TRow Rows[] = {
        {"answered", Answered, "192.0.2.10", 12'345, 4},
        {"lost keeps no round trip", TPingPageFixture::Lost(), "192.0.2.10", std::nullopt, 4},
        {"a report with bytes is counted as answered", Unreachable, "fd00::1", 4'321, 6},
        {"beyond any wait", Huge, "192.0.2.10", THistoryStore::MaxRoundTripUs, 4},
    };
    for (const TRow& R : Rows) {
        SCOPED_TRACE(R.Name);
        const THistoryPing P = THistoryRecorder::PingOf("host as typed ", R.Address, R.Reply, 77);
        EXPECT_EQ(P.UtcMs, 77);
        EXPECT_EQ(P.Host, "host as typed ");
        EXPECT_EQ(P.Family, R.Family);
        EXPECT_EQ(P.Kind, R.Reply.Status);
        EXPECT_EQ(P.RoundTripUs, R.RoundTripUs);
        EXPECT_EQ(P.Bytes, R.Reply.ReplyBytes);
        EXPECT_EQ(P.Ttl, R.Reply.ReplyTtl);
    }
}

TEST(THistoryRecorder, HandlersKeepPingsAndTheSchedulesPeriods) {
    TSteppingClock Clock{CalendarTime(2026, 12, 8, 14, 3, 27)};
    Clock.SetWallMs(1'796'738'607'000);
    TPingPageFixture F(Clock);
    F.Reply(TPingPageFixture::Answer(5)); // before the history opens: not kept, nothing breaks
    ASSERT_TRUE(F.History.Open(F.LogDir.path().toStdString()));

    F.Monitor->btn_autoClick();
    Clock.Advance(1000);
    F.Reply(TPingPageFixture::Answer(9, 2));
    Clock.Advance(1000);
    F.Monitor->T_MinutiTimer();
    Clock.Advance(1000);
    F.Monitor->T_OgniTimer();
    Clock.Advance(1000);
    F.Reply(TPingPageFixture::Lost(3));
    F.Monitor->btn_autoClick();

    const int64_t T0 = 1'796'738'607'000;
    const auto Pings = F.History.Pings(T0 - 1, T0 + 10'000);
    ASSERT_EQ(Pings.size(), 2u);
    EXPECT_EQ(Pings[0].UtcMs, T0 + 1000);
    EXPECT_TRUE(Pings[0].RoundTripUs.has_value());
    EXPECT_EQ(Pings[1].UtcMs, T0 + 4000);
    EXPECT_FALSE(Pings[1].RoundTripUs.has_value());
    const auto Periods = F.History.Periods(T0 - 1, T0 + 10'000);
    ASSERT_EQ(Periods.size(), 3u);
    const std::vector<std::tuple<THistoryPeriodKind, int64_t, int64_t>> Expected{
        {THistoryPeriodKind::Run, T0, T0 + 2000},
        {THistoryPeriodKind::Rest, T0 + 2000, T0 + 3000},
        {THistoryPeriodKind::Run, T0 + 3000, T0 + 4000}};
    for (std::size_t I = 0; I < Expected.size(); ++I) {
        EXPECT_EQ(Periods[I].Kind, std::get<0>(Expected[I])) << I;
        EXPECT_EQ(Periods[I].StartMs, std::get<1>(Expected[I])) << I;
        EXPECT_EQ(Periods[I].EndMs, std::get<2>(Expected[I])) << I;
    }
    EXPECT_NE(F.LogText().find("Ping result: "), std::string::npos) << "the log as before";
}

// The alarm begins an outage, an answer ends it, the rest ends the next one
// unknown; the history keeps both and the monitor announces each change.
TEST(THistoryRecorder, HandlersKeepAndAnnounceOutages) {
    TSteppingClock Clock{CalendarTime(2026, 12, 8, 14, 3, 27)};
    const int64_t T0 = 1'796'738'607'000;
    Clock.SetWallMs(T0);
    TPingPageFixture F(Clock);
    ASSERT_TRUE(F.History.Open(F.LogDir.path().toStdString()));
    F.Page.ud_pacchetti_persi->setValue(2);
    std::string Changes;
    QObject::connect(F.Monitor.get(), &TPingMonitor::OutageBegan, [&](const TOutage& O) {
        Changes += "B" + std::to_string(O.Lost);
        EXPECT_NE(O.Id, 0);
    });
    QObject::connect(F.Monitor.get(), &TPingMonitor::OutageLasts,
                     [&](const TOutage& O) { Changes += "L" + std::to_string(O.Lost); });
    QObject::connect(F.Monitor.get(), &TPingMonitor::OutageEnded,
                     [&](const TOutage& O) { Changes += "E" + std::to_string(int(O.End)); });
    F.Monitor->btn_autoClick();
    for (const char What : std::string("ALLLLALLL")) {
        Clock.Advance(1000);
        F.Reply(What == 'A' ? TPingPageFixture::Answer(9) : TPingPageFixture::Lost());
    }
    Clock.Advance(1000);
    F.Monitor->T_MinutiTimer();
    EXPECT_EQ(Changes, "B3L4E1B3E2") << "the alarm comes after two losses in a row";
    const std::vector<TOutage> Stored = F.History.Outages(T0, T0 + 10'000);
    ASSERT_EQ(Stored.size(), 2u);
    EXPECT_EQ(Stored[0].End, TOutageEnd::Unknown);
    EXPECT_EQ(Stored[0].EndToMs, T0 + 10'000);
    EXPECT_EQ(Stored[1].End, TOutageEnd::Recovered);
    EXPECT_EQ(std::tie(*Stored[1].StartFromMs, Stored[1].StartToMs, Stored[1].EndFromMs,
                       *Stored[1].EndToMs, Stored[1].Lost),
              std::make_tuple(T0 + 1000, T0 + 2000, T0 + 5000, T0 + 6000, int64_t{4}));
}

// The window hands its store over only once it has opened on a thread of its own:
// a run and an outage begun meanwhile are kept whole, and the outage's end finds its row.
TEST(THistoryRecorder, WhatComesWhileTheStoreOpensIsKeptWhenItArrives) {
    TSteppingClock Clock{CalendarTime(2026, 12, 8, 14, 3, 27)};
    const int64_t T0 = 1'796'738'607'000;
    Clock.SetWallMs(T0);
    TPingPageFixture F(Clock);
    F.Monitor->Core().SetHistory(nullptr);
    F.Monitor->Core().HoldHistory();
    F.Page.ud_pacchetti_persi->setValue(2);
    int64_t EndedId = 0;
    QObject::connect(F.Monitor.get(), &TPingMonitor::OutageEnded,
                     [&](const TOutage& O) { EndedId = O.Id; });
    F.Monitor->btn_autoClick();
    const auto Replies = [&](const std::string& AWhat) {
        for (const char What : AWhat) {
            Clock.Advance(1000);
            F.Reply(What == 'A' ? TPingPageFixture::Answer(9) : TPingPageFixture::Lost());
        }
    };
    Replies("ALLL"); // the outage begins at the third loss, still held
    ASSERT_TRUE(F.History.Open(F.LogDir.path().toStdString()));
    F.Monitor->Core().SetHistory(&F.History);
    Replies("LA");
    Clock.Advance(1000);
    F.Monitor->T_MinutiTimer();

    EXPECT_EQ(F.History.Pings(T0, T0 + 10'000).size(), 6u);
    const auto Periods = F.History.Periods(T0, T0 + 10'000);
    ASSERT_EQ(Periods.size(), 2u);
    EXPECT_EQ(std::tie(Periods[0].Kind, Periods[0].StartMs, Periods[0].EndMs),
              std::make_tuple(THistoryPeriodKind::Run, T0, T0 + 7000));
    const std::vector<TOutage> Stored = F.History.Outages(T0, T0 + 10'000);
    ASSERT_EQ(Stored.size(), 1u);
    EXPECT_EQ(Stored[0].Id, EndedId);
    EXPECT_EQ(std::tie(Stored[0].End, Stored[0].StartToMs, *Stored[0].EndToMs, Stored[0].Lost),
              std::make_tuple(TOutageEnd::Recovered, T0 + 2000, T0 + 6000, int64_t{4}));
}

} // namespace
