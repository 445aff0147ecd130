// Terminating signals through a self-pipe, and the session manager's end of session.
#include "platform/session.h"

#include <fcntl.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace {

constexpr int handledSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int signalCount = sizeof(handledSignals) / sizeof(handledSignals[0]);

// The pipe the signal handler writes one byte into; the window thread reads it.
int pipeFds[2] = {-1, -1};
struct sigaction previousActions[signalCount];
bool installed = false;

// Runs in signal context: only async-signal-safe calls, errno preserved.
void onSignal(int signalNumber) {
  const int savedErrno = errno;
  const char byte = static_cast<char>(signalNumber);
  if (pipeFds[1] >= 0) {
    // A full pipe already holds a request, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

ShutdownRequests::ShutdownRequests(std::function<void()> onRequest, QObject* parent)
    : QObject(parent), onRequest_(std::move(onRequest)) {
  if (installed) throw std::logic_error("shutdown requests are already being watched");
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("cannot create the signal pipe");
  installed = true;

  notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { readPipe(); });

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < signalCount; ++i) sigaction(handledSignals[i], &action, &previousActions[i]);

  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { deliver(); });
  }
}

ShutdownRequests::~ShutdownRequests() {
  for (int i = 0; i < signalCount; ++i) sigaction(handledSignals[i], &previousActions[i], nullptr);
  delete notifier_;
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  pipeFds[0] = pipeFds[1] = -1;
  installed = false;
}

void ShutdownRequests::readPipe() {
  // Several signals that arrive together make one request.
  char bytes[64];
  bool any = false;
  while (::read(pipeFds[0], bytes, sizeof(bytes)) > 0) any = true;
  if (any) deliver();
}

void ShutdownRequests::deliver() {
  ++requests_;
  if (onRequest_) onRequest_();
}
