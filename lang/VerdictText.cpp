// SPDX-License-Identifier: GPL-3.0-or-later
#include "VerdictText.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace VerdictText {

QString Reword(const QString& ASentence) {
    for (const char* Pattern : Sentences) {
        QString Expression = QRegularExpression::escape(Source(Pattern));
        Expression.replace(QStringLiteral("\\%1"), QStringLiteral("(.+?)"))
            .replace(QStringLiteral("\\%2"), QStringLiteral("(.+?)"));
        const QRegularExpressionMatch Match =
            QRegularExpression(QLatin1Char('^') + Expression + QLatin1Char('$')).match(ASentence);
        if (!Match.hasMatch()) {
            continue;
        }
        QString Worded = QCoreApplication::translate("TTraceVerdict", Pattern);
        const QString Joined = QCoreApplication::translate("TTraceVerdict", And);
        for (int Arg = 1; Arg <= Match.lastCapturedIndex(); ++Arg) {
            Worded = Worded.arg(Match.captured(Arg).replace(Source(And), Joined));
        }
        return Worded;
    }
    return ASentence;
}

} // namespace VerdictText
