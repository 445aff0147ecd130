// Support for tests that run the main window on the virtual card: a window with the
// format and limits of the stored-settings defaults, crafted input files, waiting for
// blocks, and reading back the WAV file a recording made.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/fake_prompts.h"
#include "app/tessaron1.h"
#include "audio/recorder_test_support.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "support/event_wait.h"
#include "support/programs.h"
#include "support/wave_files.h"

namespace window_run {

using testsupport::readFile;
using testsupport::readLE;
using testsupport::samples16;
using testsupport::waitFor;
using testsupport::wavBytes;
using testsupport::writeFile;

// One block of 4410 frames (a tenth of a second at 44100 Hz).
constexpr int kFrames = 4410;

// 16-bit stereo 44100 Hz, limits 32000 and 120, and no automatic level control, so the
// clip sums stay as the block analysis left them.
inline void useTestFormat(TForm1& f) {
  f.recbits = 1;
  f.recchannels = 1;
  f.recsamplerate = 44100;
  f.limit16 = 32000;
  f.limit8 = 120;
  f.RadioButton3->setChecked(true);
}

// Bytes per second of that format.
constexpr double kBytesPerSecond = 44100.0 * 4;

// The data of a recording in that format at `path`, checked as a complete file: its
// header's size fields equal the data on disk, and sox decodes every sample.
inline std::string recordedData(const std::string& path) {
  const std::string file = readFile(path);
  EXPECT_GE(file.size(), 44u) << path;
  if (file.size() < 44) return {};
  EXPECT_EQ(readLE(file, 4, 4), file.size() - 8) << path;
  EXPECT_EQ(readLE(file, 40, 4), file.size() - 44) << path;
  const std::string sox = testsupport::soxInfo(path);
  if (sox != "no sox") {
    EXPECT_EQ(sox, "2 44100 16 " + std::to_string((file.size() - 44) / 4)) << path;
  }
  return file.substr(44);
}

class WindowRun : public ::testing::Test {
 protected:
  void TearDown() override {
    form.reset();
    mmsystem::installDriver(std::make_unique<VirtualDriver>());
  }

  // Opens the window on `card` in the test format.
  TForm1& open(VirtualCard card) {
    auto driver = std::make_unique<recorder_test::CountingDriver>(std::move(card));
    this->driver = driver.get();
    mmsystem::installDriver(std::move(driver));
    form = std::make_unique<TForm1>();
    // Counts the blocks scanned; each is counted after its result has been posted.
    form->Audio1->OnRecord = [f = form.get(), this](TObject* s, void* lp, void* rp, uint32_t n) {
      f->Audio1Record(s, lp, rp, n);
      delivered.fetch_add(1);
    };
    useTestFormat(*form);
    return *form;
  }
  TForm1& openDefault(VirtualPacing pacing = VirtualPacing::AsFastAsQueued) {
    VirtualCard card = VirtualCard::defaultCard();
    card.inputFile.clear();
    card.pacing = pacing;
    return open(std::move(card));
  }
  // A card without a mixer whose input is `wav` (looped), delivered as fast as queued.
  TForm1& openWithInput(const std::string& wav) {
    const std::string path = dir.filePath("input.wav").toStdString();
    writeFile(path, wav);
    return open(recorder_test::plainCard(VirtualPacing::AsFastAsQueued, path));
  }
  // Lets the window thread run until `count` more blocks have been scanned and their
  // results handled.
  bool waitBlocks(int count) {
    const int from = delivered.load();
    const bool arrived = waitFor([&] { return delivered.load() - from >= count; });
    QCoreApplication::sendPostedEvents();
    return arrived;
  }
  std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
  // Chooses `name` in the temporary folder as the file of the next recording.
  void chooseFile(const char* name) {
    prompts->saveAnswer = QString::fromStdString(path(name));
    form->BitBtn2Click(form->BitBtn2);
  }

  ScopedFakePrompts prompts;
  QTemporaryDir dir;
  recorder_test::CountingDriver* driver = nullptr;  // counts the buffers queued
  std::unique_ptr<TForm1> form;
  std::atomic<int> delivered{0};
};

// One 16-bit stereo block: `left` and `right` samples, the rest silent.
inline std::string stereoBlock(const std::vector<std::pair<int, int16_t>>& left,
                               const std::vector<std::pair<int, int16_t>>& right = {}) {
  std::vector<int16_t> samples(2 * kFrames, 0);
  for (auto [frame, value] : left) samples[2 * frame] = value;
  for (auto [frame, value] : right) samples[2 * frame + 1] = value;
  return wavBytes(2, 44100, 16, samples16(samples));
}

// `count` frames from `first` on at `value`.
inline std::vector<std::pair<int, int16_t>> burst(int first, int count, int16_t value) {
  std::vector<std::pair<int, int16_t>> out;
  for (int k = 0; k < count; ++k) out.push_back({first + k, value});
  return out;
}

}  // namespace window_run
