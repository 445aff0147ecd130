// Running other programs from a test (pactl, paplay, espeak-ng, sox) and reading what
// sox makes of a sound file.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <ctime>
#include <string>

#include "support/event_wait.h"

namespace testsupport {

// The thread checker reports false races in a process that has forked (QProcess), so the
// tests that start other programs while service threads run skip under it.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadChecked = true;
#else
constexpr bool kThreadChecked = false;
#endif

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

// Runs a program while the calling thread goes on delivering its events (so that a
// recorder owned by it keeps re-queueing its buffers); the exit code, -1 as above.
inline int runWhileServing(const QString& program, const QStringList& args, int timeoutMs = 60000) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(10000)) return -1;
  if (!waitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
    p.kill();
    p.waitForFinished(5000);
    return -1;
  }
  return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Stops this whole process for `seconds`, as a machine too busy to run it would: a forked
// child sends SIGSTOP, waits, and sends SIGCONT. Returns once the child has ended, false
// if there was none.
inline bool stopThisProcessFor(int seconds) {
  const pid_t self = getpid();
  const pid_t stopper = fork();
  if (stopper < 0) return false;
  if (stopper == 0) {
    kill(self, SIGSTOP);
    timespec pause{seconds, 0};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
    kill(self, SIGCONT);
    _exit(0);
  }
  int status = 0;
  while (waitpid(stopper, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

// What sox says about a file: "channels rate bits samples", or "" when it cannot read it.
inline std::string soxInfo(const std::string& path) {
  if (QStandardPaths::findExecutable("sox").isEmpty()) return "no sox";
  const QString file = QString::fromStdString(path);
  // Decoding the whole file proves sox can read every sample, not only the header.
  if (run("sox", {file, "-n", "stat"}).exitCode != 0) return "";
  auto ask = [&](const char* option) {
    const Run r = run("sox", {"--i", option, file});
    return r.exitCode != 0 ? std::string("?") : r.out.trimmed().toStdString();
  };
  return ask("-c") + " " + ask("-r") + " " + ask("-b") + " " + ask("-s");
}

// How sox says the samples of `path` are encoded ("Signed Integer PCM", "Floating Point
// PCM", ...); "no sox" without sox.
inline std::string soxEncoding(const std::string& path) {
  if (QStandardPaths::findExecutable("sox").isEmpty()) return "no sox";
  return run("sox", {"--i", "-e", QString::fromStdString(path)}).out.trimmed().toStdString();
}

// What sndfile-info (a reader of WAV, RF64 and broadcast files) says of `path`, with
// `option` (such as "--broadcast") when given; "" without the program.
inline std::string sndfileInfo(const std::string& path, const QString& option = {}) {
  if (QStandardPaths::findExecutable("sndfile-info").isEmpty()) return "";
  QStringList args;
  if (!option.isEmpty()) args << option;
  return run("sndfile-info", args << QString::fromStdString(path)).out.toStdString();
}

}  // namespace testsupport
