// The sound server through libpulse: the device lists, the driver object and the
// forwarding of each service call to the open device it names. The service has checked
// every call first (driver.h).
#include "mmsystem/pulse/pulse_driver.h"

#include <algorithm>

#include "mmsystem/device_names.h"
#include "mmsystem/pulse/pulse_connection.h"
#include "mmsystem/pulse/pulse_format.h"
#include "mmsystem/pulse/pulse_mixer.h"
#include "mmsystem/pulse/pulse_wave.h"

namespace {

constexpr size_t kMaxDevices = 10;  // numbered devices per direction
// How long the choice at start waits for a server to answer.
constexpr std::chrono::milliseconds kConnectTimeout{3000};

pulse::WaveIn& waveIn(HWAVEIN handle) { return *static_cast<pulse::WaveIn*>(handle); }
pulse::WaveOut& waveOut(HWAVEOUT handle) { return *static_cast<pulse::WaveOut*>(handle); }
pulse::Mixer& mixer(HMIXEROBJ handle) { return *static_cast<pulse::Mixer*>(handle); }

UINT counted(size_t n) { return static_cast<UINT>(std::min(n, kMaxDevices)); }

}  // namespace

PulseDriver::PulseDriver() { connection_ = pulse::Connection::open(kConnectTimeout, &why_); }

PulseDriver::PulseDriver(std::unique_ptr<pulse::Connection> connection, std::string why)
    : connection_(std::move(connection)), why_(std::move(why)) {}

PulseDriver::~PulseDriver() {
  // Devices the owner left open are closed here, before the connection they use.
  waveIns_.takeAll();
  waveOuts_.takeAll();
  mixers_.takeAll();
}

std::unique_ptr<PulseDriver> PulseDriver::connect() {
  std::string why;
  auto connection = pulse::Connection::open(kConnectTimeout, &why);
  if (!connection) return nullptr;
  return std::unique_ptr<PulseDriver>(new PulseDriver(std::move(connection), {}));
}

std::string PulseDriver::serverName() const { return connection_ ? connection_->serverName() : std::string(); }

std::string PulseDriver::description() const {
  return connection_ ? connection_->serverName() : "no sound server: " + why_;
}

MMRESULT PulseDriver::noServer() const {
  return pulse::fail(MMSYSERR_NODRIVER, "No sound server could be reached: " + why_);
}

bool PulseDriver::endpoint(bool input, UINT_PTR deviceId, pulse::Endpoint& out) const {
  if (!connection_) return false;
  const pulse::Kind kind = input ? pulse::Kind::Source : pulse::Kind::Sink;
  if (deviceId == WAVE_MAPPER) return connection_->defaultEndpoint(kind, out);
  const std::vector<pulse::Endpoint> list = input ? connection_->inputs() : connection_->outputs();
  if (deviceId >= std::min(list.size(), kMaxDevices)) return false;
  out = list[deviceId];
  return true;
}

template <typename Device, typename Handle>
MMRESULT PulseDriver::openWave(DeviceList<Device>& open, Handle* handle, bool input, UINT deviceId,
                               const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance) {
  if (!connection_) return noServer();
  pulse::Endpoint e;
  if (!endpoint(input, deviceId, e)) {
    if (deviceId != WAVE_MAPPER) return pulse::fail(MMSYSERR_BADDEVICEID);
    // No default yet: the server's own choice.
    e.description = input ? "Default input" : "Default output";
  }
  auto device = std::make_unique<Device>(*connection_, e.name, e.description, format, callback, instance);
  if (MMRESULT r = device->connect()) return r;
  Device* opened = open.add(std::move(device));
  *handle = opened;
  opened->launch();
  return MMSYSERR_NOERROR;
}

std::string PulseDriver::lastErrorText(MMRESULT error) { return pulse::lastText(error); }

// --- wave input ---

UINT PulseDriver::waveInGetNumDevs() { return connection_ ? counted(connection_->inputs().size()) : 0; }

MMRESULT PulseDriver::waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT) {
  pulse::Endpoint e;
  if (!endpoint(true, deviceId, e)) return connection_ ? pulse::fail(MMSYSERR_BADDEVICEID) : noServer();
  caps->vDriverVersion = 0x0100;
  mmsystem::copyName(caps->szPname, sizeof caps->szPname, e.description);
  caps->dwFormats = WAVE_FORMAT_ALL;  // the server converts every format
  caps->wChannels = e.spec.channels >= 2 ? 2 : 1;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR instance, DWORD) {
  return openWave(waveIns_, handle, true, deviceId, *format, callback, instance);
}

// Headers need nothing of the device before they are queued.
MMRESULT PulseDriver::waveInPrepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT PulseDriver::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT) {
  waveIn(handle).addBuffer(header);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveInStart(HWAVEIN handle) { return waveIn(handle).start(); }

MMRESULT PulseDriver::waveInReset(HWAVEIN handle) { return waveIn(handle).reset(); }

MMRESULT PulseDriver::waveInUnprepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT PulseDriver::waveInClose(HWAVEIN handle) {
  waveIns_.take(&waveIn(handle));
  return MMSYSERR_NOERROR;
}

DWORD PulseDriver::waveInOverruns(HWAVEIN handle) {
  const pulse::WaveIn* in = waveIns_.find(handle);
  return in != nullptr ? in->overruns() : 0;
}

// --- wave output ---

UINT PulseDriver::waveOutGetNumDevs() { return connection_ ? counted(connection_->outputs().size()) : 0; }

MMRESULT PulseDriver::waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT) {
  pulse::Endpoint e;
  if (!endpoint(false, deviceId, e)) return connection_ ? pulse::fail(MMSYSERR_BADDEVICEID) : noServer();
  caps->vDriverVersion = 0x0100;
  mmsystem::copyName(caps->szPname, sizeof caps->szPname, e.description);
  caps->dwFormats = WAVE_FORMAT_ALL;
  caps->wChannels = e.spec.channels >= 2 ? 2 : 1;
  caps->dwSupport = WAVECAPS_VOLUME | (e.spec.channels >= 2 ? WAVECAPS_LRVOLUME : 0);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                  DWORD_PTR instance, DWORD) {
  return openWave(waveOuts_, handle, false, deviceId, *format, callback, instance);
}

MMRESULT PulseDriver::waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT PulseDriver::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT) {
  waveOut(handle).write(header);
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveOutReset(HWAVEOUT handle) { return waveOut(handle).reset(); }

MMRESULT PulseDriver::waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT PulseDriver::waveOutClose(HWAVEOUT handle) {
  waveOuts_.take(&waveOut(handle));
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::outputVolume(UINT_PTR deviceId, DWORD* get, const DWORD* set) {
  if (!connection_) return noServer();
  pulse::Endpoint e;
  if (!endpoint(false, deviceId, e)) return pulse::fail(MMSYSERR_BADDEVICEID);
  if (set != nullptr) {
    const pa_cvolume volume = pulse::volumeFor(*set & 0xFFFF, *set >> 16, e.map);
    pulse::Connection::Lock loop(*connection_);
    if (!connection_->complete(pa_context_set_sink_volume_by_index(connection_->context(), e.index, &volume,
                                                                   &pulse::Connection::succeeded, connection_.get())))
      return pulse::fail(MMSYSERR_ERROR, e.description + ": " + connection_->errorText());
    connection_->refresh(pulse::Kind::Sink, e.index);
  }
  if (get != nullptr) {
    if (set != nullptr && !connection_->endpoint(pulse::Kind::Sink, e.index, e)) return pulse::fail(MMSYSERR_NODRIVER);
    const std::array<DWORD, 2> levels = pulse::levels(e.volume, e.map);
    *get = levels[0] | (levels[1] << 16);
  }
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) {
  return outputVolume(deviceId, volume, nullptr);
}

MMRESULT PulseDriver::waveOutSetVolume(UINT_PTR deviceId, DWORD volume) {
  return outputVolume(deviceId, nullptr, &volume);
}

// --- mixer ---

UINT PulseDriver::mixerGetNumDevs() { return connection_ ? 1 : 0; }

MMRESULT PulseDriver::mixerGetDevCapsA(UINT_PTR, MIXERCAPSA* caps, UINT) {
  caps->vDriverVersion = 0x0100;
  mmsystem::copyName(caps->szPname, sizeof caps->szPname, connection_->serverName());
  caps->cDestinations = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::mixerOpen(HMIXER* handle, UINT, DWORD_PTR callback, DWORD_PTR, DWORD) {
  // The service passes a notification target only with window notification.
  auto opened = std::make_unique<pulse::Mixer>(*connection_, reinterpret_cast<HWND>(callback));
  if (MMRESULT r = opened->open()) return r;
  *handle = mixers_.add(std::move(opened));
  return MMSYSERR_NOERROR;
}

MMRESULT PulseDriver::mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) {
  return mixer(handle).lineInfo(*line, flags);
}

MMRESULT PulseDriver::mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD) {
  return mixer(handle).lineControls(*controls);
}

MMRESULT PulseDriver::mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD) {
  return mixer(handle).getDetails(*details);
}

MMRESULT PulseDriver::mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD) {
  return mixer(handle).setDetails(*details);
}

// Nothing is posted after this returns: the mixer leaves the server's listeners under
// the loop's lock.
MMRESULT PulseDriver::mixerClose(HMIXER handle) {
  mixers_.take(&mixer(handle));
  return MMSYSERR_NOERROR;
}
