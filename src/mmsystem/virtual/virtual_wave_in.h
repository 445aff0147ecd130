// The wave input devices of the virtual sound card. Every open device has a service
// thread of its own that hands the queued headers back filled, either at the rate of the
// format (monotonic clock) or as soon as they are queued. The signal is a pair of tones
// whose level follows the card's record volume and clips at full volume, or a WAV file
// that is looped and converted to the opened format.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "mmsystem/device_list.h"
#include "mmsystem/virtual/virtual_card.h"
#include "mmsystem/virtual/virtual_device.h"
#include "mmsystem/virtual/virtual_mixer.h"

namespace virtual_card {

struct InputFile;

class WaveInputs {
 public:
  // The generated signal follows the record gain of `mixers`; every delivered block sets
  // `level`.
  WaveInputs(const VirtualCard& card, const Mixers& mixers, InputLevel& level);
  // Every input still open fails as an unplugged one does (its headers come back, then
  // the error) and closes, so that no service thread outlives the card.
  ~WaveInputs();

  UINT count() const { return static_cast<UINT>(card_.inputs.size()); }
  MMRESULT caps(UINT device, WAVEINCAPSA& caps) const;
  // `busy`: a device of the other direction is open on a half-duplex card (the open is
  // then refused with MMSYSERR_ALLOCATED, after the device and format checks).
  MMRESULT open(HWAVEIN* handle, UINT device, const WAVEFORMATEX& format, WaveInProc callback, DWORD_PTR instance,
                bool busy);
  void addBuffer(HWAVEIN handle, WAVEHDR& header);
  MMRESULT start(HWAVEIN handle);
  void reset(HWAVEIN handle);
  void close(HWAVEIN handle);
  size_t openCount() const { return open_.size(); }
  // The text of the calling thread's last failure that had one (a bad input file).
  std::string failureText(MMRESULT error) const { return virtual_card::failureText(this, error); }

  // See VirtualDriver: failOpenDevices, pauseInputs, loseInputFrames.
  void fail(MMRESULT result, const std::string& reason);
  void pause(bool paused);
  void lose(DWORD frames);

 private:
  struct Device;
  // The service thread of one open input device.
  void run(Device& device);
  // Hands every queued header back (the first with what it has recorded so far).
  void returnQueuedHeaders(Device& device, std::unique_lock<std::mutex>& lock);
  // Hands every queued header back and raises WIM_ERROR with the device's failure.
  void reportFailure(Device& device, std::unique_lock<std::mutex>& lock);
  // After a stall in real time: hands back the block being filled with what was sampled
  // before the stall and counts the stall's frames as lost.
  void resumeAfterStall(Device& device, std::unique_lock<std::mutex>& lock);
  // Hands `header` (taken off the queue) back with `frames` frames of the signal and the
  // input lost before it. Called with the device's lock, released during the callback.
  void handBack(Device& device, WAVEHDR& header, DWORD frames, std::unique_lock<std::mutex>& lock);
  // Fills `frames` frames of `header` with the device's signal and updates the level.
  void fillInput(Device& device, WAVEHDR& header, DWORD frames);
  // The decoded input file (the card's inputFile), loaded on the first open and shared
  // afterwards.
  MMRESULT loadInputFile(std::shared_ptr<const InputFile>& file);

  const VirtualCard& card_;
  const Mixers& mixers_;
  InputLevel& level_;
  std::mutex fileMutex_;
  std::shared_ptr<const InputFile> inputFile_;
  DeviceList<Device> open_;
};

}  // namespace virtual_card
