// SPDX-License-Identifier: GPL-3.0-or-later
// A small program for the real-tray tests: one window owning one TTrayIcon
// with the radar images and a menu. It reads commands on stdin and reports
// events on stdout, one line each.
#include "TImageList.h"
#include "TTrayIcon.h"
#include "ZirkoImages.h"

#include <QApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QWidget>

#include <iostream>
#include <string>
#include <unistd.h>

namespace {

void Say(const std::string& Line) {
    std::cout << Line << std::endl;
}

class TProgram {
public:
    TProgram() : Icon(new TTrayIcon(Tray, &Window)) {
        Window.setWindowTitle(QStringLiteral("ZirkoTrayE2E"));
        Window.resize(240, 120);
        ZirkoAddRadarImages(Images);
        Menu.addAction(QStringLiteral("Nascondi"));
        Menu.addAction(QStringLiteral("Ripristina"));
        QObject::connect(&Menu, &QMenu::aboutToShow, [] { Say("MenuShown"); });
        QObject::connect(&Menu, &QMenu::aboutToHide, [] { Say("MenuHidden"); });
        Icon->SetIcon(ZirkoProgramIcon());
        Icon->SetIconVisible(true);
        Icon->SetIconList(&Images);
        Icon->SetPopupMenu(&Menu);
        Icon->OnClick = [](TTrayIcon& Sender) {
            Say("Click");
            Sender.RestoreMainWindow();
        };
        Icon->OnMouseDown = [](TTrayIcon&, TMouseButton B, TShiftState, int, int) {
            Say("MouseDown " + std::to_string(B));
        };
        Icon->OnMouseUp = [](TTrayIcon&, TMouseButton B, TShiftState, int, int) {
            Say("MouseUp " + std::to_string(B));
        };
        Icon->Loaded();
        Window.show();
    }

    void Command(const std::string& Line) {
        if (Line.rfind("index ", 0) == 0 && Icon) {
            Icon->SetIconIndex(std::stoi(Line.substr(6)));
            Say("index " + std::to_string(Icon->IconIndex()));
        } else if (Line == "geometry" && Icon) {
            const QRect R = Icon->SystemTrayIcon().geometry();
            Say("geometry " + std::to_string(R.x()) + " " + std::to_string(R.y()) + " " +
                std::to_string(R.width()) + " " + std::to_string(R.height()));
        } else if (Line == "hide" && Icon) {
            Icon->HideMainWindow();
            Say(Window.isVisible() ? "shown" : "hidden");
        } else if (Line == "restore" && Icon) {
            Icon->RestoreMainWindow();
            Say(Window.isVisible() ? "shown" : "hidden");
        } else if (Line == "disable" && Icon) {
            Icon->SetEnabled(false);
            Say("disabled");
        } else if (Line == "destroy") {
            delete Icon; // the component, owned by the window until now
            Icon = nullptr;
            Say("destroyed");
        } else if (Line == "quit") {
            QApplication::quit();
        } else {
            Say("unknown " + Line);
        }
    }

private:
    // Before the window, which frees the icon.
    TTrayIconHandler Tray;
    QWidget Window;
    TImageList Images;
    QMenu Menu;
    TTrayIcon* Icon;
};

} // namespace

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    TProgram Program;
    QSocketNotifier Input(STDIN_FILENO, QSocketNotifier::Read);
    std::string Pending;
    // Raw reads: a buffered stream would swallow lines the notifier never reports.
    QObject::connect(&Input, &QSocketNotifier::activated, [&] {
        char Buffer[256];
        const ssize_t Got = read(STDIN_FILENO, Buffer, sizeof Buffer);
        if (Got <= 0) {
            QApplication::quit();
            return;
        }
        Pending.append(Buffer, static_cast<size_t>(Got));
        for (size_t End; (End = Pending.find('\n')) != std::string::npos;) {
            const std::string Line = Pending.substr(0, End);
            Pending.erase(0, End + 1);
            Program.Command(Line);
        }
    });
    Say(QSystemTrayIcon::isSystemTrayAvailable() ? "ready tray" : "ready notray");
    return QApplication::exec();
}
