// Test support for the ALSA driver against a real PulseAudio server: the server fixture,
// programs and signal comparison of support/, a message target that collects posted
// messages, and a capture helper that re-queues headers from an owner thread as the
// recorder does.
#pragma once

#include <QTemporaryDir>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "mmsystem/mmsystem.h"
#include "support/pulse_server.h"
#include "support/signal_match.h"
#include "support/wave_files.h"

namespace alsatest {

using namespace std::chrono_literals;
using namespace testsupport;
using PulseTest = testsupport::PulseTest;

// Collects posted messages; waits for a condition on them.
class Messages : public MessageTarget {
 public:
  struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  void post(UINT msg, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard lock(mutex_);
    messages_.push_back({msg, wParam, lParam});
    changed_.notify_all();
  }
  bool waitFor(const std::function<bool(const std::vector<Message>&)>& condition, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(messages_); });
  }
  std::vector<Message> all() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Message> messages_;
};

// Records from a wave input device through four headers. Filled headers are handed to
// an owner thread, which keeps the data and queues the header again, as the recorder's
// hidden window does; so the service thread never waits for the consumer.
class Capture {
 public:
  explicit Capture(const WAVEFORMATEX& format, DWORD blockFrames = 0)
      : format_(format),
        blockBytes_((blockFrames != 0 ? blockFrames : format.nSamplesPerSec / 10) * format.nBlockAlign) {
    for (auto& b : buffers_) b.assign(blockBytes_, 0);
  }
  ~Capture() { close(); }

  MMRESULT open(UINT device = WAVE_MAPPER) {
    MMRESULT r = waveInOpen(&handle_, device, &format_, reinterpret_cast<DWORD_PTR>(&Capture::proc),
                            reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
    if (r != MMSYSERR_NOERROR) return r;
    for (size_t i = 0; i < headers_.size(); ++i) {
      headers_[i] = WAVEHDR{};
      headers_[i].lpData = buffers_[i].data();
      headers_[i].dwBufferLength = blockBytes_;
      if ((r = waveInPrepareHeader(handle_, &headers_[i], sizeof(WAVEHDR))) != MMSYSERR_NOERROR) return r;
      if ((r = waveInAddBuffer(handle_, &headers_[i], sizeof(WAVEHDR))) != MMSYSERR_NOERROR) return r;
    }
    owner_ = std::thread([this] { requeue(); });
    return MMSYSERR_NOERROR;
  }
  MMRESULT start() {
    started_ = std::chrono::steady_clock::now();
    return waveInStart(handle_);
  }
  // Stops, keeping the partly filled block; returns the result of waveInReset.
  MMRESULT stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    const MMRESULT r = waveInReset(handle_);
    stopped_ = std::chrono::steady_clock::now();
    return r;
  }
  void close() {
    if (handle_ == nullptr) return;
    if (!stopping_) stop();
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      changed_.notify_all();
    }
    if (owner_.joinable()) owner_.join();
    for (auto& h : headers_) waveInUnprepareHeader(handle_, &h, sizeof(WAVEHDR));
    closeResult_ = waveInClose(handle_);
    handle_ = nullptr;
  }
  bool waitBlocks(size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return fullBlocks_ >= count; });
  }

  HWAVEIN handle() const { return handle_; }
  std::vector<char> data() {
    std::lock_guard lock(mutex_);
    return data_;
  }
  size_t fullBlocks() {
    std::lock_guard lock(mutex_);
    return fullBlocks_;
  }
  std::vector<UINT> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  // Overruns and frames lost as the handed-back headers reported them.
  DWORD overruns() {
    std::lock_guard lock(mutex_);
    return overruns_;
  }
  uint64_t framesLost() {
    std::lock_guard lock(mutex_);
    return framesLost_;
  }
  // Waits for the device's failure; its result code and text (WIM_ERROR).
  bool waitError(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return error_ != MMSYSERR_NOERROR; });
  }
  MMRESULT error() {
    std::lock_guard lock(mutex_);
    return error_;
  }
  std::string errorText() {
    std::lock_guard lock(mutex_);
    return errorText_;
  }
  MMRESULT closeResult() const { return closeResult_; }
  double seconds() const { return std::chrono::duration<double>(stopped_ - started_).count(); }
  // Seconds from the arrival of the first block to the stop, plus that block's length:
  // the audio a recording must hold however long the source took to begin delivering.
  double secondsDelivered() {
    std::lock_guard lock(mutex_);
    const double block = static_cast<double>(blockBytes_) / format_.nAvgBytesPerSec;
    return std::chrono::duration<double>(stopped_ - firstBlock_).count() + block;
  }
  DWORD blockBytes() const { return blockBytes_; }

 private:
  static void proc(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
    auto* self = reinterpret_cast<Capture*>(instance);
    std::lock_guard lock(self->mutex_);
    self->messages_.push_back(msg);
    if (msg == WIM_ERROR) {
      self->error_ = static_cast<MMRESULT>(param1);
      self->errorText_ = reinterpret_cast<const char*>(param2);
    }
    if (msg == WIM_DATA) {
      auto* h = reinterpret_cast<WAVEHDR*>(param1);
      self->overruns_ += h->dwOverruns;
      self->framesLost_ += h->dwFramesLost;
      self->data_.insert(self->data_.end(), h->lpData, h->lpData + h->dwBytesRecorded);
      if (h->dwBytesRecorded == self->blockBytes_ && self->fullBlocks_++ == 0)
        self->firstBlock_ = std::chrono::steady_clock::now();
      if (!self->stopping_) self->filled_.push_back(h);
    }
    self->changed_.notify_all();
  }
  void requeue() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return quit_ || !filled_.empty(); });
      if (quit_) return;
      WAVEHDR* h = filled_.front();
      filled_.pop_front();
      if (stopping_) continue;
      lock.unlock();
      waveInAddBuffer(handle_, h, sizeof(WAVEHDR));
      lock.lock();
    }
  }

  WAVEFORMATEX format_;
  DWORD blockBytes_;
  HWAVEIN handle_ = nullptr;
  std::array<std::vector<char>, 4> buffers_;
  std::array<WAVEHDR, 4> headers_{};
  std::thread owner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<WAVEHDR*> filled_;
  std::vector<char> data_;
  std::vector<UINT> messages_;
  size_t fullBlocks_ = 0;
  DWORD overruns_ = 0;
  uint64_t framesLost_ = 0;
  bool stopping_ = false;
  bool quit_ = false;
  MMRESULT closeResult_ = MMSYSERR_NOERROR;
  MMRESULT error_ = MMSYSERR_NOERROR;
  std::string errorText_;
  std::chrono::steady_clock::time_point started_, stopped_, firstBlock_;
};

}  // namespace alsatest
