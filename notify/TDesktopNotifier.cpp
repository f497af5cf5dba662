// SPDX-License-Identifier: GPL-3.0-or-later
#include "TDesktopNotifier.h"

#include "TClock.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = Service;
// "default" is what a click on the notification itself invokes; "mostra" is the
// button. Both show the window.
const QString DefaultAction = QStringLiteral("default");
const QString ShowAction = QStringLiteral("mostra");
// Ids whose action still shows the window: the current outage's and a few before.
constexpr size_t OwnIdsKept = 8;

QString FromUtf8(const std::string& Text) {
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

QDBusMessage NotifyCall(const TOutageNotification& Content, uint32_t ReplacesId) {
    QDBusMessage Call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    const QString Mostra = TDesktopNotifier::tr("Mostra");
    const QVariantMap Hints{
        {QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(Content.Urgency))},
        {QStringLiteral("category"), FromUtf8(Content.Category)},
        {QStringLiteral("desktop-entry"), QStringLiteral("zirko")},
    };
    // Notify(app_name s, replaces_id u, app_icon s, summary s, body s, actions as,
    // hints a{sv}, expire_timeout i): -1 lets the service choose, and it keeps a
    // critical one until the user closes it.
    Call << QStringLiteral("Zirko") << static_cast<uint>(ReplacesId) << QStringLiteral("zirko")
         << FromUtf8(Content.Summary) << FromUtf8(Content.Body)
         << QStringList{DefaultAction, Mostra, ShowAction, Mostra} << Hints << -1;
    return Call;
}

} // namespace

TDesktopNotifier::TDesktopNotifier(const QDBusConnection& Bus, const TClock& Clock, QObject* parent)
    : TDesktopNotifier(Clock, parent) {
    Attach(Bus);
}

TDesktopNotifier::TDesktopNotifier(const TClock& Clock, QObject* parent)
    : QObject(parent), FBus(QString()), FClock(Clock) {}

void TDesktopNotifier::Attach(const QDBusConnection& Bus) {
    if (FBus.isConnected() || !Bus.isConnected()) {
        return;
    }
    FBus = Bus;
    // Any sender: naming the service would make Qt ask the bus for its owner and
    // wait for the answer. Only ids of ours count, and ids are the service's own.
    FBus.connect(QString(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(ActionInvoked(uint, QString)));
    FBus.connect(QString(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(NotificationClosed(uint, uint)));
}

std::optional<std::chrono::milliseconds> TDesktopNotifier::UpdateGapFromEnvironment() {
    const char* Text = std::getenv(UpdateGapVariable);
    if (Text == nullptr) {
        return std::nullopt;
    }
    int64_t Ms = 0;
    const char* End = Text + std::strlen(Text);
    const auto [Stop, Error] = std::from_chars(Text, End, Ms);
    if (Error != std::errc() || Stop != End || Ms <= 0) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(Ms);
}

void TDesktopNotifier::OutageBegan(const TOutage& Outage) {
    ++FOutage;
    FShown = true;
    FClosed = false;
    FAwaiting = false;
    FId = 0;
    FQueued.reset();
    Send(OutageNotification::Down(Outage));
}

void TDesktopNotifier::OutageLasts(const TOutage& Outage) {
    if (!FShown || FClosed || FClock.SteadyMs() - FSentMs < FGap.count()) {
        return;
    }
    Send(OutageNotification::Down(Outage));
}

void TDesktopNotifier::OutageEnded(const TOutage& Outage) {
    if (!FShown) {
        return;
    }
    FShown = false;
    Send(OutageNotification::Ended(Outage));
}

void TDesktopNotifier::Send(const TOutageNotification& Content) {
    if (FAwaiting) {
        // The id to replace is not known yet; the newest content goes once it is.
        FQueued = Content;
        return;
    }
    if (!FBus.isConnected()) {
        FShown = false;
        return;
    }
    // A closed notification comes back as a new one, not in place of the old.
    if (FClosed) {
        FClosed = false;
        FId = 0;
    }
    auto* Watcher = new QDBusPendingCallWatcher(FBus.asyncCall(NotifyCall(Content, FId)), this);
    connect(Watcher, &QDBusPendingCallWatcher::finished, this,
            [this, Outage = FOutage](QDBusPendingCallWatcher* Call) {
                Replied(*Call, Outage);
                Call->deleteLater();
            });
    FAwaiting = true;
    FSentMs = FClock.SteadyMs();
}

void TDesktopNotifier::Replied(QDBusPendingCallWatcher& Call, uint64_t Outage) {
    const QDBusPendingReply<uint> Reply = Call;
    if (!Reply.isError()) {
        Remember(Reply.value());
    }
    if (Outage != FOutage) {
        return;
    }
    FAwaiting = false;
    if (Reply.isError()) {
        // No service, or one that refused: this outage shows nothing more.
        FShown = false;
        FQueued.reset();
        return;
    }
    FId = Reply.value();
    if (FQueued) {
        const TOutageNotification Next = *FQueued;
        FQueued.reset();
        Send(Next);
    }
}

void TDesktopNotifier::Remember(uint32_t Id) {
    if (std::find(FOwn.begin(), FOwn.end(), Id) != FOwn.end()) {
        return;
    }
    FOwn.push_back(Id);
    if (FOwn.size() > OwnIdsKept) {
        FOwn.pop_front();
    }
}

void TDesktopNotifier::ActionInvoked(uint Id, const QString& ActionKey) {
    if ((ActionKey == ShowAction || ActionKey == DefaultAction) &&
        std::find(FOwn.begin(), FOwn.end(), Id) != FOwn.end()) {
        emit ShowRequested();
    }
}

void TDesktopNotifier::NotificationClosed(uint Id, uint /*Reason*/) {
    if (Id == FId && FId != 0) {
        FClosed = true;
    }
}
