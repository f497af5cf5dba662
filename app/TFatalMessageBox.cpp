// SPDX-License-Identifier: GPL-3.0-or-later
#include "TFatalMessageBox.h"

#include "TZirkoApplication.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

// The log's failures, as the agent words them in the code's language.
[[maybe_unused]] const char* const AgenteTexts[] = {
    QT_TRANSLATE_NOOP("TAgente", "AGENTE: impossibile creare file di log !"),
    QT_TRANSLATE_NOOP("TAgente", "AGENTE: impossibile fare lo start-up del file di log !"),
    QT_TRANSLATE_NOOP("TAgente", "AGENTE: impossibile aggiornare il file di log !"),
    QT_TRANSLATE_NOOP("TAgente", "AGENTE: impossibile fare lo shut-down del file di log !")};

} // namespace

void TFatalMessageBox::ShowFatal(const std::string& Message) {
    QMessageBox box(QMessageBox::NoIcon, TZirkoApplication::Title(),
                    QCoreApplication::translate("TAgente", Message.c_str()), QMessageBox::Ok);
    box.exec();
}
