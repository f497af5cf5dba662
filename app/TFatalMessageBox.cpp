// SPDX-License-Identifier: GPL-3.0-or-later
#include "TFatalMessageBox.h"

#include "TZirkoApplication.h"

#include <QMessageBox>

void TFatalMessageBox::ShowFatal(const std::string& Message) {
    QMessageBox box(QMessageBox::NoIcon, TZirkoApplication::Title(),
                    QString::fromStdString(Message), QMessageBox::Ok);
    box.exec();
}
