// SPDX-License-Identifier: GPL-3.0-or-later
#include "TProbeProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace TProbeProtocol {

namespace {

constexpr uint8_t EchoRequest4 = 8;
constexpr uint8_t EchoRequest6 = 128;

template <typename T> void Put(std::vector<uint8_t>& ATo, std::size_t AAt, T AValue) {
    std::memcpy(ATo.data() + AAt, &AValue, sizeof(AValue));
}

template <typename T> T Get(std::span<const uint8_t> AFrom, std::size_t AAt) {
    T Value{};
    std::memcpy(&Value, AFrom.data() + AAt, sizeof(Value));
    return Value;
}

std::vector<uint8_t> Header(const std::array<uint8_t, 4>& AMagic, uint8_t AKind, uint32_t AId,
                            std::size_t ASize) {
    std::vector<uint8_t> Bytes(ASize, 0);
    std::copy(AMagic.begin(), AMagic.end(), Bytes.begin());
    Bytes[4] = AKind;
    Put(Bytes, 8, AId);
    return Bytes;
}

bool Unicast(int32_t AFamily, const std::array<uint8_t, 16>& A) {
    if (AFamily == AF_INET) {
        const bool Padded = std::all_of(A.begin() + 4, A.end(), [](uint8_t B) { return B == 0; });
        // 0.0.0.0 is this host's "any"; 224/4 is multicast and 240/4 reserved, up to the
        // limited broadcast. A subnet's broadcast address the kernel itself refuses.
        const bool Any = A[0] == 0 && A[1] == 0 && A[2] == 0 && A[3] == 0;
        return Padded && !Any && A[0] < 224;
    }
    const bool Unspecified = std::all_of(A.begin(), A.end(), [](uint8_t B) { return B == 0; });
    return !Unspecified && A[0] != 0xFF;
}

bool Served(const TProbe& P) {
    if (P.Family != AF_INET && P.Family != AF_INET6) {
        return false;
    }
    const uint8_t Echo = P.Family == AF_INET ? EchoRequest4 : EchoRequest6;
    return P.Message[0] == Echo && P.Message[1] == 0 && P.HopLimit >= 1 && P.HopLimit <= 255 &&
           P.WaitMs >= 1 && P.WaitMs <= MaxWaitMs && Unicast(P.Family, P.Address) &&
           (!P.Source || Unicast(P.Family, *P.Source));
}

} // namespace

std::vector<uint8_t> EncodeProbe(const TProbe& AProbe) {
    auto Bytes = Header(RequestMagic, static_cast<uint8_t>(TRequestKind::Probe), AProbe.Id,
                        RequestHeaderSize + AProbe.Message.size());
    Put(Bytes, 12, AProbe.Family);
    Put(Bytes, 16, AProbe.HopLimit);
    Put(Bytes, 20, AProbe.WaitMs);
    Put(Bytes, 24, AProbe.ScopeId);
    std::copy(AProbe.Address.begin(), AProbe.Address.end(), Bytes.begin() + 28);
    Put(Bytes, 44, static_cast<uint16_t>(AProbe.Message.size()));
    if (AProbe.Source) {
        Bytes[5] = 1;
        std::copy(AProbe.Source->begin(), AProbe.Source->end(), Bytes.begin() + 48);
    }
    std::copy(AProbe.Message.begin(), AProbe.Message.end(), Bytes.begin() + RequestHeaderSize);
    return Bytes;
}

std::vector<uint8_t> EncodeForget(uint32_t AId) {
    return Header(RequestMagic, static_cast<uint8_t>(TRequestKind::Forget), AId, RequestHeaderSize);
}

TParsed Parse(std::span<const uint8_t> ABytes) {
    TParsed Result;
    if (ABytes.size() < RequestHeaderSize ||
        !std::equal(RequestMagic.begin(), RequestMagic.end(), ABytes.begin())) {
        return Result;
    }
    const uint8_t Kind = ABytes[4];
    const std::size_t Length = Get<uint16_t>(ABytes, 44);
    const bool Sourced = ABytes[5] == 1 && Kind == static_cast<uint8_t>(TRequestKind::Probe);
    const bool SourceBlank =
        std::all_of(ABytes.begin() + 48, ABytes.begin() + 64, [](uint8_t B) { return B == 0; });
    if ((ABytes[5] != 0 && !Sourced) || (!Sourced && !SourceBlank) || ABytes[6] != 0 ||
        ABytes[7] != 0 || ABytes[46] != 0 || ABytes[47] != 0 ||
        ABytes.size() != RequestHeaderSize + Length) {
        return Result;
    }
    TProbe P;
    P.Id = Get<uint32_t>(ABytes, 8);
    if (Kind == static_cast<uint8_t>(TRequestKind::Forget)) {
        const bool Bare = Length == 0 && std::all_of(ABytes.begin() + 12, ABytes.end(),
                                                     [](uint8_t B) { return B == 0; });
        if (Bare) {
            Result = {TVerdict::Accepted, TRequestKind::Forget, {}};
            Result.Probe.Id = P.Id;
        }
        return Result;
    }
    if (Kind != static_cast<uint8_t>(TRequestKind::Probe) || Length < MinMessage ||
        Length > MaxMessage) {
        return Result;
    }
    P.Family = Get<int32_t>(ABytes, 12);
    P.HopLimit = Get<int32_t>(ABytes, 16);
    P.WaitMs = Get<uint32_t>(ABytes, 20);
    P.ScopeId = Get<uint32_t>(ABytes, 24);
    std::copy_n(ABytes.begin() + 28, P.Address.size(), P.Address.begin());
    if (Sourced) {
        P.Source.emplace();
        std::copy_n(ABytes.begin() + 48, P.Source->size(), P.Source->begin());
    }
    P.Message.assign(ABytes.begin() + RequestHeaderSize, ABytes.end());
    Result.Verdict = Served(P) ? TVerdict::Accepted : TVerdict::NotServed;
    Result.Kind = TRequestKind::Probe;
    Result.Probe = std::move(P);
    return Result;
}

int RefusalErrno(TVerdict AVerdict) {
    return AVerdict == TVerdict::NotServed ? EPROTONOSUPPORT : EBADMSG;
}

std::vector<uint8_t> EncodeAnswer(const TAnswer& AAnswer) {
    auto Bytes = Header(AnswerMagic, static_cast<uint8_t>(AAnswer.Kind), AAnswer.Id,
                        AnswerHeaderSize + AAnswer.Bytes.size());
    Bytes[5] = AAnswer.StampNs ? 1 : 0;
    Put(Bytes, 6, AAnswer.Identifier);
    Put(Bytes, 12, AAnswer.Status);
    Put(Bytes, 16, AAnswer.Family);
    Put(Bytes, 20, AAnswer.HopLimit);
    Put(Bytes, 24, AAnswer.StampNs.value_or(0));
    std::copy(AAnswer.Source.begin(), AAnswer.Source.end(), Bytes.begin() + 32);
    std::copy(AAnswer.Bytes.begin(), AAnswer.Bytes.end(), Bytes.begin() + AnswerHeaderSize);
    return Bytes;
}

std::optional<TAnswer> DecodeAnswer(std::span<const uint8_t> ABytes) {
    if (ABytes.size() < AnswerHeaderSize || ABytes.size() > AnswerHeaderSize + MaxDatagram ||
        !std::equal(AnswerMagic.begin(), AnswerMagic.end(), ABytes.begin()) || ABytes[4] < 1 ||
        ABytes[4] > 3) {
        return std::nullopt;
    }
    TAnswer A;
    A.Kind = static_cast<TAnswerKind>(ABytes[4]);
    A.Id = Get<uint32_t>(ABytes, 8);
    A.Identifier = Get<uint16_t>(ABytes, 6);
    A.Status = Get<int32_t>(ABytes, 12);
    A.Family = Get<int32_t>(ABytes, 16);
    A.HopLimit = Get<int32_t>(ABytes, 20);
    if (ABytes[5] != 0) {
        A.StampNs = Get<int64_t>(ABytes, 24);
    }
    std::copy_n(ABytes.begin() + 32, A.Source.size(), A.Source.begin());
    A.Bytes.assign(ABytes.begin() + AnswerHeaderSize, ABytes.end());
    return A;
}

} // namespace TProbeProtocol
