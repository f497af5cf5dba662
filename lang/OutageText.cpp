// SPDX-License-Identifier: GPL-3.0-or-later
#include "OutageText.h"

#include <QCoreApplication>

#include <algorithm>

namespace OutageText {

namespace {

std::string Words(const char* Source, const QString& A) {
    return QCoreApplication::translate("OutageText", Source).arg(A).toStdString();
}

QString Number(int64_t Value, int Width = 0) {
    return QStringLiteral("%1").arg(static_cast<qlonglong>(Value), Width, 10, QLatin1Char('0'));
}

QString Pair(const char* Source, int64_t Big, int64_t Small, int SmallWidth = 0) {
    return QCoreApplication::translate("OutageText", Source).arg(Number(Big), Number(Small, SmallWidth));
}

} // namespace

std::string Span(int64_t Ms) {
    const int64_t S = Ms > 0 ? (Ms + 500) / 1000 : 0;
    if (S < 60) {
        return QCoreApplication::translate("OutageText", "%1 s").arg(Number(S)).toStdString();
    }
    if (S < 3600) {
        return Pair(QT_TRANSLATE_NOOP("OutageText", "%1 min %2 s"), S / 60, S % 60).toStdString();
    }
    if (S < 86400) {
        return Pair(QT_TRANSLATE_NOOP("OutageText", "%1 h %2 min"), S / 3600, S / 60 % 60, 2).toStdString();
    }
    return Pair(QT_TRANSLATE_NOOP("OutageText", "%1 g %2 h"), S / 86400, S / 3600 % 24).toStdString();
}

std::string Duration(const TOutage& Outage) {
    // The uncertainty never shows as nought: the brackets are never empty.
    const QString Plain = QCoreApplication::translate("OutageText", "%1 ± %2")
                              .arg(QString::fromStdString(Span(Outage.DurationMs)),
                                   QString::fromStdString(
                                       Span(std::max<int64_t>(Outage.UncertaintyMs, 1000))));
    std::string Text = Plain.toStdString();
    if (!Outage.StartFromMs) {
        Text = Words(QT_TRANSLATE_NOOP("OutageText", "almeno %1"), Plain);
    }
    if (Outage.End == TOutageEnd::Unknown) {
        Text = Words(QT_TRANSLATE_NOOP("OutageText", "%1 (fine sconosciuta)"),
                     QString::fromStdString(Text));
    }
    return Text;
}

std::string DownSummary(const std::string& Host) {
    return Words(QT_TRANSLATE_NOOP("OutageText", "Zirko: %1 non risponde"),
                 QString::fromStdString(Host));
}

std::string DownBody(const TOutage& Outage) {
    const char* Source = Outage.Lost == 1 ? QT_TRANSLATE_NOOP("OutageText", "Da %1, %2 ping perso")
                                          : QT_TRANSLATE_NOOP("OutageText", "Da %1, %2 ping persi");
    return QCoreApplication::translate("OutageText", Source)
        .arg(QString::fromStdString(Span(Outage.DurationMs)), Number(Outage.Lost))
        .toStdString();
}

std::string RecoveredSummary(const TOutage& Outage) {
    return QCoreApplication::translate("OutageText", "%1 risponde di nuovo dopo %2")
        .arg(QString::fromStdString(Outage.Host), QString::fromStdString(Span(Outage.DurationMs)))
        .toStdString();
}

std::string UnknownEndSummary(const TOutage& Outage) {
    if (Outage.Kind == TOutageKind::Slow) {
        return Words(QT_TRANSLATE_NOOP("OutageText",
                                       "%1: monitoraggio sospeso durante il rallentamento"),
                     QString::fromStdString(Outage.Host));
    }
    return Words(QT_TRANSLATE_NOOP("OutageText", "%1: monitoraggio sospeso durante l'interruzione"),
                 QString::fromStdString(Outage.Host));
}

std::string SlowSummary(const std::string& Host) {
    return Words(QT_TRANSLATE_NOOP("OutageText", "Zirko: %1 risponde lentamente"),
                 QString::fromStdString(Host));
}

std::string SlowBody(const TOutage& Period) {
    return Words(QT_TRANSLATE_NOOP("OutageText", "Da %1 la media supera il limite"),
                 QString::fromStdString(Span(Period.DurationMs)));
}

std::string SlowEndedSummary(const TOutage& Period) {
    return QCoreApplication::translate("OutageText", "%1 risponde di nuovo nel limite dopo %2")
        .arg(QString::fromStdString(Period.Host), QString::fromStdString(Span(Period.DurationMs)))
        .toStdString();
}

std::string KindText(const TOutage& Outage) {
    return Outage.Kind == TOutageKind::Slow
               ? QCoreApplication::translate("OutageText", "lento").toStdString()
               : QCoreApplication::translate("OutageText", "non risponde").toStdString();
}

} // namespace OutageText
