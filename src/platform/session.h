// The system's requests to end the program: the terminating signals SIGTERM, SIGINT and
// SIGHUP, and the end of the desktop session. Both reach the window thread as one call
// of the given function, so that the program can shut its devices down, complete an
// open recording and close its main window in the ordinary way.
#pragma once

#include <QObject>
#include <functional>

class QSessionManager;
class QSocketNotifier;

class ShutdownRequests : public QObject {
 public:
  // Installs the signal handlers; only one instance may exist at a time.
  explicit ShutdownRequests(std::function<void()> onRequest, QObject* parent = nullptr);
  // Restores the previous signal handlers.
  ~ShutdownRequests() override;

  // Number of requests handed on so far.
  int requests() const { return requests_; }

 private:
  void readPipe();
  void deliver();
  std::function<void()> onRequest_;
  QSocketNotifier* notifier_ = nullptr;
  int requests_ = 0;
};
