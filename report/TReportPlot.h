// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TReportData.h"

#include <QRectF>

class QPainter;

// The plot of a report's range as the page draws it: wall-clock time across,
// round trip in ms up; the answers as a line (a min-max band and the median
// per column when wide), losses as red marks, outages pale red, time not
// monitored grey. Drawn in points into Area.
void DrawReportPlot(QPainter& Painter, const QRectF& Area, const TReportData& Data);
