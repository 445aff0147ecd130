// Recording length and timed start: the spin buttons, the start time they set, and the
// start clock on an injected time of day.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <cmath>

#include "app/form_under_test.h"

namespace {

constexpr TColor paleSalmon = 0x00A0B0FF;

class TimedStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = openForm();
    form->timeOfDay = [this] { return clock; };
  }
  void TearDown() override { form.reset(); }

  void clickTimes(TUpDown* spin, int times, TUDBtnType direction = btNext) {
    for (int i = 0; i < times; ++i) spin->click(direction);
  }
  // Arms the start as the start button does with "Start at" checked.
  void arm() {
    form->CheckBox2->setChecked(true);
    form->Timer4->start();
  }
  // One tick of the start clock at the given time of day.
  void tickAt(int h, int m, int s, int ms = 0) {
    clock = QTime(h, m, s, ms);
    form->Timer4Timer(form->Timer4);
  }
  bool started() const { return !form->Timer4->isActive() && !form->CheckBox2->isChecked(); }

  ScopedConfigHome config;
  ScopedFakePrompts prompts;
  std::unique_ptr<TForm1> form;
  QTime clock{12, 0, 0};
};

TEST_F(TimedStartTest, LengthSpinButtonsWrapAtBothEndsWithoutCarry) {
  TForm1& f = *form;
  EXPECT_EQ(f.UpDown1->Position(), 0);
  EXPECT_EQ(f.UpDown2->Position(), 0);

  clickTimes(f.UpDown1, 59);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay2->Value()), 0.59, 1e-9);
  f.UpDown1->click(btNext);
  EXPECT_EQ(f.UpDown1->Position(), 0);
  EXPECT_EQ(f.UpDown2->Position(), 0) << "seconds do not carry into the minutes";
  EXPECT_EQ(f.LEDDisplay2->Value(), 0.0L);
  f.UpDown1->click(btPrev);
  EXPECT_EQ(f.UpDown1->Position(), 59);
  EXPECT_EQ(f.UpDown2->Position(), 0);

  f.UpDown2->click(btPrev);
  EXPECT_EQ(f.UpDown2->Position(), 99);
  EXPECT_EQ(f.UpDown1->Position(), 59) << "minutes do not borrow from the seconds";
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay2->Value()), 99.59, 1e-9);
  f.UpDown2->click(btNext);
  EXPECT_EQ(f.UpDown2->Position(), 0);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay2->Value()), 0.59, 1e-9);
}

TEST_F(TimedStartTest, StartTimeSpinButtonsWrapAndSetTheStartHourAndMinute) {
  TForm1& f = *form;
  EXPECT_EQ(f.starthour, 0) << "an untouched start time is midnight";
  EXPECT_EQ(f.startmin, 0);
  EXPECT_EQ(f.LEDDisplay3->Value(), 0.0L);

  clickTimes(f.UpDown4, 7);
  clickTimes(f.UpDown3, 5);
  EXPECT_EQ(f.starthour, 7);
  EXPECT_EQ(f.startmin, 5);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 7.05, 1e-9);

  clickTimes(f.UpDown4, 16);
  EXPECT_EQ(f.UpDown4->Position(), 23);
  f.UpDown4->click(btNext);
  EXPECT_EQ(f.UpDown4->Position(), 0);
  EXPECT_EQ(f.starthour, 0);
  EXPECT_EQ(f.startmin, 5) << "hours do not touch the minutes";

  clickTimes(f.UpDown3, 5, btPrev);
  EXPECT_EQ(f.startmin, 0);
  f.UpDown3->click(btPrev);
  EXPECT_EQ(f.UpDown3->Position(), 59);
  EXPECT_EQ(f.startmin, 59);
  EXPECT_EQ(f.starthour, 0) << "minutes do not borrow from the hours";
}

TEST_F(TimedStartTest, EveryStartTimeReadsBackFromTheDisplayExactly) {
  // h + m / 100 is not exact in binary; the minute must survive the round trip anyway.
  TForm1& f = *form;
  for (int16_t h = 0; h <= 23; ++h) {
    for (int16_t m = 0; m <= 59; ++m) {
      f.UpDown4->setPosition(h);
      f.UpDown3->setPosition(m);
      f.UpDown3Click(f.UpDown3, btNext);
      ASSERT_EQ(f.starthour, h) << h << ":" << m;
      ASSERT_EQ(f.startmin, m) << h << ":" << m;
    }
  }
}

TEST_F(TimedStartTest, ArmedForTheCurrentMinuteStartsAtTheFirstTick) {
  TForm1& f = *form;
  clickTimes(f.UpDown4, 7);
  clickTimes(f.UpDown3, 5);
  clock = QTime(7, 5, 30, 400);
  arm();
  // The real timer's first tick (a quarter of a second) starts it.
  const QDeadlineTimer deadline(20000);
  while (!started() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ASSERT_TRUE(started());
  EXPECT_EQ(f.nowhour, 7);
  EXPECT_EQ(f.nowmin, 5);
  EXPECT_EQ(f.nowsec, 30);
  EXPECT_EQ(f.nowmsec, 400);
  EXPECT_EQ(f.LEDDisplay3->ColorLED(), clLime);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 7.05, 1e-9) << "the start reads the start time again";
}

TEST_F(TimedStartTest, ArmedForAPassedMinuteStartsAtThatMinuteTomorrow) {
  TForm1& f = *form;
  clickTimes(f.UpDown4, 7);
  clickTimes(f.UpDown3, 5);
  arm();
  // Two ticks a minute, from 7:06 round the clock to 7:04 the next day.
  for (int minute = 7 * 60 + 6; minute < 7 * 60 + 5 + 24 * 60; ++minute) {
    const int h = (minute / 60) % 24;
    const int m = minute % 60;
    tickAt(h, m, 0);
    tickAt(h, m, 1);
    ASSERT_FALSE(started()) << h << ":" << m;
  }
  tickAt(7, 5, 0);
  EXPECT_TRUE(started());
}

TEST_F(TimedStartTest, ArmedAtMidnightWithAnUntouchedStartTime) {
  arm();
  tickAt(23, 59, 59);
  EXPECT_FALSE(started());
  tickAt(0, 0, 0);
  EXPECT_TRUE(started());
}

TEST_F(TimedStartTest, ArmedDisplayShowsTheClockAndTheStartTimeOneSecondInTen) {
  TForm1& f = *form;
  clickTimes(f.UpDown4, 7);
  clickTimes(f.UpDown3, 30);
  arm();

  tickAt(14, 27, 10);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 7.30, 1e-9);
  EXPECT_EQ(f.LEDDisplay3->ColorLED(), paleSalmon);

  // Later ticks within the same second do nothing.
  f.LEDDisplay3->setValue(1.23L);
  tickAt(14, 27, 10, 500);
  EXPECT_EQ(f.LEDDisplay3->Value(), 1.23L);
  f.LEDDisplay3->setValue(7.30L);

  tickAt(14, 27, 11);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 14.27, 1e-9);
  EXPECT_EQ(f.LEDDisplay3->ColorLED(), clLime);

  for (int s = 12; s <= 19; ++s) {
    tickAt(14, 27, s);
    EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 14.27, 1e-9) << s;
    EXPECT_EQ(f.LEDDisplay3->ColorLED(), clLime) << s;
  }
  tickAt(14, 28, 0);
  EXPECT_EQ(f.LEDDisplay3->ColorLED(), paleSalmon);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 7.30, 1e-9);
  tickAt(14, 28, 1);
  EXPECT_NEAR(static_cast<double>(f.LEDDisplay3->Value()), 14.28, 1e-9);
  EXPECT_FALSE(started());
}

TEST_F(TimedStartTest, UncheckingStartAtByHandDoesNotDisarm) {
  TForm1& f = *form;
  clickTimes(f.UpDown3, 1);
  arm();
  f.CheckBox2->setChecked(false);
  tickAt(0, 0, 30);
  EXPECT_TRUE(f.Timer4->isActive());
  tickAt(0, 1, 0);
  EXPECT_FALSE(f.Timer4->isActive());
}

}  // namespace
