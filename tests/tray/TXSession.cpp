// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXSession.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <unistd.h>

namespace {

constexpr int StartTimeoutMs = 10000;

} // namespace

TXSession::~TXSession() {
    Stop(FTray);
    Stop(FServer);
}

void TXSession::Stop(std::unique_ptr<QProcess>& Process) {
    if (!Process)
        return;
    if (Process->state() != QProcess::NotRunning) {
        Process->terminate();
        if (!Process->waitForFinished(3000)) {
            Process->kill();
            Process->waitForFinished(3000);
        }
    }
    Process.reset();
}

bool TXSession::Start() {
    // Spread parallel test processes over different display numbers.
    const int First = 200 + static_cast<int>(getpid() % 500);
    for (int Number = First; Number < First + 20; ++Number) {
        if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(Number)) ||
            QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(Number)))
            continue;
        FServer = std::make_unique<QProcess>();
        FServer->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FServer->start(QStringLiteral("Xvfb"), {QStringLiteral(":%1").arg(Number), "-screen", "0",
                                                "640x480x24", "-nolisten", "tcp"});
        if (!FServer->waitForStarted(StartTimeoutMs))
            return false;
        const QString Socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(Number);
        QDeadlineTimer Deadline(StartTimeoutMs);
        while (!QFileInfo::exists(Socket) && FServer->state() == QProcess::Running &&
               !Deadline.hasExpired())
            QThread::msleep(20);
        if (FServer->state() == QProcess::Running && QFileInfo::exists(Socket)) {
            FDisplay = QStringLiteral(":%1").arg(Number);
            return true;
        }
        Stop(FServer); // lost a race for this number: try the next
    }
    return false;
}

QProcessEnvironment TXSession::Environment() const {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert(QStringLiteral("DISPLAY"), FDisplay);
    Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Without a session bus Qt docks through XEmbed, which trayer provides.
    Env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return Env;
}

bool TXSession::StartTray() {
    FTray = std::make_unique<QProcess>();
    FTray->setProcessEnvironment(Environment());
    FTray->setStandardOutputFile(QProcess::nullDevice());
    FTray->setStandardErrorFile(QProcess::nullDevice());
    FTray->start(QStringLiteral("trayer"),
                 {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "120",
                  "--height", "24", "--transparent", "false", "--tint", "0x000000"});
    if (!FTray->waitForStarted(StartTimeoutMs))
        return false;
    QDeadlineTimer Deadline(StartTimeoutMs);
    while (!Deadline.hasExpired() && FTray->state() == QProcess::Running) {
        if (Run(QStringLiteral("xwininfo"), {"-root", "-tree"}).contains("\"panel\""))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void TXSession::StopTray() {
    Stop(FTray);
}

QByteArray TXSession::Run(const QString& Program, const QStringList& Arguments) const {
    QProcess Process;
    Process.setProcessEnvironment(Environment());
    Process.start(Program, Arguments);
    if (!Process.waitForFinished(StartTimeoutMs)) {
        Process.kill();
        Process.waitForFinished(1000);
        return {};
    }
    return Process.readAllStandardOutput();
}

QImage TXSession::Screenshot() const {
    return QImage::fromData(Run(QStringLiteral("import"), {"-window", "root", "png:-"}), "PNG");
}

int TXSession::DockedWindows(const QString& ClassName) const {
    const QString Tree = QString::fromUtf8(Run(QStringLiteral("xwininfo"), {"-root", "-tree"}));
    // Children of the root are indented by five spaces; deeper ones are reparented.
    const QRegularExpression Docked(QStringLiteral("^ {6,}0x[0-9a-f]+ .*\\(\"%1\" \"%1\"\\)")
                                        .arg(QRegularExpression::escape(ClassName)),
                                    QRegularExpression::MultilineOption);
    int Count = 0;
    for (auto It = Docked.globalMatch(Tree); It.hasNext(); It.next())
        ++Count;
    return Count;
}
