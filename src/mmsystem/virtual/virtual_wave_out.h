// The wave output devices of the virtual sound card. Each open device has a service
// thread that plays the queued blocks in order, in real time (the format's byte rate on
// a monotonic clock) or as fast as they are written, keeps what it played for tests, and
// raises the open, done and close notifications. A reset hands queued blocks back
// unplayed.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "mmsystem/device_list.h"
#include "mmsystem/virtual/virtual_card.h"
#include "mmsystem/virtual/virtual_device.h"

namespace virtual_card {

class WaveOutputs {
 public:
  explicit WaveOutputs(const VirtualCard& card);
  // Every output still open fails as an unplugged one does (its blocks come back
  // unplayed, then the error) and closes.
  ~WaveOutputs();

  UINT count() const { return static_cast<UINT>(card_.outputs.size()); }
  MMRESULT caps(UINT device, WAVEOUTCAPSA& caps) const;
  // `busy`: a device of the other direction is open on a half-duplex card (the open is
  // then refused with MMSYSERR_ALLOCATED, after the device and format checks).
  MMRESULT open(HWAVEOUT* handle, UINT device, const WAVEFORMATEX& format, WaveOutProc callback, DWORD_PTR instance,
                bool busy);
  void write(HWAVEOUT handle, WAVEHDR& header);
  void reset(HWAVEOUT handle);
  void close(HWAVEOUT handle);
  size_t openCount() const { return open_.size(); }
  MMRESULT getVolume(UINT device, DWORD& volume) const;
  MMRESULT setVolume(UINT device, DWORD volume);

  // See VirtualDriver: failOpenDevices, outputVolume, playedBlocks, clearPlayed.
  void fail(MMRESULT result, const std::string& reason);
  DWORD outputVolume(UINT device) const;
  std::vector<std::vector<char>> playedBlocks(UINT device) const;
  void clearPlayed();

 private:
  struct Device;
  void run(Device& device);
  // Hands every queued block back unplayed, with the device's lock held (released
  // during each notification).
  void returnQueued(Device& device, std::unique_lock<std::mutex>& lock);

  const VirtualCard& card_;
  mutable std::mutex volumeMutex_;
  std::vector<DWORD> volume_;
  mutable std::mutex playedMutex_;                      // taken after a device's own mutex
  std::vector<std::vector<std::vector<char>>> played_;  // [device][block]
  DeviceList<Device> open_;
};

}  // namespace virtual_card
