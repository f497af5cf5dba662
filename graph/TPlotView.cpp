// SPDX-License-Identifier: GPL-3.0-or-later
#include "TPlotView.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

#include <iostream>

namespace {

constexpr const char* MakerName = "ZirkoMakePlotView";

TMakePlotView FindMaker() {
    // A program that links the module (the tests) has it already.
    if (void* Linked = dlsym(RTLD_DEFAULT, MakerName)) {
        return reinterpret_cast<TMakePlotView>(Linked);
    }
    // Beside the program (a build tree, or a folder it was copied to with it); once
    // installed, in Zirko's library folder under the program's prefix, or under the
    // configured one for a copy of the installed program kept elsewhere.
    const QString Name = QStringLiteral("/" ZIRKO_CHART_MODULE);
    const QString Here = QCoreApplication::applicationDirPath();
    std::string Reason = "not found";
    for (const QString& Folder : {Here, Here + QStringLiteral("/" ZIRKO_MODULE_DIR),
                                  QStringLiteral(ZIRKO_MODULE_FULL_DIR)}) {
        const QByteArray Path = QFile::encodeName(Folder + Name);
        if (!QFile::exists(Folder + Name)) {
            continue;
        }
        // Never closed: the plot's code stays for the rest of the run.
        void* Module = dlopen(Path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (Module == nullptr) {
            Reason = dlerror();
            continue;
        }
        if (void* Maker = dlsym(Module, MakerName)) {
            return reinterpret_cast<TMakePlotView>(Maker);
        }
        Reason = Path.toStdString() + ": no " + MakerName;
    }
    std::cerr << "zirko: the plot module " ZIRKO_CHART_MODULE " could not be loaded (" << Reason
              << ")\n";
    return nullptr;
}

} // namespace

TPlotView* TPlotView::Make(QWidget* Parent) {
    static const TMakePlotView Maker = FindMaker();
    return Maker != nullptr ? Maker(Parent) : nullptr;
}
