// The wave-output player against the virtual card: open, close and stop in their
// states, failure texts, the output volume, and whole streams played through the ring.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "audio/Audio.h"
#include "fault_driver.h"
#include "mmsystem/virtual/virtual_driver.h"
#include "support/event_wait.h"

namespace {

// Playing whole streams through the ring takes longer than the other waits.
bool waitFor(const std::function<bool()>& condition) { return testsupport::waitFor(condition, 30000); }

VirtualCard playerCard(VirtualPacing pacing) {
  VirtualCard card;
  card.pacing = pacing;
  card.inputs.push_back({.name = "In", .refuses = {}});
  card.outputs.push_back({.name = "Out", .refuses = {}});
  return card;
}

std::string serviceText(MMRESULT code) { return mmsystem::resultText(code); }

class PlayerTest : public ::testing::Test {
 protected:
  void start(VirtualPacing pacing) {
    audio.reset();
    auto owned = std::make_unique<fault_test::FaultDriver<VirtualDriver>>(playerCard(pacing));
    card = owned.get();
    mmsystem::installDriver(std::move(owned));
    audio = std::make_unique<TAudio>();
    player = audio->Player();
    played = 0;
    bufferPlayed = 0;
    audio->OnPlayed = [this](TObject* sender) {
      EXPECT_EQ(sender, player);
      EXPECT_EQ(std::this_thread::get_id(), owner);
      ++played;
    };
    audio->OnBufferPlayed = [this](TObject* sender) {
      EXPECT_EQ(sender, player);
      if (std::this_thread::get_id() != owner) ++bufferPlayed;
    };
  }
  void SetUp() override { start(VirtualPacing::AsFastAsQueued); }
  void TearDown() override { audio.reset(); }

  // A stream of `blocks` blocks of the player's block size (plus `extra` bytes), each
  // block with its own byte pattern.
  std::string stream(int blocks, int extra = 0) const {
    std::string data;
    for (int b = 0; b < blocks; ++b) {
      for (int i = 0; i < static_cast<int>(player->BufferSize()); ++i)
        data.push_back(static_cast<char>(b * 16 + i % 7));
    }
    data.append(static_cast<size_t>(extra), 'x');
    return data;
  }
  std::string playedBytes() const {
    std::string all;
    for (const auto& block : card->playedBlocks(0)) all.append(block.begin(), block.end());
    return all;
  }

  fault_test::FaultDriver<VirtualDriver>* card = nullptr;
  std::unique_ptr<TAudio> audio;
  TPlayer* player = nullptr;
  std::thread::id owner = std::this_thread::get_id();
  int played = 0;
  std::atomic<int> bufferPlayed{0};
};

TEST_F(PlayerTest, OpenCloseAndStopInEachState) {
  // Stop on a closed player only leaves its text.
  player->Stop();
  EXPECT_EQ(audio->ErrorMessage, "Player already closed");
  EXPECT_EQ(played, 0);

  ASSERT_TRUE(player->Open());
  EXPECT_TRUE(player->IsOpen);
  EXPECT_TRUE(player->Active);  // the open notification arrived
  HWAVEOUT first = player->WaveOut;
  ASSERT_TRUE(player->Open());  // already open: not opened again
  EXPECT_EQ(player->WaveOut, first);

  // Closing a player that never wrote a block succeeds and reports the end.
  audio->ErrorMessage.clear();
  player->Close();
  EXPECT_FALSE(player->IsOpen);
  EXPECT_FALSE(player->Active);
  EXPECT_EQ(played, 1);
  EXPECT_EQ(audio->ErrorMessage, "");
  player->Close();
  EXPECT_EQ(audio->ErrorMessage, "Player already closed");
  EXPECT_EQ(played, 1);

  // Stop on an open player with nothing queued closes it and does not wait for anything.
  ASSERT_TRUE(player->Open());
  player->Stop();
  EXPECT_FALSE(player->IsOpen);
  EXPECT_EQ(played, 2);

  // The close message closes the player on the owner's thread.
  ASSERT_TRUE(player->Open());
  player->closeWindow()->post(WOM_CLOSE, 0, 0);
  ASSERT_TRUE(waitFor([&] { return !player->IsOpen; }));
  EXPECT_EQ(played, 3);
}

TEST_F(PlayerTest, FailuresLeaveTheirTexts) {
  card->failNext(VirtualCall::waveOutOpen, MMSYSERR_ALLOCATED);
  EXPECT_FALSE(player->Open());
  EXPECT_EQ(audio->ErrorMessage, "Could not open the output device for playing:  " + serviceText(MMSYSERR_ALLOCATED));
  EXPECT_FALSE(player->IsOpen);

  ASSERT_TRUE(player->Open());
  card->failNext(VirtualCall::waveOutUnprepareHeader, MMSYSERR_INVALHANDLE);
  player->Close();
  EXPECT_EQ(audio->ErrorMessage, "Error unpreparing header for playing:  " + serviceText(MMSYSERR_INVALHANDLE));
  EXPECT_TRUE(player->IsOpen);
  card->failNext(VirtualCall::waveOutClose, MMSYSERR_ERROR);
  player->Close();
  EXPECT_EQ(audio->ErrorMessage, "Error closing output device:  " + serviceText(MMSYSERR_ERROR));
  EXPECT_TRUE(player->IsOpen);
  EXPECT_EQ(played, 0);

  card->failNext(VirtualCall::waveOutReset, MMSYSERR_ERROR);
  player->Stop();
  EXPECT_EQ(audio->ErrorMessage, "Error in waveOutReset");
  EXPECT_TRUE(player->IsOpen);
  player->Stop();
  EXPECT_FALSE(player->IsOpen);

  // Writing a block fails: no text of its own, one blank and the service's text.
  card->failNext(VirtualCall::waveOutWrite, MMSYSERR_NOMEM);
  EXPECT_FALSE(player->Play(std::make_unique<std::istringstream>(stream(2)), 0));
  EXPECT_EQ(audio->ErrorMessage, " " + serviceText(MMSYSERR_NOMEM));
  ASSERT_TRUE(waitFor([&] { return !player->IsOpen; }));
}

TEST_F(PlayerTest, OutputVolumeIsPackedLeftLowRightHigh) {
  player->SetOutVolume(0x1234, 0x5678);
  EXPECT_EQ(card->outputVolume(0), 0x56781234u);
  uint16_t left = 0, right = 0;
  player->GetOutVolume(left, right);
  EXPECT_EQ(left, 0x1234);
  EXPECT_EQ(right, 0x5678);
  card->failNext(VirtualCall::waveOutSetVolume, MMSYSERR_NOTSUPPORTED);
  player->SetOutVolume(1, 1);
  EXPECT_EQ(audio->ErrorMessage, " " + serviceText(MMSYSERR_NOTSUPPORTED));
  EXPECT_EQ(card->outputVolume(0), 0x56781234u);
}

TEST_F(PlayerTest, AStreamOfTenBlocksArrivesCompleteAndInOrder) {
  // Real time with blocks of a fifth of a second, so the owner refills well ahead.
  start(VirtualPacing::RealTime);
  audio->Recorder()->setNoSamples(2205);  // 8-bit mono 11025 Hz
  ASSERT_EQ(player->BufferSize(), 2205);
  const std::string data = stream(10);
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(data), 0));
  ASSERT_TRUE(waitFor([&] { return played == 1; }));
  const auto blocks = card->playedBlocks(0);
  ASSERT_EQ(blocks.size(), 10u);
  for (size_t b = 0; b < blocks.size(); ++b) {
    EXPECT_EQ(std::string(blocks[b].begin(), blocks[b].end()), data.substr(b * 2205, 2205)) << "block " << b;
  }
  // After each block while more are queued: all but the last, on the service thread.
  EXPECT_EQ(bufferPlayed, 9);
  EXPECT_FALSE(player->IsOpen);
  EXPECT_EQ(player->PlayStream, nullptr);
  EXPECT_EQ(audio->ErrorMessage, "");
  QCoreApplication::processEvents();
  EXPECT_EQ(played, 1);
}

TEST_F(PlayerTest, AFastDeviceLosesNothingWhenTheOwnerRefillsLate) {
  // The device finishes every block at once, long before the owner's refill runs.
  audio->Recorder()->setNoSamples(100);
  const std::string data = stream(7, 33);  // a short last block
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(data), 2));
  ASSERT_TRUE(waitFor([&] { return played == 1; }));
  EXPECT_EQ(playedBytes(), data + data + data);
  EXPECT_EQ(audio->ErrorMessage, "");
  EXPECT_FALSE(player->IsOpen);
  QCoreApplication::processEvents();
  EXPECT_EQ(played, 1);

  // The player can play again afterwards, from where the stream stands.
  card->clearPlayed();
  auto second = std::make_unique<std::istringstream>("skip" + stream(1));
  second->seekg(4);
  ASSERT_TRUE(player->Play(std::move(second), 0));
  ASSERT_TRUE(waitFor([&] { return played == 2; }));
  EXPECT_EQ(playedBytes(), stream(1));

  // An empty stream opens and closes again.
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(""), 0));
  ASSERT_TRUE(waitFor([&] { return played == 3; }));
}

TEST_F(PlayerTest, StopEndsAPlaybackInProgress) {
  start(VirtualPacing::RealTime);
  audio->Recorder()->setNoSamples(2205);
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(stream(50)), 0));
  ASSERT_TRUE(waitFor([&] { return card->playedBlocks(0).size() >= 1; }));
  player->Stop();
  EXPECT_FALSE(player->IsOpen);
  EXPECT_EQ(player->PlayStream, nullptr);
  EXPECT_EQ(played, 1);
  EXPECT_LT(card->playedBlocks(0).size(), 50u);
  // Messages of the ended playback that were still on their way change nothing.
  QCoreApplication::processEvents();
  EXPECT_EQ(played, 1);
  EXPECT_FALSE(player->IsOpen);

  // A playback that ended by itself but whose close has not run yet is also stopped.
  start(VirtualPacing::AsFastAsQueued);
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(stream(1)), 0));
  // Only the refills run here, so the close stays on its way.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!player->ClosePosted && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::sendPostedEvents(player->notifyWindow(), 0);
    QThread::msleep(1);
  }
  ASSERT_TRUE(player->ClosePosted);
  ASSERT_TRUE(player->IsOpen);
  player->Stop();
  EXPECT_FALSE(player->IsOpen);
  EXPECT_EQ(played, 1);
}

// The device gives up while playing: the player stops, its owner learns it through
// OnPlayed (once) and ErrorMessage says why.
TEST_F(PlayerTest, AFailingOutputEndsThePlaybackAndSaysWhy) {
  start(VirtualPacing::RealTime);
  audio->Recorder()->setNoSamples(2205);
  card->failOutputAfter(1, MMSYSERR_NODRIVER, "Out: the card was unplugged");
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(stream(50)), 0));
  ASSERT_TRUE(waitFor([&] { return played > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(played, 1);
  EXPECT_EQ(audio->ErrorMessage, "The output device failed: Out: the card was unplugged");
  EXPECT_FALSE(player->IsOpen);
  EXPECT_EQ(player->PlayStream, nullptr);
  EXPECT_LT(card->playedBlocks(0).size(), 50u);
}

// A format set while the player plays must not free the buffers the device plays (under
// AddressSanitizer that stops the test): the stream plays out unchanged, and the new
// format's buffers are there once the player has closed.
TEST_F(PlayerTest, AFormatSetWhilePlayingWaitsUntilThePlayerHasClosed) {
  start(VirtualPacing::RealTime);
  audio->Recorder()->setNoSamples(2205);
  const std::string data = stream(8);
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(data), 0));
  ASSERT_TRUE(waitFor([&] { return !card->playedBlocks(0).empty(); }));
  player->setBitsPerSample(TBPS::_16);
  player->setSampleRate(22050);
  audio->Recorder()->setNoSamples(1000);
  audio->setAudioDeviceID(0);
  EXPECT_EQ(player->BufferSize(), 2205);
  ASSERT_TRUE(waitFor([&] { return played == 1; }));
  EXPECT_EQ(playedBytes(), data);
  EXPECT_EQ(player->BufferSize(), 2000);
  EXPECT_EQ(player->WaveFormat()->nSamplesPerSec, 22050u);
}

TEST_F(PlayerTest, CloseRestoresASavedFormatOnceTheStreamIsGone) {
  player->setSampleRate(22050);
  player->SavedSampleRate = 11025;
  player->SavedChannels = TChannels::Stereo;
  player->SavedBitsPerSample = TBPS::_16;
  player->FormatSaved = true;
  ASSERT_TRUE(player->Open());
  player->Close();
  EXPECT_FALSE(player->FormatSaved);
  EXPECT_EQ(player->SampleRate(), 11025);
  EXPECT_EQ(player->Channels(), TChannels::Stereo);
  EXPECT_EQ(player->BitsPerSample(), TBPS::_16);
  // Through the setters: the recorder follows while the controls are not separate.
  EXPECT_EQ(audio->Recorder()->BitsPerSample(), TBPS::_16);
}

TEST_F(PlayerTest, DestroyingTheComponentWhilePlayingStopsThePlayer) {
  start(VirtualPacing::RealTime);
  audio->Recorder()->setNoSamples(2205);
  ASSERT_TRUE(player->Play(std::make_unique<std::istringstream>(stream(20)), 3));
  audio.reset();
  EXPECT_EQ(played, 1);
  // Nothing is left that could call back into the destroyed player.
  QCoreApplication::processEvents();
}

}  // namespace
