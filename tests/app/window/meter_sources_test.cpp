// The list of meter sources, the choice in ComboBox1 and the meter tick.
#include "app/window_run.h"

namespace {

using window_run::WindowRun;

class MeterSources : public WindowRun {};

TEST_F(MeterSources, ListsTheWaveDataFirstThenEveryLineWithAReadableMeter) {
  TForm1& f = openDefault();
  // Playback lines have no meter; "Recording" and its two sources have one.
  ASSERT_EQ(f.ComboBox1->count(), 4);
  EXPECT_EQ(f.ComboBox1->itemText(0), "refer to wave data");
  EXPECT_EQ(f.ComboBox1->itemText(1), "Virtual Mixer: Recording");
  EXPECT_EQ(f.ComboBox1->itemText(2), "Virtual Mixer: Line In");
  EXPECT_EQ(f.ComboBox1->itemText(3), "Virtual Mixer: Microphone");
  ASSERT_NE(f.meterfirst, nullptr);
  EXPECT_TRUE(f.meterfirst->wavedata);
  EXPECT_EQ(f.metersel, f.meterfirst);

  const TMeterEntry* mic = f.meterfirst->next->next->next;
  ASSERT_NE(mic, nullptr);
  EXPECT_FALSE(mic->wavedata);
  EXPECT_EQ(mic->device, 0);
  EXPECT_EQ(mic->destination, 0);
  EXPECT_EQ(mic->source, 2);
  EXPECT_EQ(mic->next, nullptr);

  f.ComboBox1->setCurrentIndex(3);
  f.ComboBox1Change(f.ComboBox1);
  EXPECT_EQ(f.metersel, mic);
  f.ComboBox1->setCurrentIndex(-1);
  f.ComboBox1Change(f.ComboBox1);
  EXPECT_EQ(f.metersel, mic) << "no selection keeps the source";
}

TEST_F(MeterSources, WithoutAnyMixerTheWaveDataSourceStillAllowsMonitoring) {
  TForm1& f = open(recorder_test::plainCard(VirtualPacing::AsFastAsQueued));
  ASSERT_EQ(f.ComboBox1->count(), 1);
  EXPECT_EQ(f.ComboBox1->currentIndex(), 0);
  ASSERT_NE(f.metersel, nullptr);
  EXPECT_TRUE(f.metersel->wavedata);

  f.BitBtn4Click(f.BitBtn4);
  EXPECT_TRUE(f.Timer1->isActive());
  EXPECT_TRUE(waitBlocks(3));
  EXPECT_TRUE(prompts->messages.empty());
  f.BitBtn4Click(f.BitBtn4);
  EXPECT_FALSE(f.Timer1->isActive());
}

TEST_F(MeterSources, ScalingRoundsToTheNearestSegmentAndTakesTheMagnitude) {
  const std::pair<int32_t, int32_t> table[] = {{0, 0},       {1023, 0},     {1024, 1},       {3071, 1},
                                               {3072, 2},    {16384, 8},    {30720, 15},     {32767, 16},
                                               {-32768, 16}, {-1024, 1},    {100000, 49},    {3 * 256, 0},
                                               {4 * 256, 1}, {64 * 256, 8}, {127 * 256, 16}, {128 * 256, 16}};
  for (auto [value, position] : table) EXPECT_EQ(TForm1::meterPosition(value, 16), position) << value;
}

TEST_F(MeterSources, TickShowsWaveDataPeaksByTheRecordedWidth) {
  TForm1& f = openDefault();
  f.Audio1->Recorder()->setBitsPerSample(TBPS::_16);
  f.peakleft = 1023;
  f.peakright = 32767;
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.LEDMeter1->Position(), 0);
  EXPECT_EQ(f.LEDMeter2->Position(), 16);

  f.Audio1->Recorder()->setBitsPerSample(TBPS::_8);
  f.peakleft = 4;
  f.peakright = 128;
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.LEDMeter1->Position(), 1);
  EXPECT_EQ(f.LEDMeter2->Position(), 16);
  f.peakleft = 3;
  f.peakright = 0;
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.LEDMeter1->Position(), 0);
  EXPECT_EQ(f.LEDMeter2->Position(), 0);
}

TEST_F(MeterSources, MixerMeterReadsTheLineAndAFailedReadFreezesTheMeters) {
  TForm1& f = openDefault();
  f.ComboBox1->setCurrentIndex(2);  // "Line In" of "Recording"
  f.ComboBox1Change(f.ComboBox1);
  f.Audio1->setMixerDeviceID(f.metersel->device);  // as a start of a run does
  driver->setInputLevel(-32768, 16384);
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.LEDMeter1->Position(), 16);
  EXPECT_EQ(f.LEDMeter2->Position(), 8);

  driver->failAlways(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  driver->setInputLevel(0, 0);
  f.Timer1Timer(f.Timer1);
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.LEDMeter1->Position(), 16);
  EXPECT_EQ(f.LEDMeter2->Position(), 8);
  driver->failAlways(VirtualCall::mixerGetControlDetailsA, MMSYSERR_NOERROR);
  f.Timer1Timer(f.Timer1);
  EXPECT_EQ(f.LEDMeter1->Position(), 0);
  EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(MeterSources, TickWithoutASourceSwitchesItselfOff) {
  TForm1& f = openDefault();
  f.metersel = nullptr;
  f.Timer1->start();
  f.Timer1Timer(f.Timer1);
  EXPECT_FALSE(f.Timer1->isActive());
  EXPECT_TRUE(prompts->messages.empty());
  EXPECT_EQ(f.BitBtn4->Tag, 1) << "idle: the monitor button turns on and nothing starts";
  EXPECT_EQ(f.BitBtn4->Glyph().cacheKey(), f.Image2->Picture().cacheKey());
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);

  f.BitBtn3->setEnabled(true);
  f.Timer1->start();
  f.Timer1Timer(f.Timer1);
  EXPECT_FALSE(f.Timer1->isActive());
  ASSERT_EQ(prompts->messages.size(), 1u);
  EXPECT_EQ(prompts->messages[0].text, "Kein Meter angewählt, Meter abgestellt");
  EXPECT_EQ(prompts->messages[0].caption, "Aufnahme");
  EXPECT_EQ(prompts->messages[0].buttons, QMessageBox::Ok);
}

}  // namespace
