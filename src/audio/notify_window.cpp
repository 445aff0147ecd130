// Hidden windows: posted messages delivered on the window thread in posting order.
#include "audio/notify_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <algorithm>
#include <array>
#include <atomic>
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

  // Delivered messages are kept for the next posts, so a steady stream of messages (one
  // per recorded block) allocates nothing.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size);
};

std::mutex spareMutex;
std::array<void*, 64> spare;
size_t spareCount = 0;

void* MessageEvent::operator new(size_t size) {
  {
    std::lock_guard lock(spareMutex);
    if (size == sizeof(MessageEvent) && spareCount > 0) return spare[--spareCount];
  }
  return ::operator new(size);
}

void MessageEvent::operator delete(void* p, size_t size) {
  {
    std::lock_guard lock(spareMutex);
    if (size == sizeof(MessageEvent) && spareCount < spare.size()) {
      spare[spareCount++] = p;
      return;
    }
  }
  ::operator delete(p);
}

// Qt's event queue orders a post before its delivery, but inside a library that thread
// checkers cannot see into; this counter states the same order in the open (release on
// posting, acquire on delivery), so what a service thread wrote before posting is seen
// as written before the handler runs.
std::atomic<uint64_t> handOver{0};

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
  auto* event = new MessageEvent(msg, wParam, lParam);
  handOver.fetch_add(1, std::memory_order_release);
  QCoreApplication::postEvent(this, event);
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
  handOver.load(std::memory_order_acquire);
  if (event->type() != messageEventType) return;
  auto* message = static_cast<MessageEvent*>(event);
  if (handler_) handler_(message->msg_, message->wParam_, message->lParam_);
}
