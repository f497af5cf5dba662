// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModuleSymbol.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <dlfcn.h>

TModuleSymbol FindModuleSymbol(const char* File, const char* Symbol) {
    if (void* Linked = dlsym(RTLD_DEFAULT, Symbol)) {
        return {Linked, {}};
    }
    const QString Name = QStringLiteral("/") + QString::fromUtf8(File);
    const QString Here = QCoreApplication::applicationDirPath();
    std::string Reason = "not found";
    for (const QString& Folder : {Here, Here + QStringLiteral("/" ZIRKO_MODULE_DIR),
                                  QStringLiteral(ZIRKO_MODULE_FULL_DIR)}) {
        if (!QFile::exists(Folder + Name)) {
            continue;
        }
        const QByteArray Path = QFile::encodeName(Folder + Name);
        void* Module = dlopen(Path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (Module == nullptr) {
            Reason = dlerror();
            continue;
        }
        if (void* Found = dlsym(Module, Symbol)) {
            return {Found, {}};
        }
        Reason = Path.toStdString() + ": no " + Symbol;
    }
    return {nullptr, Reason};
}
