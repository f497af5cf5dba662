// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTestNetwork.h"

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace zirko::test {

namespace {
std::atomic<int> GNetworkCount{0};
} // namespace

TTestNetwork::TTestNetwork(TTestNetworkOptions AOptions) : FOptions(AOptions) {
    // 10.64.0.0 - 10.191.255.0: 32768 /24 blocks, four per pid before they repeat.
    const int Slot = (static_cast<int>(::getpid()) * 4 + (GNetworkCount++ % 4)) % 32768;
    FA = 64 + Slot / 256;
    FB = Slot % 256;
    const std::string Pid = std::to_string(::getpid());
    FRootLinkName = "zk" + Pid + "c" + std::to_string(Slot % 4);

    if (!FOptions.ClientIsRootNamespace) {
        FClient = std::make_unique<TNetNamespace>("cli");
    }
    FRouter = std::make_unique<TNetNamespace>("rtr");
    if (FOptions.SecondRouter || FOptions.ThirdRouter) {
        FRouter2 = std::make_unique<TNetNamespace>("rt2");
    }
    if (FOptions.ThirdRouter) {
        FRouter3 = std::make_unique<TNetNamespace>("rt3");
    }
    FTarget = std::make_unique<TNetNamespace>("tgt");

    for (const TNetNamespace* R : {FRouter.get(), FRouter2.get(), FRouter3.get()}) {
        if (R != nullptr) {
            R->SetSysctl("net.ipv4.ip_forward", "1");
            // Time-exceeded without a rate limit (a traceroute asks for many). A limit of 0
            // would not do: it empties the per-client tokens that unreachable routes draw on.
            R->SetSysctl("net.ipv4.icmp_ratemask", "0");
            if (FOptions.IPv6) {
                R->SetSysctl("net.ipv6.conf.all.forwarding", "1");
                R->SetSysctl("net.ipv6.icmp.ratelimit", "0");
            }
        }
    }

    const TNetNamespace& LastRouter = FRouter3 ? *FRouter3 : FRouter2 ? *FRouter2 : *FRouter;
    Link(FClient.get(), 1, *FRouter, 2);
    if (FRouter2) {
        Link(FRouter.get(), 5, *FRouter2, 6);
    }
    if (FRouter3) {
        Link(FRouter2.get(), 13, *FRouter3, 14);
    }
    Link(&LastRouter, 9, *FTarget, 10);

    Route(FClient.get(), {Prefix(), "via", Address(2)});
    Route(FTarget.get(), {Prefix(), "via", Address(9)});
    RouteBetweenRouters();
    if (FOptions.UnreachableRoute) {
        FRouter->Ip({"route", "add", "unreachable", Address(128) + "/25"});
    }
    if (FOptions.IPv6) {
        Route(FClient.get(), {Prefix6(), "via", Address6(2)});
        Route(FTarget.get(), {Prefix6(), "via", Address6(9)});
        if (FOptions.UnreachableRoute) {
            FRouter->Ip({"-6", "route", "add", "unreachable", Prefix6Base() + "0:8000::/49"});
        }
        WaitForLinkLocalAddresses();
    }
}

void TTestNetwork::RouteBetweenRouters() {
    // A router reaches the /30 links behind the next one through it (each link given by its
    // first host), and everything else through the one before it.
    auto Ahead = [this](const TNetNamespace* AIn, std::vector<int> ALinks, int AVia) {
        for (const int Link : ALinks) {
            Route(AIn, {Address(Link) + "/30", "via", Address(AVia)});
            if (FOptions.IPv6) {
                const std::string Net6 = Prefix6Base() + "0:" + std::to_string(Link / 4) + "::/64";
                Route(AIn, {Net6, "via", Address6(AVia)});
            }
        }
    };
    auto Back = [this](const TNetNamespace* AIn, int AVia) {
        Route(AIn, {Prefix(), "via", Address(AVia)});
        if (FOptions.IPv6) {
            Route(AIn, {Prefix6(), "via", Address6(AVia)});
        }
    };
    if (FRouter2) {
        Ahead(FRouter.get(), FRouter3 ? std::vector<int>{8, 12} : std::vector<int>{8}, 6);
        Back(FRouter2.get(), 5);
    }
    if (FRouter3) {
        Ahead(FRouter2.get(), {8}, 14);
        Back(FRouter3.get(), 13);
    }
}

bool TTestNetwork::DropShare(const TNetNamespace& ARouter, const std::string& AHook,
                             const std::string& AType4, const std::string& AType6, int APercent) {
    const std::string Chain = "inet zk " + AHook;
    const std::string Share = " numgen random mod 100 < " + std::to_string(APercent) + " drop";
    return ARouter.Nft("add table inet zk") &&
           ARouter.Nft("add chain " + Chain + " { type filter hook " + AHook + " priority 0; }") &&
           ARouter.Nft("add rule " + Chain + " icmp type " + AType4 + Share) &&
           ARouter.Nft("add rule " + Chain + " icmpv6 type " + AType6 + Share);
}

void TTestNetwork::WaitForLinkLocalAddresses() const {
    // A router solicits neighbours for forwarded packets from its link-local address, which
    // the kernel adds only once it has seen the carrier, about a second after "up".
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const auto& [In, Count] : FLinksIn) {
        std::vector<std::string> Argv{"ip"};
        if (In) {
            Argv.insert(Argv.end(), {"-n", In->Name()});
        }
        Argv.insert(Argv.end(), {"-6", "addr", "show", "scope", "link"});
        for (;;) {
            const std::string Out = RunCommand(Argv).Output;
            int Ready = 0;
            for (auto At = Out.find("inet6 fe80"); At != std::string::npos;
                 At = Out.find("inet6 fe80", At + 1)) {
                ++Ready;
            }
            if (Ready >= Count && Out.find("tentative") == std::string::npos) {
                break;
            }
            if (std::chrono::steady_clock::now() > Deadline) {
                throw std::runtime_error("link-local addresses did not come up: " + Out);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

TTestNetwork::~TTestNetwork() {
    // Deleting a namespace removes its veth ends and with them the peers and routes.
    FTarget.reset();
    FRouter3.reset();
    FRouter2.reset();
    FRouter.reset();
    FClient.reset();
    if (FOptions.ClientIsRootNamespace) {
        RunCommand({"ip", "link", "del", FRootLinkName});
    }
}

std::string TTestNetwork::Address(int AHost) const {
    return "10." + std::to_string(FA) + "." + std::to_string(FB) + "." + std::to_string(AHost);
}

std::string TTestNetwork::Prefix6Base() const {
    char Slot[8];
    std::snprintf(Slot, sizeof(Slot), "%x", FA * 256 + FB);
    return std::string("fd00:") + Slot + ":";
}

std::string TTestNetwork::Address6(int AHost) const {
    // Written out, then brought into the canonical text the code under test reports.
    const std::string Long =
        Prefix6Base() + "0:" + std::to_string(AHost / 4) + "::" + std::to_string(AHost % 4);
    in6_addr Bytes{};
    std::array<char, INET6_ADDRSTRLEN> Text{};
    if (inet_pton(AF_INET6, Long.c_str(), &Bytes) != 1 ||
        inet_ntop(AF_INET6, &Bytes, Text.data(), Text.size()) == nullptr) {
        throw std::runtime_error("bad test address " + Long);
    }
    return Text.data();
}

void TTestNetwork::Link(const TNetNamespace* AFrom, int AFromHost, const TNetNamespace& ATo,
                        int AToHost) {
    const std::string N = std::to_string(FLinkCount++);
    const std::string FromName = AFrom ? "veth" + N + "a" : FRootLinkName;
    const std::string ToName = "veth" + N + "b";
    // Created straight inside the namespaces, so names never clash with other processes.
    std::vector<std::string> Add{"ip", "link", "add", FromName};
    if (AFrom) {
        Add.insert(Add.end(), {"netns", AFrom->Name()});
    }
    Add.insert(Add.end(), {"type", "veth", "peer", "name", ToName, "netns", ATo.Name()});
    RunChecked(Add);
    ++FLinksIn[AFrom];
    ++FLinksIn[&ATo];
    auto Configure = [this](const TNetNamespace* AIn, const std::string& AName, int AHost) {
        std::vector<std::string> Prefix{"ip"};
        if (AIn) {
            Prefix.insert(Prefix.end(), {"-n", AIn->Name()});
        }
        auto Cmd = [&](std::vector<std::string> ARest) {
            std::vector<std::string> Argv = Prefix;
            Argv.insert(Argv.end(), ARest.begin(), ARest.end());
            RunChecked(Argv);
        };
        Cmd({"addr", "add", Address(AHost) + "/30", "dev", AName});
        if (FOptions.IPv6) {
            // No duplicate detection: the addresses are usable at once, and the link is ours.
            std::vector<std::string> NoDad{"sysctl", "-q", "-w",
                                           "net.ipv6.conf." + AName + ".accept_dad=0"};
            if (AIn) {
                NoDad.insert(NoDad.begin(), {"ip", "netns", "exec", AIn->Name()});
            }
            RunChecked(NoDad);
            Cmd({"addr", "add", Address6(AHost) + "/64", "dev", AName, "nodad"});
        }
        Cmd({"link", "set", AName, "up"});
    };
    Configure(AFrom, FromName, AFromHost);
    Configure(&ATo, ToName, AToHost);
}

void TTestNetwork::Route(const TNetNamespace* AIn, const std::vector<std::string>& AArgs) {
    std::vector<std::string> Argv{"ip"};
    if (AIn) {
        Argv.insert(Argv.end(), {"-n", AIn->Name()});
    }
    Argv.insert(Argv.end(), {"route", "add"});
    Argv.insert(Argv.end(), AArgs.begin(), AArgs.end());
    RunChecked(Argv);
}

} // namespace zirko::test
