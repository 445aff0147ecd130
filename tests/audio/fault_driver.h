// A driver for testing the component against the contract of lost input and failing
// devices, whatever card lies below: it forwards every call to the driver it derives from
// (the virtual card, ALSA) and, in wave callbacks of its own, counts the input headers
// handed back, marks chosen ones with overruns and lost frames, and lets a device fail
// after a chosen header (an input first hands back its queued headers, as a real device
// does). One open input and one open output at a time.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "mmsystem/driver.h"

namespace fault_test {

template <typename Base>
class FaultDriver : public Base {
 public:
  using Base::Base;

  // Input header number `block` (0 = the first handed back after the open) reports
  // `overruns` overruns and `frames` frames lost right before it.
  void dropoutAt(uint64_t block, DWORD overruns, DWORD frames) {
    std::lock_guard lock(mutex_);
    dropouts_[block] = {overruns, frames};
  }
  // After input header number `block`, the input hands back its queued headers and fails
  // with `code` and `text`; `afterwards` then runs on the service thread.
  void failInputAfter(uint64_t block, MMRESULT code, std::string text, std::function<void()> afterwards = {}) {
    std::lock_guard lock(mutex_);
    input_.failAfter = block;
    input_.code = code;
    input_.text = std::move(text);
    input_.afterwards = std::move(afterwards);
  }
  // After output header number `block` has been played, the output fails.
  void failOutputAfter(uint64_t block, MMRESULT code, std::string text) {
    std::lock_guard lock(mutex_);
    output_.failAfter = block;
    output_.code = code;
    output_.text = std::move(text);
  }
  // Input headers handed back since the input was opened.
  uint64_t inputBlocks() const { return input_.blocks.load(); }

  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override {
    input_.open(callback, instance);
    return Base::waveInOpen(handle, deviceId, format, reinterpret_cast<DWORD_PTR>(&FaultDriver::inputCallback),
                            reinterpret_cast<DWORD_PTR>(this), flags);
  }
  MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags) override {
    output_.open(callback, instance);
    return Base::waveOutOpen(handle, deviceId, format, reinterpret_cast<DWORD_PTR>(&FaultDriver::outputCallback),
                             reinterpret_cast<DWORD_PTR>(this), flags);
  }

 private:
  static constexpr uint64_t kNever = ~uint64_t{0};

  struct Device {
    DWORD_PTR callback = 0;
    DWORD_PTR instance = 0;
    std::atomic<uint64_t> blocks{0};
    bool failed = false;  // service thread only
    uint64_t failAfter = kNever;
    MMRESULT code = MMSYSERR_NOERROR;
    std::string text;
    std::function<void()> afterwards;
    void open(DWORD_PTR cb, DWORD_PTR inst) {
      callback = cb;
      instance = inst;
      blocks = 0;
      failed = false;
    }
    template <typename Proc, typename Handle>
    void forward(Handle handle, UINT msg, DWORD_PTR param1, DWORD_PTR param2) const {
      if (callback != 0) reinterpret_cast<Proc>(callback)(handle, msg, instance, param1, param2);
    }
  };

  static void inputCallback(HWAVEIN handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
    auto* self = reinterpret_cast<FaultDriver*>(instance);
    Device& in = self->input_;
    if (msg != WIM_DATA || in.failed) {
      in.forward<WaveInProc>(handle, msg, param1, param2);
      return;
    }
    const uint64_t block = in.blocks++;
    bool fail = false;
    {
      std::lock_guard lock(self->mutex_);
      auto it = self->dropouts_.find(block);
      if (it != self->dropouts_.end()) {
        auto* header = reinterpret_cast<WAVEHDR*>(param1);
        header->dwOverruns = it->second.first;
        header->dwFramesLost = it->second.second;
      }
      fail = block == in.failAfter;
    }
    in.forward<WaveInProc>(handle, msg, param1, param2);
    if (!fail) return;
    in.failed = true;
    self->Base::waveInReset(handle);  // from its own callback: the headers come back right here
    in.forward<WaveInProc>(handle, WIM_ERROR, in.code, reinterpret_cast<DWORD_PTR>(in.text.c_str()));
    if (in.afterwards) in.afterwards();
  }

  static void outputCallback(HWAVEOUT handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
    auto* self = reinterpret_cast<FaultDriver*>(instance);
    Device& out = self->output_;
    out.forward<WaveOutProc>(handle, msg, param1, param2);
    if (msg != WOM_DONE || out.failed) return;
    const uint64_t block = out.blocks++;
    bool fail = false;
    {
      std::lock_guard lock(self->mutex_);
      fail = block == out.failAfter;
    }
    if (!fail) return;
    out.failed = true;
    out.forward<WaveOutProc>(handle, WOM_ERROR, out.code, reinterpret_cast<DWORD_PTR>(out.text.c_str()));
  }

  std::mutex mutex_;  // the plan: dropouts and the failing header
  std::map<uint64_t, std::pair<DWORD, DWORD>> dropouts_;
  Device input_;
  Device output_;
};

}  // namespace fault_test
