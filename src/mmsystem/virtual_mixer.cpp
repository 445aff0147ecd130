// Mixer of the virtual sound card: lines with volume, mute and peak meter controls,
// their values, and control-change messages (977) to every open mixer of a device,
// whether the change came through a handle or "from outside".
#include <algorithm>
#include <cstring>

#include "virtual_device.h"
#include "virtual_driver.h"

namespace {

constexpr UINT maxMixers = 8;
constexpr DWORD maxDestinations = 16;
constexpr DWORD maxLinesPerDestination = 127;  // the destination line and 126 sources

const char* controlName(DWORD kind) {
  switch (kind) {
    case 1: return "Volume";
    case 2: return "Mute";
    default: return "Peak";
  }
}

DWORD controlType(DWORD kind) {
  switch (kind) {
    case 1: return MIXERCONTROL_CONTROLTYPE_VOLUME;
    case 2: return MIXERCONTROL_CONTROLTYPE_MUTE;
    default: return MIXERCONTROL_CONTROLTYPE_PEAKMETER;
  }
}

}  // namespace

struct VirtualDriver::OpenMixer : HMIXER__ {
  UINT mixer = 0;
  HWND target = nullptr;  // receives 977 when opened with window notification
};

DWORD VirtualDriver::controlId(UINT mixer, DWORD destination, DWORD source, DWORD kind) {
  return ((mixer * maxDestinations + destination) * 128 + source) * 4 + kind;
}

bool VirtualDriver::decodeControlId(DWORD id, ControlAddress& address) {
  address.kind = id % 4;
  address.source = (id / 4) % 128;
  address.destination = (id / 512) % maxDestinations;
  address.mixer = id / (512 * maxDestinations);
  return address.kind >= kindVolume && address.kind <= kindPeak && address.mixer < maxMixers &&
         address.source < maxLinesPerDestination;
}

DWORD VirtualDriver::lineId(UINT mixer, DWORD destination, DWORD source) {
  return (mixer << 24) | (destination << 12) | source;
}

const VirtualLine* VirtualDriver::findLine(UINT mixer, DWORD destination, DWORD source) const {
  if (mixer >= card_.mixers.size()) return nullptr;
  const auto& destinations = card_.mixers[mixer].destinations;
  if (destination >= destinations.size()) return nullptr;
  if (source == 0) return &destinations[destination].line;
  if (source > destinations[destination].sources.size()) return nullptr;
  return &destinations[destination].sources[source - 1];
}

bool VirtualDriver::hasControl(const VirtualLine& line, DWORD kind) const {
  switch (kind) {
    case kindVolume: return line.volume;
    case kindMute: return line.mute;
    case kindPeak: return line.peak;
    default: return false;
  }
}

VirtualDriver::OpenMixer* VirtualDriver::openMixer(HMIXEROBJ handle) const {
  return virtual_card::findOpen(openMixers_, handle);
}

bool VirtualDriver::mixerDevice(HMIXEROBJ handle, UINT& mixer) const {
  std::lock_guard lock(mixerMutex_);
  const OpenMixer* open = openMixer(handle);
  if (open == nullptr) return false;
  mixer = open->mixer;
  return true;
}

void VirtualDriver::postControlChange(UINT mixer, DWORD id) {
  for (OpenMixer* open : openMixers_) {
    if (open->mixer == mixer && open->target != nullptr) {
      open->target->post(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(static_cast<HMIXER>(open)),
                         static_cast<LPARAM>(id));
    }
  }
}

MMRESULT VirtualDriver::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerOpen)) return r;
  if (handle == nullptr) return MMSYSERR_INVALPARAM;
  *handle = nullptr;
  if (deviceId >= card_.mixers.size() || deviceId >= maxMixers) return MMSYSERR_BADDEVICEID;
  const DWORD callbackKind = flags & 0x70000;
  if (callbackKind != 0 && callbackKind != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
  if (callbackKind == CALLBACK_WINDOW && callback == 0) return MMSYSERR_INVALPARAM;
  auto* open = new OpenMixer;
  open->mixer = deviceId;
  open->target = callbackKind == CALLBACK_WINDOW ? reinterpret_cast<HWND>(callback) : nullptr;
  std::lock_guard lock(mixerMutex_);
  openMixers_.push_back(open);
  *handle = open;
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::mixerClose(HMIXER handle) {
  if (MMRESULT r = injected(VirtualCall::mixerClose)) return r;
  OpenMixer* open = nullptr;
  {
    // Posts happen under this lock, so none reaches the target after we return.
    std::lock_guard lock(mixerMutex_);
    open = openMixer(handle);
    if (open == nullptr) return MMSYSERR_INVALHANDLE;
    std::erase(openMixers_, open);
  }
  delete open;
  return MMSYSERR_NOERROR;
}

VirtualDriver::MixerReaper::~MixerReaper() {
  std::lock_guard lock(driver->mixerMutex_);
  for (OpenMixer* open : driver->openMixers_) delete open;
  driver->openMixers_.clear();
}

MMRESULT VirtualDriver::mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerGetLineInfoA)) return r;
  UINT mixer = 0;
  if (!mixerDevice(handle, mixer)) return MMSYSERR_INVALHANDLE;
  if (line == nullptr || line->cbStruct < sizeof(MIXERLINEA)) return MMSYSERR_INVALPARAM;
  if (flags != MIXER_GETLINEINFOF_DESTINATION && flags != MIXER_GETLINEINFOF_SOURCE) return MMSYSERR_INVALFLAG;
  const DWORD destination = line->dwDestination;
  const bool bySource = flags == MIXER_GETLINEINFOF_SOURCE;
  const DWORD source = bySource ? line->dwSource + 1 : 0;
  if (bySource && line->dwSource + 1 == 0) return MIXERR_INVALLINE;
  const VirtualLine* found = findLine(mixer, destination, source);
  if (found == nullptr) return MIXERR_INVALLINE;

  const DWORD cbStruct = line->cbStruct;
  std::memset(line, 0, sizeof(MIXERLINEA));
  line->cbStruct = cbStruct;
  line->dwDestination = destination;
  line->dwSource = bySource ? source - 1 : 0;
  line->dwLineID = lineId(mixer, destination, source);
  line->fdwLine = MIXERLINE_LINEF_ACTIVE | (bySource ? MIXERLINE_LINEF_SOURCE : 0);
  line->cChannels = found->channels;
  line->cConnections = bySource ? 0 : static_cast<DWORD>(card_.mixers[mixer].destinations[destination].sources.size());
  const bool addressable = destination < maxDestinations && source < maxLinesPerDestination;
  for (DWORD kind = kindVolume; kind <= kindPeak; ++kind) {
    if (addressable && hasControl(*found, kind)) ++line->cControls;
  }
  virtual_card::copyName(line->szShortName, sizeof(line->szShortName), found->name);
  virtual_card::copyName(line->szName, sizeof(line->szName), found->name);
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerGetLineControlsA)) return r;
  UINT mixer = 0;
  if (!mixerDevice(handle, mixer)) return MMSYSERR_INVALHANDLE;
  if (controls == nullptr || controls->cbStruct < sizeof(MIXERLINECONTROLSA)) return MMSYSERR_INVALPARAM;
  if (flags != MIXER_GETLINECONTROLSF_ALL) return MMSYSERR_INVALFLAG;
  const DWORD id = controls->dwLineID;
  if ((id >> 24) != mixer) return MIXERR_INVALLINE;
  const DWORD destination = (id >> 12) & 0xFFF;
  const DWORD source = id & 0xFFF;
  const VirtualLine* found = findLine(mixer, destination, source);
  if (found == nullptr) return MIXERR_INVALLINE;

  std::vector<DWORD> kinds;
  if (destination < maxDestinations && source < maxLinesPerDestination) {
    for (DWORD kind = kindVolume; kind <= kindPeak; ++kind) {
      if (hasControl(*found, kind)) kinds.push_back(kind);
    }
  }
  // All controls at once: the caller's area must be sized for exactly the line's controls.
  if (controls->cControls != kinds.size() || controls->cbmxctrl < sizeof(MIXERCONTROLA)) return MMSYSERR_INVALPARAM;
  if (!kinds.empty() && controls->pamxctrl == nullptr) return MMSYSERR_INVALPARAM;
  auto* out = reinterpret_cast<char*>(controls->pamxctrl);
  for (DWORD kind : kinds) {
    auto* control = reinterpret_cast<MIXERCONTROLA*>(out);
    std::memset(control, 0, sizeof(MIXERCONTROLA));
    control->cbStruct = sizeof(MIXERCONTROLA);
    control->dwControlID = controlId(mixer, destination, source, kind);
    control->dwControlType = controlType(kind);
    virtual_card::copyName(control->szShortName, sizeof(control->szShortName), controlName(kind));
    virtual_card::copyName(control->szName, sizeof(control->szName), found->name + " " + controlName(kind));
    if (kind == kindVolume) {
      control->Bounds.dwMinimum = 0;
      control->Bounds.dwMaximum = 65535;
      control->Metrics.cSteps = 65535;
    } else if (kind == kindMute) {
      control->Bounds.dwMinimum = 0;
      control->Bounds.dwMaximum = 1;
    } else {
      control->Bounds.lMinimum = -32768;
      control->Bounds.lMaximum = 32767;
    }
    out += controls->cbmxctrl;
  }
  return MMSYSERR_NOERROR;
}

namespace {

// Checks a details record against a control of a line with `channels` channels: one
// value of 4 bytes per channel, at least one and never more channels than the line has.
MMRESULT checkDetails(const MIXERCONTROLDETAILS* details, DWORD channels) {
  if (details == nullptr || details->cbStruct < sizeof(MIXERCONTROLDETAILS)) return MMSYSERR_INVALPARAM;
  if (details->cbDetails != sizeof(DWORD) || details->paDetails == nullptr) return MMSYSERR_INVALPARAM;
  if (details->cMultipleItems != 0) return MMSYSERR_INVALPARAM;
  if (details->cChannels == 0 || details->cChannels > std::max<DWORD>(channels, 1)) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT VirtualDriver::mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerGetControlDetailsA)) return r;
  std::lock_guard lock(mixerMutex_);
  OpenMixer* open = openMixer(handle);
  if (open == nullptr) return MMSYSERR_INVALHANDLE;
  if (flags != MIXER_GETCONTROLDETAILSF_VALUE) return MMSYSERR_INVALFLAG;
  if (details == nullptr) return MMSYSERR_INVALPARAM;
  ControlAddress a;
  if (!decodeControlId(details->dwControlID, a) || a.mixer != open->mixer) return MIXERR_INVALCONTROL;
  const VirtualLine* line = findLine(a.mixer, a.destination, a.source);
  if (line == nullptr || !hasControl(*line, a.kind)) return MIXERR_INVALCONTROL;
  if (MMRESULT r = checkDetails(details, line->channels)) return r;

  auto* values = static_cast<DWORD*>(details->paDetails);
  const LineState& state = lineState_[a.mixer][a.destination][a.source];
  const std::array<int32_t, 2> level = inputLevel();
  for (DWORD c = 0; c < details->cChannels; ++c) {
    switch (a.kind) {
      case kindVolume: values[c] = state.volume.empty() ? 0 : state.volume[c % state.volume.size()]; break;
      case kindMute: values[c] = state.muted ? 1 : 0; break;
      default: {
        // A one-channel meter shows the louder input channel; wider lines repeat left, right.
        const int32_t v = line->channels <= 1 ? std::max(level[0], level[1]) : level[c % 2];
        values[c] = static_cast<DWORD>(v);
        break;
      }
    }
  }
  return MMSYSERR_NOERROR;
}

MMRESULT VirtualDriver::mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (MMRESULT r = injected(VirtualCall::mixerSetControlDetails)) return r;
  std::lock_guard lock(mixerMutex_);
  OpenMixer* open = openMixer(handle);
  if (open == nullptr) return MMSYSERR_INVALHANDLE;
  if (flags != MIXER_SETCONTROLDETAILSF_VALUE) return MMSYSERR_INVALFLAG;
  if (details == nullptr) return MMSYSERR_INVALPARAM;
  ControlAddress a;
  if (!decodeControlId(details->dwControlID, a) || a.mixer != open->mixer) return MIXERR_INVALCONTROL;
  const VirtualLine* line = findLine(a.mixer, a.destination, a.source);
  if (line == nullptr || !hasControl(*line, a.kind)) return MIXERR_INVALCONTROL;
  if (a.kind == kindPeak) return MMSYSERR_NOTSUPPORTED;  // meters are read-only
  if (MMRESULT r = checkDetails(details, line->channels)) return r;

  const auto* values = static_cast<const DWORD*>(details->paDetails);
  LineState& state = lineState_[a.mixer][a.destination][a.source];
  if (a.kind == kindVolume) {
    for (DWORD c = 0; c < details->cChannels; ++c) {
      if (values[c] > 65535) return MIXERR_INVALVALUE;
    }
    if (details->cChannels == 1) {
      // One value sets every channel of the line alike.
      std::fill(state.volume.begin(), state.volume.end(), static_cast<WORD>(values[0]));
    } else {
      for (DWORD c = 0; c < details->cChannels && c < state.volume.size(); ++c) {
        state.volume[c] = static_cast<WORD>(values[c]);
      }
    }
  } else {
    state.muted = values[0] != 0;
  }
  // Every open mixer of the device hears of the change, the one that made it included.
  postControlChange(a.mixer, details->dwControlID);
  return MMSYSERR_NOERROR;
}

void VirtualDriver::setVolumeFromOutside(UINT mixer, DWORD destination, DWORD source, WORD left, WORD right) {
  std::lock_guard lock(mixerMutex_);
  const VirtualLine* line = findLine(mixer, destination, source);
  if (line == nullptr || !line->volume) return;
  std::vector<WORD>& volume = lineState_[mixer][destination][source].volume;
  for (size_t c = 0; c < volume.size(); ++c) volume[c] = (c % 2 == 0) ? left : right;
  postControlChange(mixer, controlId(mixer, destination, source, kindVolume));
}

void VirtualDriver::setMuteFromOutside(UINT mixer, DWORD destination, DWORD source, bool muted) {
  std::lock_guard lock(mixerMutex_);
  const VirtualLine* line = findLine(mixer, destination, source);
  if (line == nullptr || !line->mute) return;
  lineState_[mixer][destination][source].muted = muted;
  postControlChange(mixer, controlId(mixer, destination, source, kindMute));
}

std::vector<WORD> VirtualDriver::lineVolume(UINT mixer, DWORD destination, DWORD source) const {
  std::lock_guard lock(mixerMutex_);
  if (findLine(mixer, destination, source) == nullptr) return {};
  return lineState_[mixer][destination][source].volume;
}

bool VirtualDriver::lineMuted(UINT mixer, DWORD destination, DWORD source) const {
  std::lock_guard lock(mixerMutex_);
  if (findLine(mixer, destination, source) == nullptr) return false;
  return lineState_[mixer][destination][source].muted;
}

std::array<double, 2> VirtualDriver::recordGain() const {
  std::lock_guard lock(mixerMutex_);
  std::array<double, 2> gain = {1.0, 1.0};
  for (size_t m = 0; m < card_.mixers.size(); ++m) {
    const auto& destinations = card_.mixers[m].destinations;
    for (size_t d = 0; d < destinations.size(); ++d) {
      for (size_t s = 0; s <= destinations[d].sources.size(); ++s) {
        const VirtualLine& line = s == 0 ? destinations[d].line : destinations[d].sources[s - 1];
        if (!line.feedsInput) continue;
        const LineState& state = lineState_[m][d][s];
        if (line.mute && state.muted) return {0.0, 0.0};
        if (!line.volume || state.volume.empty()) continue;
        gain[0] *= state.volume[0] / 65535.0;
        gain[1] *= state.volume[state.volume.size() > 1 ? 1 : 0] / 65535.0;
      }
    }
  }
  return gain;
}
