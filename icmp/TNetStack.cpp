#include "TNetStack.h"

#include "ENetExceptions.h"
#include "TNetStackLinux.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sys/socket.h>

std::unique_ptr<TNetStack> GlobalStack;

namespace {

TNetStackClass& RegisteredClass() {
    static TNetStackClass Class = [] { return std::make_unique<TNetStackLinux>(); };
    return Class;
}

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

void SetStackClass(TNetStackClass AClass) {
    RegisteredClass() = std::move(AClass);
}

const TNetStackClass& StackClass() {
    return RegisteredClass();
}

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
