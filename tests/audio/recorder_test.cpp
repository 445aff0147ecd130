// The recorder against the virtual card: files and their headers, the trigger, the
// channel split, stopping, the failure texts and the recordings the recorder has to end
// by itself.
#include <signal.h>
#include <sys/resource.h>

#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "audio/wave_file.h"
#include "recorder_test_support.h"

using namespace recorder_test;

namespace {

class RecorderTest : public RecorderFixture {};

TEST_F(RecorderTest, TenBlocksOf16BitStereoGiveTheExactFile) {
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  const std::string file = path("ten.wav");
  rec().Triggered = true;
  rec().CreateWaveFile(file, nullptr, nullptr);
  ASSERT_TRUE(rec().WaveFileOpen);
  ASSERT_TRUE(recordBlocks(10)) << audio->ErrorMessage;
  EXPECT_FALSE(rec().WaveFileOpen);

  const std::string bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 176444u);
  std::string expected = "RIFF";
  putLE(expected, 176436, 4);
  expected += "WAVEfmt ";
  for (uint32_t v : {16u}) putLE(expected, v, 4);
  putLE(expected, 1, 2);
  putLE(expected, 2, 2);
  putLE(expected, 44100, 4);
  putLE(expected, 176400, 4);
  putLE(expected, 4, 2);
  putLE(expected, 16, 2);
  expected += "data";
  putLE(expected, 176400, 4);
  EXPECT_EQ(bytes.substr(0, 44), expected);
}

TEST_F(RecorderTest, SoxReadsEveryFormatCombination) {
  struct Case {
    TBPS bits;
    TChannels channels;
    uint16_t rate;
    const char* info;  // channels, rate, bits, samples per channel
  } cases[] = {
      {TBPS::_8, TChannels::Mono, 11025, "1 11025 8 5515"},
      {TBPS::_8, TChannels::Stereo, 22050, "2 22050 8 11025"},
      {TBPS::_16, TChannels::Mono, 8000, "1 8000 16 4000"},
      {TBPS::_16, TChannels::Stereo, 44100, "2 44100 16 22050"},
  };
  if (kThreadChecked) GTEST_SKIP() << "starts sox, which the thread checker cannot follow";
  if (soxInfo("") == "no sox") GTEST_SKIP() << "sox is not installed";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.info);
    setFormat(c.bits, c.channels, c.rate, c.rate / 10);
    const std::string file = path("format.wav");
    rec().Triggered = true;
    rec().CreateWaveFile(file, nullptr, nullptr);
    ASSERT_TRUE(recordBlocks(5)) << audio->ErrorMessage;
    // 8-bit mono at 11025: the block is 1102 frames, so 5 blocks hold 5510 frames.
    std::string expected = c.info;
    if (c.rate == 11025) expected = "1 11025 8 5510";
    EXPECT_EQ(soxInfo(file), expected);
  }
}

// Input blocks of 16-bit stereo with chosen samples; 100 frames per block.
std::string blocksOf16(const std::vector<std::vector<int16_t>>& blocks) {
  std::vector<int16_t> all;
  for (const auto& b : blocks) {
    std::vector<int16_t> block(200, 0);
    std::copy(b.begin(), b.end(), block.begin());
    all.insert(all.end(), block.begin(), block.end());
  }
  return samples16(all);
}

TEST_F(RecorderTest, TriggerOn16BitDataDiscardsWholeBlocksUntilALevelIsReached) {
  // Blocks 0..2 stay below 1000 (a deep negative swing included), block 3 reaches it in
  // the middle of its right channel, blocks 4 and 5 are quiet again.
  std::vector<int16_t> quiet = {999, -20000, 500, -32768};
  std::vector<int16_t> firing(200, 10);
  firing[101] = 1000;
  const std::string input = path("in.wav");
  const std::string data = blocksOf16({quiet, quiet, quiet, firing, {1, 2}, {3, 4}});
  writeFile(input, wavBytes(2, 8000, 16, data));
  useCard(plainCard(VirtualPacing::AsFastAsQueued, input));
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 100);
  rec().setTrigLevel(1000);
  rec().Triggered = false;
  const std::string file = path("trig.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  std::vector<std::string> seen;
  ASSERT_TRUE(recordBlocks(3, &seen));
  EXPECT_TRUE(rec().Triggered);
  // The firing block is reported and written whole, and so are the quiet ones after it.
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], data.substr(3 * 400, 400));
  EXPECT_EQ(seen[1], data.substr(4 * 400, 400));
  EXPECT_EQ(readFile(file).substr(44), data.substr(3 * 400, 3 * 400));
  // The three discarded blocks still went back to the card: 4 at start + 6 re-queued.
  EXPECT_GE(card_->added.load(), 9);
}

TEST_F(RecorderTest, TriggerOn8BitDataComparesBytesWithTheLevelAsSigned16Bit) {
  struct Case {
    uint16_t level;
    int firstReportedBlock;  // -1: never fires
  } cases[] = {{129, 2}, {128, 0}, {100, 0}, {256, -1}, {32767, -1}, {32768, 0}, {65535, 0}};
  // Block 0 is silence (128), block 1 has one byte of 0, block 2 one byte of 129.
  std::string data(300, static_cast<char>(128));
  data[200 + 57] = static_cast<char>(129);
  data[100 + 3] = static_cast<char>(0);
  const std::string input = path("in8.wav");
  writeFile(input, wavBytes(1, 8000, 8, data));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    useCard(plainCard(VirtualPacing::AsFastAsQueued, input));
    setFormat(TBPS::_8, TChannels::Mono, 8000, 100);
    rec().setTrigLevel(c.level);
    rec().Triggered = false;
    std::vector<std::string> seen;
    if (c.firstReportedBlock >= 0) {
      ASSERT_TRUE(recordBlocks(1, &seen));
      EXPECT_EQ(seen[0], data.substr(100 * c.firstReportedBlock, 100));
    } else {
      int reported = 0;
      audio->OnRecord = [&](TObject*, void*, void*, uint32_t) { ++reported; };
      ASSERT_TRUE(rec().Start());
      // Let the loop pass through the input twice (3 blocks each) with nothing reported.
      ASSERT_TRUE(waitFor([&] { return card_->added.load() >= 4 + 6; }));
      EXPECT_TRUE(rec().Stop());
      EXPECT_EQ(reported, 0);
      EXPECT_FALSE(rec().Triggered);
    }
  }
}

TEST_F(RecorderTest, SplitHandsPackedChannelsToOnRecordWhileTheFileKeepsTheInterleavedBlock) {
  // 16-bit stereo: left counts up, right counts down. 8-bit stereo likewise.
  std::vector<int16_t> frames;
  for (int k = 0; k < 4410; ++k) {
    frames.push_back(static_cast<int16_t>(k));
    frames.push_back(static_cast<int16_t>(-k));
  }
  const std::string data = samples16(frames);
  const std::string input = path("split.wav");
  writeFile(input, wavBytes(2, 44100, 16, data));
  useCard(plainCard(VirtualPacing::AsFastAsQueued, input));
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  rec().setSplitChannels(true);
  rec().Triggered = true;
  const std::string file = path("split_out.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  std::string left, right;
  uint16_t size = 0;
  auto onRecord = [&](TObject* sender, void* lp, void* rp, uint16_t n) {
    EXPECT_EQ(sender, &rec());
    ASSERT_NE(rp, nullptr);
    size = n;
    left.assign(static_cast<char*>(lp), n);
    right.assign(static_cast<char*>(rp), n);
    rec().Stop();
  };
  audio->OnRecord = onRecord;
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return !rec().IsOpen; }));
  EXPECT_EQ(size, 8820);
  std::vector<int16_t> l, r;
  for (int k = 0; k < 4410; ++k) {
    l.push_back(static_cast<int16_t>(k));
    r.push_back(static_cast<int16_t>(-k));
  }
  EXPECT_EQ(left, samples16(l));
  EXPECT_EQ(right, samples16(r));
  EXPECT_EQ(readFile(file).substr(44), data);

  // 8-bit: frame k is (k, 255 - k).
  std::string bytes8;
  for (int k = 0; k < 200; ++k) {
    bytes8.push_back(static_cast<char>(k));
    bytes8.push_back(static_cast<char>(255 - k));
  }
  writeFile(input, wavBytes(2, 8000, 8, bytes8));
  useCard(plainCard(VirtualPacing::AsFastAsQueued, input));
  setFormat(TBPS::_8, TChannels::Stereo, 8000, 200);
  rec().setSplitChannels(true);
  rec().Triggered = true;
  audio->OnRecord = onRecord;
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return !rec().IsOpen; }));
  EXPECT_EQ(size, 200);
  for (int k = 0; k < 200; ++k) {
    ASSERT_EQ(static_cast<unsigned char>(left[k]), k);
    ASSERT_EQ(static_cast<unsigned char>(right[k]), 255 - k);
  }
}

TEST_F(RecorderTest, StopInsideOnRecordTakesEffectAfterTheDelivery) {
  setFormat(TBPS::_16, TChannels::Mono, 8000, 800);
  rec().Triggered = true;
  int blocks = 0;
  bool openAfterStop = false;
  audio->OnRecord = [&](TObject*, void*, void*, uint32_t) {
    ++blocks;
    EXPECT_TRUE(rec().Stop());
    openAfterStop = rec().IsOpen;
  };
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return !rec().IsOpen; }));
  EXPECT_TRUE(openAfterStop);
  EXPECT_EQ(blocks, 1);
}

TEST_F(RecorderTest, StopWhileRecordingInRealTimeDropsThePartialBlock) {
  useCard(plainCard(VirtualPacing::RealTime));
  setFormat(TBPS::_16, TChannels::Stereo, 44100, 4410);
  rec().Triggered = true;
  const std::string file = path("partial.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  std::atomic<int> blocks{0};
  audio->OnRecord = [&](TObject*, void*, void*, uint32_t n) {
    EXPECT_EQ(n, 17640);
    ++blocks;
  };
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return blocks >= 2; }));
  // Stop half way into a block.
  waitFor([] { return false; }, 50);
  EXPECT_TRUE(rec().Stop());
  const std::string bytes = readFile(file);
  EXPECT_EQ(bytes.size(), 44u + 17640u * blocks);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
}

TEST_F(RecorderTest, ARecordingThatNeverTriggersLeavesAnEmptyValidFile) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().setTrigLevel(32767);
  rec().Triggered = false;  // the generator never reaches full scale in its first swell
  const std::string file = path("silent.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  EXPECT_TRUE(rec().Stop());  // a file whose recorder never started
  std::string bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(readLE(bytes, 4, 4), 36u);
  EXPECT_EQ(readLE(bytes, 40, 4), 0u);

  std::string input = path("quiet.wav");
  writeFile(input, wavBytes(2, 8000, 16, samples16({100, -100, 5, 6})));
  useCard(plainCard(VirtualPacing::AsFastAsQueued, input));
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().setTrigLevel(1000);
  rec().Triggered = false;
  rec().CreateWaveFile(file, nullptr, nullptr);
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return card_->added.load() >= 12; }));
  EXPECT_TRUE(rec().Stop());
  bytes = readFile(file);
  ASSERT_EQ(bytes.size(), 44u);
  EXPECT_EQ(readLE(bytes, 40, 4), 0u);
}

// A format set while the recorder runs must not pull the buffers from under the device
// (under AddressSanitizer a freed buffer being filled stops the test): the run goes on in
// its format, and the new one applies once the recorder has closed.
TEST_F(RecorderTest, AFormatSetWhileRecordingWaitsUntilTheRecorderHasClosed) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().Triggered = true;
  const std::string file = path("format.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  std::atomic<int> blocks{0};
  std::atomic<int> wrongSize{0};
  audio->OnRecord = [&](TObject*, void*, void*, uint32_t n) {
    if (n != 3200) ++wrongSize;
    ++blocks;
  };
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return blocks >= 3; }));
  audio->setSeparateCtrls(false);
  rec().setChannels(TChannels::Mono);
  rec().setBitsPerSample(TBPS::_8);
  rec().setSampleRate(22050);
  rec().setNoSamples(100);
  audio->setAudioDeviceID(0);
  EXPECT_EQ(rec().SampleRate(), 22050);
  EXPECT_EQ(rec().BufferSize(), 3200) << "the buffers the device fills stay until it closes";
  const int before = blocks;
  ASSERT_TRUE(waitFor([&] { return blocks >= before + 8; }));
  ASSERT_TRUE(rec().Stop());
  EXPECT_EQ(wrongSize, 0);
  const std::string bytes = readFile(file);
  EXPECT_EQ(readLE(bytes, 22, 2), 2u);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
  EXPECT_EQ((bytes.size() - 44) % 3200, 0u);

  // Closed, the recorder has the new format's buffers, and the next run records in it.
  EXPECT_EQ(rec().BufferSize(), 100);
  EXPECT_EQ(rec().WaveFormat()->nSamplesPerSec, 22050u);
  EXPECT_EQ(rec().WaveFormat()->wBitsPerSample, 8);
  std::vector<std::string> seen;
  ASSERT_TRUE(recordBlocks(2, &seen)) << audio->ErrorMessage;
  EXPECT_EQ(seen[0].size(), 100u);
}

TEST_F(RecorderTest, EveryFailureLeavesItsText) {
  const std::string service = std::string(" ") + mmsystem::resultText(MMSYSERR_NOMEM);
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().Triggered = true;
  struct Case {
    VirtualCall call;
    const char* text;
    bool serviceText;
  } startCases[] = {
      {VirtualCall::waveInOpen, "Could not open the input device for recording: ", true},
      {VirtualCall::waveInPrepareHeader, "Error preparing header for recording: ", true},
      {VirtualCall::waveInAddBuffer, "Error adding next input buffer", false},
      {VirtualCall::waveInStart, "Error starting wave record: ", true},
  };
  for (const Case& c : startCases) {
    SCOPED_TRACE(c.text);
    card_->failNext(c.call, MMSYSERR_NOMEM);
    EXPECT_FALSE(rec().Start());
    EXPECT_EQ(audio->ErrorMessage, std::string(c.text) + (c.serviceText ? service : ""));
    EXPECT_FALSE(rec().IsOpen);
  }

  // A further buffer of Start.
  ASSERT_TRUE(rec().Open());
  card_->failNext(VirtualCall::waveInAddBuffer, MMSYSERR_NOMEM);
  EXPECT_FALSE(rec().Start());
  EXPECT_EQ(audio->ErrorMessage, "Error adding next input buffer");
  EXPECT_FALSE(rec().IsOpen);

  struct StopCase {
    VirtualCall call;
    std::string text;
  } stopCases[] = {
      {VirtualCall::waveInReset, "Error in waveInReset"},
      {VirtualCall::waveInUnprepareHeader, "Error in waveInUnprepareHeader" + service},
      {VirtualCall::waveInClose, "Error closing input device"},
  };
  for (const StopCase& c : stopCases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(rec().Start()) << audio->ErrorMessage;
    card_->failNext(c.call, MMSYSERR_NOMEM);
    EXPECT_FALSE(rec().Stop());
    EXPECT_EQ(audio->ErrorMessage, c.text);
    EXPECT_TRUE(rec().IsOpen);
    EXPECT_TRUE(rec().Stop());  // the second attempt closes the device
    EXPECT_FALSE(rec().IsOpen);
  }

  EXPECT_TRUE(rec().Stop());
  EXPECT_EQ(audio->ErrorMessage, "Recorder already closed");

  audio->setAudioDeviceID(5);  // the card has one input
  EXPECT_FALSE(rec().Start());
  EXPECT_EQ(audio->ErrorMessage.rfind("Could not open the input device for recording: ", 0), 0u);
}

TEST_F(RecorderTest, AFailedRequeueStopsTheRecordingAndTellsTheOwner) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().Triggered = true;
  const std::string file = path("requeue.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  int stopped = 0;
  audio->OnRecordStopped = [&](TObject* sender) {
    EXPECT_EQ(sender, &rec());
    ++stopped;
  };
  ASSERT_TRUE(rec().Start());
  card_->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOMEM);
  ASSERT_TRUE(waitFor([&] { return stopped > 0; }));
  card_->failAlways(VirtualCall::waveInAddBuffer, MMSYSERR_NOERROR);
  EXPECT_EQ(stopped, 1);
  EXPECT_FALSE(rec().IsOpen);
  EXPECT_FALSE(rec().WaveFileOpen);
  EXPECT_EQ(audio->ErrorMessage, std::string("Error adding input buffer ") + mmsystem::resultText(MMSYSERR_NOMEM));
  const std::string bytes = readFile(file);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
  EXPECT_EQ((bytes.size() - 44) % 3200, 0u);
}

TEST_F(RecorderTest, ARecordingPastTheSizeLimitGoesOnInNumberedFiles) {
  // 16-bit stereo at 8000 Hz in blocks of 800 frames (3200 bytes), every frame its own.
  const std::string data = useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  // The real limit is 4 GiB less the header; 3.5 blocks stand in for it here, for every file.
  rec().setMaxDataBytes(3 * 3200 + 1600);
  // Input lost before block 3 comes back as silence and fills a file like any data.
  card_->dropoutAt(3, 1, 500);
  // A file of the third one's name is there already: it stays, the next free number is taken.
  writeFile(path("take-3.wav"), "somebody else's");
  rec().CreateWaveFile(path("take.wav"), nullptr, nullptr);
  std::vector<std::string> changes;
  audio->OnRecordFileChanged = [&](TObject* sender, const std::string& name) {
    EXPECT_EQ(sender, &rec());
    EXPECT_TRUE(QThread::currentThread() == QCoreApplication::instance()->thread());
    changes.push_back(name);
  };
  int stopped = 0;
  audio->OnRecordStopped = [&](TObject*) { ++stopped; };
  ASSERT_TRUE(recordBlocks(7)) << audio->ErrorMessage;

  // Nothing lost, nothing twice: the files hold the input with the silence in its place,
  // each a complete file whose size fields equal its data.
  const std::string expected = data.substr(0, 3 * 3200) + silence(500 * 4, 16) + data.substr(3 * 3200, 4 * 3200);
  EXPECT_EQ(changes, (std::vector<std::string>{path("take-2.wav"), path("take-4.wav")}));
  EXPECT_EQ(readFile(path("take.wav")), wavBytes(2, 8000, 16, expected.substr(0, 11200)));
  EXPECT_EQ(readFile(path("take-2.wav")), wavBytes(2, 8000, 16, expected.substr(11200, 11200)));
  EXPECT_EQ(readFile(path("take-4.wav")), wavBytes(2, 8000, 16, expected.substr(22400)));
  EXPECT_EQ(readFile(path("take-3.wav")), "somebody else's");
  EXPECT_EQ(stopped, 0);
  if (kThreadChecked || soxInfo("") == "no sox") return;
  EXPECT_EQ(soxInfo(path("take.wav")), "2 8000 16 2800");
  EXPECT_EQ(soxInfo(path("take-2.wav")), "2 8000 16 2800");
  EXPECT_EQ(soxInfo(path("take-4.wav")), "2 8000 16 500");
}

TEST_F(RecorderTest, ANextFileThatCannotBeCreatedEndsTheRunWithTheFullFileComplete) {
  const std::string data = useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  rec().setMaxDataBytes(2 * 3200);
  // The first name just fits the file system's limit of 255 bytes; "-2" makes the next too long.
  const std::string stem(251, 'n');
  rec().CreateWaveFile(path(stem + ".wav"), nullptr, nullptr);
  int stopped = 0;
  audio->OnRecordStopped = [&](TObject*) { ++stopped; };
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return stopped > 0; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(stopped, 1);
  EXPECT_FALSE(rec().IsOpen);
  EXPECT_FALSE(rec().WaveFileOpen);
  EXPECT_EQ(audio->ErrorMessage, "The recording cannot go on in the next WAV file " + path(stem + "-2.wav") + ": " +
                                     std::strerror(ENAMETOOLONG));
  EXPECT_EQ(readFile(path(stem + ".wav")), wavBytes(2, 8000, 16, data.substr(0, 2 * 3200)));
}

// The window thread may stop a recording and create the next file before it has handled
// what the recording posted: news of the ended recording never names the new file.
TEST_F(RecorderTest, NewsOfAnEndedRecordingIsNotTakenForTheNextOne) {
  const std::string data = useQuietStereo(10 * 800, 800);
  rec().Triggered = true;
  rec().setMaxDataBytes(3200);
  rec().CreateWaveFile(path("first.wav"), nullptr, nullptr);
  std::vector<std::string> changes;
  audio->OnRecordFileChanged = [&](TObject*, const std::string& name) { changes.push_back(name); };
  ASSERT_TRUE(rec().Start());
  // Without the window thread's events only the four queued buffers come back; from the
  // second on each goes on in a next file.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (card_->inputBlocks() < 4 && std::chrono::steady_clock::now() < deadline) QThread::msleep(1);
  ASSERT_EQ(card_->inputBlocks(), 4u);
  ASSERT_TRUE(rec().Stop());
  rec().CreateWaveFile(path("second.wav"), nullptr, nullptr);
  QCoreApplication::processEvents();
  EXPECT_TRUE(changes.empty());
  EXPECT_TRUE(rec().WaveFileOpen) << "the new file is still open";
  EXPECT_EQ(readFile(path("first-4.wav")), wavBytes(2, 8000, 16, data.substr(3 * 3200, 3200)));
  EXPECT_TRUE(rec().Stop());
}

TEST_F(RecorderTest, AFullFileSystemStopsTheRecordingWithACompleteFile) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().Triggered = true;
  const std::string file = path("full.wav");
  rec().CreateWaveFile(file, nullptr, nullptr);
  // A file-size limit stands in for a full disk: the fifth block fits only in part.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &previous);
  rlimit small = saved;
  small.rlim_cur = 44 + 4 * 3200 + 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int stopped = 0;
  audio->OnRecordStopped = [&](TObject*) { ++stopped; };
  const bool started = rec().Start();
  const bool done = started && waitFor([&] { return stopped > 0; });
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);
  ASSERT_TRUE(done) << audio->ErrorMessage;
  EXPECT_FALSE(rec().IsOpen);
  EXPECT_FALSE(rec().WaveFileOpen);
  EXPECT_EQ(audio->ErrorMessage.rfind("Error writing the WAV file " + file + ": ", 0), 0u) << audio->ErrorMessage;
  const std::string bytes = readFile(file);
  EXPECT_EQ(bytes.size(), 44u + 4 * 3200);
  EXPECT_EQ(readLE(bytes, 4, 4), 36u + 4 * 3200);
  EXPECT_EQ(readLE(bytes, 40, 4), 4u * 3200);
}

TEST_F(RecorderTest, DestructionAndTheShutdownQueryCompleteAnOpenFile) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 800);
  rec().Triggered = true;
  const std::string first = path("shutdown.wav");
  rec().CreateWaveFile(first, nullptr, nullptr);
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return card_->added.load() >= 8; }));
  audio->ShutdownQuery();
  EXPECT_FALSE(rec().IsOpen);
  std::string bytes = readFile(first);
  EXPECT_GT(bytes.size(), 44u);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);

  const std::string second = path("destroyed.wav");
  rec().CreateWaveFile(second, nullptr, nullptr);
  const int queued = card_->added;
  ASSERT_TRUE(rec().Start());
  ASSERT_TRUE(waitFor([&] { return card_->added.load() >= queued + 8; }));
  audio.reset();
  bytes = readFile(second);
  EXPECT_GT(bytes.size(), 44u);
  EXPECT_EQ(readLE(bytes, 4, 4), bytes.size() - 8);
  EXPECT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
}

TEST_F(RecorderTest, StartAndStopAHundredTimesWithBlocksInFlight) {
  setFormat(TBPS::_16, TChannels::Stereo, 8000, 80);
  std::atomic<int> blocks{0};
  audio->OnRecord = [&](TObject*, void*, void*, uint32_t) { ++blocks; };
  const std::string file = path("cycles.wav");
  for (int i = 0; i < 100; ++i) {
    rec().Triggered = true;
    if (i % 2 == 0) rec().CreateWaveFile(file, nullptr, nullptr);
    const int before = blocks;
    ASSERT_TRUE(rec().Start()) << audio->ErrorMessage;
    ASSERT_TRUE(waitFor([&] { return blocks > before + (i % 3); }));
    ASSERT_TRUE(rec().Stop()) << audio->ErrorMessage;
    ASSERT_FALSE(rec().WaveFileOpen);
    if (i % 2 == 0) {
      const std::string bytes = readFile(file);
      ASSERT_EQ(readLE(bytes, 40, 4), bytes.size() - 44);
      ASSERT_EQ((bytes.size() - 44) % 320, 0u);
    }
  }
}

TEST_F(RecorderTest, KilledRecordingLeavesAReadableFile) {
  if (kThreadChecked) GTEST_SKIP() << "starts a child process, which the thread checker cannot follow";
  const std::string file = path("killed.wav");
  // The child records 16-bit stereo in real time until it is killed.
  QProcess child;
  child.start(QCoreApplication::applicationDirPath() + "/helpers/record_until_killed", {QString::fromStdString(file)});
  ASSERT_TRUE(child.waitForStarted(30000)) << "build the record_until_killed target";
  // Three seconds of audio in the file, however long the busy machine takes for it.
  const qint64 threeSeconds = 44 + 3 * 176400;
  const bool recorded = waitFor([&] { return QFileInfo(QString::fromStdString(file)).size() >= threeSeconds; }, 60000);
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  child.waitForFinished(30000);
  ASSERT_TRUE(recorded) << child.readAllStandardError().toStdString();

  const std::string bytes = readFile(file);
  const uint32_t dataSize = readLE(bytes, 40, 4);
  EXPECT_EQ(readLE(bytes, 4, 4), dataSize + 36);
  EXPECT_GE(dataSize, 2u * 176400);
  EXPECT_LE(dataSize, bytes.size() - 44);
  const std::string info = soxInfo(file);
  if (info != "no sox") {
    ASSERT_FALSE(info.empty());
    EXPECT_GE(std::stoul(info.substr(info.rfind(' ') + 1)), 2u * 44100);
  }
}

}  // namespace
