// The windows in one language: the translations of a locale installed the way the
// program installs them at start, for the lifetime of the object; afterwards the texts
// as written again. Tests that read the program's texts choose their language this way,
// whatever the machine's LANG is.
#pragma once

#include <QLocale>

#include "app/window/translations.h"

class ScopedLanguage {
 public:
  explicit ScopedLanguage(const QLocale& locale) { installTranslations(locale); }
  ~ScopedLanguage() { installTranslations(QLocale::c()); }
  ScopedLanguage(const ScopedLanguage&) = delete;
  ScopedLanguage& operator=(const ScopedLanguage&) = delete;
};
