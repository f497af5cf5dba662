// SPDX-License-Identifier: GPL-3.0-or-later
// The cost of one scrape of /metrics over loopback: a registry holding a day of
// pings every 2 s to one host (round trips spread over the buckets, some lost),
// served by TMetricsServer in the main thread and read by a client thread in the
// scraper's two ways: one kept-alive connection, and a new connection each time
// (a scrape interval past the endpoint's idle deadline). Prints markdown rows the
// way bench/run_all reads them: wall time per scrape, and the serving thread's CPU.
#include "BenchStats.h"
#include "TMetricsRegistry.h"
#include "TMetricsServer.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;

constexpr int KeptAliveScrapes = 2000;
constexpr int FreshScrapes = 500;
const char* const Request = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: "
                            "application/openmetrics-text;version=1.0.0,text/plain;"
                            "version=0.0.4;q=0.5\r\n\r\n";

void FillDay(TMetricsRegistry& Registry) {
    Registry.SetTarget({"gateway.invalid", "192.0.2.1", ""});
    for (int I = 0; I < 43200; ++I) {
        TReplyStatus Reply;
        Reply.Status = I % 97 == 0 ? skTimedOut : skEchoReply;
        Reply.RoundTripUs = 200 + (I * 7919) % 40000;
        Reply.ReplyTtl = 63;
        Registry.AddReply(Reply);
    }
    Registry.SetMonitoringActive(true);
    Registry.SetAlarmThreshold(10);
    Registry.SetAverageLimitMs(250);
}

int Connect(quint16 Port) {
    const int Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in To{};
    To.sin_family = AF_INET;
    To.sin_port = htons(Port);
    To.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(Fd, reinterpret_cast<sockaddr*>(&To), sizeof To) != 0) {
        ::close(Fd);
        return -1;
    }
    return Fd;
}

// One request and its whole answer; the answer's size, 0 on failure.
std::size_t Scrape(int Fd) {
    if (::send(Fd, Request, std::strlen(Request), MSG_NOSIGNAL) < 0) {
        return 0;
    }
    std::string Answer;
    char Chunk[65536];
    std::size_t Wanted = std::string::npos;
    while (Answer.size() < Wanted) {
        const ssize_t N = ::recv(Fd, Chunk, sizeof Chunk, 0);
        if (N <= 0) {
            return 0;
        }
        Answer.append(Chunk, static_cast<std::size_t>(N));
        const std::size_t End = Answer.find("\r\n\r\n");
        const std::size_t Length = Answer.find("Content-Length: ");
        if (Wanted == std::string::npos && End != std::string::npos && Length < End) {
            Wanted = End + 4 + std::stoul(Answer.substr(Length + 16));
        }
    }
    return Answer.size();
}

struct TRun {
    std::vector<double> Ms;
    std::size_t Bytes = 0;
    bool Failed = false;
};

void Client(quint16 Port, TRun& KeptAlive, TRun& Fresh) {
    const int Fd = Connect(Port);
    for (int I = 0; I < KeptAliveScrapes && !KeptAlive.Failed; ++I) {
        const auto Start = TSteady::now();
        KeptAlive.Bytes = Scrape(Fd);
        KeptAlive.Ms.push_back(
            std::chrono::duration<double, std::milli>(TSteady::now() - Start).count());
        KeptAlive.Failed = KeptAlive.Bytes == 0;
    }
    ::close(Fd);
    for (int I = 0; I < FreshScrapes && !Fresh.Failed; ++I) {
        const auto Start = TSteady::now();
        const int Each = Connect(Port);
        Fresh.Bytes = Each < 0 ? 0 : Scrape(Each);
        ::close(Each);
        Fresh.Ms.push_back(
            std::chrono::duration<double, std::milli>(TSteady::now() - Start).count());
        Fresh.Failed = Fresh.Bytes == 0;
    }
}

double ThreadCpuMs() {
    timespec Now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
    return static_cast<double>(Now.tv_sec) * 1e3 + static_cast<double>(Now.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    TMetricsRegistry Registry;
    FillDay(Registry);
    TMetricsServer Server([&Registry](std::string_view Accept) { return Registry.Answer(Accept); });
    const QString Error = Server.Listen("127.0.0.1", 0);
    if (!Error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(Error));
        return 1;
    }
    TRun KeptAlive, Fresh;
    std::thread Scraper([&] {
        Client(Server.Port(), KeptAlive, Fresh);
        QMetaObject::invokeMethod(&App, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const double CpuBefore = ThreadCpuMs();
    App.exec();
    const double CpuMs = ThreadCpuMs() - CpuBefore;
    Scraper.join();
    if (KeptAlive.Failed || Fresh.Failed) {
        std::fprintf(stderr, "a scrape failed\n");
        return 1;
    }
    using zirko::bench::Max;
    using zirko::bench::Median;
    std::printf("registry: one target, 43200 pings; answer of %zu bytes (OpenMetrics)\n\n",
                KeptAlive.Bytes);
    std::printf("| scrape | count | median (ms) | max (ms) |\n|---|---|---|---|\n");
    std::printf("| kept-alive connection | %d | %.3f | %.3f |\n", KeptAliveScrapes,
                Median(KeptAlive.Ms), Max(KeptAlive.Ms));
    std::printf("| new connection each | %d | %.3f | %.3f |\n", FreshScrapes, Median(Fresh.Ms),
                Max(Fresh.Ms));
    std::printf("\nserving thread CPU per scrape, both kinds: %.1f us\n",
                CpuMs * 1e3 / (KeptAliveScrapes + FreshScrapes));
    return 0;
}
