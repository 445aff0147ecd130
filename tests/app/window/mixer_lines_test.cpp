// The level-control input list and the level and balance sliders against the virtual
// card's mixer: what the sliders write, what they show, and what they leave alone.
#include <QLabel>

#include "app/level_fixture.h"

namespace leveltest {
namespace {

class MixerLinesTest : public LevelWindowTest {};

TEST_F(MixerLinesTest, ListsEveryLineWithAVolumeControlAndStartsFromTheFirstLinesVolume) {
  TForm1& f = open();
  ASSERT_EQ(f.ComboBox3->count(), 3) << "the mute-only line is no input";
  EXPECT_EQ(f.ComboBox3->itemText(0), "Test Mixer: D Recording: Recording");
  EXPECT_EQ(f.ComboBox3->itemText(1), "Test Mixer: S Line In: Line In");
  EXPECT_EQ(f.ComboBox3->itemText(2), "Test Mixer: S Microphone: Microphone");
  EXPECT_TRUE(prompts->messages.empty());

  int n = 0;
  for (TInputEntry* e = f.volumfirst; e != nullptr; e = e->next, ++n) {
    EXPECT_EQ(e->device, 0);
    EXPECT_EQ(e->destination, 0);
    EXPECT_EQ(e->source, n == 0 ? 0 : n);
    EXPECT_EQ(QString::fromStdString(e->caption), f.ComboBox3->itemText(n));
  }
  EXPECT_EQ(n, 3);
  EXPECT_EQ(f.volumsel, f.volumfirst);
  EXPECT_EQ(f.ComboBox3->currentIndex(), 0);
  // The window shows the line's volume and has written nothing.
  EXPECT_EQ(f.volleft, 65535);
  EXPECT_EQ(f.volright, 65535);
  EXPECT_EQ(levelLR(), (std::vector<int>{0, 0, 50}));

  choose(LineInItem);
  EXPECT_EQ(f.volumsel, f.volumfirst->next);
  EXPECT_EQ(f.volleft, 40000);
  EXPECT_EQ(levelLR(), (std::vector<int>{39, 39, 50}));
  EXPECT_EQ(volume(kLineIn), (Volumes{40000, 40000})) << "choosing a line writes nothing";
  EXPECT_EQ(volume(kRecording), (Volumes{65535, 65535}));
}

TEST_F(MixerLinesTest, ALineWhoseVolumeCannotBeReadIsReportedAndLeftOut) {
  // A destination without any control makes no mixer call, so the injected failure hits
  // the read of its first source.
  VirtualCard card = levelCard();
  card.mixers[0].destinations[0].line.volume = false;
  card.mixers[0].destinations[0].line.mute = false;
  TForm1& f = open(card);
  const int before = f.ComboBox3->count();
  ASSERT_EQ(before, 2);
  f.Audio1->setMixerDeviceID(0);  // the start-up enumeration left it past the last device
  card_->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  f.volumlist(0);
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "D: 0Recording S: 1Line In");
  EXPECT_EQ(prompts->messages[0].text, QString::fromStdString(f.Audio1->ErrorMessage));
  EXPECT_FALSE(prompts->messages[0].text.isEmpty());
  EXPECT_EQ(prompts->messages[0].buttons, QMessageBox::Ok);
  ASSERT_EQ(f.ComboBox3->count(), before + 1) << "the loop goes on after the failing line";
  EXPECT_EQ(f.ComboBox3->itemText(before), "Test Mixer: S Microphone: Microphone");
  EXPECT_EQ(f.volumlast->source, 2);
  form.reset();
  prompts->messages.clear();

  // A failing destination line is captioned with the destination's name alone.
  TForm1& g = open();
  g.Audio1->setMixerDeviceID(0);
  card_->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  g.volumlist(0);
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].caption, "Recording");
}

TEST_F(MixerLinesTest, WithoutAnyInputTheSlidersMoveWithoutEffect) {
  VirtualCard card = levelCard();
  for (VirtualLine* line : {&card.mixers[0].destinations[0].line, &card.mixers[0].destinations[0].sources[0],
                            &card.mixers[0].destinations[0].sources[1]}) {
    line->volume = false;
  }
  TForm1& f = open(card);
  EXPECT_EQ(f.ComboBox3->count(), 0);
  EXPECT_EQ(f.volumsel, nullptr);
  f.TrackBar1->setValue(30);
  f.ComboBox3Change(f.ComboBox3);
  f.Audio2MixerChange(f.Audio2.get(), 0, 0);
  EXPECT_EQ(f.TrackBar1->value(), 30);
  EXPECT_FALSE(f.trackbusy);
}

TEST_F(MixerLinesTest, SliderPositionsWriteTheVolumeTable) {
  TForm1& f = open();
  choose(LineInItem);
  const std::pair<int, WORD> table[] = {{0, 65535},  {1, 64880}, {25, 49151}, {50, 32768},
                                        {75, 16384}, {99, 655},  {100, 0}};
  for (const auto& [position, expected] : table) {
    f.TrackBar2->setValue(position == 50 ? 49 : 50);  // so that TrackBar2 also moves below
    f.TrackBar1->setValue(position);
    EXPECT_EQ(volume(kLineIn)[0], expected) << "TrackBar1 at " << position;
    f.TrackBar2->setValue(position);
    EXPECT_EQ(volume(kLineIn)[1], expected) << "TrackBar2 at " << position;
    EXPECT_EQ(f.TrackBar4->value(), 50);
  }
  // "Level/Balan&ce" mode: the level slider writes the same table to both channels.
  f.RadioButton1->setChecked(true);
  for (const auto& [position, expected] : table) {
    f.TrackBar5->setValue(position == 0 ? 1 : 0);
    f.TrackBar5->setValue(position);
    EXPECT_EQ(volume(kLineIn), (Volumes{expected, expected})) << "TrackBar5 at " << position;
  }
  EXPECT_FALSE(f.trackbusy);
  EXPECT_EQ(f.trackwhich, 0);
}

TEST_F(MixerLinesTest, VolumesReadShowTheSliderTableAndTheBalance) {
  TForm1& f = open();
  choose(LineInItem);
  const std::pair<WORD, int> table[] = {{65535, 0}, {32768, 50}, {32767, 50}, {328, 99}, {327, 100}, {0, 100}};
  for (const auto& [value, position] : table) {
    setOutside(kLineIn, value, value);
    pump();
    EXPECT_EQ(f.TrackBar1->value(), position) << "volume " << value;
    EXPECT_EQ(f.TrackBar2->value(), position) << "volume " << value;
    EXPECT_EQ(volume(kLineIn), (Volumes{value, value})) << "showing a volume writes nothing back";
  }
  struct Balance {
    WORD left, right;
    int position;
  };
  const Balance balances[] = {{65535, 0, 0}, {0, 65535, 100}, {32768, 65535, 75}, {65535, 32768, 25}, {1000, 1000, 50}};
  for (const Balance& b : balances) {
    setOutside(kLineIn, b.left, b.right);
    pump();
    EXPECT_EQ(f.TrackBar4->value(), b.position) << b.left << "/" << b.right;
  }
  // Silence shows the centre in "L&evel L/R" mode.
  setOutside(kLineIn, 0, 0);
  pump();
  EXPECT_EQ(f.TrackBar4->value(), 50);
}

TEST_F(MixerLinesTest, LeftSliderToTheTopWithTheRightAtHalfMovesTheBalance) {
  TForm1& f = open();
  choose(LineInItem);
  f.TrackBar2->setValue(50);
  f.TrackBar1->setValue(0);
  EXPECT_EQ(volume(kLineIn), (Volumes{65535, 32768}));
  EXPECT_EQ(f.TrackBar4->value(), 25);
  EXPECT_EQ(f.volleft, 65535);
  EXPECT_EQ(f.volright, 32768);
}

TEST_F(MixerLinesTest, BalanceInLevelModeLowersOneChannelAndTheLevelSlidersFollowTheMixer) {
  TForm1& f = open();
  choose(RecordingItem);
  const struct {
    int balance;
    Volumes expected;
  } cases[] = {{75, {32768, 65535}}, {100, {0, 65535}}, {0, {65535, 0}}, {51, {64224, 65535}}, {50, {65535, 65535}}};
  for (const auto& c : cases) {
    setOutside(kRecording, 65535, 65535);
    pump();
    f.TrackBar4->setValue(c.balance);
    EXPECT_EQ(volume(kRecording), c.expected) << "balance " << c.balance;
    if (c.balance == 75) {
      EXPECT_EQ(f.TrackBar1->value(), 0) << "the level sliders wait for the mixer's report";
      pump();
      EXPECT_EQ(f.TrackBar1->value(), 50);
      EXPECT_EQ(f.TrackBar2->value(), 0);
    }
    pump();
    EXPECT_EQ(f.TrackBar4->value(), c.balance) << "the report shows the balance that was set";
  }
}

TEST_F(MixerLinesTest, LevelAndBalanceModeWritesLevelAndBalanceAndSilenceKeepsTheBalance) {
  TForm1& f = open();
  choose(LineInItem);
  f.RadioButton1->setChecked(true);
  EXPECT_TRUE(f.TrackBar5->isVisibleTo(&f));
  EXPECT_FALSE(f.TrackBar1->isVisibleTo(&f));
  EXPECT_FALSE(f.TrackBar2->isVisibleTo(&f));
  EXPECT_EQ(f.Label7->FocusControl(), f.TrackBar5);

  f.TrackBar5->setValue(0);
  f.TrackBar4->setValue(75);
  EXPECT_EQ(volume(kLineIn), (Volumes{32768, 65535}));
  f.TrackBar4->setValue(25);
  EXPECT_EQ(volume(kLineIn), (Volumes{65535, 32768}));
  f.TrackBar5->setValue(50);
  EXPECT_EQ(volume(kLineIn), (Volumes{32768, 16384}));
  pump();
  EXPECT_EQ(f.TrackBar5->value(), 50);
  EXPECT_EQ(f.TrackBar4->value(), 25);

  f.TrackBar5->setValue(100);
  EXPECT_EQ(volume(kLineIn), (Volumes{0, 0}));
  pump();
  EXPECT_EQ(f.TrackBar4->value(), 25) << "silence has no balance";
  EXPECT_EQ(f.TrackBar5->value(), 100);

  f.RadioButton2->setChecked(true);
  EXPECT_FALSE(f.TrackBar5->isVisibleTo(&f));
  EXPECT_TRUE(f.TrackBar1->isVisibleTo(&f));
  EXPECT_EQ(f.Label7->FocusControl(), f.TrackBar1);
}

TEST_F(MixerLinesTest, SwitchingModesShowsTheSameVolumesAndNeverWrites) {
  TForm1& f = open();
  choose(LineInItem);
  setOutside(kLineIn, 65535, 32768);
  pump();
  EXPECT_EQ(levelLR(), (std::vector<int>{0, 50, 25}));
  for (int round = 0; round < 2; ++round) {
    f.RadioButton1->setChecked(true);
    pump();
    EXPECT_EQ(f.TrackBar5->value(), 0);
    EXPECT_EQ(f.TrackBar4->value(), 25);
    f.RadioButton2->setChecked(true);
    pump();
    EXPECT_EQ(levelLR(), (std::vector<int>{0, 50, 25}));
  }
  // A volume that no slider position writes back exactly shows any write at once.
  setOutside(kLineIn, 40000, 20000);
  pump();
  f.RadioButton1->setChecked(true);
  f.RadioButton2->setChecked(true);
  pump();
  EXPECT_EQ(volume(kLineIn), (Volumes{40000, 20000}));
  EXPECT_EQ(levelLR(), (std::vector<int>{39, 69, 25}));
}

TEST_F(MixerLinesTest, OutsideChangesOfTheChosenLineMoveTheSlidersAndOthersAreIgnored) {
  TForm1& f = open();
  choose(LineInItem);
  setOutside(kLineIn, 40000, 20000);
  pump();
  EXPECT_EQ(levelLR(), (std::vector<int>{39, 69, 25}));
  EXPECT_EQ(f.volleft, 40000);
  EXPECT_EQ(f.volright, 20000);
  EXPECT_EQ(volume(kLineIn), (Volumes{40000, 20000}));

  setOutside(kRecording, 1000, 1000);
  setOutside(kMicrophone, 1000, 1000);
  pump();
  EXPECT_EQ(levelLR(), (std::vector<int>{39, 69, 25}));
  EXPECT_EQ(f.volleft, 40000);
  // A report naming another line of the same number on another destination is ignored too.
  f.Audio2MixerChange(f.Audio2.get(), 1, kLineIn);
  EXPECT_EQ(f.volleft, 40000);
}

TEST_F(MixerLinesTest, AOneChannelLineTakesTheLeftValueOnly) {
  TForm1& f = open();
  choose(MicrophoneItem);
  EXPECT_EQ(levelLR(), (std::vector<int>{50, 50, 50}));
  f.TrackBar2->setValue(0);
  EXPECT_EQ(volume(kMicrophone), (Volumes{32768}));
  pump();
  EXPECT_EQ(levelLR(), (std::vector<int>{50, 50, 50})) << "both sliders show the left value";
  f.TrackBar1->setValue(20);
  EXPECT_EQ(volume(kMicrophone), (Volumes{52428}));
  pump();
  EXPECT_EQ(levelLR(), (std::vector<int>{20, 20, 50}));
}

TEST_F(MixerLinesTest, AMutedLineStaysMutedWhateverTheSlidersDo) {
  TForm1& f = open();
  choose(LineInItem);
  card_->setMuteFromOutside(0, 0, kLineIn, true);
  pump();
  f.TrackBar1->setValue(10);
  f.TrackBar4->setValue(80);
  f.RadioButton1->setChecked(true);
  f.TrackBar5->setValue(30);
  EXPECT_TRUE(muted(kLineIn));
  EXPECT_EQ(volume(kLineIn)[1], 45874) << "45874.5 rounds to the even neighbour";

  // A read that fails keeps the mute state last read: the line is written still muted.
  card_->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  f.TrackBar5->setValue(40);
  EXPECT_EQ(volume(kLineIn)[1], 39321);
  EXPECT_TRUE(muted(kLineIn));

  card_->setMuteFromOutside(0, 0, kLineIn, false);
  pump();
  f.TrackBar5->setValue(20);
  EXPECT_FALSE(muted(kLineIn)) << "the sliders do not mute either";
}

TEST_F(MixerLinesTest, ALineWhoseMuteStateWasNeverReadIsNotWritten) {
  TForm1& f = open();
  card_->setMuteFromOutside(0, 0, kMicrophone, true);
  pump();
  card_->failAlways(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  choose(MicrophoneItem);
  f.TrackBar1->setValue(75);
  card_->failAlways(VirtualCall::mixerGetControlDetailsA, MMSYSERR_NOERROR);
  EXPECT_TRUE(muted(kMicrophone));
  EXPECT_EQ(volume(kMicrophone), (Volumes{32768}));
  // The first good read makes the line writable, with its own mute state.
  f.TrackBar1->setValue(25);
  EXPECT_EQ(volume(kMicrophone), (Volumes{49151}));
  EXPECT_TRUE(muted(kMicrophone));
}

TEST_F(MixerLinesTest, LabelsMoveTheFocusToTheirControls) {
  TForm1& f = open();
  f.show();
  const std::pair<void (TForm1::*)(QObject*), QWidget*> moves[] = {
      {&TForm1::Label3Click, f.ComboBox1}, {&TForm1::Label4Click, f.ComboBox2}, {&TForm1::Label5Click, f.ComboBox3},
      {&TForm1::Label6Click, f.TrackBar3}, {&TForm1::Label7Click, f.TrackBar1}, {&TForm1::Label11Click, f.TrackBar4}};
  for (const auto& [handler, control] : moves) {
    (f.*handler)(nullptr);
    EXPECT_EQ(f.focusWidget(), control);
  }
  f.RadioButton1->setChecked(true);
  f.Label7Click(f.Label7);
  EXPECT_EQ(f.focusWidget(), f.TrackBar5);
}

}  // namespace
}  // namespace leveltest
