// Dispatch of the multimedia service to the installed driver, the driver choice at
// start, and the service's texts for result codes.
#include "mmsystem.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "alsa_driver.h"
#include "driver.h"
#include "virtual_driver.h"

namespace {

std::unique_ptr<Driver> installed;
std::once_flag chosen;

// Copies `text` into a caller's area of `cch` characters, always terminated.
MMRESULT copyText(const std::string& text, LPSTR out, UINT cch) {
  if (out == nullptr || cch == 0) return MMSYSERR_INVALPARAM;
  const size_t n = std::min<size_t>(text.size(), cch - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return MMSYSERR_NOERROR;
}

MMRESULT errorText(MMRESULT error, LPSTR out, UINT cch) {
  std::string text = mmsystem::driver().lastErrorText(error);
  if (text.empty()) text = mmsystem::resultText(error);
  if (text.empty()) {
    copyText({}, out, cch);
    return MMSYSERR_BADERRNUM;
  }
  return copyText(text, out, cch);
}

}  // namespace

namespace mmsystem {

Driver& driver() {
  std::call_once(chosen, [] {
    if (!installed) installed = chooseDriver();
  });
  return *installed;
}

std::unique_ptr<Driver> installDriver(std::unique_ptr<Driver> driver) {
  // Without a driver every later call would have nothing to go to: the one in place stays.
  if (!driver) return nullptr;
  std::call_once(chosen, [] {});
  std::unique_ptr<Driver> previous = std::move(installed);
  installed = std::move(driver);
  return previous;
}

std::unique_ptr<Driver> chooseDriver() {
  const char* forced = std::getenv("TESSARON_AUDIO");
  if (forced != nullptr && std::strcmp(forced, "virtual") == 0) return std::make_unique<VirtualDriver>();
  if (forced != nullptr && std::strcmp(forced, "alsa") == 0) return std::make_unique<AlsaDriver>();
  if (AlsaDriver::available()) return std::make_unique<AlsaDriver>();
  return std::make_unique<VirtualDriver>();
}

const char* resultText(MMRESULT error) {
  switch (error) {
    case MMSYSERR_NOERROR: return "The operation succeeded.";
    case MMSYSERR_ERROR: return "The sound system reported an unspecified error.";
    case MMSYSERR_BADDEVICEID: return "There is no sound device with this number.";
    case MMSYSERR_NOTENABLED: return "The sound driver is not enabled.";
    case MMSYSERR_ALLOCATED:
      return "The sound device is busy: another program or another part of this one is using it.";
    case MMSYSERR_INVALHANDLE: return "The sound device handle is not valid.";
    case MMSYSERR_NODRIVER: return "No sound driver is installed.";
    case MMSYSERR_NOMEM: return "There is not enough memory for the sound device.";
    case MMSYSERR_NOTSUPPORTED: return "The sound device does not support this function.";
    case MMSYSERR_BADERRNUM: return "The error number is unknown.";
    case MMSYSERR_INVALFLAG: return "A flag passed to the sound system is not valid.";
    case MMSYSERR_INVALPARAM: return "A value passed to the sound system is not valid.";
    case WAVERR_BADFORMAT: return "The sound device does not support this recording or playback format.";
    case WAVERR_STILLPLAYING: return "The sound device is still busy with queued blocks.";
    case WAVERR_UNPREPARED: return "The block was not prepared for the sound device.";
    case MIXERR_INVALLINE: return "The mixer line does not exist.";
    case MIXERR_INVALCONTROL: return "The mixer control does not exist.";
    case MIXERR_INVALVALUE: return "The value is out of range for this mixer control.";
    default: return "";
  }
}

}  // namespace mmsystem

#define FORWARD(call, ...) return mmsystem::driver().call(__VA_ARGS__)

UINT waveInGetNumDevs() { FORWARD(waveInGetNumDevs); }
MMRESULT waveInGetDevCaps(UINT_PTR id, WAVEINCAPSA* caps, UINT cb) { FORWARD(waveInGetDevCaps, id, caps, cb); }
MMRESULT waveInOpen(HWAVEIN* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
  FORWARD(waveInOpen, h, id, f, cb, inst, flags);
}
MMRESULT waveInPrepareHeader(HWAVEIN h, WAVEHDR* hdr, UINT cb) { FORWARD(waveInPrepareHeader, h, hdr, cb); }
MMRESULT waveInAddBuffer(HWAVEIN h, WAVEHDR* hdr, UINT cb) { FORWARD(waveInAddBuffer, h, hdr, cb); }
MMRESULT waveInStart(HWAVEIN h) { FORWARD(waveInStart, h); }
MMRESULT waveInReset(HWAVEIN h) { FORWARD(waveInReset, h); }
MMRESULT waveInUnprepareHeader(HWAVEIN h, WAVEHDR* hdr, UINT cb) { FORWARD(waveInUnprepareHeader, h, hdr, cb); }
MMRESULT waveInClose(HWAVEIN h) { FORWARD(waveInClose, h); }
MMRESULT waveInGetErrorTextA(MMRESULT error, LPSTR text, UINT cch) { return errorText(error, text, cch); }

UINT waveOutGetNumDevs() { FORWARD(waveOutGetNumDevs); }
MMRESULT waveOutGetDevCapsA(UINT_PTR id, WAVEOUTCAPSA* caps, UINT cb) { FORWARD(waveOutGetDevCapsA, id, caps, cb); }
MMRESULT waveOutOpen(HWAVEOUT* h, UINT id, const WAVEFORMATEX* f, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
  FORWARD(waveOutOpen, h, id, f, cb, inst, flags);
}
MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* hdr, UINT cb) { FORWARD(waveOutPrepareHeader, h, hdr, cb); }
MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* hdr, UINT cb) { FORWARD(waveOutWrite, h, hdr, cb); }
MMRESULT waveOutReset(HWAVEOUT h) { FORWARD(waveOutReset, h); }
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* hdr, UINT cb) { FORWARD(waveOutUnprepareHeader, h, hdr, cb); }
MMRESULT waveOutClose(HWAVEOUT h) { FORWARD(waveOutClose, h); }
MMRESULT waveOutGetVolume(UINT_PTR id, DWORD* volume) { FORWARD(waveOutGetVolume, id, volume); }
MMRESULT waveOutSetVolume(UINT_PTR id, DWORD volume) { FORWARD(waveOutSetVolume, id, volume); }
MMRESULT waveOutGetErrorTextA(MMRESULT error, LPSTR text, UINT cch) { return errorText(error, text, cch); }

UINT mixerGetNumDevs() { FORWARD(mixerGetNumDevs); }
MMRESULT mixerGetDevCapsA(UINT_PTR id, MIXERCAPSA* caps, UINT cb) { FORWARD(mixerGetDevCapsA, id, caps, cb); }
MMRESULT mixerOpen(HMIXER* h, UINT id, DWORD_PTR cb, DWORD_PTR inst, DWORD flags) {
  FORWARD(mixerOpen, h, id, cb, inst, flags);
}
MMRESULT mixerGetLineInfoA(HMIXEROBJ h, MIXERLINEA* line, DWORD flags) { FORWARD(mixerGetLineInfoA, h, line, flags); }
MMRESULT mixerGetLineControlsA(HMIXEROBJ h, MIXERLINECONTROLSA* c, DWORD flags) {
  FORWARD(mixerGetLineControlsA, h, c, flags);
}
MMRESULT mixerGetControlDetailsA(HMIXEROBJ h, MIXERCONTROLDETAILS* d, DWORD flags) {
  FORWARD(mixerGetControlDetailsA, h, d, flags);
}
MMRESULT mixerSetControlDetails(HMIXEROBJ h, MIXERCONTROLDETAILS* d, DWORD flags) {
  FORWARD(mixerSetControlDetails, h, d, flags);
}
MMRESULT mixerClose(HMIXER h) { FORWARD(mixerClose, h); }
