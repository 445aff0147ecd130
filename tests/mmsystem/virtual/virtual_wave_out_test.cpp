// The virtual card's wave output: the formats a device refuses, playing in order,
// reset, failure, output volume and fault injection. What every driver does alike is in
// contract_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mmsystem/virtual/virtual_driver.h"
#include "support/wave_files.h"

namespace {

using testsupport::pcmFormat;

// Notifications as the service thread delivers them.
struct Events {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<UINT> messages;
  std::vector<WAVEHDR*> done;
  std::thread::id thread;
  MMRESULT error = MMSYSERR_NOERROR;  // WOM_ERROR: the result code and the text
  std::string text;

  static void proc(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
    auto* self = reinterpret_cast<Events*>(instance);
    std::lock_guard lock(self->mutex);
    self->messages.push_back(msg);
    self->thread = std::this_thread::get_id();
    if (msg == WOM_DONE) self->done.push_back(reinterpret_cast<WAVEHDR*>(param1));
    if (msg == WOM_ERROR) {
      self->error = static_cast<MMRESULT>(param1);
      self->text = reinterpret_cast<const char*>(param2);
    }
    self->changed.notify_all();
  }
  bool waitDone(size_t n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return done.size() >= n; });
  }
  bool waitError() {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return error != MMSYSERR_NOERROR; });
  }
};

VirtualCard outputCard(VirtualPacing pacing) {
  VirtualCard card;
  card.pacing = pacing;
  VirtualWaveDevice plain;
  plain.name = "Out 0";
  card.outputs.push_back(plain);
  VirtualWaveDevice fixed;
  fixed.name = "Fixed";
  fixed.support = WAVECAPS_VOLUME;
  fixed.volumeFollows = false;
  card.outputs.push_back(fixed);
  card.outputs.push_back(
      {.name = "Mono only", .support = 0, .refuses = [](const WAVEFORMATEX& f) { return f.nChannels != 1; }});
  return card;
}

class VirtualWaveOutTest : public ::testing::Test {
 protected:
  void install(VirtualPacing pacing) {
    auto owned = std::make_unique<VirtualDriver>(outputCard(pacing));
    card = owned.get();
    mmsystem::installDriver(std::move(owned));
  }
  void SetUp() override { install(VirtualPacing::AsFastAsQueued); }
  void TearDown() override { mmsystem::installDriver(nullptr); }

  HWAVEOUT open(UINT device, const WAVEFORMATEX& f, Events& events) {
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, device, &f, reinterpret_cast<DWORD_PTR>(&Events::proc),
                          reinterpret_cast<DWORD_PTR>(&events), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    return h;
  }

  VirtualDriver* card = nullptr;
};

struct Block {
  std::vector<char> data;
  WAVEHDR header{};
  explicit Block(std::vector<char> bytes) : data(std::move(bytes)) {
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(data.size());
  }
};

// A device may refuse a format the service carries.
TEST_F(VirtualWaveOutTest, ADeviceRefusesTheFormatsItCannotPlay) {
  HWAVEOUT h = nullptr;
  const WAVEFORMATEX stereo = pcmFormat(2, 44100, 16);
  EXPECT_EQ(waveOutOpen(&h, 2, &stereo, 0, 0, 0), WAVERR_BADFORMAT);
  const WAVEFORMATEX mono = pcmFormat(1, 44100, 16);
  ASSERT_EQ(waveOutOpen(&h, 2, &mono, 0, 0, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(VirtualWaveOutTest, BlocksArePlayedInOrderAndReportedDone) {
  Events events;
  HWAVEOUT h = open(0, pcmFormat(1, 11025, 8), events);
  std::vector<std::unique_ptr<Block>> blocks;
  for (char i = 0; i < 6; ++i) blocks.push_back(std::make_unique<Block>(std::vector<char>(100 + i, i)));
  for (auto& b : blocks) {
    ASSERT_EQ(waveOutPrepareHeader(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_TRUE(events.waitDone(6));
  const auto played = card->playedBlocks(0);
  ASSERT_EQ(played.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(played[i], blocks[i]->data);
    EXPECT_EQ(events.done[i], &blocks[i]->header);
    EXPECT_TRUE(blocks[i]->header.dwFlags & WHDR_DONE);
    EXPECT_FALSE(blocks[i]->header.dwFlags & WHDR_INQUEUE);
    EXPECT_EQ(waveOutUnprepareHeader(h, &blocks[i]->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  EXPECT_TRUE(card->playedBlocks(1).empty());
  EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(VirtualWaveOutTest, ResetHandsQueuedBlocksBackUnplayed) {
  install(VirtualPacing::RealTime);
  Events events;
  // One second per block: nothing finishes playing before the reset.
  HWAVEOUT h = open(0, pcmFormat(1, 8000, 8), events);
  std::vector<std::unique_ptr<Block>> blocks;
  for (int i = 0; i < 3; ++i) {
    blocks.push_back(std::make_unique<Block>(std::vector<char>(8000, static_cast<char>(i))));
    waveOutPrepareHeader(h, &blocks.back()->header, sizeof(WAVEHDR));
    ASSERT_EQ(waveOutWrite(h, &blocks.back()->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
  // Every block came back through its done notification before the reset returned.
  {
    std::lock_guard lock(events.mutex);
    ASSERT_EQ(events.done.size(), 3u);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(card->playedBlocks(0).empty());
  for (auto& b : blocks) EXPECT_TRUE(b->header.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);  // nothing queued: returns at once
  EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

// A device that fails while playing hands back every queued block unplayed, then
// reports the failure once; blocks written afterwards wait for the reset.
TEST_F(VirtualWaveOutTest, AFailingOutputHandsBackItsBlocksThenReportsOnce) {
  install(VirtualPacing::RealTime);
  Events events;
  HWAVEOUT h = open(0, pcmFormat(1, 8000, 8), events);
  std::vector<std::unique_ptr<Block>> blocks;
  for (int i = 0; i < 4; ++i) blocks.push_back(std::make_unique<Block>(std::vector<char>(8000, static_cast<char>(i))));
  for (auto& b : blocks) ASSERT_EQ(waveOutPrepareHeader(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  for (size_t i = 0; i < 3; ++i) ASSERT_EQ(waveOutWrite(h, &blocks[i]->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  card->failOpenDevices(MMSYSERR_ERROR, "the server went away");
  card->failOpenDevices(MMSYSERR_NODRIVER, "once more");
  ASSERT_TRUE(events.waitError());
  {
    std::lock_guard lock(events.mutex);
    EXPECT_EQ(events.messages, (std::vector<UINT>{WOM_OPEN, WOM_DONE, WOM_DONE, WOM_DONE, WOM_ERROR}));
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(events.done[i], &blocks[i]->header);
    EXPECT_EQ(events.error, MMSYSERR_ERROR);
    EXPECT_EQ(events.text, "Sound device \"Out 0\" failed: the server went away");
  }
  EXPECT_TRUE(card->playedBlocks(0).empty());

  ASSERT_EQ(waveOutWrite(h, &blocks[3]->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(h), WAVERR_STILLPLAYING);
  ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
  for (auto& b : blocks) EXPECT_EQ(waveOutUnprepareHeader(h, &b->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
  std::lock_guard lock(events.mutex);
  EXPECT_EQ(events.done.size(), 4u);
  EXPECT_EQ(events.messages.back(), WOM_CLOSE);
  EXPECT_EQ(std::count(events.messages.begin(), events.messages.end(), WOM_ERROR), 1);
  EXPECT_TRUE(card->playedBlocks(0).empty());
}

TEST_F(VirtualWaveOutTest, RealTimePlayingTakesTheBlocksDuration) {
  install(VirtualPacing::RealTime);
  Events events;
  HWAVEOUT h = open(0, pcmFormat(1, 8000, 8), events);
  Block a(std::vector<char>(2000, 1)), b(std::vector<char>(2000, 2));  // a quarter second each
  const auto start = std::chrono::steady_clock::now();
  for (Block* block : {&a, &b}) {
    waveOutPrepareHeader(h, &block->header, sizeof(WAVEHDR));
    waveOutWrite(h, &block->header, sizeof(WAVEHDR));
  }
  ASSERT_TRUE(events.waitDone(2));
  // Only a lower bound: a busy machine may take longer, never shorter.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  EXPECT_EQ(card->playedBlocks(0).size(), 2u);
  EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(VirtualWaveOutTest, OutputVolumeFollowsOnlyWhereTheDeviceAllows) {
  DWORD v = 0;
  ASSERT_EQ(waveOutGetVolume(0, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, 0xFFFFFFFFu);
  ASSERT_EQ(waveOutSetVolume(0, 0x56781234), MMSYSERR_NOERROR);
  EXPECT_EQ(card->outputVolume(0), 0x56781234u);
  ASSERT_EQ(waveOutGetVolume(WAVE_MAPPER, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, 0x56781234u);
  // A device that does not follow accepts the call and keeps its volume.
  ASSERT_EQ(waveOutSetVolume(1, 0x00100010), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutGetVolume(1, &v), MMSYSERR_NOERROR);
  EXPECT_EQ(v, 0xFFFFFFFFu);
  // Without volume support both calls fail.
  EXPECT_EQ(waveOutGetVolume(2, &v), MMSYSERR_NOTSUPPORTED);
  EXPECT_EQ(waveOutSetVolume(2, 0), MMSYSERR_NOTSUPPORTED);
  EXPECT_EQ(waveOutGetVolume(7, &v), MMSYSERR_BADDEVICEID);
}

TEST(VirtualWaveOutLifetime, ACardGoingAwayFailsAndClosesItsOpenOutputs) {
  Events events;
  std::vector<char> data(8000, 3);
  WAVEHDR header{};
  header.lpData = data.data();
  header.dwBufferLength = static_cast<DWORD>(data.size());
  {
    VirtualCard card = outputCard(VirtualPacing::RealTime);
    VirtualDriver driver(card);
    WAVEFORMATEX f = pcmFormat(1, 8000, 8);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(driver.waveOutOpen(&h, 0, &f, reinterpret_cast<DWORD_PTR>(&Events::proc),
                                 reinterpret_cast<DWORD_PTR>(&events), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    driver.waveOutPrepareHeader(h, &header, sizeof(WAVEHDR));
    driver.waveOutWrite(h, &header, sizeof(WAVEHDR));
  }
  std::lock_guard lock(events.mutex);
  EXPECT_EQ(events.messages, (std::vector<UINT>{WOM_OPEN, WOM_DONE, WOM_ERROR, WOM_CLOSE}));
  EXPECT_EQ(events.error, MMSYSERR_NODRIVER);
}

}  // namespace
