// SPDX-License-Identifier: GPL-3.0-or-later
#include "TValueLabel.h"

#include <QPalette>

TValueLabel::TValueLabel(const QString& Caption, QWidget* Parent) : QLabel(Parent) {
    setAccessibleName(Caption);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::HighlightedText));
    setPalette(colours);
    // A hidden label would skip the layout notice that drives SyncDescription.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
    SyncDescription();
}

void TValueLabel::SyncDescription() {
    if (accessibleDescription() != text()) {
        setAccessibleDescription(text());
    }
}
