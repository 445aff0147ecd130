// Pieces the virtual card's wave inputs, wave outputs and mixers share: the device a
// device number stands for, a failure waiting to be reported, the live input level that
// the inputs set and the peak meters read, and the text of a failure that has one.
#pragma once

#include <array>
#include <atomic>
#include <string>

#include "mmsystem/device_names.h"
#include "mmsystem/wave_common.h"

namespace virtual_card {

// The device `deviceId` names in a list of `count` (WAVE_MAPPER: the first one); false
// when there is none.
inline bool resolveDevice(UINT deviceId, size_t count, size_t& index) {
  if (count == 0) return false;
  index = deviceId == WAVE_MAPPER ? 0 : deviceId;
  return index < count;
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

// The live input level: the peak of the last block an input delivered, per channel on
// the 0..32767 scale.
class InputLevel {
 public:
  std::array<int32_t, 2> get() const { return {left_.load(), right_.load()}; }
  void set(int32_t left, int32_t right) {
    left_.store(left);
    right_.store(right);
  }

 private:
  std::atomic<int32_t> left_{0};
  std::atomic<int32_t> right_{0};
};

// The calling thread's last failure that has a text of its own (a bad input file), said
// by the part of the card at `owner`; the card forgets it when its next call begins.
MMRESULT failWithText(const void* owner, MMRESULT code, std::string text);
std::string failureText(const void* owner, MMRESULT code);
void forgetFailure();

// The records' fixed name fields are filled as every driver fills them.
using mmsystem::copyName;

}  // namespace virtual_card
