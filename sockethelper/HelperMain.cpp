// SPDX-License-Identifier: GPL-3.0-or-later
// zirko-socket: the one file that holds the raw-socket right. The window starts it with its
// end of a socket pair as descriptor 3 and an empty environment. It opens one raw ICMP and one
// raw ICMPv6 socket, gives up every capability, and from then on sends the window's echo
// requests and passes back the answers to them. It ends with the window.
#include "TCapabilities.h"
#include "TProbeServer.h"

#include <csignal>
#include <cstdio>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int Channel = 3;

int Refuse(const char* AWhy) {
    std::fprintf(stderr, "zirko-socket: %s\n", AWhy);
    return 2;
}

} // namespace

int main() {
    // End with the window even when it is killed; the end of the pair is the second sign.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) {
        return Refuse("cannot follow the parent's end");
    }
    const pid_t Parent = ::getppid();
    // The pair must have been made by the process that started us: nobody else is served.
    ucred Peer{};
    socklen_t Length = sizeof(Peer);
    int Type = 0;
    socklen_t TypeLength = sizeof(Type);
    if (::getsockopt(Channel, SOL_SOCKET, SO_PEERCRED, &Peer, &Length) != 0 ||
        ::getsockopt(Channel, SOL_SOCKET, SO_TYPE, &Type, &TypeLength) != 0 ||
        Type != SOCK_SEQPACKET) {
        return Refuse("no socket pair on descriptor 3; this program is started by zirko");
    }
    if (Peer.pid != Parent) {
        return Refuse("the socket pair belongs to another process");
    }
    // Nothing the starter left open may reach the capable process.
    if (::close_range(Channel + 1, ~0U, 0) != 0) {
        return Refuse("cannot close inherited descriptors");
    }
    // Not left to the file capability's exec: with kernel.suid_dumpable=1 the same user
    // could attach to a capable process and take its sockets.
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        return Refuse("cannot forbid attaching");
    }
    // A permitted right that the file did not make effective is raised for the two sockets.
    TCapabilities Sets;
    if (TCapabilities::Read(Sets) && (Sets.Permitted & TCapabilities::Bit(CAP_NET_RAW)) != 0) {
        Sets.Effective |= TCapabilities::Bit(CAP_NET_RAW);
        TCapabilities::Write(Sets);
    }
    const TProbeServer::TSockets Sockets = TProbeServer::OpenSockets();
    if (!TCapabilities::DropAll()) {
        return Refuse("cannot drop capabilities");
    }
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return Refuse("cannot forbid new privileges");
    }
    const int On = 1;
    if (::setsockopt(Channel, SOL_SOCKET, SO_PASSCRED, &On, sizeof(On)) != 0) {
        return Refuse("cannot learn who asks");
    }
    return TProbeServer(Channel, Parent, Sockets).Run();
}
