// SPDX-License-Identifier: GPL-3.0-or-later
// Serves a registry that the test feeds on stdin, for clients and real scrapers:
//   metrics_driver PORT [TEXTFILE_DIR]    prints "port N" once listening
// Lines "answer US TTL", "lost" or "send", each answered "ok" once counted (and
// written to zirko.prom). End of input ends it, exit code 0 (the sanitizers' verdict).
#include "TMetricsRegistry.h"
#include "TMetricsServer.h"
#include "TMetricsTextfile.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

bool Apply(TMetricsRegistry& Registry, const std::string& Line) {
    std::istringstream In(Line);
    std::string Verb;
    int Ttl = 0;
    TReplyStatus Reply;
    In >> Verb;
    if (Verb == "answer" && In >> Reply.RoundTripUs >> Ttl) {
        Reply.ReplyTtl = static_cast<uint8_t>(Ttl);
    } else if (Verb == "lost") {
        Reply.Status = skTimedOut;
    } else if (Verb == "send") {
        Registry.AddSendError();
        return true;
    } else {
        return false;
    }
    Registry.AddReply(Reply);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    TMetricsRegistry Registry;
    Registry.SetTarget({"peer.invalid", "127.0.0.1", ""});
    TMetricsServer Server([&Registry](std::string_view Accept) { return Registry.Answer(Accept); });
    const QString Error = Server.Listen("127.0.0.1", argc > 1 ? std::stoi(argv[1]) : 0);
    if (!Error.isEmpty()) {
        std::cerr << Error.toStdString() << "\n";
        return 2;
    }
    std::optional<TMetricsTextfile> Textfile;
    if (argc > 2) {
        Textfile.emplace(argv[2]);
    }
    std::cout << "port " << Server.Port() << std::endl;

    // Whole lines from the descriptor: a stream's buffer could hold a second line
    // that the notifier never announces.
    QSocketNotifier Input(STDIN_FILENO, QSocketNotifier::Read);
    std::string Pending;
    QObject::connect(&Input, &QSocketNotifier::activated, [&] {
        char Chunk[4096];
        const ssize_t N = ::read(STDIN_FILENO, Chunk, sizeof Chunk);
        if (N <= 0) {
            App.quit();
            return;
        }
        Pending.append(Chunk, static_cast<std::size_t>(N));
        for (std::size_t End; (End = Pending.find('\n')) != std::string::npos;) {
            bool Done = Apply(Registry, Pending.substr(0, End));
            Pending.erase(0, End + 1);
            if (Done && Textfile) {
                const std::string Failed =
                    Textfile->Write(Registry.Text(TMetricsRegistry::TFormat::Prometheus));
                std::cerr << Failed;
                Done = Failed.empty();
            }
            std::cout << (Done ? "ok" : "error") << std::endl;
        }
    });
    return App.exec();
}
