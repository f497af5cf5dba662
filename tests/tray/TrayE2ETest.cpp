// SPDX-License-Identifier: GPL-3.0-or-later
// The component in a real XEmbed tray: Xvfb + trayer, driven with xdotool,
// checked on screenshots and on the events the test program reports.
#include "RequireRoot.h"
#include "TXSession.h"
#include "ZirkoImages.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRect>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString ProgramClass = QStringLiteral("tray_e2e_program");
constexpr int WaitMs = 10000;

// Polls a condition a bounded number of times.
bool Eventually(const std::function<bool()>& Condition, int TimeoutMs = WaitMs) {
    QDeadlineTimer Deadline(TimeoutMs);
    do {
        if (Condition())
            return true;
        QThread::msleep(50);
    } while (!Deadline.hasExpired());
    return Condition();
}

// The test program, spoken to over its standard input and output.
class TTrayProgram {
public:
    explicit TTrayProgram(const TXSession& X) {
        FProcess.setProcessEnvironment(X.Environment());
        FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        FProcess.start(QStringLiteral(TRAY_E2E_PROGRAM), {});
    }
    ~TTrayProgram() { Quit(); }
    // Asks the program to end; its exit code, or -1 when it had to be killed.
    int Quit() {
        if (FProcess.state() == QProcess::NotRunning)
            return FProcess.exitStatus() == QProcess::NormalExit ? FProcess.exitCode() : -1;
        Send("quit");
        if (FProcess.waitForFinished(5000) && FProcess.exitStatus() == QProcess::NormalExit)
            return FProcess.exitCode();
        FProcess.kill();
        FProcess.waitForFinished(3000);
        return -1;
    }
    TTrayProgram(const TTrayProgram&) = delete;
    TTrayProgram& operator=(const TTrayProgram&) = delete;

    void Send(const char* Command) {
        FProcess.write(QByteArray(Command) + '\n');
        FProcess.waitForBytesWritten(1000);
    }
    // Waits for the next line that starts with Prefix; earlier lines are kept.
    QString WaitFor(const QString& Prefix, int TimeoutMs = WaitMs) {
        QDeadlineTimer Deadline(TimeoutMs);
        while (true) {
            while (FProcess.canReadLine())
                FLines << QString::fromUtf8(FProcess.readLine()).trimmed();
            for (; FNext < FLines.size(); ++FNext)
                if (FLines[FNext].startsWith(Prefix))
                    return FLines[FNext++];
            if (Deadline.hasExpired() || FProcess.state() == QProcess::NotRunning)
                return {};
            FProcess.waitForReadyRead(
                static_cast<int>(std::max<qint64>(1, Deadline.remainingTime())));
        }
    }
    // Every line read so far, and whatever has arrived since.
    QStringList Lines() {
        FProcess.waitForReadyRead(200);
        while (FProcess.canReadLine())
            FLines << QString::fromUtf8(FProcess.readLine()).trimmed();
        return FLines;
    }
    QRect IconGeometry() {
        Send("geometry");
        const QStringList Parts = WaitFor("geometry").split(' ');
        if (Parts.size() != 5)
            return {};
        return {Parts[1].toInt(), Parts[2].toInt(), Parts[3].toInt(), Parts[4].toInt()};
    }

private:
    QProcess FProcess;
    QStringList FLines;
    qsizetype FNext = 0;
};

// The radar images are 16x16 and centred in the docked icon; (2, 2) lies on
// the coloured square outside the disc.
QPoint SquarePixel(const QRect& Icon) {
    return Icon.center() + QPoint(1, 1) - QPoint(8, 8) + QPoint(2, 2);
}

QColor Expected(int Index) {
    return QColor::fromRgb(ZirkoRadarImage(Index).pixmap(16, 16).toImage().pixel(2, 2));
}

bool Near(const QColor& A, const QColor& B) {
    return std::abs(A.red() - B.red()) <= 8 && std::abs(A.green() - B.green()) <= 8 &&
           std::abs(A.blue() - B.blue()) <= 8;
}

QColor ScreenPixel(const TXSession& X, QPoint At) {
    const QImage Shot = X.Screenshot();
    return Shot.valid(At) ? QColor::fromRgb(Shot.pixel(At)) : QColor();
}

class TrayE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE(X.Start(), "Xvfb could not be started");
        ZIRKO_REQUIRE(X.StartTray(), "trayer could not be started");
        Program = std::make_unique<TTrayProgram>(X);
        ASSERT_FALSE(Program->WaitFor("ready").isEmpty());
        ASSERT_TRUE(Eventually([&] { return X.DockedWindows(ProgramClass) == 1; }));
        ASSERT_TRUE(Eventually([&] {
            Icon = Program->IconGeometry();
            return Icon.width() >= 16 && Icon.height() >= 16;
        }));
    }
    void TearDown() override {
        // A clean exit also means no sanitizer report from the program.
        if (Program) {
            EXPECT_EQ(Program->Quit(), 0);
        }
        Program.reset();
    }

    ::testing::AssertionResult IconShows(int Index) {
        QColor Seen;
        // Under load the tray may lay its icons out again after docking: ask each time.
        if (Eventually([&] {
                const QRect Now = Program->IconGeometry();
                Icon = Now.width() >= 16 && Now.height() >= 16 ? Now : Icon;
                return Near(Seen = ScreenPixel(X, SquarePixel(Icon)), Expected(Index));
            }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "icon at " << Icon.x() << "," << Icon.y() << " shows " << qPrintable(Seen.name());
    }
    QString Xdotool(const QStringList& Arguments) {
        return QString::fromUtf8(X.Run(QStringLiteral("xdotool"), Arguments));
    }
    void MoveToIcon() {
        Xdotool(
            {"mousemove", QString::number(Icon.center().x()), QString::number(Icon.center().y())});
    }

    TXSession X;
    std::unique_ptr<TTrayProgram> Program;
    QRect Icon;
};

TEST_F(TrayE2E, DocksWithImageZeroAndFollowsTheIndex) {
    EXPECT_TRUE(IconShows(0));
    for (const int Index : {1, 2, 0, 2}) {
        Program->Send(qPrintable(QStringLiteral("index %1").arg(Index)));
        ASSERT_EQ(Program->WaitFor("index"), QStringLiteral("index %1").arg(Index));
        EXPECT_TRUE(IconShows(Index)) << Index;
    }
    Program->Send("index 7");
    EXPECT_EQ(Program->WaitFor("index"), "index 2");
    EXPECT_TRUE(IconShows(2));
}

TEST_F(TrayE2E, LeftClickRestoresAndRightPressOpensTheMenuOnce) {
    Program->Send("hide");
    ASSERT_EQ(Program->WaitFor("hidden"), "hidden");
    MoveToIcon();
    Xdotool({"click", "1"});
    ASSERT_EQ(Program->WaitFor("Click"), "Click");
    EXPECT_EQ(Program->WaitFor("MouseUp"), "MouseUp 0"); // after the click, not before
    Program->Send("restore");
    EXPECT_EQ(Program->WaitFor("shown"), "shown"); // the click had restored it already

    Xdotool({"mousedown", "3"});
    // The menu is open while the button is still held.
    EXPECT_EQ(Program->WaitFor("MenuShown"), "MenuShown");
    Xdotool({"key", "Escape"});
    EXPECT_EQ(Program->WaitFor("MenuHidden"), "MenuHidden");
    Xdotool({"mouseup", "3"});
    QThread::msleep(300);
    EXPECT_EQ(Program->Lines().count("MenuShown"), 1);
}

// The main window's icon has no OnDblClick: a double click is one click.
TEST_F(TrayE2E, DoubleClickRestoresOnceAndDoesNothingElse) {
    Program->Send("hide");
    ASSERT_EQ(Program->WaitFor("hidden"), "hidden");
    MoveToIcon();
    Xdotool({"click", "--repeat", "2", "--delay", "60", "1"});
    ASSERT_EQ(Program->WaitFor("Click"), "Click");
    QThread::msleep(500);
    const QStringList Lines = Program->Lines();
    EXPECT_EQ(Lines.count("Click"), 1);
    // The second press came as a double click: no press of its own, only its release.
    EXPECT_EQ(Lines.count("MouseDown 0"), 1);
    EXPECT_EQ(Lines.count("MouseUp 0"), 2);
    EXPECT_FALSE(Lines.contains("MenuShown"));
    Program->Send("restore");
    EXPECT_EQ(Program->WaitFor("shown"), "shown");
}

TEST_F(TrayE2E, DisabledIconGivesNoEventsAndNoMenu) {
    Program->Send("disable");
    ASSERT_EQ(Program->WaitFor("disabled"), "disabled");
    MoveToIcon();
    Xdotool({"click", "1"});
    Xdotool({"click", "3"});
    Xdotool({"key", "Escape"});
    EXPECT_TRUE(Program->WaitFor("Mouse", 1000).isEmpty());
    const QStringList Lines = Program->Lines();
    EXPECT_FALSE(Lines.contains("Click"));
    EXPECT_FALSE(Lines.contains("MenuShown"));
}

TEST_F(TrayE2E, ComesBackWithItsImageAfterTheTrayRestarts) {
    Program->Send("index 2");
    ASSERT_EQ(Program->WaitFor("index"), "index 2");
    ASSERT_TRUE(IconShows(2));
    X.StopTray();
    EXPECT_TRUE(Eventually([&] { return X.DockedWindows(ProgramClass) == 0; }));
    ASSERT_TRUE(X.StartTray());
    EXPECT_TRUE(Eventually([&] { return X.DockedWindows(ProgramClass) == 1; }));
    ASSERT_TRUE(Eventually([&] {
        Icon = Program->IconGeometry();
        return Icon.width() >= 16;
    }));
    EXPECT_TRUE(IconShows(2));
}

TEST_F(TrayE2E, HideAndRestoreKeepOneIconAndDestroyingRemovesIt) {
    for (int i = 0; i < 20; ++i) {
        Program->Send("hide");
        ASSERT_EQ(Program->WaitFor("hidden"), "hidden");
        Program->Send("restore");
        ASSERT_EQ(Program->WaitFor("shown"), "shown");
    }
    QThread::msleep(300);
    EXPECT_EQ(X.DockedWindows(ProgramClass), 1);
    EXPECT_TRUE(IconShows(0));
    Program->Send("destroy");
    ASSERT_EQ(Program->WaitFor("destroyed"), "destroyed");
    EXPECT_TRUE(Eventually([&] { return X.DockedWindows(ProgramClass) == 0; }));
    EXPECT_FALSE(Near(ScreenPixel(X, SquarePixel(Icon)), Expected(0)));
}

} // namespace
