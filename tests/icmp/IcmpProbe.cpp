// SPDX-License-Identifier: GPL-3.0-or-later
// Runs pings with the real client and prints one record per line, so that a test can run
// it as another user or in another namespace and compare what it saw.
// Usage: zirko_icmp_probe HOST TIMEOUT_MS TTL COUNT [raw|datagram|auto] [HELPER]
// With HELPER, raw sockets come from that zirko-socket, started as the program starts it.
#include "ENetExceptions.h"
#include "TNetIcmpClient.h"
#include "TNetSocketHandle.h"
#include "TNetSocketHelper.h"

#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::cerr << "usage: zirko_icmp_probe HOST TIMEOUT_MS TTL COUNT [raw|datagram|auto]\n";
        return 2;
    }
    const std::string Policy = argc > 5 ? argv[5] : "auto";
    TNetContext Sockets;
    if (Policy == "raw") {
        Sockets.SetIcmpSocketPolicy(TNetIcmpSocketPolicy::RawOnly);
    } else if (Policy == "datagram") {
        Sockets.SetIcmpSocketPolicy(TNetIcmpSocketPolicy::DatagramOnly);
    }
    TNetSocketHelper Helper;
    if (argc > 6 && !Helper.Start(argv[6])) {
        std::cout << "ERROR 0 cannot start " << argv[6] << '\n';
        return 1;
    }
    const int Count = std::min(std::atoi(argv[4]), 100);
    try {
        Sockets.SetHelper(argc > 6 ? &Helper : nullptr);
        TNetIcmpClient Client(Sockets);
        Client.SetHost(argv[1]);
        Client.SetReceiveTimeout(std::atoi(argv[2]));
        Client.SetTTL(std::atoi(argv[3]));
        for (int I = 0; I < Count; ++I) {
            Client.Ping();
            const TReplyStatus& R = Client.ReplyStatus();
            std::cout << "REPLY " << int(R.Status) << ' ' << R.ReplyBytes << ' ' << R.FromAddress
                      << ' ' << int(R.IcmpType) << ' ' << R.Sequence << ' ' << int(R.ReplyTtl)
                      << ' ' << R.RoundTripMs << ' '
                      << (Client.Socket().Kind() == TNetSocketKind::Datagram ? "datagram" : "raw")
                      << '\n';
        }
    } catch (const ENetSocketError& E) {
        std::cout << "ERROR " << E.ErrorCode() << ' ' << E.what() << '\n';
        return 1;
    } catch (const std::exception& E) {
        std::cout << "ERROR 0 " << E.what() << '\n';
        return 1;
    }
    return 0;
}
