// SPDX-License-Identifier: GPL-3.0-or-later
#include "TTargetDialog.h"

#include "TTargetsFile.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const Captions[TTargetDialog::FieldCount] = {
    QT_TRANSLATE_NOOP("TTargetDialog", "Host"),
    QT_TRANSLATE_NOOP("TTargetDialog", "Nome"),
    QT_TRANSLATE_NOOP("TTargetDialog", "Gruppo"),
    QT_TRANSLATE_NOOP("TTargetDialog", "Intervallo"),
    QT_TRANSLATE_NOOP("TTargetDialog", "Allarme dopo persi"),
    QT_TRANSLATE_NOOP("TTargetDialog", "Limite media ms")};

} // namespace

TTargetDialog::TTargetDialog(const QString& ATitle, const TTarget& AStart,
                             std::function<std::string(const TTarget&)> AClash, QWidget* AParent)
    : QDialog(AParent), FReason(new QLabel(this)), FTarget(AStart), FClash(std::move(AClash)) {
    setWindowTitle(ATitle);
    setAccessibleName(ATitle);
    auto* Form = new QFormLayout;
    const std::string Values[FieldCount] = {AStart.Host,
                                            AStart.Name(),
                                            AStart.Group(),
                                            zirko::targets::IntervalText(AStart.IntervalMs),
                                            std::to_string(AStart.AlarmAfterLost),
                                            std::to_string(AStart.LatencyLimitMs)};
    for (int I = 0; I < FieldCount; ++I) {
        FFields[I] = new QLineEdit(QString::fromStdString(Values[I]), this);
        FFields[I]->setObjectName(QStringLiteral("e_target_%1").arg(I));
        FFields[I]->setAccessibleName(tr(Captions[I]));
        Form->addRow(tr(Captions[I]), FFields[I]);
    }
    FReason->setObjectName(QStringLiteral("l_target_reason"));
    FReason->setAccessibleName(tr("Motivo"));
    FReason->setWordWrap(true);
    FReason->setStyleSheet(QStringLiteral("color: #b00000"));
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    Buttons->button(QDialogButtonBox::Cancel)->setText(tr("Annulla"));
    for (QAbstractButton* Button : Buttons->buttons()) {
        Button->setAccessibleName(Button->text());
    }
    connect(Buttons, &QDialogButtonBox::accepted, this, &TTargetDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &TTargetDialog::reject);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Form);
    Layout->addWidget(FReason);
    Layout->addWidget(Buttons);
}

void TTargetDialog::accept() {
    zirko::targets::TTargetFields Fields;
    std::string* const Into[FieldCount] = {&Fields.Host,     &Fields.Name,
                                           &Fields.Group,    &Fields.Interval,
                                           &Fields.AlarmAfterLost, &Fields.LatencyLimitMs};
    for (int I = 0; I < FieldCount; ++I) {
        *Into[I] = FFields[I]->text().trimmed().toStdString();
    }
    Fields.Stopped = FTarget.Stopped;
    auto Checked = zirko::targets::FromFields(Fields);
    std::string Why = std::holds_alternative<std::string>(Checked)
                          ? std::get<std::string>(Checked)
                          : (FClash ? FClash(std::get<TTarget>(Checked)) : std::string());
    if (!Why.empty()) {
        FReason->setText(QString::fromStdString(Why));
        FReason->setAccessibleDescription(FReason->text());
        return;
    }
    // Settings the dialog does not show (size, source, other labels) stay as they were.
    TTarget Edited = std::get<TTarget>(Checked);
    for (const auto& [Key, Value] : FTarget.Labels) {
        if (Key != "name" && Key != "group") {
            Edited.Labels.emplace(Key, Value);
        }
    }
    Edited.Network = FTarget.Network;
    Edited.Size = FTarget.Size;
    Edited.Source = FTarget.Source;
    FTarget = Edited;
    QDialog::accept();
}
