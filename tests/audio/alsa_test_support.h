// Support for the audio component's tests against a real PulseAudio server reached
// through ALSA's pulse plugin: reaching the server and its null sink "tessaron_test",
// running pactl/paplay/espeak-ng/sox, a fixture that holds the server and installs the
// ALSA driver, what the component reports from the service thread, and comparing
// signals.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "mmsystem/alsa_driver.h"
#include "mmsystem/driver.h"
#include "recorder_test_support.h"

namespace pulse_test {

constexpr const char* kSink = "tessaron_test";
constexpr const char* kMonitor = "tessaron_test.monitor";

struct Run {
  int exitCode = -1;
  QString out;
};

// Runs a program to its end; exit code -1 when it did not start, crashed or hung.
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

// Runs a program while the owner's thread goes on delivering its messages (so that the
// recorder keeps re-queueing its buffers); the exit code, -1 as above.
inline int runWhileServing(const QString& program, const QStringList& args, int timeoutMs = 60000) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(10000)) return -1;
  if (!recorder_test::waitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
    p.kill();
    p.waitForFinished(5000);
    return -1;
  }
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
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

// Installs a fresh ALSA driver and a component on it for each test, holding the server
// for itself meanwhile (tests of this kind share its sink, source and volumes, and CTest
// may run them in parallel processes); puts the previous driver back afterwards. Skips
// when no PulseAudio server can be reached.
class PulseComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = prepareServer();
    if (!why.empty()) GTEST_SKIP() << why;
    const QString lockPath =
        QDir(qEnvironmentVariable("XDG_RUNTIME_DIR", QDir::tempPath())).filePath("tessaron-alsa-tests.lock");
    lockFd_ = ::open(lockPath.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0) flock(lockFd_, LOCK_EX);
    savedVolume_ = sourceVolume();
    auto driver = std::make_unique<AlsaDriver>();
    alsa = driver.get();
    previous_ = mmsystem::installDriver(std::move(driver));
    installed_ = true;
    audio = std::make_unique<TAudio>();
  }
  void TearDown() override {
    audio.reset();
    if (installed_ && previous_) mmsystem::installDriver(std::move(previous_));
    if (!savedVolume_.empty()) {
      run("pactl", {"set-source-volume", kMonitor, QString::number(savedVolume_[0])});
      run("pactl", {"set-source-mute", kMonitor, "0"});
    }
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
  }

  // The recorder's and the player's format together, `frames` per block.
  void setFormat(TBPS bits, TChannels channels, uint16_t rate, uint16_t frames) {
    TRecorder& rec = *audio->Recorder();
    rec.setBitsPerSample(bits);
    rec.setChannels(channels);
    rec.setSampleRate(rate);
    rec.setNoSamples(frames);
  }
  std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }

  AlsaDriver* alsa = nullptr;
  std::unique_ptr<TAudio> audio;

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Driver> previous_;
  bool installed_ = false;
  int lockFd_ = -1;
  std::vector<long> savedVolume_;
};

// What OnRecord delivered (on the service thread): the bytes, the number of blocks and
// when the first one came.
class Delivered {
 public:
  void attach(TAudio& audio) {
    audio.OnRecord = [this](TObject*, void* lp, void*, uint16_t size) {
      std::lock_guard lock(mutex_);
      if (blocks_++ == 0) first_ = std::chrono::steady_clock::now();
      const char* p = static_cast<const char*>(lp);
      bytes_.insert(bytes_.end(), p, p + size);
    };
  }
  size_t blocks() {
    std::lock_guard lock(mutex_);
    return blocks_;
  }
  std::vector<char> bytes() {
    std::lock_guard lock(mutex_);
    return bytes_;
  }
  std::chrono::steady_clock::time_point first() {
    std::lock_guard lock(mutex_);
    return first_;
  }
  // Waits (delivering the owner's messages) until `count` blocks have come in all.
  bool waitBlocks(size_t count, int timeoutMs = 20000) {
    return recorder_test::waitFor([&] { return blocks() >= count; }, timeoutMs);
  }

 private:
  std::mutex mutex_;
  std::vector<char> bytes_;
  size_t blocks_ = 0;
  std::chrono::steady_clock::time_point first_;
};

// Interleaved 16-bit PCM as mono doubles (channels averaged).
inline std::vector<double> mono16(const char* bytes, size_t size, int channels) {
  std::vector<double> out;
  const size_t frames = size / (2 * channels);
  out.reserve(frames);
  for (size_t i = 0; i < frames; ++i) {
    double sum = 0;
    for (int c = 0; c < channels; ++c) {
      int16_t s;
      std::memcpy(&s, bytes + (i * channels + c) * 2, 2);
      sum += s;
    }
    out.push_back(sum / channels);
  }
  return out;
}

// Any sound file as sox decodes it: mono 16-bit samples at `rate` (empty when sox fails).
inline std::vector<double> decodeMono(const QString& file, unsigned rate, const QString& scratch) {
  if (run("sox",
          {file, "-t", "raw", "-r", QString::number(rate), "-c", "1", "-b", "16", "-e", "signed-integer", scratch})
          .exitCode != 0)
    return {};
  QFile f(scratch);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = f.readAll();
  return mono16(bytes.constData(), static_cast<size_t>(bytes.size()), 1);
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

// Seconds of `samples` (at `rate`) in 10 ms windows whose level exceeds `threshold`.
inline double loudSeconds(const std::vector<double>& samples, unsigned rate, double threshold) {
  const size_t window = rate / 100;
  size_t loud = 0;
  for (size_t i = 0; i + window <= samples.size(); i += window) {
    double energy = 0;
    for (size_t k = 0; k < window; ++k) energy += samples[i + k] * samples[i + k];
    if (std::sqrt(energy / window) > threshold) loud += window;
  }
  return static_cast<double>(loud) / rate;
}

}  // namespace pulse_test
