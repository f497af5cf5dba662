// SPDX-License-Identifier: GPL-3.0-or-later
// A style plugin standing for code that a user's environment loads into the window: when
// loaded it tries to open a raw ICMP socket and writes what happened to the file named in
// ZIRKO_TEST_PLUGIN_REPORT ("opened errno pid"). It provides no style, so Qt goes on with its
// default one.
#include <QStylePlugin>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const bool Tried = [] {
    const int Fd = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const int Error = Fd < 0 ? errno : 0;
    if (const char* Report = std::getenv("ZIRKO_TEST_PLUGIN_REPORT")) {
        if (FILE* Out = std::fopen(Report, "w")) {
            std::fprintf(Out, "%d %d %d\n", Fd >= 0 ? 1 : 0, Error, static_cast<int>(::getpid()));
            std::fclose(Out);
        }
    }
    if (Fd >= 0) {
        ::close(Fd);
    }
    return true;
}();

} // namespace

class TRawSocketProbeStyle : public QStylePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QStyleFactoryInterface_iid FILE "RawSocketProbeStyle.json")

public:
    QStyle* create(const QString& /*AKey*/) override { return Tried ? nullptr : nullptr; }
};

#include "RawSocketProbeStyle.moc"
