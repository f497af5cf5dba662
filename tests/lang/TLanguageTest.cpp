// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLanguage.h"
#include "VerdictText.h"

#include <QCoreApplication>
#include <QTranslator>

#include <gtest/gtest.h>

TEST(TLanguage, TheFirstLanguageWithTextsWins) {
    const QStringList Built{QStringLiteral("en"), QStringLiteral("de")};
    struct {
        QStringList Ui;
        const char* Chosen; // "" for the code's own texts
        const char* Qt;
    } const Cases[] = {
        {{"C"}, "", ""},
        {{"POSIX"}, "", ""},
        {{"it-IT", "it-Latn-IT", "it"}, "", "it"},
        {{"en-US", "en-Latn-US", "en"}, "en", "en"},
        {{"fr-FR", "fr"}, "en", "en"},
        {{"fr", "it"}, "", "it"},
        {{"fr", "de-DE"}, "de", "de"},
        {{"de_AT", "it"}, "de", "de"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Ui.join(u':').toStdString());
        const QString Chosen = TLanguage::Choose(C.Ui, Built);
        EXPECT_EQ(Chosen.toStdString(), C.Chosen);
        EXPECT_EQ(TLanguage::QtLanguage(C.Ui, Chosen).toStdString(), C.Qt);
    }
}

TEST(VerdictText, SentencesTheHistoryKeepsAreWordedInTheCatalogue) {
    QTranslator English;
    ASSERT_TRUE(English.load(QStringLiteral(":/i18n/zirko_en.qm")));
    QCoreApplication::installTranslator(&English);
    const struct {
        const char* Kept;
        const char* Shown;
    } Cases[] = {
        {"La perdita inizia al salto 3.", "The loss begins at hop 3."},
        {"Servono almeno 10 giri per un giudizio (finora 4).",
         "A verdict needs at least 10 rounds (4 so far)."},
        {"I salti 2, 3 e 5 perdono risposte ma la destinazione risponde: quei router limitano "
         "le loro risposte, non è un guasto.",
         "Hops 2, 3 and 5 lose answers but the destination answers: those routers limit their "
         "answers, it is not a fault."},
        {"La perdita inizia al salto 3. E altro", "La perdita inizia al salto 3. E altro"},
        {"", ""},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(VerdictText::Reword(QString::fromUtf8(C.Kept)).toStdString(), C.Shown);
    }
    QCoreApplication::removeTranslator(&English);
    EXPECT_EQ(VerdictText::Reword(QString::fromUtf8(Cases[0].Kept)).toStdString(), Cases[0].Kept);
}
