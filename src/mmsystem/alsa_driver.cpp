// Real sound cards through ALSA: the device lists, the driver object and the
// forwarding of each service call to the open device it names.
#include "alsa_driver.h"

#include <alsa/asoundlib.h>

#include <type_traits>

#include "alsa_common.h"
#include "alsa_mixer.h"
#include "alsa_wave.h"

namespace {

constexpr size_t kMaxDevices = 10;              // numbered devices per direction
constexpr unsigned kCaptureBufferUs = 2000000;  // lets a late re-queue lose nothing
constexpr unsigned kPlaybackBufferUs = 500000;
constexpr unsigned kPeriodUs = 25000;
constexpr DWORD kCallbackMask = 0x70000;
constexpr DWORD kCallbackNull = 0x00000;

bool isMapper(UINT_PTR deviceId) {
  return deviceId == static_cast<UINT_PTR>(-1) || deviceId == static_cast<UINT_PTR>(WAVE_MAPPER);
}

std::string cardName(snd_ctl_t* ctl, const std::string& fallback) {
  snd_ctl_card_info_t* info = nullptr;
  snd_ctl_card_info_alloca(&info);
  if (snd_ctl_card_info(ctl, info) < 0) return fallback;
  const char* name = snd_ctl_card_info_get_name(info);
  return name != nullptr && *name != '\0' ? name : fallback;
}

// Makes `call` on the open device behind a handle (null when the handle is not open).
template <typename Device, typename Call, typename... Args>
MMRESULT forward(Device* device, Call call, Args... args) {
  return device != nullptr ? (device->*call)(args...) : alsa::fail(MMSYSERR_INVALHANDLE);
}

// Closes an open wave device once every header it was given has come back.
template <typename Device, typename Handle>
MMRESULT closeWave(alsa::OpenDevices<Device, Handle>& open, Handle handle) {
  Device* device = open.find(handle);
  if (device == nullptr) return alsa::fail(MMSYSERR_INVALHANDLE);
  // The service thread cannot wait for itself to end.
  if (device->onServiceThread()) return alsa::fail(MMSYSERR_NOTSUPPORTED);
  if (device->hasQueued()) return alsa::fail(WAVERR_STILLPLAYING);
  open.remove(handle);
  device->shutdown();
  delete device;
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
  waveIns_.closeAll();
  waveOuts_.closeAll();
  mixerHandles_.closeAll();
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
  if (isMapper(deviceId)) return &list == &inputs_ ? &defaultInput_ : &defaultOutput_;
  return deviceId < list.size() ? &list[deviceId] : nullptr;
}

template <typename Device, typename Handle>
MMRESULT AlsaDriver::openWave(alsa::OpenDevices<Device, Handle>& open, Handle* handle, UINT deviceId,
                              const WAVEFORMATEX* format, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
  constexpr bool capture = std::is_same_v<Device, alsa::WaveIn>;
  if (handle == nullptr || format == nullptr) return alsa::fail(MMSYSERR_INVALPARAM);
  const DWORD callbackType = flags & kCallbackMask;
  if (callbackType != CALLBACK_FUNCTION && callbackType != kCallbackNull) return alsa::fail(MMSYSERR_INVALFLAG);
  const PcmEntry* device = entry(capture ? inputs_ : outputs_, deviceId);
  if (device == nullptr)
    return alsa::failAlsa(MMSYSERR_BADDEVICEID,
                          (capture ? "input device " : "output device ") + std::to_string(deviceId), -ENODEV);
  snd_pcm_t* pcm = nullptr;
  alsa::PcmSizes sizes;
  const MMRESULT result = alsa::openPcm(device->pcm, capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK, format,
                                        capture ? kCaptureBufferUs : kPlaybackBufferUs, kPeriodUs, &pcm, &sizes);
  if (result != MMSYSERR_NOERROR) return result;
  auto* opened =
      new Device(pcm, device->pcm, *format, sizes, callbackType == CALLBACK_FUNCTION ? callback : 0, instance);
  open.add(opened);
  *handle = opened;
  opened->launch();
  return MMSYSERR_NOERROR;
}

std::string AlsaDriver::lastErrorText(MMRESULT error) { return alsa::lastText(error); }

// --- wave input ---

UINT AlsaDriver::waveInGetNumDevs() { return static_cast<UINT>(inputs_.size()); }

MMRESULT AlsaDriver::waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps) {
  const PcmEntry* device = entry(inputs_, deviceId);
  if (device == nullptr) return alsa::fail(MMSYSERR_BADDEVICEID);
  WAVEINCAPSA record{};
  record.vDriverVersion = 0x0100;
  alsa::copyName(record.szPname, sizeof record.szPname, device->name);
  record.dwFormats = WAVE_FORMAT_ALL;  // the plug layer converts every PCM format
  record.wChannels = 2;
  return alsa::copyRecord(record, caps, cbCaps);
}

MMRESULT AlsaDriver::waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                DWORD_PTR instance, DWORD flags) {
  return openWave(waveIns_, handle, deviceId, format, callback, instance, flags);
}

MMRESULT AlsaDriver::waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) {
  return forward(waveIns_.find(handle), &alsa::WaveIn::prepare, header, cbHeader);
}

MMRESULT AlsaDriver::waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) {
  return forward(waveIns_.find(handle), &alsa::WaveIn::addBuffer, header, cbHeader);
}

MMRESULT AlsaDriver::waveInStart(HWAVEIN handle) { return forward(waveIns_.find(handle), &alsa::WaveIn::start); }

MMRESULT AlsaDriver::waveInReset(HWAVEIN handle) { return forward(waveIns_.find(handle), &alsa::WaveIn::reset); }

MMRESULT AlsaDriver::waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) {
  return forward(waveIns_.find(handle), &alsa::WaveIn::unprepare, header, cbHeader);
}

MMRESULT AlsaDriver::waveInClose(HWAVEIN handle) { return closeWave(waveIns_, handle); }

DWORD AlsaDriver::waveInOverruns(HWAVEIN handle) {
  alsa::WaveIn* in = waveIns_.find(handle);
  return in != nullptr ? in->xruns() : 0;
}

// --- wave output ---

UINT AlsaDriver::waveOutGetNumDevs() { return static_cast<UINT>(outputs_.size()); }

MMRESULT AlsaDriver::waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT cbCaps) {
  const PcmEntry* device = entry(outputs_, deviceId);
  if (device == nullptr) return alsa::fail(MMSYSERR_BADDEVICEID);
  WAVEOUTCAPSA record{};
  record.vDriverVersion = 0x0100;
  alsa::copyName(record.szPname, sizeof record.szPname, device->name);
  record.dwFormats = WAVE_FORMAT_ALL;
  record.wChannels = 2;
  alsa::MixerSession session;
  if (session.open(device->ctl) == MMSYSERR_NOERROR) {
    const alsa::ElementSide master = session.master();
    if (master.hasVolume()) {
      record.dwSupport |= WAVECAPS_VOLUME;
      if (master.channels() == 2) record.dwSupport |= WAVECAPS_LRVOLUME;
    }
  }
  return alsa::copyRecord(record, caps, cbCaps);
}

MMRESULT AlsaDriver::waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                                 DWORD_PTR instance, DWORD flags) {
  return openWave(waveOuts_, handle, deviceId, format, callback, instance, flags);
}

MMRESULT AlsaDriver::waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) {
  return forward(waveOuts_.find(handle), &alsa::WaveOut::prepare, header, cbHeader);
}

MMRESULT AlsaDriver::waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) {
  return forward(waveOuts_.find(handle), &alsa::WaveOut::write, header, cbHeader);
}

MMRESULT AlsaDriver::waveOutReset(HWAVEOUT handle) { return forward(waveOuts_.find(handle), &alsa::WaveOut::reset); }

MMRESULT AlsaDriver::waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) {
  return forward(waveOuts_.find(handle), &alsa::WaveOut::unprepare, header, cbHeader);
}

MMRESULT AlsaDriver::waveOutClose(HWAVEOUT handle) { return closeWave(waveOuts_, handle); }

DWORD AlsaDriver::waveOutUnderruns(HWAVEOUT handle) {
  alsa::WaveOut* out = waveOuts_.find(handle);
  return out != nullptr ? out->xruns() : 0;
}

MMRESULT AlsaDriver::outputVolume(UINT_PTR deviceId, DWORD* get, const DWORD* set) {
  const PcmEntry* device = entry(outputs_, deviceId);
  if (device == nullptr) return alsa::fail(MMSYSERR_BADDEVICEID);
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
  if (volume == nullptr) return alsa::fail(MMSYSERR_INVALPARAM);
  return outputVolume(deviceId, volume, nullptr);
}

MMRESULT AlsaDriver::waveOutSetVolume(UINT_PTR deviceId, DWORD volume) {
  return outputVolume(deviceId, nullptr, &volume);
}

// --- mixer ---

UINT AlsaDriver::mixerGetNumDevs() { return static_cast<UINT>(mixers_.size()); }

MMRESULT AlsaDriver::mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT cbCaps) {
  if (deviceId >= mixers_.size()) return alsa::fail(MMSYSERR_BADDEVICEID);
  MIXERCAPSA record{};
  record.vDriverVersion = 0x0100;
  alsa::copyName(record.szPname, sizeof record.szPname, mixers_[deviceId].name);
  record.cDestinations = 2;
  return alsa::copyRecord(record, caps, cbCaps);
}

MMRESULT AlsaDriver::mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR, DWORD flags) {
  if (handle == nullptr) return alsa::fail(MMSYSERR_INVALPARAM);
  if (deviceId >= mixers_.size()) return alsa::fail(MMSYSERR_BADDEVICEID);
  const DWORD callbackType = flags & kCallbackMask;
  if (callbackType != CALLBACK_WINDOW && callbackType != kCallbackNull) return alsa::fail(MMSYSERR_INVALFLAG);
  auto* target = callbackType == CALLBACK_WINDOW ? reinterpret_cast<MessageTarget*>(callback) : nullptr;
  auto* opened = new alsa::Mixer(mixers_[deviceId].name, *levels_, target);
  const MMRESULT result = opened->open(mixers_[deviceId].ctl);
  if (result != MMSYSERR_NOERROR) {
    delete opened;
    return result;
  }
  mixerHandles_.add(opened);
  *handle = opened;
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaDriver::mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) {
  return forward(mixerHandles_.find(handle), &alsa::Mixer::lineInfo, line, flags);
}

MMRESULT AlsaDriver::mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags) {
  return forward(mixerHandles_.find(handle), &alsa::Mixer::lineControls, controls, flags);
}

MMRESULT AlsaDriver::mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) {
  return forward(mixerHandles_.find(handle), &alsa::Mixer::getDetails, details, flags);
}

MMRESULT AlsaDriver::mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) {
  return forward(mixerHandles_.find(handle), &alsa::Mixer::setDetails, details, flags);
}

MMRESULT AlsaDriver::mixerClose(HMIXER handle) {
  alsa::Mixer* m = mixerHandles_.find(handle);
  if (m == nullptr) return alsa::fail(MMSYSERR_INVALHANDLE);
  mixerHandles_.remove(handle);
  delete m;  // joins the event thread: nothing is posted after this returns
  return MMSYSERR_NOERROR;
}
