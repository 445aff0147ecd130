// The ALSA driver's wave devices against a real PulseAudio server, reached through
// ALSA's "default" device and the pulse plugin.

#include <QProcess>
#include <algorithm>
#include <atomic>
#include <ctime>

#include <unistd.h>

#include "mmsystem/alsa/alsa_pulse.h"

namespace alsatest {
namespace {

class AlsaWave : public PulseTest {};

double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Speech made with espeak-ng, and the same speech as mono 16-bit samples at `rate`.
struct Speech {
  QTemporaryDir dir;
  QString wav;
  std::vector<double> reference(DWORD rate) {
    std::vector<double> samples = decodeMono(wav, rate, dir.filePath(QString("ref%1.raw").arg(rate)));
    EXPECT_FALSE(samples.empty()) << "sox could not decode the speech";
    return samples;
  }
};

std::unique_ptr<Speech> makeSpeech() {
  auto s = std::make_unique<Speech>();
  s->wav = s->dir.filePath("speech.wav");
  const Run r = run("espeak-ng", {"-w", s->wav, "Every block that the sound card delivers reaches the file in order."});
  if (r.exitCode != 0) return nullptr;
  return s;
}

void recordSpeech(const WAVEFORMATEX& format) {
  auto speech = makeSpeech();
  ASSERT_NE(speech, nullptr) << "espeak-ng could not make the speech file";
  Capture capture(format);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(3, 10s));  // recording runs before the speech begins
  ASSERT_EQ(run("paplay", {"-d", kSink, speech->wav}, 60000).exitCode, 0);
  const size_t after = capture.fullBlocks() + 5;
  ASSERT_TRUE(capture.waitBlocks(after, 20s));
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  capture.close();
  EXPECT_EQ(capture.closeResult(), MMSYSERR_NOERROR);

  const std::vector<double> recorded = monoSamples(capture.data(), format);
  const std::vector<double> reference = speech->reference(format.nSamplesPerSec);
  ASSERT_GT(recorded.size(), reference.size());
  EXPECT_GE(bestCorrelation(reference, recorded), 0.9);
}

TEST_F(AlsaWave, RecordsSpeechPlayedIntoTheSink) {
  {
    SCOPED_TRACE("16-bit stereo 44100 Hz");
    recordSpeech(pcmFormat(2, 44100, 16));
  }
  {
    SCOPED_TRACE("8-bit mono 22050 Hz");
    recordSpeech(pcmFormat(1, 22050, 8));
  }
}

// A source that delivers nothing (the monitor of a suspended sink of its own, so that
// no other test's sink is touched) is waited for, not polled: the process stays nearly
// idle while the started recording waits for data.
TEST_F(AlsaWave, WaitingForDataKeepsNoCoreBusy) {
  const QString sink = QString("tessaron_idle_%1").arg(getpid());
  const auto loaded = run("pactl", {"load-module", "module-null-sink", "sink_name=" + sink});
  ASSERT_EQ(loaded.exitCode, 0);
  ASSERT_EQ(run("pactl", {"suspend-sink", sink, "1"}).exitCode, 0);
  // The ALSA "default" device records from the source the sound server's client library
  // is told to take.
  qputenv("PULSE_SOURCE", (sink + ".monitor").toUtf8());
  Capture capture(pcmFormat(2, 44100, 16));
  const MMRESULT opened = capture.open();
  qunsetenv("PULSE_SOURCE");
  ASSERT_EQ(opened, MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  const double before = processCpuSeconds();
  std::this_thread::sleep_for(2s);  // the time measured, not a wait for a condition
  const double busy = processCpuSeconds() - before;
  // A thread polling in a loop would take most of a core for the two seconds.
  EXPECT_LT(busy, 0.5) << "CPU seconds while waiting for data";
  EXPECT_EQ(capture.fullBlocks(), 0u) << "the suspended sink's monitor delivered";
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  capture.close();
  run("pactl", {"unload-module", loaded.out.trimmed()});
}

// Ten seconds of recording hold ten seconds of audio within one block, with the other
// core kept busy and the headers re-queued from another thread; no over-run occurs.
// The time counts from the first block: a null sink idle before takes up to two
// seconds to deliver its first data.
TEST_F(AlsaWave, LongRecordingLosesNoBlockWhileTheMachineIsBusy) {
  const WAVEFORMATEX format = pcmFormat(2, 44100, 16);
  std::atomic<bool> busy{true};
  std::thread load([&] {
    volatile uint64_t x = 0;
    while (busy.load(std::memory_order_relaxed)) x = x * 6364136223846793005ULL + 1;
  });
  Capture capture(format);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(1, 10s));
  std::this_thread::sleep_for(10s);  // the length of the recording, not a wait for a condition
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  busy = false;
  load.join();
  const DWORD overruns = alsa_->waveInOverruns(capture.handle());
  capture.close();

  const double recorded = static_cast<double>(capture.data().size()) / format.nAvgBytesPerSec;
  const double delivered = capture.secondsDelivered();
  EXPECT_NEAR(recorded, delivered, 0.1) << "blocks lost or invented";
  EXPECT_GE(delivered, 10.0);
  EXPECT_EQ(overruns, 0u);
  EXPECT_GE(capture.fullBlocks(), static_cast<size_t>(delivered * 10) - 1);
}

// The whole process stopped for three seconds (a machine too busy to run it): what the
// recording holds and what the headers report as lost add up to the wall-clock time, so
// a file written from them keeps its timeline. (The sound server holds the stopped
// client's input, so nothing is lost here; a card's buffer would over-run instead.)
TEST_F(AlsaWave, AStalledProcessKeepsTheRecordingOnTheWallClock) {
  if (kThreadChecked) GTEST_SKIP() << "starts other programs (see support/programs.h)";
  QProcess reader;
  ASSERT_TRUE(readMonitor(reader));
  const WAVEFORMATEX format = pcmFormat(2, 44100, 16);
  Capture capture(format);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(5, 10s));
  ASSERT_TRUE(stopThisProcessFor(3));
  // The stall's three seconds, then one more.
  const size_t after = capture.fullBlocks() + 40;
  ASSERT_TRUE(capture.waitBlocks(after, 20s));
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  const DWORD overruns = alsa_->waveInOverruns(capture.handle());
  capture.close();
  reader.kill();
  reader.waitForFinished(5000);

  const double recorded = static_cast<double>(capture.data().size()) / format.nAvgBytesPerSec;
  const double lost = static_cast<double>(capture.framesLost()) / format.nSamplesPerSec;
  EXPECT_GE(capture.secondsDelivered(), 3.0 + 1.0);
  EXPECT_NEAR(recorded + lost, capture.secondsDelivered(), 0.2)
      << recorded << " s recorded, " << lost << " s lost, " << overruns << " overruns";
  EXPECT_EQ(capture.overruns(), overruns) << "every overrun is reported with the data";
  if (lost > 0) {
    EXPECT_GT(overruns, 0u);
  }
}

// A format the device cannot take fails with ALSA's words for it, naming the device; a
// call the service refuses afterwards carries the service's own text, not that one.
TEST_F(AlsaWave, FailuresCarryTheSoundSystemsText) {
  char text[512];
  HWAVEIN h = nullptr;
  const WAVEFORMATEX tooFast = pcmFormat(1, 1000000, 16);
  ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &tooFast, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  ASSERT_EQ(waveInGetErrorTextA(WAVERR_BADFORMAT, text, 255), MMSYSERR_NOERROR);
  EXPECT_NE(std::string(text).find("default: "), std::string::npos) << text;

  const WAVEFORMATEX threeChannels = pcmFormat(3, 44100, 16);
  EXPECT_EQ(waveInOpen(&h, WAVE_MAPPER, &threeChannels, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  ASSERT_EQ(waveInGetErrorTextA(WAVERR_BADFORMAT, text, 255), MMSYSERR_NOERROR);
  EXPECT_STREQ(text, mmsystem::resultText(WAVERR_BADFORMAT));
}

// Ten blocks of a tone played through the output device reach the sink: recorded back
// from its monitor, the tone lasts about a second. Each done notification comes only
// once its block has played, so that closing after the last one cuts nothing off.
// A silent block leads in: when a stream starts, the null sink renders again what it had
// rendered ahead, which its monitor cannot take back, so the monitor misses up to the
// sink's latency of the beginning.
TEST_F(AlsaWave, PlaybackReachesTheSink) {
  const WAVEFORMATEX format = pcmFormat(2, 44100, 16);
  constexpr int kBlocks = 11;
  std::vector<std::vector<int16_t>> blocks(kBlocks, std::vector<int16_t>(4410 * 2));
  for (int b = 1; b < kBlocks; ++b)
    for (int i = 0; i < 4410; ++i) {
      const auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * 440 * (b * 4410 + i) / 44100.0));
      blocks[b][2 * i] = blocks[b][2 * i + 1] = v;
    }
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<UINT> messages;
    std::chrono::steady_clock::time_point lastDone;
  } state;
  auto proc = [](HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* s = reinterpret_cast<State*>(instance);
    std::lock_guard lock(s->mutex);
    s->messages.push_back(msg);
    if (msg == WOM_DONE) s->lastDone = std::chrono::steady_clock::now();
    s->cv.notify_all();
  };

  Capture capture(format);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(3, 10s));

  HWAVEOUT h = nullptr;
  ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(+proc),
                        reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION | WAVE_ALLOWSYNC),
            MMSYSERR_NOERROR);
  std::vector<WAVEHDR> headers(kBlocks);
  const auto firstWrite = std::chrono::steady_clock::now();
  for (int b = 0; b < kBlocks; ++b) {
    headers[b].lpData = reinterpret_cast<char*>(blocks[b].data());
    headers[b].dwBufferLength = 4410 * 4;
    ASSERT_EQ(waveOutPrepareHeader(h, &headers[b], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &headers[b], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  {
    std::unique_lock lock(state.mutex);
    ASSERT_TRUE(state.cv.wait_for(
        lock, 20s, [&] { return std::count(state.messages.begin(), state.messages.end(), WOM_DONE) == kBlocks; }));
    // A second of sound cannot have played in much less than a second.
    EXPECT_GE(std::chrono::duration<double>(state.lastDone - firstWrite).count(), 0.8);
  }
  for (WAVEHDR& hdr : headers) {
    EXPECT_TRUE(hdr.dwFlags & WHDR_DONE);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
  EXPECT_EQ(state.messages.front(), WOM_OPEN);
  EXPECT_EQ(state.messages.back(), WOM_CLOSE);
  const size_t after = capture.fullBlocks() + 5;
  ASSERT_TRUE(capture.waitBlocks(after, 20s));
  capture.close();

  // How long the tone sounds in the recording.
  const std::vector<double> recorded = monoSamples(capture.data(), format);
  EXPECT_NEAR(loudSeconds(recorded, 44100, 4000), 1.0, 0.05);
}

// A reset of a long output queue stops at once and hands every header back.
TEST_F(AlsaWave, OutputResetReturnsEveryHeader) {
  const WAVEFORMATEX format = pcmFormat(1, 22050, 8);
  std::atomic<int> done{0};
  auto proc = [](HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    if (msg == WOM_DONE) reinterpret_cast<std::atomic<int>*>(instance)->fetch_add(1);
  };
  HWAVEOUT h = nullptr;
  ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(+proc),
                        reinterpret_cast<DWORD_PTR>(&done), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  std::vector<char> data(22050, static_cast<char>(128));
  std::vector<WAVEHDR> headers(20);
  for (WAVEHDR& hdr : headers) {
    hdr.lpData = data.data();
    hdr.dwBufferLength = 2205;
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  EXPECT_EQ(waveOutClose(h), WAVERR_STILLPLAYING);
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1500ms) << "the reset waited for the queue to play";
  EXPECT_EQ(done.load(), 20);
  for (const WAVEHDR& hdr : headers) EXPECT_EQ(hdr.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace alsatest
