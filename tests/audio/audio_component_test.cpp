// The audio component's device model: construction, the setter rules and the buffers
// they rebuild, the memory failure texts and the device description.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "audio/Audio.h"
#include "mmsystem/virtual/virtual_driver.h"

namespace {

// Counts (and optionally fails) the component's allocations.
struct AllocationProbe {
  static inline int calls = 0;
  static inline int failAt = 0;  // 1-based call number that fails; 0 = none
  static void* allocate(size_t size) {
    ++calls;
    if (failAt != 0 && calls == failAt) return nullptr;
    return std::malloc(size);
  }
  AllocationProbe() {
    calls = 0;
    failAt = 0;
    previous = audio_memory::allocate;
    audio_memory::allocate = &AllocationProbe::allocate;
  }
  ~AllocationProbe() { audio_memory::allocate = previous; }
  audio_memory::Allocator previous;
};

VirtualCard testCard() {
  VirtualCard card = VirtualCard::defaultCard();
  card.pacing = VirtualPacing::AsFastAsQueued;
  card.inputFile.clear();
  return card;
}

class AudioComponent : public ::testing::Test {
 protected:
  void SetUp() override { mmsystem::installDriver(std::make_unique<VirtualDriver>(testCard())); }
};

TEST_F(AudioComponent, StartsOnTheWaveMapperWith8BitMono11025HzAndBuffersForBothDevices) {
  TAudio audio;
  EXPECT_EQ(audio.AudioDeviceID(), -1);
  EXPECT_EQ(audio.MixerDeviceID(), 0);
  EXPECT_FALSE(audio.SeparateCtrls());
  EXPECT_EQ(audio.Version(), "4.1 (32bit)");
  EXPECT_EQ(audio.ErrorMessage, "");
  TRecorder* r = audio.Recorder();
  EXPECT_EQ(r->BitsPerSample(), TBPS::_8);
  EXPECT_EQ(r->Channels(), TChannels::Mono);
  EXPECT_EQ(r->SampleRate(), 11025);
  EXPECT_EQ(r->NoSamples(), 8192);
  EXPECT_EQ(r->TrigLevel(), 0);
  EXPECT_FALSE(r->Triggered);
  EXPECT_FALSE(r->SplitChannels());
  EXPECT_FALSE(r->WaveFileOpen);
  // With an input and an output device both buffer sets exist from the start.
  ASSERT_NE(r->WaveFormat(), nullptr);
  EXPECT_EQ(r->BufferSize(), 8192);
  EXPECT_NE(audio.Player()->WaveFormat(), nullptr);

  audio.setVersion("anything");
  EXPECT_EQ(audio.Version(), "4.1 (32bit)");
}

TEST(AudioComponentWithoutDevices, HasNoBuffersUntilASetterAllocates) {
  VirtualCard card;
  mmsystem::installDriver(std::make_unique<VirtualDriver>(card));
  {
    TAudio audio;
    EXPECT_EQ(audio.Recorder()->WaveFormat(), nullptr);
    EXPECT_EQ(audio.Player()->WaveFormat(), nullptr);
    audio.Recorder()->setSampleRate(22050);
    EXPECT_NE(audio.Recorder()->WaveFormat(), nullptr);
    // Closing a recorder and a player that never opened is harmless.
    EXPECT_TRUE(audio.Recorder()->Stop());
    EXPECT_EQ(audio.ErrorMessage, "Recorder already closed");
  }
}

TEST_F(AudioComponent, DeviceNumbersAboveNineSelectTheWaveMapperAndReallocate) {
  TAudio audio;
  AllocationProbe probe;
  audio.setAudioDeviceID(9);
  EXPECT_EQ(audio.AudioDeviceID(), 9);
  audio.setAudioDeviceID(-5);
  EXPECT_EQ(audio.AudioDeviceID(), -5);
  audio.setAudioDeviceID(11);
  EXPECT_EQ(audio.AudioDeviceID(), -1);

  // 10 differs from the stored -1, so both buffer sets are rebuilt although the value
  // stays -1: one format, four headers and eight buffers each.
  AllocationProbe::calls = 0;
  audio.setAudioDeviceID(10);
  EXPECT_EQ(audio.AudioDeviceID(), -1);
  EXPECT_EQ(AllocationProbe::calls, 2 * (1 + 4 * 3));

  // Setting a property to the value it holds allocates nothing.
  AllocationProbe::calls = 0;
  audio.setAudioDeviceID(-1);
  audio.Recorder()->setSampleRate(11025);
  audio.Recorder()->setChannels(TChannels::Mono);
  audio.Recorder()->setBitsPerSample(TBPS::_8);
  audio.Recorder()->setNoSamples(8192);
  EXPECT_EQ(AllocationProbe::calls, 0);
}

TEST_F(AudioComponent, FormatSettersReachBothObjectsUnlessControlsAreSeparate) {
  TAudio audio;
  audio.Player()->setBitsPerSample(TBPS::_16);
  EXPECT_EQ(audio.Recorder()->BitsPerSample(), TBPS::_16);
  EXPECT_EQ(audio.Player()->BitsPerSample(), TBPS::_16);

  audio.setSeparateCtrls(true);
  audio.Player()->setSampleRate(22050);
  EXPECT_EQ(audio.Player()->SampleRate(), 22050);
  EXPECT_EQ(audio.Recorder()->SampleRate(), 11025);
  audio.Recorder()->setChannels(TChannels::Stereo);
  EXPECT_EQ(audio.Recorder()->Channels(), TChannels::Stereo);
  EXPECT_EQ(audio.Player()->Channels(), TChannels::Mono);

  // The block size goes to both, whatever SeparateCtrls says.
  audio.Recorder()->setNoSamples(100);
  EXPECT_EQ(audio.Player()->BufferSize(), 100 * 2);
  EXPECT_EQ(audio.Recorder()->BufferSize(), 100 * 4);
}

TEST_F(AudioComponent, SplitChannelsOnlyHoldsForStereo) {
  TAudio audio;
  TRecorder* r = audio.Recorder();
  r->setSplitChannels(true);
  EXPECT_FALSE(r->SplitChannels());
  r->setChannels(TChannels::Stereo);
  r->setSplitChannels(true);
  EXPECT_TRUE(r->SplitChannels());
  r->setChannels(TChannels::Mono);
  EXPECT_FALSE(r->SplitChannels());
}

TEST_F(AudioComponent, FormatRecordAndBlockSizeFollowTheFormat) {
  TAudio audio;
  TRecorder* r = audio.Recorder();
  r->setBitsPerSample(TBPS::_16);
  r->setChannels(TChannels::Stereo);
  r->setSampleRate(44100);
  r->setNoSamples(4410);
  const WAVEFORMATEX* f = r->WaveFormat();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->wFormatTag, 1);
  EXPECT_EQ(f->nChannels, 2);
  EXPECT_EQ(f->nSamplesPerSec, 44100u);
  EXPECT_EQ(f->nBlockAlign, 4);
  EXPECT_EQ(f->nAvgBytesPerSec, 176400u);
  EXPECT_EQ(f->wBitsPerSample, 16);
  EXPECT_EQ(f->cbSize, 0);
  EXPECT_EQ(r->BufferSize(), 17640);
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(r->Headers[i], nullptr);
    EXPECT_EQ(r->Headers[i]->lpData, r->Buffers[i]);
    EXPECT_NE(r->RightBuffers[i], nullptr);
  }

  // The block size is a 32-bit number: 20000 frames of 4 bytes are 80000 bytes, and a
  // tenth of a second of float stereo at 192000 Hz 153600.
  r->setNoSamples(20000);
  EXPECT_EQ(r->BufferSize(), 80000u);
  r->setBitsPerSample(TBPS::_32Float);
  r->setSampleRate(192000);
  r->setNoSamples(19200);
  EXPECT_EQ(r->WaveFormat()->wFormatTag, WAVE_FORMAT_IEEE_FLOAT);
  EXPECT_EQ(r->WaveFormat()->nAvgBytesPerSec, 1536000u);
  EXPECT_EQ(r->BufferSize(), 153600u);
}

TEST_F(AudioComponent, EachAllocationFailureLeavesItsOwnText) {
  TAudio audio;
  TRecorder* r = audio.Recorder();
  const struct {
    int failAt;
    const char* text;
  } cases[] = {
      {1, "Not enough memory to allocate WaveFormat"},
      {2, "Not enough memory to allocate WaveHeader"},
      {3, "Not enough memory to allocate Wave Buffer"},
      {4, "Not enough memory to allocate Wave Buffer"},
  };
  for (const auto& c : cases) {
    AllocationProbe probe;
    r->FreeBuffers();
    AllocationProbe::failAt = c.failAt;
    EXPECT_FALSE(r->AllocBuffers()) << c.failAt;
    EXPECT_EQ(audio.ErrorMessage, c.text) << c.failAt;
    // What was allocated before the failure is released by the next FreeBuffers.
    r->FreeBuffers();
    EXPECT_EQ(r->WaveFormat(), nullptr);
  }
  EXPECT_TRUE(r->AllocBuffers());
}

TEST_F(AudioComponent, ServiceTextIsAppendedAfterABlank) {
  TAudio audio;
  audio.setWaveInError("Error adding input buffer", WAVERR_BADFORMAT);
  EXPECT_EQ(audio.ErrorMessage, std::string("Error adding input buffer ") + mmsystem::resultText(WAVERR_BADFORMAT));
  // A code the service has no text for leaves the operation's own message.
  audio.setWaveOutError("Error in waveOutReset", 12345);
  EXPECT_EQ(audio.ErrorMessage, "Error in waveOutReset");
}

TEST(AudioComponentService, ANullDriverIsRefusedAndTheInstalledOneStays) {
  auto owned = std::make_unique<VirtualDriver>(testCard());
  VirtualDriver* card = owned.get();
  mmsystem::installDriver(std::move(owned));
  EXPECT_EQ(mmsystem::installDriver(nullptr), nullptr);
  EXPECT_EQ(&mmsystem::driver(), card);
  // The component goes on working on it.
  TAudio audio;
  EXPECT_TRUE(audio.Mixer()->Valid);
  EXPECT_TRUE(audio.Recorder()->Start()) << audio.ErrorMessage;
  EXPECT_TRUE(audio.Recorder()->Stop()) << audio.ErrorMessage;
}

}  // namespace
