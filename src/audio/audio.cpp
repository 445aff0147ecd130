// The audio component itself: construction and destruction, device numbers, the format
// setters with their buffer reallocation, the buffers, failure texts, the device
// description and the shutdown query.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "audio/Audio.h"
#include "audio/wave_file.h"

EFCreateError::EFCreateError(const std::string& fileName)
    : std::runtime_error("Datei " + fileName + " kann nicht erstellt werden") {}

namespace audio_memory {
Allocator allocate = [](size_t size) { return std::malloc(size); };
void release(void* p) { std::free(p); }
}  // namespace audio_memory

// --- TAudioSettings ---

TAudioSettings::TAudioSettings(TAudio* owner) : owner_(owner) {}

TAudioSettings::~TAudioSettings() { FreeBuffers(); }

void TAudioSettings::setChannels(TChannels v) { owner_->applyChannels(this, v); }
void TAudioSettings::setBitsPerSample(TBPS v) { owner_->applyBitsPerSample(this, v); }
void TAudioSettings::setSampleRate(uint32_t v) { owner_->applySampleRate(this, v); }

bool TAudioSettings::AllocBuffers() {
  waveFormat_ = nullptr;
  waveFormat_ = static_cast<WAVEFORMATEX*>(audio_memory::allocate(sizeof(WAVEFORMATEX)));
  if (waveFormat_ == nullptr) {
    owner_->ErrorMessage = "Not enough memory to allocate WaveFormat";
    return false;
  }
  // The 18-byte record of the format: plain PCM, or the float tag for float samples.
  const WORD channelCount = channels_ == TChannels::Stereo ? 2 : 1;
  *waveFormat_ = wavePlainFormat(waveFormatFor(waveSampleOfBits(bits_), channelCount, sampleRate_).Format);
  // One block: NoSamples frames, counted in 32 bits (a tenth of a second at 192000 Hz in
  // float stereo is 153600 bytes).
  bufferSize_ = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{noSamples_} * waveFormat_->nBlockAlign, UINT32_MAX));

  for (size_t i = 0; i < 4; ++i) {
    Headers[i] = nullptr;
    Headers[i] = static_cast<WAVEHDR*>(audio_memory::allocate(sizeof(WAVEHDR)));
    if (Headers[i] == nullptr) {
      owner_->ErrorMessage = "Not enough memory to allocate WaveHeader";
      return false;
    }
    std::memset(Headers[i], 0, sizeof(WAVEHDR));
    Buffers[i] = nullptr;
    RightBuffers[i] = nullptr;
    // A zero-sized block still gets a distinct buffer, so a header never points nowhere.
    Buffers[i] = static_cast<char*>(audio_memory::allocate(bufferSize_ > 0 ? bufferSize_ : 1));
    RightBuffers[i] = static_cast<char*>(audio_memory::allocate(bufferSize_ / 2 > 0 ? bufferSize_ / 2 : 1));
    if (Buffers[i] == nullptr || RightBuffers[i] == nullptr) {
      owner_->ErrorMessage = "Not enough memory to allocate Wave Buffer";
      return false;
    }
    Headers[i]->lpData = Buffers[i];
  }
  return true;
}

void TAudioSettings::FreeBuffers() {
  if (waveFormat_ == nullptr) return;
  audio_memory::release(waveFormat_);
  waveFormat_ = nullptr;
  for (size_t i = 0; i < 4; ++i) {
    audio_memory::release(Buffers[i]);
    audio_memory::release(RightBuffers[i]);
    audio_memory::release(Headers[i]);
    Buffers[i] = nullptr;
    RightBuffers[i] = nullptr;
    Headers[i] = nullptr;
  }
}

void TAudioSettings::reallocate() {
  if (IsOpen) {
    // The open device fills or plays these very buffers: they go when it has closed.
    reallocPending_ = true;
    return;
  }
  reallocPending_ = false;
  FreeBuffers();
  AllocBuffers();
}

void TAudioSettings::applyPendingFormat() {
  if (reallocPending_ && !IsOpen) reallocate();
}

void TAudioSettings::setupHeaders() {
  for (size_t i = 0; i < 4; ++i) {
    if (Headers[i] == nullptr) continue;
    std::memset(Headers[i], 0, sizeof(WAVEHDR));
    Headers[i]->lpData = Buffers[i];
    Headers[i]->dwBufferLength = bufferSize_;
  }
}

// --- TAudio ---

TAudio::TAudio() {
  recorder_ = std::make_unique<TRecorder>(this);
  player_ = std::make_unique<TPlayer>(this);
  notifyWindow_ = std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM) {
    if (msg == WM_QUERYENDSESSION) ShutdownQuery();
  });
  notifyWindow_->receiveBroadcasts();
  mixer_ = std::make_unique<TMixerSettings>(this);
  if (mixer_->BuildLineTree(0)) mixer_->Valid = true;
  recorder_->WaveFileOpen = false;
  ErrorMessage.clear();
  if (waveInGetNumDevs() >= 1) {
    if (recorder_->AllocBuffers() && waveOutGetNumDevs() >= 1) player_->AllocBuffers();
  }
}

TAudio::~TAudio() {
  player_->Stop();
  recorder_->Stop();
  mixer_.reset();
  if (recorder_->WaveFileOpen) completeWaveFile(*recorder_);
  recorder_->FreeBuffers();
  recorder_.reset();
  player_->FreeBuffers();
  player_.reset();
  notifyWindow_.reset();
}

void TAudio::ShutdownQuery() {
  // The devices are shut down and an open file completed; unlike a destruction the
  // component stays in place, so its owner can go on using it or close normally.
  player_->Stop();
  recorder_->Stop();
  if (recorder_->WaveFileOpen) completeWaveFile(*recorder_);
}

void TAudio::setAudioDeviceID(int32_t v) {
  if (v == audioDeviceId_) return;
  audioDeviceId_ = v <= 9 ? v : -1;
  recorder_->reallocate();
  player_->reallocate();
}

void TAudio::setMixerDeviceID(int32_t v) {
  if (v == mixerDeviceId_) return;
  mixerDeviceId_ = v;
  if (mixer_->BuildLineTree(v)) mixer_->Valid = true;
}

namespace {
// Applies one format change to the player and then the recorder (or only the object
// addressed when the controls are separate), reallocating where the value changed (for
// an open object once it has closed).
template <typename Field, typename Value>
void applyFormat(TAudio& audio, TAudioSettings* target, TPlayer* player, TRecorder* recorder, Field field, Value v) {
  auto take = [&](TAudioSettings* object) {
    if (object->*field == v) return;
    object->*field = v;
    object->reallocate();
  };
  if (audio.SeparateCtrls()) {
    take(target);
  } else {
    take(player);
    take(recorder);
  }
}
}  // namespace

// The format fields are protected members of TAudioSettings; TAudio is its friend and
// hands their member pointers to the helper above.
void TAudio::applyChannels(TAudioSettings* target, TChannels v) {
  applyFormat(*this, target, player_.get(), recorder_.get(), &TAudioSettings::channels_, v);
  recorder_->setSplitChannels(recorder_->SplitChannels());
}

void TAudio::applyBitsPerSample(TAudioSettings* target, TBPS v) {
  applyFormat(*this, target, player_.get(), recorder_.get(), &TAudioSettings::bits_, v);
}

void TAudio::applySampleRate(TAudioSettings* target, uint32_t v) {
  applyFormat(*this, target, player_.get(), recorder_.get(), &TAudioSettings::sampleRate_, v);
}

void TAudio::applyNoSamples(uint32_t v) {
  for (TAudioSettings* object :
       {static_cast<TAudioSettings*>(player_.get()), static_cast<TAudioSettings*>(recorder_.get())}) {
    if (object->noSamples_ == v) continue;
    object->noSamples_ = v;
    object->reallocate();
  }
}

void TRecorder::setNoSamples(uint32_t v) { Owner()->applyNoSamples(v); }

void TRecorder::setSplitChannels(bool v) { splitChannels_ = channels_ == TChannels::Stereo ? v : false; }

namespace {
std::string serviceText(MMRESULT code, MMRESULT (*getText)(MMRESULT, LPSTR, UINT)) {
  char text[512] = {};
  getText(code, text, 255);
  return text;
}
}  // namespace

void TAudio::setWaveInError(const std::string& message, MMRESULT code) {
  const std::string text = serviceText(code, waveInGetErrorTextA);
  ErrorMessage = text.empty() ? message : message + " " + text;
}

void TAudio::setWaveOutError(const std::string& message, MMRESULT code) {
  const std::string text = serviceText(code, waveOutGetErrorTextA);
  ErrorMessage = text.empty() ? message : message + " " + text;
}

bool TAudio::GetDeviceInfo(std::string& DeviceName, std::string& Description) {
  DeviceName.clear();
  Description.clear();
  // -1 (the wave mapper) always passes; every input device is listed, whatever the
  // number of output devices.
  if (audioDeviceId_ >= 0 && static_cast<UINT>(audioDeviceId_) >= waveInGetNumDevs()) {
    ErrorMessage = "No waveform device available";
    return false;
  }
  WAVEINCAPSA inCaps{};
  if (MMRESULT r =
          waveInGetDevCaps(static_cast<UINT_PTR>(static_cast<UINT>(audioDeviceId_)), &inCaps, sizeof(inCaps))) {
    setWaveInError("", r);
    return false;
  }
  // The whole name where the record's field cuts it.
  char wholeName[256];
  const bool whole = waveInGetDeviceNameA(static_cast<UINT_PTR>(static_cast<UINT>(audioDeviceId_)), wholeName,
                                          sizeof wholeName) == MMSYSERR_NOERROR;
  DeviceName = whole ? wholeName : inCaps.szPname;

  // The playback side of the description: what the output device of the same number
  // allows. A device without output gets the bare format text of its input.
  WAVEOUTCAPSA outCaps{};
  const bool hasOutput = waveOutGetDevCapsA(static_cast<UINT_PTR>(static_cast<UINT>(audioDeviceId_)), &outCaps,
                                            sizeof(outCaps)) == MMSYSERR_NOERROR;
  const DWORD formats = hasOutput ? outCaps.dwFormats : inCaps.dwFormats;
  const DWORD support = hasOutput ? outCaps.dwSupport : 0;

  if (formats & WAVE_FORMAT_1M08) Description += "11.025";
  if (formats & WAVE_FORMAT_2M08) Description += "/22.05";
  if (formats & WAVE_FORMAT_4M08) Description += "/44.1";
  Description += " kHz, ";
  if (formats & WAVE_FORMAT_1M08) Description += "Mono";
  if (formats & WAVE_FORMAT_1S08) Description += "/Stereo";
  if (formats & WAVE_FORMAT_1M08) Description += ", 8";
  if (formats & WAVE_FORMAT_1M16) Description += "/16";
  Description += "-bit, Playback Controls: ";
  if (support & WAVECAPS_LRVOLUME) {
    Description += "Separate L/R Volume";
  } else if (support & WAVECAPS_VOLUME) {
    Description += "Volume";
  }

  // Volume probe: does the output volume follow a change of 10 in each channel?
  uint16_t left = 0, right = 0;
  player_->GetOutVolume(left, right);
  const uint16_t probeLeft = static_cast<uint16_t>((left + 10) % 65535);
  const uint16_t probeRight = static_cast<uint16_t>((right + 10) % 65535);
  player_->SetOutVolume(probeLeft, probeRight);
  uint16_t readLeft = 0, readRight = 0;
  player_->GetOutVolume(readLeft, readRight);
  player_->SetOutVolume(left, right);
  if (readLeft != probeLeft || readRight != probeRight) {
    Description += " (not controllable with this DeviceID driver)";
  }

  if (support & WAVECAPS_PITCH) Description += ", Pitch";
  if (support & WAVECAPS_PLAYBACKRATE) Description += ", Rate";
  if (support & WAVECAPS_SYNC) Description += ", Synchronous Device";

  // Duplex probe: can output and input be open at the same time?
  recorder_->Probing = true;
  recorder_->Close();
  bool both = false;
  if (player_->Open()) {
    if (recorder_->Open()) both = player_->IsOpen && recorder_->IsOpen;
  }
  Description = (both ? "Full-duplex support, " : "Half-duplex support, ") + Description;
  recorder_->Close();
  recorder_->Probing = false;
  player_->closeWindow()->post(WOM_CLOSE, 0, 0);
  return true;
}
