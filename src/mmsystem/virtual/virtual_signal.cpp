// The generator's tones and their slow swell.
#include "mmsystem/virtual/virtual_signal.h"

#include <numbers>

namespace virtual_card {

namespace {

constexpr uint32_t kLeftTone = 440;
constexpr uint32_t kRightTone = 660;
constexpr double kSwellSeconds = 4.0;
constexpr double kSwellMean = 0.8;
constexpr double kSwellDepth = 0.45;

double swell(uint64_t frame, uint32_t rate, double phase) {
  const double t = static_cast<double>(frame) / rate;
  return kSwellMean + kSwellDepth * std::sin(2 * std::numbers::pi * t / kSwellSeconds + phase);
}

}  // namespace

ToneGenerator::ToneGenerator(uint64_t start, uint32_t rate, uint32_t frames, const std::array<double, 2>& gain) {
  // Each block starts from the exact phase of its first frame.
  auto tone = [&](uint32_t frequency) {
    const double phase = 2 * std::numbers::pi * static_cast<double>((start * frequency) % rate) / rate;
    const double step = 2 * std::numbers::pi * frequency / rate;
    return Tone{std::cos(phase), std::sin(phase), std::cos(step), std::sin(step)};
  };
  tones_[0] = tone(kLeftTone);
  tones_[1] = tone(kRightTone);
  for (int c = 0; c < 2; ++c) {
    const double phase = c * std::numbers::pi / 2;
    level_[c] = swell(start, rate, phase) * gain[c] * 32767.0;
    levelStep_[c] = frames == 0 ? 0 : (swell(start + frames, rate, phase) * gain[c] * 32767.0 - level_[c]) / frames;
  }
}

SignalFrame ToneGenerator::next() {
  SignalFrame v;
  for (int c = 0; c < 2; ++c) {
    Tone& t = tones_[c];
    v[c] = clamp16(t.s * level_[c]);
    const double nc = t.c * t.dc - t.s * t.ds;
    t.s = t.s * t.dc + t.c * t.ds;
    t.c = nc;
    level_[c] += levelStep_[c];
  }
  return v;
}

}  // namespace virtual_card
