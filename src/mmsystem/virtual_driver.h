// The virtual sound card: an in-process, always available sound system with wave input
// devices (a generator or a looped WAV file), wave output devices and mixers whose lines
// carry volume, mute and peak meter controls. The program uses the built-in default card
// when no real sound card is present; tests describe the card they need.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "driver.h"

// One mixer line of the virtual card.
struct VirtualLine {
  std::string name;
  DWORD channels = 2;       // channel count of the line (more than two is allowed)
  bool volume = true;       // has a volume control
  bool mute = true;         // has a mute control
  bool peak = false;        // has a peak meter, reading the live input level of the card
  bool feedsInput = false;  // its volume (and mute) scales the generated input signal
  WORD initialVolume = 49152;
};

struct VirtualDestination {
  VirtualLine line;
  std::vector<VirtualLine> sources;
};

struct VirtualMixer {
  std::string name;
  std::vector<VirtualDestination> destinations;
};

struct VirtualWaveDevice {
  std::string name;
  DWORD formats = WAVE_FORMAT_ALL;                      // capability bits reported
  DWORD support = WAVECAPS_VOLUME | WAVECAPS_LRVOLUME;  // output support bits
  // Formats the device refuses to open with (WAVERR_BADFORMAT); empty accepts every PCM format.
  std::function<bool(const WAVEFORMATEX&)> refuses;
  bool volumeFollows = true;  // output: a set volume reads back as set
};

enum class VirtualPacing {
  RealTime,        // blocks are delivered/consumed at the rate of the format (monotonic clock)
  AsFastAsQueued,  // blocks are delivered/consumed as soon as headers are queued (tests)
};

struct VirtualCard {
  std::vector<VirtualWaveDevice> inputs;
  std::vector<VirtualWaveDevice> outputs;
  std::vector<VirtualMixer> mixers;
  VirtualPacing pacing = VirtualPacing::RealTime;
  // When false, an input and an output cannot be open at the same time (half duplex).
  bool fullDuplex = true;
  // A WAV file played (looped, converted to the opened format) instead of the generator.
  std::string inputFile;

  // The card the program uses: inputs and outputs "Virtual Sound Card", one mixer with
  // "Recording" (sources "Line In" stereo, "Microphone" one-channel; volume, mute and a
  // peak meter on each) as destination 0 and "Playback" (sources "Wave", "Line In") as
  // destination 1.
  // TESSARON_VIRTUAL_INPUT names the input file.
  static VirtualCard defaultCard();
};

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
  std::array<double, 2> recordGain() const;
  // Live input level (peak of the last delivered block per channel, 0..32767).
  std::array<int32_t, 2> inputLevel() const { return {inputLevel_[0].load(), inputLevel_[1].load()}; }
  void setInputLevel(int32_t left, int32_t right) {
    inputLevel_[0].store(left);
    inputLevel_[1].store(right);
  }

  // Output volume of a wave output device (low word left, high word right).
  DWORD outputVolume(UINT device) const;

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
  // Remembers `text` as the calling thread's last failure, and returns `code`.
  MMRESULT failWith(MMRESULT code, std::string text);
  // Returns the injected result for `call`, or MMSYSERR_NOERROR when none is pending.
  MMRESULT injected(VirtualCall call);
  // Resolves a device number (WAVE_MAPPER = device 0) against a device list.
  static bool resolveDevice(UINT deviceId, size_t count, size_t& index);

  VirtualCard card_;

  mutable std::mutex faultMutex_;
  std::map<VirtualCall, MMRESULT> nextFault_;
  std::map<VirtualCall, MMRESULT> alwaysFault_;

  std::atomic<int32_t> inputLevel_[2] = {0, 0};

  // Open-device bookkeeping for the duplex rule.
  std::atomic<int> openInputs_{0};
  std::atomic<int> openOutputs_{0};

  // --- mixer state (virtual_mixer.cpp) ---
  struct LineState {
    std::vector<WORD> volume;  // one value per channel
    bool muted = false;
  };
  // Control kinds of a line; a control id encodes mixer, destination, source and kind.
  enum ControlKind : DWORD { kindVolume = 1, kindMute = 2, kindPeak = 3 };
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
  const VirtualLine* findLine(UINT mixer, DWORD destination, DWORD source) const;
  bool hasControl(const VirtualLine& line, DWORD kind) const;
  // Posts 977 to every open mixer of device `mixer` that asked for window notification.
  // Called with mixerMutex_ held, so that mixerClose can guarantee no later post.
  void postControlChange(UINT mixer, DWORD controlId);
  struct OpenMixer;
  OpenMixer* openMixer(HMIXEROBJ handle) const;  // with mixerMutex_ held; nullptr when not open
  // The mixer device a handle was opened on; false when the handle is not open.
  bool mixerDevice(HMIXEROBJ handle, UINT& mixer) const;
  mutable std::mutex mixerMutex_;
  std::vector<std::vector<std::vector<LineState>>> lineState_;  // [mixer][destination][source]
  std::vector<OpenMixer*> openMixers_;
  // Closes mixers still open when the card goes away.
  struct MixerReaper {
    VirtualDriver* driver;
    ~MixerReaper();
  } mixerReaper_{this};

  // --- wave input state (virtual_wave_in.cpp) ---
  struct WaveInDevice;
  struct InputFile;
  // The open device behind a handle, or nullptr when the handle is not one of ours.
  WaveInDevice* findWaveIn(HWAVEIN handle);
  // The service thread of one open input device.
  void runWaveIn(WaveInDevice& device);
  // Hands every queued header back (the first with what it has recorded so far).
  void returnQueuedHeaders(WaveInDevice& device, std::unique_lock<std::mutex>& lock);
  // Hands every queued header back and raises WIM_ERROR with the device's failure.
  void reportFailure(WaveInDevice& device, std::unique_lock<std::mutex>& lock);
  // After a stall in real time: hands back the block being filled with what was sampled
  // before the stall and counts the stall's frames as lost.
  void resumeAfterStall(WaveInDevice& device, std::unique_lock<std::mutex>& lock);
  // Hands `header` (taken off the queue) back with `frames` frames of the signal and the
  // input lost before it. Called with the device's lock, released during the callback.
  void handBack(WaveInDevice& device, WAVEHDR& header, DWORD frames, std::unique_lock<std::mutex>& lock);
  // Fills `frames` frames of `header` with the device's signal and updates the peaks.
  void fillInput(WaveInDevice& device, WAVEHDR& header, DWORD frames);
  // Asks every open input to fail (failOpenDevices).
  void failWaveIns(MMRESULT result, const std::string& reason);
  // The decoded input file (inputFile), loaded on the first open and shared afterwards.
  MMRESULT loadInputFile(std::shared_ptr<const InputFile>& file);
  std::mutex waveInMutex_;
  std::vector<WaveInDevice*> openWaveIns_;
  std::shared_ptr<const InputFile> inputFile_;
  // Fails and closes the inputs still open when the card goes away (their threads would
  // otherwise go on running against a destroyed driver).
  struct WaveInReaper {
    VirtualDriver* driver;
    ~WaveInReaper();
  } waveInReaper_{this};

  // --- wave output state (virtual_wave_out.cpp) ---
 public:
  // The blocks each output device played, in the order it played them, as written (the
  // output volume is not applied). Blocks returned unplayed by waveOutReset are not in it.
  std::vector<std::vector<char>> playedBlocks(UINT device) const;
  void clearPlayed();

 private:
  struct OpenWaveOut;
  // The open device behind a handle, or nullptr when the handle is not one of ours.
  OpenWaveOut* findWaveOut(HWAVEOUT handle) const;
  void waveOutThread(OpenWaveOut* device);
  // Asks every open output to fail (failOpenDevices).
  void failWaveOuts(MMRESULT result, const std::string& reason);
  mutable std::mutex outVolumeMutex_;
  std::vector<DWORD> outVolume_;
  mutable std::mutex waveOutMutex_;  // the open devices; taken before a device's own mutex
  std::vector<OpenWaveOut*> openWaveOuts_;
  mutable std::mutex playedMutex_;                      // taken after a device's own mutex
  std::vector<std::vector<std::vector<char>>> played_;  // [device][block]
  // Fails, empties and closes the output devices still open when the card goes away.
  struct WaveOutReaper {
    VirtualDriver* driver;
    ~WaveOutReaper();
  } waveOutReaper_{this};
};
