// SPDX-License-Identifier: GPL-3.0-or-later
// The time of a 30-day report (as zirko --report makes it: the history opened
// for reading, gathered, the PDF written) over 31 days of the automatic
// monitoring at a ping every 2 s, in fresh stores, on the offscreen platform.
//
//   report_bench [--runs N]

#include "BenchStats.h"
#include "THistoryGenerator.h"
#include "TReportData.h"
#include "TReportPdf.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using TStopwatch = std::chrono::steady_clock;

double MsSince(TStopwatch::time_point Start) {
    return std::chrono::duration<double, std::milli>(TStopwatch::now() - Start).count();
}

bool ReportOnce(const std::string& Folder, int64_t EndMs, double& Ms, int64_t& Pings) {
    const auto Start = TStopwatch::now();
    THistoryStore Store;
    if (!Store.OpenForReading(Folder)) {
        return false;
    }
    const auto Data = GatherReport(
        Store, {THistoryShape{}.Host, EndMs - 30 * THistoryStore::MsPerDay, EndMs, EndMs});
    QString Error;
    if (!Data || !WriteReportPdf(*Data, QString::fromStdString(Folder + "/report.pdf"), "bench",
                                 EndMs, Error)) {
        return false;
    }
    Ms = MsSince(Start);
    Pings = Data->Total.Count;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int Runs = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            Runs = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const QGuiApplication Application(argc, argv);
    const char* Tmp = std::getenv("TMPDIR");
    std::string Folder = std::string(Tmp && *Tmp ? Tmp : "/tmp") + "/zirko-report-bench-XXXXXX";
    if (::mkdtemp(Folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const int64_t EndMs = THistoryShape::FixedStartMs + 31 * THistoryStore::MsPerDay;
    const auto Started = TStopwatch::now();
    THistoryStore Writer;
    THistoryGenerator Generator(Writer, THistoryShape{});
    bool Ok = Writer.Open(Folder) && Generator.Run(EndMs) && Generator.Finish();
    std::printf("generated %lld pings over 31 days in %.1f s\n\n",
                static_cast<long long>(Generator.Written()), MsSince(Started) / 1000.0);
    // The writer stays open, as a running Zirko's would: the report reads beside it.
    std::vector<double> Times;
    int64_t Pings = 0;
    for (int Run = 0; Ok && Run < Runs; ++Run) {
        double Ms = 0;
        Ok = ReportOnce(Folder, EndMs, Ms, Pings);
        if (Ok) {
            std::printf("run %d: %.1f ms\n", Run + 1, Ms);
            Times.push_back(Ms);
        }
    }
    Writer.Close();
    std::error_code Error;
    std::filesystem::remove_all(Folder, Error);
    if (!Ok) {
        std::fprintf(stderr, "a report failed\n");
        return 1;
    }
    std::printf("\n| measure | median | max |\n|---|---|---|\n");
    std::printf("| 30-day report of %lld pings, open to PDF written, %d fresh stores (ms) | %.1f | "
                "%.1f |\n",
                static_cast<long long>(Pings), Runs, zirko::bench::Median(Times),
                zirko::bench::Max(Times));
    return 0;
}
