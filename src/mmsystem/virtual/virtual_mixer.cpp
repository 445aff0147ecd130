// Mixers of the virtual sound card: lines with volume, mute and peak meter controls,
// their values, and control-change messages (977) to every open mixer of a device,
// whether the change came through a handle or "from outside".
#include "mmsystem/virtual/virtual_mixer.h"

#include <algorithm>

namespace virtual_card {

namespace {

constexpr UINT maxMixers = 8;
constexpr DWORD maxDestinations = 16;
constexpr DWORD maxLinesPerDestination = 127;  // the destination line and 126 sources

const char* controlName(DWORD kind) {
  switch (kind) {
    case Mixers::kindVolume: return "Volume";
    case Mixers::kindMute: return "Mute";
    default: return "Peak";
  }
}

DWORD controlType(DWORD kind) {
  switch (kind) {
    case Mixers::kindVolume: return MIXERCONTROL_CONTROLTYPE_VOLUME;
    case Mixers::kindMute: return MIXERCONTROL_CONTROLTYPE_MUTE;
    default: return MIXERCONTROL_CONTROLTYPE_PEAKMETER;
  }
}

}  // namespace

struct Mixers::OpenMixer : HMIXER__ {
  UINT mixer = 0;
  HWND target = nullptr;  // receives 977
};

Mixers::Mixers(const std::vector<VirtualMixer>& mixers, const InputLevel& level) : mixers_(mixers), level_(level) {
  lineState_.resize(mixers_.size());
  auto stateOf = [](const VirtualLine& line) {
    LineState state;
    state.volume.assign(line.channels, line.initialVolume);
    return state;
  };
  for (size_t m = 0; m < mixers_.size(); ++m) {
    for (const VirtualDestination& d : mixers_[m].destinations) {
      std::vector<LineState> lines;
      lines.push_back(stateOf(d.line));
      for (const VirtualLine& s : d.sources) lines.push_back(stateOf(s));
      lineState_[m].push_back(std::move(lines));
    }
  }
}

Mixers::~Mixers() = default;

DWORD Mixers::controlId(UINT mixer, DWORD destination, DWORD source, DWORD kind) {
  return ((mixer * maxDestinations + destination) * 128 + source) * 4 + kind;
}

bool Mixers::decodeControlId(DWORD id, ControlAddress& address) {
  address.kind = id % 4;
  address.source = (id / 4) % 128;
  address.destination = (id / 512) % maxDestinations;
  address.mixer = id / (512 * maxDestinations);
  return address.kind >= kindVolume && address.kind <= kindPeak && address.mixer < maxMixers &&
         address.source < maxLinesPerDestination;
}

DWORD Mixers::lineId(UINT mixer, DWORD destination, DWORD source) {
  return (mixer << 24) | (destination << 12) | source;
}

bool Mixers::hasControl(const VirtualLine& line, DWORD kind) {
  switch (kind) {
    case kindVolume: return line.volume;
    case kindMute: return line.mute;
    case kindPeak: return line.peak;
    default: return false;
  }
}

const VirtualLine* Mixers::findLine(UINT mixer, DWORD destination, DWORD source) const {
  if (mixer >= mixers_.size()) return nullptr;
  const auto& destinations = mixers_[mixer].destinations;
  if (destination >= destinations.size()) return nullptr;
  if (source == 0) return &destinations[destination].line;
  if (source > destinations[destination].sources.size()) return nullptr;
  return &destinations[destination].sources[source - 1];
}

const VirtualLine* Mixers::controlLine(UINT mixer, DWORD id, ControlAddress& address) const {
  if (!decodeControlId(id, address) || address.mixer != mixer) return nullptr;
  const VirtualLine* line = findLine(address.mixer, address.destination, address.source);
  return line != nullptr && hasControl(*line, address.kind) ? line : nullptr;
}

void Mixers::postControlChange(UINT mixer, DWORD id) {
  open_.forEach([&](const OpenMixer& open) {
    if (open.mixer == mixer && open.target != nullptr) {
      open.target->post(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(static_cast<const HMIXER__*>(&open)),
                        static_cast<LPARAM>(id));
    }
  });
}

void Mixers::caps(UINT device, MIXERCAPSA& caps) const {
  std::memset(&caps, 0, sizeof caps);
  copyName(caps.szPname, sizeof caps.szPname, mixers_[device].name);
  caps.cDestinations = static_cast<DWORD>(mixers_[device].destinations.size());
  caps.vDriverVersion = 0x0100;
}

MMRESULT Mixers::open(HMIXER* handle, UINT device, HWND target) {
  // The control ids have room for the first eight mixers only.
  if (device >= maxMixers) return MMSYSERR_BADDEVICEID;
  auto opened = std::make_unique<OpenMixer>();
  opened->mixer = device;
  opened->target = target;
  *handle = open_.add(std::move(opened));
  return MMSYSERR_NOERROR;
}

void Mixers::close(HMIXER handle) {
  // Posts happen while the list is locked, so none reaches the target after this.
  open_.take(static_cast<OpenMixer*>(handle));
}

MMRESULT Mixers::lineInfo(HMIXEROBJ handle, MIXERLINEA& line, DWORD flags) const {
  const UINT mixer = static_cast<const OpenMixer*>(handle)->mixer;
  const DWORD destination = line.dwDestination;
  const bool bySource = flags == MIXER_GETLINEINFOF_SOURCE;
  if (bySource && line.dwSource + 1 == 0) return MIXERR_INVALLINE;
  const DWORD source = bySource ? line.dwSource + 1 : 0;
  const VirtualLine* found = findLine(mixer, destination, source);
  if (found == nullptr) return MIXERR_INVALLINE;

  const DWORD cbStruct = line.cbStruct;
  std::memset(&line, 0, sizeof(MIXERLINEA));
  line.cbStruct = cbStruct;
  line.dwDestination = destination;
  line.dwSource = bySource ? source - 1 : 0;
  line.dwLineID = lineId(mixer, destination, source);
  line.fdwLine = MIXERLINE_LINEF_ACTIVE | (bySource ? MIXERLINE_LINEF_SOURCE : 0);
  line.cChannels = found->channels;
  line.cConnections = bySource ? 0 : static_cast<DWORD>(mixers_[mixer].destinations[destination].sources.size());
  const bool addressable = destination < maxDestinations && source < maxLinesPerDestination;
  for (DWORD kind = kindVolume; kind <= kindPeak; ++kind) {
    if (addressable && hasControl(*found, kind)) ++line.cControls;
  }
  copyName(line.szShortName, sizeof line.szShortName, found->name);
  copyName(line.szName, sizeof line.szName, found->name);
  return MMSYSERR_NOERROR;
}

MMRESULT Mixers::lineControls(HMIXEROBJ handle, MIXERLINECONTROLSA& controls) const {
  const UINT mixer = static_cast<const OpenMixer*>(handle)->mixer;
  const DWORD id = controls.dwLineID;
  if ((id >> 24) != mixer) return MIXERR_INVALLINE;
  const DWORD destination = (id >> 12) & 0xFFF;
  const DWORD source = id & 0xFFF;
  const VirtualLine* found = findLine(mixer, destination, source);
  if (found == nullptr) return MIXERR_INVALLINE;

  std::array<DWORD, 3> kinds{};
  DWORD count = 0;
  if (destination < maxDestinations && source < maxLinesPerDestination) {
    for (DWORD kind = kindVolume; kind <= kindPeak; ++kind) {
      if (hasControl(*found, kind)) kinds[count++] = kind;
    }
  }
  // All controls at once: the caller's area must be sized for exactly the line's controls.
  if (controls.cControls != count) return MMSYSERR_INVALPARAM;
  auto* out = reinterpret_cast<char*>(controls.pamxctrl);
  for (DWORD i = 0; i < count; ++i) {
    const DWORD kind = kinds[i];
    auto* control = reinterpret_cast<MIXERCONTROLA*>(out);
    std::memset(control, 0, sizeof(MIXERCONTROLA));
    control->cbStruct = sizeof(MIXERCONTROLA);
    control->dwControlID = controlId(mixer, destination, source, kind);
    control->dwControlType = controlType(kind);
    copyName(control->szShortName, sizeof control->szShortName, controlName(kind));
    copyName(control->szName, sizeof control->szName, found->name + " " + controlName(kind));
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
    out += controls.cbmxctrl;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Mixers::getDetails(HMIXEROBJ handle, const MIXERCONTROLDETAILS& details) const {
  ControlAddress a;
  const VirtualLine* line = controlLine(static_cast<const OpenMixer*>(handle)->mixer, details.dwControlID, a);
  if (line == nullptr) return MIXERR_INVALCONTROL;
  // Never more values than the line has channels.
  if (details.cChannels > std::max<DWORD>(line->channels, 1)) return MMSYSERR_INVALPARAM;

  auto* values = static_cast<DWORD*>(details.paDetails);
  const std::array<int32_t, 2> level = level_.get();
  std::lock_guard lock(mutex_);
  const LineState& state = lineState_[a.mixer][a.destination][a.source];
  for (DWORD c = 0; c < details.cChannels; ++c) {
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

MMRESULT Mixers::setDetails(HMIXEROBJ handle, const MIXERCONTROLDETAILS& details) {
  ControlAddress a;
  const VirtualLine* line = controlLine(static_cast<const OpenMixer*>(handle)->mixer, details.dwControlID, a);
  if (line == nullptr) return MIXERR_INVALCONTROL;
  if (a.kind == kindPeak) return MMSYSERR_NOTSUPPORTED;  // meters are read-only
  if (details.cChannels > std::max<DWORD>(line->channels, 1)) return MMSYSERR_INVALPARAM;

  const auto* values = static_cast<const DWORD*>(details.paDetails);
  std::lock_guard lock(mutex_);
  LineState& state = lineState_[a.mixer][a.destination][a.source];
  if (a.kind == kindVolume) {
    for (DWORD c = 0; c < details.cChannels; ++c) {
      if (values[c] > 65535) return MIXERR_INVALVALUE;
    }
    if (details.cChannels == 1) {
      // One value sets every channel of the line alike.
      std::fill(state.volume.begin(), state.volume.end(), static_cast<WORD>(values[0]));
    } else {
      for (DWORD c = 0; c < details.cChannels && c < state.volume.size(); ++c) {
        state.volume[c] = static_cast<WORD>(values[c]);
      }
    }
  } else {
    state.muted = values[0] != 0;
  }
  // Every open mixer of the device hears of the change, the one that made it included.
  postControlChange(a.mixer, details.dwControlID);
  return MMSYSERR_NOERROR;
}

void Mixers::setVolumeFromOutside(UINT mixer, DWORD destination, DWORD source, WORD left, WORD right) {
  std::lock_guard lock(mutex_);
  const VirtualLine* line = findLine(mixer, destination, source);
  if (line == nullptr || !line->volume) return;
  std::vector<WORD>& volume = lineState_[mixer][destination][source].volume;
  for (size_t c = 0; c < volume.size(); ++c) volume[c] = (c % 2 == 0) ? left : right;
  postControlChange(mixer, controlId(mixer, destination, source, kindVolume));
}

void Mixers::setMuteFromOutside(UINT mixer, DWORD destination, DWORD source, bool muted) {
  std::lock_guard lock(mutex_);
  const VirtualLine* line = findLine(mixer, destination, source);
  if (line == nullptr || !line->mute) return;
  lineState_[mixer][destination][source].muted = muted;
  postControlChange(mixer, controlId(mixer, destination, source, kindMute));
}

std::vector<WORD> Mixers::lineVolume(UINT mixer, DWORD destination, DWORD source) const {
  std::lock_guard lock(mutex_);
  if (findLine(mixer, destination, source) == nullptr) return {};
  return lineState_[mixer][destination][source].volume;
}

bool Mixers::lineMuted(UINT mixer, DWORD destination, DWORD source) const {
  std::lock_guard lock(mutex_);
  if (findLine(mixer, destination, source) == nullptr) return false;
  return lineState_[mixer][destination][source].muted;
}

std::array<double, 2> Mixers::recordGain() const {
  std::lock_guard lock(mutex_);
  std::array<double, 2> gain = {1.0, 1.0};
  for (size_t m = 0; m < mixers_.size(); ++m) {
    const auto& destinations = mixers_[m].destinations;
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

}  // namespace virtual_card
