// SPDX-License-Identifier: GPL-3.0-or-later
#include "TReportData.h"
#include "TReportPdf.h"

#include "TestFiles.h"
#include "THistoryGenerator.h"

#include <QDateTime>
#include <QString>

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

namespace {

using zirko::test::TTempDir;

constexpr int64_t Day = THistoryStore::MsPerDay;
constexpr int64_t Minute = THistoryShape::MinuteMs;

std::string Output(const std::string& Command) {
    std::string Out;
    FILE* Pipe = ::popen(Command.c_str(), "r");
    char Buffer[4096];
    for (size_t n; Pipe && (n = std::fread(Buffer, 1, sizeof(Buffer), Pipe)) > 0;) {
        Out.append(Buffer, n);
    }
    if (Pipe) {
        ::pclose(Pipe);
    }
    return Out;
}

size_t CountOf(const std::string& Text, const std::string& What) {
    size_t Count = 0;
    for (size_t At = Text.find(What); At != std::string::npos; At = Text.find(What, At + 1)) {
        ++Count;
    }
    return Count;
}

std::string Local(int64_t Ms, const char* Format) {
    return QDateTime::fromMSecsSinceEpoch(Ms).toString(QString::fromLatin1(Format)).toStdString();
}

} // namespace

// A month at a ping a minute, a two-day gap and three outages: the text holds
// the host, the availability, each outage's start and a row per local day, and
// every A4 page carries the header.
TEST(TReportTest, AMonthsReportHoldsItsFactsOnA4PagesEachWithTheHeader) {
    TTempDir Dir;
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    THistoryShape Shape;
    const int64_t T0 = Shape.StartMs;
    Shape.IntervalMs = Minute;
    Shape.CycleMs = 0;
    Shape.Gaps = {{T0 + 10 * Day, T0 + 12 * Day}};
    Shape.Outages = {{T0 + 3 * Day + 7 * Minute, T0 + 3 * Day + 19 * Minute},
                     {T0 + 15 * Day, T0 + 15 * Day + 60 * Minute},
                     {T0 + 27 * Day + 300 * Minute, T0 + 27 * Day + 305 * Minute}};
    THistoryGenerator Generator(Store, Shape);
    ASSERT_TRUE(Generator.Run(T0 + 30 * Day));
    ASSERT_TRUE(Generator.Finish());
    TOutage Slow{0, Shape.Host, T0 + 20 * Day, T0 + 20 * Day + Minute, T0 + 20 * Day + 9 * Minute,
                 T0 + 20 * Day + 10 * Minute, TOutageEnd::Recovered, 0, 9 * Minute, Minute, ""};
    Slow.Kind = TOutageKind::Slow;
    ASSERT_TRUE(Store.AddOutage(Slow));

    const TReportRequest Request{Shape.Host, T0, T0 + 30 * Day, T0 + 30 * Day};
    const auto Data = GatherReport(Store, Request);
    ASSERT_TRUE(Data);
    ASSERT_EQ(Data->Outages.size(), 3u);
    // Two of thirty days unmonitored; down 12 + 60 + 5 minutes of 28 days; slow is not down.
    EXPECT_EQ(Data->MonitoredMs, 28 * Day);
    EXPECT_NEAR(*Data->AvailabilityPercent(), 100.0 * (1 - 77.0 * Minute / (28 * Day)), 0.01);
    const std::string Pdf = Dir.Path() + "month.pdf";
    QString Error;
    ASSERT_TRUE(WriteReportPdf(*Data, QString::fromStdString(Pdf), "9.9", T0 + 30 * Day, Error));

    const std::string Text = Output("pdftotext -layout '" + Pdf + "' -");
    EXPECT_NE(Text.find("Host: gateway.example.net (192.0.2.1)"), std::string::npos);
    const std::regex Availability("Disponibilità: 99,8[0-9]{2} % del tempo monitorato");
    EXPECT_TRUE(std::regex_search(Text, Availability)) << Text.substr(0, 2000);
    for (const TReportOutage& o : Data->Outages) {
        EXPECT_NE(Text.find("Inizio " + Local(o.Outage.StartToMs, "dd/MM/yyyy HH:mm:ss")),
                  std::string::npos);
    }
    EXPECT_NE(Text.find("Periodi lenti (1)"), std::string::npos);
    EXPECT_NE(Text.find("Lento dal " + Local(Slow.StartToMs, "dd/MM/yyyy HH:mm:ss")),
              std::string::npos);
    // Every local day the range touches, those in the gap without pings too.
    for (int64_t At = T0; At < T0 + 30 * Day; At += Day) {
        const std::regex Row(Local(At, "dd/MM/yyyy") + " +[0-9]+ +([0-9]+,[0-9]{2}|–)");
        EXPECT_TRUE(std::regex_search(Text, Row)) << Local(At, "dd/MM/yyyy");
    }

    const std::string Info = Output("pdfinfo '" + Pdf + "'");
    const int Pages = std::stoi(Info.substr(Info.find("Pages:") + 6));
    EXPECT_GT(Pages, 1);
    EXPECT_NE(Info.find("595 x 842 pts (A4)"), std::string::npos) << Info;
    EXPECT_EQ(CountOf(Text, "Zirko – Rapporto di raggiungibilità"), size_t(Pages));
    EXPECT_EQ(CountOf(Text, "Creato il "), size_t(Pages));
    EXPECT_EQ(CountOf(Text, "Pagina "), size_t(Pages));
}

// Nothing to report: a host the history does not know, or a range with no ping.
TEST(TReportTest, NoReportWithoutPingsOfTheHostInTheRange) {
    TTempDir Dir;
    THistoryStore Store;
    ASSERT_TRUE(Store.Open(Dir.Path()));
    THistoryShape Shape;
    THistoryGenerator Generator(Store, Shape);
    ASSERT_TRUE(Generator.Run(Shape.StartMs + 60 * Minute));
    const int64_t T0 = Shape.StartMs;
    EXPECT_FALSE(GatherReport(Store, {"other.example.net", T0, T0 + Day, T0 + Day}));
    EXPECT_FALSE(GatherReport(Store, {Shape.Host, T0 + Day, T0 + 2 * Day, T0 + 2 * Day}));
    EXPECT_TRUE(GatherReport(Store, {Shape.Host, T0, T0 + Day, T0 + Day}));
}
