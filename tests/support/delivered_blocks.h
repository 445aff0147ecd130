// What a recorder handed to its owner's block event (OnRecord, on the service thread):
// the bytes, the number of blocks and when the first one came.
#pragma once

#include <chrono>
#include <mutex>
#include <vector>

#include "audio/Audio.h"
#include "support/event_wait.h"

namespace testsupport {

class DeliveredBlocks {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes the component's block event, passing each block on to the handler it had.
  void attach(TAudio& audio) {
    audio.OnRecord = [this, next = audio.OnRecord](TObject* sender, void* lp, void* rp, uint32_t size) {
      {
        std::lock_guard lock(mutex_);
        if (blocks_++ == 0) first_ = Clock::now();
        const char* p = static_cast<const char*>(lp);
        bytes_.insert(bytes_.end(), p, p + size);
      }
      if (next) next(sender, lp, rp, size);
    };
  }
  // Forgets what came so far (before the next run).
  void clear() {
    std::lock_guard lock(mutex_);
    bytes_.clear();
    blocks_ = 0;
  }
  size_t blocks() {
    std::lock_guard lock(mutex_);
    return blocks_;
  }
  std::vector<char> bytes() {
    std::lock_guard lock(mutex_);
    return bytes_;
  }
  Clock::time_point first() {
    std::lock_guard lock(mutex_);
    return first_;
  }
  // Seconds from the arrival of the first block until `end`, plus that block's length:
  // the audio a recording stopped at `end` must hold, however late its source began.
  double secondsUntil(Clock::time_point end, double blockSeconds) {
    return std::chrono::duration<double>(end - first()).count() + blockSeconds;
  }
  // Waits (delivering the owner's messages) until `count` blocks have come in all.
  bool waitBlocks(size_t count, int timeoutMs = 20000) {
    return waitFor([&] { return blocks() >= count; }, timeoutMs);
  }

 private:
  std::mutex mutex_;
  std::vector<char> bytes_;
  size_t blocks_ = 0;
  Clock::time_point first_;
};

}  // namespace testsupport
