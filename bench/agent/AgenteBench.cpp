// SPDX-License-Identifier: GPL-3.0-or-later
// 100,000 AddMessage calls against write(2) of the same line bytes, interleaved
// in rounds in one run so both see the same disk and cache state.
#include "AgenteText.h"
#include "TAgente.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

constexpr int Entries = 100'000;
constexpr int Rounds = 10;
const std::string Message =
    "Ping result: 08/12/2026 14:05:33 Risposta da 10.0.0.2: byte=32 durata=1ms TTL=64";

struct TStats {
    double Median;
    double P90;
    double Mean;
};

TStats Summarise(std::vector<double>& Samples) {
    std::sort(Samples.begin(), Samples.end());
    double Sum = 0;
    for (const double S : Samples) {
        Sum += S;
    }
    return {Samples[Samples.size() / 2], Samples[Samples.size() * 9 / 10],
            Sum / static_cast<double>(Samples.size())};
}

template <typename TBody> void TimeEach(int Count, std::vector<double>& Samples, TBody Body) {
    for (int I = 0; I < Count; ++I) {
        const auto Start = TClock::now();
        Body();
        const auto End = TClock::now();
        Samples.push_back(std::chrono::duration<double, std::nano>(End - Start).count());
    }
}

} // namespace

int main(int Argc, char** Argv) {
    std::string Folder = Argc > 1 ? Argv[1] : "/tmp";
    if (Folder.back() != '/') {
        Folder += '/';
    }
    Folder += "zirko-agent-bench-XXXXXX";
    if (::mkdtemp(Folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    Folder += '/';

    TAgente Agente;
    Agente.SetPath_Agente(Folder);
    Agente.SetApplicationName("Zirko");
    Agente.SetFileName("ZIRKO");
    Agente.SetActiveLog(true);
    Agente.StartUp();

    // The same bytes the agent writes for one entry, prepared once.
    const std::string Line =
        MessageLine(EntryPrefix("", Agente.DateText(), Agente.TimeText()), Message);
    const std::string PlainPath = Folder + "PLAIN.LOG";
    const int Plain = ::open(PlainPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (Plain < 0) {
        std::perror("open");
        return 1;
    }

    std::vector<double> AgentNs;
    std::vector<double> PlainNs;
    AgentNs.reserve(Entries);
    PlainNs.reserve(Entries);
    bool WriteFailed = false;
    for (int Round = 0; Round < Rounds; ++Round) {
        auto RunAgent = [&] {
            TimeEach(Entries / Rounds, AgentNs, [&] { Agente.AddMessage(Message); });
        };
        auto RunPlain = [&] {
            TimeEach(Entries / Rounds, PlainNs, [&] {
                WriteFailed |=
                    ::write(Plain, Line.data(), Line.size()) != static_cast<ssize_t>(Line.size());
            });
        };
        // Alternate which goes first so neither always runs on a warmer cache.
        if (Round % 2 == 0) {
            RunAgent();
            RunPlain();
        } else {
            RunPlain();
            RunAgent();
        }
    }
    Agente.ShutDown();
    ::close(Plain);

    const std::string AgentPath = Folder + "ZIRKO.LOG";
    const TStats A = Summarise(AgentNs);
    const TStats P = Summarise(PlainNs);
    std::printf("entries per side: %d in %d interleaved rounds, line %zu bytes, folder %s\n",
                Entries, Rounds, Line.size(), Folder.c_str());
    std::printf("| what | median ns/entry | p90 ns | mean ns |\n|---|---|---|---|\n");
    std::printf("| AddMessage | %.0f | %.0f | %.0f |\n", A.Median, A.P90, A.Mean);
    std::printf("| write(2) of the same line | %.0f | %.0f | %.0f |\n", P.Median, P.P90, P.Mean);
    std::printf("median ratio AddMessage / write(2): %.2f\n", A.Median / P.Median);

    std::remove(AgentPath.c_str());
    std::remove(PlainPath.c_str());
    ::rmdir(Folder.c_str());
    if (WriteFailed || Agente.MessageCount() != Entries) {
        std::fprintf(stderr, "writes failed or entries missing\n");
        return 1;
    }
    return 0;
}
