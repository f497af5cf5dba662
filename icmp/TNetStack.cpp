// SPDX-License-Identifier: GPL-3.0-or-later
#include "TNetStack.h"

#include "ENetExceptions.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Cuts AText at its first dot; the part is returned, the rest stays in AText.
std::string_view Fetch(std::string_view& AText) {
    const auto Dot = AText.find('.');
    if (Dot == std::string_view::npos) {
        const std::string_view Part = AText;
        AText = {};
        return Part;
    }
    const std::string_view Part = AText.substr(0, Dot);
    AText.remove_prefix(Dot + 1);
    return Part;
}

// A decimal integer, or -1 when the text does not convert.
int64_t ToIntDef(std::string_view APart) {
    int64_t Value = -1;
    const char* First = APart.data();
    const char* Last = First + APart.size();
    if (APart.empty() || !std::all_of(First, Last, [](char C) { return C >= '0' && C <= '9'; })) {
        return -1;
    }
    const auto [Ptr, Ec] = std::from_chars(First, Last, Value);
    return (Ec == std::errc() && Ptr == Last) ? Value : -1;
}

} // namespace

int TNetStack::AddressFamily(TIPVersion AIPVersion) {
    switch (AIPVersion) {
    case Id_IPv4:
        return AF_INET;
    case Id_IPv6:
        return AF_INET6;
    }
    throw ENetIPVersionUnsupported();
}

std::string TNetStack::ResolveAddress(const std::string& AHost, TIPVersion AIPVersion) {
    AddressFamily(AIPVersion);
    std::string Upper = AHost;
    std::transform(Upper.begin(), Upper.end(), Upper.begin(),
                   [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
    if (Upper == "LOCALHOST") {
        return "127.0.0.1";
    }
    if (IsDottedQuad(AHost)) {
        return AHost;
    }
    if (auto Literal = IPv6Literal(AHost)) {
        return *Literal;
    }
    return LookupHostName(AHost);
}

bool TNetStack::IsDottedQuad(std::string_view AText) {
    for (int I = 0; I < 4; ++I) {
        const int64_t Value = ToIntDef(Fetch(AText));
        if (Value < 0 || Value > 255) {
            return false;
        }
    }
    return AText.empty();
}

std::optional<std::string> TNetStack::IPv6Literal(std::string_view AText) {
    if (AText.size() >= 2 && AText.front() == '[' && AText.back() == ']') {
        AText = AText.substr(1, AText.size() - 2);
    }
    std::string_view Zone;
    if (const auto Percent = AText.find('%'); Percent != std::string_view::npos) {
        Zone = AText.substr(Percent + 1);
        AText = AText.substr(0, Percent);
        if (Zone.empty()) {
            return std::nullopt;
        }
    }
    std::array<uint8_t, 16> Bytes{};
    const std::string Bare(AText);
    if (Bare.find(':') == std::string::npos ||
        inet_pton(AF_INET6, Bare.c_str(), Bytes.data()) != 1) {
        return std::nullopt;
    }
    std::string Text = Address6ToText(Bytes);
    if (!Zone.empty()) {
        Text += '%';
        Text += Zone;
    }
    return Text;
}

std::string TNetStack::Address6ToText(const std::array<uint8_t, 16>& AAddress) {
    std::array<unsigned, 8> Groups{};
    for (std::size_t I = 0; I < Groups.size(); ++I) {
        Groups[I] = (static_cast<unsigned>(AAddress[2 * I]) << 8) | AAddress[2 * I + 1];
    }
    const bool Mapped =
        std::all_of(Groups.begin(), Groups.begin() + 5, [](unsigned G) { return G == 0; }) &&
        Groups[5] == 0xFFFF;
    const std::size_t HexGroups = Mapped ? 6 : 8;
    std::size_t BestAt = 0;
    std::size_t BestLength = 0;
    for (std::size_t I = 0; I < HexGroups;) {
        std::size_t Length = 0;
        while (I + Length < HexGroups && Groups[I + Length] == 0) {
            ++Length;
        }
        if (Length > BestLength) {
            BestAt = I;
            BestLength = Length;
        }
        I += Length == 0 ? 1 : Length;
    }
    if (BestLength < 2) {
        BestLength = 0; // a single zero group is written out, never shortened
    }
    std::string Text;
    for (std::size_t I = 0; I < HexGroups; ++I) {
        if (BestLength != 0 && I == BestAt) {
            Text += "::";
            I += BestLength - 1;
            continue;
        }
        if (!Text.empty() && Text.back() != ':') {
            Text += ':';
        }
        char Hex[8];
        std::snprintf(Hex, sizeof(Hex), "%x", Groups[I]);
        Text += Hex;
    }
    if (Mapped) {
        Text += ':' + AddressToText({AAddress[12], AAddress[13], AAddress[14], AAddress[15]});
    }
    return Text;
}

TIPVersion TNetStack::AddressIPVersion(std::string_view AAddress) {
    return AAddress.find(':') == std::string_view::npos ? Id_IPv4 : Id_IPv6;
}

std::string TNetStack::AddressToText(const std::array<uint8_t, 4>& AAddress) {
    return std::to_string(AAddress[0]) + '.' + std::to_string(AAddress[1]) + '.' +
           std::to_string(AAddress[2]) + '.' + std::to_string(AAddress[3]);
}

std::array<uint8_t, 4> TNetStack::TextToAddress(std::string_view AText) {
    std::array<uint8_t, 4> Result{};
    for (auto& Byte : Result) {
        Byte = static_cast<uint8_t>(ToIntDef(Fetch(AText)));
    }
    return Result;
}

std::string TNetStack::SocketErrorMessage(int32_t ACode) const {
    return "Socket Error # " + std::to_string(ACode) + "\r\n";
}

int32_t TNetStack::CheckSocketResult(int32_t AValue) {
    if (AValue == -1) {
        ThrowSocketError(LastSocketError());
    }
    return AValue;
}

void TNetStack::ThrowSocketError(int32_t ACode) const {
    if (ACode == 10038) {
        throw ENetNotASocket(SocketErrorMessage(ACode), ACode);
    }
    throw ENetSocketError(SocketErrorMessage(ACode), ACode);
}

bool TNetStack::Destination6(const std::string& AAddress, std::array<uint8_t, 16>& AAddressOut,
                             uint32_t& AScopeId) {
    const auto Percent = AAddress.find('%');
    const std::string Bare = AAddress.substr(0, Percent);
    in6_addr Parsed{};
    if (inet_pton(AF_INET6, Bare.c_str(), &Parsed) != 1) {
        return false;
    }
    std::memcpy(AAddressOut.data(), &Parsed, AAddressOut.size());
    AScopeId = 0;
    if (Percent != std::string::npos) {
        const std::string Zone = AAddress.substr(Percent + 1);
        uint32_t Index = 0;
        const auto [End, Ec] = std::from_chars(Zone.data(), Zone.data() + Zone.size(), Index);
        const bool Numeric = Ec == std::errc() && End == Zone.data() + Zone.size();
        AScopeId = Numeric ? Index : if_nametoindex(Zone.c_str());
        if (AScopeId == 0) {
            return false;
        }
    }
    return true;
}

void TNetStack::ThrowSendError(int32_t ACode) const {
    constexpr int32_t MessageTooLong = 10040;
    if (ACode == MessageTooLong) {
        throw ENetPackageSizeTooBig();
    }
    ThrowSocketError(ACode);
}
