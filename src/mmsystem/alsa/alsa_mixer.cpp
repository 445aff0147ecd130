// ALSA mixer devices: lines built from simple mixer elements, volume and mute
// controls, and the event thread that turns element events into change messages.
#include "mmsystem/alsa/alsa_mixer.h"

#include <poll.h>

#include <algorithm>

namespace alsa {

namespace {

constexpr DWORD kDstSpeakers = 0x0004;  // destination component types
constexpr DWORD kDstWaveIn = 0x0007;
constexpr DWORD kSrcUndefined = 0x1000;  // source component types
constexpr DWORD kSrcLine = 0x1002;
constexpr DWORD kSrcMicrophone = 0x1003;
constexpr DWORD kSrcWaveOut = 0x1008;
constexpr DWORD kTargetWaveOut = 1;
constexpr DWORD kTargetWaveIn = 2;
constexpr DWORD kControlUniform = 0x1;
// Destination numbers: the recording line first, so that the level control's first line
// and the first mixer meter are capture lines.
constexpr DWORD kRecording = 0;
constexpr DWORD kPlayback = 1;

Channels presentChannels(snd_mixer_elem_t* elem, bool capture) {
  Channels present;
  const bool mono = capture ? snd_mixer_selem_is_capture_mono(elem) : snd_mixer_selem_is_playback_mono(elem);
  if (!mono) {
    for (int ch = 0; ch <= SND_MIXER_SCHN_LAST; ++ch) {
      const auto id = static_cast<snd_mixer_selem_channel_id_t>(ch);
      if (capture ? snd_mixer_selem_has_capture_channel(elem, id) : snd_mixer_selem_has_playback_channel(elem, id))
        present.push(id);
    }
  }
  if (present.count == 0) present.push(SND_MIXER_SCHN_MONO);
  return present;
}

// Which of the two levels a channel follows: 0 left, 1 right, 2 the louder of both.
int sideOf(snd_mixer_selem_channel_id_t ch) {
  switch (ch) {
    case SND_MIXER_SCHN_FRONT_LEFT:
    case SND_MIXER_SCHN_REAR_LEFT:
    case SND_MIXER_SCHN_SIDE_LEFT: return 0;
    case SND_MIXER_SCHN_FRONT_RIGHT:
    case SND_MIXER_SCHN_REAR_RIGHT:
    case SND_MIXER_SCHN_SIDE_RIGHT: return 1;
    default: return 2;
  }
}

std::string elementName(snd_mixer_elem_t* elem) {
  std::string name = snd_mixer_selem_get_name(elem);
  const unsigned index = snd_mixer_selem_get_index(elem);
  if (index > 0) {
    name += ' ';
    name += std::to_string(index);
  }
  return name;
}

DWORD sourceType(const std::string& name) {
  if (name.rfind("Mic", 0) == 0) return kSrcMicrophone;
  if (name.rfind("Line", 0) == 0) return kSrcLine;
  if (name == "PCM" || name == "Wave") return kSrcWaveOut;
  return kSrcUndefined;
}

}  // namespace

// --- LevelMemory ---

void LevelMemory::remember(const std::string& key, const ChannelValues<long>& raw, const std::array<DWORD, 2>& levels) {
  std::lock_guard lock(mutex_);
  auto it = memory_.find(key);
  if (it == memory_.end()) it = memory_.emplace(key, Levels{}).first;
  it->second = {raw, levels};
}

bool LevelMemory::recall(const std::string& key, const ChannelValues<long>& raw, std::array<DWORD, 2>& levels) const {
  std::lock_guard lock(mutex_);
  const auto it = memory_.find(key);
  if (it == memory_.end() || !(it->second.raw == raw)) return false;
  levels = it->second.levels;
  return true;
}

// --- ElementSide ---

bool ElementSide::hasVolume() const {
  return elem != nullptr &&
         (capture ? snd_mixer_selem_has_capture_volume(elem) : snd_mixer_selem_has_playback_volume(elem) != 0);
}

bool ElementSide::hasSwitch() const {
  return elem != nullptr &&
         (capture ? snd_mixer_selem_has_capture_switch(elem) : snd_mixer_selem_has_playback_switch(elem) != 0);
}

DWORD ElementSide::channels() const {
  if (elem == nullptr) return 2;
  return (capture ? snd_mixer_selem_is_capture_mono(elem) : snd_mixer_selem_is_playback_mono(elem)) ? 1 : 2;
}

namespace {
// One value per present channel of an element's capture or playback side.
template <typename T>
ChannelValues<T> channelValues(snd_mixer_elem_t* elem, bool capture,
                               int (*getCapture)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, T*),
                               int (*getPlayback)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, T*)) {
  ChannelValues<T> values;
  for (auto ch : presentChannels(elem, capture)) {
    T value = 0;
    (capture ? getCapture : getPlayback)(elem, ch, &value);
    values.push(value);
  }
  return values;
}

// Left and right of one level per present channel: the first channel (or front left)
// and the front right, which is the left one on an element without it.
std::array<DWORD, 2> leftAndRight(const Channels& present, const ChannelValues<DWORD>& levels) {
  std::array<DWORD, 2> result{0, 0};
  bool haveRight = false;
  for (size_t i = 0; i < present.count && i < levels.count; ++i) {
    if (i == 0 || present.values[i] == SND_MIXER_SCHN_FRONT_LEFT) result[0] = levels.values[i];
    if (present.values[i] == SND_MIXER_SCHN_FRONT_RIGHT) {
      result[1] = levels.values[i];
      haveRight = true;
    }
  }
  if (!haveRight) result[1] = result[0];
  return result;
}
}  // namespace

ChannelValues<long> ElementSide::rawVolume() const {
  if (!hasVolume()) return {};
  return channelValues<long>(elem, capture, snd_mixer_selem_get_capture_volume, snd_mixer_selem_get_playback_volume);
}

ChannelValues<int> ElementSide::switches() const {
  if (!hasSwitch()) return {};
  return channelValues<int>(elem, capture, snd_mixer_selem_get_capture_switch, snd_mixer_selem_get_playback_switch);
}

void ElementSide::volumeRange(long& min, long& max) const {
  if (capture)
    snd_mixer_selem_get_capture_volume_range(elem, &min, &max);
  else
    snd_mixer_selem_get_playback_volume_range(elem, &min, &max);
}

std::array<DWORD, 2> ElementSide::levels(const LevelMemory& memory) const {
  const ChannelValues<long> raw = rawVolume();
  std::array<DWORD, 2> remembered{};
  if (memory.recall(key, raw, remembered)) return remembered;
  long min = 0;
  long max = 0;
  volumeRange(min, max);
  ChannelValues<DWORD> levels;
  for (long value : raw) levels.push(rawToLevel(value, min, max));
  return leftAndRight(presentChannels(elem, capture), levels);
}

int ElementSide::setLevels(DWORD left, DWORD right, LevelMemory& memory) const {
  long min = 0;
  long max = 0;
  volumeRange(min, max);
  const Channels present = presentChannels(elem, capture);
  ChannelValues<DWORD> levels;
  for (auto ch : present) {
    const int side = sideOf(ch);
    const DWORD level = side == 0 ? left : side == 1 ? right : std::max(left, right);
    const long raw = levelToRaw(level, min, max);
    const int err = capture ? snd_mixer_selem_set_capture_volume(elem, ch, raw)
                            : snd_mixer_selem_set_playback_volume(elem, ch, raw);
    if (err < 0) return err;
    levels.push(level);
  }
  memory.remember(key, rawVolume(), leftAndRight(present, levels));
  return 0;
}

bool ElementSide::muted() const {
  const ChannelValues<int> values = switches();
  return std::none_of(values.begin(), values.end(), [](int on) { return on != 0; });
}

int ElementSide::setMuted(bool muted) const {
  return capture ? snd_mixer_selem_set_capture_switch_all(elem, muted ? 0 : 1)
                 : snd_mixer_selem_set_playback_switch_all(elem, muted ? 0 : 1);
}

// --- MixerSession ---

MixerSession::~MixerSession() {
  if (mixer_ != nullptr) snd_mixer_close(mixer_);
}

MMRESULT MixerSession::open(const std::string& ctl) {
  ctl_ = ctl;
  int err = snd_mixer_open(&mixer_, 0);
  if (err < 0) return failAlsa(MMSYSERR_NOMEM, ctl, err);
  if ((err = snd_mixer_attach(mixer_, ctl.c_str())) < 0 ||
      (err = snd_mixer_selem_register(mixer_, nullptr, nullptr)) < 0 || (err = snd_mixer_load(mixer_)) < 0) {
    snd_mixer_close(mixer_);
    mixer_ = nullptr;
    return failAlsa(openErrorCode(err), ctl, err);
  }
  return MMSYSERR_NOERROR;
}

ElementSide MixerSession::master() const {
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer_); e != nullptr; e = snd_mixer_elem_next(e)) {
    if (std::string(snd_mixer_selem_get_name(e)) == "Master" && snd_mixer_selem_get_index(e) == 0 &&
        (snd_mixer_selem_has_playback_volume(e) || snd_mixer_selem_has_playback_switch(e)))
      return {e, false, ctl_ + "|Master|0|p"};
  }
  return {};
}

// --- Mixer ---

Mixer::Mixer(std::string productName, LevelMemory& memory, MessageTarget* target)
    : productName_(std::move(productName)), memory_(memory), target_(target) {}

Mixer::~Mixer() {
  if (events_.joinable()) {
    quit_.store(true);
    wake_.signal();
    events_.join();
  }
  // Closing the session removes every element and reports each removal to its callback;
  // by then this mixer's lines are gone, so the elements forget it first.
  if (snd_mixer_t* mixer = session_.handle()) {
    for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e != nullptr; e = snd_mixer_elem_next(e)) {
      snd_mixer_elem_set_callback_private(e, nullptr);
    }
  }
}

MMRESULT Mixer::open(const std::string& ctl) {
  const MMRESULT result = session_.open(ctl);
  if (result != MMSYSERR_NOERROR) return result;
  buildLines();
  if (target_ != nullptr) {
    changed_.reserve(lines_.size() * 2);
    posting_.reserve(lines_.size() * 2);
    events_ = std::thread(&Mixer::watch, this);
  }
  return MMSYSERR_NOERROR;
}

void Mixer::buildLines() {
  snd_mixer_t* mixer = session_.handle();
  const ElementSide master = session_.master();
  ElementSide capture;
  std::vector<ElementSide> playbackSources;
  std::vector<ElementSide> captureSources;
  for (snd_mixer_elem_t* e = snd_mixer_first_elem(mixer); e != nullptr; e = snd_mixer_elem_next(e)) {
    const std::string name = elementName(e);
    const std::string key =
        session_.ctl() + "|" + snd_mixer_selem_get_name(e) + "|" + std::to_string(snd_mixer_selem_get_index(e));
    ElementSide playback{e, false, key + "|p"};
    ElementSide recording{e, true, key + "|c"};
    if (e != master.elem && (playback.hasVolume() || playback.hasSwitch())) playbackSources.push_back(playback);
    if (recording.hasVolume() || recording.hasSwitch()) {
      if (name == "Capture" && capture.elem == nullptr)
        capture = recording;
      else
        captureSources.push_back(recording);
    }
  }
  auto addLine = [this](const std::string& name, DWORD destination, DWORD source, const ElementSide& side) {
    Line line;
    line.name = name;
    line.destination = destination;
    line.source = source;
    line.side = side;
    const DWORD index = static_cast<DWORD>(lines_.size());
    if (side.hasVolume()) line.volumeId = index * 2 + 1;
    if (side.hasSwitch()) line.muteId = index * 2 + 2;
    line.seenVolume = side.rawVolume();
    line.seenSwitch = side.switches();
    lines_.push_back(line);
  };
  auto addDestination = [&](const std::string& name, DWORD destination, const ElementSide& own,
                            const std::vector<ElementSide>& sources) {
    addLine(name, destination, 0, own);
    lines_.back().connections = static_cast<DWORD>(sources.size());
    for (size_t i = 0; i < sources.size(); ++i)
      addLine(elementName(sources[i].elem), destination, static_cast<DWORD>(i + 1), sources[i]);
  };
  addDestination("Recording", kRecording, capture, captureSources);
  addDestination("Playback", kPlayback, master, playbackSources);

  for (const Line& line : lines_) {
    if (line.side.elem == nullptr) continue;
    snd_mixer_elem_set_callback(line.side.elem, &Mixer::elementEvent);
    snd_mixer_elem_set_callback_private(line.side.elem, this);
  }
}

const Mixer::Line* Mixer::findLine(DWORD lineId) const {
  for (const Line& line : lines_)
    if (line.lineId() == lineId) return &line;
  return nullptr;
}

Mixer::Line* Mixer::findControl(DWORD controlId, bool* isVolume) {
  if (controlId == 0) return nullptr;
  for (Line& line : lines_) {
    if (line.volumeId == controlId || line.muteId == controlId) {
      *isVolume = line.volumeId == controlId;
      return &line;
    }
  }
  return nullptr;
}

MMRESULT Mixer::lineInfo(MIXERLINEA& out, DWORD flags) {
  const Line* found = nullptr;
  for (const Line& line : lines_) {
    if (line.destination != out.dwDestination) continue;
    if (flags == MIXER_GETLINEINFOF_DESTINATION ? line.source == 0 : line.source == out.dwSource + 1) {
      found = &line;
      break;
    }
  }
  if (found == nullptr) return fail(MIXERR_INVALLINE);

  std::lock_guard lock(mutex_);
  const bool source = found->source != 0;
  out.dwLineID = found->lineId();
  out.fdwLine = MIXERLINE_LINEF_ACTIVE | (source ? MIXERLINE_LINEF_SOURCE : 0);
  out.dwUser = 0;
  out.dwComponentType =
      source ? sourceType(found->name) : (found->destination == kPlayback ? kDstSpeakers : kDstWaveIn);
  out.cChannels = found->side.channels();
  out.cConnections = found->connections;
  out.cControls = found->controlCount();
  copyName(out.szShortName, sizeof out.szShortName, found->name);
  copyName(out.szName, sizeof out.szName, found->name);
  out.Target.dwType = source ? 0 : (found->destination == kPlayback ? kTargetWaveOut : kTargetWaveIn);
  out.Target.dwDeviceID = 0;
  out.Target.wMid = 0;
  out.Target.wPid = 0;
  out.Target.vDriverVersion = 0x0100;
  copyName(out.Target.szPname, sizeof out.Target.szPname, productName_);
  return MMSYSERR_NOERROR;
}

void Mixer::fillControl(const Line& line, bool isVolume, MIXERCONTROLA* control) const {
  std::memset(control, 0, sizeof *control);
  control->cbStruct = sizeof *control;
  control->dwControlID = isVolume ? line.volumeId : line.muteId;
  control->dwControlType = isVolume ? MIXERCONTROL_CONTROLTYPE_VOLUME : MIXERCONTROL_CONTROLTYPE_MUTE;
  control->fdwControl = (!isVolume || line.side.channels() == 1) ? kControlUniform : 0;
  copyName(control->szShortName, sizeof control->szShortName, isVolume ? "Volume" : "Mute");
  copyName(control->szName, sizeof control->szName, line.name + (isVolume ? " Volume" : " Mute"));
  control->Bounds.dwMinimum = 0;
  control->Bounds.dwMaximum = isVolume ? 65535 : 1;
  if (isVolume) {
    long min = 0;
    long max = 0;
    line.side.volumeRange(min, max);
    control->Metrics.cSteps = static_cast<DWORD>(std::clamp<long>(max - min, 1, 65535));
  }
}

MMRESULT Mixer::lineControls(MIXERLINECONTROLSA& controls) {
  const Line* line = findLine(controls.dwLineID);
  if (line == nullptr) return fail(MIXERR_INVALLINE);
  // All controls at once: the caller's area must be sized for exactly the line's controls.
  if (controls.cControls != line->controlCount()) return fail(MMSYSERR_INVALPARAM);
  std::lock_guard lock(mutex_);
  auto* next = reinterpret_cast<char*>(controls.pamxctrl);
  if (line->volumeId != 0) {
    fillControl(*line, true, reinterpret_cast<MIXERCONTROLA*>(next));
    next += controls.cbmxctrl;
  }
  if (line->muteId != 0) fillControl(*line, false, reinterpret_cast<MIXERCONTROLA*>(next));
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::detailsControl(const MIXERCONTROLDETAILS& details, Line*& line, bool& isVolume) {
  line = findControl(details.dwControlID, &isVolume);
  if (line == nullptr) return fail(MIXERR_INVALCONTROL);
  if (line->side.elem == nullptr) return failAlsa(MMSYSERR_ERROR, line->name, -ENODEV);
  const DWORD channels = isVolume ? line->side.channels() : 1;
  if (details.cChannels > channels) return fail(MMSYSERR_INVALPARAM);
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::getDetails(const MIXERCONTROLDETAILS& details) {
  std::lock_guard lock(mutex_);
  bool isVolume = false;
  Line* line = nullptr;
  if (MMRESULT r = detailsControl(details, line, isVolume)) return r;
  auto* values = static_cast<DWORD*>(details.paDetails);
  if (isVolume) {
    const std::array<DWORD, 2> levels = line->side.levels(memory_);
    if (details.cChannels == 1) {
      values[0] = std::max(levels[0], levels[1]);
    } else {
      values[0] = levels[0];
      values[1] = levels[1];
    }
  } else {
    values[0] = line->side.muted() ? 1 : 0;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::setDetails(const MIXERCONTROLDETAILS& details) {
  std::lock_guard lock(mutex_);
  bool isVolume = false;
  Line* line = nullptr;
  if (MMRESULT r = detailsControl(details, line, isVolume)) return r;
  const auto* values = static_cast<const DWORD*>(details.paDetails);
  int err = 0;
  if (isVolume) {
    const DWORD left = values[0];
    const DWORD right = details.cChannels >= 2 ? values[1] : left;
    if (left > 65535 || right > 65535) return fail(MIXERR_INVALVALUE);
    err = line->side.setLevels(left, right, memory_);
  } else {
    err = line->side.setMuted(values[0] != 0);
  }
  if (err < 0) return failAlsa(MMSYSERR_ERROR, line->name, err);
  return MMSYSERR_NOERROR;
}

int Mixer::elementEvent(snd_mixer_elem_t* elem, unsigned int mask) {
  auto* self = static_cast<Mixer*>(snd_mixer_elem_get_callback_private(elem));
  if (self == nullptr) return 0;
  // Runs inside snd_mixer_handle_events, with mutex_ held by watch().
  for (Line& line : self->lines_) {
    if (line.side.elem != elem) continue;
    if (mask == SND_CTL_EVENT_MASK_REMOVE) {
      line.side.elem = nullptr;
      continue;
    }
    if ((mask & SND_CTL_EVENT_MASK_VALUE) == 0) continue;
    const ChannelValues<long> volume = line.side.rawVolume();
    const ChannelValues<int> switches = line.side.switches();
    // Each control once per round of events, so that the list never outgrows its room.
    auto note = [&](DWORD id) {
      if (std::find(self->changed_.begin(), self->changed_.end(), id) == self->changed_.end())
        self->changed_.push_back(id);
    };
    if (line.volumeId != 0 && !(volume == line.seenVolume)) note(line.volumeId);
    if (line.muteId != 0 && !(switches == line.seenSwitch)) note(line.muteId);
    line.seenVolume = volume;
    line.seenSwitch = switches;
  }
  return 0;
}

void Mixer::watch() {
  snd_mixer_t* mixer = session_.handle();
  bool watching = true;
  while (!quit_.load()) {
    size_t count = 0;
    {
      std::lock_guard lock(mutex_);
      count = watching ? static_cast<size_t>(std::max(0, snd_mixer_poll_descriptors_count(mixer))) : 0;
      if (fds_.size() < count + 1) fds_.resize(count + 1);
      if (count > 0) snd_mixer_poll_descriptors(mixer, fds_.data(), static_cast<unsigned>(count));
    }
    fds_[count] = {wake_.fd(), POLLIN, 0};
    if (poll(fds_.data(), count + 1, -1) <= 0) continue;
    if (fds_[count].revents != 0) wake_.drain();
    if (quit_.load() || count == 0) continue;
    {
      std::lock_guard lock(mutex_);
      unsigned short revents = 0;
      snd_mixer_poll_descriptors_revents(mixer, fds_.data(), static_cast<unsigned>(count), &revents);
      if (snd_mixer_handle_events(mixer) < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        // The control device went away: stop watching it, keep waiting for the close.
        watching = false;
      }
      posting_.swap(changed_);
    }
    for (DWORD id : posting_)
      target_->post(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(static_cast<HMIXER>(this)),
                    static_cast<LPARAM>(id));
    posting_.clear();
  }
}

}  // namespace alsa
