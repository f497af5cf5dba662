// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <string>

// The language Zirko speaks: the first of the user's languages it has texts for.
// Italian, C and POSIX get the texts as written in the code; a language with a
// catalogue gets that; any other gets English. Qt's own texts (message-box
// buttons, file dialogs) follow the same choice.
class TLanguage {
public:
    // The catalogue for AUiLanguages (as QLocale::uiLanguages() gives them): empty for
    // the source texts, else a language of ACatalogues, "en" where nothing matched.
    static QString Choose(const QStringList& AUiLanguages, const QStringList& ACatalogues);
    // Qt's own catalogue to go with it: "it" for Italian, none for C and POSIX.
    static QString QtLanguage(const QStringList& AUiLanguages, const QString& AChosen);

    // Loads the catalogues for the system's languages; works before any application
    // object exists, so --help and option errors can use them.
    static void Load();
    // Hands the loaded catalogues to the application, for tr() everywhere.
    static void Install();
    // A text in the user's language, with or without an application object.
    static QString Text(const char* AContext, const char* ASource);
    static std::string Utf8(const char* AContext, const char* ASource) {
        return Text(AContext, ASource).toStdString();
    }
};
