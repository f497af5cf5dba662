// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// One field of the program's CSV files in UTF-8: quoted, with its quotes doubled,
// when it holds a comma, a quote or a line break, as it stands otherwise.
QByteArray CsvField(const QString& Text);
