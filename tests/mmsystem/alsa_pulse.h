// Test support for the ALSA driver against a real PulseAudio server: reaching the
// server, its null sink "tessaron_test", running pactl/paplay/espeak-ng/sox, a capture
// helper that re-queues headers from an owner thread as the recorder does, a message
// target that collects posted messages, and signal comparison.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mmsystem/alsa_driver.h"
#include "mmsystem/driver.h"
#include "mmsystem/mmsystem.h"

namespace alsatest {

using namespace std::chrono_literals;
constexpr const char* kSink = "tessaron_test";
constexpr const char* kMonitor = "tessaron_test.monitor";

struct Run {
  int exitCode = -1;
  QString out;
};

inline Run run(const QString& program, const QStringList& args, int timeoutMs = 30000) {
  QProcess p;
  p.start(program, args);
  Run r;
  if (!p.waitForStarted(10000)) return r;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished(5000);
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  return r;
}

// Empty when the server is usable (its null sink loaded if it was missing), else why not.
inline std::string prepareServer() {
  if (run("pactl", {"info"}, 10000).exitCode != 0)
    return "no PulseAudio server can be reached (start one with scripts/pulse-server start and export "
           "XDG_RUNTIME_DIR)";
  if (!run("pactl", {"list", "short", "sinks"}).out.contains(kSink))
    run("pactl", {"load-module", "module-null-sink", QString("sink_name=") + kSink});
  run("pactl", {"set-default-sink", kSink});
  run("pactl", {"set-default-source", kMonitor});
  return {};
}

// Per-channel volume of the test source as pactl reports it (raw, 65536 = 100 %).
inline std::vector<long> sourceVolume() {
  const QString text = run("pactl", {"get-source-volume", kMonitor}).out;
  std::vector<long> values;
  QRegularExpression re(R"(:\s*(\d+)\s*/)");
  for (auto it = re.globalMatch(text); it.hasNext();) values.push_back(it.next().captured(1).toLong());
  return values;
}

// Collects posted messages; waits for a condition on them.
class Messages : public MessageTarget {
 public:
  struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  void post(UINT msg, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({msg, wParam, lParam});
    changed_.notify_all();
  }
  bool waitFor(const std::function<bool(const std::vector<Message>&)>& condition, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(messages_); });
  }
  std::vector<Message> all() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Message> messages_;
};

inline WAVEFORMATEX pcmFormat(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  f.cbSize = 0;
  return f;
}

// Records from a wave input device through four headers. Filled headers are handed to
// an owner thread, which keeps the data and queues the header again, as the recorder's
// hidden window does; so the service thread never waits for the consumer.
class Capture {
 public:
  explicit Capture(const WAVEFORMATEX& format, DWORD blockFrames = 0)
      : format_(format),
        blockBytes_((blockFrames != 0 ? blockFrames : format.nSamplesPerSec / 10) * format.nBlockAlign) {
    for (auto& b : buffers_) b.assign(blockBytes_, 0);
  }
  ~Capture() { close(); }

  MMRESULT open(UINT device = WAVE_MAPPER) {
    MMRESULT r = waveInOpen(&handle_, device, &format_, reinterpret_cast<DWORD_PTR>(&Capture::proc),
                            reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
    if (r != MMSYSERR_NOERROR) return r;
    for (size_t i = 0; i < headers_.size(); ++i) {
      headers_[i] = WAVEHDR{};
      headers_[i].lpData = buffers_[i].data();
      headers_[i].dwBufferLength = blockBytes_;
      if ((r = waveInPrepareHeader(handle_, &headers_[i], sizeof(WAVEHDR))) != MMSYSERR_NOERROR) return r;
      if ((r = waveInAddBuffer(handle_, &headers_[i], sizeof(WAVEHDR))) != MMSYSERR_NOERROR) return r;
    }
    owner_ = std::thread([this] { requeue(); });
    return MMSYSERR_NOERROR;
  }
  MMRESULT start() {
    started_ = std::chrono::steady_clock::now();
    return waveInStart(handle_);
  }
  // Stops, keeping the partly filled block; returns the result of waveInReset.
  MMRESULT stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    const MMRESULT r = waveInReset(handle_);
    stopped_ = std::chrono::steady_clock::now();
    return r;
  }
  void close() {
    if (handle_ == nullptr) return;
    if (!stopping_) stop();
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      changed_.notify_all();
    }
    if (owner_.joinable()) owner_.join();
    for (auto& h : headers_) waveInUnprepareHeader(handle_, &h, sizeof(WAVEHDR));
    closeResult_ = waveInClose(handle_);
    handle_ = nullptr;
  }
  bool waitBlocks(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return fullBlocks_ >= count; });
  }

  HWAVEIN handle() const { return handle_; }
  std::vector<char> data() {
    std::lock_guard lock(mutex_);
    return data_;
  }
  size_t fullBlocks() {
    std::lock_guard lock(mutex_);
    return fullBlocks_;
  }
  std::vector<UINT> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  MMRESULT closeResult() const { return closeResult_; }
  double seconds() const { return std::chrono::duration<double>(stopped_ - started_).count(); }
  // Seconds from the arrival of the first block to the stop, plus that block's length:
  // the audio a recording must hold however long the source took to begin delivering.
  double secondsDelivered() {
    std::lock_guard lock(mutex_);
    const double block = static_cast<double>(blockBytes_) / format_.nAvgBytesPerSec;
    return std::chrono::duration<double>(stopped_ - firstBlock_).count() + block;
  }
  DWORD blockBytes() const { return blockBytes_; }

 private:
  static void proc(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* self = reinterpret_cast<Capture*>(instance);
    std::lock_guard lock(self->mutex_);
    self->messages_.push_back(msg);
    if (msg == WIM_DATA) {
      auto* h = reinterpret_cast<WAVEHDR*>(param1);
      self->data_.insert(self->data_.end(), h->lpData, h->lpData + h->dwBytesRecorded);
      if (h->dwBytesRecorded == self->blockBytes_ && self->fullBlocks_++ == 0)
        self->firstBlock_ = std::chrono::steady_clock::now();
      if (!self->stopping_) self->filled_.push_back(h);
    }
    self->changed_.notify_all();
  }
  void requeue() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return quit_ || !filled_.empty(); });
      if (quit_) return;
      WAVEHDR* h = filled_.front();
      filled_.pop_front();
      if (stopping_) continue;
      lock.unlock();
      waveInAddBuffer(handle_, h, sizeof(WAVEHDR));
      lock.lock();
    }
  }

  WAVEFORMATEX format_;
  DWORD blockBytes_;
  HWAVEIN handle_ = nullptr;
  std::array<std::vector<char>, 4> buffers_;
  std::array<WAVEHDR, 4> headers_{};
  std::thread owner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<WAVEHDR*> filled_;
  std::vector<char> data_;
  std::vector<UINT> messages_;
  size_t fullBlocks_ = 0;
  bool stopping_ = false;
  bool quit_ = false;
  MMRESULT closeResult_ = MMSYSERR_NOERROR;
  std::chrono::steady_clock::time_point started_, stopped_, firstBlock_;
};

// Samples of interleaved PCM as mono doubles (channels averaged, 8-bit centred).
inline std::vector<double> monoSamples(const std::vector<char>& bytes, const WAVEFORMATEX& f) {
  std::vector<double> out;
  const size_t frames = bytes.size() / f.nBlockAlign;
  out.reserve(frames);
  for (size_t i = 0; i < frames; ++i) {
    double sum = 0;
    for (int c = 0; c < f.nChannels; ++c) {
      const char* p = bytes.data() + i * f.nBlockAlign + c * (f.wBitsPerSample / 8);
      if (f.wBitsPerSample == 8) {
        sum += (static_cast<unsigned char>(*p) - 128) * 256.0;
      } else {
        int16_t s;
        std::memcpy(&s, p, 2);
        sum += s;
      }
    }
    out.push_back(sum / f.nChannels);
  }
  return out;
}

// The best normalised cross-correlation of `reference` against `signal` over every lag
// at which `reference` lies inside `signal`: a coarse search on decimated signals, then
// a fine search around the best coarse lag.
inline double bestCorrelation(const std::vector<double>& reference, const std::vector<double>& signal) {
  if (reference.empty() || signal.size() < reference.size()) return 0;
  auto ncc = [](const double* a, const double* b, size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
      ab += a[i] * b[i];
      aa += a[i] * a[i];
      bb += b[i] * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
  };
  constexpr size_t kStep = 8;
  auto decimate = [](const std::vector<double>& x) {
    std::vector<double> y(x.size() / kStep);
    for (size_t i = 0; i < y.size(); ++i) {
      double s = 0;
      for (size_t k = 0; k < kStep; ++k) s += x[i * kStep + k];
      y[i] = s / kStep;
    }
    return y;
  };
  const std::vector<double> r = decimate(reference);
  const std::vector<double> s = decimate(signal);
  size_t bestLag = 0;
  double best = -2;
  for (size_t lag = 0; lag + r.size() <= s.size(); ++lag) {
    const double c = ncc(r.data(), s.data() + lag, r.size());
    if (c > best) best = c, bestLag = lag;
  }
  const size_t centre = bestLag * kStep;
  best = -2;
  for (size_t lag = centre > 2 * kStep ? centre - 2 * kStep : 0;
       lag <= centre + 2 * kStep && lag + reference.size() <= signal.size(); ++lag)
    best = std::max(best, ncc(reference.data(), signal.data() + lag, reference.size()));
  return best;
}

// Installs a fresh ALSA driver for the test and puts the previous one back after it;
// skips when no PulseAudio server can be reached.
class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = prepareServer();
    if (!why.empty()) GTEST_SKIP() << why;
    // Tests of this kind share the server's sink, source and volumes; CTest may run
    // them in parallel processes, so each holds the server for itself.
    const QString lockPath =
        QDir(qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath())).filePath("tessaron-alsa-tests.lock");
    lockFd_ = ::open(lockPath.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0) flock(lockFd_, LOCK_EX);
    auto driver = std::make_unique<AlsaDriver>();
    alsa_ = driver.get();
    previous_ = mmsystem::installDriver(std::move(driver));
    installed_ = true;
  }
  void TearDown() override {
    // Without an earlier driver this one stays installed, as the automatic choice would.
    if (installed_ && previous_) mmsystem::installDriver(std::move(previous_));
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
  }

  AlsaDriver* alsa_ = nullptr;

 private:
  std::unique_ptr<Driver> previous_;
  bool installed_ = false;
  int lockFd_ = -1;
};

}  // namespace alsatest
