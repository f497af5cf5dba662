// SPDX-License-Identifier: GPL-3.0-or-later
// A style plugin standing for code that a user's environment loads into the window: when
// loaded it tries to open a raw ICMP socket, then asks every sequenced-packet socket the
// window holds (its end of the helper's pair among them) for a raw socket in the old way and
// for a timestamp request, and writes what happened to the file named in
// ZIRKO_TEST_PLUGIN_REPORT ("opened errno pid descriptors-received refusals"). It provides
// no style, so Qt goes on with its default one.
#include "TDescriptorPassing.h"
#include "TProbeProtocol.h"

#include <QStylePlugin>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace TProbeProtocol;

bool SequencedPacket(int AFd) {
    int Type = 0;
    socklen_t Length = sizeof(Type);
    return ::getsockopt(AFd, SOL_SOCKET, SO_TYPE, &Type, &Length) == 0 && Type == SOCK_SEQPACKET;
}

// Sends ABytes and counts what comes back within a second: descriptors, refusals.
void Try(int AFd, std::span<const uint8_t> ABytes, int& ADescriptors, int& ARefusals) {
    if (TDescriptorPassing::Send(AFd, ABytes, -1) < 0) {
        return;
    }
    pollfd Wait{AFd, POLLIN, 0};
    if (::poll(&Wait, 1, 1000) != 1) {
        return;
    }
    std::array<uint8_t, 2048> In{};
    int Fd = -1;
    const ssize_t N = TDescriptorPassing::Receive(AFd, In, Fd);
    if (Fd >= 0) {
        ++ADescriptors;
        ::close(Fd);
    }
    const auto A = N > 0 ? DecodeAnswer(std::span<const uint8_t>(In).first(N)) : std::nullopt;
    if (A && A->Kind == TAnswerKind::Sent && A->Status != 0) {
        ++ARefusals;
    }
}

const bool Tried = [] {
    const int Raw = ::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    const int Error = Raw < 0 ? errno : 0;
    if (Raw >= 0) {
        ::close(Raw);
    }
    const std::vector<uint8_t> OldRequest{'Z', 'S', 'K', '1', 2, 0, 0, 0, 3, 0,
                                          0,   0,   1,   0,   0, 0, 9, 0, 0, 0};
    TProbe Timestamp;
    Timestamp.Family = AF_INET;
    Timestamp.HopLimit = 64;
    Timestamp.WaitMs = 1000;
    Timestamp.Address = {127, 0, 0, 1};
    Timestamp.Message.assign(20, 0);
    Timestamp.Message[0] = 13;
    int Descriptors = 0;
    int Refusals = 0;
    for (int Fd = 3; Fd < 256; ++Fd) {
        if (SequencedPacket(Fd)) {
            Try(Fd, OldRequest, Descriptors, Refusals);
            Try(Fd, EncodeProbe(Timestamp), Descriptors, Refusals);
        }
    }
    if (const char* Report = std::getenv("ZIRKO_TEST_PLUGIN_REPORT")) {
        if (FILE* Out = std::fopen(Report, "w")) {
            std::fprintf(Out, "%d %d %d %d %d\n", Raw >= 0 ? 1 : 0, Error,
                         static_cast<int>(::getpid()), Descriptors, Refusals);
            std::fclose(Out);
        }
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
