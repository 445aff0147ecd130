// What assistive technology reads from the windows: every control has a name, controls
// without a caption are named by what they show or do, hints become descriptions, the
// monitor button says whether monitoring is on and is pressed as by a click, the clip
// counters read as their name and count, and the spin buttons are spin buttons whose value
// is their position.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "app/dialogs/recsetdlg.h"
#include "app/dialogs/tessaron2.h"
#include "app/form_under_test.h"
#include "app/run/status_line.h"
#include "controls/accessible_announcer.h"
#include "platform/help_system.h"
#include "platform/help_window.h"
#include "support/event_wait.h"
#include "support/qt_print.h"

namespace {

QAccessibleInterface* accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }
QString nameOf(QObject* object) { return accessible(object)->text(QAccessible::Name); }

// Every shown control under `node` that takes the focus, and every shown item of a list,
// has a name; `path` says where a nameless one sits.
void expectNamed(QAccessibleInterface* node, const std::string& path = {}) {
  if (node == nullptr || node->state().invisible) return;
  const std::string here = path + "/" + (node->object() ? node->object()->metaObject()->className() : "item");
  const bool item = node->role() == QAccessible::ListItem || node->role() == QAccessible::TreeItem;
  if (node->state().focusable || item) {
    EXPECT_FALSE(node->text(QAccessible::Name).isEmpty()) << here;
  }
  for (int i = 0; i < node->childCount(); ++i) expectNamed(node->child(i), here);
}

class AccessibleWindow : public ::testing::Test {
 protected:
  ScopedConfigHome home;
  ScopedDialogPrompts prompts;
  std::unique_ptr<TForm1> f = openForm();
};

TEST_F(AccessibleWindow, EveryControlHasANameAndThoseWithoutCaptionAreNamedByWhatTheyDo) {
  f->show();
  const std::vector<std::pair<QWidget*, QString>> names{
      {f->BitBtn2, "Select filename"},      {f->BitBtn4, "Monitor input"},   {f->BitBtn1, "Start recording"},
      {f->BitBtn3, "Stop recording"},       {f->LEDMeter1, "Left level"},    {f->LEDMeter2, "Right level"},
      {f->LEDMeter3, "Recording lamp"},     {f->Label1, "Left clips"},       {f->Label12, "Right clips"},
      {f->LEDDisplay1, "Elapsed time"},     {f->LEDDisplay2, "Length"},      {f->LEDDisplay3, "Start time"},
      {f->UpDown2, "Length minutes"},       {f->UpDown1, "Length seconds"},  {f->UpDown4, "Start hour"},
      {f->UpDown3, "Start minute"},         {f->TrackBar3, "Trigger level"}, {f->TrackBar1, "Record level left"},
      {f->TrackBar2, "Record level right"}, {f->TrackBar5, "Record level"},  {f->TrackBar4, "Balance"},
      {f->CheckBox1, "Triggered"},          {f->RadioButton5, "Up/Down"},    {f->StatusBar1, "Status line"},
  };
  for (const auto& [control, name] : names) EXPECT_EQ(nameOf(control), name);
  // The lists are named by their labels too, where the toolkit reads names from them.
  EXPECT_EQ(f->ComboBox2->accessibleName(), "Record Device");

  expectNamed(accessible(f.get()));
  f->RadioButton1->setChecked(true);
  expectNamed(accessible(f.get()));

  // The hints are the descriptions.
  for (QWidget* control : f->findChildren<QWidget*>()) {
    if (control->toolTip().isEmpty()) continue;
    EXPECT_EQ(accessible(control)->text(QAccessible::Description), control->toolTip()) << nameOf(control).toStdString();
  }
}

TEST_F(AccessibleWindow, MonitorButtonTellsWhetherMonitoringIsOn) {
  QAccessibleInterface* button = accessible(f->BitBtn4);
  EXPECT_TRUE(button->state().checkable);
  EXPECT_FALSE(button->state().checked);

  // Pressed by assistive technology, it does what a click does.
  QAccessibleActionInterface* actions = button->actionInterface();
  ASSERT_NE(actions, nullptr);
  actions->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(testsupport::waitFor([&] { return button->state().checked; }));

  // A recording ends monitoring by itself, and the state follows.
  QTemporaryDir dir;
  prompts->saveAnswer = dir.filePath("take.wav");
  f->BitBtn2Click(f->BitBtn2);
  f->BitBtn1Click(f->BitBtn1);
  EXPECT_FALSE(button->state().checked);
  f->BitBtn3Click(f->BitBtn3);
  // A press alone never changes the state of a picture button: only the program does.
  TBitBtn plain;
  plain.setCheckable(true);
  plain.click();
  EXPECT_FALSE(plain.isChecked());
}

QString readText(QAccessibleInterface* node) {
  QAccessibleTextInterface* text = node->textInterface();
  return text != nullptr ? text->text(0, text->characterCount()) : "(no text)";
}

TEST_F(AccessibleWindow, ClipCountersReadAsNameAndCountAndTellTheirChanges) {
  std::vector<QString> told;
  AccessibleAnnouncer::setRecorder([&](QAccessibleEvent* event) {
    if (event->type() == QAccessible::TextUpdated && event->object() == f->Label1)
      told.push_back(static_cast<QAccessibleTextUpdateEvent*>(event)->textInserted());
  });
  struct Reset {
    ~Reset() { AccessibleAnnouncer::setRecorder(nullptr); }
  } reset;

  QAccessibleInterface* left = accessible(f->Label1);
  EXPECT_EQ(left->role(), QAccessible::StaticText);
  EXPECT_EQ(readText(left), "Left clips 0");
  f->Label1->setText("17");
  EXPECT_EQ(nameOf(f->Label1), "Left clips");
  EXPECT_EQ(readText(left), "Left clips 17");
  EXPECT_EQ(told, std::vector<QString>{"Left clips 17"});

  // A caption reads as it shows, and names the list it is the label of.
  QAccessibleInterface* caption = accessible(f->Label3);
  EXPECT_EQ(nameOf(f->Label3), "LED-Meter");
  EXPECT_EQ(readText(caption), "LED-Meter");
  const auto labelled = caption->relations(QAccessible::Labelled);
  ASSERT_EQ(labelled.size(), 1);
  EXPECT_EQ(labelled[0].first->object(), f->ComboBox1);
}

TEST_F(AccessibleWindow, SpinButtonsAreSpinButtonsWhoseValueIsTheirPosition) {
  QAccessibleInterface* minutes = accessible(f->UpDown2);
  EXPECT_EQ(minutes->role(), QAccessible::SpinBox);
  EXPECT_EQ(minutes->childCount(), 0) << "the arrows inside are not controls of their own";
  QAccessibleValueInterface* value = minutes->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->minimumValue().toInt(), 0);
  EXPECT_EQ(value->maximumValue().toInt(), 99);

  QAccessibleActionInterface* actions = minutes->actionInterface();
  ASSERT_NE(actions, nullptr);
  actions->doAction(QAccessibleActionInterface::increaseAction());
  EXPECT_EQ(value->currentValue().toInt(), 1);
  EXPECT_EQ(minutes->text(QAccessible::Value), "1");
  // Set from outside, the value is stepped to as by hand, so the length display follows.
  value->setCurrentValue(12);
  EXPECT_EQ(f->UpDown2->Position(), 12);
  EXPECT_DOUBLE_EQ(static_cast<double>(f->LEDDisplay2->Value()), 12.0);
  value->setCurrentValue(500);
  EXPECT_EQ(f->UpDown2->Position(), 99) << "kept within the range, not wrapped";
  actions->doAction(QAccessibleActionInterface::decreaseAction());
  EXPECT_EQ(f->UpDown2->Position(), 98);
}

TEST_F(AccessibleWindow, DialogsAndTheHelpWindowNameEveryControl) {
  TOKBottomDlg settings(f.get());
  settings.show();
  expectNamed(accessible(&settings));
  // Each field is named by the label beside it.
  EXPECT_EQ(settings.ExtendEdit1->accessibleName(), "Samplerate");
  EXPECT_EQ(nameOf(settings.SpinEdit2), "Max8");
  EXPECT_EQ(nameOf(settings.ExtendEdit2), "Pre-trigger (ms)");
  EXPECT_EQ(settings.Label1->buddy(), settings.ComboBox1);

  TForm2 about(f.get());
  about.show();
  expectNamed(accessible(&about));
  EXPECT_EQ(nameOf(about.Memo1), "Version and credits");

  HelpSystem& help = HelpSystem::instance();
  help.setHelpFile("tessaron.hlp");
  ASSERT_TRUE(help.command(HELP_FINDER, 0));
  expectNamed(accessible(help.window()));
  help.window()->showIndex();
  expectNamed(accessible(help.window()));
  help.command(HELP_QUIT, 0);
}

}  // namespace
