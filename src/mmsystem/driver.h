// The abstract sound system behind the multimedia service. Every function of
// mmsystem.h is forwarded to the one driver installed at start; a driver implements
// the same contract (result codes, callbacks on a service thread of its own, change
// messages posted to the mixer's notification target).
#pragma once

#include <memory>
#include <string>

#include "mmsystem.h"

class Driver {
 public:
  virtual ~Driver() = default;

  // Short name, said on standard error at start ("virtual", "alsa").
  virtual const char* name() const = 0;

  virtual UINT waveInGetNumDevs() = 0;
  virtual MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps) = 0;
  virtual MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                              DWORD_PTR instance, DWORD flags) = 0;
  virtual MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) = 0;
  virtual MMRESULT waveInStart(HWAVEIN handle) = 0;
  // Returns every queued header (bytes recorded so far, done flag set) and comes back
  // only when no callback of this device is running any more.
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

  // Overruns (input) recovered on an open wave-in device since it was opened.
  virtual DWORD waveInOverruns(HWAVEIN handle) {
    (void)handle;
    return 0;
  }
};

namespace mmsystem {

// The installed driver; installs the one the environment asks for on first use.
Driver& driver();

// Replaces the driver (tests, and the program at start). Returns the previous one (nullptr
// when none was installed yet). A null driver is refused: the installed one stays and the
// result is nullptr.
std::unique_ptr<Driver> installDriver(std::unique_ptr<Driver> driver);

// TESSARON_AUDIO=alsa|virtual forces a driver; otherwise ALSA when it has a card or
// its default capture device opens, else the virtual sound card.
std::unique_ptr<Driver> chooseDriver();

// The service's own text for a result code.
const char* resultText(MMRESULT error);

}  // namespace mmsystem
