// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetNamespace.h"

#include <map>
#include <memory>
#include <string>

namespace zirko::test {

struct TTestNetworkOptions {
    // The test's own namespace is the client: a veth from it, with a route for this
    // network's private /24 only, so a program started normally can ping the addresses.
    // A raw socket there also sees every other process's ICMP (parallel tests pinging
    // 127.0.0.1 use the same sequence numbers); where the code under test can run inside
    // the client namespace (TNetNamespaceScope), prefer that.
    bool ClientIsRootNamespace = false;
    // A second router between the first one and the target.
    bool SecondRouter = false;
    // Any address in the upper half of the /24 (see UnreachableAddress) is answered with
    // destination-unreachable by the first router.
    bool UnreachableRoute = false;
    // Unique-local IPv6 addresses beside the IPv4 ones (see Address6), with the same roles:
    // the routers forward and send their errors without rate limit.
    bool IPv6 = false;
    // A third router behind the second one (which it brings along).
    bool ThirdRouter = false;
};

// client -> router [-> router2] -> target, joined by veth pairs, with addresses from a
// private /24 (10.x.y.0, derived from the pid) that exist only in these namespaces (and,
// with ClientIsRootNamespace, on the one veth end in the test's own namespace). The routers
// forward and send time-exceeded without rate limit. Destination-unreachable from the
// unreachable route keeps the kernel's fixed limit per client: a burst of five, then one a
// second, so a test that needs more uses a fresh network. Everything goes when the object
// does. Needs root.
//
//   client .1 ==/30== .2 router [.5 ==/30== .6 router2 [.13 ==/30== .14 router3]]
//          .9 ==/30== .10 target
class TTestNetwork {
public:
    explicit TTestNetwork(TTestNetworkOptions AOptions = {});
    ~TTestNetwork();
    TTestNetwork(const TTestNetwork&) = delete;
    TTestNetwork& operator=(const TTestNetwork&) = delete;

    // Null when the client is the test's own namespace.
    const TNetNamespace* Client() const { return FClient.get(); }
    const TNetNamespace& Router() const { return *FRouter; }
    const TNetNamespace* Router2() const { return FRouter2.get(); }
    const TNetNamespace* Router3() const { return FRouter3.get(); }
    const TNetNamespace& Target() const { return *FTarget; }

    std::string ClientAddress() const { return Address(1); }
    // The first router's address facing the client: the source of its ICMP errors.
    std::string RouterAddress() const { return Address(2); }
    std::string Router2Address() const { return Address(6); }
    std::string Router3Address() const { return Address(14); }
    std::string TargetAddress() const { return Address(10); }
    std::string UnreachableAddress() const { return Address(200); }
    // "10.x.y.0/24"
    std::string Prefix() const { return Address(0) + "/24"; }
    // With IPv6: the same roles in fd00:SSSS::/32, SSSS from the same slot as the /24; each
    // /30 above is the /64 fd00:SSSS:0:N:: (N = host / 4) and host H is ::(H % 4).
    std::string ClientAddress6() const { return Address6(1); }
    std::string RouterAddress6() const { return Address6(2); }
    std::string Router2Address6() const { return Address6(6); }
    std::string Router3Address6() const { return Address6(14); }
    std::string TargetAddress6() const { return Address6(10); }
    // Inside fd00:SSSS:0:8000::/49, which the first router reports unreachable.
    std::string UnreachableAddress6() const { return Prefix6Base() + "0:8000::c8"; }
    std::string Prefix6() const { return Prefix6Base() + ":/32"; }

    // Makes ARouter drop about APercent % of the ICMP messages of a type (nft's names, one per
    // family) that it forwards (AHook "forward") or sends itself ("output"), by the kernel's
    // random numbers. False when this kernel or nft refuses the rule.
    static bool DropShare(const TNetNamespace& ARouter, const std::string& AHook,
                          const std::string& AType4, const std::string& AType6, int APercent);

    // Hops from the client to the target (1 to 3 routers, then the target).
    int HopsToTarget() const { return FRouter3 ? 4 : FRouter2 ? 3 : 2; }

private:
    std::string Address(int AHost) const;
    std::string Address6(int AHost) const;
    std::string Prefix6Base() const; // "fd00:SSSS:"
    void Link(const TNetNamespace* AFrom, int AFromHost, const TNetNamespace& ATo, int AToHost);
    void Route(const TNetNamespace* AIn, const std::vector<std::string>& AArgs);
    void WaitForLinkLocalAddresses() const;
    void RouteBetweenRouters();

    TTestNetworkOptions FOptions;
    int FA = 0;
    int FB = 0;
    int FLinkCount = 0;
    std::map<const TNetNamespace*, int> FLinksIn; // veth ends per namespace (null: our own)
    std::string FRootLinkName;
    std::unique_ptr<TNetNamespace> FClient;
    std::unique_ptr<TNetNamespace> FRouter;
    std::unique_ptr<TNetNamespace> FRouter2;
    std::unique_ptr<TNetNamespace> FRouter3;
    std::unique_ptr<TNetNamespace> FTarget;
};

} // namespace zirko::test
