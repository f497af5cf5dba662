// SPDX-License-Identifier: GPL-3.0-or-later
// The reference of the start-up benchmark: a Qt window of the main window's size
// and title, and nothing else, started and measured the same way.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    QWidget Window;
    Window.setWindowTitle(QStringLiteral("Zirko"));
    Window.resize(786, 549);
    Window.show();
    return App.exec();
}
