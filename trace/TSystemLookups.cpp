// SPDX-License-Identifier: GPL-3.0-or-later
#include "TSystemLookups.h"

#include "TNetContext.h"
#include "TNetStack.h"

#include <array>
#include <exception>
#include <netdb.h>

namespace TSystemLookups {

TLookupThread::TResult Address(const std::string& AHost) {
    // The context's stack belongs to the GUI thread and may go before this lookup ends.
    const auto Stack = TNetContext::SystemStack()();
    try {
        return {true, QString::fromStdString(Stack->ResolveAddress(AHost))};
    } catch (const std::exception& E) {
        return {false, QString::fromUtf8(E.what())};
    }
}

QString Name(const QString& AAddress) {
    addrinfo Hints{};
    Hints.ai_flags = AI_NUMERICHOST;
    addrinfo* Info = nullptr;
    if (getaddrinfo(AAddress.toStdString().c_str(), nullptr, &Hints, &Info) != 0) {
        return {};
    }
    std::array<char, NI_MAXHOST> Name{};
    const int Error = getnameinfo(Info->ai_addr, Info->ai_addrlen, Name.data(), Name.size(),
                                  nullptr, 0, NI_NAMEREQD);
    freeaddrinfo(Info);
    return Error == 0 ? QString::fromUtf8(Name.data()) : QString();
}

} // namespace TSystemLookups
