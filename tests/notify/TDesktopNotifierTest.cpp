// SPDX-License-Identifier: GPL-3.0-or-later
// The notifier against a notification service of the test's own, on a bus
// daemon the test starts: nothing on the machine's own buses is touched.
#include "TDesktopNotifier.h"
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

#include <ostream>
#include <tuple>
#include <vector>

namespace {

// One Notify call as the service saw it; urgency -1 where it was not a byte.
struct TCall {
    uint ReplacesId;
    QString Summary, Body;
    int Urgency;
    QString Category;
    bool operator==(const TCall&) const = default;
};

void PrintTo(const TCall& Call, std::ostream* Out) {
    *Out << Call.ReplacesId << " '" << Call.Summary.toStdString() << "' '"
         << Call.Body.toStdString() << "' " << Call.Urgency << " " << Call.Category.toStdString();
}

// Stands where a desktop's notification daemon would, and keeps what it is told.
class TFakeService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    std::vector<TCall> Calls;
    QStringList Actions;

public slots:
    uint Notify(const QString&, uint ReplacesId, const QString&, const QString& Summary,
                const QString& Body, const QStringList& Actions_, const QVariantMap& Hints, int) {
        const QVariant Urgency = Hints["urgency"];
        Calls.push_back({ReplacesId, Summary, Body,
                         Urgency.metaType() == QMetaType::fromType<uchar>() ? Urgency.toInt() : -1,
                         Hints["category"].toString()});
        Actions = Actions_;
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

TOutage Outage(int64_t DurationMs, int64_t Lost, TOutageEnd End = TOutageEnd::Open) {
    TOutage Outage;
    Outage.Host = "zirko-test.invalid";
    Outage.StartFromMs = 1000;
    if (End == TOutageEnd::Unknown) {
        Outage.StartFromMs.reset();
    }
    Outage.DurationMs = DurationMs;
    Outage.UncertaintyMs = 2000;
    Outage.Lost = Lost;
    Outage.End = End;
    return Outage;
}

const QString Down = "Zirko: zirko-test.invalid non risponde";

TEST_F(DesktopNotifier, RaisesUpdatesOnceAMinuteAndEndsInPlace) {
    Serve();
    // Joins the bus later, as the program's do; once on a bus it stays there.
    TDesktopNotifier Notifier(FClock);
    Notifier.Attach(FClient);
    Notifier.Attach(QDBusConnection("never-connected"));
    QSignalSpy Shown(&Notifier, &TDesktopNotifier::ShowRequested);
    Notifier.OutageBegan(Outage(3000, 2));
    ASSERT_TRUE(CallsReach(1));
    EXPECT_EQ(FService.Calls[0],
              (TCall{0, Down, "Da 3 s, 2 ping persi", 2, "network.disconnected"}));
    EXPECT_TRUE(FService.Actions.contains("mostra") && FService.Actions.contains("Mostra"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Notifier.NotificationId() == 41; }, 5000));

    // Its own show actions only, on its own notification only.
    for (const auto& [Id, Key, Shows] : {std::tuple{41u, "mostra", 1},
                                         {41u, "default", 1},
                                         {7u, "mostra", 0},
                                         {41u, "altro", 0}}) {
        Shown.clear();
        emit FService.ActionInvoked(Id, Key);
        // Over the bus: a show may take its time on a busy machine; none comes in 200 ms.
        (void)QTest::qWaitFor([&] { return Shown.count() > 0; }, Shows > 0 ? 5000 : 200);
        EXPECT_EQ(Shown.count(), Shows) << Id << " " << Key;
    }

    // Lost pings every 2 s: the first that comes a minute after the raise updates it.
    for (int Ping = 1; Ping <= 31; ++Ping) {
        FClock.Advance(2000);
        Notifier.OutageLasts(Outage(3000 + Ping * 2000, 2 + Ping));
    }
    Notifier.OutageEnded(Outage(192000, 96, TOutageEnd::Recovered));
    ASSERT_TRUE(CallsReach(3));
    QTest::qWait(100);
    EXPECT_EQ(FService.Calls,
              (std::vector<TCall>{
                  FService.Calls[0],
                  {41, Down, "Da 1 min 3 s, 32 ping persi", 2, "network.disconnected"},
                  {41, "zirko-test.invalid risponde di nuovo dopo 3 min 12 s", "3 min 12 s ± 2 s",
                   1, "network.connected"},
              }));
}

// An end that comes before the service has answered the raise waits for the id
// to replace; an end that watching made is no recovery.
TEST_F(DesktopNotifier, AnEndBeforeTheReplyReplacesTheRaise) {
    Serve();
    TDesktopNotifier Notifier(FClient, FClock);
    const TOutage Over = Outage(4000, 2, TOutageEnd::Unknown);
    Notifier.OutageBegan(Over);
    Notifier.OutageEnded(Over);
    ASSERT_TRUE(CallsReach(2));
    EXPECT_EQ(FService.Calls[1],
              (TCall{41, "zirko-test.invalid: monitoraggio sospeso durante l'interruzione",
                     "almeno 4 s ± 2 s (fine sconosciuta)", 1, "network"}));
}

// Closed by the user: no update pops it up again, and the end comes as a new one.
TEST_F(DesktopNotifier, AClosedNotificationIsNotUpdatedAndTheEndIsNew) {
    Serve();
    TDesktopNotifier Notifier(FClient, FClock);
    Notifier.OutageBegan(Outage(3000, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Notifier.NotificationId() == 41; }, 5000));
    emit FService.NotificationClosed(41, 2);
    QTest::qWait(200);
    FClock.Advance(120000);
    Notifier.OutageLasts(Outage(123000, 62));
    Notifier.OutageEnded(Outage(125000, 62, TOutageEnd::Recovered));
    ASSERT_TRUE(CallsReach(2));
    QTest::qWait(100);
    ASSERT_EQ(FService.Calls.size(), 2u);
    EXPECT_EQ(FService.Calls[1].ReplacesId, 0u);
    EXPECT_EQ(FService.Calls[1].Category, "network.connected");
}

// No owner of the name, or no bus at all: the outage goes by without a word.
TEST_F(DesktopNotifier, WithoutAServiceNothingHappensAndNothingIsSaid) {
    static int Messages = 0;
    const QtMessageHandler Previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString&) { ++Messages; });
    for (const QDBusConnection& Bus : {FClient, QDBusConnection("never-connected")}) {
        TDesktopNotifier Notifier(Bus, FClock);
        Notifier.OutageBegan(Outage(3000, 2));
        FClock.Advance(60000);
        Notifier.OutageLasts(Outage(63000, 32));
        Notifier.OutageEnded(Outage(65000, 32, TOutageEnd::Recovered));
        QTest::qWait(300);
        EXPECT_EQ(Notifier.NotificationId(), 0u);
    }
    qInstallMessageHandler(Previous);
    EXPECT_EQ(Messages, 0);
}

} // namespace

#include "TDesktopNotifierTest.moc"
