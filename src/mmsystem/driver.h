// The abstract sound system behind the multimedia service. Every function of mmsystem.h
// is forwarded to the one driver installed at start, after the service has checked it: a
// driver sees only handles of its own open devices (of the right kind, not being closed),
// device numbers below its count (or WAVE_MAPPER), format records whose fields agree on a
// sample of wave_format.h, records that are there and large enough, known flags, headers
// prepared for the device they are given to and not held by it, no close while a header
// is held and none from the device's own notification. Wave devices always get a
// notification function of the service's (CALLBACK_FUNCTION), which keeps the header
// flags and passes the notification on; a driver never touches dwFlags. What is left to a
// driver is what only it can know: which formats a device takes, its hardware failures,
// and the lines and controls of its mixers. It raises the open, data/done and close
// notifications on a service thread of its own (service_thread.h), hands every queued
// header back on a reset before the reset returns (also when called from inside its own
// notification), and posts mixer change messages to the mixer's notification target.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "mmsystem/mmsystem.h"

class Driver {
 public:
  virtual ~Driver() = default;

  // Short name, said on standard error at start ("virtual", "alsa", "pulse").
  virtual const char* name() const = 0;
  // What the driver reaches, said beside the name at start (the sound server's name), or
  // an empty string.
  virtual std::string description() const { return {}; }

  // Capability records are passed whole (cbCaps is their full size).
  virtual UINT waveInGetNumDevs() = 0;
  virtual MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps) = 0;
  virtual MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                              DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
  // Hands every queued header back (with the bytes recorded so far) and comes back only
  // when no callback of this device is running any more.
  virtual MMRESULT waveInReset(HWAVEIN handle) = 0;
  virtual MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveInClose(HWAVEIN handle) = 0;

  virtual UINT waveOutGetNumDevs() = 0;
  virtual MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT cbCaps) = 0;
  virtual MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                               DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveOutReset(HWAVEOUT handle) = 0;
  virtual MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveOutClose(HWAVEOUT handle) = 0;
  virtual MMRESULT waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) = 0;
  virtual MMRESULT waveOutSetVolume(UINT_PTR deviceId, DWORD volume) = 0;

  virtual UINT mixerGetNumDevs() = 0;
  virtual MMRESULT mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT cbCaps) = 0;
  virtual MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) = 0;
  virtual MMRESULT mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
  virtual MMRESULT mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  virtual MMRESULT mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  virtual MMRESULT mixerClose(HMIXER handle) = 0;

  // The sound system's own words for the most recent failure that returned `error`,
  // or an empty string when the driver has none (the service then uses its own text).
  virtual std::string lastErrorText(MMRESULT error) {
    (void)error;
    return {};
  }

  // The whole names, where the records' fixed fields may cut them: of wave input
  // `deviceId` (WAVE_MAPPER: the default one) and of a mixer line. MMSYSERR_NOTSUPPORTED
  // when the driver's names always fit the records (the service then gives those).
  virtual MMRESULT waveInDeviceName(UINT deviceId, std::string& name) {
    (void)deviceId;
    (void)name;
    return MMSYSERR_NOTSUPPORTED;
  }
  virtual MMRESULT mixerLineName(HMIXEROBJ handle, DWORD lineId, std::string& name) {
    (void)handle;
    (void)lineId;
    (void)name;
    return MMSYSERR_NOTSUPPORTED;
  }

  // Overruns (input) recovered on an open wave-in device since it was opened.
  virtual DWORD waveInOverruns(HWAVEIN handle) {
    (void)handle;
    return 0;
  }
};

namespace mmsystem {

class OpenHandles;

// A driver together with the service's record of its open devices. The service holds
// the installed one; installDriver hands the previous one back whole, so that the
// devices it still has open keep their record, also while it closes them on its way out
// (the driver goes first, then the record), and so that putting it back installs both.
class InstalledDriver {
 public:
  InstalledDriver();
  InstalledDriver(std::nullptr_t);
  template <typename D>
  InstalledDriver(std::unique_ptr<D> driver) : InstalledDriver(std::unique_ptr<Driver>(std::move(driver))) {}
  InstalledDriver(std::unique_ptr<Driver> driver);
  InstalledDriver(InstalledDriver&& other) noexcept;
  InstalledDriver& operator=(InstalledDriver&& other) noexcept;
  ~InstalledDriver();

  explicit operator bool() const { return driver_ != nullptr; }
  bool operator==(std::nullptr_t) const { return driver_ == nullptr; }
  Driver* get() const { return driver_.get(); }
  // The service's record of the driver's open devices; only the service touches it.
  OpenHandles& openHandles() const { return *handles_; }

 private:
  void release() noexcept;

  std::unique_ptr<OpenHandles> handles_;
  std::unique_ptr<Driver> driver_;
};

// The installed driver; installs the one the environment asks for on first use.
Driver& driver();

// Replaces the driver (tests, and the program at start). Returns the previous one (empty
// when none was installed yet). An empty driver is refused: the installed one stays and
// the result is empty.
InstalledDriver installDriver(InstalledDriver driver);

// The driver the program starts with (driver_choice.cpp, the only place that knows every
// driver): TESSARON_AUDIO=pulse|alsa|virtual forces one; otherwise the sound server when
// one answers, else ALSA when it has a card or its default capture device opens, else the
// virtual sound card.
std::unique_ptr<Driver> chooseDriver();

// The service's own text for a result code.
const char* resultText(MMRESULT error);

}  // namespace mmsystem
