// The main window without a mouse: Tab walks the controls as the window reads, the
// picture buttons answer Space and Return, the spin buttons the arrow keys, the
// accelerators of the captions reach their controls, and every control shows that it has
// the focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <vector>

#include "app/form_under_test.h"
#include "app/scoped_language.h"
#include "support/event_wait.h"

namespace {

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    f = openForm();
    f->show();
    f->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.get()));
  }
  void TearDown() override {
    if (f->BitBtn4->Tag == 1) f->BitBtn4Click(f->BitBtn4);
  }

  // The controls the focus visits from `first` on, pressing Tab until it comes back.
  std::vector<QWidget*> tabWalk(QWidget* first) {
    first->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> walked{QApplication::focusWidget()};
    for (int i = 0; i < 40; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      if (QApplication::focusWidget() == first) break;
      walked.push_back(QApplication::focusWidget());
    }
    return walked;
  }

  // A picture of `control` as it looks with the focus, or without it.
  QImage look(QWidget* control, bool focused) {
    (focused ? control : f->ComboBox1)->setFocus(Qt::TabFocusReason);
    return control->grab().toImage();
  }

  ScopedConfigHome home;
  ScopedFakePrompts prompts;
  std::unique_ptr<TForm1> f;
};

TEST_F(Keyboard, TabWalksTheListsThenThePanelColumnByColumn) {
  // Both run buttons take part once they are enabled.
  f->BitBtn1->setEnabled(true);
  f->BitBtn3->setEnabled(true);
  // A group of radio buttons is entered at its checked one.
  const std::vector<QWidget*> twoSliders{
      f->ComboBox1, f->ComboBox2, f->ComboBox3, f->TrackBar3, f->CheckBox1, f->TrackBar1,    f->TrackBar2,
      f->TrackBar4, f->BitBtn2,   f->BitBtn4,   f->BitBtn1,   f->BitBtn3,   f->RadioButton2, f->RadioButton4,
      f->UpDown2,   f->UpDown1,   f->CheckBox2, f->UpDown4,   f->UpDown3,
  };
  EXPECT_EQ(tabWalk(f->ComboBox1), twoSliders);

  // One level slider in place of the two; a disabled button is passed over.
  f->RadioButton1->setChecked(true);
  f->RadioButton5->setChecked(true);
  f->BitBtn3->setEnabled(false);
  const std::vector<QWidget*> oneSlider{
      f->ComboBox1, f->ComboBox2, f->ComboBox3, f->TrackBar3, f->CheckBox1,    f->TrackBar5,
      f->TrackBar4, f->BitBtn2,   f->BitBtn4,   f->BitBtn1,   f->RadioButton1, f->RadioButton5,
      f->UpDown2,   f->UpDown1,   f->CheckBox2, f->UpDown4,   f->UpDown3,
  };
  EXPECT_EQ(tabWalk(f->ComboBox1), oneSlider);
}

TEST_F(Keyboard, SpaceAndReturnPressTheFocusedPictureButton) {
  f->BitBtn2->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f->BitBtn2, Qt::Key_Space);
  EXPECT_EQ(prompts->saves.size(), 1u) << "Space chooses the file name";

  f->BitBtn4->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f->BitBtn4, Qt::Key_Return);
  EXPECT_EQ(f->BitBtn4->Tag, 1) << "Return starts monitoring";
  QTest::keyClick(f->BitBtn4, Qt::Key_Space);
  EXPECT_EQ(f->BitBtn4->Tag, 0) << "Space ends it";
  EXPECT_EQ(f->BitBtn4->Glyph().cacheKey(), f->Image1->Picture().cacheKey());
}

TEST_F(Keyboard, ArrowKeysStepTheFocusedSpinButton) {
  f->UpDown2->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f->UpDown2, Qt::Key_Up);
  QTest::keyClick(f->UpDown2, Qt::Key_Up);
  EXPECT_EQ(f->UpDown2->Position(), 2);
  EXPECT_DOUBLE_EQ(static_cast<double>(f->LEDDisplay2->Value()), 2.0) << "the length shows the new minutes";

  f->UpDown3->setFocus(Qt::TabFocusReason);
  QTest::keyClick(f->UpDown3, Qt::Key_Down);
  EXPECT_EQ(f->UpDown3->Position(), 59) << "the minute wraps";
  EXPECT_EQ(f->startmin, 59);
}

TEST_F(Keyboard, AcceleratorsOfTheCaptionsReachTheirControls) {
  // English captions, whose accelerators are unique in the window.
  f.reset();
  ScopedLanguage english{QLocale("en_US")};
  SetUp();
  const struct {
    Qt::Key key;
    QWidget* control;
  } accelerators[] = {
      {Qt::Key_M, f->ComboBox1},    {Qt::Key_D, f->ComboBox2}, {Qt::Key_L, f->ComboBox3},
      {Qt::Key_I, f->TrackBar3},    {Qt::Key_V, f->TrackBar1}, {Qt::Key_B, f->TrackBar4},
      {Qt::Key_K, f->RadioButton4}, {Qt::Key_T, f->CheckBox1}, {Qt::Key_C, f->RadioButton1},
  };
  for (const auto& [key, control] : accelerators) {
    QTest::keyClick(f.get(), key, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), control) << QKeySequence(key).toString().toStdString();
  }
  // A button's accelerator presses it too, after showing it pressed for a moment.
  EXPECT_TRUE(testsupport::waitFor([&] { return f->CheckBox1->isChecked() && f->RadioButton1->isChecked(); }, 10000));
  EXPECT_TRUE(f->TrackBar5->isVisible()) << "the radio button chose one level slider";
}

TEST_F(Keyboard, EveryControlThatTakesTheFocusShowsIt) {
  f->BitBtn1->setEnabled(true);
  for (QWidget* control : tabWalk(f->ComboBox2)) {
    if (control == f->ComboBox1) continue;  // the control the focus is moved to meanwhile
    EXPECT_NE(look(control, true), look(control, false)) << control->accessibleName().toStdString();
  }
}

}  // namespace
