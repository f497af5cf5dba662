// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TCommand.h"

#include <string>
#include <utility>
#include <vector>

namespace zirko::test {

// A network namespace that lives as long as this object. The name carries the test
// process's pid ("zk-<tag>-<pid>-<n>"), so parallel test processes never collide; on first
// use, namespaces left behind by test processes that no longer run are removed.
// Needs root.
class TNetNamespace {
public:
    explicit TNetNamespace(const std::string& ATag);
    ~TNetNamespace();
    TNetNamespace(const TNetNamespace&) = delete;
    TNetNamespace& operator=(const TNetNamespace&) = delete;

    const std::string& Name() const { return FName; }

    // Runs a program inside the namespace ("ip netns exec NAME argv...").
    TCommandResult Run(const std::vector<std::string>& AArgv, int ATimeoutMs = 20000) const;
    std::string RunChecked(const std::vector<std::string>& AArgv, int ATimeoutMs = 20000) const;
    // "ip -n NAME args..." and throws when it fails.
    void Ip(const std::vector<std::string>& AArgs) const;

    // One nft command inside the namespace; false when nft refuses it (or is missing).
    bool Nft(const std::string& ACommand) const;

    // Writes a sysctl of this namespace, e.g. SetSysctl("net.ipv4.ip_forward", "1").
    void SetSysctl(const std::string& AKey, const std::string& AValue) const;
    // Which groups may open unprivileged ICMP datagram sockets here.
    void SetPingGroupRange(long ALow, long AHigh) const;
    // /etc/netns/NAME/hosts, seen by programs started through Run; removed with the namespace.
    void SetHostsFile(const std::vector<std::pair<std::string, std::string>>& AAddressNames) const;

private:
    std::string FName;
    mutable bool FHasHostsFile = false; // set by SetHostsFile, which changes no namespace state
};

} // namespace zirko::test
