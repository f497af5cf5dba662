#include "TZirkoApplication.h"

#include "TVersionInfo.h"
#include "ZirkoImages.h"

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
        message = QStringLiteral("Unknown exception");
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
