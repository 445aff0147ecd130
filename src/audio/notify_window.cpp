// Hidden windows: posted messages delivered on the owner's thread in posting order.
#include "audio/notify_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <mutex>
#include <vector>

namespace {

const QEvent::Type messageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
 public:
  MessageEvent(UINT msg, WPARAM wParam, LPARAM lParam)
      : QEvent(messageEventType), msg_(msg), wParam_(wParam), lParam_(lParam) {}
  UINT msg_;
  WPARAM wParam_;
  LPARAM lParam_;
};

std::mutex broadcastMutex;
std::vector<NotifyWindow*> broadcastTargets;

}  // namespace

NotifyWindow::NotifyWindow(Handler handler) : handler_(std::move(handler)) {}

NotifyWindow::~NotifyWindow() {
  if (broadcasts_) {
    std::lock_guard lock(broadcastMutex);
    std::erase(broadcastTargets, this);
  }
}

void NotifyWindow::post(UINT msg, WPARAM wParam, LPARAM lParam) {
  QCoreApplication::postEvent(this, new MessageEvent(msg, wParam, lParam));
}

void NotifyWindow::receiveBroadcasts() {
  std::lock_guard lock(broadcastMutex);
  if (!broadcasts_) broadcastTargets.push_back(this);
  broadcasts_ = true;
}

void NotifyWindow::broadcast(UINT msg) {
  std::lock_guard lock(broadcastMutex);
  for (NotifyWindow* target : broadcastTargets) target->post(msg, 0, 0);
}

void NotifyWindow::customEvent(QEvent* event) {
  if (event->type() != messageEventType) return;
  auto* message = static_cast<MessageEvent*>(event);
  if (handler_) handler_(message->msg_, message->wParam_, message->lParam_);
}
