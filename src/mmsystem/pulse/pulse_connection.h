// The pulse driver's one connection to the desktop's sound server (PulseAudio, or
// PipeWire through its PulseAudio front end): libpulse's threaded main loop with its
// thread, the context, and the server's sources and sinks kept current by its change
// subscription. Every libpulse call on the context and on the driver's streams is made
// with the loop's lock held (Lock); the loop thread runs every libpulse callback with it
// held. The loop thread never waits for another thread of the driver: a callback only
// copies what the server said, wakes a waiting caller and tells the listeners.
#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace pulse {

class Connection;

// The loop's lock as ThreadSanitizer sees it. libpulse takes the lock inside itself, on the
// loop thread around every callback, where the sanitizer does not look (its calls from
// libpulse are left alone, see the tests' suppressions); without these marks every access
// under the lock would look like a race to it. Elsewhere they do nothing.
// One mark for every connection: a callback marks itself before it reads anything of the
// object it was given.
inline char lockMark;
inline void markLocked(const Connection*) {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(&lockMark);
#endif
}
inline void markUnlocked(const Connection*) {
#if defined(__SANITIZE_THREAD__)
  __tsan_release(&lockMark);
#endif
}
// Marks a libpulse callback, which runs with the lock held, for its length.
class InCallback {
 public:
  InCallback() { markLocked(nullptr); }
  ~InCallback() { markUnlocked(nullptr); }
  InCallback(const InCallback&) = delete;
  InCallback& operator=(const InCallback&) = delete;
};

// How long a caller waits for the server to answer one request before giving up: a
// server that takes longer is as good as gone for the window waiting on it.
constexpr std::chrono::milliseconds kAnswerTimeout{5000};

enum class Kind { Source, Sink };

// A source or sink as the server last described it.
struct Endpoint {
  uint32_t index = PA_INVALID_INDEX;
  std::string name;
  std::string description;
  pa_sample_spec spec{};
  pa_channel_map map{};
  pa_cvolume volume{};
  bool mute = false;
  bool monitor = false;  // a source that is the monitor of a sink
};

class Connection {
 public:
  // Told of the server's changes on the loop thread, with the lock held; must not block.
  class Listener {
   public:
    virtual ~Listener() = default;
    // The volume or the mute of a known source or sink changed.
    virtual void endpointChanged(Kind kind, uint32_t index, bool volumeChanged, bool muteChanged) = 0;
    // A source or sink came or went, or the default source or sink changed.
    virtual void listChanged() = 0;
  };

  // The loop's lock for the life of the object (recursive, so a callback may take it too).
  class Lock {
   public:
    explicit Lock(const Connection& connection) : c_(&connection) {
      pa_threaded_mainloop_lock(c_->loop_);
      markLocked(c_);
    }
    ~Lock() {
      markUnlocked(c_);
      pa_threaded_mainloop_unlock(c_->loop_);
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    const Connection* c_;
  };

  // Connects to the server the environment names (never starting one) within `timeout`.
  // Null, with the reason in `why`, when no server answers.
  static std::unique_ptr<Connection> open(std::chrono::milliseconds timeout, std::string* why);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  pa_context* context() const { return context_; }
  pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop_); }

  // With the lock held once (it is recursive, and only one hold is released), not on the
  // loop thread: waits until `done()` holds, for at most `timeout`; the lock is released
  // meanwhile. True when `done()` held.
  template <typename Done>
  bool wait(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (pa_threaded_mainloop_in_thread(loop_)) return false;
      uint64_t seen = 0;
      {
        std::lock_guard lock(signalMutex_);
        seen = signals_;
      }
      markUnlocked(this);
      pa_threaded_mainloop_unlock(loop_);
      bool timedOut = false;
      {
        std::unique_lock lock(signalMutex_);
        timedOut = !signalled_.wait_until(lock, deadline, [&] { return signals_ != seen; });
      }
      pa_threaded_mainloop_lock(loop_);
      markLocked(this);
      if (timedOut) return done();
    }
    return true;
  }
  // Wakes every wait(); called by libpulse callbacks.
  void signal();
  // With the lock held: waits for `op` to finish and releases it. False when there was
  // no operation (the call failed at once) or the server did not finish it in time.
  bool complete(pa_operation* op, std::chrono::milliseconds timeout = kAnswerTimeout);
  // A success callback for complete(): records nothing, only wakes the waiter.
  static void succeeded(pa_context*, int, void* self) {
    InCallback here;
    static_cast<Connection*>(self)->signal();
  }
  static void streamSucceeded(pa_stream*, int, void* self) {
    InCallback here;
    static_cast<Connection*>(self)->signal();
  }

  // The server's name as it introduces itself ("PulseAudio (on PipeWire 0.3.65)").
  std::string serverName() const;
  // True while the context works; once it failed, the reason in the server's words.
  bool alive() const;
  std::string failureText() const;

  // Wave input devices: the sources that are real inputs, in the server's order, then
  // the monitors of the outputs. Wave output devices: the sinks.
  std::vector<Endpoint> inputs() const;
  std::vector<Endpoint> outputs() const;
  // The source or sink with `index`, if the server still has it.
  bool endpoint(Kind kind, uint32_t index, Endpoint& out) const;
  // The default source or sink, if the server has one.
  bool defaultEndpoint(Kind kind, Endpoint& out) const;

  // With the lock held: asks the server for the state of a source or sink and waits for
  // the answer, so that what was just set reads back at once.
  void refresh(Kind kind, uint32_t index);

  // With the lock held.
  void addListener(Listener* listener);
  void removeListener(Listener* listener);

  // libpulse's words for the context's last error.
  std::string errorText() const { return pa_strerror(pa_context_errno(context_)); }

 private:
  Connection();

  static void contextState(pa_context* context, void* self);
  static void serverInfo(pa_context* context, const pa_server_info* info, void* self);
  static void sourceInfo(pa_context* context, const pa_source_info* info, int eol, void* self);
  static void sinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* self);
  static void subscription(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self);
  // Takes the description of one source or sink; tells the listeners what changed.
  void update(Kind kind, Endpoint endpoint);
  void remove(Kind kind, uint32_t index);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;

  std::mutex signalMutex_;
  std::condition_variable signalled_;
  std::atomic<uint64_t> signals_{0};

  // The server's state as it last told it; written on the loop thread.
  mutable std::mutex stateMutex_;
  std::string serverName_;
  std::string defaultSource_;
  std::string defaultSink_;
  std::vector<Endpoint> sources_;  // by index
  std::vector<Endpoint> sinks_;
  bool failed_ = false;
  std::string failure_;

  std::vector<Listener*> listeners_;  // with the lock held
};

}  // namespace pulse
