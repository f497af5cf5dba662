// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TIcmpWire.h"
#include "TNetRawClient.h"
#include "TReplyStatus.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class TNetIcmpClient;
using TOnReplyEvent =
    std::function<void(TNetIcmpClient& ASender, const TReplyStatus& AReplyStatus)>;

// One synchronous echo exchange per Ping: resolve, send, wait for the matching datagram,
// decode it, fire OnReply.
class TNetIcmpClient : public TNetRawClient {
public:
    explicit TNetIcmpClient(TNetContext& AContext);

    void Ping(std::string_view APayload = {}, uint16_t ANewSequence = 0);
    const TReplyStatus& ReplyStatus() const { return FReplyStatus; }
    // The address the last Ping resolved its host to.
    const std::string& Address() const { return FAddress; }
    uint16_t SequenceCounter() const { return FSequenceCounter; }
    int32_t EchoSize() const { return FEchoSize; }
    // Picked at random when the client is made, for all its requests.
    uint16_t Identifier() const { return FIdentifier; }
    const std::array<uint8_t, TIcmpWire::AreaSize>& EchoBuffer() const { return FEchoBuffer; }
    const std::array<uint8_t, TIcmpWire::AreaSize>& ReceiveArea() const { return FReceiveArea; }

    TOnReplyEvent OnReply;

protected:
    void BuildEchoRequest(std::string_view APayload);
    void WaitForReply(int32_t ATimeout, TReplyStatus& AStatus);
    bool DecodeReply(int32_t AN, TReplyStatus& AStatus);
    // Follows the family of the resolved address: the socket and the request's type.
    void UseAddressFamily(const std::string& AAddress);
    void SetTimedOut(TReplyStatus& AStatus);

private:
    std::array<uint8_t, TIcmpWire::AreaSize> FReceiveArea{};
    std::array<uint8_t, TIcmpWire::AreaSize> FEchoBuffer{};
    uint16_t FSequenceCounter = 3489;
    const uint16_t FIdentifier;
    // What the request in flight was sent with: only its answers are accepted.
    TProbeMatch::TEcho FEcho;
    int32_t FEchoSize = 0;
    TReplyStatus FReplyStatus;
    std::string FAddress;
    // The kernel's receive stamp of the datagram the last wait accepted, if it had one.
    std::optional<int64_t> FReplyStamp;
};
