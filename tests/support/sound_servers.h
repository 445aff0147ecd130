// The two sound servers the pulse driver is tested on: the private PulseAudio server that
// XDG_RUNTIME_DIR leads to (scripts/pulse-server) and the private PipeWire server with its
// PulseAudio front end that TESSARON_PIPEWIRE_RUNTIME names (scripts/pipewire-server).
// A fixture holds one of them for a test: this process (libpulse, pactl) is pointed at it
// through PULSE_SERVER, its null sink "tessaron_test" is the default sink and its monitor
// the default source, and a fresh pulse driver is installed. Each test says on which
// server it ran; one whose server is not there skips, saying so.
#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "mmsystem/driver.h"
#include "mmsystem/pulse/pulse_driver.h"
#include "support/pulse_server.h"

namespace testsupport {

enum class Server { PulseAudio, PipeWire };

inline void PrintTo(Server server, std::ostream* os) {
  *os << (server == Server::PulseAudio ? "PulseAudio" : "PipeWire");
}
inline std::string serverLabel(const ::testing::TestParamInfo<Server>& info) {
  return info.param == Server::PulseAudio ? "PulseAudio" : "PipeWire";
}

// Points this process at one of the servers for the life of the object and holds it
// against the other test processes (they share its sink, sources and volumes).
class ServerScope {
 public:
  explicit ServerScope(Server server) : server_(server) {}
  ~ServerScope() {
    if (lockFd_ >= 0) ::close(lockFd_);
    if (hadServer_)
      qputenv("PULSE_SERVER", previous_);
    else
      qunsetenv("PULSE_SERVER");
  }
  ServerScope(const ServerScope&) = delete;
  ServerScope& operator=(const ServerScope&) = delete;

  // Empty when the server is there and prepared, else why it cannot be used.
  std::string enter() {
    const char* variable = server_ == Server::PulseAudio ? "XDG_RUNTIME_DIR" : "TESSARON_PIPEWIRE_RUNTIME";
    const QString dir = qEnvironmentVariable(variable);
    if (dir.isEmpty())
      return server_ == Server::PulseAudio
                 ? "no PulseAudio server (start one with scripts/pulse-server start and export XDG_RUNTIME_DIR)"
                 : "no PipeWire server on this machine (scripts/test starts one where pipewire, wireplumber and "
                   "pipewire-pulse are installed; otherwise export TESSARON_PIPEWIRE_RUNTIME=$(scripts/pipewire-server "
                   "start))";
    hadServer_ = qEnvironmentVariableIsSet("PULSE_SERVER");
    previous_ = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", ("unix:" + QDir(dir).filePath("pulse/native")).toLocal8Bit());
    const std::string why = prepareServer();
    if (!why.empty()) return why;
    const QString lockPath = QDir(dir).filePath("tessaron-pulse-tests.lock");
    lockFd_ = ::open(lockPath.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0) flock(lockFd_, LOCK_EX);
    return {};
  }
  Server server() const { return server_; }

 private:
  Server server_;
  bool hadServer_ = false;
  QByteArray previous_;
  int lockFd_ = -1;
};

// Holds a server and installs a fresh pulse driver on it for each test.
class OnSoundServer : public ::testing::TestWithParam<Server> {
 protected:
  void SetUp() override { enter(GetParam()); }
  void TearDown() override { leave(); }

  void enter(Server server) {
    scope_ = std::make_unique<ServerScope>(server);
    const std::string why = scope_->enter();
    if (!why.empty()) GTEST_SKIP() << why;
    auto driver = std::make_unique<PulseDriver>();
    pulse_ = driver.get();
    ASSERT_FALSE(driver->serverName().empty()) << driver->description();
    // Which server the test ran on, in its output and in its record.
    std::cout << "[ server   ] " << driver->serverName() << std::endl;
    ::testing::Test::RecordProperty("server", driver->serverName());
    previous_ = mmsystem::installDriver(std::move(driver));
    installed_ = true;
  }
  void leave() {
    // Without an earlier driver this one stays installed, as the automatic choice would.
    if (installed_ && previous_) mmsystem::installDriver(std::move(previous_));
    installed_ = false;
    scope_.reset();
  }

  PulseDriver* pulse_ = nullptr;

 private:
  std::unique_ptr<ServerScope> scope_;
  mmsystem::InstalledDriver previous_;
  bool installed_ = false;
};

}  // namespace testsupport

namespace testsupport {

// A module of the server loaded for a test and unloaded at its end (or by unload()).
class LoadedModule {
 public:
  LoadedModule() = default;
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  ~LoadedModule() { unload(); }
  bool load(const QStringList& arguments) {
    const Run r = run("pactl", QStringList{"load-module"} + arguments);
    index_ = r.exitCode == 0 ? r.out.trimmed() : QString();
    return !index_.isEmpty();
  }
  void unload() {
    if (!index_.isEmpty()) run("pactl", {"unload-module", index_});
    index_.clear();
  }

 private:
  QString index_;
};

// A null sink named and described `name`: its monitor stands for an input fed from it.
inline QStringList nullSink(const QString& name) {
  return {"module-null-sink", "sink_name=" + name, "sink_properties=device.description=" + name};
}
// A source of its own named and described `name` (a stand-in microphone). PipeWire's
// front end has no null source; a null sink of the source class is one.
inline QStringList nullSource(Server server, const QString& name) {
  if (server == Server::PulseAudio) return {"module-null-source", "source_name=" + name, "description=" + name};
  return {"module-null-sink", "media.class=Audio/Source/Virtual", "sink_name=" + name,
          "sink_properties=device.description=" + name};
}

// The names of the driver's wave input devices as their capability records give them.
inline std::vector<std::string> inputNames() {
  std::vector<std::string> names;
  for (UINT i = 0; i < waveInGetNumDevs(); ++i) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCaps(i, &caps, sizeof caps) == MMSYSERR_NOERROR) names.push_back(caps.szPname);
  }
  return names;
}
// The device number of the input named `name`, or -1.
inline int inputNumber(const std::string& name) {
  const std::vector<std::string> names = inputNames();
  const auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

}  // namespace testsupport
