// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>

// Runs a function once a window has had its first paint, queued so that the paint
// reaches the screen first, or after Latest should the window not be painted by then
// (a start minimized or hidden). What the window does not need to be drawn waits for
// this, so the user sees the window sooner.
class TFirstPaint : public QObject {
    Q_OBJECT

public:
    // Then runs once, unless Context goes first; the watch belongs to Context.
    static void Then(QObject* Window, QObject* Context, std::chrono::milliseconds Latest,
                     std::function<void()> Run);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TFirstPaint(QObject* Window, QObject* Context, std::function<void()> Run);
    void Fire();

    QPointer<QObject> FWindow;
    std::function<void()> FRun;
};
