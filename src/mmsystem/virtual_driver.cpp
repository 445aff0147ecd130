// The virtual sound card: its default configuration, device enumeration and fault
// injection. Wave input, wave output and the mixer live in virtual_wave_in.cpp,
// virtual_wave_out.cpp and virtual_mixer.cpp.
#include "virtual_driver.h"

#include <cstdlib>
#include <cstring>

#include "virtual_device.h"

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

VirtualDriver::VirtualDriver(VirtualCard card) : card_(std::move(card)) {
  lineState_.resize(card_.mixers.size());
  for (size_t m = 0; m < card_.mixers.size(); ++m) {
    for (const VirtualDestination& d : card_.mixers[m].destinations) {
      std::vector<LineState> lines;
      auto stateOf = [](const VirtualLine& line) {
        LineState state;
        state.volume.assign(line.channels, line.initialVolume);
        return state;
      };
      lines.push_back(stateOf(d.line));
      for (const VirtualLine& s : d.sources) lines.push_back(stateOf(s));
      lineState_[m].push_back(std::move(lines));
    }
  }
  outVolume_.assign(card_.outputs.size(), 0xFFFFFFFFu);
}

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
  failWaveIns(result, reason);
  failWaveOuts(result, reason);
}

namespace {

// The last failure of the calling thread that has a text of its own, and its driver.
struct LastFailure {
  const VirtualDriver* driver = nullptr;
  MMRESULT code = MMSYSERR_NOERROR;
  std::string text;
};
thread_local LastFailure lastFailure;

}  // namespace

MMRESULT VirtualDriver::failWith(MMRESULT code, std::string text) {
  lastFailure = {this, code, std::move(text)};
  return code;
}

std::string VirtualDriver::lastErrorText(MMRESULT error) {
  if (error == MMSYSERR_NOERROR || lastFailure.driver != this || lastFailure.code != error) return {};
  return lastFailure.text;
}

MMRESULT VirtualDriver::injected(VirtualCall call) {
  // Every call starts here: a failure of an earlier call no longer speaks for this one.
  lastFailure = {};
  std::lock_guard lock(faultMutex_);
  if (auto it = nextFault_.find(call); it != nextFault_.end()) {
    const MMRESULT result = it->second;
    nextFault_.erase(it);
    return result;
  }
  if (auto it = alwaysFault_.find(call); it != alwaysFault_.end()) return it->second;
  return MMSYSERR_NOERROR;
}

bool VirtualDriver::resolveDevice(UINT deviceId, size_t count, size_t& index) {
  if (deviceId == WAVE_MAPPER) {
    if (count == 0) return false;
    index = 0;
    return true;
  }
  if (deviceId >= count) return false;
  index = deviceId;
  return true;
}

UINT VirtualDriver::waveInGetNumDevs() { return static_cast<UINT>(card_.inputs.size()); }
UINT VirtualDriver::waveOutGetNumDevs() { return static_cast<UINT>(card_.outputs.size()); }
UINT VirtualDriver::mixerGetNumDevs() { return static_cast<UINT>(card_.mixers.size()); }

MMRESULT VirtualDriver::waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps) {
  if (MMRESULT r = injected(VirtualCall::waveInGetDevCaps)) return r;
  size_t index = 0;
  if (!resolveDevice(static_cast<UINT>(deviceId), card_.inputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (caps == nullptr || cbCaps < sizeof(WAVEINCAPSA)) return MMSYSERR_INVALPARAM;
  std::memset(caps, 0, sizeof(*caps));
  virtual_card::copyName(caps->szPname, sizeof(caps->szPname), card_.inputs[index].name);
  caps->dwFormats = card_.inputs[index].formats;
  caps->wChannels = 2;
  caps->vDriverVersion = 0x0100;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT cbCaps) {
  if (MMRESULT r = injected(VirtualCall::waveOutGetDevCapsA)) return r;
  size_t index = 0;
  if (!resolveDevice(static_cast<UINT>(deviceId), card_.outputs.size(), index)) return MMSYSERR_BADDEVICEID;
  if (caps == nullptr || cbCaps < sizeof(WAVEOUTCAPSA)) return MMSYSERR_INVALPARAM;
  std::memset(caps, 0, sizeof(*caps));
  virtual_card::copyName(caps->szPname, sizeof(caps->szPname), card_.outputs[index].name);
  caps->dwFormats = card_.outputs[index].formats;
  caps->dwSupport = card_.outputs[index].support;
  caps->wChannels = 2;
  caps->vDriverVersion = 0x0100;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT cbCaps) {
  if (MMRESULT r = injected(VirtualCall::mixerGetDevCapsA)) return r;
  if (deviceId >= card_.mixers.size()) return MMSYSERR_BADDEVICEID;
  if (caps == nullptr || cbCaps < sizeof(MIXERCAPSA)) return MMSYSERR_INVALPARAM;
  std::memset(caps, 0, sizeof(*caps));
  virtual_card::copyName(caps->szPname, sizeof(caps->szPname), card_.mixers[deviceId].name);
  caps->cDestinations = static_cast<DWORD>(card_.mixers[deviceId].destinations.size());
  caps->vDriverVersion = 0x0100;
  return MMSYSERR_NOERROR;
}
