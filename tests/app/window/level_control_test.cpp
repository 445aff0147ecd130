// The automatic level control driven tick by tick: down steps from the clip sums, the
// hold check, the hold and ramp timers, the mode buttons, and the trigger slider.
#include <QElapsedTimer>
#include <QTimer>

#include "app/level_fixture.h"
#include "support/event_wait.h"

namespace leveltest {
namespace {

class LevelControlTest : public LevelWindowTest {
 protected:
  // A window on the "Recording" line at full volume, set up as a 44100 Hz run with the
  // default clip limits would leave it.
  TForm1& openAtFullVolume() {
    TForm1& f = open();
    choose(RecordingItem);
    f.overhigh = 44;
    f.overlow = 6;
    f.limit16 = 32000;
    f.limit8 = 120;
    return f;
  }
  void setVolumes(uint16_t left, uint16_t right) {
    setOutside(kRecording, left, right);
    pump();
    ASSERT_EQ(form->volleft, left);
    ASSERT_EQ(form->volright, right);
  }
  bool holding() const { return form->Timer2->isActive() && !form->Timer3->isActive(); }
  bool ramping() const { return form->Timer3->isActive() && !form->Timer2->isActive(); }
  bool idle() const { return !form->Timer2->isActive() && !form->Timer3->isActive(); }
};

TEST_F(LevelControlTest, TheLongestRunsOfABlockLowerTheVolumeOnceAndTheSlidersFollow) {
  TForm1& f = openAtFullVolume();
  const struct {
    uint16_t run;
    uint16_t expected;
    int slider;
  } cases[] = {{45, 58982, 10}, {44, 63569, 3}, {3, 64880, 1}, {7, 63569, 3}, {6, 64880, 1}};
  for (const auto& c : cases) {
    setVolumes(65535, 65535);
    f.overleft = c.run;
    f.levelControlTick();
    EXPECT_EQ(f.volleft, c.expected) << "run " << c.run;
    EXPECT_EQ(f.volright, 65535);
    EXPECT_EQ(f.overleft, 0);
    EXPECT_EQ(volume(kRecording), (Volumes{c.expected, 65535})) << "the tick writes the mixer";
    EXPECT_EQ(f.TrackBar1->value(), c.slider);
    EXPECT_EQ(f.TrackBar2->value(), 0);
    // Further ticks without a new block take no further step.
    f.levelControlTick();
    f.levelControlTick();
    EXPECT_EQ(f.volleft, c.expected);
  }

  setVolumes(65535, 65535);
  f.overright = 45;
  f.overleft = 3;
  f.levelControlTick();
  EXPECT_EQ(volume(kRecording), (Volumes{64880, 58982}));
  EXPECT_EQ(f.overright, 0);
  EXPECT_EQ(f.overleft, 0);
  EXPECT_TRUE(idle()) << "\"Down only\" never holds or ramps";
}

TEST_F(LevelControlTest, LowVolumesStopFalling) {
  TForm1& f = openAtFullVolume();
  const struct {
    uint16_t volume;
    uint16_t run;
    uint16_t expected;
  } cases[] = {{4, 45, 4},  {5, 45, 4}, {16, 20, 16}, {17, 20, 16},      {50, 3, 50},
               {51, 3, 50}, {1, 45, 1}, {0, 45, 0},   {65535, 45, 58982}};
  for (const auto& c : cases) {
    f.volleft = c.volume;
    f.volright = c.volume;
    f.overleft = c.run;
    f.overright = c.run;
    f.levelControlTick();
    EXPECT_EQ(f.volleft, c.expected) << c.volume << " after a run of " << c.run;
    EXPECT_EQ(f.volright, c.expected);
  }
}

TEST_F(LevelControlTest, LoudPeaksRestartTheHoldLeftAgainstTheScaledLimitRightAgainstTheLimit) {
  TForm1& f = openAtFullVolume();
  f.RadioButton5->setChecked(true);
  EXPECT_TRUE(idle()) << "choosing \"Up/Down\" between runs starts nothing";
  struct Peaks {
    uint16_t left, right;
    bool restarts;
  };
  const Peaks sixteen[] = {{27201, 0, true},  {27200, 0, false}, {0, 27201, false},
                           {0, 32000, false}, {0, 32001, true},  {32767, 32767, true}};
  for (const Peaks& p : sixteen) {
    f.Timer2->stop();
    f.peakleft = p.left;
    f.peakright = p.right;
    f.levelControlTick();
    EXPECT_EQ(holding(), p.restarts) << "16 bit, peaks " << p.left << "/" << p.right;
  }
  f.Audio1->Recorder()->setBitsPerSample(TBPS::_8);
  const Peaks eight[] = {{91, 0, true}, {90, 0, false}, {0, 91, false}, {0, 120, false}, {0, 121, true}};
  for (const Peaks& p : eight) {
    f.Timer2->stop();
    f.peakleft = p.left;
    f.peakright = p.right;
    f.levelControlTick();
    EXPECT_EQ(holding(), p.restarts) << "8 bit, peaks " << p.left << "/" << p.right;
  }

  // In "Down only" a loud block starts nothing.
  f.Timer2->stop();
  f.RadioButton4->setChecked(true);
  f.peakleft = 128;
  f.peakright = 128;
  f.levelControlTick();
  EXPECT_TRUE(idle());
}

TEST_F(LevelControlTest, AfterTheHoldTheRampRaisesBothVolumesBy300EveryHalfSecond) {
  TForm1& f = openAtFullVolume();
  f.RadioButton5->setChecked(true);
  setVolumes(0, 0);

  f.VUKup();
  ASSERT_TRUE(holding());
  EXPECT_EQ(f.Timer2->interval(), 5000);
  f.Timer2Timer(f.Timer2);
  ASSERT_TRUE(ramping());
  EXPECT_EQ(f.Timer3->interval(), 500) << "the first rise comes 5.5 s after the hold restarted";
  EXPECT_EQ(f.volleft, 0) << "the hold's end itself raises nothing";

  for (int step = 1; step <= 218; ++step) {
    f.Timer3Timer(f.Timer3);
    ASSERT_EQ(f.volleft, step * 300);
    ASSERT_EQ(f.volright, step * 300);
  }
  EXPECT_EQ(volume(kRecording), (Volumes{65400, 65400}));
  EXPECT_EQ(f.TrackBar1->value(), 0);
  // At the top the ramp goes on writing but raises no more.
  setOutside(kRecording, 65400, 1000);
  f.Timer3Timer(f.Timer3);
  EXPECT_EQ(volume(kRecording), (Volumes{65400, 65400}));
  EXPECT_TRUE(ramping());

  // The highest value the ramp reaches.
  f.volleft = 65234;
  f.volright = 65235;
  f.Timer3Timer(f.Timer3);
  EXPECT_EQ(f.volleft, 65534);
  EXPECT_EQ(f.volright, 65235);

  // A loud block during the ramp stops it and holds again.
  f.peakleft = 30000;
  f.levelControlTick();
  EXPECT_TRUE(holding());
}

TEST_F(LevelControlTest, TheHoldIsNeverShorterThanFiveSeconds) {
  // Three windows hold at once, each on its own timer, so three real holds take the time
  // of one. Only a lower bound is checked: a busy machine may end a hold late, never early.
  TForm1& first = openAtFullVolume();
  const std::unique_ptr<TForm1> others[] = {std::make_unique<TForm1>(), std::make_unique<TForm1>()};
  TForm1* const windows[] = {&first, others[0].get(), others[1].get()};
  QElapsedTimer clock;
  clock.start();
  qint64 started[3] = {};
  qint64 ended[3] = {-1, -1, -1};
  for (int i = 0; i < 3; ++i) {
    TForm1& w = *windows[i];
    w.RadioButton5->setChecked(true);
    QObject::connect(w.Timer2, &QTimer::timeout, &w, [&, i] {
      if (ended[i] < 0) ended[i] = clock.nsecsElapsed();
    });
    started[i] = clock.nsecsElapsed();
    w.VUKup();
  }
  ASSERT_TRUE(testsupport::waitFor([&] { return ended[0] >= 0 && ended[1] >= 0 && ended[2] >= 0; }, 60000));
  for (int i = 0; i < 3; ++i) {
    EXPECT_GE(ended[i] - started[i], qint64{5000} * 1000 * 1000) << "hold " << i;
    EXPECT_TRUE(windows[i]->Timer3->isActive()) << "the ramp follows the hold";
  }
}

TEST_F(LevelControlTest, ModeButtonsEndHoldAndRampAndUpDownHoldsOnlyDuringARun) {
  TForm1& f = openAtFullVolume();
  for (QRadioButton* off : {f.RadioButton4, f.RadioButton3}) {
    f.RadioButton5->setChecked(true);
    f.VUKup();
    f.Timer2Timer(f.Timer2);
    ASSERT_TRUE(ramping());
    off->setChecked(true);
    EXPECT_TRUE(idle()) << off->text().toStdString();
    f.RadioButton5->setChecked(true);
    EXPECT_TRUE(idle()) << "no run: switching to \"Up/Down\" does nothing";
    f.VUKup();
    off->setChecked(true);
    EXPECT_TRUE(idle());
  }
  // During a run (Timer1 ticking) choosing "Up/Down" starts the hold.
  f.Timer1->start();
  f.RadioButton5->setChecked(true);
  f.Timer1->stop();
  EXPECT_TRUE(holding());
}

TEST_F(LevelControlTest, OffTakesNoStepAndTheSumsAddUpForTheNextMode) {
  TForm1& f = openAtFullVolume();
  f.RadioButton3->setChecked(true);
  f.overleft = 20;
  f.peakleft = 32767;
  f.levelControlTick();
  f.overleft += 25;
  f.levelControlTick();
  EXPECT_EQ(f.volleft, 65535);
  EXPECT_EQ(f.overleft, 45);
  EXPECT_TRUE(idle());

  f.RadioButton4->setChecked(true);
  f.levelControlTick();
  EXPECT_EQ(f.volleft, 58982) << "one step for the sum of every block since";
  EXPECT_EQ(f.overleft, 0);
}

TEST_F(LevelControlTest, WritesKeepTheLinesMuteState) {
  TForm1& f = openAtFullVolume();
  card_->setMuteFromOutside(0, 0, kRecording, true);
  pump();
  f.overleft = 45;
  f.levelControlTick();
  EXPECT_EQ(volume(kRecording), (Volumes{58982, 65535}));
  EXPECT_TRUE(muted(kRecording));

  // The write-back's read fails: the line is written with the mute state last read.
  card_->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  f.overright = 45;
  f.levelControlTick();
  EXPECT_EQ(volume(kRecording), (Volumes{58982, 58982}));
  EXPECT_TRUE(muted(kRecording));

  f.RadioButton5->setChecked(true);
  f.VUKup();
  f.Timer2Timer(f.Timer2);
  card_->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  f.Timer3Timer(f.Timer3);
  EXPECT_EQ(volume(kRecording), (Volumes{59282, 59282}));
  EXPECT_TRUE(muted(kRecording));
  // The write-back reads only the mute state: the volumes written are the window's.
  EXPECT_EQ(f.volleft, 59282);
}

TEST_F(LevelControlTest, WithoutAnInputTheTickChangesTheVolumesButWritesNothing) {
  VirtualCard card = levelCard();
  card.mixers.clear();
  TForm1& f = open(card);
  ASSERT_EQ(f.volumsel, nullptr);
  f.volleft = 1000;
  f.overhigh = 44;
  f.overleft = 45;
  f.levelControlTick();
  EXPECT_EQ(f.volleft, 900);
  f.RadioButton5->setChecked(true);
  f.VUKup();
  f.Timer2Timer(f.Timer2);
  f.Timer3Timer(f.Timer3);
  EXPECT_EQ(f.volleft, 1200);
}

TEST_F(LevelControlTest, TheTriggerSliderSetsTheTriggerLevelFromTheBottom) {
  TForm1& f = openAtFullVolume();
  const std::pair<int, uint16_t> cases[] = {{0, 1000}, {800, 200}, {1000, 0}, {999, 1}};
  for (const auto& [position, level] : cases) {
    f.TrackBar3->setValue(position);
    EXPECT_EQ(f.Audio1->Recorder()->TrigLevel(), level) << "position " << position;
  }
}

}  // namespace
}  // namespace leveltest
