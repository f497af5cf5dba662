// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

// A private X display (Xvfb) with an XEmbed tray (trayer) for one test.
// Everything it starts is stopped again by the destructor.
class TXSession {
public:
    TXSession() = default;
    ~TXSession();
    TXSession(const TXSession&) = delete;
    TXSession& operator=(const TXSession&) = delete;

    // Starts Xvfb on a free display number; false when none could be started.
    bool Start();
    bool StartTray();
    void StopTray();

    QString Display() const { return FDisplay; }
    // The environment for programs on this display: XEmbed only, no session bus.
    QProcessEnvironment Environment() const;
    // Runs a short helper program on the display and returns its standard output.
    QByteArray Run(const QString& Program, const QStringList& Arguments) const;
    QImage Screenshot() const;
    // Windows of the given X class reparented below the root (docked in the tray).
    int DockedWindows(const QString& ClassName) const;

private:
    static void Stop(std::unique_ptr<QProcess>& Process);

    QString FDisplay;
    std::unique_ptr<QProcess> FServer;
    std::unique_ptr<QProcess> FTray;
};
