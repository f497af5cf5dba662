// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// A continuous trace's verdict sentences. The history keeps them as the code writes
// them, whatever the user's language; the window words them again with Reword().
namespace VerdictText {

constexpr const char* TooFew =
    QT_TRANSLATE_NOOP("TTraceVerdict", "Servono almeno %1 giri per un giudizio (finora %2).");
constexpr const char* Unreachable = QT_TRANSLATE_NOOP(
    "TTraceVerdict",
    "La destinazione non è raggiungibile: il salto %1 la dichiara irraggiungibile.");
constexpr const char* NoHop =
    QT_TRANSLATE_NOOP("TTraceVerdict", "La destinazione non risponde e nessun salto risponde.");
constexpr const char* LastHop = QT_TRANSLATE_NOOP(
    "TTraceVerdict", "La destinazione non risponde; l'ultimo salto che risponde è il %1.");
constexpr const char* LossFrom =
    QT_TRANSLATE_NOOP("TTraceVerdict", "La perdita inizia al salto %1.");
constexpr const char* OneRouter =
    QT_TRANSLATE_NOOP("TTraceVerdict", "Il salto %1 perde risposte ma la destinazione risponde: "
                                       "quel router limita le sue risposte, non è un guasto.");
constexpr const char* Routers =
    QT_TRANSLATE_NOOP("TTraceVerdict", "I salti %1 perdono risposte ma la destinazione risponde: "
                                       "quei router limitano le loro risposte, non è un guasto.");
constexpr const char* Clear = QT_TRANSLATE_NOOP(
    "TTraceVerdict",
    "Tutto regolare: la destinazione risponde e nessun salto perde risposte oltre il normale.");
constexpr const char* Sentences[] = {TooFew,   Unreachable, NoHop,   LastHop,
                                     LossFrom, OneRouter,   Routers, Clear};
constexpr const char* And = QT_TRANSLATE_NOOP("TTraceVerdict", " e ");

inline QString Source(const char* APattern) {
    return QString::fromUtf8(APattern);
}

// A verdict sentence (one just made or read back from the history) in the user's
// language; any other text as it is.
QString Reword(const QString& ASentence);

} // namespace VerdictText
