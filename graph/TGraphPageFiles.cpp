// SPDX-License-Identifier: GPL-3.0-or-later
// The page's files: the image, the CSV, the report, and the boxes that ask and warn.
#include "TGraphPage.h"

#include "TClock.h"
#include "TCsvExport.h"
#include "TGraphHistory.h"
#include "TGraphReport.h"
#include "TGraphTargets.h"
#include "THistoryStore.h"
#include "TOutagePanel.h"
#include "TPlotView.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>

bool TGraphPage::ClearHistory() {
    if (!ReadsHistory()) {
        return false;
    }
    const QString Question =
        tr("Cancellare tutta la cronologia dei ping? Non si potrà recuperare.");
    const bool Yes = FQuestionBox
                         ? FQuestionBox(Question)
                         : QMessageBox::question(window(), QCoreApplication::applicationName(),
                                                 Question) == QMessageBox::Yes;
    if (!Yes) {
        return false;
    }
    const bool Cleared = FStore->Clear();
    if (Cleared) {
        FOutagePanel->SetOutages({});
        // This run's pings were in it too; they would come back if the store failed later.
        FHistory.Clear();
        FMemory.Reset();
    }
    Refresh();
    return Cleared;
}

bool TGraphPage::SaveImage(const QString& Path) {
    CreateView();
    Refresh();
    QByteArray Png;
    QBuffer Buffer(&Png);
    Buffer.open(QIODevice::WriteOnly);
    if (FView == nullptr) {
        return false; // no chart module: the reason went to stderr
    }
    FView->Widget()->grab().save(&Buffer, "PNG");
    return WriteOrReport(Path, Png, tr("Impossibile salvare l'immagine %1: %2"));
}

bool TGraphPage::ExportCsv(const QString& Path) {
    const auto [FromMs, ToMs] = ShownSpan();
    QByteArray Csv;
    if (const auto Target = FTargets->Selected()) {
        // The shown target's pings, as the plot has them.
        const TPingHistory Pings = FTargets->History(*Target);
        const auto [First, Last] = Pings.Range(FromMs, ToMs);
        Csv = TCsvExport::Text(Pings, First, Last);
    } else if (ReadsHistory()) {
        Csv = TGraphHistory::Csv(*FStore, FromMs, ToMs + 1);
    }
    // A store that failed just now exports this run's pings rather than nothing.
    if (!FTargets->Selected() && !ReadsHistory()) {
        const auto [First, Last] = FHistory.Range(FromMs, ToMs);
        Csv = TCsvExport::Text(FHistory, First, Last);
    }
    return WriteOrReport(Path, Csv, tr("Impossibile esportare il CSV %1: %2"));
}
bool TGraphPage::WriteOrReport(const QString& Path, const QByteArray& Bytes,
                               const QString& Failure) {
    const QString Reason = TCsvExport::WriteFile(Path, Bytes);
    if (!Reason.isEmpty()) {
        ReportError(Failure.arg(QDir::toNativeSeparators(Path), Reason));
        return false;
    }
    return true;
}

void TGraphPage::ReportError(const QString& Message) {
    if (FErrorBox) {
        FErrorBox(Message);
        return;
    }
    QMessageBox Box(QMessageBox::Critical, QCoreApplication::applicationName(), Message,
                    QMessageBox::Ok, window());
    Box.exec();
}

void TGraphPage::SaveImageClick() {
    const QString Path = AskPath(tr("Salva immagine"), QStringLiteral("png"));
    if (!Path.isEmpty()) {
        SaveImage(Path);
    }
}

void TGraphPage::ExportCsvClick() {
    const QString Path = AskPath(tr("Esporta CSV"), QStringLiteral("csv"));
    if (!Path.isEmpty()) {
        ExportCsv(Path);
    }
}

bool TGraphPage::WriteReport(const QString& Path, const std::string& Host, qint64 FromMs,
                             qint64 ToMs) {
    QString Error = ReadsHistory() ? tr("nessun ping nella cronologia per questo "
                                        "intervallo.")
                                   : tr("la cronologia non è aperta.");
    if (ReadsHistory() && !Host.empty() &&
        TGraphReport::Write(*FStore, Host, FromMs, ToMs, Clock().WallMs(), Path, Error)) {
        return true;
    }
    ReportError(tr("Impossibile scrivere il rapporto %1: %2")
                    .arg(QDir::toNativeSeparators(Path), Error));
    return false;
}

std::string TGraphPage::ShownHost() const {
    if (!ReadsHistory()) {
        return {};
    }
    const auto [FromMs, ToMs] = ShownSpan();
    return TGraphReport::NewestHost(*FStore, FromMs, ToMs + 1);
}

void TGraphPage::ReportClick(const std::string& Host, qint64 FromMs, qint64 ToMs) {
    const QString Path = AskPath(tr("Rapporto"), QStringLiteral("pdf"));
    if (!Path.isEmpty()) {
        WriteReport(Path, Host, FromMs, ToMs);
    }
}

QString TGraphPage::AskPath(const QString& Title, const QString& Extension) {
    return TCsvExport::AskPath(this, Title, tr("zirko-grafico"), Extension, WallNow());
}
