// Real sound cards through ALSA.
#pragma once

#include "driver.h"

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
};
