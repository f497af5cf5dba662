// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TLookupThread.h"

#include <QString>

#include <string>

// The system resolver's answers, for a lookup thread: they may wait on the network.
namespace TSystemLookups {

// The address AHost resolves to as the synchronous ping resolves it, on a stack of the
// caller's own; or the error text the ping would raise.
TLookupThread::TResult Address(const std::string& AHost);
// The name of an address text, empty when it has none.
QString Name(const QString& AAddress);

} // namespace TSystemLookups
