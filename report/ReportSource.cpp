// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportSource.h"

#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

constexpr uint16_t AnyPort = 9; // any port serves: connect only picks the route

struct TFd {
    int Fd;
    ~TFd() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
};

std::string InterfaceOf(const sockaddr_storage& Source) {
    ifaddrs* List = nullptr;
    if (::getifaddrs(&List) != 0) {
        return {};
    }
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> Owner(List, ::freeifaddrs);
    for (const ifaddrs* i = List; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != Source.ss_family) {
            continue;
        }
        const bool Same =
            Source.ss_family == AF_INET
                ? reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr ==
                      reinterpret_cast<const sockaddr_in*>(&Source)->sin_addr.s_addr
                : std::memcmp(&reinterpret_cast<const sockaddr_in6*>(i->ifa_addr)->sin6_addr,
                              &reinterpret_cast<const sockaddr_in6*>(&Source)->sin6_addr,
                              sizeof(in6_addr)) == 0;
        if (Same) {
            return i->ifa_name;
        }
    }
    return {};
}

} // namespace

TReportSource ReportSourceFor(const std::string& Address) {
    sockaddr_storage To{};
    socklen_t Length = 0;
    auto* V4 = reinterpret_cast<sockaddr_in*>(&To);
    auto* V6 = reinterpret_cast<sockaddr_in6*>(&To);
    if (::inet_pton(AF_INET, Address.c_str(), &V4->sin_addr) == 1) {
        V4->sin_family = AF_INET;
        V4->sin_port = htons(AnyPort);
        Length = sizeof(sockaddr_in);
    } else if (::inet_pton(AF_INET6, Address.c_str(), &V6->sin6_addr) == 1) {
        V6->sin6_family = AF_INET6;
        V6->sin6_port = htons(AnyPort);
        Length = sizeof(sockaddr_in6);
    } else {
        return {};
    }
    const TFd Socket{::socket(To.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    sockaddr_storage From{};
    socklen_t FromLength = sizeof(From);
    if (Socket.Fd < 0 || ::connect(Socket.Fd, reinterpret_cast<sockaddr*>(&To), Length) != 0 ||
        ::getsockname(Socket.Fd, reinterpret_cast<sockaddr*>(&From), &FromLength) != 0) {
        return {};
    }
    char Text[INET6_ADDRSTRLEN] = {};
    const void* Raw = From.ss_family == AF_INET
                          ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&From)->sin_addr)
                          : static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&From)->sin6_addr);
    if (::inet_ntop(From.ss_family, Raw, Text, sizeof(Text)) == nullptr) {
        return {};
    }
    return {Text, InterfaceOf(From)};
}
