// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetNamespace.h"

#include <string>
#include <sys/types.h>

namespace zirko::test {

// Runs zirko_icmp_peer inside a namespace (normally TTestNetwork::Target()) for as long as
// this object lives, at most ALifetimeMs. The peer switches the kernel's own echo replies
// off in that namespace and, for every echo request it receives over IPv4 or IPv6, performs
// AActions in order in the request's family (comma separated; times count from the
// request's arrival; for IPv6 read type 129 for 0, 128 for 8):
//   reply              echo reply with the request's identifier, sequence and payload
//   wait:MS            wait until MS ms after the request arrived
//   reply-seq:K        echo reply whose sequence is K higher
//   reply-id:K         echo reply whose identifier is K higher
//   echo-request       an echo request (type 8) carrying the request's sequence
//   foreign:T          an ICMP message of type T quoting some other echo request
//   foreign-quote:T    an ICMP message of type T quoting this very request
//   unreachable-id:K   destination unreachable quoting this request with its identifier K
//                      higher: another request that happens to carry the same sequence
//   from:ADDR          what follows leaves from ADDR, an address of the peer's namespace
//   short              a 4-byte ICMP message
//   oversized:N        an echo reply with the right sequence, N bytes of ICMP
//   stream:MS:COUNT    COUNT echo replies of another sequence, one every MS ms
// An empty list keeps the peer silent. Construction returns once the peer is listening.
class TIcmpPeer {
public:
    TIcmpPeer(const TNetNamespace& ANamespace, const std::string& AActions,
              int ALifetimeMs = 60000);
    ~TIcmpPeer();
    TIcmpPeer(const TIcmpPeer&) = delete;
    TIcmpPeer& operator=(const TIcmpPeer&) = delete;

    // Stops the peer and returns what it printed ("request <seq>" per request seen).
    std::string Stop();

private:
    pid_t FPid = -1;
    int FOut = -1;
    std::string FOutput;
};

} // namespace zirko::test
