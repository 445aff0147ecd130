// A main window on a virtual card whose mixer has lines for the level sliders and the
// automatic level control, with helpers to choose a line and read what the card holds.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QSlider>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "app/fake_prompts.h"
#include "app/tessaron1.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"

namespace leveltest {

using Volumes = std::vector<WORD>;

// Items of ComboBox3 on the level card.
enum Item { RecordingItem = 0, LineInItem = 1, MicrophoneItem = 2 };
// Source numbers of the level card's lines in destination 0.
constexpr DWORD kRecording = 0;
constexpr DWORD kLineIn = 1;
constexpr DWORD kMicrophone = 2;
constexpr DWORD kMonitor = 3;

// One mixer, "Test Mixer", with one destination "Recording" (stereo, feeds the input)
// and its sources "Line In" (stereo), "Microphone" (one channel) and "Monitor" (mute
// only, so it is no level-control input).
inline VirtualCard levelCard(VirtualPacing pacing = VirtualPacing::AsFastAsQueued) {
  VirtualCard card = VirtualCard::defaultCard();
  card.inputFile.clear();
  card.pacing = pacing;
  card.mixers.clear();
  VirtualMixer mixer;
  mixer.name = "Test Mixer";
  VirtualDestination recording;
  recording.line = {.name = "Recording", .feedsInput = true, .initialVolume = 65535};
  recording.sources.push_back({.name = "Line In", .initialVolume = 40000});
  recording.sources.push_back({.name = "Microphone", .channels = 1, .initialVolume = 32768});
  recording.sources.push_back({.name = "Monitor", .volume = false});
  mixer.destinations.push_back(std::move(recording));
  card.mixers.push_back(std::move(mixer));
  return card;
}

// The ComboBox3 item of the level-control input (device, destination, source); -1 when
// the list does not hold it.
inline int levelItem(const TForm1& form, int32_t device, int32_t destination, int32_t source) {
  int item = 0;
  for (const TInputEntry* e = form.volumfirst; e != nullptr; e = e->next, ++item) {
    if (e->device == device && e->destination == destination && e->source == source) return item;
  }
  return -1;
}

// Chooses the ComboBox3 item `item` as the user would.
inline void chooseLevelItem(TForm1& form, int item) {
  form.ComboBox3->setCurrentIndex(item);
  form.ComboBox3Change(form.ComboBox3);
}

class LevelWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { form.reset(); }

  TForm1& open(VirtualCard card = levelCard()) {
    auto driver = std::make_unique<VirtualDriver>(std::move(card));
    card_ = driver.get();
    mmsystem::installDriver(std::move(driver));
    form = std::make_unique<TForm1>();
    return *form;
  }
  // Chooses an item of ComboBox3 as the user would.
  void choose(int item) { chooseLevelItem(*form, item); }
  // Delivers posted messages (the mixer's change notifications).
  static void pump() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  std::vector<WORD> volume(DWORD source) const { return card_->lineVolume(0, 0, source); }
  bool muted(DWORD source) const { return card_->lineMuted(0, 0, source); }
  void setOutside(DWORD source, WORD left, WORD right) { card_->setVolumeFromOutside(0, 0, source, left, right); }

  // The slider positions of "L&evel L/R" mode: left, right, balance.
  std::vector<int> levelLR() const {
    return {form->TrackBar1->value(), form->TrackBar2->value(), form->TrackBar4->value()};
  }

  ScopedFakePrompts prompts;
  std::unique_ptr<TForm1> form;
  VirtualDriver* card_ = nullptr;
};

}  // namespace leveltest
