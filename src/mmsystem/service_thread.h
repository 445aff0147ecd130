// The service thread of one open wave device, the same for every driver. Its first act
// is the device's open notification, and start() returns only after that has been
// delivered, so that the opener sees the device open before its own next step. The thread
// records its own id before anything else runs on it, so isCurrent() never reads an id
// that the starting thread is still writing.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class ServiceThread {
 public:
  ServiceThread() = default;
  ServiceThread(const ServiceThread&) = delete;
  ServiceThread& operator=(const ServiceThread&) = delete;
  ~ServiceThread() {
    if (thread_.joinable()) thread_.join();
  }

  // Runs `open` (the open notification), then `serve` (the device's work up to and
  // including its close notification) on a new thread.
  template <typename Open, typename Serve>
  void start(Open open, Serve serve) {
    thread_ = std::thread([this, open, serve] {
      id_.store(std::this_thread::get_id());
      open();
      {
        std::lock_guard lock(mutex_);
        opened_ = true;
      }
      openedSignal_.notify_all();
      serve();
    });
    std::unique_lock lock(mutex_);
    openedSignal_.wait(lock, [this] { return opened_; });
  }

  // True on the service thread itself, that is inside one of the device's notifications.
  bool isCurrent() const { return id_.load() == std::this_thread::get_id(); }
  // True from start() until join() (only for the thread that starts and joins it).
  bool running() const { return thread_.joinable(); }
  // Waits for the end of serve. Not from the service thread itself.
  void join() { thread_.join(); }

 private:
  std::thread thread_;
  std::atomic<std::thread::id> id_{};
  std::mutex mutex_;
  std::condition_variable openedSignal_;
  bool opened_ = false;
};
