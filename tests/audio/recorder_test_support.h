// Shared helpers of the recorder and WAV file tests: a virtual card that counts the
// buffers queued to it (and marks dropouts or fails on request), a card without a mixer,
// installing a driver for a scope, and a fixture with a component on such a card; the WAV
// file, program and waiting helpers of support/ under this namespace.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "fault_driver.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "support/driver_scope.h"
#include "support/event_wait.h"
#include "support/programs.h"
#include "support/wave_files.h"

namespace recorder_test {

using testsupport::DriverScope;
using testsupport::kThreadChecked;
using testsupport::putLE;
using testsupport::readFile;
using testsupport::readLE;
using testsupport::samples16;
using testsupport::soxEncoding;
using testsupport::soxInfo;
using testsupport::waitFor;
using testsupport::wavBytes;
using testsupport::writeFile;

// The virtual card, counting every buffer queued to it (a re-queue means a block was
// delivered and handed back).
class CountingDriver : public VirtualDriver {
 public:
  explicit CountingDriver(VirtualCard card) : VirtualDriver(std::move(card)) {}
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cb) override {
    ++added;
    return VirtualDriver::waveInAddBuffer(handle, header, cb);
  }
  std::atomic<int> added{0};
};

// A card with one input and one output and no mixer, so the signal is not scaled.
inline VirtualCard plainCard(VirtualPacing pacing, const std::string& inputFile = {}) {
  VirtualCard card;
  VirtualWaveDevice device;
  device.name = "Test Card";
  card.inputs.push_back(device);
  card.outputs.push_back(device);
  card.pacing = pacing;
  card.inputFile = inputFile;
  return card;
}

// Input samples that tell every frame from its neighbours and all stay below a trigger
// level: 16-bit frames (left 0..996, right negative) or 8-bit samples (0..199).
inline std::string quietFrames16(size_t frames, int channels) {
  std::vector<int16_t> samples;
  for (size_t k = 0; k < frames; ++k) {
    samples.push_back(static_cast<int16_t>((k * 37) % 997));
    if (channels == 2) samples.push_back(static_cast<int16_t>(-1 - static_cast<int>((k * 13) % 30000)));
  }
  return samples16(samples);
}
inline std::string quietSamples8(size_t samples) {
  std::string out;
  for (size_t k = 0; k < samples; ++k) out.push_back(static_cast<char>((k * 37) % 200));
  return out;
}

// Silence of `bytes` bytes: 128 for 8-bit samples, 0 for 16-bit ones.
inline std::string silence(size_t bytes, int bits) { return std::string(bytes, bits == 8 ? '\x80' : '\0'); }

using RecorderCard = fault_test::FaultDriver<CountingDriver>;

// A component on a counting, fault-injecting virtual card (by default one without a mixer
// that delivers as fast as buffers are queued), and recording helpers.
class RecorderFixture : public ::testing::Test {
 protected:
  void useCard(VirtualCard card) {
    audio.reset();
    auto driver = std::make_unique<RecorderCard>(std::move(card));
    card_ = driver.get();
    scope_.reset();
    scope_.emplace(std::move(driver));
    audio = std::make_unique<TAudio>();
  }
  // A card delivering the WAV file `input` (looped) as fast as buffers are queued.
  void useInput(const std::string& input) { useCard(plainCard(VirtualPacing::AsFastAsQueued, input)); }
  // A card delivering `frames` frames of quiet 16-bit stereo input at 8000 Hz (looped),
  // recorded in that format in blocks of `block` frames; the input's data.
  std::string useQuietStereo(size_t frames, uint16_t block) {
    const std::string data = quietFrames16(frames, 2);
    const std::string input = path("quiet.wav");
    writeFile(input, wavBytes(2, 8000, 16, data));
    useInput(input);
    setFormat(TBPS::_16, TChannels::Stereo, 8000, block);
    return data;
  }
  void SetUp() override { useCard(plainCard(VirtualPacing::AsFastAsQueued)); }
  void TearDown() override { audio.reset(); }

  TRecorder& rec() { return *audio->Recorder(); }
  void setFormat(TBPS bits, TChannels channels, uint32_t rate, uint32_t frames) {
    audio->setSeparateCtrls(true);
    rec().setBitsPerSample(bits);
    rec().setChannels(channels);
    rec().setSampleRate(rate);
    rec().setNoSamples(frames);
  }
  std::string path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }

  // Records until `blocks` blocks were reported (stopping from inside OnRecord), with
  // `seen` receiving a copy of every reported block.
  bool recordBlocks(int blocks, std::vector<std::string>* seen = nullptr) {
    int count = 0;
    audio->OnRecord = [&, blocks](TObject*, void* lp, void*, uint32_t size) {
      if (seen != nullptr) seen->emplace_back(static_cast<const char*>(lp), size);
      if (++count == blocks) rec().Stop();
    };
    if (!rec().Start()) return false;
    const bool done = waitFor([&] { return !rec().IsOpen; });
    audio->OnRecord = nullptr;
    return done && count == blocks;
  }

  QTemporaryDir dir_;
  RecorderCard* card_ = nullptr;
  std::optional<DriverScope> scope_;
  std::unique_ptr<TAudio> audio;
};

}  // namespace recorder_test
