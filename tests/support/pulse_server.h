// The PulseAudio test server reached through ALSA's pulse plugin: its null sink
// "tessaron_test" and that sink's monitor as the source, their volumes as pactl reports
// them, decoding with sox, a server of a test's own that it may kill, and a fixture that
// holds the shared server for one test and installs a fresh ALSA driver meanwhile.
#pragma once

#include <gtest/gtest.h>

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "mmsystem/alsa/alsa_driver.h"
#include "mmsystem/driver.h"
#include "support/programs.h"
#include "support/signal_match.h"

namespace testsupport {

constexpr const char* kSink = "tessaron_test";
constexpr const char* kMonitor = "tessaron_test.monitor";

// Makes ALSA read its configuration afresh at the next open. Whether "default" leads to
// the sound server is decided when the configuration is read, by whether a server
// answered then, and a process keeps that answer: a test that opened ALSA with no server
// within reach would leave "default" without the server for every later test.
inline void reloadAlsaConfiguration() { snd_config_update_free_global(); }

// Empty when the server is usable (its null sink loaded if it was missing), else why not.
inline std::string prepareServer() {
  if (run("pactl", {"info"}, 10000).exitCode != 0)
    return "no PulseAudio server can be reached (start one with scripts/pulse-server start and export "
           "XDG_RUNTIME_DIR)";
  if (!run("pactl", {"list", "short", "sinks"}).out.contains(kSink))
    run("pactl", {"load-module", "module-null-sink", QString("sink_name=") + kSink});
  run("pactl", {"set-default-sink", kSink});
  run("pactl", {"set-default-source", kMonitor});
  reloadAlsaConfiguration();
  return {};
}

// Starts `reader` recording the test sink's monitor into nothing. With another client on
// it the monitor delivers from the start: as a recorder's only client it begins one or two
// seconds late, which would spoil a test that times a recording.
inline bool readMonitor(QProcess& reader) {
  reader.setStandardOutputFile(QProcess::nullDevice());
  reader.start("parec", {"-d", kMonitor});
  return reader.waitForStarted(10000);
}

// Per-channel volume of the test source or sink as pactl reports it (raw, 65536 = 100 %).
inline std::vector<long> pactlVolume(const char* what, const char* name) {
  const QString text = run("pactl", {QString("get-%1-volume").arg(what), name}).out;
  std::vector<long> values;
  QRegularExpression re(R"(:\s*(\d+)\s*/)");
  for (auto it = re.globalMatch(text); it.hasNext();) values.push_back(it.next().captured(1).toLong());
  return values;
}
inline std::vector<long> sourceVolume() { return pactlVolume("source", kMonitor); }
inline std::vector<long> sinkVolume() { return pactlVolume("sink", kSink); }

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

// A PulseAudio server of the test's own, with the null sink as the default sink and its
// monitor as the default source, that the test may kill: the other tests keep theirs.
// While it runs, PULSE_SERVER points this process (ALSA's pulse plugin, pactl) at it.
class OwnPulseServer {
 public:
  ~OwnPulseServer() {
    kill();
    if (hadServer_)
      qputenv("PULSE_SERVER", previous_);
    else
      qunsetenv("PULSE_SERVER");
  }
  // Empty when the server runs, else why not.
  std::string start() {
    if (!dir_.isValid()) return "no temporary folder";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.remove("PULSE_SERVER");
    server_.setProcessEnvironment(env);
    server_.start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "-n",
                                 "--load=module-native-protocol-unix",
                                 QString("--load=module-null-sink sink_name=") + kSink, "--log-target=stderr"});
    if (!server_.waitForStarted(10000)) return "pulseaudio could not be started";
    hadServer_ = qEnvironmentVariableIsSet("PULSE_SERVER");
    previous_ = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", ("unix:" + dir_.filePath("pulse/native")).toLocal8Bit());
    if (!waitFor([] { return run("pactl", {"info"}, 5000).exitCode == 0; }, 20000)) return "pulseaudio did not answer";
    run("pactl", {"set-default-sink", kSink});
    run("pactl", {"set-default-source", kMonitor});
    reloadAlsaConfiguration();
    return {};
  }
  // Ends the server at once, as a crash would.
  void kill() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.kill();
    server_.waitForFinished(10000);
  }

 private:
  QTemporaryDir dir_;
  QProcess server_;
  bool hadServer_ = false;
  QByteArray previous_;
};

// Installs a fresh ALSA driver for each test and puts the previous one back after it,
// holding the server for itself meanwhile: tests of this kind share its sink, source and
// volumes, and CTest may run them in parallel processes. Skips when no PulseAudio server
// can be reached.
class PulseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = prepareServer();
    if (!why.empty()) GTEST_SKIP() << why;
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
    if (!savedSource_.empty()) {
      run("pactl", {"set-source-volume", kMonitor, QString::number(savedSource_[0])});
      run("pactl", {"set-source-mute", kMonitor, "0"});
    }
    if (!savedSink_.empty()) {
      run("pactl", {"set-sink-volume", kSink, QString::number(savedSink_[0])});
      run("pactl", {"set-sink-mute", kSink, "0"});
    }
    // Without an earlier driver this one stays installed, as the automatic choice would.
    if (installed_ && previous_) mmsystem::installDriver(std::move(previous_));
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
  }

  // Puts the source and sink volumes back, unmuted, after the test.
  void keepVolumes() {
    savedSource_ = sourceVolume();
    savedSink_ = sinkVolume();
  }

  AlsaDriver* alsa_ = nullptr;

 private:
  mmsystem::InstalledDriver previous_;
  bool installed_ = false;
  int lockFd_ = -1;
  std::vector<long> savedSource_;
  std::vector<long> savedSink_;
};

}  // namespace testsupport
