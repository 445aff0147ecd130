// The mixers of the virtual sound card: lines with volume, mute and peak meter controls,
// their values, and control-change messages (977) to every open mixer of a device,
// whether the change came through a handle or "from outside".
#pragma once

#include <array>
#include <mutex>
#include <vector>

#include "mmsystem/device_list.h"
#include "mmsystem/virtual/virtual_card.h"
#include "mmsystem/virtual/virtual_device.h"

namespace virtual_card {

class Mixers {
 public:
  // The peak meters read `level`.
  Mixers(const std::vector<VirtualMixer>& mixers, const InputLevel& level);
  ~Mixers();

  UINT count() const { return static_cast<UINT>(mixers_.size()); }
  void caps(UINT device, MIXERCAPSA& caps) const;
  // Change messages go to `target` (none when null).
  MMRESULT open(HMIXER* handle, UINT device, HWND target);
  void close(HMIXER handle);
  MMRESULT lineInfo(HMIXEROBJ handle, MIXERLINEA& line, DWORD flags) const;
  MMRESULT lineControls(HMIXEROBJ handle, MIXERLINECONTROLSA& controls) const;
  MMRESULT getDetails(HMIXEROBJ handle, const MIXERCONTROLDETAILS& details) const;
  MMRESULT setDetails(HMIXEROBJ handle, const MIXERCONTROLDETAILS& details);

  // A change made "from outside" (another program): sets a line's volume or mute and
  // posts the control-change message to every open mixer of that device.
  void setVolumeFromOutside(UINT mixer, DWORD destination, DWORD source, WORD left, WORD right);
  void setMuteFromOutside(UINT mixer, DWORD destination, DWORD source, bool muted);
  std::vector<WORD> lineVolume(UINT mixer, DWORD destination, DWORD source) const;
  bool lineMuted(UINT mixer, DWORD destination, DWORD source) const;
  // The product of the volumes of the lines that feed the input (0..1 per channel), 0
  // when one of them is muted.
  std::array<double, 2> recordGain() const;

  // Control kinds of a line; a control id encodes mixer, destination, source and kind.
  enum ControlKind : DWORD { kindVolume = 1, kindMute = 2, kindPeak = 3 };

 private:
  struct OpenMixer;
  struct LineState {
    std::vector<WORD> volume;  // one value per channel
    bool muted = false;
  };
  struct ControlAddress {
    UINT mixer = 0;
    DWORD destination = 0;
    DWORD source = 0;  // 0 = the destination line itself, 1.. its sources
    DWORD kind = 0;
  };
  // Control ids: mixer m, destination d, source s (0 = destination), control kind k.
  // They stay below 65535 for up to 8 mixers, 16 destinations and 126 sources each.
  static DWORD controlId(UINT mixer, DWORD destination, DWORD source, DWORD kind);
  static bool decodeControlId(DWORD id, ControlAddress& address);
  static DWORD lineId(UINT mixer, DWORD destination, DWORD source);
  static bool hasControl(const VirtualLine& line, DWORD kind);
  const VirtualLine* findLine(UINT mixer, DWORD destination, DWORD source) const;
  // The line a control id of mixer device `mixer` names, when it has that control.
  const VirtualLine* controlLine(UINT mixer, DWORD id, ControlAddress& address) const;
  // Posts 977 to every open mixer of device `mixer` that has a notification target.
  // Called with mutex_ held.
  void postControlChange(UINT mixer, DWORD controlId);

  const std::vector<VirtualMixer>& mixers_;
  const InputLevel& level_;
  mutable std::mutex mutex_;                                    // the values of the lines
  std::vector<std::vector<std::vector<LineState>>> lineState_;  // [mixer][destination][source]
  DeviceList<OpenMixer> open_;
};

}  // namespace virtual_card
