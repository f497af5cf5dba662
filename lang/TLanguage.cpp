// SPDX-License-Identifier: GPL-3.0-or-later
#include "TLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {

// The catalogues built into the program: :/i18n/zirko_<language>.qm.
const QString CataloguePrefix = QStringLiteral(":/i18n/zirko_");

QString LanguageOf(const QString& AName) {
    return AName.section(QLatin1Char('-'), 0, 0).section(QLatin1Char('_'), 0, 0).toLower();
}

bool IsSource(const QString& AName) {
    return AName == QLatin1String("C") || AName == QLatin1String("POSIX") ||
           LanguageOf(AName) == QLatin1String("it");
}

QStringList BuiltCatalogues() {
    QStringList Languages;
    const QDir Folder(CataloguePrefix.section(QLatin1Char('/'), 0, -2));
    // Matched by hand: a name filter compiles a regular expression, and with it
    // the whole expression library would be paged in at every start.
    for (const QString& Name : Folder.entryList(QDir::Files)) {
        if (Name.startsWith(QLatin1String("zirko_")) && Name.endsWith(QLatin1String(".qm"))) {
            Languages << Name.mid(6).chopped(3);
        }
    }
    return Languages;
}

struct TLoaded {
    std::unique_ptr<QTranslator> Zirko;
    std::unique_ptr<QTranslator> Qt;
};

TLoaded& Loaded() {
    static TLoaded Instance;
    return Instance;
}

} // namespace

QString TLanguage::Choose(const QStringList& AUiLanguages, const QStringList& ACatalogues) {
    for (const QString& Name : AUiLanguages) {
        if (IsSource(Name)) {
            return {};
        }
        if (ACatalogues.contains(LanguageOf(Name))) {
            return LanguageOf(Name);
        }
    }
    return QStringLiteral("en");
}

QString TLanguage::QtLanguage(const QStringList& AUiLanguages, const QString& AChosen) {
    if (!AChosen.isEmpty()) {
        return AChosen;
    }
    for (const QString& Name : AUiLanguages) {
        if (IsSource(Name)) {
            return LanguageOf(Name) == QLatin1String("it") ? QStringLiteral("it") : QString();
        }
    }
    return {};
}

void TLanguage::Load() {
    TLoaded& Into = Loaded();
    if (Into.Zirko) {
        return;
    }
    const QStringList Ui = QLocale::system().uiLanguages();
    const QString Chosen = Choose(Ui, BuiltCatalogues());
    Into.Zirko = std::make_unique<QTranslator>();
    if (!Chosen.isEmpty()) {
        (void)Into.Zirko->load(CataloguePrefix + Chosen + QStringLiteral(".qm"));
    }
    Into.Qt = std::make_unique<QTranslator>();
    const QString QtChosen = QtLanguage(Ui, Chosen);
    if (!QtChosen.isEmpty()) {
        // Debian's qt6-translations-l10n; where it is missing, Qt's texts stay English.
        (void)Into.Qt->load(QStringLiteral("qtbase_") + QtChosen,
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
}

void TLanguage::Install() {
    Load();
    QCoreApplication::installTranslator(Loaded().Qt.get());
    QCoreApplication::installTranslator(Loaded().Zirko.get());
}

QString TLanguage::Text(const char* AContext, const char* ASource) {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::translate(AContext, ASource);
    }
    Load();
    const QString Translated = Loaded().Zirko->translate(AContext, ASource);
    return Translated.isEmpty() ? QString::fromUtf8(ASource) : Translated;
}
