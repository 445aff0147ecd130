// Shared helpers of the recorder and WAV file tests: a virtual card that counts the
// buffers queued to it, a card without a mixer, and installing a driver for a scope;
// the WAV file, program and waiting helpers of support/ under this namespace.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <string>

#include "audio/Audio.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual_driver.h"
#include "support/event_wait.h"
#include "support/programs.h"
#include "support/wave_files.h"

namespace recorder_test {

using testsupport::kThreadChecked;
using testsupport::putLE;
using testsupport::readFile;
using testsupport::readLE;
using testsupport::samples16;
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

// Installs `driver` for the life of the object and puts the previous one back after.
class DriverScope {
 public:
  explicit DriverScope(std::unique_ptr<Driver> driver) : previous_(mmsystem::installDriver(std::move(driver))) {}
  ~DriverScope() { mmsystem::installDriver(std::move(previous_)); }

 private:
  std::unique_ptr<Driver> previous_;
};

}  // namespace recorder_test
