// Support for the audio component's tests against the PulseAudio test server reached
// through ALSA's pulse plugin: a fixture that holds the server and installs the ALSA
// driver and a component on it, and what the component reports from the service thread.
#pragma once

#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "support/delivered_blocks.h"
#include "support/event_wait.h"
#include "support/pulse_server.h"
#include "support/signal_match.h"
#include "support/wave_files.h"

namespace pulse_test {

using namespace testsupport;

// A fresh ALSA driver and a component on it for each test, with the server held and its
// source volume put back afterwards.
class PulseComponentTest : public PulseTest {
 protected:
  void SetUp() override {
    PulseTest::SetUp();
    if (IsSkipped()) return;
    keepVolumes();
    audio = std::make_unique<TAudio>();
  }
  void TearDown() override {
    audio.reset();
    PulseTest::TearDown();
  }

  // The recorder's and the player's format together, `frames` per block.
  void setFormat(TBPS bits, TChannels channels, uint32_t rate, uint32_t frames) {
    TRecorder& rec = *audio->Recorder();
    rec.setBitsPerSample(bits);
    rec.setChannels(channels);
    rec.setSampleRate(rate);
    rec.setNoSamples(frames);
  }
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }

  std::unique_ptr<TAudio> audio;

 private:
  QTemporaryDir dir_;
};

using Delivered = testsupport::DeliveredBlocks;

}  // namespace pulse_test
