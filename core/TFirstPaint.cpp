// SPDX-License-Identifier: GPL-3.0-or-later
#include "TFirstPaint.h"

#include <QEvent>
#include <QTimer>

TFirstPaint::TFirstPaint(QObject* Window, QObject* Context, std::function<void()> Run)
    : QObject(Context), FWindow(Window), FRun(std::move(Run)) {}

void TFirstPaint::Then(QObject* Window, QObject* Context, std::chrono::milliseconds Latest,
                       std::function<void()> Run) {
    auto* Watch = new TFirstPaint(Window, Context, std::move(Run));
    Window->installEventFilter(Watch);
    QTimer::singleShot(Latest, Watch, &TFirstPaint::Fire);
}

bool TFirstPaint::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Paint) {
        Watched->removeEventFilter(this);
        QMetaObject::invokeMethod(this, &TFirstPaint::Fire, Qt::QueuedConnection);
    }
    return false;
}

void TFirstPaint::Fire() {
    if (!FRun) {
        return; // the paint and the deadline both came
    }
    if (FWindow != nullptr) {
        FWindow->removeEventFilter(this);
    }
    const std::function<void()> Run = std::exchange(FRun, nullptr);
    deleteLater();
    Run();
}
