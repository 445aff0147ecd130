// The multimedia service: driver choice, dispatch, and the texts for result codes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "mmsystem/virtual/virtual_driver.h"

namespace {

TEST(Service, EnvironmentForcesTheVirtualCard) {
  setenv("TESSARON_AUDIO", "virtual", 1);
  std::unique_ptr<Driver> driver = mmsystem::chooseDriver();
  unsetenv("TESSARON_AUDIO");
  EXPECT_STREQ(driver->name(), "virtual");
}

TEST(Service, ErrorTextsAreCutToTheCallersArea) {
  mmsystem::installDriver(std::make_unique<VirtualDriver>(VirtualCard{}));
  char text[512];
  ASSERT_EQ(waveInGetErrorTextA(WAVERR_BADFORMAT, text, 255), MMSYSERR_NOERROR);
  EXPECT_STREQ(text, mmsystem::resultText(WAVERR_BADFORMAT));
  ASSERT_EQ(waveOutGetErrorTextA(MMSYSERR_ALLOCATED, text, 10), MMSYSERR_NOERROR);
  EXPECT_EQ(std::strlen(text), 9u);
  EXPECT_EQ(waveInGetErrorTextA(4711, text, 255), MMSYSERR_BADERRNUM);
  EXPECT_STREQ(text, "");
  mmsystem::installDriver(nullptr);
}

TEST(Service, ChoosesTheSoundServerWhenForced) {
  setenv("TESSARON_AUDIO", "pulse", 1);
  std::unique_ptr<Driver> driver = mmsystem::chooseDriver();
  unsetenv("TESSARON_AUDIO");
  EXPECT_STREQ(driver->name(), "pulse");
}

// A driver whose names fit the records gives them through the whole-name calls too; the
// calls check their device, handle and area as every other.
TEST(Service, WholeNamesFallBackToTheRecords) {
  mmsystem::installDriver(std::make_unique<VirtualDriver>());
  char name[64];
  ASSERT_EQ(waveInGetDeviceNameA(0, name, sizeof name), MMSYSERR_NOERROR);
  EXPECT_STREQ(name, "Virtual Sound Card");
  ASSERT_EQ(waveInGetDeviceNameA(0, name, 8), MMSYSERR_NOERROR);
  EXPECT_STREQ(name, "Virtual");
  EXPECT_EQ(waveInGetDeviceNameA(1, name, sizeof name), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(waveInGetDeviceNameA(0, nullptr, sizeof name), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInGetDeviceNameA(0, name, 0), MMSYSERR_INVALPARAM);
  int local = 0;
  EXPECT_EQ(mixerGetLineNameA(reinterpret_cast<HMIXEROBJ>(&local), 0, name, sizeof name), MMSYSERR_INVALHANDLE);
  HMIXER mixer = nullptr;
  ASSERT_EQ(mixerOpen(&mixer, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(mixerGetLineNameA(mixer, 0, name, sizeof name), MMSYSERR_NOTSUPPORTED) << "the line record has it";
  EXPECT_EQ(mixerClose(mixer), MMSYSERR_NOERROR);
  mmsystem::installDriver(nullptr);
}

TEST(Service, VirtualCardListsItsDevicesAndInjectsFaults) {
  auto owned = std::make_unique<VirtualDriver>();
  VirtualDriver* card = owned.get();
  mmsystem::installDriver(std::move(owned));
  EXPECT_EQ(waveInGetNumDevs(), 1u);
  EXPECT_EQ(waveOutGetNumDevs(), 1u);
  EXPECT_EQ(mixerGetNumDevs(), 1u);

  WAVEINCAPSA in{};
  ASSERT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_NOERROR);
  EXPECT_STREQ(in.szPname, "Virtual Sound Card");
  EXPECT_EQ(waveInGetDevCaps(1, &in, sizeof(in)), MMSYSERR_BADDEVICEID);
  // The default device is the first one.
  EXPECT_EQ(waveInGetDevCaps(WAVE_MAPPER, &in, sizeof(in)), MMSYSERR_NOERROR);

  MIXERCAPSA mixer{};
  ASSERT_EQ(mixerGetDevCapsA(0, &mixer, sizeof(mixer)), MMSYSERR_NOERROR);
  EXPECT_EQ(mixer.cDestinations, 2u);

  card->failNext(VirtualCall::waveInGetDevCaps, MMSYSERR_NOMEM);
  EXPECT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_NOMEM);
  EXPECT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_NOERROR);
  card->failAlways(VirtualCall::waveInGetDevCaps, MMSYSERR_ERROR);
  EXPECT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_ERROR);
  EXPECT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_ERROR);
  card->failAlways(VirtualCall::waveInGetDevCaps, MMSYSERR_NOERROR);
  EXPECT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_NOERROR);
  mmsystem::installDriver(nullptr);
}

// The records' name fields hold what fits of a name, never half of a character: a name
// whose 31st and 32nd bytes are one character keeps 30 bytes in a 32-byte field.
TEST(Service, VirtualCardNamesAreCutBetweenCharacters) {
  const std::string name = std::string(30, 'x') + "\xc3\xb6 Mikrofon";
  VirtualCard card = VirtualCard::defaultCard();
  card.inputs[0].name = name;
  card.outputs[0].name = name;
  card.mixers[0].name = name;
  card.mixers[0].destinations[0].line.name = name;
  mmsystem::installDriver(std::make_unique<VirtualDriver>(std::move(card)));
  const std::string cut(30, 'x');
  WAVEINCAPSA in{};
  ASSERT_EQ(waveInGetDevCaps(0, &in, sizeof(in)), MMSYSERR_NOERROR);
  EXPECT_EQ(in.szPname, cut);
  WAVEOUTCAPSA out{};
  ASSERT_EQ(waveOutGetDevCapsA(0, &out, sizeof(out)), MMSYSERR_NOERROR);
  EXPECT_EQ(out.szPname, cut);
  MIXERCAPSA mixer{};
  ASSERT_EQ(mixerGetDevCapsA(0, &mixer, sizeof(mixer)), MMSYSERR_NOERROR);
  EXPECT_EQ(mixer.szPname, cut);
  HMIXER handle = nullptr;
  ASSERT_EQ(mixerOpen(&handle, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  MIXERLINEA line{};
  line.cbStruct = sizeof line;
  line.dwDestination = 0;
  ASSERT_EQ(mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(handle), &line, MIXER_GETLINEINFOF_DESTINATION),
            MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(line.szName), name.substr(0, sizeof line.szName - 1)) << "the long field holds it all";
  EXPECT_EQ(std::string(line.szShortName), std::string(15, 'x'));
  EXPECT_EQ(mixerClose(handle), MMSYSERR_NOERROR);
  mmsystem::installDriver(nullptr);
}

}  // namespace
