// The description of a virtual sound card: its wave input and output devices, its
// mixers with their lines, how fast it runs and where its input comes from. The program
// uses the built-in default card; tests describe the card they need.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "mmsystem/mmsystem.h"

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
