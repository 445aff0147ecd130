// The virtual sound card: an in-process, always available sound system with wave input
// devices (a generator or a looped WAV file), wave output devices and mixers whose lines
// carry volume, mute and peak meter controls. The program uses the built-in default card
// when no real sound card is present; tests describe the card they need (virtual_card.h).
// The driver owns the card's description, its wave inputs, wave outputs and mixers (one
// class each), and the fault injection and outside changes that tests ask for.
#pragma once

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_card.h"
#include "mmsystem/virtual/virtual_device.h"
#include "mmsystem/virtual/virtual_mixer.h"
#include "mmsystem/virtual/virtual_wave_in.h"
#include "mmsystem/virtual/virtual_wave_out.h"

// Every call of the service, for fault injection.
enum class VirtualCall {
  waveInGetDevCaps,
  waveInOpen,
  waveInPrepareHeader,
  waveInAddBuffer,
  waveInStart,
  waveInReset,
  waveInUnprepareHeader,
  waveInClose,
  waveOutGetDevCapsA,
  waveOutOpen,
  waveOutPrepareHeader,
  waveOutWrite,
  waveOutReset,
  waveOutUnprepareHeader,
  waveOutClose,
  waveOutGetVolume,
  waveOutSetVolume,
  mixerGetDevCapsA,
  mixerOpen,
  mixerGetLineInfoA,
  mixerGetLineControlsA,
  mixerGetControlDetailsA,
  mixerSetControlDetails,
  mixerClose,
};

class VirtualDriver : public Driver {
 public:
  VirtualDriver();  // the default card
  explicit VirtualDriver(VirtualCard card);
  ~VirtualDriver() override;

  const char* name() const override { return "virtual"; }
  const VirtualCard& card() const { return card_; }

  // Fault injection: the next call of `call` returns `result` without doing anything.
  void failNext(VirtualCall call, MMRESULT result);
  // Fault injection for every call of `call` until cleared with MMSYSERR_NOERROR.
  void failAlways(VirtualCall call, MMRESULT result);

  // Device faults while running. Every open wave device (input and output) fails for
  // good as a real device does when it is unplugged: its service thread hands back the
  // queued headers and raises WIM_ERROR / WOM_ERROR with `result` and a text naming the
  // device and `reason`. Returns at once; the devices report on their own threads.
  // The card going away (the driver destroyed with devices open) fails them the same
  // way, with MMSYSERR_NODRIVER, before it closes them.
  void failOpenDevices(MMRESULT result, const std::string& reason);
  // Stalls (true) or resumes (false) the service threads of the open input devices, as a
  // machine too busy to read the card does. Time goes on meanwhile: with real-time pacing
  // the block being filled when the stall began comes back with what it holds, the frames
  // of the stall are lost (the signal skips them, so it stays on the wall clock), and the
  // first header handed back after it reports one overrun and those frames (dwOverruns,
  // dwFramesLost).
  void pauseInputs(bool paused);
  // The next header an input device hands back reports one overrun in which `frames`
  // frames were lost (either pacing; the signal skips them).
  void loseInputFrames(DWORD frames);
  // Besides these, a real-time input whose owner queues a header more than two seconds
  // after the previous block ended (the card's buffer ran over) reports that time as lost.

  // A change made "from outside" (another program): sets a line's volume or mute and
  // posts the control-change message (977) to every open mixer of that device.
  void setVolumeFromOutside(UINT mixer, DWORD destination, DWORD source, WORD left, WORD right);
  void setMuteFromOutside(UINT mixer, DWORD destination, DWORD source, bool muted);
  // Current volume / mute of a line as the card holds it.
  std::vector<WORD> lineVolume(UINT mixer, DWORD destination, DWORD source) const;
  bool lineMuted(UINT mixer, DWORD destination, DWORD source) const;

  // Gain applied to the generated input signal (0..1 per channel): the product of the
  // volumes of the lines that feed the input, 0 when one of them is muted.
  std::array<double, 2> recordGain() const { return mixers_.recordGain(); }
  // Live input level (peak of the last delivered block per channel, 0..32767).
  std::array<int32_t, 2> inputLevel() const { return inputLevel_.get(); }
  void setInputLevel(int32_t left, int32_t right) { inputLevel_.set(left, right); }

  // Output volume of a wave output device (low word left, high word right).
  DWORD outputVolume(UINT device) const { return waveOutputs_.outputVolume(device); }
  // The blocks each output device played, in the order it played them, as written (the
  // output volume is not applied). Blocks returned unplayed by waveOutReset are not in it.
  std::vector<std::vector<char>> playedBlocks(UINT device) const { return waveOutputs_.playedBlocks(device); }
  void clearPlayed() { waveOutputs_.clearPlayed(); }

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

  // The text of the calling thread's last failure that had one (a bad input file).
  std::string lastErrorText(MMRESULT error) override;

 private:
  // Returns the injected result for `call`, or MMSYSERR_NOERROR when none is pending.
  MMRESULT injected(VirtualCall call);
  // A device of the other direction is open on a half-duplex card.
  bool busyOtherWay(size_t openOtherWay) const { return !card_.fullDuplex && openOtherWay > 0; }

  VirtualCard card_;

  mutable std::mutex faultMutex_;
  std::map<VirtualCall, MMRESULT> nextFault_;
  std::map<VirtualCall, MMRESULT> alwaysFault_;

  virtual_card::InputLevel inputLevel_;
  // The inputs go first when the driver does: their service threads read the mixers.
  virtual_card::Mixers mixers_{card_.mixers, inputLevel_};
  virtual_card::WaveOutputs waveOutputs_{card_};
  virtual_card::WaveInputs waveInputs_{card_, mixers_, inputLevel_};
};
