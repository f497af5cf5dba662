// SPDX-License-Identifier: GPL-3.0-or-later
// "Continuo" on a page of its own, from the client namespace of a network with three routers:
// the second one drops a share of the probes it forwards or of its own answers, then changes
// the address its answers come from. The table, the verdict under it, the route-change lines
// and the CSV file are read as the user would see them.
#include "RequireRoot.h"
#include "TContinuousTrace.h"
#include "TContinuousTraceView.h"
#include "TNetContext.h"
#include "TNetNamespaceScope.h"
#include "TTestNetwork.h"
#include "TTraceTable.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>

using namespace zirko::test;

inline void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

namespace {

constexpr int DropPercent = 30;

// The page's controls around the view, as the window makes them.
struct TPage {
    TNetContext Net; // outlives the window's trace
    QWidget Window;
    QLineEdit* Host = new QLineEdit(&Window);
    QSpinBox* MaxHops = new QSpinBox(&Window);
    QPushButton* Continuo = new QPushButton(QStringLiteral("Continuo"), &Window);
    QPushButton* Export = new QPushButton(QStringLiteral("Esporta CSV…"), &Window);
    QListWidget* Log = new QListWidget(&Window);
    TContinuousTraceView* View = new TContinuousTraceView(Net, &Window);
    QStringList Errors;

    TPage() {
        MaxHops->setRange(1, 255);
        MaxHops->setValue(8);
        View->Attach({Host, MaxHops, Continuo, Export, Log, &TClock::System()});
        View->SetErrorBox([this](const QString& AMessage) { Errors << AMessage; });
        // Rounds faster than the page's, so that a few hundred take seconds.
        View->Trace().SetTiming(20'000'000, 400);
    }
    QString Cell(int ARow, int AColumn) const {
        return View->Table()->topLevelItem(ARow)->text(AColumn);
    }
};

struct TCase {
    const char* Name;
    const char* Hook; // on the second router
    const char* Type;
    std::vector<int> LossyHops;
    const char* Verdict;
};

class ContinuousTraceNetwork : public ::testing::TestWithParam<TCase> {
protected:
    void SetUp() override {
        ZIRKO_REQUIRE_ROOT();
        Net = std::make_unique<TTestNetwork>(TTestNetworkOptions{.ThirdRouter = true});
    }
    // "10.x.y." + AHost
    std::string At(int AHost) const {
        const std::string Prefix = Net->Prefix();
        return Prefix.substr(0, Prefix.size() - 4) + std::to_string(AHost);
    }
    std::unique_ptr<TTestNetwork> Net;
};

TEST_P(ContinuousTraceNetwork, TableVerdictAndRouteChangeAsShown) {
    const TCase& C = GetParam();
    ZIRKO_REQUIRE(TTestNetwork::DropShare(*Net->Router2(), C.Hook, C.Type, C.Type, DropPercent),
                  "nft with numgen random (package nftables, kernel nf_tables)");
    const QString Router1 = QString::fromStdString(Net->RouterAddress());
    const QString Moved = QString::fromStdString(At(13)); // the second router's far side
    TNetNamespaceScope InClient(*Net->Client());
    TPage P;
    P.View->Trace().SetNameLookup([Router1](const QString& A) {
        return A == Router1 ? QStringLiteral("r1.zk.invalid") : QString();
    });
    P.Host->setText(QString::fromStdString(Net->TargetAddress()));
    P.Continuo->click();
    ASSERT_TRUE(P.View->Trace().Running());
    EXPECT_TRUE(QTest::qWaitFor([&] { return P.View->Trace().Rounds() >= 100; }, 30000));
    // From now on its answers to the client leave from its address towards the third router.
    Net->Router2()->Ip({"route", "add", At(0) + "/30", "via", At(5), "src", At(13)});
    const QString Was = QString::fromStdString(Net->Router2Address());
    const QString Now = QStringLiteral(" → %1").arg(Moved);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return P.Log->count() > 0 && P.Log->item(P.Log->count() - 1)->text().endsWith(Now); },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return P.View->Trace().Rounds() >= 300; }, 30000));
    P.Continuo->click();
    EXPECT_FALSE(P.View->Trace().Running());
    QTest::qWait(50); // a turn of the loop for the last verdict
    ASSERT_TRUE(P.Errors.isEmpty()) << P.Errors.join('\n').toStdString();

    ASSERT_EQ(P.View->Table()->topLevelItemCount(), 4);
    for (int Row = 0; Row < 4; ++Row) {
        SCOPED_TRACE("hop " + std::to_string(Row + 1));
        const bool Lossy = std::count(C.LossyHops.begin(), C.LossyHops.end(), Row + 1) > 0;
        const double Sent = P.Cell(Row, TTraceTable::SentColumn).toDouble();
        const double Lost = Sent - P.Cell(Row, TTraceTable::ReceivedColumn).toDouble();
        const double Margin =
            3.5 * std::sqrt(Sent * DropPercent / 100.0 * (1 - DropPercent / 100.0));
        EXPECT_NEAR(Lost, Lossy ? Sent * DropPercent / 100 : 0, Lossy ? Margin : 0);
        std::cout << "[ measured ] " << C.Name << ", hop " << Row + 1 << ": "
                  << P.Cell(Row, TTraceTable::LossColumn).toStdString() << " % of " << Sent
                  << " lost\n";
    }
    EXPECT_EQ(P.Cell(0, TTraceTable::NameColumn), QStringLiteral("r1.zk.invalid"));
    QTreeWidgetItem* Second = P.View->Table()->topLevelItem(1);
    EXPECT_EQ(P.Cell(1, TTraceTable::AddressColumn), QStringLiteral("2 indirizzi"));
    ASSERT_EQ(Second->childCount(), 2);

    EXPECT_EQ(Second->child(0)->text(TTraceTable::AddressColumn),
              QString::fromStdString(Net->Router2Address()));
    EXPECT_EQ(Second->child(1)->text(TTraceTable::AddressColumn), Moved);
    EXPECT_EQ(P.View->Verdict()->text(), QString::fromUtf8(C.Verdict));

    // Both at once when the old address had been silent long enough by the new one's first
    // answer (a lossy hop), else the new one joins and the old one goes later.
    const QStringList Both = {
        QStringLiteral(" Percorso cambiato al salto 2: %1 → %1, %2").arg(Was, Moved),
        QStringLiteral(" Percorso cambiato al salto 2: %1, %2 → %2").arg(Was, Moved)};
    const QString Once = QStringLiteral(" Percorso cambiato al salto 2: %1 → %2").arg(Was, Moved);
    if (P.Log->count() == 1) {
        EXPECT_TRUE(P.Log->item(0)->text().endsWith(Once)) << P.Log->item(0)->text().toStdString();
    } else {
        ASSERT_EQ(P.Log->count(), 2);
        for (int I = 0; I < 2; ++I) {
            EXPECT_TRUE(P.Log->item(I)->text().endsWith(Both[I]))
                << P.Log->item(I)->text().toStdString();
        }
    }

    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("traccia.csv"));
    ASSERT_TRUE(P.View->ExportCsv(Path));
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    const QList<QByteArray> Lines = File.readAll().split('\n');
    ASSERT_EQ(Lines.size(), 1 + 4 + 2 + 1) << "header, four hops, two addresses of hop 2";
    EXPECT_TRUE(Lines[1].startsWith("1," + Router1.toUtf8() + ",r1.zk.invalid,100.0,"));
}

INSTANTIATE_TEST_SUITE_P(
    , ContinuousTraceNetwork,
    ::testing::Values(TCase{"probes dropped on their way",
                            "forward",
                            "echo-request",
                            {3, 4},
                            "La perdita inizia al salto 3."},
                      TCase{"a router drops its own answers",
                            "output",
                            "time-exceeded",
                            {2},
                            "Il salto 2 perde risposte ma la destinazione risponde: quel router "
                            "limita le sue risposte, non è un guasto."}),
    [](const auto& AInfo) { return AInfo.index == 0 ? "LossGoesOn" : "LossStopsAtARouter"; });

TEST_F(ContinuousTraceNetwork, TheTableEndsAtTheHopThatReportsTheHostUnreachable) {
    Net = std::make_unique<TTestNetwork>(
        TTestNetworkOptions{.SecondRouter = true, .UnreachableRoute = true, .IPv6 = true});
    TNetNamespaceScope InClient(*Net->Client());
    for (const bool IPv6 : {false, true}) {
        SCOPED_TRACE(IPv6 ? "IPv6" : "IPv4");
        TPage P;
        P.Host->setText(
            QString::fromStdString(IPv6 ? Net->UnreachableAddress6() : Net->UnreachableAddress()));
        P.Continuo->click();
        // Past the probes' timeout, so that more than 10 have ended (over IPv4 the router
        // holds most of its reports back: the kernel's limit).
        EXPECT_TRUE(QTest::qWaitFor([&] { return P.View->Trace().Rounds() >= 60; }, 20000));
        P.Continuo->click();
        QTest::qWait(50);
        ASSERT_EQ(P.View->Table()->topLevelItemCount(), 1);
        EXPECT_EQ(P.Cell(0, TTraceTable::AddressColumn),
                  QString::fromStdString(IPv6 ? Net->RouterAddress6() : Net->RouterAddress()));
        EXPECT_EQ(P.View->Verdict()->text(),
                  QStringLiteral("La destinazione non è raggiungibile: il salto 1 la dichiara "
                                 "irraggiungibile."));
    }
}

TEST_F(ContinuousTraceNetwork, AHostNotFoundEndsItWithTheErrorBox) {
    TNetNamespaceScope InClient(*Net->Client());
    TPage P;
    P.Host->setText(QStringLiteral("nessuno.zk.invalid"));
    P.Continuo->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !P.Errors.isEmpty(); }, 20000));
    EXPECT_FALSE(P.Continuo->isChecked());
    EXPECT_FALSE(P.View->Trace().Running());
    EXPECT_EQ(P.View->Table()->topLevelItemCount(), 0);
}

} // namespace
