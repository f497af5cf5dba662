// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPlotView.h"

#include "ModuleSymbol.h"

#include <iostream>

namespace {

TMakePlotView FindMaker() {
    const TModuleSymbol Maker = FindModuleSymbol(ZIRKO_CHART_MODULE, "ZirkoMakePlotView");
    if (Maker.Address == nullptr) {
        std::cerr << "zirko: the plot module " ZIRKO_CHART_MODULE " could not be loaded ("
                  << Maker.Reason << ")\n";
    }
    return reinterpret_cast<TMakePlotView>(Maker.Address);
}

} // namespace

TPlotView* TPlotView::Make(QWidget* Parent) {
    static const TMakePlotView Maker = FindMaker();
    return Maker != nullptr ? Maker(Parent) : nullptr;
}
