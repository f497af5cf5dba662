// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A label that shows a number written by the monitoring code. Assistive
// technology announces it by the caption of the label in front of it; a QLabel
// with an accessible name stops exposing its text, so the shown text travels
// as the accessible description, kept equal to the text at every change.
// Place it in a TFixedLayout: that layout tells it when the text changed.
class TValueLabel : public QLabel {
    Q_OBJECT

public:
    TValueLabel(const QString& Caption, QWidget* Parent);

    // Copies the shown text into the accessible description when they differ.
    void SyncDescription();
};
