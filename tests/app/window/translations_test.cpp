// The windows in the user's language: the choice of the language from the locale, a
// sample of captions, messages and the save dialog in each language, Qt's own dialog
// texts, and captions and accelerators that still fit the fixed layout.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <map>

#include "app/dialogs/recsetdlg.h"
#include "app/dialogs/tessaron2.h"
#include "app/form_under_test.h"
#include "app/run/run_record.h"
#include "app/scoped_language.h"
#include "platform/help_system.h"
#include "support/qt_print.h"

namespace {

TEST(TranslationLanguage, FollowsTheFirstTranslatedLanguageAndKeepsTheTextsAsWrittenForC) {
  EXPECT_EQ(translationLanguage(QLocale::c()), "");
  EXPECT_EQ(translationLanguage(QLocale("de_AT")), "de");
  EXPECT_EQ(translationLanguage(QLocale("en_GB")), "en");
  // A language without a translation gets English, not the mixed texts as written.
  EXPECT_EQ(translationLanguage(QLocale("fr_FR")), "en");
  // LANGUAGE=fr:de:en lists several; the first translated one counts...
  EXPECT_EQ(translationLanguage(QLocale::French, {"fr", "fr-FR", "de", "de-DE", "en"}), "de");
  EXPECT_EQ(translationLanguage(QLocale::German, {"de_CH"}), "de");
  // ...except in the C locale, where it does not count at all.
  EXPECT_EQ(translationLanguage(QLocale::C, {"de", "de-DE"}), "");
}

// What one language shows in a sample of places.
struct LanguageSample {
  const char* locale;
  QString meterLabel;       // Label3
  QString triggered;        // CheckBox1
  QString fileMenu;         // Datei
  QString startName;        // BitBtn1's accessible name
  QString saveTitle;        // SaveDialog1
  QStringList saveFilters;  // as the file dialog lists them
  QString createError;      // %1: the file name
  QString uninstallCaption;
  QString cancel;  // the record settings dialog's cancel button
  QString summary;
  QString qtYes;  // a message box's Yes button, a text of Qt's own
  QString helpTitle;
};

void PrintTo(const LanguageSample& sample, std::ostream* os) { *os << sample.locale; }

class WindowLanguage : public testing::TestWithParam<LanguageSample> {};

TEST_P(WindowLanguage, CaptionsMessagesAndTheSaveDialogSpeakIt) {
  const LanguageSample& sample = GetParam();
  ScopedLanguage language{QLocale(sample.locale)};
  ScopedConfigHome home;
  ScopedFakePrompts prompts;
  QTemporaryDir dir;
  const QString unwritable = dir.path() + "/no/such/folder/take.wav";
  prompts->saveAnswer = unwritable;
  auto f = openForm();

  EXPECT_EQ(f->Label3->text(), sample.meterLabel);
  EXPECT_EQ(f->CheckBox1->text(), sample.triggered);
  EXPECT_EQ(f->Datei->title(), sample.fileMenu);
  EXPECT_EQ(f->BitBtn1->accessibleName(), sample.startName);

  f->BitBtn2->click();
  ASSERT_EQ(prompts->saves.size(), 1u);
  EXPECT_EQ(prompts->saves[0].title, sample.saveTitle);
  EXPECT_EQ(prompts->saves[0].filters, sample.saveFilters);

  // The audio component's error for a file it cannot create reaches the user in the language too.
  f->BitBtn1->click();
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, sample.createError.arg(unwritable));
  EXPECT_EQ(prompts->messages[0].caption, "Tessaron");

  prompts->answer = QMessageBox::No;
  f->Uninstall1->trigger();
  ASSERT_EQ(prompts->messages.size(), 2u);
  EXPECT_EQ(prompts->messages[1].caption, sample.uninstallCaption);

  TOKBottomDlg settings(f.get());
  EXPECT_EQ(settings.CancelBtn->text(), sample.cancel);

  RunRecord run;
  run.kind = RunKind::Recording;
  run.tenths = 50;
  EXPECT_EQ(summaryText(run), sample.summary);

  QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text(), sample.qtYes);

  EXPECT_EQ(HelpSystem::instance().topics().front().title, sample.helpTitle);
}

// clang-format off
const LanguageSample samples[] = {
    {"C", "LED-&Meter", "&Triggered", "&File", "Start recording", "Dateinahme für Aufnahme",
     {"Wave-Datei (*.wav)", "Alle Dateien (*.*)"}, "Datei %1 kann nicht erstellt werden", "Uninstall", "Abbrechen",
     "Recording stopped by the user (00:00:05). No dropouts.", "&Yes", "Tessaron Help"},
    {"en_US", "LED-&Meter", "&Triggered", "&File", "Start recording", "File name for recording",
     {"Wave file (*.wav)", "All files (*.*)"}, "File %1 cannot be created", "Uninstall", "Cancel",
     "Recording stopped by the user (00:00:05). No dropouts.", "&Yes", "Tessaron Help"},
    {"de_DE", "&LED-Meter", "&Trigger", "&Datei", "Aufnahme starten", "Dateiname für Aufnahme",
     {"Wave-Datei (*.wav)", "Alle Dateien (*.*)"}, "Datei %1 kann nicht erstellt werden", "Deinstallieren",
     "Abbrechen", "Aufnahme vom Benutzer beendet (00:00:05). Keine Aussetzer.", "&Ja", "Tessaron-Hilfe"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Languages, WindowLanguage, testing::ValuesIn(samples),
                         [](const testing::TestParamInfo<LanguageSample>& info) {
                           return std::string(info.param.locale);
                         });

// The accelerator letter of a caption ("Le&vel" -> 'v'), none for a caption without one.
QChar accelerator(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&') return caption[i + 1].toLower();
    ++i;
  }
  return {};
}

// Every accelerator of `captions` once; `where` names them in a failure.
void expectNoClash(const QStringList& captions, const std::string& where) {
  std::map<QChar, QString> seen;
  for (const QString& caption : captions) {
    const QChar key = accelerator(caption);
    if (key.isNull()) continue;
    const auto [it, added] = seen.emplace(key, caption);
    EXPECT_TRUE(added) << where << ": \"" << caption.toStdString() << "\" and \"" << it->second.toStdString()
                       << "\" share an accelerator";
  }
}

QStringList menuCaptions(const QList<QAction*>& actions) {
  QStringList captions;
  for (const QAction* action : actions) captions << action->text();
  return captions;
}

class TranslatedLayout : public testing::TestWithParam<const char*> {};

TEST_P(TranslatedLayout, AcceleratorsDoNotClashWithinAMenuOrTheWindow) {
  ScopedLanguage language{QLocale(GetParam())};
  ScopedConfigHome home;
  ScopedFakePrompts prompts;
  auto f = openForm();

  for (QMenu* menu : {f->Datei, f->eee, f->ddd})
    expectNoClash(menuCaptions(menu->actions()), menu->title().toStdString());
  // The window's accelerators and the menu bar's are pressed the same way (Alt and the
  // letter). The captions as written share two there; the translations share none.
  if (translationLanguage(QLocale(GetParam())).isEmpty()) return;
  QStringList window = menuCaptions(f->MainMenu1->actions());
  for (const QLabel* label : f->findChildren<QLabel*>()) {
    if (label->buddy() != nullptr) window << label->text();
  }
  for (const QAbstractButton* button : f->findChildren<QAbstractButton*>()) window << button->text();
  for (const QGroupBox* group : f->findChildren<QGroupBox*>()) window << group->title();
  expectNoClash(window, "main window");
}

// Whether `widget` shows its caption whole within its size.
bool captionFits(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    if (label->wordWrap()) return label->heightForWidth(label->width()) <= label->height();
    return label->sizeHint().width() <= label->width();
  }
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
    if (button->text().isEmpty()) return true;
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    return button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) <= contents.width();
  }
  if (qobject_cast<const QCheckBox*>(widget) != nullptr || qobject_cast<const QRadioButton*>(widget) != nullptr)
    return widget->sizeHint().width() <= widget->width();
  if (qobject_cast<const QGroupBox*>(widget) != nullptr) return widget->minimumSizeHint().width() <= widget->width();
  return true;
}

void expectCaptionsFit(const QWidget& window) {
  for (const QWidget* widget : window.findChildren<QWidget*>()) {
    EXPECT_TRUE(captionFits(widget)) << widget->metaObject()->className() << " \""
                                     << widget->property("text").toString().toStdString()
                                     << widget->property("title").toString().toStdString() << "\" needs "
                                     << widget->sizeHint().width() << " pixels, has " << widget->width();
  }
}

TEST_P(TranslatedLayout, CaptionsFitTheirControls) {
  ScopedLanguage language{QLocale(GetParam())};
  ScopedConfigHome home;
  ScopedFakePrompts prompts;
  auto f = openForm();
  expectCaptionsFit(*f);

  // The record settings dialog with both of its refusals shown, and its lists.
  TOKBottomDlg settings(f.get());
  settings.ExtendEdit1->setText("1");
  settings.ExtendEdit2->setText("x");
  settings.accept();
  ASSERT_TRUE(settings.SampleRateMessage->isVisibleTo(&settings));
  expectCaptionsFit(settings);
  for (const QComboBox* list : {settings.ComboBox1, settings.ComboBox2})
    EXPECT_LE(list->sizeHint().width(), list->width()) << list->currentText().toStdString();

  TForm2 about(f.get());
  expectCaptionsFit(about);
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedLayout, testing::Values("C", "en_US", "de_DE"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
