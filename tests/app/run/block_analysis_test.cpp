// The block analysis: what each block does on the window thread (lamp, peaks, clip
// runs, clock, countdown, automatic stop), blocks of crafted input scanned on the
// service thread, and results of an ended run dropped.
#include <QCheckBox>
#include <QCoreApplication>
#include <QTimer>

#include "app/run/status_line.h"
#include "app/window_run.h"

namespace {

using window_run::burst;
using window_run::kFrames;
using window_run::stereoBlock;
using window_run::WindowRun;

class BlockAnalysis : public WindowRun {
 protected:
  void blocks(TForm1& f, int count, BlockScanResult scan = {}) {
    for (int i = 0; i < count; ++i) f.blockAnalysed(scan);
  }
  static long double value(const TLEDDisplay* d) { return d->Value(); }
  // Sets a length of `seconds` as the spin buttons would show it.
  static void setLength(TForm1& f, int seconds) {
    f.UpDown2->setPosition(static_cast<int16_t>(seconds / 60));
    f.UpDown1->setPosition(static_cast<int16_t>(seconds % 60));
    f.LEDDisplay2->setValue(f.UpDown2->Position() + f.UpDown1->Position() / 100.0L);
  }
};

TEST_F(BlockAnalysis, LampBlinksFromTheSecondBlockAndRunsAddUp) {
  TForm1& f = openDefault();
  const int lamp[] = {0, 100, 0, 100, 0};
  for (int expected : lamp) {
    f.blockAnalysed({});
    EXPECT_EQ(f.LEDMeter3->Position(), expected);
  }

  f.overleft = 65530;
  f.blockAnalysed({.peak = {1200, 300}, .longestRun = {7, 3}});
  EXPECT_EQ(f.peakleft, 1200);
  EXPECT_EQ(f.peakright, 300);
  EXPECT_EQ(f.overleft, 1) << "the sum wraps at 65536";
  EXPECT_EQ(f.overright, 3);
  EXPECT_EQ(f.Label1->text(), "7");
  EXPECT_EQ(f.Label12->text(), "3");
  f.blockAnalysed({});
  EXPECT_EQ(f.Label1->text(), "0");
  EXPECT_EQ(f.Label12->text(), "0");
  EXPECT_EQ(f.overright, 3);
}

TEST_F(BlockAnalysis, TenBlocksMakeASecondAndSixHundredAMinute) {
  TForm1& f = openDefault();
  blocks(f, 9);
  EXPECT_EQ(value(f.LEDDisplay1), 0);
  blocks(f, 1);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay1)), 0.01);
  blocks(f, 589);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay1)), 0.59);
  blocks(f, 1);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay1)), 1.00);
  EXPECT_EQ(f.elapsedmin, 1);
  EXPECT_EQ(f.elapsedsec, 0);

  // A new run shows the last run's time until its own first second.
  chooseFile("next.wav");
  f.BitBtn1Click(f.BitBtn1);
  f.BitBtn3Click(f.BitBtn3);
  blocks(f, 9);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay1)), 1.00);
  blocks(f, 1);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay1)), 0.01);
}

TEST_F(BlockAnalysis, LengthRunsOutStopsTheRecordingAndShowsTheLengthAgain) {
  TForm1& f = openDefault();
  setLength(f, 5);
  chooseFile("five.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.BitBtn3->isEnabled());
  blocks(f, 40);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 0.01);
  EXPECT_TRUE(f.Audio1->Recorder()->IsOpen);
  blocks(f, 10);
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);
  EXPECT_FALSE(f.BitBtn3->isEnabled());
  EXPECT_FALSE(f.BitBtn1->isEnabled());
  EXPECT_EQ(f.UpDown1->Position(), 5);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 0.05);
  const std::string file = window_run::readFile(path("five.wav"));
  EXPECT_EQ(window_run::readLE(file, 40, 4), file.size() - 44) << "the file is complete";

  // While monitoring the same length ends monitoring.
  f.BitBtn4Click(f.BitBtn4);
  blocks(f, 50);
  EXPECT_EQ(f.BitBtn4->Tag, 0);
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen);
  EXPECT_FALSE(f.Timer1->isActive());
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 0.05);
}

TEST_F(BlockAnalysis, LengthZeroNeverStops) {
  TForm1& f = openDefault();
  f.BitBtn4Click(f.BitBtn4);
  blocks(f, 1200);
  EXPECT_TRUE(f.Audio1->Recorder()->IsOpen);
  EXPECT_EQ(value(f.LEDDisplay2), 0);
  EXPECT_EQ(f.UpDown1->Position(), 0);
  EXPECT_EQ(f.UpDown2->Position(), 0);
  f.BitBtn4Click(f.BitBtn4);
}

TEST_F(BlockAnalysis, RunStoppedByHandLeavesTheRestOfTheLengthForTheNextRun) {
  TForm1& f = openDefault();
  setLength(f, 300);
  chooseFile("long.wav");
  f.BitBtn1Click(f.BitBtn1);
  blocks(f, 800);  // 1:20
  f.BitBtn3Click(f.BitBtn3);
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 3.40);

  chooseFile("rest.wav");
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_EQ(f.lengthmin, 3);
  EXPECT_EQ(f.lengthsec, 40);
  blocks(f, 2199);
  EXPECT_TRUE(f.BitBtn3->isEnabled());
  blocks(f, 1);
  EXPECT_FALSE(f.BitBtn3->isEnabled());
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 3.40);
}

TEST_F(BlockAnalysis, TheLengthCountsFromWhereTheUserSetsItDuringTheRun) {
  TForm1& f = openDefault();
  setLength(f, 5);
  chooseFile("changed.wav");
  f.BitBtn1Click(f.BitBtn1);
  blocks(f, 20);
  f.UpDown1->click(btNext);  // 0:03 left, one more
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 0.04);
  blocks(f, 39);
  EXPECT_TRUE(f.BitBtn3->isEnabled());
  blocks(f, 1);
  EXPECT_FALSE(f.BitBtn3->isEnabled()) << "the recording ended at the changed length";
  EXPECT_DOUBLE_EQ(static_cast<double>(value(f.LEDDisplay2)), 0.05) << "the length taken at the start";
}

TEST_F(BlockAnalysis, MonitoringLengthRunningOutWhileArmedEndsOnlyTheMonitoring) {
  TForm1& f = openDefault();
  setLength(f, 5);
  f.BitBtn4Click(f.BitBtn4);
  f.LEDDisplay3->setValue(7.30L);
  f.CheckBox2->setChecked(true);
  chooseFile("armed.wav");
  f.BitBtn1Click(f.BitBtn1);
  ASSERT_TRUE(f.Timer4->isActive());
  blocks(f, 50);
  EXPECT_FALSE(f.Audio1->Recorder()->IsOpen) << "the monitoring run ended";
  EXPECT_EQ(f.BitBtn4->Tag, 0);
  EXPECT_FALSE(f.Timer1->isActive());
  EXPECT_TRUE(f.StatusBar1->item(StatusLine::Summary).startsWith("Monitoring ended: set length reached"));
  EXPECT_TRUE(f.Timer4->isActive()) << "the timed start stays armed";
  EXPECT_TRUE(f.CheckBox2->isChecked());
  EXPECT_TRUE(f.BitBtn3->isEnabled());
  EXPECT_FALSE(f.BitBtn4->isEnabled());

  // The start time comes: the recording starts.
  f.Timer4->stop();
  f.CheckBox2->setChecked(false);
  f.BitBtn1Click(f.BitBtn1);
  EXPECT_TRUE(f.Audio1->Recorder()->WaveFileOpen);
  f.BitBtn3Click(f.BitBtn3);
}

// Blocks of crafted input go the whole way: scanned where they are delivered, handed to
// the window thread, shown there.
struct Crafted {
  const char* name;
  std::string wav;
  uint16_t peakleft, peakright;
  const char* label1;
  const char* label12;
  int32_t limit8 = 120;
};

TEST_F(BlockAnalysis, CraftedBlocksGiveTheirPeaksAndRuns) {
  const int16_t over = 32701;  // just beyond the limit of 32700 set below
  std::vector<std::pair<int, int16_t>> twoBursts = burst(100, 3, over);
  for (auto s : burst(2000, 7, -over)) twoBursts.push_back(s);
  std::vector<std::pair<int, int16_t>> negative;
  for (int k = 0; k < kFrames; ++k) negative.push_back({k, -1000});

  std::string eightBitSilence(kFrames, static_cast<char>(128));
  std::string eightBitZero = eightBitSilence;
  eightBitZero[1234] = 0;
  std::string eightBitBurst = eightBitSilence;
  for (int k = 10; k < 15; ++k) eightBitBurst[k] = static_cast<char>(k % 2 ? 251 : 4);

  const Crafted cases[] = {
      {"burst of 5 in the middle", stereoBlock(burst(2000, 5, over), burst(10, 2, -over)), over, 0, "5", "2"},
      {"burst of 5 at the end", stereoBlock(burst(kFrames - 5, 5, over)), over, 0, "0", "0"},
      {"bursts of 3 and 7", stereoBlock(twoBursts), over, 0, "7", "0"},
      {"all negative", stereoBlock(negative, negative), 0, 0, "0", "0"},
      {"8-bit silence", window_run::wavBytes(1, 44100, 8, eightBitSilence), 0, 0, "0", "0"},
      {"8-bit single 0 byte", window_run::wavBytes(1, 44100, 8, eightBitZero), 128, 0, "1", "0"},
      {"8-bit burst of 5 at 251 and 4", window_run::wavBytes(1, 44100, 8, eightBitBurst), 124, 0, "5", "0", 122},
  };
  for (const Crafted& c : cases) {
    SCOPED_TRACE(c.name);
    TForm1& f = openWithInput(c.wav);
    f.limit16 = 32700;
    f.limit8 = c.limit8;
    if (c.wav.substr(34, 1) == "\x08") {  // the 8-bit files are recorded as they are: 8-bit mono
      f.recbits = 0;
      f.recchannels = 0;
    }
    f.BitBtn4Click(f.BitBtn4);
    ASSERT_TRUE(waitBlocks(3));
    EXPECT_EQ(f.peakleft, c.peakleft);
    EXPECT_EQ(f.peakright, c.peakright);
    EXPECT_EQ(f.Label1->text(), c.label1);
    EXPECT_EQ(f.Label12->text(), c.label12);
    f.BitBtn4Click(f.BitBtn4);
    form.reset();
  }
}

TEST_F(BlockAnalysis, MonoRecordingLeavesTheRightChannelAtZero) {
  TForm1& f = openWithInput(stereoBlock(burst(100, 9, 32767), burst(200, 9, 32767)));
  f.recchannels = 0;
  f.BitBtn4Click(f.BitBtn4);
  ASSERT_TRUE(waitBlocks(3));
  EXPECT_EQ(f.peakright, 0);
  EXPECT_EQ(f.Label12->text(), "0");
  EXPECT_GT(f.peakleft, 0);
  f.BitBtn4Click(f.BitBtn4);
}

TEST_F(BlockAnalysis, EmptyBlockCountsAsATenthOfASecond) {
  TForm1& f = openDefault();
  f.BitBtn4Click(f.BitBtn4);
  f.blockhandover.endRun();  // only the blocks below reach the window
  f.blockhandover.beginRun(TBPS::_16, TChannels::Stereo, 120, 32000);
  for (int i = 0; i < 10; ++i) f.blockhandover.post(nullptr, 0);
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(f.elapsedsec, 1);
  f.BitBtn4Click(f.BitBtn4);
}

TEST(BlockHandoverTest, ResultsOfAnEndedRunAreDropped) {
  std::vector<BlockScanResult> got;
  BlockHandover handover([&](const BlockScanResult& scan) { got.push_back(scan); });
  const std::vector<int16_t> samples = {5, -7, 300, 2};
  const std::string block = recorder_test::samples16(samples);

  handover.post(block.data(), 8);  // no run yet
  handover.beginRun(TBPS::_16, TChannels::Stereo, 0, 100);
  handover.post(block.data(), 8);
  handover.endRun();
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(got.empty());

  handover.beginRun(TBPS::_16, TChannels::Stereo, 0, 100);
  handover.post(block.data(), 8);
  handover.beginRun(TBPS::_16, TChannels::Mono, 0, 100);  // a new run at once
  handover.post(block.data(), 8);
  handover.post(block.data(), 8);
  QCoreApplication::sendPostedEvents();
  ASSERT_EQ(got.size(), 2u) << "only the blocks of the run that is on";
  EXPECT_EQ(got[0].peak[0], 300) << "scanned as mono, the format of the run";
  EXPECT_EQ(got[0].peak[1], 0);
  handover.endRun();
}

TEST(BlockHandoverTest, ResultsArriveWholeWithWhetherTheBlockWasHeard) {
  std::vector<BlockScanResult> got;
  BlockHandover handover([&](const BlockScanResult& scan) { got.push_back(scan); });
  handover.beginRun(TBPS::_16, TChannels::Stereo, 0, 32766);
  // The largest peaks and runs a block of a tenth holds (6553 frames at 65535 Hz), a
  // block heard only below silence, and a quiet one.
  std::vector<int16_t> loud(2 * 6553, 0), below(2 * 4410, 0), quiet(2 * 4410, 327);
  for (size_t i = 0; i + 2 < loud.size(); i += 2) {
    loud[i] = 32767;
    loud[i + 1] = -32768;
  }
  for (size_t i = 0; i < below.size(); i += 7) below[i] = -328;
  for (size_t i = 1; i < quiet.size(); i += 2) quiet[i] = -327;
  std::vector<BlockScanResult> expected;
  for (const auto* samples : {&loud, &below, &quiet}) {
    const std::string block = recorder_test::samples16(*samples);
    const auto size = static_cast<uint16_t>(block.size());
    expected.push_back(scanBlock(block.data(), size, TBPS::_16, TChannels::Stereo, 0, 32766));
    handover.post(block.data(), size);
  }
  QCoreApplication::sendPostedEvents();
  handover.endRun();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(got[0].peak, (std::array<uint16_t, 2>{32767, 0}));
  EXPECT_EQ(got[0].longestRun, (std::array<uint16_t, 2>{6552, 6552}));
  EXPECT_TRUE(got[0].heard);
  EXPECT_EQ(got[1].peak, (std::array<uint16_t, 2>{0, 0}));
  EXPECT_TRUE(got[1].heard) << "a block heard only below silence";
  EXPECT_EQ(got[2].peak, (std::array<uint16_t, 2>{327, 0}));
  EXPECT_FALSE(got[2].heard);
}

}  // namespace
