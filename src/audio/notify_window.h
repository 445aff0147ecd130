// A hidden window of the audio component: a small object on the thread that created it.
// post() may be called from any thread; the message is queued and its handler runs on
// the window thread, in posting order.
#pragma once

#include <QObject>
#include <functional>

#include "mmsystem/mmsystem.h"

class NotifyWindow : public QObject, public MessageTarget {
 public:
  using Handler = std::function<void(UINT msg, WPARAM wParam, LPARAM lParam)>;

  explicit NotifyWindow(Handler handler);
  ~NotifyWindow() override;

  void post(UINT msg, WPARAM wParam, LPARAM lParam) override;

  // Posts `msg` to every component window that handles broadcasts (the system's
  // shutdown query reaches every audio component this way).
  static void broadcast(UINT msg);
  // Makes this window receive broadcasts.
  void receiveBroadcasts();

 protected:
  void customEvent(QEvent* event) override;

 private:
  Handler handler_;
  bool broadcasts_ = false;
};
