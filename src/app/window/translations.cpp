// Which of the compiled-in translations the program speaks for the user's locale, and
// installing it with the toolkit's own for the standard dialogs.
#include "app/window/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "platform/help_system.h"

namespace {

// The languages the program has translations for (translations/tessaron_<lang>.ts).
const QStringList translated = {"de", "en"};

}  // namespace

QString translationLanguage(QLocale::Language language, const QStringList& uiLanguages) {
  if (language == QLocale::C) return {};
  for (const QString& name : uiLanguages) {
    const QString primary = name.section('-', 0, 0).section('_', 0, 0).toLower();
    if (translated.contains(primary)) return primary;
  }
  return "en";
}

QString installTranslations(const QLocale& locale) {
  static QTranslator program;
  static QTranslator toolkit;
  QCoreApplication::removeTranslator(&program);
  QCoreApplication::removeTranslator(&toolkit);

  const QString language = translationLanguage(locale);
  if (!language.isEmpty()) {
    // The program's translations are compiled in; a failure to load them is a build fault.
    if (program.load("tessaron_" + language, ":/i18n")) QCoreApplication::installTranslator(&program);
    // The toolkit's own (file dialog, message box buttons) come with the system's Qt;
    // without them those dialogs stay English.
    if (toolkit.load("qtbase_" + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      QCoreApplication::installTranslator(&toolkit);
  }
  HelpSystem::instance().setLanguage(language);
  return language;
}
