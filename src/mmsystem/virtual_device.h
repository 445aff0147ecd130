// Pieces the virtual card's wave input, wave output and mixer share: finding the open
// device behind a handle, the service thread of an open wave device, the header calls
// that are the same in both directions, a failure waiting to be reported, and the fixed
// name fields of the records.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "wave_common.h"

namespace virtual_card {

// The open device behind `handle`, or nullptr when the handle is not one of `open`.
// The caller holds the lock that guards `open`.
template <typename Device, typename Handle>
Device* findOpen(const std::vector<Device*>& open, Handle handle) {
  auto it = std::find(open.begin(), open.end(), handle);
  return it == open.end() ? nullptr : *it;
}

// A fault asked for by failOpenDevices (or the card going away) that the device's service
// thread has yet to report: its result code and the text naming the device.
struct DeviceFailure {
  MMRESULT result = MMSYSERR_NOERROR;
  std::string text;
};

// Asks `device` to fail (its service thread reports it) with `result` and a text naming
// it and `reason`, unless it has failed already. With the device's lock held.
template <typename Device>
void askToFail(Device& device, MMRESULT result, const std::string& reason) {
  if (device.failed || device.failure) return;
  device.failure = DeviceFailure{result, deviceFailedText(device.name, reason)};
  device.wake.notify_all();
}

// Copies `name` into a name field of `size` bytes: zero-filled, always terminated.
inline void copyName(char* out, size_t size, const std::string& name) {
  std::memset(out, 0, size);
  std::strncpy(out, name.c_str(), size - 1);
}

// The service thread of one open wave device. Its first act is the device's open
// notification, and start() returns only after that has been delivered, so that the
// opener sees the device open before its own next step.
class ServiceThread {
 public:
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
  void join() { thread_.join(); }

 private:
  std::thread thread_;
  std::atomic<std::thread::id> id_{};
  std::mutex mutex_;
  std::condition_variable openedSignal_;
  bool opened_ = false;
};

// Prepare and unprepare are the same for input and output: a valid header of an open
// device (null when the handle was not found), flags changed under the device's lock.
template <typename Device>
MMRESULT prepareHeader(Device* device, WAVEHDR* header, UINT cbHeader) {
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || cbHeader < sizeof(WAVEHDR) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(device->mutex);
  return markPrepared(*header);
}

template <typename Device>
MMRESULT unprepareHeader(Device* device, WAVEHDR* header, UINT cbHeader) {
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || cbHeader < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(device->mutex);
  return markUnprepared(*header);
}

}  // namespace virtual_card
