// Wave input of the virtual card, called through the multimedia service: delivery of
// queued headers on the service thread, reset and close, the formats and input files it
// refuses, fault injection, pacing and the two signals. What every driver checks alike
// is in contract_test.cpp.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mmsystem/virtual/virtual_driver.h"
#include "support/wave_files.h"

namespace {

using namespace std::chrono_literals;
using testsupport::pcmFormat;
using testsupport::putLE;
using testsupport::writeFile;

struct Event {
  UINT msg;
  DWORD_PTR instance;
  WAVEHDR* header;
  DWORD bytes;
  DWORD flags;
  MMRESULT error = MMSYSERR_NOERROR;  // WIM_ERROR: the result code and the text
  std::string text;
};

// Collects the callbacks of one device; waits for a number of data notifications.
struct Sink {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Event> events;

  static void CALLBACK(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2) {
    auto* sink = reinterpret_cast<Sink*>(instance);
    std::lock_guard lock(sink->mutex);
    if (msg == WIM_ERROR) {
      sink->events.push_back(
          {msg, instance, nullptr, 0, 0, static_cast<MMRESULT>(p1), reinterpret_cast<const char*>(p2)});
    } else {
      auto* header = reinterpret_cast<WAVEHDR*>(p1);
      sink->events.push_back(
          {msg, instance, header, header ? header->dwBytesRecorded : 0, header ? header->dwFlags : 0, 0, {}});
    }
    sink->changed.notify_all();
  }
  size_t count(UINT msg) {
    size_t n = 0;
    for (const Event& e : events) n += e.msg == msg;
    return n;
  }
  size_t dataCount() { return count(WIM_DATA); }
  bool waitFor(UINT msg, size_t n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, 30s, [&] { return count(msg) >= n; });
  }
  bool waitForData(size_t n) { return waitFor(WIM_DATA, n); }
};

VirtualCard cardWith(VirtualPacing pacing, const std::string& inputFile = {}) {
  VirtualCard card;
  VirtualWaveDevice input;
  input.name = "In";
  card.inputs.push_back(input);
  card.pacing = pacing;
  card.inputFile = inputFile;
  return card;
}

// Headers with their buffers, prepared on open.
struct Blocks {
  Blocks(size_t count, size_t bytes) : data(count, std::vector<char>(bytes)), headers(count) {
    for (size_t i = 0; i < count; ++i) {
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = static_cast<DWORD>(bytes);
    }
  }
  std::vector<std::vector<char>> data;
  std::vector<WAVEHDR> headers;
};

class VirtualWaveInTest : public ::testing::Test {
 protected:
  // Installs a virtual card described by `card` as the service's driver; the one
  // installed before goes (with its devices, as a card that goes away).
  VirtualDriver& install(VirtualCard card) {
    auto owned = std::make_unique<VirtualDriver>(std::move(card));
    VirtualDriver& driver = *owned;
    mmsystem::installDriver(std::move(owned));
    return driver;
  }
  // Opens the device with its callbacks going to `target` (the fixture's sink if none).
  void open(const WAVEFORMATEX& format, Sink* target = nullptr) {
    ASSERT_EQ(waveInOpen(&handle, 0, &format, reinterpret_cast<DWORD_PTR>(&Sink::CALLBACK),
                         reinterpret_cast<DWORD_PTR>(target != nullptr ? target : &sink), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
  }
  void queue(Blocks& blocks) {
    for (WAVEHDR& h : blocks.headers) {
      ASSERT_EQ(waveInPrepareHeader(handle, &h, sizeof(h)), MMSYSERR_NOERROR);
      ASSERT_EQ(waveInAddBuffer(handle, &h, sizeof(h)), MMSYSERR_NOERROR);
    }
  }
  // Opens the device with the fixture's sink, queues `blocks` and starts it.
  void start(const WAVEFORMATEX& format, Blocks& blocks) {
    open(format);
    queue(blocks);
    ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  }
  void close(Blocks& blocks) {
    ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
    for (WAVEHDR& h : blocks.headers) ASSERT_EQ(waveInUnprepareHeader(handle, &h, sizeof(h)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
  }
  // The data of the first `count` data notifications, in order.
  std::string delivered(size_t count) {
    std::string out;
    std::lock_guard lock(sink.mutex);
    for (const Event& e : sink.events) {
      if (e.msg != WIM_DATA || count == 0) continue;
      out.append(e.header->lpData, e.bytes);
      --count;
    }
    return out;
  }

  Sink sink;
  HWAVEIN handle = nullptr;
};

TEST_F(VirtualWaveInTest, QueuedHeadersComeBackFilledInOrderWithTheCallersInstance) {
  VirtualDriver& driver = install(cardWith(VirtualPacing::AsFastAsQueued));
  open(pcmFormat(2, 8000, 16));
  Blocks blocks(3, 400);
  queue(blocks);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(sink.dataCount(), 0u) << "nothing is delivered before the start";
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(sink.waitForData(3));
  close(blocks);

  ASSERT_EQ(sink.events.size(), 5u);
  EXPECT_EQ(sink.events.front().msg, WIM_OPEN);
  EXPECT_EQ(sink.events.back().msg, WIM_CLOSE);
  for (size_t i = 0; i < 3; ++i) {
    const Event& e = sink.events[i + 1];
    EXPECT_EQ(e.msg, WIM_DATA);
    EXPECT_EQ(e.instance, reinterpret_cast<DWORD_PTR>(&sink));
    EXPECT_EQ(e.header, &blocks.headers[i]);
    EXPECT_EQ(e.bytes, 400u);
    EXPECT_TRUE(e.flags & WHDR_DONE);
    EXPECT_FALSE(e.flags & WHDR_INQUEUE);
  }
  // The peak meters read the level of the last block.
  EXPECT_GT(driver.inputLevel()[0], 0);
}

// In real time a reset hands back the block being filled with what it holds so far.
TEST_F(VirtualWaveInTest, AResetKeepsWhatTheBlockBeingFilledHolds) {
  install(cardWith(VirtualPacing::RealTime));
  Blocks blocks(3, 16000);  // one second each
  start(pcmFormat(1, 8000, 16), blocks);
  std::this_thread::sleep_for(100ms);
  ASSERT_EQ(waveInReset(handle), MMSYSERR_NOERROR);
  {
    std::lock_guard lock(sink.mutex);
    ASSERT_EQ(sink.dataCount(), 3u);
    // The block being filled keeps what was sampled so far, in whole frames.
    EXPECT_LT(sink.events[1].bytes, 16000u);
    EXPECT_EQ(sink.events[1].bytes % 2, 0u);
    EXPECT_EQ(sink.events[2].bytes, 0u);
    EXPECT_EQ(sink.events[3].bytes, 0u);
  }
  ASSERT_EQ(waveInClose(handle), MMSYSERR_NOERROR);
}

// A device that fails while recording (unplugged) hands back every queued header, the
// one being filled with what it holds, then reports the failure once. It delivers
// nothing more, refuses to start, and still takes headers, reset and close.
TEST_F(VirtualWaveInTest, AFailingInputHandsBackItsHeadersThenReportsOnce) {
  VirtualDriver& driver = install(cardWith(VirtualPacing::RealTime));
  Blocks blocks(3, 16000);  // one second each
  start(pcmFormat(1, 8000, 16), blocks);
  std::this_thread::sleep_for(200ms);
  driver.failOpenDevices(MMSYSERR_NODRIVER, "unplugged");
  driver.failOpenDevices(MMSYSERR_ERROR, "once more");
  ASSERT_TRUE(sink.waitFor(WIM_ERROR, 1));
  {
    std::lock_guard lock(sink.mutex);
    ASSERT_EQ(sink.events.size(), 5u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(sink.events[i + 1].msg, WIM_DATA);
      EXPECT_EQ(sink.events[i + 1].header, &blocks.headers[i]);
      EXPECT_TRUE(sink.events[i + 1].flags & WHDR_DONE);
    }
    EXPECT_GT(sink.events[1].bytes, 0u) << "the block being filled keeps what it holds";
    EXPECT_LT(sink.events[1].bytes, 16000u);
    EXPECT_EQ(sink.events[1].bytes % 2, 0u);
    EXPECT_EQ(sink.events[2].bytes, 0u);
    EXPECT_EQ(sink.events[3].bytes, 0u);
    EXPECT_EQ(sink.events[4].msg, WIM_ERROR);
    EXPECT_EQ(sink.events[4].error, MMSYSERR_NODRIVER);
    EXPECT_EQ(sink.events[4].text, "Sound device \"In\" failed: unplugged");
  }

  EXPECT_EQ(waveInStart(handle), MMSYSERR_NODRIVER);
  Blocks later(1, 1600);
  queue(later);
  std::this_thread::sleep_for(300ms);  // twice the block's length: a working device would deliver it
  EXPECT_EQ(sink.dataCount(), 3u);
  for (WAVEHDR& h : blocks.headers) EXPECT_EQ(waveInUnprepareHeader(handle, &h, sizeof(h)), MMSYSERR_NOERROR);
  close(later);
  std::lock_guard lock(sink.mutex);
  ASSERT_EQ(sink.events.size(), 7u);
  EXPECT_EQ(sink.events[5].header, &later.headers[0]) << "the reset hands back what was queued after the failure";
  EXPECT_EQ(sink.events[5].bytes, 0u);
  EXPECT_EQ(sink.events[6].msg, WIM_CLOSE);
  EXPECT_EQ(sink.count(WIM_ERROR), 1u);
}

// The card going away is the last failure of the inputs still open: every queued
// header comes back, the failure is reported, and the close notification is the last.
TEST_F(VirtualWaveInTest, AnInputLeftOpenFailsAndClosesWhenTheCardGoesAway) {
  Blocks blocks(3, 400);
  install(cardWith(VirtualPacing::RealTime));
  start(pcmFormat(2, 8000, 16), blocks);
  install(VirtualCard{});
  std::lock_guard lock(sink.mutex);
  ASSERT_EQ(sink.events.size(), 6u);
  EXPECT_EQ(sink.dataCount(), blocks.headers.size());
  for (const WAVEHDR& h : blocks.headers) EXPECT_TRUE(h.dwFlags & WHDR_DONE);
  EXPECT_EQ(sink.events[4].msg, WIM_ERROR);
  EXPECT_EQ(sink.events[4].error, MMSYSERR_NODRIVER);
  EXPECT_NE(sink.events[4].text.find("\"In\""), std::string::npos) << sink.events[4].text;
  EXPECT_EQ(sink.events[5].msg, WIM_CLOSE);
}

// An input file whose sample k (16-bit mono, 8000 Hz) is k: a header's first sample says
// where in the signal it begins.
class VirtualDropoutTest : public VirtualWaveInTest {
 protected:
  static constexpr int kRampFrames = 30000;
  VirtualCard rampCard(VirtualPacing pacing) {
    std::vector<int16_t> ramp(kRampFrames);
    for (int k = 0; k < kRampFrames; ++k) ramp[k] = static_cast<int16_t>(k);
    const std::string path = dir.filePath("ramp.wav").toStdString();
    writeFile(path, testsupport::wavBytes(1, 8000, 16, testsupport::samples16(ramp)));
    return cardWith(pacing, path);
  }
  static int firstSample(const WAVEHDR& h) {
    return static_cast<uint16_t>(static_cast<unsigned char>(h.lpData[0]) | static_cast<unsigned char>(h.lpData[1])
                                                                               << 8);
  }
  static DWORD frames(const WAVEHDR& h) { return h.dwBytesRecorded / 2; }
  // Every handed-back header starts where the previous one ended plus what was lost.
  static void expectOnTheClock(const std::vector<WAVEHDR*>& headers) {
    for (size_t i = 1; i < headers.size(); ++i) {
      if (frames(*headers[i]) == 0) continue;
      EXPECT_EQ(firstSample(*headers[i]),
                (firstSample(*headers[i - 1]) + frames(*headers[i - 1]) + headers[i]->dwFramesLost) % kRampFrames)
          << "header " << i;
    }
  }
  std::vector<WAVEHDR*> handedBack() {
    std::lock_guard lock(sink.mutex);
    std::vector<WAVEHDR*> out;
    for (const Event& e : sink.events)
      if (e.msg == WIM_DATA) out.push_back(e.header);
    return out;
  }
  QTemporaryDir dir;
};

// Lost input is reported exactly with the next header handed back, once, and the signal
// skips it; so does a header queued so late that the card's buffer ran over.
TEST_F(VirtualDropoutTest, LostFramesComeWithTheNextHeaderAndTheSignalSkipsThem) {
  VirtualDriver& driver = install(rampCard(VirtualPacing::AsFastAsQueued));
  open(pcmFormat(1, 8000, 16));
  Blocks blocks(3, 1600);
  WAVEHDR* h = blocks.headers.data();
  ASSERT_EQ(waveInPrepareHeader(handle, &h[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInAddBuffer(handle, &h[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(sink.waitForData(1));
  driver.loseInputFrames(1234);
  driver.loseInputFrames(100);
  for (int i = 1; i < 3; ++i) {
    ASSERT_EQ(waveInPrepareHeader(handle, &h[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(handle, &h[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_TRUE(sink.waitForData(3));
  EXPECT_EQ(h[0].dwOverruns, 0u);
  EXPECT_EQ(h[0].dwFramesLost, 0u);
  EXPECT_EQ(h[1].dwOverruns, 2u);
  EXPECT_EQ(h[1].dwFramesLost, 1334u);
  EXPECT_EQ(firstSample(h[1]), 800 + 1334);
  EXPECT_EQ(h[2].dwOverruns, 0u) << "reported once";
  EXPECT_EQ(h[2].dwFramesLost, 0u);
  expectOnTheClock(handedBack());
  close(blocks);

  // Real time: a header queued more than two seconds after the previous block ended.
  Sink late;
  install(rampCard(VirtualPacing::RealTime));
  open(pcmFormat(1, 8000, 16), &late);
  Blocks two(2, 1600);  // a tenth of a second each
  WAVEHDR* t = two.headers.data();
  for (WAVEHDR& hdr : two.headers) ASSERT_EQ(waveInPrepareHeader(handle, &hdr, sizeof(WAVEHDR)), 0u);
  ASSERT_EQ(waveInAddBuffer(handle, &t[0], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  const auto beforeStart = std::chrono::steady_clock::now();
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  const auto afterStart = std::chrono::steady_clock::now();
  ASSERT_TRUE(late.waitForData(1));
  std::this_thread::sleep_for(2500ms);
  const auto beforeQueue = std::chrono::steady_clock::now();
  ASSERT_EQ(waveInAddBuffer(handle, &t[1], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  const auto afterQueue = std::chrono::steady_clock::now();
  ASSERT_TRUE(late.waitForData(2));
  auto frames = [](auto d) { return std::chrono::duration<double>(d).count() * 8000; };
  EXPECT_EQ(t[1].dwOverruns, 1u);
  EXPECT_GE(t[1].dwFramesLost, frames(beforeQueue - afterStart) - 800 - 1);
  EXPECT_LE(t[1].dwFramesLost, frames(afterQueue - beforeStart) - 800 + 1);
  EXPECT_EQ(firstSample(t[1]), (800 + t[1].dwFramesLost) % kRampFrames);
  close(two);
}

// A stalled service thread in real time: the block being filled comes back with what it
// held, the next one reports the stall's frames as one overrun, and the signal after it
// is where the wall clock puts it.
TEST_F(VirtualDropoutTest, AStalledInputLosesTheStallBetweenTwoBlocks) {
  VirtualDriver& driver = install(rampCard(VirtualPacing::RealTime));
  open(pcmFormat(1, 8000, 16));
  Blocks blocks(12, 1600);  // a tenth of a second each
  queue(blocks);
  const auto beforeStart = std::chrono::steady_clock::now();
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  const auto afterStart = std::chrono::steady_clock::now();
  ASSERT_TRUE(sink.waitForData(2));
  std::this_thread::sleep_for(30ms);  // into the third block
  const auto beforePause = std::chrono::steady_clock::now();
  driver.pauseInputs(true);
  const auto afterPause = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(700ms);
  const size_t duringPause = sink.dataCount();
  const auto beforeResume = std::chrono::steady_clock::now();
  driver.pauseInputs(false);
  const auto afterResume = std::chrono::steady_clock::now();
  ASSERT_TRUE(sink.waitForData(12));
  EXPECT_LE(duringPause, 3u) << "a stalled input delivers nothing";

  const std::vector<WAVEHDR*> headers = handedBack();
  size_t gap = 0;
  DWORD overruns = 0;
  for (size_t i = 0; i < headers.size(); ++i) {
    overruns += headers[i]->dwOverruns;
    if (headers[i]->dwFramesLost > 0) gap = i;
  }
  EXPECT_EQ(overruns, 1u);
  ASSERT_GE(gap, 2u);
  auto toFrames = [](auto d) { return std::chrono::duration<double>(d).count() * 8000; };
  const DWORD lost = headers[gap]->dwFramesLost;
  EXPECT_GE(lost, toFrames(beforeResume - afterPause) - 1);
  EXPECT_LE(lost, toFrames(afterResume - beforePause) + 1);
  // Up to the resume, what came back and what was lost fill the time since the start:
  // the block being filled when the stall began came back with what it held.
  DWORD before = 0;
  for (size_t i = 0; i < gap; ++i) before += frames(*headers[i]);
  EXPECT_GE(before + lost, toFrames(beforeResume - afterStart) - 1);
  EXPECT_LE(before + lost, toFrames(afterResume - beforeStart) + 1);
  for (size_t i = gap; i < headers.size(); ++i) EXPECT_EQ(frames(*headers[i]), 800u);
  expectOnTheClock(headers);
  close(blocks);
}

// Formats and input files are the card's own business: a device may refuse a format
// the service carries, and an input file that is no WAV file cannot be the input.
TEST_F(VirtualWaveInTest, FormatsAndFilesTheCardRefuses) {
  VirtualCard card = cardWith(VirtualPacing::AsFastAsQueued);
  card.inputs[0].refuses = [](const WAVEFORMATEX& f) { return f.nSamplesPerSec > 44100; };
  install(card);
  HWAVEIN h = nullptr;
  const WAVEFORMATEX wide = pcmFormat(2, 48000, 16);
  EXPECT_EQ(waveInOpen(&h, 0, &wide, 0, 0, 0), WAVERR_BADFORMAT);
  const WAVEFORMATEX good = pcmFormat(2, 44100, 16);
  ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &good, 0, 0, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);

  QTemporaryDir dir;
  const std::string path = dir.filePath("junk.wav").toStdString();
  std::ofstream(path) << "not a wave file";
  install(cardWith(VirtualPacing::AsFastAsQueued, path));
  EXPECT_EQ(waveInOpen(&h, 0, &good, 0, 0, 0), WAVERR_BADFORMAT);
  char text[512];
  ASSERT_EQ(waveInGetErrorTextA(WAVERR_BADFORMAT, text, 255), MMSYSERR_NOERROR);
  EXPECT_NE(std::string(text).find("junk.wav"), std::string::npos) << text;
}

TEST_F(VirtualWaveInTest, EveryWaveInCallCanBeMadeToFail) {
  VirtualDriver& driver = install(cardWith(VirtualPacing::AsFastAsQueued));
  const WAVEFORMATEX format = pcmFormat(1, 8000, 16);
  Blocks blocks(1, 100);
  WAVEHDR& h = blocks.headers[0];
  WAVEINCAPSA caps{};
  driver.failNext(VirtualCall::waveInGetDevCaps, MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInGetDevCaps(0, &caps, sizeof(caps)), MMSYSERR_NODRIVER);
  driver.failNext(VirtualCall::waveInOpen, MMSYSERR_ALLOCATED);
  EXPECT_EQ(waveInOpen(&handle, 0, &format, 0, 0, 0), MMSYSERR_ALLOCATED);
  ASSERT_EQ(waveInOpen(&handle, 0, &format, 0, 0, 0), MMSYSERR_NOERROR);
  const std::pair<VirtualCall, std::function<MMRESULT()>> calls[] = {
      {VirtualCall::waveInPrepareHeader, [&] { return waveInPrepareHeader(handle, &h, sizeof(h)); }},
      {VirtualCall::waveInAddBuffer, [&] { return waveInAddBuffer(handle, &h, sizeof(h)); }},
      {VirtualCall::waveInStart, [&] { return waveInStart(handle); }},
      {VirtualCall::waveInReset, [&] { return waveInReset(handle); }},
      {VirtualCall::waveInUnprepareHeader, [&] { return waveInUnprepareHeader(handle, &h, sizeof(h)); }},
      {VirtualCall::waveInClose, [&] { return waveInClose(handle); }},
  };
  for (const auto& [call, run] : calls) {
    driver.failNext(call, MMSYSERR_NOMEM);
    EXPECT_EQ(run(), MMSYSERR_NOMEM) << static_cast<int>(call);
    EXPECT_EQ(run(), MMSYSERR_NOERROR) << static_cast<int>(call);  // only the next call fails
  }
}

TEST_F(VirtualWaveInTest, RealTimePacingDeliversNoFasterThanTheFormatsRate) {
  install(cardWith(VirtualPacing::RealTime));
  open(pcmFormat(2, 8000, 16));
  Blocks blocks(4, 1600);  // 50 ms each
  queue(blocks);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(sink.waitForData(4));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 195ms);
  close(blocks);
}

TEST_F(VirtualWaveInTest, TheGeneratorIsDeterministicAndClipsAtFullVolume) {
  VirtualDriver& driver = install(cardWith(VirtualPacing::AsFastAsQueued));
  // Two seconds of 16-bit mono: the loud part of the first swell lies within them.
  open(pcmFormat(1, 8000, 16));
  Blocks blocks(4, 8000);
  queue(blocks);
  ASSERT_EQ(waveInStart(handle), MMSYSERR_NOERROR);
  ASSERT_TRUE(sink.waitForData(4));
  const std::string first = delivered(4);
  close(blocks);
  int atLimit = 0;
  for (size_t i = 0; i + 1 < first.size(); i += 2) {
    const auto s = static_cast<int16_t>(static_cast<unsigned char>(first[i]) | (first[i + 1] << 8));
    atLimit += s == 32767 || s == -32768;
  }
  EXPECT_GT(atLimit, 100);
  EXPECT_EQ(driver.inputLevel()[0], driver.inputLevel()[1]);

  Sink again;
  const WAVEFORMATEX format = pcmFormat(1, 8000, 16);
  open(format, &again);
  Blocks second(1, 8000);
  queue(second);
  waveInStart(handle);
  ASSERT_TRUE(again.waitForData(1));
  close(second);
  EXPECT_EQ(std::string(second.headers[0].lpData, 8000), first.substr(0, 8000));
}

TEST_F(VirtualWaveInTest, TheInputFileIsLoopedAndConvertedToTheOpenedFormat) {
  // 16-bit stereo at 4000 Hz, 100 frames: left k * 256, right -k * 256.
  std::string data;
  for (int k = 0; k < 100; ++k) {
    putLE(data, static_cast<uint16_t>(k * 256), 2);
    putLE(data, static_cast<uint16_t>(-k * 128), 2);
  }
  std::string file = "RIFF";
  putLE(file, 36 + static_cast<uint32_t>(data.size()), 4);
  file += "WAVEfmt ";
  for (uint32_t v : {16u}) putLE(file, v, 4);
  putLE(file, 1, 2);
  putLE(file, 2, 2);
  putLE(file, 4000, 4);
  putLE(file, 16000, 4);
  putLE(file, 4, 2);
  putLE(file, 16, 2);
  file += "LIST";  // a chunk the reader passes over
  putLE(file, 3, 4);
  file += "abc";
  file.push_back('\0');
  file += "data";
  putLE(file, static_cast<uint32_t>(data.size()), 4);
  file += data;
  QTemporaryDir dir;
  const std::string path = dir.filePath("in.wav").toStdString();
  writeFile(path, file);

  // Same format: the frames as they are, looping after 100.
  install(cardWith(VirtualPacing::AsFastAsQueued, path));
  open(pcmFormat(2, 4000, 16));
  Blocks blocks(1, 150 * 4);
  queue(blocks);
  waveInStart(handle);
  ASSERT_TRUE(sink.waitForData(1));
  close(blocks);
  const std::string got(blocks.data[0].data(), 600);
  EXPECT_EQ(got.substr(0, 400), data);
  EXPECT_EQ(got.substr(400, 200), data.substr(0, 200));

  // 8-bit mono at twice the rate: every second frame is a file frame, the ones between
  // lie half way; the channels are averaged.
  Sink other;
  install(cardWith(VirtualPacing::AsFastAsQueued, path));
  const WAVEFORMATEX format = pcmFormat(1, 8000, 8);
  open(format, &other);
  Blocks mono(1, 200);
  queue(mono);
  waveInStart(handle);
  ASSERT_TRUE(other.waitForData(1));
  close(mono);
  for (int k = 0; k < 99; ++k) {
    const int average = (k * 256 - k * 128) / 2;
    ASSERT_EQ(static_cast<unsigned char>(mono.data[0][2 * k]), (average >> 8) + 128) << k;
  }
  // Frame 21 lies between file frames 10 and 11: (2688 - 1344) / 2 = 672.
  EXPECT_EQ(static_cast<unsigned char>(mono.data[0][21]), (672 >> 8) + 128);
}

}  // namespace
