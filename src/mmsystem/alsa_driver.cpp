// Real sound cards through ALSA.
#include "alsa_driver.h"

#include <alsa/asoundlib.h>

AlsaDriver::AlsaDriver() = default;
AlsaDriver::~AlsaDriver() = default;

bool AlsaDriver::available() {
  int card = -1;
  if (snd_card_next(&card) == 0 && card >= 0) return true;
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) == 0) {
    snd_pcm_close(pcm);
    return true;
  }
  return false;
}

UINT AlsaDriver::waveInGetNumDevs() { return 0; }
MMRESULT AlsaDriver::waveInGetDevCaps(UINT_PTR, WAVEINCAPSA*, UINT) { return MMSYSERR_BADDEVICEID; }
MMRESULT AlsaDriver::waveInOpen(HWAVEIN*, UINT, const WAVEFORMATEX*, DWORD_PTR, DWORD_PTR, DWORD) {
  return MMSYSERR_NOTSUPPORTED;
}
MMRESULT AlsaDriver::waveInPrepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveInAddBuffer(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveInStart(HWAVEIN) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveInReset(HWAVEIN) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveInUnprepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveInClose(HWAVEIN) { return MMSYSERR_NOTSUPPORTED; }
UINT AlsaDriver::waveOutGetNumDevs() { return 0; }
MMRESULT AlsaDriver::waveOutGetDevCapsA(UINT_PTR, WAVEOUTCAPSA*, UINT) { return MMSYSERR_BADDEVICEID; }
MMRESULT AlsaDriver::waveOutOpen(HWAVEOUT*, UINT, const WAVEFORMATEX*, DWORD_PTR, DWORD_PTR, DWORD) {
  return MMSYSERR_NOTSUPPORTED;
}
MMRESULT AlsaDriver::waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveOutWrite(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveOutReset(HWAVEOUT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveOutClose(HWAVEOUT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveOutGetVolume(UINT_PTR, DWORD*) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::waveOutSetVolume(UINT_PTR, DWORD) { return MMSYSERR_NOTSUPPORTED; }
UINT AlsaDriver::mixerGetNumDevs() { return 0; }
MMRESULT AlsaDriver::mixerGetDevCapsA(UINT_PTR, MIXERCAPSA*, UINT) { return MMSYSERR_BADDEVICEID; }
MMRESULT AlsaDriver::mixerOpen(HMIXER*, UINT, DWORD_PTR, DWORD_PTR, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::mixerGetLineInfoA(HMIXEROBJ, MIXERLINEA*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::mixerGetLineControlsA(HMIXEROBJ, MIXERLINECONTROLSA*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::mixerGetControlDetailsA(HMIXEROBJ, MIXERCONTROLDETAILS*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::mixerSetControlDetails(HMIXEROBJ, MIXERCONTROLDETAILS*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT AlsaDriver::mixerClose(HMIXER) { return MMSYSERR_NOTSUPPORTED; }
