// Wave output of the virtual sound card. Each open device has a service thread that
// plays the queued blocks in order, in real time (the format's byte rate on a monotonic
// clock) or as fast as they are written, keeps what it played for tests, and raises the
// open, done and close notifications. waveOutReset hands queued blocks back unplayed.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <optional>

#include "virtual_device.h"
#include "virtual_driver.h"
#include "wave_common.h"

namespace {

constexpr DWORD waveFormatQuery = 0x0001;  // only ask whether the format would open
constexpr DWORD callbackTypeMask = 0x70000;
constexpr DWORD callbackNull = 0x00000;

// Playback paces itself by the byte rate, so that has to match the format as well.
bool validPcm(const WAVEFORMATEX& f) { return plainPcm(f) && f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign; }

}  // namespace

struct VirtualDriver::OpenWaveOut : HWAVEOUT__ {
  size_t device = 0;
  std::string name;
  WAVEFORMATEX format{};
  DWORD callbackType = callbackNull;
  DWORD_PTR callback = 0;
  DWORD_PTR instance = 0;

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<WAVEHDR*> queue;  // written, not yet done; the front one is playing
  bool resetting = false;      // hand queued blocks back unplayed
  bool closing = false;
  bool inCallback = false;
  // A failure to report (failOpenDevices); once reported the device stays failed and
  // plays nothing more: blocks written afterwards wait for a reset.
  std::optional<virtual_card::DeviceFailure> failure;
  bool failed = false;
  virtual_card::ServiceThread thread;

  // A window notification carries the header (or the error's result code) only.
  void notify(UINT msg, DWORD_PTR param1, DWORD_PTR param2 = 0) {
    if (callbackType == CALLBACK_FUNCTION && callback != 0) {
      reinterpret_cast<WaveOutProc>(callback)(this, msg, instance, param1, param2);
    } else if (callbackType == CALLBACK_WINDOW && callback != 0) {
      reinterpret_cast<HWND>(callback)->post(msg, reinterpret_cast<WPARAM>(static_cast<HWAVEOUT>(this)),
                                             static_cast<LPARAM>(param1));
    }
  }
  // Raises a notification with the device's lock released, marked as in progress for reset.
  void notifyUnlocked(std::unique_lock<std::mutex>& lock, UINT msg, DWORD_PTR param1, DWORD_PTR param2 = 0) {
    inCallback = true;
    lock.unlock();
    notify(msg, param1, param2);
    lock.lock();
    inCallback = false;
    wake.notify_all();
  }
};

VirtualDriver::OpenWaveOut* VirtualDriver::findWaveOut(HWAVEOUT handle) const {
  std::lock_guard lock(waveOutMutex_);
  return virtual_card::findOpen(openWaveOuts_, handle);
}

void VirtualDriver::waveOutThread(OpenWaveOut* device) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point streamClock = Clock::now();
  std::unique_lock lock(device->mutex);
  for (;;) {
    if (device->failure) {
      // Every queued block comes back unplayed, then the error.
      const virtual_card::DeviceFailure failure = std::move(*device->failure);
      device->failure.reset();
      device->failed = true;
      while (!device->queue.empty()) {
        WAVEHDR* header = device->queue.front();
        device->queue.pop_front();
        markDone(*header);
        device->notifyUnlocked(lock, WOM_DONE, reinterpret_cast<DWORD_PTR>(header));
      }
      device->notifyUnlocked(lock, WOM_ERROR, failure.result, reinterpret_cast<DWORD_PTR>(failure.text.c_str()));
      continue;
    }
    if (device->queue.empty() || (device->failed && !device->resetting)) {
      if (device->closing) break;
      device->wake.wait(lock);
      continue;
    }
    WAVEHDR* header = device->queue.front();
    bool played = false;
    if (!device->resetting) {
      if (card_.pacing == VirtualPacing::RealTime) {
        const auto duration =
            std::chrono::duration<double>(static_cast<double>(header->dwBufferLength) / device->format.nAvgBytesPerSec);
        streamClock = std::max(streamClock, Clock::now()) + std::chrono::duration_cast<Clock::duration>(duration);
        device->wake.wait_until(lock, streamClock, [&] { return device->resetting || device->failure; });
      }
      if (device->failure) continue;  // the block comes back unplayed with the others
      played = !device->resetting;
    }
    device->queue.pop_front();
    if (played) {
      std::lock_guard playedLock(playedMutex_);
      if (played_.size() <= device->device) played_.resize(device->device + 1);
      played_[device->device].emplace_back(header->lpData, header->lpData + header->dwBufferLength);
    } else {
      streamClock = Clock::now();  // a reset restarts the clock
    }
    markDone(*header);
    device->notifyUnlocked(lock, WOM_DONE, reinterpret_cast<DWORD_PTR>(header));
  }
  lock.unlock();
  device->notify(WOM_CLOSE, 0);
}

MMRESULT VirtualDriver::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                    DWORD_PTR instance, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::waveOutOpen)) return r;
  size_t index = 0;
  if (!resolveDevice(deviceId, card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (format == nullptr) return MMSYSERR_INVALPARAM;
  if (!validPcm(*format)) return WAVERR_BADFORMAT;
  if (card_.outputs[index].refuses && card_.outputs[index].refuses(*format)) return WAVERR_BADFORMAT;
  if (flags & waveFormatQuery) return MMSYSERR_NOERROR;
  const DWORD callbackType = flags & callbackTypeMask;
  if (callbackType != callbackNull && callbackType != CALLBACK_FUNCTION && callbackType != CALLBACK_WINDOW) {
    return MMSYSERR_INVALFLAG;
  }
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  *handle = nullptr;

  auto* device = new OpenWaveOut;
  device->device = index;
  device->name = card_.outputs[index].name;
  device->format = *format;
  device->callbackType = callbackType;
  device->callback = callback;
  device->instance = instance;
  {
    std::lock_guard lock(waveOutMutex_);
    // A half-duplex card cannot play while an input is open.
    if (!card_.fullDuplex && openInputs_.load() > 0) {
      delete device;
      return MMSYSERR_ALLOCATED;
    }
    ++openOutputs_;
    openWaveOuts_.push_back(device);
  }
  device->thread.start([device] { device->notify(WOM_OPEN, 0); }, [this, device] { waveOutThread(device); });
  *handle = device;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) {
  if (MMRESULT r = injected(VirtualCall::waveOutPrepareHeader)) return r;
  return virtual_card::prepareHeader(findWaveOut(handle), header, cbHeader);
}

MMRESULT VirtualDriver::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) {
  if (MMRESULT r = injected(VirtualCall::waveOutWrite)) return r;
  OpenWaveOut* device = findWaveOut(handle);
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || cbHeader < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(device->mutex);
  if (MMRESULT r = markQueued(*header)) return r;
  device->queue.push_back(header);
  device->wake.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutReset(HWAVEOUT handle) {
  if (MMRESULT r = injected(VirtualCall::waveOutReset)) return r;
  OpenWaveOut* device = findWaveOut(handle);
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  if (device->thread.isCurrent()) return MMSYSERR_ERROR;  // from its own callback
  // Every queued block comes back (done, unplayed) through the done notification; the
  // call returns when no block is queued and no notification of the device is running.
  std::unique_lock lock(device->mutex);
  device->resetting = true;
  device->wake.notify_all();
  device->wake.wait(lock, [&] { return device->queue.empty() && !device->inCallback; });
  device->resetting = false;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) {
  if (MMRESULT r = injected(VirtualCall::waveOutUnprepareHeader)) return r;
  return virtual_card::unprepareHeader(findWaveOut(handle), header, cbHeader);
}

MMRESULT VirtualDriver::waveOutClose(HWAVEOUT handle) {
  if (MMRESULT r = injected(VirtualCall::waveOutClose)) return r;
  OpenWaveOut* device = nullptr;
  {
    std::lock_guard lock(waveOutMutex_);
    device = virtual_card::findOpen(openWaveOuts_, handle);
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    if (device->thread.isCurrent()) return MMSYSERR_ERROR;
    std::lock_guard deviceLock(device->mutex);
    if (!device->queue.empty()) return WAVERR_STILLPLAYING;
    device->closing = true;
    device->wake.notify_all();
    std::erase(openWaveOuts_, device);
    --openOutputs_;
  }
  // The close notification has been delivered when the call returns.
  device->thread.join();
  delete device;
  return MMSYSERR_NOERROR;
}

void VirtualDriver::failWaveOuts(MMRESULT result, const std::string& reason) {
  std::lock_guard lock(waveOutMutex_);
  for (OpenWaveOut* device : openWaveOuts_) {
    std::lock_guard deviceLock(device->mutex);
    virtual_card::askToFail(*device, result, reason);
  }
}

VirtualDriver::WaveOutReaper::~WaveOutReaper() {
  // No fault injection here: every device still open is emptied and closed.
  std::vector<OpenWaveOut*> left;
  {
    std::lock_guard lock(driver->waveOutMutex_);
    left.swap(driver->openWaveOuts_);
  }
  for (OpenWaveOut* device : left) {
    {
      std::lock_guard lock(device->mutex);
      // The device is gone with the card: it fails as an unplugged one does, and closes.
      virtual_card::askToFail(*device, MMSYSERR_NODRIVER, "the sound card went away");
      device->resetting = true;
      device->closing = true;
      device->wake.notify_all();
    }
    device->thread.join();
    --driver->openOutputs_;
    delete device;
  }
}

namespace {
// The device number stands in for a handle here; WAVE_MAPPER is the first device.
UINT volumeDevice(UINT_PTR deviceId) { return static_cast<UINT>(deviceId); }
}  // namespace

MMRESULT VirtualDriver::waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) {
  if (MMRESULT r = injected(VirtualCall::waveOutGetVolume)) return r;
  size_t index = 0;
  if (!resolveDevice(volumeDevice(deviceId), card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (!(card_.outputs[index].support & WAVECAPS_VOLUME)) return MMSYSERR_NOTSUPPORTED;
  if (volume == nullptr) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(outVolumeMutex_);
  *volume = outVolume_[index];
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutSetVolume(UINT_PTR deviceId, DWORD volume) {
  if (MMRESULT r = injected(VirtualCall::waveOutSetVolume)) return r;
  size_t index = 0;
  if (!resolveDevice(volumeDevice(deviceId), card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  const VirtualWaveDevice& device = card_.outputs[index];
  if (!(device.support & WAVECAPS_VOLUME)) return MMSYSERR_NOTSUPPORTED;
  // A device that does not follow accepts the call and keeps its volume.
  if (!device.volumeFollows) return MMSYSERR_NOERROR;
  // Without separate left and right volumes the left value sets both.
  if (!(device.support & WAVECAPS_LRVOLUME)) volume = (volume & 0xFFFF) * 0x10001u;
  std::lock_guard lock(outVolumeMutex_);
  outVolume_[index] = volume;
  return MMSYSERR_NOERROR;
}

DWORD VirtualDriver::outputVolume(UINT device) const {
  std::lock_guard lock(outVolumeMutex_);
  return device < outVolume_.size() ? outVolume_[device] : 0;
}

std::vector<std::vector<char>> VirtualDriver::playedBlocks(UINT device) const {
  std::lock_guard lock(playedMutex_);
  return device < played_.size() ? played_[device] : std::vector<std::vector<char>>{};
}

void VirtualDriver::clearPlayed() {
  std::lock_guard lock(playedMutex_);
  played_.clear();
}
