#include "TTestNetwork.h"

#include <atomic>
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
    if (FOptions.SecondRouter) {
        FRouter2 = std::make_unique<TNetNamespace>("rt2");
    }
    FTarget = std::make_unique<TNetNamespace>("tgt");

    for (const TNetNamespace* R : {FRouter.get(), FRouter2.get()}) {
        if (R != nullptr) {
            R->SetSysctl("net.ipv4.ip_forward", "1");
            // Time-exceeded without a rate limit (a traceroute asks for many). A limit of 0
            // would not do: it empties the per-client tokens that unreachable routes draw on.
            R->SetSysctl("net.ipv4.icmp_ratemask", "0");
        }
    }

    const TNetNamespace& LastRouter = FRouter2 ? *FRouter2 : *FRouter;
    Link(FClient.get(), Address(1), *FRouter, Address(2));
    if (FRouter2) {
        Link(FRouter.get(), Address(5), *FRouter2, Address(6));
    }
    Link(&LastRouter, Address(9), *FTarget, Address(10));

    Route(FClient.get(), {Prefix(), "via", Address(2)});
    Route(FTarget.get(), {Prefix(), "via", Address(9)});
    if (FRouter2) {
        Route(FRouter.get(), {Address(8) + "/30", "via", Address(6)});
        Route(FRouter2.get(), {Prefix(), "via", Address(5)});
    }
    if (FOptions.UnreachableRoute) {
        FRouter->Ip({"route", "add", "unreachable", Address(128) + "/25"});
    }
}

TTestNetwork::~TTestNetwork() {
    // Deleting a namespace removes its veth ends and with them the peers and routes.
    FTarget.reset();
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

void TTestNetwork::Link(const TNetNamespace* AFrom, const std::string& AFromAddress,
                        const TNetNamespace& ATo, const std::string& AToAddress) {
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
    auto Configure = [](const TNetNamespace* AIn, const std::string& AName,
                        const std::string& AAddress) {
        std::vector<std::string> Prefix{"ip"};
        if (AIn) {
            Prefix.insert(Prefix.end(), {"-n", AIn->Name()});
        }
        auto Cmd = [&](std::vector<std::string> ARest) {
            std::vector<std::string> Argv = Prefix;
            Argv.insert(Argv.end(), ARest.begin(), ARest.end());
            RunChecked(Argv);
        };
        Cmd({"addr", "add", AAddress + "/30", "dev", AName});
        Cmd({"link", "set", AName, "up"});
    };
    Configure(AFrom, FromName, AFromAddress);
    Configure(&ATo, ToName, AToAddress);
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
