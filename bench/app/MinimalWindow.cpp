// SPDX-License-Identifier: GPL-3.0-or-later
// The references of the start-up benchmark, of the main window's size and title,
// started and measured the same way: by default a window as users picture a
// minimal Qt program, four tabs and a line of text (so it loads and draws fonts
// as any window with text does); with --bare, a window with nothing in it.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>

#include <cstring>

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    QWidget Bare;
    QMainWindow Window;
    QWidget& Shown = argc > 1 && std::strcmp(argv[1], "--bare") == 0 ? Bare : Window;
    if (&Shown == &Window) {
        auto* Tabs = new QTabWidget(&Window);
        Tabs->addTab(new QLabel(QStringLiteral("Indirizzo/host:")), QStringLiteral("Ping"));
        for (const char* Name : {"Traceroute", "Grafico", "Bersagli"}) {
            Tabs->addTab(new QWidget, QString::fromLatin1(Name));
        }
        Window.setCentralWidget(Tabs);
    }
    Shown.setWindowTitle(QStringLiteral("Zirko"));
    Shown.resize(786, 549);
    Shown.show();
    return App.exec();
}
