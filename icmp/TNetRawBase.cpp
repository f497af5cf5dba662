#include "TNetRawBase.h"

#include "TNetStack.h"

#include <algorithm>
#include <netinet/in.h>
#include <sys/socket.h>

TNetRawBase::TNetRawBase() : FBuffer(8192) {}

TNetRawBase::~TNetRawBase() {
    FSocket.ReleaseSocket();
}

void TNetRawBase::SetBufferSize(int32_t AValue) {
    FBuffer.assign(static_cast<std::size_t>(std::max(AValue, 0)), 0);
}

void TNetRawBase::SetTTL(int32_t AValue) {
    FTTL = AValue;
    GlobalStack->SetIntOption(GetSocket().Handle(), IPPROTO_IP, IP_TTL, FTTL);
}

TNetSocketHandle& TNetRawBase::GetSocket() {
    if (!FSocket.HasSocket()) {
        FSocket.OpenHandle(SOCK_RAW, FProtocol);
        GlobalStack->EnableReceiveStamps(FSocket.Handle());
    }
    GlobalStack->SetIntOption(FSocket.Handle(), IPPROTO_IP, IP_TTL, FTTL);
    return FSocket;
}
