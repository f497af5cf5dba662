// SPDX-License-Identifier: GPL-3.0-or-later
#include "TZirkoApplication.h"
#include "QStringPrinter.h"
#include "TFatalMessageBox.h"
#include "TModalBoxWatcher.h"

#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct TTextCase {
    const char* Message;
    const char* Shown;
};

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersAboveIt) {
    const TTextCase cases[] = {
        {"", ""},
        {"Host not found", "Host not found."},
        {"Host not found.", "Host not found."},
        {"Errore!", "Errore!"},
        {"closed (peer)", "closed (peer)"},
        {"trailing blank ", "trailing blank "},
        {"code 10061", "code 10061."},
        {"a-", "a-"},            // '-' comes before '.'
        {"path a/", "path a/."}, // '/' comes after '.'
        {"Socket Error # 11004\n", "Socket Error # 11004\n"},
        {"Socket Error # 10061\nConnection refused", "Socket Error # 10061\nConnection refused."},
        {"impossibile: perché", "impossibile: perché."},
        {".", "."},
        {"x", "x."},
    };
    for (const TTextCase& c : cases) {
        EXPECT_EQ(TZirkoApplication::ErrorBoxText(QString::fromUtf8(c.Message)),
                  QString::fromUtf8(c.Shown))
            << "message: \"" << c.Message << "\"";
    }
}

struct TTitleCase {
    const char* Path;
    const char* Title;
};

TEST(ApplicationTitle, FileNameWithoutFolderAndExtensionLoweredAfterTheFirst) {
    const TTitleCase cases[] = {
        {"/usr/bin/zirko", "zirko"},   {"/opt/zirko/ZIRKO", "Zirko"},
        {"/tmp/x/Zirko.exe", "Zirko"}, {"/home/a.b/my.Tool.bin", "my.tool"},
        {"relative/ZiRkO", "Zirko"},   {"/usr/local/bin/", ""},
    };
    for (const TTitleCase& c : cases) {
        EXPECT_EQ(TZirkoApplication::ApplicationTitle(QString::fromUtf8(c.Path)),
                  QString::fromUtf8(c.Title))
            << "path: " << c.Path;
    }
}

// An object whose event handler fails the way a handler of the program can.
class TThrowingObject : public QObject {
public:
    bool Throw = true;
    int Handled = 0;

protected:
    bool event(QEvent* Event) override {
        if (Event->type() == QEvent::User) {
            ++Handled;
            if (Throw) {
                throw std::runtime_error("Host not found");
            }
            return true;
        }
        return QObject::event(Event);
    }
};

TEST(CentralErrorBox, ExceptionLeavingAHandlerShowsOneStopBoxAndTheProgramGoesOn) {
    TModalBoxWatcher watcher;
    TThrowingObject target;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&target, &event));
    ASSERT_EQ(watcher.Seen().size(), 1u);
    const auto& box = watcher.Seen().front();
    EXPECT_EQ(box.Title, TZirkoApplication::Title());
    EXPECT_EQ(box.Title, QStringLiteral("app_application_test"));
    EXPECT_EQ(box.Text, QStringLiteral("Host not found."));
    EXPECT_EQ(box.Icon, QMessageBox::Critical);
    EXPECT_EQ(box.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // The next event is delivered as usual.
    target.Throw = false;
    EXPECT_TRUE(QCoreApplication::sendEvent(&target, &event));
    EXPECT_EQ(target.Handled, 2);
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

TEST(CentralErrorBox, GuardedClickHandlerShowsTheBoxAndTheButtonWorksOn) {
    TModalBoxWatcher watcher;
    QPushButton button(QStringLiteral("Esegui"));
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, TZirkoApplication::Guarded([&clicks] {
        if (++clicks == 1) {
            throw std::runtime_error("Socket Error # 10065\nNo route to host");
        }
    }));
    QTest::mouseClick(&button, Qt::LeftButton);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].Text, QStringLiteral("Socket Error # 10065\nNo route to host."));
    EXPECT_EQ(watcher.Seen()[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.Seen()[0].Title, QStringLiteral("app_application_test"));
    EXPECT_FALSE(button.isDown());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(watcher.Seen().size(), 1u);
}

TEST(CentralErrorBox, UnguardedTimerHandlerReachesTheBoxAndKeepsTicking) {
    TModalBoxWatcher watcher;
    QTimer ticking;
    int ticks = 0;
    QObject::connect(&ticking, &QTimer::timeout, [&ticks] {
        ++ticks;
        throw 42; // not a std::exception
    });
    ticking.start(5);
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (watcher.Seen().size() >= 2) {
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
    ticking.stop();
    ASSERT_GE(watcher.Seen().size(), 2u) << "the timer went on ticking after its failure";
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(watcher.Seen()[0].Text, QStringLiteral("Unknown exception."));
    EXPECT_EQ(watcher.Seen()[0].Icon, QMessageBox::Critical);
}

// The log agent's box differs from the error box: no icon, text as given.
TEST(FatalMessageBox, ShowsTheAgentMessageUntouchedWithoutIcon) {
    TModalBoxWatcher watcher;
    TFatalMessageBox box;
    box.ShowFatal("AGENTE: impossibile creare file di log !");
    box.ShowFatal("text without a full stop");
    ASSERT_EQ(watcher.Seen().size(), 2u);
    EXPECT_EQ(watcher.Seen()[0].Text, QStringLiteral("AGENTE: impossibile creare file di log !"));
    EXPECT_EQ(watcher.Seen()[1].Text, QStringLiteral("text without a full stop"));
    for (const auto& seen : watcher.Seen()) {
        EXPECT_EQ(seen.Title, QStringLiteral("app_application_test"));
        EXPECT_EQ(seen.Icon, QMessageBox::NoIcon);
        EXPECT_EQ(seen.Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

} // namespace
