// The virtual card's generated input signal: a tone per channel (440 Hz left, 660 Hz
// right) whose loudness swells and fades slowly. At a record gain of 1 the loud part of
// each swell exceeds full scale and clips; at about 0.8 of the gain it just fits. The
// signal depends only on the frame position, so blocks join seamlessly.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace virtual_card {

// A frame of the card's input on the 16-bit scale, left and right.
using SignalFrame = std::array<int32_t, 2>;

// A value rounded and held to the 16-bit range.
inline int32_t clamp16(double v) { return static_cast<int32_t>(std::clamp(std::lround(v), -32768L, 32767L)); }

// The tones of `frames` frames from frame `start` at `rate`, each channel scaled by its
// record gain, one frame after the other.
class ToneGenerator {
 public:
  ToneGenerator(uint64_t start, uint32_t rate, uint32_t frames, const std::array<double, 2>& gain);
  SignalFrame next();

 private:
  // An oscillator that rotates a phasor per frame: cosine, sine and the step's.
  struct Tone {
    double c, s, dc, ds;
  };
  Tone tones_[2];
  double level_[2];
  double levelStep_[2];
};

}  // namespace virtual_card
