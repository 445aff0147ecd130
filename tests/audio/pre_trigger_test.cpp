// A triggered recording keeps the input before its triggering block: the file holds,
// exactly to the frame, the last PreTrigger milliseconds of input before that block (or
// all of it when the recording waited less), then the triggering block and what follows.
#include <algorithm>
#include <cmath>

#include "recorder_test_support.h"

using namespace recorder_test;

namespace {

class PreTrigger : public RecorderFixture {
 protected:
  // Where two byte strings first differ (for a readable failure), npos when equal.
  static size_t firstDifference(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      if (a[i] != b[i]) return i;
    }
    return a.size() == b.size() ? std::string::npos : n;
  }
  // Records with the trigger armed until `after` blocks were reported; the file's data.
  std::string recordTriggered(int32_t preTrigger, int after, std::vector<std::string>* seen = nullptr) {
    rec().setPreTrigger(preTrigger);
    rec().Triggered = false;
    const std::string file = path("triggered.wav");
    rec().CreateWaveFile(file, nullptr, nullptr);
    EXPECT_TRUE(recordBlocks(after, seen)) << audio->ErrorMessage;
    const std::string bytes = readFile(file);
    EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
    return bytes.substr(44);
  }
};

// Inputs whose every frame differs from its neighbours, quiet up to a block that fires
// the trigger in its middle: the file must start at exactly the right frame, in order.
TEST_F(PreTrigger, KeepsTheFramesBeforeTheTriggeringBlockExactly) {
  struct Case {
    TBPS bits;
    TChannels channels;
    uint16_t rate;
    uint16_t block;      // frames per block
    size_t firing;       // the block that fires the trigger
    int32_t preTrigger;  // milliseconds
    size_t kept;         // frames expected before the triggering block
    bool triggered;      // Triggered already set at the start
  } cases[] = {
      {TBPS::_16, TChannels::Stereo, 8000, 100, 23, 0, 0, false},        // today's behaviour
      {TBPS::_16, TChannels::Stereo, 8000, 100, 23, 130, 1040, false},   // across block borders
      {TBPS::_8, TChannels::Mono, 8500, 85, 23, 1, 8, false},            // 8.5 frames: halves to even
      {TBPS::_8, TChannels::Mono, 8500, 85, 23, 3, 26, false},           // 25.5 frames
      {TBPS::_16, TChannels::Mono, 11025, 1102, 5, 250, 2756, false},    // 2756.25 frames
      {TBPS::_16, TChannels::Stereo, 8000, 100, 23, 5000, 2300, false},  // longer than the wait
      {TBPS::_16, TChannels::Stereo, 8000, 100, 0, 1000, 0, false},      // fires in the first block
      {TBPS::_16, TChannels::Stereo, 8000, 100, 23, 1000, 0, true},      // nothing to wait for
  };
  for (const Case& c : cases) {
    const int channels = c.channels == TChannels::Stereo ? 2 : 1;
    const int bits = c.bits == TBPS::_16 ? 16 : 8;
    const size_t frameBytes = static_cast<size_t>(channels * bits / 8);
    SCOPED_TRACE(std::to_string(bits) + " bit, " + std::to_string(channels) + " channels, " + std::to_string(c.rate) +
                 " Hz, " + std::to_string(c.preTrigger) + " ms, firing block " + std::to_string(c.firing));
    const size_t frames = (c.firing + 10) * c.block;
    std::string data = bits == 16 ? quietFrames16(frames, channels) : quietSamples8(frames);
    const size_t firingAt = (c.firing * c.block + c.block / 2) * frameBytes;
    if (bits == 16) {
      data[firingAt] = static_cast<char>(1000 & 0xFF);
      data[firingAt + 1] = static_cast<char>(1000 >> 8);
    } else {
      data[firingAt] = static_cast<char>(230);
    }
    const std::string input = path("input.wav");
    writeFile(input, wavBytes(static_cast<uint16_t>(channels), c.rate, static_cast<uint16_t>(bits), data));
    useInput(input);
    setFormat(c.bits, c.channels, c.rate, c.block);
    rec().setTrigLevel(bits == 16 ? 1000 : 220);

    std::string file;
    std::vector<std::string> seen;
    if (c.triggered) {
      rec().setPreTrigger(c.preTrigger);
      rec().Triggered = true;
      rec().CreateWaveFile(path("triggered.wav"), nullptr, nullptr);
      ASSERT_TRUE(recordBlocks(3, &seen));
      file = readFile(path("triggered.wav")).substr(44);
    } else {
      file = recordTriggered(c.preTrigger, 3, &seen);
    }
    const size_t from = c.triggered ? 0 : c.firing * c.block;
    const std::string expected = data.substr((from - c.kept) * frameBytes, (c.kept + 3 * c.block) * frameBytes);
    EXPECT_EQ(file.size(), expected.size());
    EXPECT_EQ(firstDifference(file, expected), std::string::npos);
    // OnRecord still begins with the triggering block.
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(seen[0] == data.substr(from * frameBytes, c.block * frameBytes));
    EXPECT_TRUE(rec().Triggered);
  }
}

// Input lost while the recording waits is kept as silence, so the kept audio before the
// trigger lies as it did on the clock; lost input right before the triggering block too.
TEST_F(PreTrigger, InputLostWhileWaitingIsKeptAsSilence) {
  const std::string data = [] {
    std::string d = quietFrames16(33 * 100, 2);
    const size_t at = (23 * 100 + 50) * 4;
    d[at] = static_cast<char>(1000 & 0xFF);
    d[at + 1] = static_cast<char>(1000 >> 8);
    return d;
  }();
  const std::string input = path("input.wav");
  writeFile(input, wavBytes(2, 8000, 16, data));
  useInput(input);
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 100);
  rec().setTrigLevel(1000);
  card_->dropoutAt(20, 1, 150);
  card_->dropoutAt(23, 1, 40);
  std::atomic<int> dropouts{0};
  audio->OnDropout = [&](TObject*, uint32_t, uint32_t) { ++dropouts; };
  const std::string file = recordTriggered(130, 2);
  const std::string waited =
      data.substr(0, 2000 * 4) + silence(150 * 4, 16) + data.substr(2000 * 4, 300 * 4) + silence(40 * 4, 16);
  const std::string expected = waited.substr(waited.size() - 1040 * 4) + data.substr(2300 * 4, 200 * 4);
  EXPECT_EQ(firstDifference(file, expected), std::string::npos);
  EXPECT_EQ(dropouts, 2);
}

// Speech after three seconds of silence, in the formats a user records in: the file is the
// input as the card delivers it (a run without trigger shows that) from exactly the
// pre-trigger time before the triggering block on.
TEST_F(PreTrigger, SpeechAfterSilenceIsKeptFromBeforeItsOnsetInEveryFormat) {
  if (kThreadChecked) GTEST_SKIP() << "starts espeak-ng, which the thread checker cannot follow";
  const QString speechFile = QString::fromStdString(path("speech.wav"));
  ASSERT_EQ(testsupport::run("espeak-ng", {"-w", speechFile, "Recording starts when the sound begins."}).exitCode, 0)
      << "espeak-ng could not make the speech file";
  // espeak-ng writes 16-bit mono; its data chunk follows the 44-byte header.
  const std::string speech = readFile(speechFile.toStdString());
  ASSERT_GT(speech.size(), 44u);
  ASSERT_EQ(speech.substr(36, 4), "data");
  const uint32_t speechRate = readLE(speech, 24, 4);
  const std::string input = path("input.wav");
  writeFile(input, wavBytes(1, speechRate, 16, std::string(3 * speechRate * 2, '\0') + speech.substr(44)));
  const double seconds = 3.0 + static_cast<double>(speech.size() - 44) / (2.0 * speechRate);

  struct Format {
    TBPS bits;
    TChannels channels;
    uint16_t rate;
    int16_t level;  // a level the speech reaches, as the trigger compares it
  } formats[] = {{TBPS::_8, TChannels::Mono, 8000, 140},
                 {TBPS::_16, TChannels::Stereo, 44100, 3000},
                 {TBPS::_16, TChannels::Stereo, 48000, 3000}};
  for (const Format& f : formats) {
    SCOPED_TRACE(f.rate);
    const uint16_t block = f.rate / 10;
    const size_t frameBytes = f.bits == TBPS::_16 ? 4 : 1;
    useInput(input);
    setFormat(f.bits, f.channels, f.rate, block);
    rec().setTrigLevel(static_cast<uint16_t>(f.level));
    // What the card delivers: the whole input once and a second more.
    std::vector<std::string> reference;
    rec().Triggered = true;
    ASSERT_TRUE(recordBlocks(static_cast<int>(seconds * 10) + 10, &reference));
    // The first block with a sample at or above the level.
    auto fires = [&](const std::string& r) {
      for (size_t i = 0; i < r.size(); i += frameBytes == 1 ? 1 : 2) {
        const int value = frameBytes == 1 ? static_cast<unsigned char>(r[i])
                                          : static_cast<int16_t>(static_cast<unsigned char>(r[i]) | (r[i + 1] << 8));
        if (value >= f.level) return true;
      }
      return false;
    };
    const size_t firing =
        static_cast<size_t>(std::find_if(reference.begin(), reference.end(), fires) - reference.begin());
    ASSERT_GE(firing, 25u) << "the speech must fire the trigger after the silence";
    std::string delivered;
    for (const std::string& r : reference) delivered += r;

    for (int32_t preTrigger : {0, 250, 1000, 5000}) {
      SCOPED_TRACE(preTrigger);
      const size_t asked = static_cast<size_t>(std::nearbyint(preTrigger * f.rate / 1000.0));
      const size_t kept = std::min(asked, firing * block);
      const std::string file = recordTriggered(preTrigger, 5);
      const std::string expected =
          delivered.substr((firing * block - kept) * frameBytes, (kept + 5 * block) * frameBytes);
      EXPECT_EQ(file.size(), expected.size());
      EXPECT_EQ(firstDifference(file, expected), std::string::npos);
    }
  }
}

}  // namespace
