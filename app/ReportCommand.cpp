// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReportCommand.h"

#include "LogFolder.h"
#include "THistoryStore.h"
#include "TLanguage.h"
#include "TReportData.h"
#include "TReportPdf.h"
#include "TVersionInfo.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>

namespace {

constexpr qint64 DefaultSpanMs = 24LL * 60 * 60 * 1000;

// "YYYY-MM-DD" (midnight) or "YYYY-MM-DDTHH:MM", local time.
std::optional<qint64> ReadWhen(const std::string& Text) {
    const QString Value = QString::fromStdString(Text);
    QDateTime At = QDateTime::fromString(Value, QStringLiteral("yyyy-MM-dd'T'HH:mm"));
    if (!At.isValid()) {
        At = QDateTime(QDate::fromString(Value, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
    }
    return At.isValid() ? std::optional<qint64>(At.toMSecsSinceEpoch()) : std::nullopt;
}

std::string Minute(qint64 Ms) {
    return QDateTime::fromMSecsSinceEpoch(Ms).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm")).toStdString();
}

} // namespace

int RunReport(int argc, char** argv, const TZirkoOptions& Options, std::ostream& Err) {
    const qint64 NowMs = QDateTime::currentMSecsSinceEpoch();
    const auto To = Options.To ? ReadWhen(*Options.To) : std::optional<qint64>(NowMs);
    const auto From = Options.From ? ReadWhen(*Options.From)
                                   : (To ? std::optional<qint64>(*To - DefaultSpanMs) : To);
    if (!From || !To) {
        Err << TLanguage::Utf8("Zirko", QT_TRANSLATE_NOOP("Zirko", "zirko: --from and --to need "
                                                            "YYYY-MM-DD or YYYY-MM-DDTHH:MM (see "
                                                            "zirko --help)"))
            << "\n";
        return 2;
    }
    // No history at all and none of the host in the range are the same to the user.
    THistoryStore Store;
    std::optional<TReportData> Data;
    if (Store.OpenForReading(LogFolder())) {
        Data = GatherReport(Store, {*Options.Host, *From, *To, NowMs});
    }
    if (!Data) {
        Err << TLanguage::Text("Zirko", QT_TRANSLATE_NOOP("Zirko", "zirko: no ping of %1 in the "
                                                               "history from %2 to %3"))
                   .arg(QString::fromStdString(*Options.Host), QString::fromStdString(Minute(*From)),
                        QString::fromStdString(Minute(*To)))
                   .toStdString()
            << "\n";
        return 2;
    }
    // Text and painting need a platform; offscreen needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication Application(argc, argv);
    TLanguage::Install();
    QString Error;
    const QString Out = QString::fromStdString(*Options.Out);
    if (!WriteReportPdf(*Data, Out, QString::fromLatin1(ZirkoVersionInfo().FileVersion), NowMs,
                        Error)) {
        QFile::remove(Out);
        Err << "zirko: " << Error.toStdString() << "\n";
        return 1;
    }
    return 0;
}
