// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TReportData.h"

#include <QString>

// Writes Data as a PDF of A4 pages at Path, each led by the same header (host
// and address, this machine's source address and interface, the range with
// its time zone, when and by which Zirko). Needs a QGuiApplication, which the
// offscreen platform serves without a display. False, with Error, when the
// file cannot be written.
bool WriteReportPdf(const TReportData& Data, const QString& Path, const QString& Version,
                    int64_t MadeMs, QString& Error);
