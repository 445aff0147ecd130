// Wave inputs of the virtual sound card: the open devices, their service threads and
// pacing, lost input and stalls, and the blocks filled in the opened format from the
// signal (virtual_signal.h) or the input file (virtual_input_file.h).
#include "mmsystem/virtual/virtual_wave_in.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <optional>

#include "mmsystem/service_thread.h"
#include "mmsystem/virtual/virtual_input_file.h"
#include "mmsystem/virtual/virtual_signal.h"
#include "mmsystem/wave_format.h"

namespace virtual_card {

namespace {

using Clock = std::chrono::steady_clock;

// What the card holds while no header is there to take it: a header queued later than
// this after the previous block lost what the card sampled in between.
constexpr Clock::duration kCardBuffer = std::chrono::seconds(2);

Clock::duration durationOf(uint64_t frames, uint32_t rate) {
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(static_cast<double>(frames) / rate));
}

uint64_t framesIn(Clock::duration d, uint32_t rate) {
  return d <= Clock::duration::zero()
             ? 0
             : static_cast<uint64_t>(std::llround(std::chrono::duration<double>(d).count() * rate));
}

Clock::time_point timeFromStamp(DWORD_PTR stamp) {
  return Clock::time_point(Clock::duration(static_cast<Clock::rep>(stamp)));
}

DWORD_PTR stampFromTime(Clock::time_point t) { return static_cast<DWORD_PTR>(t.time_since_epoch().count()); }

void putLE(unsigned char* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

struct WaveInputs::Device : HWAVEIN__ {
  std::string name;
  WAVEFORMATEX format{};
  WaveInProc callback = nullptr;
  DWORD_PTR instance = 0;
  std::shared_ptr<const InputFile> file;

  ServiceThread thread;
  std::mutex mutex;
  std::condition_variable wake;     // the service thread waits here for work
  std::condition_variable settled;  // reset waits here for the service thread
  // Queued headers, linked through lpNext; the queue never allocates.
  WAVEHDR* head = nullptr;
  WAVEHDR* tail = nullptr;
  bool started = false;
  bool quit = false;
  // A failure to report (failOpenDevices); once reported the device stays failed: it
  // delivers nothing more and refuses to start.
  std::optional<DeviceFailure> failure;
  bool failed = false;
  MMRESULT failedResult = MMSYSERR_NOERROR;
  uint64_t resetsAsked = 0;
  uint64_t resetsDone = 0;
  // End of the last delivered block: the earliest start of the next one (real time).
  Clock::time_point nextStart;

  // Signal position in frames; only the service thread touches it.
  uint64_t position = 0;

  // Input lost since the last header handed back (reported with the next one), and the
  // frames the signal skips before its next frame, so that it stays on the wall clock.
  DWORD lostOverruns = 0;
  uint64_t lostFrames = 0;
  uint64_t skipFrames = 0;
  // A stall (pauseInputs): nothing is delivered from pausedAt on; once resumed, the
  // real-time input up to resumedAt is lost.
  bool paused = false;
  bool resumed = false;
  Clock::time_point pausedAt;
  Clock::time_point resumedAt;

  void lose(uint64_t frames) {
    ++lostOverruns;
    lostFrames += frames;
    skipFrames += frames;
  }
  // Real time: a header that came after the card's buffer ran over begins when it was
  // queued; what the card sampled before is lost.
  void catchUp(const WAVEHDR& header) {
    const Clock::time_point queued = timeFromStamp(header.reserved);
    if (queued - nextStart <= kCardBuffer) return;
    lose(framesIn(queued - nextStart, format.nSamplesPerSec));
    nextStart = queued;
  }

  void call(UINT msg, DWORD_PTR param1, DWORD_PTR param2 = 0) { callback(this, msg, instance, param1, param2); }
  WAVEHDR* pop() {
    WAVEHDR* h = head;
    head = h->lpNext;
    if (head == nullptr) tail = nullptr;
    h->lpNext = nullptr;
    return h;
  }
};

MMRESULT WaveInputs::loadInputFile(std::shared_ptr<const InputFile>& file) {
  std::lock_guard lock(fileMutex_);
  if (inputFile_) {
    file = inputFile_;
    return MMSYSERR_NOERROR;
  }
  const std::string& path = card_.inputFile;
  std::string why;
  if (const MMRESULT read = readInputFile(path, inputFile_, why); read != MMSYSERR_NOERROR) {
    // The reason names the file, for the user's message (the error-text calls) and the log.
    std::fprintf(stderr, "tessaron: virtual input file %s: %s\n", path.c_str(), why.c_str());
    return failWithText(this, read, "The virtual sound card's input file \"" + path + "\" " + why + ".");
  }
  file = inputFile_;
  return MMSYSERR_NOERROR;
}

WaveInputs::WaveInputs(const VirtualCard& card, const Mixers& mixers, InputLevel& level)
    : card_(card), mixers_(mixers), level_(level) {}

WaveInputs::~WaveInputs() {
  for (const std::unique_ptr<Device>& device : open_.takeAll()) {
    {
      std::lock_guard lock(device->mutex);
      // The device is gone with the card: it fails as an unplugged one does, and closes.
      askToFail(*device, MMSYSERR_NODRIVER, "the sound card went away");
      ++device->resetsAsked;  // headers queued after an earlier failure
      device->quit = true;
      device->wake.notify_one();
    }
    device->thread.join();
  }
}

MMRESULT WaveInputs::caps(UINT device, WAVEINCAPSA& caps) const {
  size_t index = 0;
  if (!resolveDevice(device, card_.inputs.size(), index)) return MMSYSERR_BADDEVICEID;
  std::memset(&caps, 0, sizeof caps);
  copyName(caps.szPname, sizeof caps.szPname, card_.inputs[index].name);
  caps.dwFormats = card_.inputs[index].formats;
  caps.wChannels = 2;
  caps.vDriverVersion = 0x0100;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveInputs::open(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX& format, WaveInProc callback,
                          DWORD_PTR instance, bool busy) {
  size_t index = 0;
  if (!resolveDevice(deviceId, card_.inputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (card_.inputs[index].refuses && card_.inputs[index].refuses(format)) return WAVERR_BADFORMAT;
  if (busy) return MMSYSERR_ALLOCATED;
  std::shared_ptr<const InputFile> file;
  if (!card_.inputFile.empty()) {
    if (MMRESULT r = loadInputFile(file)) return r;
  }
  auto opened = std::make_unique<Device>();
  opened->name = card_.inputs[index].name;
  opened->format = wavePlainFormat(format);
  opened->callback = callback;
  opened->instance = instance;
  opened->file = std::move(file);
  Device* device = open_.add(std::move(opened));
  *handle = device;
  device->thread.start([device] { device->call(WIM_OPEN, 0); }, [this, device] { run(*device); });
  return MMSYSERR_NOERROR;
}

void WaveInputs::addBuffer(HWAVEIN handle, WAVEHDR& header) {
  auto* device = static_cast<Device*>(handle);
  std::lock_guard lock(device->mutex);
  header.lpNext = nullptr;
  header.reserved = stampFromTime(Clock::now());  // when it was queued
  if (device->tail != nullptr) {
    device->tail->lpNext = &header;
  } else {
    device->head = &header;
  }
  device->tail = &header;
  device->wake.notify_one();
}

MMRESULT WaveInputs::start(HWAVEIN handle) {
  auto* device = static_cast<Device*>(handle);
  std::lock_guard lock(device->mutex);
  if (device->failed) return device->failedResult;
  if (!device->started) {
    device->started = true;
    device->nextStart = Clock::now();
  }
  device->wake.notify_one();
  return MMSYSERR_NOERROR;
}

void WaveInputs::reset(HWAVEIN handle) {
  auto* device = static_cast<Device*>(handle);
  std::unique_lock lock(device->mutex);
  if (device->thread.isCurrent()) {
    // Called from inside one of this device's own callbacks: nothing else can be running,
    // so the headers are handed back right here.
    returnQueuedHeaders(*device, lock);
    return;
  }
  const uint64_t ticket = ++device->resetsAsked;
  device->wake.notify_one();
  device->settled.wait(lock, [&] { return device->resetsDone >= ticket; });
}

void WaveInputs::close(HWAVEIN handle) {
  auto* device = static_cast<Device*>(handle);
  {
    std::lock_guard lock(device->mutex);
    device->quit = true;
    device->wake.notify_one();
  }
  device->thread.join();  // the close notification is the thread's last act
  open_.take(device);
}

void WaveInputs::fail(MMRESULT result, const std::string& reason) {
  open_.forEach([&](Device& device) {
    std::lock_guard lock(device.mutex);
    askToFail(device, result, reason);
  });
}

void WaveInputs::pause(bool paused) {
  const Clock::time_point now = Clock::now();
  open_.forEach([&](Device& device) {
    std::lock_guard lock(device.mutex);
    if (paused == device.paused) return;
    device.paused = paused;
    if (paused) {
      device.pausedAt = now;
    } else {
      device.resumed = true;
      device.resumedAt = now;
      device.wake.notify_one();
    }
  });
}

void WaveInputs::lose(DWORD frames) {
  open_.forEach([&](Device& device) {
    std::lock_guard lock(device.mutex);
    device.lose(frames);
  });
}

void WaveInputs::run(Device& device) {
  const DWORD align = device.format.nBlockAlign;
  const uint32_t rate = device.format.nSamplesPerSec;
  const bool realTime = card_.pacing == VirtualPacing::RealTime;
  std::unique_lock lock(device.mutex);
  while (true) {
    if (device.failure) {
      reportFailure(device, lock);
      continue;
    }
    if (device.resetsDone < device.resetsAsked) {
      const uint64_t asked = device.resetsAsked;
      returnQueuedHeaders(device, lock);
      device.resetsDone = asked;
      device.settled.notify_all();
      continue;
    }
    if (device.quit) break;
    if (device.paused) {
      device.wake.wait(lock);
      continue;
    }
    if (device.resumed) {
      device.resumed = false;
      if (realTime && device.started) resumeAfterStall(device, lock);
      continue;
    }
    if (!device.started || device.head == nullptr) {
      device.wake.wait(lock);
      continue;
    }
    WAVEHDR* header = device.head;
    const DWORD frames = header->dwBufferLength / align;
    if (realTime) {
      // A block is ready when its last frame would have been sampled.
      device.catchUp(*header);
      const auto due = device.nextStart + durationOf(frames, rate);
      if (Clock::now() < due) {
        device.wake.wait_until(lock, due);
        continue;
      }
      device.nextStart = due;
    }
    device.pop();
    handBack(device, *header, frames, lock);
  }
  lock.unlock();
  device.call(WIM_CLOSE, 0);
}

void WaveInputs::reportFailure(Device& device, std::unique_lock<std::mutex>& lock) {
  const DeviceFailure failure = std::move(*device.failure);
  device.failure.reset();
  device.failed = true;
  device.failedResult = failure.result;
  returnQueuedHeaders(device, lock);
  lock.unlock();
  device.call(WIM_ERROR, failure.result, reinterpret_cast<DWORD_PTR>(failure.text.c_str()));
  lock.lock();
}

void WaveInputs::returnQueuedHeaders(Device& device, std::unique_lock<std::mutex>& lock) {
  const DWORD align = device.format.nBlockAlign;
  bool first = true;
  while (device.head != nullptr) {
    WAVEHDR* header = device.pop();
    DWORD frames = 0;
    if (first && device.started && card_.pacing == VirtualPacing::RealTime) {
      // The block being filled keeps what was sampled since it began.
      device.catchUp(*header);
      frames = static_cast<DWORD>(std::min<uint64_t>(
          framesIn(Clock::now() - device.nextStart, device.format.nSamplesPerSec), header->dwBufferLength / align));
    }
    first = false;
    handBack(device, *header, frames, lock);
  }
  device.started = false;
}

void WaveInputs::resumeAfterStall(Device& device, std::unique_lock<std::mutex>& lock) {
  const uint32_t rate = device.format.nSamplesPerSec;
  // The block being filled when the stall began goes back with what was sampled before
  // it (if anything), so that the loss lies between two blocks.
  if (WAVEHDR* header = device.head) {
    device.catchUp(*header);
    const auto frames = static_cast<DWORD>(std::min<uint64_t>(framesIn(device.pausedAt - device.nextStart, rate),
                                                              header->dwBufferLength / device.format.nBlockAlign));
    if (frames > 0) {
      device.nextStart += durationOf(frames, rate);
      device.pop();
      handBack(device, *header, frames, lock);
    }
  }
  // Everything since the last frame handed back was lost with the stall.
  if (device.resumedAt > device.nextStart) device.lose(framesIn(device.resumedAt - device.nextStart, rate));
  device.nextStart = device.resumedAt;
}

void WaveInputs::handBack(Device& device, WAVEHDR& header, DWORD frames, std::unique_lock<std::mutex>& lock) {
  header.dwOverruns = device.lostOverruns;
  header.dwFramesLost = static_cast<DWORD>(std::min<uint64_t>(device.lostFrames, UINT32_MAX));
  device.position += device.skipFrames;
  device.lostOverruns = 0;
  device.lostFrames = 0;
  device.skipFrames = 0;
  lock.unlock();
  fillInput(device, header, frames);
  device.call(WIM_DATA, reinterpret_cast<DWORD_PTR>(&header));
  lock.lock();
}

void WaveInputs::fillInput(Device& device, WAVEHDR& header, DWORD frames) {
  header.dwBytesRecorded = frames * device.format.nBlockAlign;
  if (frames == 0) return;
  const uint32_t rate = device.format.nSamplesPerSec;
  const bool stereo = device.format.nChannels == 2;
  const WaveSample sample = waveSampleOf(device.format).value_or(WaveSample::S16);
  const size_t sampleBytes = waveSampleBytes(sample);
  const std::array<double, 2> gain = mixers_.recordGain();
  const uint64_t start = device.position;
  auto* out = reinterpret_cast<unsigned char*>(header.lpData);
  int32_t peak[2] = {0, 0};

  // Writes one frame in the opened format and keeps the peaks on the 0..32767 scale.
  auto put = [&](DWORD k, int32_t left, int32_t right) {
    if (!stereo) {
      left = (left + right) / 2;
      right = left;
    }
    const int32_t values[2] = {left, right};
    for (int c = 0; c < (stereo ? 2 : 1); ++c) {
      int32_t v = values[c];
      unsigned char* p = out + (static_cast<size_t>(k) * (stereo ? 2 : 1) + c) * sampleBytes;
      switch (sample) {
        case WaveSample::U8:
          v = (v >> 8) + 128;  // the 8-bit sample as a device delivers it
          p[0] = static_cast<unsigned char>(v);
          v = (v - 128) * 256;
          break;
        case WaveSample::S16: putLE(p, static_cast<uint32_t>(v), 2); break;
        case WaveSample::S24: putLE(p, static_cast<uint32_t>(v) << 8, 3); break;
        case WaveSample::S32: putLE(p, static_cast<uint32_t>(v) << 16, 4); break;
        case WaveSample::F32: {
          const float f = static_cast<float>(v) / 32768.0f;
          std::memcpy(p, &f, sizeof f);
          break;
        }
      }
      peak[c] = std::max(peak[c], std::min(std::abs(v), 32767));
    }
  };

  if (device.file) {
    for (DWORD k = 0; k < frames; ++k) {
      const SignalFrame v = device.file->at(start + k, rate, gain);
      put(k, v[0], v[1]);
    }
  } else {
    ToneGenerator tones(start, rate, frames, gain);
    for (DWORD k = 0; k < frames; ++k) {
      const SignalFrame v = tones.next();
      // A mono device hears the left tone.
      put(k, v[0], stereo ? v[1] : v[0]);
    }
  }
  device.position = start + frames;
  level_.set(peak[0], stereo ? peak[1] : peak[0]);
}

}  // namespace virtual_card
