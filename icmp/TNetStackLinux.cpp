// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetStackLinux.h"

#include "TNetReceiveStamp.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <locale.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::pair<int, int32_t> ErrnoTable[] = {
    {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},
    {EPERM, 10013},        {EFAULT, 10014},          {EINVAL, 10022},
    {EMFILE, 10024},       {EAGAIN, 10035},          {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},        {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},
    {ENETUNREACH, 10051},  {ENETRESET, 10052},       {ECONNABORTED, 10053},
    {ECONNRESET, 10054},   {ENOBUFS, 10055},         {EISCONN, 10056},
    {ENOTCONN, 10057},     {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},    {ELOOP, 10062},
    {ENAMETOOLONG, 10063}, {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065},
    {ENOTEMPTY, 10066},
};

constexpr int32_t HostNotFound = 11001;
constexpr int32_t TryAgain = 11002;

// strerror in the C locale, whatever locale the process runs in.
std::string CLocaleErrorText(int AErrno) {
    const locale_t C = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (C == static_cast<locale_t>(nullptr)) {
        return {};
    }
    std::string Text = strerror_l(AErrno, C);
    freelocale(C);
    return Text;
}

} // namespace

int32_t TNetStackLinux::ErrnoToCode(int AErrno) {
    const auto It = std::find_if(std::begin(ErrnoTable), std::end(ErrnoTable),
                                 [AErrno](const auto& Row) { return Row.first == AErrno; });
    return It == std::end(ErrnoTable) ? AErrno : It->second;
}

int32_t TNetStackLinux::LookupErrorToCode(int AGaiError) {
    switch (AGaiError) {
    case EAI_NONAME:
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
        return HostNotFound;
    case EAI_AGAIN:
        return TryAgain;
    case EAI_FAIL:
        return 11003;
    default:
        return 11004;
    }
}

std::string TNetStackLinux::SocketErrorMessage(int32_t ACode) const {
    if (ACode == HostNotFound) {
        return TNetStack::SocketErrorMessage(ACode) + "Host not found.";
    }
    if (ACode > 0 && ACode < 10000) {
        return TNetStack::SocketErrorMessage(ACode) + CLocaleErrorText(ACode);
    }
    return TNetStackBSDBase::SocketErrorMessage(ACode);
}

int32_t TNetStackLinux::LastSocketError() const {
    return ErrnoToCode(errno);
}

std::string TNetStackLinux::LookupHostName(const std::string& AName) {
    // The resolver would stop at a NUL and find some other host than the one named.
    if (AName.find('\0') != std::string::npos) {
        ThrowSocketError(HostNotFound);
    }
    const auto Lookup = [&AName](int AFamily, addrinfo*& AResult) {
        addrinfo Hints{};
        Hints.ai_family = AFamily;
        const int Error = getaddrinfo(AName.c_str(), nullptr, &Hints, &AResult);
        return Error != 0 ? LookupErrorToCode(Error) : AResult == nullptr ? HostNotFound : 0;
    };
    addrinfo* Result = nullptr;
    const int32_t Code = Lookup(AF_INET, Result);
    if (Code == 0) {
        std::array<uint8_t, 4> Address{};
        const auto* In = reinterpret_cast<const sockaddr_in*>(Result->ai_addr);
        std::memcpy(Address.data(), &In->sin_addr, Address.size());
        freeaddrinfo(Result);
        return AddressToText(Address);
    }
    // Only a name without any IPv4 address is pinged over IPv6. A resolver that cannot be
    // reached for IPv4 may still find the name's IPv6 address in the hosts file; when
    // IPv6 finds nothing either, the IPv4 answer's code stands.
    if ((Code != HostNotFound && Code != TryAgain) || Lookup(AF_INET6, Result) != 0) {
        ThrowSocketError(Code);
    }
    std::array<uint8_t, 16> Address{};
    const auto* In6 = reinterpret_cast<const sockaddr_in6*>(Result->ai_addr);
    std::memcpy(Address.data(), &In6->sin6_addr, Address.size());
    const uint32_t Scope = In6->sin6_scope_id;
    freeaddrinfo(Result);
    std::string Text = Address6ToText(Address);
    if (Scope != 0) {
        std::array<char, IF_NAMESIZE> Name{};
        Text += '%';
        Text += if_indextoname(Scope, Name.data()) != nullptr ? std::string(Name.data())
                                                              : std::to_string(Scope);
    }
    return Text;
}

int32_t TNetStackLinux::ReceiveStamped(TSocketId AId, std::span<uint8_t> AArea,
                                       std::optional<int64_t>& AStampNs) {
    alignas(cmsghdr) std::array<uint8_t, 128> Control{};
    iovec Io{AArea.data(), AArea.size()};
    msghdr Msg{};
    Msg.msg_iov = &Io;
    Msg.msg_iovlen = 1;
    Msg.msg_control = Control.data();
    Msg.msg_controllen = Control.size();
    // MSG_TRUNC reports the full length of a datagram too long for the area.
    const ssize_t N = ::recvmsg(AId, &Msg, MSG_TRUNC);
    AStampNs = N < 0 ? std::nullopt : TNetReceiveStamp::FromMessage(Msg);
    return CheckSocketResult(static_cast<int32_t>(N));
}

void TNetStackLinux::EnableReceiveStamps(TSocketId AId) {
    TNetReceiveStamp::Enable(AId);
}

int TNetStackLinux::WSCloseSocket(TSocketId AId) {
    return ::close(AId);
}

ssize_t TNetStackLinux::WSRecv(TSocketId AId, void* ABuffer, size_t ALength, int AFlags) {
    return ::recv(AId, ABuffer, ALength, AFlags);
}

int TNetStackLinux::WSShutdown(TSocketId AId, int AHow) {
    return ::shutdown(AId, AHow);
}

ssize_t TNetStackLinux::WSSendTo(TSocketId AId, const void* ABuffer, size_t ALength, int AFlags,
                                 const sockaddr_in& ATo) {
    return ::sendto(AId, ABuffer, ALength, AFlags, reinterpret_cast<const sockaddr*>(&ATo),
                    sizeof(ATo));
}

ssize_t TNetStackLinux::WSSendTo6(TSocketId AId, const void* ABuffer, size_t ALength, int AFlags,
                                  const sockaddr_in6& ATo) {
    return ::sendto(AId, ABuffer, ALength, AFlags, reinterpret_cast<const sockaddr*>(&ATo),
                    sizeof(ATo));
}

TSocketId TNetStackLinux::WSSocket(int AFamily, int AType, int AProtocol) {
    return ::socket(AFamily, AType | SOCK_CLOEXEC, AProtocol);
}

int TNetStackLinux::WSSetSockOpt(TSocketId AId, int ALevel, int AOption, const void* AValue,
                                 unsigned ALength) {
    return ::setsockopt(AId, ALevel, AOption, AValue, ALength);
}

int TNetStackLinux::WSPoll(TSocketId AId, int ATimeoutMs) {
    pollfd Fd{AId, POLLIN, 0};
    return ::poll(&Fd, 1, ATimeoutMs);
}
