// The language the program speaks: its own texts, the toolkit's standard dialogs and the
// help pages, chosen from the user's locale at start. The texts in the sources are the
// ones a C or POSIX locale shows; English ("en") and German ("de") translations of them
// are compiled into the program.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The translation for a locale of `language` whose languages in order of preference are
// `uiLanguages` ("de-AT", "de", ...; the LANGUAGE variable can list several): "de" or
// "en" for the first of them that has one, English for any other language, and none ("")
// for the C or POSIX locale, which keeps the texts as written (LANGUAGE does not count
// there, as with every other program).
QString translationLanguage(QLocale::Language language, const QStringList& uiLanguages);
inline QString translationLanguage(const QLocale& locale) {
  return translationLanguage(locale.language(), locale.uiLanguages());
}

// Installs the translations for `locale` in place of any installed before (the program's
// own and the toolkit's, both of the same language) and points the help system at the
// pages of that language. Windows created afterwards speak it. Returns the language as
// translationLanguage gives it.
QString installTranslations(const QLocale& locale);
