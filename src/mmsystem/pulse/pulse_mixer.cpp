// The sound server as a mixer: lines from its sources and sinks, volume and mute
// controls, peak meters from peak-detecting streams, and change messages from its
// change subscription.
#include "mmsystem/pulse/pulse_mixer.h"

#include <pulse/rtclock.h>

#include <algorithm>
#include <cmath>

#include "mmsystem/device_names.h"
#include "mmsystem/pulse/pulse_format.h"
#include "mmsystem/pulse/pulse_wave.h"

namespace pulse {

namespace {

constexpr DWORD kDstSpeakers = 0x0004;  // destination component types
constexpr DWORD kDstWaveIn = 0x0007;
constexpr DWORD kSrcMicrophone = 0x1003;  // source component types
constexpr DWORD kSrcWaveOut = 0x1008;
constexpr DWORD kSrcSpeakers = 0x1004;
constexpr DWORD kTargetWaveOut = 1;
constexpr DWORD kTargetWaveIn = 2;
constexpr DWORD kControlUniform = 0x1;
constexpr DWORD kRecording = 0;
constexpr DWORD kPlayback = 1;

// Peak values per second a meter's stream delivers: the window reads its meters every
// 25 ms, and a value per 40 ms keeps the loop thread's wake-ups low.
constexpr uint32_t kMeterRate = 25;
// A meter not read for this long is ended.
constexpr std::chrono::seconds kMeterIdle{1};
// A meter whose source sent nothing for this long reads silence (a suspended source).
constexpr std::chrono::milliseconds kMeterSilent{250};

DWORD channelsOf(const Endpoint& e) { return e.spec.channels >= 2 ? 2 : 1; }

}  // namespace

Mixer::Mixer(Connection& connection, MessageTarget* target) : connection_(connection), target_(target) {}

Mixer::~Mixer() {
  Connection::Lock loop(connection_);
  if (registered_) connection_.removeListener(this);
  for (Line& line : lines_) closeMeter(line.meter);
  if (checkTimer_ != nullptr) connection_.api()->time_free(checkTimer_);
}

MMRESULT Mixer::open() {
  Connection::Lock loop(connection_);
  if (!connection_.alive()) return fail(MMSYSERR_NODRIVER, connection_.failureText());
  productName_ = connection_.serverName();
  const std::vector<Endpoint> inputs = connection_.inputs();
  const std::vector<Endpoint> outputs = connection_.outputs();
  auto add = [&](const std::string& name, DWORD destination, DWORD source, Kind kind, const Endpoint* e) {
    Line line;
    line.name = name;
    line.destination = destination;
    line.source = source;
    line.kind = kind;
    if (e == nullptr) {
      line.followsDefault = true;
      Endpoint fallback;
      line.channels = connection_.defaultEndpoint(kind, fallback) ? channelsOf(fallback) : 2;
    } else {
      line.index = e->index;
      line.device = e->name;
      line.channels = channelsOf(*e);
      line.monitor = e->monitor;
      line.hasMeter = kind == Kind::Source;
    }
    lines_.push_back(std::move(line));
  };
  add("Recording", kRecording, 0, Kind::Source, nullptr);
  lines_.back().connections = static_cast<DWORD>(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i)
    add(inputs[i].description, kRecording, static_cast<DWORD>(i + 1), Kind::Source, &inputs[i]);
  add("Playback", kPlayback, 0, Kind::Sink, nullptr);
  lines_.back().connections = static_cast<DWORD>(outputs.size());
  for (size_t i = 0; i < outputs.size(); ++i)
    add(outputs[i].description, kPlayback, static_cast<DWORD>(i + 1), Kind::Sink, &outputs[i]);
  if (target_ != nullptr) {
    connection_.addListener(this);
    registered_ = true;
  }
  return MMSYSERR_NOERROR;
}

const Mixer::Line* Mixer::findLine(DWORD lineId) const {
  for (const Line& line : lines_)
    if (line.lineId() == lineId) return &line;
  return nullptr;
}

Mixer::Line* Mixer::findControl(DWORD id, Control& control) {
  if (id == 0) return nullptr;
  const size_t index = id / 4;
  const DWORD kind = id % 4;
  if (index >= lines_.size() || kind == 0) return nullptr;
  control = static_cast<Control>(kind);
  if (control == Control::Peak && !lines_[index].hasMeter) return nullptr;
  return &lines_[index];
}

bool Mixer::endpointOf(const Line& line, Endpoint& out) const {
  return line.followsDefault ? connection_.defaultEndpoint(line.kind, out)
                             : connection_.endpoint(line.kind, line.index, out);
}

std::string Mixer::lineName(DWORD destination, DWORD source) const {
  for (const Line& line : lines_)
    if (line.destination == destination && line.source == source) return line.name;
  return {};
}

MMRESULT Mixer::lineInfo(MIXERLINEA& out, DWORD flags) const {
  const Line* found = nullptr;
  for (const Line& line : lines_) {
    if (line.destination != out.dwDestination) continue;
    if (flags == MIXER_GETLINEINFOF_DESTINATION ? line.source == 0 : line.source == out.dwSource + 1) {
      found = &line;
      break;
    }
  }
  if (found == nullptr) return fail(MIXERR_INVALLINE);
  const bool source = found->source != 0;
  out.dwLineID = found->lineId();
  out.fdwLine = MIXERLINE_LINEF_ACTIVE | (source ? MIXERLINE_LINEF_SOURCE : 0);
  out.dwUser = 0;
  if (!source)
    out.dwComponentType = found->destination == kPlayback ? kDstSpeakers : kDstWaveIn;
  else
    out.dwComponentType = found->kind == Kind::Sink ? kSrcSpeakers : found->monitor ? kSrcWaveOut : kSrcMicrophone;
  out.cChannels = found->channels;
  out.cConnections = found->connections;
  out.cControls = found->controlCount();
  mmsystem::copyName(out.szShortName, sizeof out.szShortName, found->name);
  mmsystem::copyName(out.szName, sizeof out.szName, found->name);
  out.Target.dwType = source ? 0 : (found->destination == kPlayback ? kTargetWaveOut : kTargetWaveIn);
  out.Target.dwDeviceID = 0;
  out.Target.wMid = 0;
  out.Target.wPid = 0;
  out.Target.vDriverVersion = 0x0100;
  mmsystem::copyName(out.Target.szPname, sizeof out.Target.szPname, productName_);
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::lineControls(MIXERLINECONTROLSA& controls) const {
  const Line* line = findLine(controls.dwLineID);
  if (line == nullptr) return fail(MIXERR_INVALLINE);
  // All controls at once: the caller's area must be sized for exactly the line's controls.
  if (controls.cControls != line->controlCount()) return fail(MMSYSERR_INVALPARAM);
  const size_t index = static_cast<size_t>(line - lines_.data());
  auto* next = reinterpret_cast<char*>(controls.pamxctrl);
  for (Control kind : {Control::Volume, Control::Mute, Control::Peak}) {
    if (kind == Control::Peak && !line->hasMeter) continue;
    auto* control = reinterpret_cast<MIXERCONTROLA*>(next);
    std::memset(control, 0, sizeof *control);
    control->cbStruct = sizeof *control;
    control->dwControlID = controlId(index, kind);
    const char* what = kind == Control::Volume ? "Volume" : kind == Control::Mute ? "Mute" : "Peak";
    control->dwControlType = kind == Control::Volume ? MIXERCONTROL_CONTROLTYPE_VOLUME
                             : kind == Control::Mute ? MIXERCONTROL_CONTROLTYPE_MUTE
                                                     : MIXERCONTROL_CONTROLTYPE_PEAKMETER;
    control->fdwControl = kind == Control::Mute || line->channels == 1 ? kControlUniform : 0;
    mmsystem::copyName(control->szShortName, sizeof control->szShortName, what);
    mmsystem::copyName(control->szName, sizeof control->szName, line->name + " " + what);
    if (kind == Control::Peak) {
      control->Bounds.lMinimum = -32768;
      control->Bounds.lMaximum = 32767;
    } else {
      control->Bounds.dwMinimum = 0;
      control->Bounds.dwMaximum = kind == Control::Volume ? 65535 : 1;
      if (kind == Control::Volume) control->Metrics.cSteps = 65535;
    }
    next += controls.cbmxctrl;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::getDetails(const MIXERCONTROLDETAILS& details) {
  Control control{};
  Line* line = findControl(details.dwControlID, control);
  if (line == nullptr) return fail(MIXERR_INVALCONTROL);
  const DWORD channels = control == Control::Mute ? 1 : line->channels;
  if (details.cChannels > channels) return fail(MMSYSERR_INVALPARAM);
  auto* values = static_cast<DWORD*>(details.paDetails);
  if (control == Control::Peak) {
    Connection::Lock loop(connection_);
    return readMeter(*line, details.cChannels, reinterpret_cast<int32_t*>(values));
  }
  Endpoint e;
  if (!endpointOf(*line, e)) return fail(MMSYSERR_NODRIVER, line->name + ": the sound server no longer has it");
  if (control == Control::Mute) {
    values[0] = e.mute ? 1 : 0;
    return MMSYSERR_NOERROR;
  }
  const std::array<DWORD, 2> levels = pulse::levels(e.volume, e.map);
  if (details.cChannels == 1) {
    values[0] = std::max(levels[0], levels[1]);
  } else {
    values[0] = levels[0];
    values[1] = levels[1];
  }
  return MMSYSERR_NOERROR;
}

MMRESULT Mixer::setDetails(const MIXERCONTROLDETAILS& details) {
  Control control{};
  Line* line = findControl(details.dwControlID, control);
  if (line == nullptr || control == Control::Peak) return fail(MIXERR_INVALCONTROL);
  const DWORD channels = control == Control::Mute ? 1 : line->channels;
  if (details.cChannels > channels) return fail(MMSYSERR_INVALPARAM);
  const auto* values = static_cast<const DWORD*>(details.paDetails);
  Endpoint e;
  if (!endpointOf(*line, e)) return fail(MMSYSERR_NODRIVER, line->name + ": the sound server no longer has it");
  pa_context* c = connection_.context();
  Connection::Lock loop(connection_);
  pa_operation* op = nullptr;
  if (control == Control::Volume) {
    const DWORD left = values[0];
    const DWORD right = details.cChannels >= 2 ? values[1] : left;
    if (left > 65535 || right > 65535) return fail(MIXERR_INVALVALUE);
    const pa_cvolume volume = volumeFor(left, right, e.map);
    op = line->kind == Kind::Source
             ? pa_context_set_source_volume_by_index(c, e.index, &volume, &Connection::succeeded, &connection_)
             : pa_context_set_sink_volume_by_index(c, e.index, &volume, &Connection::succeeded, &connection_);
  } else {
    const int mute = values[0] != 0 ? 1 : 0;
    op = line->kind == Kind::Source
             ? pa_context_set_source_mute_by_index(c, e.index, mute, &Connection::succeeded, &connection_)
             : pa_context_set_sink_mute_by_index(c, e.index, mute, &Connection::succeeded, &connection_);
  }
  return finishSet(op, *line, e.index);
}

MMRESULT Mixer::finishSet(pa_operation* op, const Line& line, uint32_t index) {
  if (!connection_.complete(op)) return fail(MMSYSERR_ERROR, line.name + ": " + connection_.errorText());
  // The server's own report of the new state, so that it reads back at once.
  connection_.refresh(line.kind, index);
  return MMSYSERR_NOERROR;
}

// --- peak meters ---

void Mixer::openMeter(Line& line) {
  Meter& meter = line.meter;
  meter.connection = &connection_;
  pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kMeterRate, static_cast<uint8_t>(line.channels)};
  pa_channel_map map;
  if (line.channels == 1)
    pa_channel_map_init_mono(&map);
  else
    pa_channel_map_init_stereo(&map);
  meter.stream = pa_stream_new(connection_.context(), "Tessaron peak meter", &spec, &map);
  if (meter.stream == nullptr) return;
  pa_stream_set_read_callback(meter.stream, &Mixer::meterData, &meter);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.fragsize = static_cast<uint32_t>(pa_frame_size(&spec));
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_DONT_MOVE | PA_STREAM_DONT_INHIBIT_AUTO_SUSPEND);
  if (pa_stream_connect_record(meter.stream, line.device.c_str(), &attr, flags) < 0) {
    closeMeter(meter);
    return;
  }
  meter.highest = {0, 0};
  meter.shown = {0, 0};
  meter.fresh = false;
  meter.lastData = std::chrono::steady_clock::now();
  // One check a second while any meter is open; none when all are closed.
  if (checkTimer_ == nullptr) {
    checkTimer_ = pa_context_rttime_new(connection_.context(), pa_rtclock_now() + 1000000, &Mixer::meterCheck, this);
  }
}

void Mixer::closeMeter(Meter& meter) {
  if (meter.stream == nullptr) return;
  pa_stream_set_read_callback(meter.stream, nullptr, nullptr);
  pa_stream_disconnect(meter.stream);
  pa_stream_unref(meter.stream);
  meter.stream = nullptr;
}

void Mixer::meterData(pa_stream* stream, size_t, void* self) {
  InCallback here;
  auto* meter = static_cast<Meter*>(self);
  const uint32_t channels = pa_stream_get_sample_spec(stream)->channels;
  const void* data = nullptr;
  size_t n = 0;
  while (pa_stream_peek(stream, &data, &n) == 0 && n > 0) {
    if (data != nullptr) {
      const auto* samples = static_cast<const float*>(data);
      const size_t count = n / sizeof(float);
      for (size_t i = 0; i < count; ++i) {
        const size_t ch = channels == 1 ? 0 : i % channels;
        if (ch < 2) meter->highest[ch] = std::max(meter->highest[ch], std::fabs(samples[i]));
      }
      meter->fresh = true;
      meter->lastData = std::chrono::steady_clock::now();
    }
    pa_stream_drop(stream);
  }
}

MMRESULT Mixer::readMeter(Line& line, DWORD channels, int32_t* values) {
  Endpoint e;
  if (!endpointOf(line, e)) return fail(MMSYSERR_NODRIVER, line.name + ": the sound server no longer has it");
  Meter& meter = line.meter;
  const auto now = std::chrono::steady_clock::now();
  meter.lastRead = now;
  if (meter.stream == nullptr) openMeter(line);
  if (meter.fresh) {
    for (size_t ch = 0; ch < 2; ++ch)
      meter.shown[ch] = static_cast<int32_t>(std::lround(std::min(meter.highest[ch], 1.0f) * 32767.0f));
    if (line.channels == 1) meter.shown[1] = meter.shown[0];
    meter.highest = {0, 0};
    meter.fresh = false;
  } else if (now - meter.lastData > kMeterSilent) {
    meter.shown = {0, 0};
  }
  values[0] = meter.shown[0];
  if (channels >= 2) values[1] = meter.shown[1];
  return MMSYSERR_NOERROR;
}

void Mixer::meterCheck(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* self) {
  InCallback here;
  auto* mixer = static_cast<Mixer*>(self);
  const auto now = std::chrono::steady_clock::now();
  bool anyOpen = false;
  for (Line& line : mixer->lines_) {
    if (line.meter.stream == nullptr) continue;
    if (now - line.meter.lastRead >= kMeterIdle)
      closeMeter(line.meter);
    else
      anyOpen = true;
  }
  if (anyOpen) {
    pa_context_rttime_restart(mixer->connection_.context(), event, pa_rtclock_now() + 1000000);
  } else {
    api->time_free(event);
    mixer->checkTimer_ = nullptr;
  }
}

// --- changes ---

void Mixer::post(UINT msg, LPARAM param) {
  target_->post(msg, reinterpret_cast<WPARAM>(static_cast<HMIXER>(this)), param);
}

void Mixer::endpointChanged(Kind kind, uint32_t index, bool volumeChanged, bool muteChanged) {
  Endpoint current;
  const bool isDefault = connection_.defaultEndpoint(kind, current) && current.index == index;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& line = lines_[i];
    if (line.kind != kind || !(line.followsDefault ? isDefault : line.index == index)) continue;
    if (volumeChanged) post(MM_MIXM_CONTROL_CHANGE, static_cast<LPARAM>(controlId(i, Control::Volume)));
    if (muteChanged) post(MM_MIXM_CONTROL_CHANGE, static_cast<LPARAM>(controlId(i, Control::Mute)));
  }
}

void Mixer::listChanged() {
  post(MM_MIXM_LINE_CHANGE, 0);
  // The destination lines may stand for another source or sink now.
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!lines_[i].followsDefault) continue;
    post(MM_MIXM_CONTROL_CHANGE, static_cast<LPARAM>(controlId(i, Control::Volume)));
    post(MM_MIXM_CONTROL_CHANGE, static_cast<LPARAM>(controlId(i, Control::Mute)));
  }
}

}  // namespace pulse
