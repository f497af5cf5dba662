// SPDX-License-Identifier: GPL-3.0-or-later
#include "CsvField.h"

QByteArray CsvField(const QString& Text) {
    QByteArray Bytes = Text.toUtf8();
    if (Bytes.contains(',') || Bytes.contains('"') || Bytes.contains('\n') ||
        Bytes.contains('\r')) {
        Bytes.replace("\"", "\"\"");
        Bytes = '"' + Bytes + '"';
    }
    return Bytes;
}
