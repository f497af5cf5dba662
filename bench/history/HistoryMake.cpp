// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a generated history, ZIRKO.DB, into a folder: DAYS of pings every 2 s
// ending at END (UTC ms), through the benchmarks' one generator.
//
//   history_make FOLDER --end-ms END --days DAYS [--continuous] [--lost SHARE]
//                [--gap FROM:TO]... [--outage FROM:TO]... [--prune]
//
// --continuous: one run throughout instead of runs of 10 minutes every 15;
// --gap: nothing monitored in [FROM, TO); --outage: every ping lost in
// [FROM, TO), and the outage on record; --prune: retention stepped as the
// program does. The folder must not hold a history yet.
#include "THistoryGenerator.h"
#include "THistoryStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

struct TRequest {
    std::string Folder;
    std::optional<int64_t> EndMs;
    int64_t Days = 0;
    bool Prune = false;
    THistoryShape Shape;
};

std::optional<int64_t> Number(const char* Text) {
    char* End = nullptr;
    const long long Value = std::strtoll(Text, &End, 10);
    return End != Text && *End == '\0' ? std::optional<int64_t>(Value) : std::nullopt;
}

std::optional<THistoryShape::TSpan> Span(const char* Text) {
    const char* Colon = std::strchr(Text, ':');
    if (Colon == nullptr) {
        return std::nullopt;
    }
    const auto From = Number(std::string(Text, Colon).c_str());
    const auto To = Number(Colon + 1);
    if (!From || !To || *To <= *From) {
        return std::nullopt;
    }
    return THistoryShape::TSpan{*From, *To};
}

// False on anything it does not understand.
bool Parse(int Argc, char** Argv, TRequest& Out) {
    for (int I = 1; I < Argc; ++I) {
        const std::string Arg = Argv[I];
        const char* Value = I + 1 < Argc ? Argv[I + 1] : nullptr;
        if (Arg == "--continuous") {
            Out.Shape.CycleMs = 0;
        } else if (Arg == "--prune") {
            Out.Prune = true;
        } else if (Value == nullptr && Arg.rfind("--", 0) == 0) {
            return false;
        } else if (Arg == "--end-ms") {
            Out.EndMs = Number(Argv[++I]);
        } else if (Arg == "--days") {
            Out.Days = Number(Argv[++I]).value_or(0);
        } else if (Arg == "--lost") {
            Out.Shape.LostShare = std::strtod(Argv[++I], nullptr);
        } else if (Arg == "--gap" || Arg == "--outage") {
            const auto Parsed = Span(Argv[++I]);
            if (!Parsed) {
                return false;
            }
            (Arg == "--gap" ? Out.Shape.Gaps : Out.Shape.Outages).push_back(*Parsed);
        } else if (Out.Folder.empty() && Arg.rfind("--", 0) != 0) {
            Out.Folder = Arg;
        } else {
            return false;
        }
    }
    return !Out.Folder.empty() && Out.EndMs && Out.Days > 0 && Out.Days <= 400;
}

} // namespace

int main(int Argc, char** Argv) {
    TRequest Request;
    if (!Parse(Argc, Argv, Request)) {
        std::fprintf(stderr,
                     "usage: %s FOLDER --end-ms END --days DAYS [--continuous] "
                     "[--lost SHARE] [--gap FROM:TO]... [--outage FROM:TO]... [--prune]\n",
                     Argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    if (fs::exists(fs::path(Request.Folder) / THistoryStore::FileName)) {
        std::fprintf(stderr, "%s already holds a history\n", Request.Folder.c_str());
        return 1;
    }
    const int64_t Minute = THistoryShape::MinuteMs;
    const int64_t StartMs = *Request.EndMs - Request.Days * THistoryStore::MsPerDay;
    Request.Shape.StartMs = StartMs - (StartMs % Minute + Minute) % Minute;
    THistoryStore Store;
    THistoryGenerator Generator(Store, Request.Shape);
    if (!Store.Open(Request.Folder) || !Generator.Run(*Request.EndMs, {.Prune = Request.Prune}) ||
        !Generator.Finish()) {
        std::fprintf(stderr, "the history failed (status %d)\n", static_cast<int>(Store.Status()));
        return 1;
    }
    Store.Close();
    std::printf("%lld pings from %lld to %lld in %s\n", static_cast<long long>(Generator.Written()),
                static_cast<long long>(Request.Shape.StartMs),
                static_cast<long long>(*Request.EndMs), Store.Path().c_str());
    return 0;
}
