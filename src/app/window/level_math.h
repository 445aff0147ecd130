// The arithmetic of the level sliders and the automatic level control: conversions
// between mixer volumes (0 silent .. 65535 full) and slider positions (0 at the top is
// full volume, Max at the bottom silence), the balance, and the down steps. Everything
// is computed in extended precision and rounded to the nearest integer with halves to
// the even neighbour.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

namespace level {

constexpr long double fullVolume = 65535.0L;

// The nearest integral value, halves to the even neighbour (the default rounding mode);
// as a floating-point value, so that one out of any integer's range can still be checked.
inline long double nearestEven(long double x) { return std::nearbyintl(x); }
// Nearest integer, halves to the even neighbour.
inline long long roundEven(long double x) { return static_cast<long long>(nearestEven(x)); }

inline uint16_t toVolume(long long v) { return static_cast<uint16_t>(std::clamp<long long>(v, 0, 65535)); }

// Slider position showing `volume` on a slider of range 0..max.
inline int sliderFromVolume(uint16_t volume, int max) {
  return max - static_cast<int>(roundEven(std::fabs(volume / fullVolume * max)));
}

// Volume set by a slider of range 0..max standing at `position`.
inline uint16_t volumeFromSlider(int position, int max) {
  if (max <= 0) return 0;
  return toVolume(roundEven(static_cast<long double>(max - position) / max * fullVolume));
}

// Balance position 0..100 (50 centre) showing a pair of volumes; none when both are 0.
inline std::optional<int> balanceFromVolumes(uint16_t left, uint16_t right) {
  const uint16_t m = std::max(left, right);
  if (m == 0) return std::nullopt;
  return static_cast<int>(roundEven((static_cast<long double>(right) - left) * 50 / m + 50));
}

// `volume` lowered by a balance slider `distance` (0..50) away from the centre towards
// the other channel: half of it at 25, all of it at 50.
inline uint16_t lowerByBalance(uint16_t volume, int distance) {
  return toVolume(roundEven(volume - static_cast<long double>(distance) / 50 * volume));
}

// The down step factor for an over-limit sum: a run longer than `overhigh` samples cuts
// 10 %, one longer than `overlow` 3 %, a shorter one 1 %.
inline long double downFactor(uint16_t over, uint16_t overlow, uint16_t overhigh) {
  if (over > overhigh) return 0.9L;
  if (over > overlow) return 0.97L;
  return 0.99L;
}

inline uint16_t scaleVolume(uint16_t volume, long double factor) { return toVolume(roundEven(volume * factor)); }

inline int32_t scaleLimit(int32_t limit, long double factor) { return static_cast<int32_t>(roundEven(limit * factor)); }

}  // namespace level
