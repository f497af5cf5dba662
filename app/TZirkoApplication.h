// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QString>

#include <utility>

// The application object. An exception that leaves an event handler ends in
// the one error box, and the program goes on. The window binds its handlers
// through Guarded(), which catches before the exception can unwind through
// Qt's frames (Qt's libraries are built without exception support, so that
// unwinding skips their clean-up); notify() catches whatever else escapes.
class TZirkoApplication : public QApplication {
    Q_OBJECT

public:
    TZirkoApplication(int& argc, char** argv);

    bool notify(QObject* Receiver, QEvent* Event) override;

    // The executable's file name without folder and extension, every
    // character after the first in lower case.
    static QString ApplicationTitle(const QString& ExecutablePath);
    // ApplicationTitle of the running executable.
    static QString Title();
    // The message, with a full stop added when its last character comes
    // after "." in character order.
    static QString ErrorBoxText(const QString& Message);
    // The modal error box: application title, stop icon, OK.
    static void ShowError(const QString& Message);
    // Shows the error box for the exception being handled.
    static void ShowCurrentException();

    // Wraps a handler so that an exception leaving it goes to the error box.
    template <typename THandler> static auto Guarded(THandler Handler) {
        return [Handler = std::move(Handler)]() {
            try {
                Handler();
            } catch (...) {
                ShowCurrentException();
            }
        };
    }
};
