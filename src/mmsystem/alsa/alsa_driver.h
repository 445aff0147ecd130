// Real sound cards through ALSA.
//
// Wave devices are the capture and playback PCMs of the sound cards, opened through
// the plug layer ("plughw:C,D") so that 8/16-bit, mono/stereo and any rate work, at
// most ten per direction; device -1 (WAVE_MAPPER) is ALSA's "default" PCM, which on
// desktops reaches PulseAudio or PipeWire. Mixer devices are the cards' control
// interfaces, preceded by "default" when that is not a hardware card.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mmsystem/device_list.h"
#include "mmsystem/driver.h"

namespace alsa {
class LevelMemory;
class WaveIn;
class WaveOut;
class Mixer;
}  // namespace alsa

class AlsaDriver : public Driver {
 public:
  AlsaDriver();
  ~AlsaDriver() override;

  // True when ALSA has a sound card or its default capture device opens.
  static bool available();

  const char* name() const override { return "alsa"; }

  UINT waveInGetNumDevs() override;
  MMRESULT waveInGetDevCaps(UINT_PTR deviceId, WAVEINCAPSA* caps, UINT cbCaps) override;
  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveInStart(HWAVEIN handle) override;
  MMRESULT waveInReset(HWAVEIN handle) override;
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveInClose(HWAVEIN handle) override;

  UINT waveOutGetNumDevs() override;
  MMRESULT waveOutGetDevCapsA(UINT_PTR deviceId, WAVEOUTCAPSA* caps, UINT cbCaps) override;
  MMRESULT waveOutOpen(HWAVEOUT* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                       DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveOutPrepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveOutWrite(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveOutReset(HWAVEOUT handle) override;
  MMRESULT waveOutUnprepareHeader(HWAVEOUT handle, WAVEHDR* header, UINT cbHeader) override;
  MMRESULT waveOutClose(HWAVEOUT handle) override;
  MMRESULT waveOutGetVolume(UINT_PTR deviceId, DWORD* volume) override;
  MMRESULT waveOutSetVolume(UINT_PTR deviceId, DWORD volume) override;

  UINT mixerGetNumDevs() override;
  MMRESULT mixerGetDevCapsA(UINT_PTR deviceId, MIXERCAPSA* caps, UINT cbCaps) override;
  MMRESULT mixerOpen(HMIXER* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) override;
  MMRESULT mixerGetLineInfoA(HMIXEROBJ handle, MIXERLINEA* line, DWORD flags) override;
  MMRESULT mixerGetLineControlsA(HMIXEROBJ handle, MIXERLINECONTROLSA* controls, DWORD flags) override;
  MMRESULT mixerGetControlDetailsA(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT mixerSetControlDetails(HMIXEROBJ handle, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT mixerClose(HMIXER handle) override;

  std::string lastErrorText(MMRESULT error) override;
  DWORD waveInOverruns(HWAVEIN handle) override;
  // Under-runs recovered on an open wave-out device since it was opened (0 for a handle
  // that is not one).
  DWORD waveOutUnderruns(HWAVEOUT handle);

  // A wave device: the PCM opened for it, the name shown, and its card's control device.
  struct PcmEntry {
    std::string pcm;
    std::string name;
    std::string ctl;
  };
  // A mixer device: its control device and the product name shown.
  struct MixerEntry {
    std::string ctl;
    std::string name;
  };
  const std::vector<PcmEntry>& inputs() const { return inputs_; }
  const std::vector<PcmEntry>& outputs() const { return outputs_; }
  const std::vector<MixerEntry>& mixers() const { return mixers_; }

 private:
  // The device entry for `deviceId` (WAVE_MAPPER: the default device), or null.
  const PcmEntry* entry(const std::vector<PcmEntry>& list, UINT_PTR deviceId) const;
  // Opens wave device `deviceId` of the direction Device serves: its PCM in `format`,
  // the device kept in `open`, its service thread past the open callback.
  template <typename Device, typename Handle>
  MMRESULT openWave(DeviceList<Device>& open, Handle* handle, UINT deviceId, const WAVEFORMATEX& format,
                    DWORD_PTR callback, DWORD_PTR instance);
  // Reads (`get`) or sets (`set`) the master playback volume of an output device.
  MMRESULT outputVolume(UINT_PTR deviceId, DWORD* get, const DWORD* set);

  std::vector<PcmEntry> inputs_;
  std::vector<PcmEntry> outputs_;
  PcmEntry defaultInput_;
  PcmEntry defaultOutput_;
  std::vector<MixerEntry> mixers_;
  std::unique_ptr<alsa::LevelMemory> levels_;

  DeviceList<alsa::WaveIn> waveIns_;
  DeviceList<alsa::WaveOut> waveOuts_;
  DeviceList<alsa::Mixer> mixerHandles_;
};
