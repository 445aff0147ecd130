// The closed loop: the virtual card's record volume scales its generated input, which
// clips at full volume; the recorder's blocks are scanned as the block analysis does and
// their peaks and runs handed to the tick, which lowers the volume. And the level slider
// on a real sound server: moving it changes the capture volume the server reports.
#include <QCoreApplication>
#include <chrono>
#include <deque>
#include <mutex>

#include "app/block_scan.h"
#include "app/level_fixture.h"
#include "mmsystem/alsa_pulse.h"

namespace leveltest {
namespace {

using namespace std::chrono_literals;

class LevelLoopTest : public LevelWindowTest {};

TEST_F(LevelLoopTest, DownOnlyBringsAClippingInputUnderTheLimitWithinTwentySeconds) {
  TForm1& f = open(levelCard(VirtualPacing::AsFastAsQueued));
  choose(RecordingItem);
  ASSERT_EQ(volume(kRecording), (Volumes{65535, 65535}));
  ASSERT_TRUE(f.RadioButton4->isChecked());
  f.limit16 = 32000;
  f.limit8 = 120;
  f.overhigh = 44;  // a run of 1 ms at 44100 Hz
  f.overlow = 6;

  // The scan runs on the delivering thread; the window thread takes its results in
  // block order, as the block analysis hands them over.
  std::mutex mutex;
  std::deque<BlockScanResult> scanned;
  f.Audio1->OnRecord = [&](TObject*, void* data, void*, uint16_t size) {
    const BlockScanResult result = scanBlock(data, size, TBPS::_16, TChannels::Stereo, 120, 32000);
    std::lock_guard lock(mutex);
    scanned.push_back(result);
  };
  TRecorder* recorder = f.Audio1->Recorder();
  f.Audio1->setAudioDeviceID(0);
  recorder->setBitsPerSample(TBPS::_16);
  recorder->setChannels(TChannels::Stereo);
  recorder->setSampleRate(44100);
  recorder->setNoSamples(4410);
  recorder->Triggered = true;
  ASSERT_TRUE(recorder->Start()) << f.Audio1->ErrorMessage;

  // 200 blocks of 0.1 s; four 25 ms ticks per block.
  constexpr size_t kBlocks = 200;
  std::vector<BlockScanResult> blocks;
  const auto deadline = std::chrono::steady_clock::now() + 120s;
  while (blocks.size() < kBlocks && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::deque<BlockScanResult> arrived;
    {
      std::lock_guard lock(mutex);
      arrived.swap(scanned);
    }
    for (const BlockScanResult& block : arrived) {
      if (blocks.size() == kBlocks) break;
      blocks.push_back(block);
      f.peakleft = block.peak[0];
      f.peakright = block.peak[1];
      f.overleft = static_cast<uint16_t>(f.overleft + block.longestRun[0]);
      f.overright = static_cast<uint16_t>(f.overright + block.longestRun[1]);
      for (int tick = 0; tick < 4; ++tick) f.levelControlTick();
    }
  }
  recorder->Stop();
  ASSERT_EQ(blocks.size(), kBlocks) << "the virtual input stalled";

  auto clipped = [](const BlockScanResult& b) { return b.longestRun[0] > 0 || b.longestRun[1] > 0; };
  EXPECT_TRUE(std::any_of(blocks.begin(), blocks.begin() + 40, clipped)) << "full volume clips";
  for (size_t i = kBlocks - 10; i < kBlocks; ++i) {
    EXPECT_FALSE(clipped(blocks[i])) << "block " << i << ": " << blocks[i].longestRun[0] << "/"
                                     << blocks[i].longestRun[1];
  }
  const Volumes lowered = volume(kRecording);
  EXPECT_LT(lowered[0], 65535);
  EXPECT_LT(lowered[1], 65535);
  EXPECT_EQ(lowered, (Volumes{f.volleft, f.volright})) << "the mixer holds the window's volumes";
  EXPECT_GT(f.TrackBar1->value(), 0) << "the sliders follow";
  // Lowered to fit, not crushed: the loud part of the last swells still reaches half scale.
  uint16_t loudest = 0;
  for (size_t i = kBlocks - 40; i < kBlocks; ++i) loudest = std::max({loudest, blocks[i].peak[0], blocks[i].peak[1]});
  EXPECT_GT(loudest, 16384);
}

// The window on the ALSA driver, against the test sound server.
class LevelSliderOnServerTest : public alsatest::PulseTest {
 protected:
  void TearDown() override {
    form.reset();
    if (!saved_.empty()) alsatest::run("pactl", {"set-source-volume", alsatest::kMonitor, QString::number(saved_[0])});
    alsatest::PulseTest::TearDown();
  }
  ScopedFakePrompts prompts;
  std::unique_ptr<TForm1> form;
  std::vector<long> saved_;
};

TEST_F(LevelSliderOnServerTest, MovingTheLeftLevelSliderChangesTheCaptureVolume) {
  saved_ = alsatest::sourceVolume();
  ASSERT_FALSE(saved_.empty());
  int32_t device = -1;
  for (UINT m = 0; m < mixerGetNumDevs(); ++m) {
    if (alsa_->mixers()[m].ctl == "default") device = static_cast<int32_t>(m);
  }
  ASSERT_GE(device, 0) << "the server's mixer is not listed";
  alsatest::run("pactl", {"set-source-volume", alsatest::kMonitor, "65536"});

  form = std::make_unique<TForm1>();
  TForm1& f = *form;
  int item = 0;
  TInputEntry* entry = f.volumfirst;
  while (entry != nullptr && !(entry->device == device && entry->destination == 1 && entry->source == 0)) {
    entry = entry->next;
    ++item;
  }
  ASSERT_NE(entry, nullptr) << "the server's capture volume is no level-control input";
  f.ComboBox3->setCurrentIndex(item);
  f.ComboBox3Change(f.ComboBox3);
  ASSERT_TRUE(f.RadioButton2->isChecked());

  f.TrackBar2->setValue(50);
  f.TrackBar1->setValue(75);
  // pactl reports 65536 for full volume; the mixer's 0..65535 maps linearly onto it.
  std::vector<long> now;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  do {
    QCoreApplication::processEvents();
    now = alsatest::sourceVolume();
  } while ((now.size() < 2 || now[0] > 20000) && std::chrono::steady_clock::now() < deadline);
  ASSERT_GE(now.size(), 2u);
  EXPECT_NEAR(now[0], 16384, 400) << "left at a quarter";
  EXPECT_NEAR(now[1], 32768, 400) << "right at half";
}

}  // namespace
}  // namespace leveltest
