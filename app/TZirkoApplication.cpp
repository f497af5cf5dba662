// SPDX-License-Identifier: GPL-3.0-or-later
#include "TZirkoApplication.h"

#include "TF_Main.h"
#include "TTerminationWatch.h"
#include "TVersionInfo.h"
#include "ZirkoImages.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <exception>

TZirkoApplication::TZirkoApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationVersion(QString::fromLatin1(ZirkoVersionInfo().FileVersion));
    setWindowIcon(ZirkoProgramIcon());
    // The program ends when its main window closes, not when the last visible
    // window goes: a message box closed while the window sits in the tray
    // must not end it.
    setQuitOnLastWindowClosed(false);
    // Ending the session or stopping the program closes the window the way
    // the user would, so the log gets its shut-down block.
    new TTerminationWatch(
        [](int) {
            // A box waiting for OK (the log agent's fatal one too) would keep
            // the program alive: it goes first.
            if (QWidget* modal = activeModalWidget()) {
                modal->close();
            }
            if (F_Main != nullptr) {
                F_Main->close();
            } else {
                QCoreApplication::quit();
            }
        },
        this);
}

bool TZirkoApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

void TZirkoApplication::ShowCurrentException() {
    QString message;
    try {
        throw;
    } catch (const std::exception& failure) {
        message = QString::fromUtf8(failure.what());
    } catch (...) {
        message = QCoreApplication::translate("TZirkoApplication", "Unknown exception");
    }
    ShowError(message);
}

QString TZirkoApplication::ApplicationTitle(const QString& ExecutablePath) {
    const QString name = QFileInfo(ExecutablePath).completeBaseName();
    if (name.isEmpty()) {
        return name;
    }
    return name.left(1) + name.mid(1).toLower();
}

QString TZirkoApplication::Title() {
    return ApplicationTitle(QCoreApplication::applicationFilePath());
}

QString TZirkoApplication::ErrorBoxText(const QString& Message) {
    if (!Message.isEmpty() && Message.back() > QLatin1Char('.')) {
        return Message + QLatin1Char('.');
    }
    return Message;
}

void TZirkoApplication::ShowError(const QString& Message) {
    QMessageBox box(QMessageBox::Critical, Title(), ErrorBoxText(Message), QMessageBox::Ok);
    box.exec();
}
