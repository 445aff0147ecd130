// The most recent input of a recording that waits for its trigger: a ring of a fixed
// number of bytes (whole frames) that keeps the newest bytes pushed into it, so that the
// sound leading up to the trigger can be written before the triggering block. Its memory
// is taken once, when the recording starts; pushing and draining allocate nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

class FrameRing {
 public:
  // Makes room for `bytes` (0: keeps nothing) and forgets what was kept.
  void reset(size_t bytes) {
    storage_.resize(bytes);
    head_ = 0;
    kept_ = 0;
  }
  size_t capacity() const { return storage_.size(); }
  size_t kept() const { return kept_; }

  // Keeps `size` bytes after what is kept already, dropping the oldest where full.
  void push(const char* data, size_t size) {
    const size_t cap = storage_.size();
    if (cap == 0 || size == 0) return;
    if (size >= cap) {
      data += size - cap;
      size = cap;
    }
    const size_t first = std::min(size, cap - head_);
    std::memcpy(storage_.data() + head_, data, first);
    std::memcpy(storage_.data(), data + first, size - first);
    head_ = (head_ + size) % cap;
    kept_ = std::min(cap, kept_ + size);
  }

  // Hands what is kept, oldest first, to `write(data, size)` in at most two pieces and
  // forgets it. Stops at the first piece `write` refuses (returns false).
  template <typename Write>
  bool drain(Write write) {
    const size_t cap = storage_.size();
    const size_t oldest = (head_ + cap - kept_) % (cap == 0 ? 1 : cap);
    const size_t first = std::min(kept_, cap - oldest);
    const size_t second = kept_ - first;
    kept_ = 0;
    head_ = 0;
    if (first > 0 && !write(storage_.data() + oldest, first)) return false;
    return second == 0 || write(storage_.data(), second);
  }

 private:
  std::vector<char> storage_;
  size_t head_ = 0;  // where the next byte goes
  size_t kept_ = 0;  // bytes kept, ending just before head_
};
