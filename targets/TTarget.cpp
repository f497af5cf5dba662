// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTarget.h"

bool TTarget::IsReservedLabel(const std::string& AName) {
    return AName == "host" || AName == "ip" || AName == "source" || AName.rfind("__", 0) == 0;
}

bool TTarget::SameGroupAs(const TTarget& AOther) const {
    TTarget Other = AOther;
    Other.Host = Host;
    return *this == Other;
}

std::string TTarget::LabelOr(const char* AKey) const {
    const auto Found = Labels.find(AKey);
    return Found == Labels.end() ? std::string() : Found->second;
}
