// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TTarget.h"

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;

// "Aggiungi…" and "Modifica…": one target's host, name, group, interval, alarm threshold
// and latency limit. OK keeps the dialog open with the reason while a value is refused.
class TTargetDialog : public QDialog {
    Q_OBJECT

public:
    // AClash says why a target may not join the list ("" when it may).
    TTargetDialog(const QString& ATitle, const TTarget& AStart,
                  std::function<std::string(const TTarget&)> AClash, QWidget* AParent = nullptr);

    const TTarget& Target() const { return FTarget; }
    QLineEdit* Field(int AIndex) const { return FFields[AIndex]; }
    QLabel* Reason() const { return FReason; }

    static constexpr int FieldCount = 6;

    void accept() override;

private:
    QLineEdit* FFields[FieldCount] = {};
    QLabel* FReason;
    TTarget FTarget;
    std::function<std::string(const TTarget&)> FClash;
};
