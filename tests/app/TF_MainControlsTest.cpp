// SPDX-License-Identifier: GPL-3.0-or-later
#include "TValueLabel.h"
#include "TWindowFixture.h"

#include "TAgente.h"
#include "TGraphPage.h"
#include "TImageList.h"
#include "TLatencyView.h"
#include "TNetIcmpClient.h"
#include "TTargetsPage.h"
#include "TTrayIcon.h"
#include <QMenu>

#include <QAccessible>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using TWindowControls = TWindowFixture;

struct TSpinnerCase {
    const char* UpDown;
    const char* Edit; // empty for the spin edit, which is one control
    int Minimum;
    int Maximum;
    int Step;
    int Position;
    const char* Text;
};

const TSpinnerCase Spinners[] = {
    {"ud_minuti", "e_minuti", 1, 60, 1, 1, "1"},
    {"ud_ogni", "e_ogni", 1, 60, 1, 5, "5"},
    {"ud_limite_media_ms", "e_limite_media_ms", 10, 10000, 10, 250, "250"},
    {"ud_pacchetti_persi", "e_pacchetti_persi", 1, 1000, 1, 10, "10"},
    {"seMaxHops", "", 1, 255, 1, 30, "30"},
};

TEST_F(TWindowControls, SpinnersStartAtTheirPositionsWithTheirRangesAndSteps) {
    MakeTracePage();
    for (const TSpinnerCase& c : Spinners) {
        SCOPED_TRACE(c.UpDown);
        auto* spinner = Find<QSpinBox>(c.UpDown);
        ASSERT_NE(spinner, nullptr);
        EXPECT_EQ(spinner->minimum(), c.Minimum);
        EXPECT_EQ(spinner->maximum(), c.Maximum);
        EXPECT_EQ(spinner->singleStep(), c.Step);
        EXPECT_EQ(spinner->value(), c.Position);
        EXPECT_EQ(spinner->text(), QLatin1String(c.Text));
        EXPECT_FALSE(spinner->wrapping());
        if (*c.Edit != '\0') {
            auto* edit = Find<QLineEdit>(c.Edit);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->parentWidget(), spinner) << "the edit and its up-down are one control";
            EXPECT_EQ(edit->text(), QLatin1String(c.Text));
            EXPECT_TRUE(spinner->isGroupSeparatorShown());
        }
    }
    // The members are the named controls.
    EXPECT_EQ(Window->ud_minuti, Find<QSpinBox>("ud_minuti"));
    EXPECT_EQ(Window->e_minuti, Find<QLineEdit>("e_minuti"));
    EXPECT_EQ(Window->e_pacchetti_persi, Find<QLineEdit>("e_pacchetti_persi"));
    EXPECT_EQ(Window->seMaxHops, Find<QSpinBox>("seMaxHops"));
}

TEST_F(TWindowControls, SpinnersTakeArrowKeysWithoutWrappingAndKeepTheLastValidValue) {
    MakeTracePage();
    for (const TSpinnerCase& c : Spinners) {
        SCOPED_TRACE(c.UpDown);
        auto* spinner = Find<QSpinBox>(c.UpDown);
        ASSERT_NE(spinner, nullptr);
        QTest::keyClick(spinner, Qt::Key_Up);
        EXPECT_EQ(spinner->value(), c.Position + c.Step);
        QTest::keyClick(spinner, Qt::Key_Down);
        EXPECT_EQ(spinner->value(), c.Position);

        spinner->setValue(c.Maximum);
        QTest::keyClick(spinner, Qt::Key_Up);
        EXPECT_EQ(spinner->value(), c.Maximum) << "no wrap past the top";
        spinner->setValue(c.Minimum);
        QTest::keyClick(spinner, Qt::Key_Down);
        EXPECT_EQ(spinner->value(), c.Minimum) << "no wrap past the bottom";

        // Typed text moves the position while it is valid ...
        auto* edit = spinner->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QString::number(c.Minimum + c.Step));
        EXPECT_EQ(spinner->value(), c.Minimum + c.Step);
        // ... and text that is no number leaves the last valid position.
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QString());
        EXPECT_EQ(spinner->value(), c.Minimum + c.Step);
        QTest::keyClicks(edit, QStringLiteral("x"));
        EXPECT_EQ(spinner->value(), c.Minimum + c.Step);
    }
}

TEST_F(TWindowControls, SpinnersShowTheLocaleThousandsSeparator) {
    Window.reset();
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    CreateWindow();
    Window->ud_limite_media_ms->setValue(10000);
    EXPECT_EQ(Window->e_limite_media_ms->text(), QStringLiteral("10.000"));
    Window->ud_pacchetti_persi->setValue(1000);
    EXPECT_EQ(Window->e_pacchetti_persi->text(), QStringLiteral("1.000"));
    Window->e_limite_media_ms->selectAll();
    QTest::keyClicks(Window->e_limite_media_ms, QStringLiteral("2.500"));
    EXPECT_EQ(Window->ud_limite_media_ms->value(), 2500);
    QLocale::setDefault(saved);
}

struct TTextCase {
    const char* Name;
    const char* Text;
};

TEST_F(TWindowControls, LabelsAndButtonsCarryTheirCaptions) {
    // The Traceroute page is made once, when first shown.
    EXPECT_EQ(Window->findChild<QSplitter*>(), nullptr);
    MakeTracePage();
    MakeTracePage();
    EXPECT_EQ(Window->findChildren<QSpinBox*>(QStringLiteral("seMaxHops")).size(), 1);
    const TTextCase labels[] = {
        {"Label1", "Indirizzo/host:"},     {"Label2", "Esegui per minuti:"},
        {"Label3", "Ogni minuti:"},        {"Label4", "Tempi medi di risposta:"},
        {"Label5", "Max number of hops:"}, {"Label6", "Pacchetti persi:"},
        {"Label7", "Limite ms media:"},    {"Label8", "N. ping:"},
        {"Label9", "Allarme dopo:"},       {"Label11", "% persi:"},
        {"Label12", "Tot. time:"},         {"l_pacchetti_persi", "Attenzione parcchetti persi !!!"},
    };
    for (const TTextCase& c : labels) {
        auto* label = Find<QLabel>(c.Name);
        ASSERT_NE(label, nullptr) << c.Name;
        EXPECT_EQ(label->text(), QString::fromUtf8(c.Text)) << c.Name;
    }
    const TTextCase buttons[] = {
        {"btn_ping", "5 Ping"},
        {"btn_auto", "Auto"},
        {"btn_clear_log", "Clear log"},
        {"btn_execute", "Esegui"},
    };
    for (const TTextCase& c : buttons) {
        auto* button = Find<QPushButton>(c.Name);
        ASSERT_NE(button, nullptr) << c.Name;
        EXPECT_EQ(button->text(), QString::fromUtf8(c.Text)) << c.Name;
        EXPECT_TRUE(button->isEnabled()) << c.Name;
    }
    Window->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Window->btn_ping->size(), QSize(75, 17));
    Window->PageControl1->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window->btn_execute->size(), QSize(75, 25));
    // The plot page, made when first shown, leaves the window its size.
    const QSize client = Window->size();
    Window->PageControl1->setCurrentIndex(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window->size(), client);
    // Its limit line follows the Ping page's setting.
    ASSERT_NE(Window->TabSheet3->View(), nullptr);
    Window->ud_limite_media_ms->setValue(4000);
    EXPECT_GE(Window->TabSheet3->View()->TopMs(), 4000);
    // So is the targets' page, made with the file it is given.
    EXPECT_EQ(Window->TargetsPage, nullptr);
    Window->PageControl1->setCurrentIndex(3);
    QCoreApplication::processEvents();
    ASSERT_NE(Window->TargetsPage, nullptr);
    EXPECT_EQ(Window->TargetsPage->Store().Path(), TargetsFile());
    EXPECT_EQ(Window->size(), client);
    Window->PageControl1->setCurrentIndex(0);

    ASSERT_EQ(Window->PageControl1->count(), 4);
    EXPECT_EQ(Window->PageControl1->tabText(0), QStringLiteral("Ping"));
    EXPECT_EQ(Window->PageControl1->tabText(1), QStringLiteral("Traceroute"));
    EXPECT_EQ(Window->PageControl1->tabText(2), QStringLiteral("Grafico"));
    EXPECT_EQ(Window->PageControl1->tabText(3), QStringLiteral("Bersagli"));
    EXPECT_EQ(Window->PageControl1->widget(0), Window->TabSheet1);
    EXPECT_EQ(Window->PageControl1->currentIndex(), 0);
    EXPECT_FALSE(Window->e_host->text().trimmed().isEmpty());
}

TEST_F(TWindowControls, TrayMenuHoldsItsFourItemsInOrder) {
    const QList<QAction*> items = Window->pum_trayicon->actions();
    ASSERT_EQ(items.size(), 4);
    const char* names[] = {"pum_trayicon_Nascondi", "pum_trayicon_Ripristina", "N1",
                           "pum_trayicon_Chiudi"};
    const char* texts[] = {"Nascondi", "Ripristina", "", "Chiudi"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i]->objectName(), QLatin1String(names[i]));
        EXPECT_EQ(items[i]->text(), QLatin1String(texts[i]));
        EXPECT_EQ(items[i]->isSeparator(), i == 2);
        EXPECT_TRUE(items[i]->isEnabled());
        EXPECT_FALSE(items[i]->isCheckable());
    }
    EXPECT_EQ(Window->pum_trayicon->defaultAction(), nullptr);
}

TEST_F(TWindowControls, ValueLabelsStartEmptyAndTheWarningHidden) {
    const char* names[] = {"l_tempi_medi", "l_n_ping", "l_tot_time", "l_n_pacchetti_persi",
                           "l_perc_persi"};
    Window->show();
    QCoreApplication::processEvents();
    for (const char* name : names) {
        auto* label = Find<TValueLabel>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), QString()) << name;
        EXPECT_EQ(label->width(), 89) << name;
        EXPECT_TRUE(label->alignment() & Qt::AlignRight) << name;
        EXPECT_TRUE(label->autoFillBackground()) << name;
    }
    EXPECT_TRUE(Window->l_pacchetti_persi->isHidden());
}

TEST_F(TWindowControls, WindowAndListsCarryTheirSettings) {
    MakeTracePage();
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Zirko"));
    EXPECT_EQ(Window->size(), QSize(TF_Main::ClientWidth, TF_Main::ClientHeight));
    EXPECT_EQ(Window->minimumSize(), Window->maximumSize()) << "fixed size";
    const Qt::WindowFlags flags = Window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
    EXPECT_EQ(F_Main, Window.get());
    EXPECT_EQ(Window->P_bottoni->height(), 113);
    EXPECT_EQ(Window->Panel4->height(), 41);

    EXPECT_FALSE(Window->re_ping->isUndoRedoEnabled());
    EXPECT_FALSE(Window->re_ping->isReadOnly());
    EXPECT_EQ(Window->re_ping->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(Window->re_ping->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(Window->re_ping->maximumBlockCount(), 0);
    EXPECT_TRUE(Window->re_ping->toPlainText().isEmpty());

    QTreeWidget* trace = Window->lvTrace;
    ASSERT_EQ(trace->columnCount(), 3);
    const char* headers[] = {"Hop #", "IP", "Note"};
    const int widths[] = {50, 100, 150};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(trace->headerItem()->text(i), QLatin1String(headers[i]));
        EXPECT_EQ(trace->columnWidth(i), widths[i]);
    }
    EXPECT_FALSE(trace->isSortingEnabled());
    EXPECT_FALSE(trace->rootIsDecorated());
    EXPECT_EQ(trace->topLevelItemCount(), 0);
    EXPECT_EQ(Window->lbLog->count(), 0);
    EXPECT_EQ(Window->Splitter1->handleWidth(), 3);
    EXPECT_EQ(Window->Splitter1->widget(0), trace);
    EXPECT_EQ(Window->Splitter1->widget(1), Window->lbLog);

    // 8-point fonts; the log pane's is fixed-pitch.
    EXPECT_EQ(Window->font().pointSize(), 8);
    EXPECT_EQ(Window->re_ping->font().pointSize(), 8);
    const QFontMetrics pane(Window->re_ping->font());
    EXPECT_EQ(pane.horizontalAdvance(QLatin1Char('i')), pane.horizontalAdvance(QLatin1Char('M')));

    // Once laid out the hop list and the log list keep their widths.
    Window->PageControl1->setCurrentIndex(1);
    Window->show();
    QCoreApplication::processEvents();
    EXPECT_NEAR(trace->width(), 465, 8);
    EXPECT_NEAR(Window->lbLog->width(), 310, 8);
    // Nothing writes to the log list, but its rows are 13 pixels high.
    Window->lbLog->addItem(QStringLiteral("row"));
    EXPECT_EQ(Window->lbLog->visualItemRect(Window->lbLog->item(0)).height(), 13);
}

TEST_F(TWindowControls, ComponentsCarryTheirSettings) {
    EXPECT_EQ(Window->ICMP->ReceiveTimeout(), 1000);
    EXPECT_TRUE(static_cast<bool>(Window->ICMP->OnReply));
    EXPECT_EQ(Window->NetIcmpClient->ReceiveTimeout(), 0);
    EXPECT_FALSE(static_cast<bool>(Window->NetIcmpClient->OnReply));

    const QTimer* timers[] = {Window->T_Minuti, Window->T_Ogni, Window->Timer};
    const int intervals[] = {1000, 1000, 2000};
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(timers[i]->isActive()) << i;
        EXPECT_EQ(timers[i]->interval(), intervals[i]) << i;
    }

    const TAgente& agent = *Window->Agente;
    EXPECT_EQ(agent.FileName(), "ZIRKO");
    EXPECT_EQ(agent.ApplicationName(), "Zirko");
    EXPECT_TRUE(agent.ActiveLog());
    EXPECT_TRUE(agent.BackupLog());
    EXPECT_EQ(agent.LogFileName(), Folder.filePath(QStringLiteral("ZIRKO.LOG")).toStdString());

    EXPECT_EQ(Window->TrayIcon->IconList(), Window->il_radar);
    EXPECT_EQ(Window->il_radar->Count(), 3);
    EXPECT_EQ(Window->TrayIcon->IconIndex(), 0);
    EXPECT_TRUE(Window->TrayIcon->IconVisible());
    EXPECT_EQ(Window->TrayIcon->PopupMenu(), Window->pum_trayicon);
    EXPECT_EQ(Window->TrayIcon->CycleInterval(), 0u);
    EXPECT_FALSE(Window->TrayIcon->CycleIcons());
    EXPECT_TRUE(static_cast<bool>(Window->TrayIcon->OnClick));

    // Creating the window started the log, once, and did not shut it down.
    const QString log = LogText();
    EXPECT_EQ(log.count(QStringLiteral("Start Up AGENTE")), 1);
    EXPECT_EQ(log.count(QStringLiteral("|Who: Zirko\r\n")), 1);
    EXPECT_EQ(log.count(QStringLiteral("ShutDown")), 0);
}

TEST_F(TWindowControls, TabWalksThePanelInItsOrderThenTheLog) {
    Window->show();
    QApplication::setActiveWindow(Window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    const QWidget* expected[] = {
        Window->e_host,        Window->btn_ping,           Window->ud_minuti,
        Window->ud_ogni,       Window->btn_auto,           Window->ud_limite_media_ms,
        Window->btn_clear_log, Window->ud_pacchetti_persi, Window->re_ping};
    Window->e_host->setFocus(Qt::TabFocusReason);
    for (const QWidget* want : expected) {
        QWidget* focus = QApplication::focusWidget();
        // A spinner's own edit holds the focus for it.
        if (focus != nullptr && qobject_cast<QSpinBox*>(focus->parentWidget()) != nullptr) {
            focus = focus->parentWidget();
        }
        EXPECT_EQ(focus, want) << "expected " << want->objectName().toStdString() << ", got "
                               << (focus ? focus->objectName().toStdString() : "nothing");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }

    Window->PageControl1->setCurrentIndex(1);
    const QWidget* traceOrder[] = {Window->seMaxHops, Window->btn_execute, Window->lvTrace,
                                   Window->lbLog};
    Window->seMaxHops->setFocus(Qt::TabFocusReason);
    for (const QWidget* want : traceOrder) {
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && qobject_cast<QSpinBox*>(focus->parentWidget()) != nullptr) {
            focus = focus->parentWidget();
        }
        EXPECT_EQ(focus, want) << want->objectName().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(TWindowControls, AssistiveTechnologyFindsEveryControlByName) {
    MakeTracePage();
    const TTextCase names[] = {
        {"e_host", "Indirizzo/host:"},
        {"ud_minuti", "Esegui per minuti:"},
        {"e_minuti", "Esegui per minuti:"},
        {"ud_ogni", "Ogni minuti:"},
        {"ud_limite_media_ms", "Limite ms media:"},
        {"ud_pacchetti_persi", "Allarme dopo:"},
        {"e_pacchetti_persi", "Allarme dopo:"},
        {"seMaxHops", "Max number of hops:"},
        {"l_tempi_medi", "Tempi medi di risposta:"},
        {"l_n_ping", "N. ping:"},
        {"l_tot_time", "Tot. time:"},
        {"l_n_pacchetti_persi", "Pacchetti persi:"},
        {"l_perc_persi", "% persi:"},
        {"btn_ping", "5 Ping"},
        {"btn_auto", "Auto"},
        {"btn_clear_log", "Clear log"},
        {"btn_execute", "Esegui"},
        {"re_ping", "Log ping"},
        {"lvTrace", "Traceroute hops"},
        {"lbLog", "Traceroute log"},
    };
    for (const TTextCase& c : names) {
        QWidget* widget = Find<QWidget>(c.Name);
        ASSERT_NE(widget, nullptr) << c.Name;
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(node, nullptr) << c.Name;
        EXPECT_EQ(node->text(QAccessible::Name), QString::fromUtf8(c.Text)) << c.Name;
    }
    // Each value label is related to the caption in front of it, which tells
    // it apart from that caption (both carry the same name).
    const std::pair<QWidget*, QLabel*> labelled[] = {
        {Window->l_n_ping, Window->Label8},
        {Window->l_perc_persi, Window->Label11},
        {Window->ud_ogni, Window->Label3},
        {Window->seMaxHops, Window->Label5},
    };
    for (const auto& [control, caption] : labelled) {
        const auto relations =
            QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label);
        ASSERT_EQ(relations.size(), 1) << control->objectName().toStdString();
        EXPECT_EQ(relations[0].first->object(), caption);
    }
    // A button is announced by its caption also after the caption changes.
    Window->btn_auto->setText(QStringLiteral("Ferma auto"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(Window->btn_auto)->text(QAccessible::Name),
              QStringLiteral("Ferma auto"));
}

// What the monitoring code does to a value label, in each window state.
TEST_F(TWindowControls, ValueLabelDescriptionFollowsItsTextAtEveryChange) {
    using TChange = std::function<void(QLabel&)>;
    const std::pair<const char*, TChange> changes[] = {
        {"setText", [](QLabel& l) { l.setText(QStringLiteral("12")); }},
        {"setNum", [](QLabel& l) { l.setNum(7); }},
        {"setText decimal", [](QLabel& l) { l.setText(QStringLiteral("   3,50")); }},
        {"setText empty", [](QLabel& l) { l.setText(QString()); }},
        {"setText again", [](QLabel& l) { l.setText(QStringLiteral("100")); }},
        {"clear", [](QLabel& l) { l.clear(); }},
    };
    const std::pair<const char*, std::function<void()>> states[] = {
        {"never shown", [] {}},
        {"shown", [this] { Window->show(); }},
        {"hidden", [this] { Window->hide(); }},
        {"minimized",
         [this] {
             Window->show();
             Window->setWindowState(Qt::WindowMinimized);
             QCoreApplication::processEvents();
         }},
    };
    QLabel* labels[] = {Window->l_tempi_medi, Window->l_n_ping, Window->l_tot_time,
                        Window->l_n_pacchetti_persi, Window->l_perc_persi};
    for (const auto& [stateName, enter] : states) {
        enter();
        for (const auto& [changeName, change] : changes) {
            for (QLabel* label : labels) {
                change(*label);
                SCOPED_TRACE(std::string(stateName) + ", " + changeName + ", " +
                             label->objectName().toStdString());
                EXPECT_EQ(label->accessibleDescription(), label->text());
                EXPECT_EQ(
                    QAccessible::queryAccessibleInterface(label)->text(QAccessible::Description),
                    label->text());
                EXPECT_FALSE(label->accessibleName().isEmpty());
            }
        }
    }
}

} // namespace
