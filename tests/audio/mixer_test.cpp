// Mixer access of the audio component against configured virtual cards: the line list
// and its addressing, flags, volume, mute and peak readings, the description text,
// failure texts, and the change event on the owner's thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <thread>

#include "audio/Audio.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "support/event_wait.h"

namespace {

using testsupport::waitFor;

VirtualLine lineOf(const std::string& name, DWORD channels, bool volume, bool mute, bool peak) {
  VirtualLine line;
  line.name = name;
  line.channels = channels;
  line.volume = volume;
  line.mute = mute;
  line.peak = peak;
  return line;
}

// Mixer 0 "Desk": destination P (sources Q, R) and destination S (source T).
// Mixer 1 "Wide": a six-channel destination and a source with only a mute.
VirtualCard deskCard() {
  VirtualCard card;
  card.inputs.push_back({.name = "In", .refuses = {}});
  card.outputs.push_back({.name = "Out", .refuses = {}});
  VirtualMixer desk;
  desk.name = "Desk";
  desk.destinations.push_back(
      {lineOf("P", 2, true, true, false), {lineOf("Q", 2, true, false, true), lineOf("R", 2, false, false, false)}});
  desk.destinations.push_back({lineOf("S", 1, true, true, false), {lineOf("T", 2, true, true, true)}});
  card.mixers.push_back(desk);
  VirtualMixer wide;
  wide.name = "Wide";
  wide.destinations.push_back({lineOf("Surround", 6, true, false, true), {lineOf("MuteOnly", 2, false, true, false)}});
  card.mixers.push_back(wide);
  return card;
}

// Remembers the widest value area the component asked the driver to fill or read.
class WatchingDriver : public VirtualDriver {
 public:
  using VirtualDriver::VirtualDriver;
  MMRESULT mixerGetControlDetailsA(HMIXEROBJ h, MIXERCONTROLDETAILS* d, DWORD flags) override {
    maxChannels = std::max(maxChannels, d->cChannels);
    return VirtualDriver::mixerGetControlDetailsA(h, d, flags);
  }
  MMRESULT mixerSetControlDetails(HMIXEROBJ h, MIXERCONTROLDETAILS* d, DWORD flags) override {
    maxChannels = std::max(maxChannels, d->cChannels);
    return VirtualDriver::mixerSetControlDetails(h, d, flags);
  }
  DWORD maxChannels = 0;
};

class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<WatchingDriver>(deskCard());
    card = owned.get();
    mmsystem::installDriver(std::move(owned));
    audio = std::make_unique<TAudio>();
    mixer = audio->Mixer();
  }
  void TearDown() override { audio.reset(); }

  WatchingDriver* card = nullptr;
  std::unique_ptr<TAudio> audio;
  TMixerSettings* mixer = nullptr;
};

TEST_F(MixerTest, LinesAreListedAndAddressedByDestinationAndSource) {
  ASSERT_TRUE(mixer->Valid);
  EXPECT_EQ(mixer->GetDestinations(), (std::vector<std::string>{"P", "S"}));
  // The destination line itself, then its sources; a line without volume and mute is empty.
  EXPECT_EQ(mixer->GetSources(0), (std::vector<std::string>{"P", "Q", ""}));
  EXPECT_EQ(mixer->GetSources(1), (std::vector<std::string>{"S", "T"}));
  EXPECT_TRUE(mixer->GetSources(2).empty());
  std::string name = "old";
  mixer->GetLineName(0, 2, name);
  EXPECT_EQ(name, "R");
  mixer->GetLineName(0, 3, name);
  EXPECT_EQ(name, "");

  std::string device, description;
  ASSERT_TRUE(mixer->GetMixerInfo(device, description));
  EXPECT_EQ(device, "Desk");
  EXPECT_EQ(description, "Mixer devices present: 2. DeviceID 0 has:\r\nP: Q, R, \r\nS: T, ");

  // The root record comes first, with the product name and no controls.
  ASSERT_NE(mixer->Lines, nullptr);
  EXPECT_EQ(mixer->Lines->Destination, 65535);
  EXPECT_EQ(mixer->Lines->Source, 65535);
  EXPECT_EQ(mixer->Lines->VolumeID, 65535u);
  EXPECT_EQ(mixer->Lines->LineFlags, 0);
}

TEST_F(MixerTest, TheDescriptionOfASingleMixerReadsByteForByte) {
  VirtualCard single = deskCard();
  single.mixers.pop_back();
  audio.reset();
  mmsystem::installDriver(std::make_unique<VirtualDriver>(single));
  audio = std::make_unique<TAudio>();
  std::string device, description;
  ASSERT_TRUE(audio->Mixer()->GetMixerInfo(device, description));
  EXPECT_EQ(description, std::string("Mixer devices present: ") + "1" + ". DeviceID " + "0" + " has:" + "\r\n" + "P" +
                             ": " + "Q" + ", " + "R" + ", " + "\r\n" + "S" + ": " + "T" + ", ");
}

TEST_F(MixerTest, FlagsVolumeAndMuteFollowTheLinesControls) {
  uint16_t left = 1, right = 2;
  bool mute = true;
  uint8_t flags = 0;
  // Volume and peak meter, no mute: the mute output is left alone.
  ASSERT_TRUE(mixer->GetVolume(0, 1, left, right, mute, flags));
  EXPECT_EQ(flags, 0xB0);
  EXPECT_TRUE(mute);
  EXPECT_EQ(left, 49152);
  ASSERT_TRUE(mixer->GetVolume(1, 1, left, right, mute, flags));
  EXPECT_EQ(flags, 0x30);
  EXPECT_FALSE(mute);
  ASSERT_TRUE(mixer->GetVolume(1, 0, left, right, mute, flags));
  EXPECT_EQ(flags, 0x60);
  // A line without volume and mute: found, flags only.
  left = 7;
  ASSERT_TRUE(mixer->GetVolume(0, 2, left, right, mute, flags));
  EXPECT_EQ(flags, 0x80);
  EXPECT_EQ(left, 7);
  EXPECT_FALSE(mixer->GetVolume(0, 3, left, right, mute, flags));

  // A one-channel line reads Right = Left and is written with Left only.
  card->setVolumeFromOutside(0, 1, 0, 1000, 5000);
  ASSERT_TRUE(mixer->GetVolume(1, 0, left, right, mute, flags));
  EXPECT_EQ(left, 1000);
  EXPECT_EQ(right, 1000);
  ASSERT_TRUE(mixer->SetVolume(1, 0, 2000, 9999, true));
  EXPECT_EQ(card->lineVolume(0, 1, 0), std::vector<WORD>{2000});
  EXPECT_TRUE(card->lineMuted(0, 1, 0));

  // A two-channel line keeps both values.
  ASSERT_TRUE(mixer->SetVolume(1, 1, 100, 65535, false));
  EXPECT_EQ(card->lineVolume(0, 1, 1), (std::vector<WORD>{100, 65535}));
  ASSERT_TRUE(mixer->GetVolume(1, 1, left, right, mute, flags));
  EXPECT_EQ(left, 100);
  EXPECT_EQ(right, 65535);
  EXPECT_FALSE(mute);
}

TEST_F(MixerTest, PeakMetersReadTheInputLevelOnlyWhereALineHasOne) {
  card->setInputLevel(1200, 3400);
  int32_t left = -1, right = -1;
  ASSERT_TRUE(mixer->GetPeak(0, 1, left, right));
  EXPECT_EQ(left, 1200);
  EXPECT_EQ(right, 3400);
  // The line exists but has no meter.
  left = -1;
  EXPECT_FALSE(mixer->GetPeak(0, 0, left, right));
  EXPECT_FALSE(mixer->GetPeak(1, 0, left, right));
  EXPECT_EQ(left, -1);
  // A failing reading is false and leaves no text.
  audio->ErrorMessage = "before";
  card->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  EXPECT_FALSE(mixer->GetPeak(1, 1, left, right));
  EXPECT_EQ(audio->ErrorMessage, "before");
}

TEST_F(MixerTest, FailuresLeaveTheirTexts) {
  uint16_t left = 0, right = 0;
  bool mute = false;
  uint8_t flags = 0;
  card->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  EXPECT_FALSE(mixer->GetVolume(1, 1, left, right, mute, flags));
  EXPECT_EQ(audio->ErrorMessage, "Volume GetControlError in Mixer");

  card->failNext(VirtualCall::mixerSetControlDetails, MMSYSERR_ERROR);
  EXPECT_FALSE(mixer->SetVolume(1, 1, 10, 10, true));
  EXPECT_EQ(audio->ErrorMessage, "Volume SetControlError in Mixer");
  EXPECT_FALSE(card->lineMuted(0, 1, 1));  // the mute is not written after a failed volume

  // The mute-only line of the second mixer.
  audio->setMixerDeviceID(1);
  ASSERT_EQ(audio->Mixer()->GetSources(0), (std::vector<std::string>{"Surround", "MuteOnly"}));
  card->failNext(VirtualCall::mixerGetControlDetailsA, MMSYSERR_ERROR);
  EXPECT_FALSE(mixer->GetVolume(0, 1, left, right, mute, flags));
  EXPECT_EQ(audio->ErrorMessage, "Mute GetControlError in Mixer");
  card->failNext(VirtualCall::mixerSetControlDetails, MMSYSERR_ERROR);
  EXPECT_FALSE(mixer->SetVolume(0, 1, 0, 0, true));
  EXPECT_EQ(audio->ErrorMessage, "Mute SetControlError in Mixer");
  ASSERT_TRUE(mixer->GetVolume(0, 1, left, right, mute, flags));
  EXPECT_EQ(flags, 0x00);
}

TEST_F(MixerTest, WideLinesNeverGetMoreThanTwoChannelValues) {
  audio->setMixerDeviceID(1);
  ASSERT_TRUE(mixer->Valid);
  card->setInputLevel(11, 22);
  uint16_t left = 0, right = 0;
  bool mute = false;
  uint8_t flags = 0;
  ASSERT_TRUE(mixer->SetVolume(0, 0, 300, 400, false));
  ASSERT_TRUE(mixer->GetVolume(0, 0, left, right, mute, flags));
  EXPECT_EQ(flags, 0xB0);
  EXPECT_EQ(left, 300);
  EXPECT_EQ(right, 400);
  int32_t peakLeft = 0, peakRight = 0;
  ASSERT_TRUE(mixer->GetPeak(0, 0, peakLeft, peakRight));
  EXPECT_EQ(peakLeft, 11);
  EXPECT_EQ(peakRight, 22);
  EXPECT_LE(card->maxChannels, 2u);
}

TEST_F(MixerTest, MissingMixersAndFailedBuildsLeaveValidAsItWas) {
  std::string device, description;
  // A device number without a mixer: the old list is gone, Valid stays.
  audio->setMixerDeviceID(5);
  EXPECT_TRUE(mixer->Valid);
  EXPECT_EQ(mixer->Lines, nullptr);
  EXPECT_FALSE(mixer->GetMixerInfo(device, description));
  EXPECT_EQ(description, "Mixer not Present");

  // A line that cannot be read ends the build; what was read stays listed.
  card->failNext(VirtualCall::mixerGetLineInfoA, MMSYSERR_ERROR);
  EXPECT_FALSE(mixer->BuildLineTree(0));
  ASSERT_NE(mixer->Lines, nullptr);
  EXPECT_EQ(mixer->Lines->Next, nullptr);
  // A failing control list leaves the line without controls.
  card->failNext(VirtualCall::mixerGetLineControlsA, MMSYSERR_ERROR);
  ASSERT_TRUE(mixer->BuildLineTree(0));
  EXPECT_EQ(mixer->GetSources(0), (std::vector<std::string>{"", "Q", ""}));

  // No mixer at all.
  audio.reset();
  VirtualCard none = deskCard();
  none.mixers.clear();
  mmsystem::installDriver(std::make_unique<VirtualDriver>(none));
  audio = std::make_unique<TAudio>();
  EXPECT_FALSE(audio->Mixer()->Valid);
  EXPECT_FALSE(audio->Mixer()->GetMixerInfo(device, description));
  EXPECT_EQ(description, "");
  EXPECT_TRUE(audio->Mixer()->GetDestinations().empty());
  uint16_t left = 0, right = 0;
  bool mute = false;
  uint8_t flags = 0;
  EXPECT_FALSE(audio->Mixer()->GetVolume(65535, 65535, left, right, mute, flags));
  // Valid from an earlier device, and then no mixer any more.
  audio->Mixer()->Valid = true;
  EXPECT_FALSE(audio->Mixer()->GetMixerInfo(device, description));
  EXPECT_EQ(description, "Mixer not present");
}

TEST_F(MixerTest, ChangesOfVolumeAndMuteRaiseTheEventOnTheOwnersThread) {
  struct Change {
    TObject* sender;
    uint16_t destination, source;
    std::thread::id thread;
  };
  std::vector<Change> changes;
  audio->OnMixerChange = [&](TObject* sender, uint16_t d, uint16_t s) {
    changes.push_back({sender, d, s, std::this_thread::get_id()});
  };
  // From another thread, as another program would.
  std::thread outside([&] {
    card->setVolumeFromOutside(0, 1, 1, 5, 5);
    card->setMuteFromOutside(0, 1, 0, true);
  });
  outside.join();
  ASSERT_TRUE(waitFor([&] { return changes.size() == 2; }));
  EXPECT_EQ(changes[0].sender, mixer);
  EXPECT_EQ(changes[0].destination, 1);
  EXPECT_EQ(changes[0].source, 1);
  EXPECT_EQ(changes[1].destination, 1);
  EXPECT_EQ(changes[1].source, 0);
  EXPECT_EQ(changes[0].thread, std::this_thread::get_id());

  // A peak meter id, an unknown id and "absent" raise nothing.
  const TMixerLine* q = mixer->Lines->Next->Next.get();
  ASSERT_EQ(q->Name, "Q");
  const auto from = reinterpret_cast<WPARAM>(mixer->MixerHandle);
  const uint32_t qVolume = q->VolumeID;
  mixer->notifyWindow()->post(MM_MIXM_CONTROL_CHANGE, from, static_cast<LPARAM>(q->PeakID));
  mixer->notifyWindow()->post(MM_MIXM_CONTROL_CHANGE, from, 65535);
  mixer->notifyWindow()->post(MM_MIXM_LINE_CHANGE, from, static_cast<LPARAM>(q->VolumeID));
  // The component's own setting is reported as well, like any other change.
  ASSERT_TRUE(mixer->SetVolume(0, 1, 1, 1, false));
  ASSERT_TRUE(waitFor([&] { return changes.size() == 3; }));
  QCoreApplication::processEvents();
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[2].destination, 0);
  EXPECT_EQ(changes[2].source, 1);

  // After switching devices the old mixer is closed: its changes no longer arrive.
  audio->setMixerDeviceID(1);
  card->setVolumeFromOutside(0, 1, 1, 9, 9);
  card->setVolumeFromOutside(1, 0, 0, 9, 9);
  ASSERT_TRUE(waitFor([&] { return changes.size() == 4; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[3].destination, 0);
  EXPECT_EQ(changes[3].source, 0);

  // A change still queued from the previous mixer when the device changes is not read as
  // a change of the new one, even where a control of the new mixer has that id (as on two
  // cards of one kind); the new mixer's own changes arrive.
  mixer->notifyWindow()->post(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(mixer->MixerHandle),
                              static_cast<LPARAM>(qVolume));
  card->setVolumeFromOutside(1, 0, 0, 7, 7);
  audio->setMixerDeviceID(0);
  QCoreApplication::processEvents();
  EXPECT_EQ(changes.size(), 4u);
  card->setVolumeFromOutside(0, 1, 1, 8, 8);
  ASSERT_TRUE(waitFor([&] { return changes.size() == 5; }));
  EXPECT_EQ(changes[4].destination, 1);
  EXPECT_EQ(changes[4].source, 1);

  // Once the component is gone, outside changes reach nobody.
  audio.reset();
  card->setVolumeFromOutside(0, 1, 1, 1, 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(changes.size(), 5u);
}

}  // namespace
