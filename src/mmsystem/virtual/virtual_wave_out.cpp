// Wave outputs of the virtual sound card: the devices' service threads playing the
// queued blocks, reset, close, failures, the output volume and what was played.
#include "mmsystem/virtual/virtual_wave_out.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <optional>

#include "mmsystem/service_thread.h"

namespace virtual_card {

struct WaveOutputs::Device : HWAVEOUT__ {
  size_t device = 0;
  std::string name;
  WAVEFORMATEX format{};
  WaveOutProc callback = nullptr;
  DWORD_PTR instance = 0;

  std::mutex mutex;
  std::condition_variable wake;
  std::deque<WAVEHDR*> queue;  // written, not yet done; the front one is playing
  bool resetting = false;      // hand queued blocks back unplayed
  bool closing = false;
  int inCallback = 0;  // notifications running (one may raise another through a reset)
  // A failure to report (failOpenDevices); once reported the device stays failed and
  // plays nothing more: blocks written afterwards wait for a reset.
  std::optional<DeviceFailure> failure;
  bool failed = false;
  ServiceThread thread;

  void notify(UINT msg, DWORD_PTR param1, DWORD_PTR param2 = 0) { callback(this, msg, instance, param1, param2); }
  // Raises a notification with the device's lock released, marked as in progress for reset.
  void notifyUnlocked(std::unique_lock<std::mutex>& lock, UINT msg, DWORD_PTR param1, DWORD_PTR param2 = 0) {
    ++inCallback;
    lock.unlock();
    notify(msg, param1, param2);
    lock.lock();
    --inCallback;
    wake.notify_all();
  }
};

WaveOutputs::WaveOutputs(const VirtualCard& card) : card_(card), volume_(card.outputs.size(), 0xFFFFFFFFu) {}

WaveOutputs::~WaveOutputs() {
  for (const std::unique_ptr<Device>& device : open_.takeAll()) {
    {
      std::lock_guard lock(device->mutex);
      // The device is gone with the card: it fails as an unplugged one does, and closes.
      askToFail(*device, MMSYSERR_NODRIVER, "the sound card went away");
      device->resetting = true;
      device->closing = true;
      device->wake.notify_all();
    }
    device->thread.join();
  }
}

void WaveOutputs::returnQueued(Device& device, std::unique_lock<std::mutex>& lock) {
  while (!device.queue.empty()) {
    WAVEHDR* header = device.queue.front();
    device.queue.pop_front();
    device.notifyUnlocked(lock, WOM_DONE, reinterpret_cast<DWORD_PTR>(header));
  }
}

void WaveOutputs::run(Device& device) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point streamClock = Clock::now();
  std::unique_lock lock(device.mutex);
  for (;;) {
    if (device.failure) {
      // Every queued block comes back unplayed, then the error.
      const DeviceFailure failure = std::move(*device.failure);
      device.failure.reset();
      device.failed = true;
      returnQueued(device, lock);
      device.notifyUnlocked(lock, WOM_ERROR, failure.result, reinterpret_cast<DWORD_PTR>(failure.text.c_str()));
      continue;
    }
    if (device.queue.empty() || (device.failed && !device.resetting)) {
      if (device.closing) break;
      device.wake.wait(lock);
      continue;
    }
    WAVEHDR* header = device.queue.front();
    bool played = false;
    if (!device.resetting) {
      if (card_.pacing == VirtualPacing::RealTime) {
        const auto duration =
            std::chrono::duration<double>(static_cast<double>(header->dwBufferLength) / device.format.nAvgBytesPerSec);
        streamClock = std::max(streamClock, Clock::now()) + std::chrono::duration_cast<Clock::duration>(duration);
        device.wake.wait_until(lock, streamClock, [&] { return device.resetting || device.failure; });
      }
      if (device.failure) continue;  // the block comes back unplayed with the others
      played = !device.resetting;
    }
    device.queue.pop_front();
    if (played) {
      std::lock_guard playedLock(playedMutex_);
      if (played_.size() <= device.device) played_.resize(device.device + 1);
      played_[device.device].emplace_back(header->lpData, header->lpData + header->dwBufferLength);
    } else {
      streamClock = Clock::now();  // a reset restarts the clock
    }
    device.notifyUnlocked(lock, WOM_DONE, reinterpret_cast<DWORD_PTR>(header));
  }
  lock.unlock();
  device.notify(WOM_CLOSE, 0);
}

MMRESULT WaveOutputs::caps(UINT device, WAVEOUTCAPSA& caps) const {
  size_t index = 0;
  if (!resolveDevice(device, card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  std::memset(&caps, 0, sizeof caps);
  copyName(caps.szPname, sizeof caps.szPname, card_.outputs[index].name);
  caps.dwFormats = card_.outputs[index].formats;
  caps.dwSupport = card_.outputs[index].support;
  caps.wChannels = 2;
  caps.vDriverVersion = 0x0100;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutputs::open(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX& format, WaveOutProc callback,
                           DWORD_PTR instance, bool busy) {
  size_t index = 0;
  if (!resolveDevice(deviceId, card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (card_.outputs[index].refuses && card_.outputs[index].refuses(format)) return WAVERR_BADFORMAT;
  if (busy) return MMSYSERR_ALLOCATED;
  auto opened = std::make_unique<Device>();
  opened->device = index;
  opened->name = card_.outputs[index].name;
  opened->format = format;
  opened->callback = callback;
  opened->instance = instance;
  Device* device = open_.add(std::move(opened));
  *handle = device;
  device->thread.start([device] { device->notify(WOM_OPEN, 0); }, [this, device] { run(*device); });
  return MMSYSERR_NOERROR;
}

void WaveOutputs::write(HWAVEOUT handle, WAVEHDR& header) {
  auto* device = static_cast<Device*>(handle);
  std::lock_guard lock(device->mutex);
  device->queue.push_back(&header);
  device->wake.notify_all();
}

void WaveOutputs::reset(HWAVEOUT handle) {
  auto* device = static_cast<Device*>(handle);
  std::unique_lock lock(device->mutex);
  if (device->thread.isCurrent()) {
    // From inside one of the device's own notifications: the blocks come back right here.
    returnQueued(*device, lock);
    return;
  }
  // Every queued block comes back (unplayed) through the done notification; the call
  // returns when no block is queued and no notification of the device is running.
  device->resetting = true;
  device->wake.notify_all();
  device->wake.wait(lock, [&] { return device->queue.empty() && device->inCallback == 0; });
  device->resetting = false;
}

void WaveOutputs::close(HWAVEOUT handle) {
  auto* device = static_cast<Device*>(handle);
  {
    std::lock_guard lock(device->mutex);
    device->closing = true;
    device->wake.notify_all();
  }
  device->thread.join();  // the close notification has been delivered when the call returns
  open_.take(device);
}

void WaveOutputs::fail(MMRESULT result, const std::string& reason) {
  open_.forEach([&](Device& device) {
    std::lock_guard lock(device.mutex);
    askToFail(device, result, reason);
  });
}

MMRESULT WaveOutputs::getVolume(UINT deviceId, DWORD& volume) const {
  size_t index = 0;
  if (!resolveDevice(deviceId, card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (!(card_.outputs[index].support & WAVECAPS_VOLUME)) return MMSYSERR_NOTSUPPORTED;
  std::lock_guard lock(volumeMutex_);
  volume = volume_[index];
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutputs::setVolume(UINT deviceId, DWORD volume) {
  size_t index = 0;
  if (!resolveDevice(deviceId, card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  const VirtualWaveDevice& device = card_.outputs[index];
  if (!(device.support & WAVECAPS_VOLUME)) return MMSYSERR_NOTSUPPORTED;
  // A device that does not follow accepts the call and keeps its volume.
  if (!device.volumeFollows) return MMSYSERR_NOERROR;
  // Without separate left and right volumes the left value sets both.
  if (!(device.support & WAVECAPS_LRVOLUME)) volume = (volume & 0xFFFF) * 0x10001u;
  std::lock_guard lock(volumeMutex_);
  volume_[index] = volume;
  return MMSYSERR_NOERROR;
}

DWORD WaveOutputs::outputVolume(UINT device) const {
  std::lock_guard lock(volumeMutex_);
  return device < volume_.size() ? volume_[device] : 0;
}

std::vector<std::vector<char>> WaveOutputs::playedBlocks(UINT device) const {
  std::lock_guard lock(playedMutex_);
  return device < played_.size() ? played_[device] : std::vector<std::vector<char>>{};
}

void WaveOutputs::clearPlayed() {
  std::lock_guard lock(playedMutex_);
  played_.clear();
}

}  // namespace virtual_card
