// Real sound cards through ALSA: the device lists, the driver object and the
// forwarding of each service call to the open device it names. The service has checked
// every call first (driver.h).
#include "mmsystem/alsa/alsa_driver.h"

#include <alsa/asoundlib.h>

#include <type_traits>

#include "mmsystem/alsa/alsa_common.h"
#include "mmsystem/alsa/alsa_mixer.h"
#include "mmsystem/alsa/alsa_wave.h"

namespace {

constexpr size_t kMaxDevices = 10;              // numbered devices per direction
constexpr unsigned kCaptureBufferUs = 2000000;  // lets a late re-queue lose nothing
constexpr unsigned kPlaybackBufferUs = 500000;
constexpr unsigned kPeriodUs = 25000;

std::string cardName(snd_ctl_t* ctl, const std::string& fallback) {
  snd_ctl_card_info_t* info = nullptr;
  snd_ctl_card_info_alloca(&info);
  if (snd_ctl_card_info(ctl, info) < 0) return fallback;
  const char* name = snd_ctl_card_info_get_name(info);
  return name != nullptr && *name != '\0' ? name : fallback;
}

// The open device behind a handle the service has checked.
alsa::WaveIn& waveIn(HWAVEIN handle) { return *static_cast<alsa::WaveIn*>(handle); }
alsa::WaveOut& waveOut(HWAVEOUT handle) { return *static_cast<alsa::WaveOut*>(handle); }
alsa::Mixer& mixer(HMIXEROBJ handle) { return *static_cast<alsa::Mixer*>(handle); }

// Closes an open wave device or mixer: it stops its thread as it goes.
template <typename Device>
MMRESULT closeDevice(DeviceList<Device>& open, Device& device) {
  open.take(&device);
  return MMSYSERR_NOERROR;
}

}  // namespace

AlsaDriver::AlsaDriver() : levels_(std::make_unique<alsa::LevelMemory>()) {
  alsa::captureLibraryMessages();
  defaultInput_ = {"default", "Default sound device", "default"};
  defaultOutput_ = defaultInput_;

  snd_ctl_t* ctl = nullptr;
  // "default" first when it is a sound server (PulseAudio, PipeWire) rather than a card:
  // that is where a desktop keeps its master and capture volume.
  if (snd_ctl_open(&ctl, "default", 0) == 0) {
    if (snd_ctl_type(ctl) != SND_CTL_TYPE_HW) mixers_.push_back({"default", cardName(ctl, "Default")});
    snd_ctl_close(ctl);
  }

  snd_pcm_info_t* info = nullptr;
  snd_pcm_info_alloca(&info);
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    const std::string hw = "hw:" + std::to_string(card);
    if (snd_ctl_open(&ctl, hw.c_str(), 0) < 0) continue;
    const std::string name = cardName(ctl, hw);
    mixers_.push_back({hw, name});
    int device = -1;
    while (snd_ctl_pcm_next_device(ctl, &device) == 0 && device >= 0) {
      for (snd_pcm_stream_t stream : {SND_PCM_STREAM_CAPTURE, SND_PCM_STREAM_PLAYBACK}) {
        std::vector<PcmEntry>& list = stream == SND_PCM_STREAM_CAPTURE ? inputs_ : outputs_;
        snd_pcm_info_set_device(info, static_cast<unsigned>(device));
        snd_pcm_info_set_subdevice(info, 0);
        snd_pcm_info_set_stream(info, stream);
        if (list.size() >= kMaxDevices || snd_ctl_pcm_info(ctl, info) < 0) continue;
        const std::string pcmName = snd_pcm_info_get_name(info);
        list.push_back({"plughw:" + std::to_string(card) + "," + std::to_string(device),
                        pcmName.empty() ? name : name + ": " + pcmName, hw});
      }
    }
    snd_ctl_close(ctl);
  }
}

AlsaDriver::~AlsaDriver() {
  // Devices the owner left open are closed here, so that no thread outlives the driver.
  waveIns_.takeAll();
  waveOuts_.takeAll();
  mixerHandles_.takeAll();
}

bool AlsaDriver::available() {
  // On a machine without a sound card the default device fails to open, and ALSA would
  // print its configuration errors on the way; that is the expected answer here, not
  // something to tell the user.
  alsa::captureLibraryMessages();
  if (alsa::anyCard()) return true;
  snd_pcm_t* pcm = nullptr;
  const bool opened = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) == 0;
  if (opened) snd_pcm_close(pcm);
  return opened;
}

const AlsaDriver::PcmEntry* AlsaDriver::entry(const std::vector<PcmEntry>& list, UINT_PTR deviceId) const {
  if (deviceId == WAVE_MAPPER) return &list == &inputs_ ? &defaultInput_ : &defaultOutput_;
  return deviceId < list.size() ? &list[deviceId] : nullptr;
}

template <typename Device, typename Handle>
MMRESULT AlsaDriver::openWave(DeviceList<Device>& open, Handle* handle, UINT deviceId, const WAVEFORMATEX& format,
                              DWORD_PTR callback, DWORD_PTR instance) {
  constexpr bool capture = std::is_same_v<Device, alsa::WaveIn>;
  const PcmEntry* device = entry(capture ? inputs_ : outputs_, deviceId);
  snd_pcm_t* pcm = nullptr;
  alsa::PcmSizes sizes;
  const MMRESULT result = alsa::openPcm(device->pcm, capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK, format,
                                        capture ? kCaptureBufferUs : kPlaybackBufferUs, kPeriodUs, &pcm, &sizes);
  if (result != MMSYSERR_NOERROR) return result;
  Device* opened = open.add(std::make_unique<Device>(pcm, device->pcm, format, sizes, callback, instance));
  *handle = opened;
  opened->launch();
  return MMSYSERR_NOERROR;
}

std::string AlsaDriver::lastErrorText(MMRESULT error) { return alsa::lastText(error); }

// --- wave input ---

UINT AlsaDriver::waveInGetNumDevs() { return static_cast<UINT>(inputs_.size()); }

MMRESULT AlsaDriver::waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT) {
  const PcmEntry* device = entry(inputs_, deviceId);
  caps->vDriverVersion = 0x0100;
  alsa::copyName(caps->szPname, sizeof caps->szPname, device->name);
  caps->dwFormats = WAVE_FORMAT_ALL;  // the plug layer converts every PCM format
  caps->wChannels = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                DWORD_PTR instance, DWORD) {
  return openWave(waveIns_, handle, deviceId, *format, callback, instance);
}

// Headers need nothing of the device before they are queued.
MMRESULT AlsaDriver::waveInPrepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT AlsaDriver::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT) {
  waveIn(handle).addBuffer(header);
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::waveInStart(HWAVEIN handle) { return waveIn(handle).start(); }

MMRESULT AlsaDriver::waveInReset(HWAVEIN handle) { return waveIn(handle).reset(); }

MMRESULT AlsaDriver::waveInUnprepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT AlsaDriver::waveInClose(HWAVEIN handle) { return closeDevice(waveIns_, waveIn(handle)); }

DWORD AlsaDriver::waveInOverruns(HWAVEIN handle) {
  const alsa::WaveIn* in = waveIns_.find(handle);
  return in != nullptr ? in->xruns() : 0;
}

// --- wave output ---

UINT AlsaDriver::waveOutGetNumDevs() { return static_cast<UINT>(outputs_.size()); }

MMRESULT AlsaDriver::waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT) {
  const PcmEntry* device = entry(outputs_, deviceId);
  caps->vDriverVersion = 0x0100;
  alsa::copyName(caps->szPname, sizeof caps->szPname, device->name);
  caps->dwFormats = WAVE_FORMAT_ALL;
  caps->wChannels = 2;
  alsa::MixerSession session;
  if (session.open(device->ctl) == MMSYSERR_NOERROR) {
    const alsa::ElementSide master = session.master();
    if (master.hasVolume()) {
      caps->dwSupport |= WAVECAPS_VOLUME;
      if (master.channels() == 2) caps->dwSupport |= WAVECAPS_LRVOLUME;
    }
  }
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR instance, DWORD) {
  return openWave(waveOuts_, handle, deviceId, *format, callback, instance);
}

MMRESULT AlsaDriver::waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT AlsaDriver::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT) {
  waveOut(handle).write(header);
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::waveOutReset(HWAVEOUT handle) { return waveOut(handle).reset(); }

MMRESULT AlsaDriver::waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOERROR; }

MMRESULT AlsaDriver::waveOutClose(HWAVEOUT handle) { return closeDevice(waveOuts_, waveOut(handle)); }

DWORD AlsaDriver::waveOutUnderruns(HWAVEOUT handle) {
  const alsa::WaveOut* out = waveOuts_.find(handle);
  return out != nullptr ? out->xruns() : 0;
}

MMRESULT AlsaDriver::outputVolume(UINT_PTR deviceId, DWORD* get, const DWORD* set) {
  const PcmEntry* device = entry(outputs_, deviceId);
  alsa::MixerSession session;
  const MMRESULT result = session.open(device->ctl);
  if (result != MMSYSERR_NOERROR) return result;
  const alsa::ElementSide master = session.master();
  if (!master.hasVolume()) return alsa::fail(MMSYSERR_NOTSUPPORTED);
  if (set != nullptr) {
    const int err = master.setLevels(*set & 0xFFFF, *set >> 16, *levels_);
    if (err < 0) return alsa::failAlsa(MMSYSERR_ERROR, device->ctl, err);
  }
  if (get != nullptr) {
    const std::array<DWORD, 2> levels = master.levels(*levels_);
    *get = levels[0] | (levels[1] << 16);
  }
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) {
  return outputVolume(deviceId, volume, nullptr);
}

MMRESULT AlsaDriver::waveOutSetVolume(UINT_PTR deviceId, DWORD volume) {
  return outputVolume(deviceId, nullptr, &volume);
}

// --- mixer ---

UINT AlsaDriver::mixerGetNumDevs() { return static_cast<UINT>(mixers_.size()); }

MMRESULT AlsaDriver::mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT) {
  caps->vDriverVersion = 0x0100;
  alsa::copyName(caps->szPname, sizeof caps->szPname, mixers_[deviceId].name);
  caps->cDestinations = 2;
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR, DWORD) {
  // The service passes a notification target only with window notification.
  auto opened = std::make_unique<alsa::Mixer>(mixers_[deviceId].name, *levels_, reinterpret_cast<HWND>(callback));
  const MMRESULT result = opened->open(mixers_[deviceId].ctl);
  if (result != MMSYSERR_NOERROR) return result;
  *handle = mixerHandles_.add(std::move(opened));
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) {
  return mixer(handle).lineInfo(*line, flags);
}

MMRESULT AlsaDriver::mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD) {
  return mixer(handle).lineControls(*controls);
}

MMRESULT AlsaDriver::mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD) {
  return mixer(handle).getDetails(*details);
}

MMRESULT AlsaDriver::mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD) {
  return mixer(handle).setDetails(*details);
}

// The mixer's event thread ends with it: nothing is posted after this returns.
MMRESULT AlsaDriver::mixerClose(HMIXER handle) { return closeDevice(mixerHandles_, mixer(handle)); }
