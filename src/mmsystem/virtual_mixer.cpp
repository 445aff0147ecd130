// Mixer of the virtual sound card.
#include "virtual_driver.h"

struct VirtualDriver::OpenMixer {};

MMRESULT VirtualDriver::mixerOpen(HMIXER*, UINT, DWORD_PTR, DWORD_PTR, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::mixerGetLineInfoA(HMIXEROBJ, MIXERLINEA*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::mixerGetLineControlsA(HMIXEROBJ, MIXERLINECONTROLSA*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::mixerGetControlDetailsA(HMIXEROBJ, MIXERCONTROLDETAILS*, DWORD) {
  return MMSYSERR_NOTSUPPORTED;
}
MMRESULT VirtualDriver::mixerSetControlDetails(HMIXEROBJ, MIXERCONTROLDETAILS*, DWORD) { return MMSYSERR_NOTSUPPORTED; }
MMRESULT VirtualDriver::mixerClose(HMIXER) { return MMSYSERR_NOTSUPPORTED; }
void VirtualDriver::setVolumeFromOutside(UINT, DWORD, DWORD, WORD, WORD) {}
void VirtualDriver::setMuteFromOutside(UINT, DWORD, DWORD, bool) {}
std::vector<WORD> VirtualDriver::lineVolume(UINT, DWORD, DWORD) const { return {}; }
bool VirtualDriver::lineMuted(UINT, DWORD, DWORD) const { return false; }
std::array<double, 2> VirtualDriver::recordGain() const { return {1.0, 1.0}; }
