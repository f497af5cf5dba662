// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TNetIcmpClient.h"
#include "TTracePage.h"
#include "TTraceRunner.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <QWidget>

#include <memory>
#include <ostream>
#include <vector>

// Readable row texts in failure messages.
inline void PrintTo(const QString& AText, std::ostream* AOut) {
    *AOut << '"' << AText.toStdString() << '"';
}

// The Traceroute page's controls as the window defines them, without the window.
class TTracePageFixture {
public:
    explicit TTracePageFixture(const TClock& Clock = TClock::System()) {
        Page.Clock = &Clock;
        Page.e_host = new QLineEdit(&Window);
        Page.seMaxHops = new QSpinBox(&Window);
        Page.seMaxHops->setRange(1, 255);
        Page.seMaxHops->setValue(30);
        Page.btn_execute = new QPushButton(QStringLiteral("Esegui"), &Window);
        Page.lvTrace = new QTreeWidget(&Window);
        Page.lvTrace->setHeaderLabels(
            {QStringLiteral("Hop #"), QStringLiteral("IP"), QStringLiteral("Note")});
        Page.NetIcmpClient = &Client;
        Runner = std::make_unique<TTraceRunner>(Page);
        QObject::connect(Page.btn_execute, &QPushButton::clicked, Runner.get(),
                         &TTraceRunner::btn_executeClick);
    }

    // Every row as "caption|IP|Note".
    std::vector<QString> Rows() const {
        std::vector<QString> rows;
        for (int i = 0; i < Page.lvTrace->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = Page.lvTrace->topLevelItem(i);
            QStringList cells;
            for (int column = 0; column < item->columnCount(); ++column) {
                cells << item->text(column);
            }
            rows.push_back(cells.join(u'|'));
        }
        return rows;
    }

    void AddRow(const QStringList& Cells) { new QTreeWidgetItem(Page.lvTrace, Cells); }

    QWidget Window;
    TNetContext Net;
    TNetIcmpClient Client{Net};
    TTracePage Page;
    std::unique_ptr<TTraceRunner> Runner;
};
