// What the multimedia service knows of one driver's open devices: every wave-in, wave-out
// and mixer handle from its successful open to its close, and for each wave device the
// headers prepared for it and whether the device holds them. The service checks each call
// against this record before the driver sees it, and keeps the header flags (prepared,
// queued, done) that the caller reads. It goes with the driver it describes
// (InstalledDriver, driver.h), so that notifications of devices the driver closes as it
// goes away still find it.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "mmsystem/mmsystem.h"

namespace mmsystem {

class OpenHandles {
 public:
  enum class Kind { WaveIn, WaveOut, Mixer };

  // One open device, or one being opened: how its caller asked to be notified and, for a
  // wave device, the headers prepared for it. The headers and the closing mark are guarded
  // by the record's lock; the rest is fixed at creation.
  struct Device {
    struct Header {
      WAVEHDR* header;
      bool queued;  // handed to the device and not yet handed back
    };
    Device(OpenHandles& owner, Kind kind, DWORD_PTR callback, DWORD_PTR instance)
        : owner(owner), kind(kind), callback(callback), instance(instance) {}

    OpenHandles& owner;
    const Kind kind;
    const DWORD_PTR callback;  // the caller's function, 0 for none
    const DWORD_PTR instance;
    const void* handle = nullptr;
    std::vector<Header> headers;
    bool closing = false;

    Header* find(const WAVEHDR* header);
  };

  // A device about to be opened; it counts as open only once opened() has recorded it.
  std::unique_ptr<Device> make(Kind kind, DWORD_PTR callback, DWORD_PTR instance);
  void opened(std::unique_ptr<Device> device, const void* handle);
  // The open device of `kind` behind `handle`; null when the handle was never opened,
  // has been closed, is being closed, or belongs to a device of another kind.
  Device* find(const void* handle, Kind kind);

  // Before a prepare: WAVERR_STILLPLAYING while the device holds `header`,
  // MMSYSERR_INVALPARAM when it is prepared for another open device; otherwise it is
  // recorded as prepared for `device` and flagged so, and `added` says whether it was new.
  MMRESULT prepare(Device& device, WAVEHDR* header, bool& added);
  // Before an unprepare: the same refusals as prepare, nothing changed.
  MMRESULT checkUnprepare(Device& device, WAVEHDR* header);
  // After an unprepare (or a new prepare the driver refused): no longer prepared.
  void unprepared(Device& device, WAVEHDR* header);
  // Before an add or write: WAVERR_UNPREPARED unless prepared for `device`,
  // WAVERR_STILLPLAYING while the device holds it; otherwise it is marked queued, and
  // `flags` keeps the flags it had before.
  MMRESULT queue(Device& device, WAVEHDR* header, DWORD& flags);
  // The driver refused the header just queued: back to `flags` and not queued.
  void unqueue(Device& device, WAVEHDR* header, DWORD flags);
  // The device hands `header` back (data or done notification): done, not queued.
  void handedBack(Device& device, WAVEHDR* header);
  // Before a close: WAVERR_STILLPLAYING while the device holds a header; otherwise the
  // device is marked closing, so that no further call reaches it meanwhile.
  MMRESULT beginClose(Device& device);
  // After the driver's close: a closed device is forgotten, one that stayed open is
  // open as before.
  void endClose(Device& device, bool closed);

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Device>> devices_;  // open, being closed
};

}  // namespace mmsystem
