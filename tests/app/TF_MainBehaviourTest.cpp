// SPDX-License-Identifier: GPL-3.0-or-later
#include "TModalBoxWatcher.h"
#include "TWindowFixture.h"
#include "TZirkoApplication.h"

#include "RequireRoot.h"
#include "TGraphPage.h"
#include "THistoryStore.h"
#include "TNetIcmpClient.h"
#include "TPingMonitor.h"
#include "TTrayIcon.h"
#include "TTrayIconHandler.h"
#include <QMenu>

#include <QAction>
#include <QDeadlineTimer>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>

namespace {

using TWindowBehaviour = TWindowFixture;

// Whether the desktop has a tray for the window's icon, for as long as the
// object lives (offscreen Qt has none of its own).
class TTrayPresence {
public:
    TTrayPresence(TTrayIconHandler& Handler, bool Present)
        : FHandler(Handler), FSaved(Handler.Platform()) {
        TTrayPlatform platform = FSaved;
        platform.TrayAvailable = [Present] { return Present; };
        FHandler.SetPlatform(std::move(platform));
    }
    ~TTrayPresence() { FHandler.SetPlatform(std::move(FSaved)); }
    TTrayPresence(const TTrayPresence&) = delete;
    TTrayPresence& operator=(const TTrayPresence&) = delete;

private:
    TTrayIconHandler& FHandler;
    TTrayPlatform FSaved;
};

TEST_F(TWindowBehaviour, CloseWritesTheShutDownBlockExactlyOnce) {
    Window->show();
    EXPECT_TRUE(Window->close());
    EXPECT_FALSE(Window->isVisible());
    Window->close();
    Window.reset();
    const QString log = LogText();
    EXPECT_EQ(log.count(QStringLiteral("ShutDown Agente of Zirko")), 1);
    // The file ends with the three-line block, each line stamped.
    const QStringList lines = log.split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.last(), QString()) << "the last line ends with CR LF";
    const QRegularExpression stamp(QStringLiteral(R"(^\|\d\d\.\d\d\.\d{4}\|\d\d.\d\d.\d\d\|)"));
    const QString tail[] = {QStringLiteral("Num. of messages: 0"),
                            QStringLiteral("Num. of warnings: 0"),
                            QStringLiteral("ShutDown Agente of Zirko")};
    for (int i = 0; i < 3; ++i) {
        const QString& line = lines[lines.size() - 4 + i];
        EXPECT_TRUE(stamp.match(line).hasMatch()) << line.toStdString();
        EXPECT_TRUE(line.endsWith(tail[i])) << line.toStdString();
    }
}

TEST_F(TWindowBehaviour, CloseBetweenPingsOfABurstLetsTheBurstFinishUnlogged) {
    // A scripted stack: the pings need no network and time out on its clock.
    CreateWindowOverFakeStack();
    Window->show();
    Window->e_host->setText(QStringLiteral("10.0.0.9"));
    int replies = 0;
    QObject::connect(&Window->PingMonitor(), &TPingMonitor::ReplyHandled, [&] {
        if (++replies == 2) {
            // Handled in the event processing that follows this ping.
            QMetaObject::invokeMethod(
                Window.get(), [&] { Window->close(); }, Qt::QueuedConnection);
        }
    });
    Window->btn_ping->click();
    EXPECT_EQ(replies, 5);
    EXPECT_EQ(Window->FormCloseCount(), 1);
    EXPECT_EQ(Window->PingMonitor().Counters().n_ping, 5)
        << "the rest of the burst is still counted";
    EXPECT_EQ(Window->re_ping->blockCount(), 5) << "and still shown";
    EXPECT_TRUE(Window->btn_ping->isEnabled());
    Window.reset();

    const QString log = LogText();
    EXPECT_EQ(log.count(QStringLiteral("Ping result: ")), 2) << "only the lines before the close";
    EXPECT_EQ(log.count(QStringLiteral("ShutDown Agente of Zirko")), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Num. of messages: 2\r\n")));
    EXPECT_TRUE(log.endsWith(QStringLiteral("ShutDown Agente of Zirko\r\n")));
}

TEST_F(TWindowBehaviour, MinimizeHidesTheWindowAndKeepsTheTrayIcon) {
    const TTrayPresence tray(Tray, true);
    const std::pair<const char*, std::function<void(QWidget&)>> ways[] = {
        {"window state", [](QWidget& w) { w.setWindowState(Qt::WindowMinimized); }},
        {"showMinimized", [](QWidget& w) { w.showMinimized(); }},
    };
    for (const auto& [name, minimize] : ways) {
        SCOPED_TRACE(name);
        CreateWindow();
        Window->PageControl1->setCurrentIndex(1);
        Window->show();
        minimize(*Window);
        QCoreApplication::processEvents();
        EXPECT_FALSE(Window->isVisible());
        EXPECT_TRUE(Window->TrayIcon->IconVisible());
        // The tray click brings it back, normal and on the page it showed.
        Window->TrayHandler().Activated(*Window->TrayIcon, QSystemTrayIcon::Trigger);
        EXPECT_TRUE(Window->isVisible());
        EXPECT_FALSE(Window->windowState() & Qt::WindowMinimized);
        EXPECT_EQ(Window->PageControl1->currentIndex(), 1);
        EXPECT_EQ(Window->FormCloseCount(), 0);
    }
}

TEST_F(TWindowBehaviour, WithoutATrayMinimizeKeepsTheWindowOnTheTaskbar) {
    const TTrayPresence noTray(Tray, false);
    Window->show();
    Window->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Window->isVisible()) << "a hidden window would have no way back";
    EXPECT_TRUE(Window->isMinimized());
    // The taskbar entry brings it back as the window manager restores it.
    Window->setWindowState(Window->windowState() & ~Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Window->isVisible());
    EXPECT_FALSE(Window->isMinimized());
    EXPECT_EQ(Window->FormCloseCount(), 0);
}

TEST_F(TWindowBehaviour, TerminationSignalsCloseTheWindowAndShutTheLogDown) {
    const std::pair<int, const char*> terminations[] = {
        {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    int expected = 0;
    for (const auto& [number, name] : terminations) {
        SCOPED_TRACE(name);
        CreateWindow();
        Window->show();
        ASSERT_EQ(std::raise(number), 0);
        QDeadlineTimer deadline(3000);
        while (Window->FormCloseCount() == 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        EXPECT_EQ(Window->FormCloseCount(), 1);
        EXPECT_FALSE(Window->isVisible());
        EXPECT_EQ(LogText().count(QStringLiteral("ShutDown Agente of Zirko")), ++expected);
    }
}

TEST_F(TWindowBehaviour, TerminationSignalClosesAnOpenBoxFirst) {
    Window->show();
    QTimer::singleShot(50, [] { std::raise(SIGTERM); });
    // Returns only once the box has gone.
    TZirkoApplication::ShowError(QStringLiteral("Host not found"));
    QDeadlineTimer deadline(3000);
    while (Window->FormCloseCount() == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(Window->FormCloseCount(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

enum class TState { Shown, MinimizedToTray, HiddenToTray };
enum class TCommand { Nascondi, Ripristina, Chiudi, TrayClick };

TEST_F(TWindowBehaviour, TrayCommandsWorkFromEveryWindowState) {
    const std::pair<TState, const char*> states[] = {
        {TState::Shown, "shown"},
        {TState::MinimizedToTray, "minimized to the tray"},
        {TState::HiddenToTray, "hidden to the tray"},
    };
    const std::pair<TCommand, const char*> commands[] = {
        {TCommand::Nascondi, "Nascondi"},
        {TCommand::Ripristina, "Ripristina"},
        {TCommand::Chiudi, "Chiudi"},
        {TCommand::TrayClick, "tray click"},
    };
    const TTrayPresence tray(Tray, true);
    for (const auto& [state, stateName] : states) {
        for (const auto& [command, commandName] : commands) {
            SCOPED_TRACE(std::string(commandName) + " while " + stateName);
            CreateWindow();
            Window->show();
            if (state == TState::MinimizedToTray) {
                Window->setWindowState(Qt::WindowMinimized);
                QCoreApplication::processEvents();
            } else if (state == TState::HiddenToTray) {
                Window->pum_trayicon_Nascondi->trigger();
            }
            EXPECT_EQ(Window->isVisible(), state == TState::Shown);

            switch (command) {
            case TCommand::Nascondi:
                Window->pum_trayicon_Nascondi->trigger();
                break;
            case TCommand::Ripristina:
                Window->pum_trayicon_Ripristina->trigger();
                break;
            case TCommand::Chiudi:
                Window->pum_trayicon_Chiudi->trigger();
                break;
            case TCommand::TrayClick:
                Window->TrayHandler().Activated(*Window->TrayIcon, QSystemTrayIcon::Trigger);
                break;
            }

            const bool restored = command == TCommand::Ripristina || command == TCommand::TrayClick;
            EXPECT_EQ(Window->isVisible(), restored);
            if (restored) {
                EXPECT_FALSE(Window->windowState() & Qt::WindowMinimized);
            }
            EXPECT_EQ(Window->FormCloseCount(), command == TCommand::Chiudi ? 1 : 0);
            EXPECT_TRUE(Window->TrayIcon->IconVisible());
            const int shutDowns = LogText().count(QStringLiteral("ShutDown Agente of Zirko"));
            Window.reset();
            // Each window of the loop appends to the same log.
            static int expectedShutDowns = 0;
            if (command == TCommand::Chiudi) {
                ++expectedShutDowns;
            }
            EXPECT_EQ(shutDowns, expectedShutDowns);
        }
    }
}

TEST_F(TWindowBehaviour, AFailingHandlerShowsTheErrorBoxAndTheWindowGoesOn) {
    ZIRKO_REQUIRE_ROOT();
    TModalBoxWatcher watcher;
    Window->PageControl1->setCurrentIndex(1);
    Window->show();
    Window->e_host->setText(QStringLiteral("zirko-app-test.invalid"));
    QTest::mouseClick(Window->btn_execute, Qt::LeftButton);
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0].Title, QStringLiteral("app_window_test"));
    EXPECT_EQ(watcher.Seen()[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(watcher.Seen()[0].Text.startsWith(QStringLiteral("Socket Error # 1100")))
        << watcher.Seen()[0].Text.toStdString();
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Window->btn_execute->isEnabled());
    EXPECT_EQ(Window->FormCloseCount(), 0);
}

} // namespace

// A burst made and the window closed before its history was opened: the close opens
// it, and the pings held meanwhile are kept.
TEST_F(TWindowBehaviour, PingsBeforeTheHistoryOpensAreKeptAtTheClose) {
    CreateWindowOverFakeStack();
    ASSERT_FALSE(Window->findChild<THistoryKeeper*>()->Ready());
    Window->e_host->setText(QStringLiteral("10.0.0.9"));
    Window->PingMonitor().SetBurstPause(std::chrono::milliseconds(0));
    Window->btn_ping->click();
    Window->close();
    ASSERT_TRUE(History.Available());
    EXPECT_EQ(History.Pings(0, INT64_MAX / 4).size(), 5u);
    EXPECT_EQ(History.Periods(0, INT64_MAX / 4).size(), 1u) << "the burst's period";
}

// A run that records nothing and shows no history never loads it; a need opens it.
TEST_F(TWindowBehaviour, TheHistoryOpensOnlyOnceSomethingNeedsIt) {
    const struct TRow {
        const char* Name;
        std::function<void(TF_Main&)> Act;
        bool Opens;
    } Rows[] = {
        {"nothing", [](TF_Main&) {}, false},
        {"Grafico shown", [](TF_Main& W) { W.PageControl1->setCurrentWidget(W.TabSheet3); }, true},
        {"a host typed", [](TF_Main& W) { QTest::keyClick(W.e_host, Qt::Key_X); }, true},
        {"a burst",
         [](TF_Main& W) {
             W.e_host->setText(QStringLiteral("10.0.0.9"));
             W.PingMonitor().SetBurstPause(std::chrono::milliseconds(0));
             W.btn_ping->click();
         },
         true},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        CreateWindowOverFakeStack();
        Window->show();
        const auto* Keeper = Window->findChild<THistoryKeeper*>();
        Row.Act(*Window);
        // Past the wait for a window that is never drawn, after which nothing else opens it.
        (void)QTest::qWaitFor([&] { return Keeper->Ready(); }, 3 * THistoryKeeper::LatestOpenMs);
        EXPECT_EQ(Keeper->Ready(), Row.Opens);
        Window->close();
    }
}

// A history file the window cannot use costs it nothing but the history: the page says
// why in one line, the burst is shown and logged as always, and no file is lost.
TEST_F(TWindowBehaviour, AnUnusableHistoryLeavesTheLogAndSaysWhy) {
    const std::string Db = Folder.filePath(QStringLiteral("ZIRKO.DB")).toStdString();
    struct TRow {
        const char* Name;
        std::function<void(THistoryStore&)> Prepare;
        const char* Note; // a part of the page's line
        bool Kept;        // whether the burst lands in the window's history
    };
    const TRow Rows[] = {
        {"held by another copy",
         [&](THistoryStore& Other) { ASSERT_TRUE(Other.Open(Folder.path().toStdString())); },
         "in uso da un altro programma", false},
        {"damaged",
         [&](THistoryStore&) {
             QFile File(QString::fromStdString(Db));
             ASSERT_TRUE(File.open(QIODevice::WriteOnly));
             File.write(QByteArray(8192, 'x'));
         },
         "messo da parte", true},
    };
    for (const TRow& R : Rows) {
        SCOPED_TRACE(R.Name);
        Window.reset();
        History.Close();
        QFile::remove(QString::fromStdString(Db));
        THistoryStore Other;
        R.Prepare(Other);
        CreateWindowOverFakeStack();
        WaitForHistory();
        // The page's line is made when the page is first shown; its text is kept until then.
        const QString Note = Window->TabSheet3->HistoryNote();
        EXPECT_TRUE(Note.contains(QString::fromUtf8(R.Note))) << Note.toStdString();
        Window->e_host->setText(QStringLiteral("10.0.0.9"));
        Window->PingMonitor().SetBurstPause(std::chrono::milliseconds(0));
        Window->btn_ping->click();
        EXPECT_EQ(Window->PingMonitor().Counters().n_ping, 5);
        EXPECT_EQ(History.Available() ? History.Pings(0, INT64_MAX / 4).size() : 0u,
                  R.Kept ? 5u : 0u);
        // The host field completes from the history's hosts, read as it gets the focus.
        QApplication::setActiveWindow(Window.get());
        Window->btn_ping->setFocus();
        Window->e_host->setFocus();
        ASSERT_NE(Window->e_host->completer(), nullptr);
        EXPECT_EQ(Window->e_host->completer()->model()->rowCount(), R.Kept ? 1 : 0);
        Window->close();
        EXPECT_EQ(LogText().count(QStringLiteral("Ping result: ")), 5);
        QFile::remove(Folder.filePath(QStringLiteral("ZIRKO.LOG")));
    }
    EXPECT_FALSE(QDir(Folder.path()).entryList({QStringLiteral("ZIRKO.DB.corrupt-*")}).isEmpty())
        << "the damaged file was kept aside";
}
