// Wave input of the virtual sound card.
#include "virtual_driver.h"

MMRESULT VirtualDriver::waveInOpen(HWAVEIN*, UINT, const WAVEFORMATEX*, DWORD_PTR, DWORD_PTR, DWORD) {
  return MMSYSERR_NOTSUPPORTED;
}
MMRESULT VirtualDriver::waveInPrepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveInAddBuffer(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveInStart(HWAVEIN) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveInReset(HWAVEIN) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveInUnprepareHeader(HWAVEIN, WAVEHDR*, UINT) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::waveInClose(HWAVEIN) { return MMSYSERR_NOTSUPPORTED; }
