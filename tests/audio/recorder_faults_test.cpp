// The recorder when the input device loses input or fails: lost frames come back as
// silence at their place in the file and are reported before their block; a device that
// gives up ends the run once, with the file complete and a text that says why.
#include <QThread>
#include <mutex>

#include "recorder_test_support.h"

using namespace recorder_test;

namespace {

class RecorderFaults : public RecorderFixture {
 protected:
  bool onWindowThread() const { return QThread::currentThread() == QCoreApplication::instance()->thread(); }
};

TEST_F(RecorderFaults, LostInputIsSilenceBeforeItsBlockAndReportedFirst) {
  struct Case {
    TBPS bits;
    TChannels channels;
    int frameBytes;
  } cases[] = {{TBPS::_16, TChannels::Stereo, 4}, {TBPS::_8, TChannels::Mono, 1}};
  for (const Case& c : cases) {
    const int bits = c.bits == TBPS::_16 ? 16 : 8;
    SCOPED_TRACE(bits);
    const std::string data = bits == 16 ? quietFrames16(800, 2) : quietSamples8(800);
    const std::string input = path("quiet.wav");
    writeFile(input, wavBytes(c.frameBytes == 4 ? 2 : 1, 8000, static_cast<uint16_t>(bits), data));
    useInput(input);
    setFormat(c.bits, c.channels, 8000, 100);
    // Before block 1 a short loss, before block 3 overruns the driver could not measure,
    // before block 4 more silence than one write of it holds.
    card_->dropoutAt(1, 1, 30);
    card_->dropoutAt(3, 2, 0);
    card_->dropoutAt(4, 1, 20000);
    rec().Triggered = true;
    const std::string file = path("dropouts.wav");
    rec().CreateWaveFile(file, nullptr, nullptr);

    std::mutex mutex;
    std::vector<std::string> events;
    bool offWindowThread = true;
    audio->OnDropout = [&](TObject* sender, uint32_t overruns, uint32_t lost) {
      std::lock_guard lock(mutex);
      EXPECT_EQ(sender, &rec());
      offWindowThread = offWindowThread && !onWindowThread();
      events.push_back("dropout " + std::to_string(overruns) + " " + std::to_string(lost));
    };
    int blocks = 0;
    audio->OnRecord = [&](TObject*, void*, void*, uint32_t) {
      std::lock_guard lock(mutex);
      events.push_back("block " + std::to_string(blocks));
      if (++blocks == 6) rec().Stop();
    };
    ASSERT_TRUE(rec().Start());
    ASSERT_TRUE(waitFor([&] { return !rec().IsOpen; }));
    EXPECT_EQ(events, (std::vector<std::string>{"block 0", "dropout 1 30", "block 1", "block 2", "dropout 2 0",
                                                "block 3", "dropout 1 20000", "block 4", "block 5"}));
    EXPECT_TRUE(offWindowThread) << "OnDropout runs on the service thread";

    const size_t block = 100 * c.frameBytes;
    const std::string expected = data.substr(0, block) + silence(30 * c.frameBytes, bits) +
                                 data.substr(block, 3 * block) + silence(20000 * c.frameBytes, bits) +
                                 data.substr(4 * block, 2 * block);
    EXPECT_TRUE(readFile(file) == wavBytes(c.frameBytes == 4 ? 2 : 1, 8000, static_cast<uint16_t>(bits), expected));
  }
}

TEST_F(RecorderFaults, DropoutsAreReportedWhileMonitoringToo) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 100);
  card_->dropoutAt(2, 3, 4410);
  rec().Triggered = true;
  std::atomic<int> dropouts{0};
  audio->OnDropout = [&](TObject*, uint32_t overruns, uint32_t lost) {
    EXPECT_EQ(overruns, 3u);
    EXPECT_EQ(lost, 4410u);
    ++dropouts;
  };
  ASSERT_TRUE(recordBlocks(4));
  EXPECT_EQ(dropouts, 1);
}

// The device hands back its headers and fails after the fifth block; the buffers queued
// again after that can no longer be queued at all. The run ends once, through the same
// path as any run the recorder ends by itself, for a recording and for monitoring alike,
// and the recorder can start again afterwards.
TEST_F(RecorderFaults, AFailingInputEndsTheRunOnceWithTheFileComplete) {
  const std::string data = useQuietStereo(20 * 800, 800);
  card_->failInputAfter(4, MMSYSERR_NODRIVER, "Test Card: the card was unplugged",
                        [this] { card_->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOMEM); });
  int stopped = 0;
  bool onWindow = false;
  audio->OnRecordStopped = [&](TObject* sender) {
    EXPECT_EQ(sender, &rec());
    onWindow = onWindowThread();
    ++stopped;
  };
  for (bool recording : {true, false}) {
    SCOPED_TRACE(recording ? "recording" : "monitoring");
    stopped = 0;
    const std::string file = path(recording ? "failed.wav" : "unused.wav");
    if (recording) rec().CreateWaveFile(file, nullptr, nullptr);
    rec().Triggered = true;
    ASSERT_TRUE(rec().Start()) << audio->ErrorMessage;
    ASSERT_TRUE(waitFor([&] { return stopped > 0; }));
    card_->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOERROR);
    QCoreApplication::processEvents();
    EXPECT_EQ(stopped, 1);
    EXPECT_TRUE(onWindow);
    EXPECT_EQ(audio->ErrorMessage, "The input device failed: Test Card: the card was unplugged");
    EXPECT_FALSE(rec().IsOpen);
    EXPECT_FALSE(rec().WaveFileOpen);
    if (recording) {
      EXPECT_TRUE(readFile(file) == wavBytes(2, 8000, 16, data.substr(0, 5 * 3200)));
    }
  }
}

}  // namespace
