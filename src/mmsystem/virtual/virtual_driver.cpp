// The virtual sound card: its default configuration, fault injection, and each call
// handed to the wave inputs, wave outputs or mixers (virtual_wave_in.cpp,
// virtual_wave_out.cpp, virtual_mixer.cpp). The service has checked every call first.
#include "mmsystem/virtual/virtual_driver.h"

#include <cstdlib>
#include <cstring>

VirtualCard VirtualCard::defaultCard() {
  VirtualCard card;
  VirtualWaveDevice device;
  device.name = "Virtual Sound Card";
  card.inputs.push_back(device);
  card.outputs.push_back(device);

  VirtualMixer mixer;
  mixer.name = "Virtual Mixer";
  VirtualDestination playback;
  playback.line = {.name = "Playback", .initialVolume = 52428};
  playback.sources.push_back({.name = "Wave", .initialVolume = 52428});
  playback.sources.push_back({.name = "Line In", .initialVolume = 32768});
  VirtualDestination recording;
  recording.line = {.name = "Recording", .peak = true, .feedsInput = true, .initialVolume = 65535};
  recording.sources.push_back({.name = "Line In", .peak = true, .feedsInput = true, .initialVolume = 65535});
  recording.sources.push_back({.name = "Microphone", .channels = 1, .peak = true, .initialVolume = 32768});
  // The recording line comes first: the level control's first line and the first mixer
  // meter are then capture lines, never the speakers.
  mixer.destinations.push_back(std::move(recording));
  mixer.destinations.push_back(std::move(playback));
  card.mixers.push_back(std::move(mixer));

  if (const char* file = std::getenv("TESSARON_VIRTUAL_INPUT"); file != nullptr && *file != '\0') {
    card.inputFile = file;
  }
  return card;
}

VirtualDriver::VirtualDriver() : VirtualDriver(VirtualCard::defaultCard()) {}

VirtualDriver::VirtualDriver(VirtualCard card) : card_(std::move(card)) {}

VirtualDriver::~VirtualDriver() = default;

void VirtualDriver::failNext(VirtualCall call, MMRESULT result) {
  std::lock_guard lock(faultMutex_);
  nextFault_[call] = result;
}

void VirtualDriver::failAlways(VirtualCall call, MMRESULT result) {
  std::lock_guard lock(faultMutex_);
  if (result == MMSYSERR_NOERROR) {
    alwaysFault_.erase(call);
  } else {
    alwaysFault_[call] = result;
  }
}

void VirtualDriver::failOpenDevices(MMRESULT result, const std::string& reason) {
  waveInputs_.fail(result, reason);
  waveOutputs_.fail(result, reason);
}

void VirtualDriver::pauseInputs(bool paused) { waveInputs_.pause(paused); }
void VirtualDriver::loseInputFrames(DWORD frames) { waveInputs_.lose(frames); }

void VirtualDriver::setVolumeFromOutside(UINT mixer, DWORD destination, DWORD source, WORD left, WORD right) {
  mixers_.setVolumeFromOutside(mixer, destination, source, left, right);
}
void VirtualDriver::setMuteFromOutside(UINT mixer, DWORD destination, DWORD source, bool muted) {
  mixers_.setMuteFromOutside(mixer, destination, source, muted);
}
std::vector<WORD> VirtualDriver::lineVolume(UINT mixer, DWORD destination, DWORD source) const {
  return mixers_.lineVolume(mixer, destination, source);
}
bool VirtualDriver::lineMuted(UINT mixer, DWORD destination, DWORD source) const {
  return mixers_.lineMuted(mixer, destination, source);
}

namespace virtual_card {

namespace {

// The last failure of the calling thread that has a text of its own, and the part of the
// card that had it.
struct LastFailure {
  const void* owner = nullptr;
  MMRESULT code = MMSYSERR_NOERROR;
  std::string text;
};
thread_local LastFailure lastFailure;

}  // namespace

MMRESULT failWithText(const void* owner, MMRESULT code, std::string text) {
  lastFailure = {owner, code, std::move(text)};
  return code;
}

std::string failureText(const void* owner, MMRESULT code) {
  if (code == MMSYSERR_NOERROR || lastFailure.owner != owner || lastFailure.code != code) return {};
  return lastFailure.text;
}

void forgetFailure() { lastFailure = {}; }

}  // namespace virtual_card

std::string VirtualDriver::lastErrorText(MMRESULT error) { return waveInputs_.failureText(error); }

MMRESULT VirtualDriver::injected(VirtualCall call) {
  // Every call starts here: a failure of an earlier call no longer speaks for this one.
  virtual_card::forgetFailure();
  std::lock_guard lock(faultMutex_);
  if (auto it = nextFault_.find(call); it != nextFault_.end()) {
    const MMRESULT result = it->second;
    nextFault_.erase(it);
    return result;
  }
  if (auto it = alwaysFault_.find(call); it != alwaysFault_.end()) return it->second;
  return MMSYSERR_NOERROR;
}

UINT VirtualDriver::waveInGetNumDevs() { return waveInputs_.count(); }
UINT VirtualDriver::waveOutGetNumDevs() { return waveOutputs_.count(); }
UINT VirtualDriver::mixerGetNumDevs() { return mixers_.count(); }

MMRESULT VirtualDriver::waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveInGetDevCaps)) return r;
  return waveInputs_.caps(static_cast<UINT>(deviceId), *caps);
}

MMRESULT VirtualDriver::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                   DWORD_PTR instance, DWORD) {
  if (MMRESULT r = injected(VirtualCall::waveInOpen)) return r;
  return waveInputs_.open(handle, deviceId, *format, reinterpret_cast<WaveInProc>(callback), instance,
                          busyOtherWay(waveOutputs_.openCount()));
}

MMRESULT VirtualDriver::waveInPrepareHeader(HWAVEIN, WAVEHDR*, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveInPrepareHeader)) return r;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveInAddBuffer)) return r;
  waveInputs_.addBuffer(handle, *header);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveInStart(HWAVEIN handle) {
  if (MMRESULT r = injected(VirtualCall::waveInStart)) return r;
  return waveInputs_.start(handle);
}

MMRESULT VirtualDriver::waveInReset(HWAVEIN handle) {
  if (MMRESULT r = injected(VirtualCall::waveInReset)) return r;
  waveInputs_.reset(handle);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveInUnprepareHeader(HWAVEIN, WAVEHDR*, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveInUnprepareHeader)) return r;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveInClose(HWAVEIN handle) {
  if (MMRESULT r = injected(VirtualCall::waveInClose)) return r;
  waveInputs_.close(handle);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveOutGetDevCapsA)) return r;
  return waveOutputs_.caps(static_cast<UINT>(deviceId), *caps);
}

MMRESULT VirtualDriver::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                    DWORD_PTR instance, DWORD) {
  if (MMRESULT r = injected(VirtualCall::waveOutOpen)) return r;
  return waveOutputs_.open(handle, deviceId, *format, reinterpret_cast<WaveOutProc>(callback), instance,
                           busyOtherWay(waveInputs_.openCount()));
}

MMRESULT VirtualDriver::waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveOutPrepareHeader)) return r;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveOutWrite)) return r;
  waveOutputs_.write(handle, *header);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutReset(HWAVEOUT handle) {
  if (MMRESULT r = injected(VirtualCall::waveOutReset)) return r;
  waveOutputs_.reset(handle);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) {
  if (MMRESULT r = injected(VirtualCall::waveOutUnprepareHeader)) return r;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutClose(HWAVEOUT handle) {
  if (MMRESULT r = injected(VirtualCall::waveOutClose)) return r;
  waveOutputs_.close(handle);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) {
  if (MMRESULT r = injected(VirtualCall::waveOutGetVolume)) return r;
  return waveOutputs_.getVolume(static_cast<UINT>(deviceId), *volume);
}

MMRESULT VirtualDriver::waveOutSetVolume(UINT_PTR deviceId, DWORD volume) {
  if (MMRESULT r = injected(VirtualCall::waveOutSetVolume)) return r;
  return waveOutputs_.setVolume(static_cast<UINT>(deviceId), volume);
}

MMRESULT VirtualDriver::mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT) {
  if (MMRESULT r = injected(VirtualCall::mixerGetDevCapsA)) return r;
  mixers_.caps(static_cast<UINT>(deviceId), *caps);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerOpen)) return r;
  const bool window = (flags & CALLBACK_TYPEMASK) == CALLBACK_WINDOW;
  return mixers_.open(handle, deviceId, window ? reinterpret_cast<HWND>(callback) : nullptr);
}

MMRESULT VirtualDriver::mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerGetLineInfoA)) return r;
  return mixers_.lineInfo(handle, *line, flags);
}

MMRESULT VirtualDriver::mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD) {
  if (MMRESULT r = injected(VirtualCall::mixerGetLineControlsA)) return r;
  return mixers_.lineControls(handle, *controls);
}

MMRESULT VirtualDriver::mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD) {
  if (MMRESULT r = injected(VirtualCall::mixerGetControlDetailsA)) return r;
  return mixers_.getDetails(handle, *details);
}

MMRESULT VirtualDriver::mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD) {
  if (MMRESULT r = injected(VirtualCall::mixerSetControlDetails)) return r;
  return mixers_.setDetails(handle, *details);
}

MMRESULT VirtualDriver::mixerClose(HMIXER handle) {
  if (MMRESULT r = injected(VirtualCall::mixerClose)) return r;
  mixers_.close(handle);
  return MMSYSERR_NOERROR;
}
