// The ALSA driver's wave devices when the sound server goes away in the middle of a
// recording or playback: each device hands back its headers, reports the failure once
// with a text naming the device, stops trying, and closes the usual way.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>

#include "mmsystem/alsa/alsa_pulse.h"
#include "support/driver_scope.h"

namespace alsatest {
namespace {

using testsupport::DriverScope;

// A server of the test's own (killed by the test) and a fresh ALSA driver that reaches it.
class AlsaDeviceLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kThreadChecked) GTEST_SKIP() << "starts other programs (see support/programs.h)";
    const std::string why = server.start();
    if (!why.empty()) GTEST_SKIP() << why;
    driver_ = std::make_unique<DriverScope>(std::make_unique<AlsaDriver>());
  }

  // CPU time this process used, in seconds.
  static double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  // Nothing of the process keeps running (no thread retries the dead device in a loop).
  static void expectIdle() {
    const double before = cpuSeconds();
    std::this_thread::sleep_for(1s);
    EXPECT_LT(cpuSeconds() - before, 0.3) << "a thread keeps spinning on the failed device";
  }

  OwnPulseServer server;

 private:
  std::unique_ptr<DriverScope> driver_;
};

TEST_F(AlsaDeviceLoss, RecordingEndsWithTheFailureWhenTheServerGoesAway) {
  const WAVEFORMATEX format = pcmFormat(2, 44100, 16);
  Capture capture(format);
  ASSERT_EQ(capture.open(), MMSYSERR_NOERROR);
  ASSERT_EQ(capture.start(), MMSYSERR_NOERROR);
  ASSERT_TRUE(capture.waitBlocks(3, 10s));
  server.kill();
  ASSERT_TRUE(capture.waitError(20s)) << "the device did not report the failure";
  EXPECT_TRUE(capture.error() == MMSYSERR_ERROR || capture.error() == MMSYSERR_NODRIVER) << capture.error();
  EXPECT_NE(capture.errorText().find("\"default\""), std::string::npos) << capture.errorText();
  EXPECT_NE(capture.errorText().find(": "), std::string::npos) << "ALSA's reason: " << capture.errorText();
  expectIdle();

  // Every header came back before the failure was reported; headers queued again
  // afterwards come back only through the reset.
  std::vector<UINT> messages = capture.messages();
  const auto error = std::find(messages.begin(), messages.end(), WIM_ERROR);
  EXPECT_EQ(std::count(error, messages.end(), WIM_DATA), 0);
  // Three full blocks, then at least three of the four headers (one may have been on its
  // way back to the queue).
  EXPECT_GE(std::count(messages.begin(), error, WIM_DATA), 6);
  EXPECT_EQ(capture.stop(), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInStart(capture.handle()), capture.error()) << "a failed device does not start again";
  capture.close();
  EXPECT_EQ(capture.closeResult(), MMSYSERR_NOERROR);
  messages = capture.messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WIM_ERROR), 1);
  EXPECT_EQ(messages.back(), WIM_CLOSE);
  EXPECT_EQ(capture.data().size() % format.nBlockAlign, 0u);
}

TEST_F(AlsaDeviceLoss, PlaybackEndsWithTheFailureWhenTheServerGoesAway) {
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<UINT> messages;
    MMRESULT error = MMSYSERR_NOERROR;
    std::string text;
  } state;
  auto proc = [](HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
    auto* s = reinterpret_cast<State*>(instance);
    std::lock_guard lock(s->mutex);
    s->messages.push_back(msg);
    if (msg == WOM_ERROR) {
      s->error = static_cast<MMRESULT>(param1);
      s->text = reinterpret_cast<const char*>(param2);
    }
    s->cv.notify_all();
  };
  auto count = [&](UINT msg) {
    std::lock_guard lock(state.mutex);
    return std::count(state.messages.begin(), state.messages.end(), msg);
  };
  const WAVEFORMATEX format = pcmFormat(2, 44100, 16);
  HWAVEOUT h = nullptr;
  ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(+proc),
                        reinterpret_cast<DWORD_PTR>(&state), CALLBACK_FUNCTION),
            MMSYSERR_NOERROR);
  // Thirty seconds of silence in blocks of a tenth: far more than plays before the kill.
  std::vector<char> silence(4410 * 4, 0);
  std::vector<WAVEHDR> headers(300);
  for (WAVEHDR& hdr : headers) {
    hdr.lpData = silence.data();
    hdr.dwBufferLength = static_cast<DWORD>(silence.size());
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(h, &hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_TRUE(testsupport::waitFor([&] { return count(WOM_DONE) >= 3; }, 10000)) << "nothing played";
  server.kill();
  {
    std::unique_lock lock(state.mutex);
    ASSERT_TRUE(state.cv.wait_for(lock, 20s, [&] { return state.error != MMSYSERR_NOERROR; }))
        << "the device did not report the failure";
    EXPECT_NE(state.text.find("\"default\""), std::string::npos) << state.text;
  }
  EXPECT_EQ(count(WOM_DONE), 300) << "every block comes back before the failure is reported";
  expectIdle();
  for (WAVEHDR& hdr : headers) {
    EXPECT_EQ(hdr.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
  EXPECT_EQ(count(WOM_ERROR), 1);
  std::lock_guard lock(state.mutex);
  EXPECT_EQ(state.messages.back(), WOM_CLOSE);
}

}  // namespace
}  // namespace alsatest
