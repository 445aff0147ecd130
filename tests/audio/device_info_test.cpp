// The device description's probes on the virtual card: whether the output volume
// follows a change, and whether output and input can be open at the same time.
#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "support/event_wait.h"

namespace {

using testsupport::waitFor;

VirtualCard probeCard(bool volumeFollows, bool fullDuplex) {
  VirtualCard card;
  card.pacing = VirtualPacing::AsFastAsQueued;
  card.fullDuplex = fullDuplex;
  VirtualWaveDevice device;
  device.name = "Probe";
  device.volumeFollows = volumeFollows;
  card.inputs.push_back(device);
  card.outputs.push_back(device);
  return card;
}

struct Probe {
  explicit Probe(VirtualCard card) {
    auto owned = std::make_unique<VirtualDriver>(std::move(card));
    driver = owned.get();
    mmsystem::installDriver(std::move(owned));
    audio = std::make_unique<TAudio>();
    audio->OnPlayed = [this](TObject*) { ++played; };
  }
  ~Probe() { audio.reset(); }
  // Whether the recorder can open its device at all on this build of the card.
  bool recorderOpens() {
    if (!audio->Recorder()->Open()) return false;
    audio->Recorder()->Close();
    return true;
  }
  VirtualDriver* driver = nullptr;
  std::unique_ptr<TAudio> audio;
  int played = 0;
};

const char* formatsAndControls = "11.025/22.05/44.1 kHz, Mono/Stereo, 8/16-bit, Playback Controls: Separate L/R Volume";

TEST(DeviceInfo, TheVolumeProbeTellsAFollowingVolumeFromAFixedOne) {
  {
    Probe probe(probeCard(true, false));
    probe.driver->waveOutSetVolume(0, 0x20001000);
    std::string name, description;
    ASSERT_TRUE(probe.audio->GetDeviceInfo(name, description));
    EXPECT_EQ(name, "Probe");
    EXPECT_EQ(description, std::string("Half-duplex support, ") + formatsAndControls);
    // The probe puts the volume back.
    EXPECT_EQ(probe.driver->outputVolume(0), 0x20001000u);
  }
  {
    Probe probe(probeCard(false, false));
    std::string name, description;
    ASSERT_TRUE(probe.audio->GetDeviceInfo(name, description));
    EXPECT_EQ(description, std::string("Half-duplex support, ") + formatsAndControls +
                               " (not controllable with this DeviceID driver)");
  }
}

TEST(DeviceInfo, TheDuplexProbeLeavesThePlayerToCloseOnTheOwnersThread) {
  Probe probe(probeCard(true, false));
  std::string name, description;
  ASSERT_TRUE(probe.audio->GetDeviceInfo(name, description));
  EXPECT_EQ(description.rfind("Half-duplex support, ", 0), 0u);
  EXPECT_TRUE(probe.audio->Player()->IsOpen);
  ASSERT_TRUE(waitFor([&] { return !probe.audio->Player()->IsOpen; }));
  EXPECT_EQ(probe.played, 1);
  // Past the last device.
  probe.audio->setAudioDeviceID(1);
  EXPECT_FALSE(probe.audio->GetDeviceInfo(name, description));
  EXPECT_EQ(probe.audio->ErrorMessage, "No waveform device available");
}

TEST(DeviceInfo, ACardThatPlaysAndRecordsAtOnceIsFullDuplex) {
  Probe probe(probeCard(true, true));
  if (!probe.recorderOpens()) GTEST_SKIP() << "the recorder cannot open the virtual input in this build";
  std::string name, description;
  ASSERT_TRUE(probe.audio->GetDeviceInfo(name, description));
  EXPECT_EQ(description, std::string("Full-duplex support, ") + formatsAndControls);
  ASSERT_TRUE(waitFor([&] { return !probe.audio->Player()->IsOpen; }));
}

TEST(DeviceInfo, AHalfDuplexCardRefusesOutputWhileAnInputIsOpen) {
  Probe probe(probeCard(true, false));
  if (!probe.recorderOpens()) GTEST_SKIP() << "the recorder cannot open the virtual input in this build";
  ASSERT_TRUE(probe.audio->Recorder()->Open());
  EXPECT_FALSE(probe.audio->Player()->Open());
  EXPECT_EQ(probe.audio->ErrorMessage.rfind("Could not open the output device for playing: ", 0), 0u);
  probe.audio->Recorder()->Close();
  EXPECT_TRUE(probe.audio->Player()->Open());
  probe.audio->Player()->Close();
}

}  // namespace
