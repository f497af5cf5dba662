// SPDX-License-Identifier: GPL-3.0-or-later
#include "TImageList.h"

QIcon TImageList::Image(int Index) const {
    if (Index < 0 || Index >= Count())
        return {};
    return FImages.at(Index);
}
