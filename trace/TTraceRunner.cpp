// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTraceRunner.h"

#include "THopRow.h"
#include "TLocaleFormats.h"
#include "TNetIcmpClient.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

constexpr int32_t HopReceiveTimeoutMs = 5000;
constexpr int IpColumn = 1;
constexpr int NoteColumn = 2;

} // namespace

TTraceRunner::TTraceRunner(const TTracePage& APage, QObject* parent)
    : QObject(parent), Page(APage) {}

void TTraceRunner::btn_executeClick() {
    TraceExecute();
}

void TTraceRunner::TraceExecute() {
    // Pending messages may start a nested run (this one then goes on with the
    // rows it finds) or destroy the page (this one then ends).
    const QPointer<TTraceRunner> self(this);
    const QPointer<QTreeWidget> list(Page.lvTrace);

    list->clear();
    for (int32_t hop = 1;; ++hop) {
        TNetIcmpClient& client = *Page.NetIcmpClient;
        client.SetHost(Page.e_host->text().toStdString());
        client.SetTTL(hop);
        client.SetReceiveTimeout(HopReceiveTimeoutMs);
        client.Ping();

        QTreeWidgetItem* item = FindOrAddHopItem(hop);
        for (int column = IpColumn; column < item->columnCount(); ++column) {
            item->setData(column, Qt::DisplayRole, QVariant());
        }
        const THopRow row = THopRow::ForReply(
            client.ReplyStatus(), [this] { return TLocaleFormats::Stamp(*Page.Clock).Joined(); });
        item->setText(IpColumn, row.IP);
        // An IPv6 address is wider than the column, which keeps its width: the whole
        // address is in the tooltip and the accessible text.
        item->setToolTip(IpColumn, row.IP);
        item->setData(IpColumn, Qt::AccessibleTextRole, row.IP);
        item->setText(NoteColumn, row.Note);
        if (row.Next == TTraceNext::Stop) {
            return;
        }

        QCoreApplication::processEvents();
        if (self.isNull() || list.isNull() || row.Next == TTraceNext::Reached) {
            return;
        }
        const int32_t maxHops =
            THopRow::MaxHopsOf(Page.seMaxHops->cleanText(), Page.seMaxHops->minimum());
        if (!THopRow::HasNextHop(hop, maxHops)) {
            return;
        }
    }
}

QTreeWidgetItem* TTraceRunner::FindOrAddHopItem(int32_t Hop) {
    QTreeWidget* list = Page.lvTrace;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (THopRow::HopNumberOf(item->text(0)) == Hop) {
            return item;
        }
    }
    // Owned by the list from here on.
    return new QTreeWidgetItem(list, QStringList{QString::number(Hop)});
}
