// SPDX-License-Identifier: GPL-3.0-or-later
// The notifier against a notification service of the test's own, on a bus
// daemon the test starts: nothing on the machine's own buses is touched.
#include "TDesktopNotifier.h"
#include "OutageText.h"
#include "RequireRoot.h"
#include "TSteppingClock.h"

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

struct TCall {
    uint ReplacesId;
    QString Summary, Body;
    QStringList Actions;
    QVariantMap Hints;
};

// Stands where a desktop's notification daemon would, and keeps what it is told.
class TFakeService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    std::vector<TCall> Calls;

public slots:
    uint Notify(const QString&, uint ReplacesId, const QString&, const QString& Summary,
                const QString& Body, const QStringList& Actions, const QVariantMap& Hints, int) {
        Calls.push_back({ReplacesId, Summary, Body, Actions, Hints});
        return ReplacesId != 0 ? ReplacesId : ++FLastId;
    }

signals:
    void ActionInvoked(uint Id, const QString& ActionKey);
    void NotificationClosed(uint Id, uint Reason);

private:
    uint FLastId = 40;
};

// A bus of the test's own: nothing can be started on it, so the name is only ever
// owned by the fake.
class DesktopNotifier : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE(!QStandardPaths::findExecutable("dbus-daemon").isEmpty(),
                      "needs dbus-daemon (scripts/setup installs it)");
        QFile Config(FDir.filePath("bus.conf"));
        ASSERT_TRUE(Config.open(QIODevice::WriteOnly));
        Config.write(
            ("<busconfig><listen>unix:dir=" + FDir.path().toUtf8() +
             "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
             "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/>"
             "</policy></busconfig>"));
        Config.close();
        FDaemon.start("dbus-daemon",
                      {"--nofork", "--print-address", "--config-file=" + Config.fileName()});
        ASSERT_TRUE(FDaemon.waitForReadyRead(10000)) << FDaemon.readAllStandardError().data();
        const QString Address = QString::fromUtf8(FDaemon.readLine()).trimmed();
        FClient = QDBusConnection::connectToBus(Address, "notifier");
        FServer = QDBusConnection::connectToBus(Address, "service");
        ASSERT_TRUE(FClient.isConnected() && FServer.isConnected());
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("notifier");
        QDBusConnection::disconnectFromBus("service");
        FDaemon.terminate();
        FDaemon.waitForFinished(5000);
    }
    void Serve() {
        ASSERT_TRUE(FServer.registerObject("/org/freedesktop/Notifications", &FService,
                                           QDBusConnection::ExportAllSlots |
                                               QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(FServer.registerService("org.freedesktop.Notifications"));
    }
    bool CallsReach(size_t Count) {
        return QTest::qWaitFor([&] { return FService.Calls.size() >= Count; }, 5000);
    }

    QTemporaryDir FDir;
    QProcess FDaemon;
    QDBusConnection FClient{"notifier"}, FServer{"service"};
    TFakeService FService;
    TSteppingClock FClock{CalendarTime(2024, 5, 6, 7, 8, 9)};
};

TOutage Down(int64_t DurationMs, int64_t Lost) {
    TOutage Outage;
    Outage.Host = "zirko-test.invalid";
    Outage.StartFromMs = 1000;
    Outage.DurationMs = DurationMs;
    Outage.Lost = Lost;
    return Outage;
}

TEST_F(DesktopNotifier, RaisesUpdatesOnceAMinuteAndEndsInPlace) {
    Serve();
    TDesktopNotifier Notifier(FClient, FClock);
    Notifier.OutageBegan(Down(3000, 2));
    ASSERT_TRUE(CallsReach(1));
    const TCall Raised = FService.Calls[0];
    EXPECT_EQ(Raised.ReplacesId, 0u);
    EXPECT_EQ(Raised.Summary, "Zirko: zirko-test.invalid non risponde");
    EXPECT_EQ(Raised.Body, "Da 3 s, 2 ping persi");
    EXPECT_EQ(Raised.Hints["urgency"].metaType(), QMetaType::fromType<uchar>());
    EXPECT_EQ(Raised.Hints["urgency"].toInt(), 2);
    EXPECT_EQ(Raised.Hints["category"].toString(), "network.disconnected");
    EXPECT_TRUE(Raised.Actions.contains("mostra") && Raised.Actions.contains("Mostra"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Notifier.NotificationId() == 41; }, 5000));

    // Lost pings every 2 s: the first that comes a minute after the raise updates it.
    for (int Ping = 1; Ping <= 31; ++Ping) {
        FClock.Advance(2000);
        Notifier.OutageLasts(Down(3000 + Ping * 2000, 2 + Ping));
    }
    ASSERT_TRUE(CallsReach(2));
    QTest::qWait(100);
    ASSERT_EQ(FService.Calls.size(), 2u) << "one update in a minute";
    EXPECT_EQ(FService.Calls[1].ReplacesId, 41u);
    EXPECT_EQ(FService.Calls[1].Body, "Da 1 min 3 s, 32 ping persi");

    TOutage Over = Down(192000, 96);
    Over.End = TOutageEnd::Recovered;
    Over.UncertaintyMs = 2000;
    Notifier.OutageEnded(Over);
    ASSERT_TRUE(CallsReach(3));
    EXPECT_EQ(FService.Calls[2].ReplacesId, 41u);
    EXPECT_EQ(FService.Calls[2].Summary, "zirko-test.invalid risponde di nuovo dopo 3 min 12 s");
    EXPECT_EQ(FService.Calls[2].Hints["urgency"].toInt(), 1);
    EXPECT_EQ(FService.Calls[2].Hints["category"].toString(), "network.connected");
}

// An outage over before the service has answered the raise still ends the one
// notification, and one that watching stopped says so.
TEST_F(DesktopNotifier, AnEndBeforeTheReplyWaitsForTheIdToReplace) {
    Serve();
    TDesktopNotifier Notifier(FClient, FClock);
    TOutage Over = Down(4000, 2);
    Over.End = TOutageEnd::Unknown;
    Notifier.OutageBegan(Over);
    Notifier.OutageEnded(Over);
    ASSERT_TRUE(CallsReach(2));
    EXPECT_EQ(FService.Calls[1].ReplacesId, 41u);
    EXPECT_EQ(FService.Calls[1].Summary,
              QString::fromStdString(OutageText::UnknownEndSummary(Over)));
    EXPECT_EQ(FService.Calls[1].Hints["urgency"].toInt(), 1);
    EXPECT_NE(FService.Calls[1].Hints["category"].toString(), "network.connected");
}

TEST_F(DesktopNotifier, ShowsTheWindowForItsOwnShowActionsOnly) {
    Serve();
    TDesktopNotifier Notifier(FClient, FClock);
    QSignalSpy Shown(&Notifier, &TDesktopNotifier::ShowRequested);
    Notifier.OutageBegan(Down(3000, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Notifier.NotificationId() == 41; }, 5000));
    const struct {
        uint Id;
        const char* Key;
        int Shows;
    } Rows[] = {{41, "mostra", 1}, {41, "default", 1}, {7, "mostra", 0}, {41, "altro", 0}};
    for (const auto& Row : Rows) {
        Shown.clear();
        emit FService.ActionInvoked(Row.Id, Row.Key);
        QTest::qWait(200);
        EXPECT_EQ(Shown.count(), Row.Shows) << Row.Id << " " << Row.Key;
    }
}

// Closed by the user: no update pops it up again, and the end comes as a new one.
TEST_F(DesktopNotifier, AClosedNotificationIsNotUpdatedAndTheEndIsNew) {
    Serve();
    TDesktopNotifier Notifier(FClient, FClock);
    Notifier.OutageBegan(Down(3000, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Notifier.NotificationId() == 41; }, 5000));
    emit FService.NotificationClosed(41, 2);
    QTest::qWait(200);
    FClock.Advance(120000);
    Notifier.OutageLasts(Down(123000, 62));
    TOutage Over = Down(125000, 62);
    Over.End = TOutageEnd::Recovered;
    Notifier.OutageEnded(Over);
    ASSERT_TRUE(CallsReach(2));
    QTest::qWait(100);
    ASSERT_EQ(FService.Calls.size(), 2u);
    EXPECT_EQ(FService.Calls[1].ReplacesId, 0u);
    EXPECT_EQ(FService.Calls[1].Hints["category"].toString(), "network.connected");
}

// No owner of the name, or no bus at all: the outage goes by without a word.
TEST_F(DesktopNotifier, WithoutAServiceNothingHappensAndNothingIsSaid) {
    static int Messages = 0;
    const QtMessageHandler Previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString&) { ++Messages; });
    for (const QDBusConnection& Bus : {FClient, QDBusConnection("never-connected")}) {
        TDesktopNotifier Notifier(Bus, FClock);
        QSignalSpy Shown(&Notifier, &TDesktopNotifier::ShowRequested);
        Notifier.OutageBegan(Down(3000, 2));
        FClock.Advance(60000);
        Notifier.OutageLasts(Down(63000, 32));
        Notifier.OutageEnded(Down(65000, 32));
        QTest::qWait(300);
        EXPECT_EQ(Notifier.NotificationId(), 0u);
        EXPECT_EQ(Shown.count(), 0);
    }
    qInstallMessageHandler(Previous);
    EXPECT_EQ(Messages, 0);
}

TEST(DesktopNotifierGap, TheTestHookTakesOnlyAPositiveNumberOfMs) {
    const struct {
        const char* Value;
        std::optional<int64_t> Ms;
    } Rows[] = {{"3000", 3000}, {"0", {}}, {"-5", {}}, {"12x", {}}, {"", {}}, {nullptr, {}}};
    for (const auto& Row : Rows) {
        if (Row.Value) {
            setenv(TDesktopNotifier::UpdateGapVariable, Row.Value, 1);
        } else {
            unsetenv(TDesktopNotifier::UpdateGapVariable);
        }
        const auto Gap = TDesktopNotifier::UpdateGapFromEnvironment();
        EXPECT_EQ(Gap ? std::optional<int64_t>(Gap->count()) : std::nullopt, Row.Ms)
            << (Row.Value ? Row.Value : "unset");
    }
    unsetenv(TDesktopNotifier::UpdateGapVariable);
}

} // namespace

#include "TDesktopNotifierTest.moc"
