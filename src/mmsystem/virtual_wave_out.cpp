// Wave output of the virtual sound card.
#include "virtual_driver.h"

MMRESULT VirtualDriver::waveOutOpen(HWAVEOUT*, UINT, const WAVEFORMATEX*, DWORD_PTR, DWORD_PTR, DWORD) {
  return MMSYSERR_NOTSUPPORTED;
}
MMRESULT VirtualDriver::waveOutPrepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveOutWrite(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveOutReset(HWAVEOUT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveOutUnprepareHeader(HWAVEOUT, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveOutClose(HWAVEOUT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveOutGetVolume(UINT_PTR, DWORD*) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveOutSetVolume(UINT_PTR, DWORD) { return MMSYSERR_NOTSUPPORTED; }
DWORD VirtualDriver::outputVolume(UINT) const { return 0; }
