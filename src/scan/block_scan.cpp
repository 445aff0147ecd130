// The block scan: one plain scan for every sample type, written so that the compiler
// vectorises its first pass (peaks, the heard flag and whether any sample is over the
// limit); the clip runs are followed sample by sample only in a block that has a sample
// over the limit at all.
#include "scan/block_scan.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

namespace {

// A sample type: how a sample is read, and the bounds it is held to. A sample v is in a
// range [lo, hi] when v <= hi && v >= lo, so that a NaN lies outside every range and a
// range with hi < lo (a negative limit) holds nothing.
template <class V>
struct Range {
  V lo, hi;
  bool holds(V v) const { return (v <= hi) & (v >= lo); }
};

int32_t clampToInt32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

struct Unsigned8 {
  using Value = int32_t;  // u - 128
  static constexpr size_t kBytes = 1;
  static Value load(const uint8_t* p) { return int32_t{p[0]} - 128; }
  // u > 128 + limit8 is v > limit8; u < 127 - limit8 is v < -1 - limit8.
  static Range<Value> clip(int32_t limit8, int32_t) {
    return {clampToInt32(-1 - int64_t{limit8}), clampToInt32(limit8)};
  }
  static Range<Value> quiet() { return {-kQuietLimit8, kQuietLimit8}; }
  // The peak is the distance from silence, either way.
  static Value peakOf(Value v) { return v < 0 ? -v : v; }
  static uint16_t scaled(Value peak, bool) { return static_cast<uint16_t>(peak); }
};

// Signed little-endian integers of 2 or 3 bytes, measured against limits on the 16-bit
// scale at their own resolution: a step of the 16-bit scale is `kScale` of theirs.
template <size_t kWidth>
struct SignedInteger {
  using Value = int32_t;
  static constexpr size_t kBytes = kWidth;
  static constexpr int64_t kScale = kWidth == 2 ? 1 : 256;
  static Value load(const uint8_t* p) {
    if constexpr (kWidth == 2 && std::endian::native == std::endian::little) {
      int16_t s;
      std::memcpy(&s, p, 2);
      return s;
    } else if constexpr (kWidth == 2) {
      return static_cast<int16_t>(p[0] | p[1] << 8);
    } else {
      return int32_t{p[0]} | int32_t{p[1]} << 8 | int32_t{int8_t(p[2])} << 16;
    }
  }
  static Range<Value> clip(int32_t, int32_t limit16) {
    return {clampToInt32(-int64_t{limit16} * kScale), clampToInt32(int64_t{limit16} * kScale)};
  }
  static Range<Value> quiet() { return {-kQuietLimit16 * kScale, kQuietLimit16 * kScale}; }
  static Value peakOf(Value v) { return v; }
  static uint16_t scaled(Value peak, bool) { return static_cast<uint16_t>(peak / kScale); }
};
using Signed16 = SignedInteger<2>;
using Signed24 = SignedInteger<3>;

struct Float32 {
  using Value = float;
  static constexpr size_t kBytes = 4;
  static Value load(const uint8_t* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
  }
  // The range [-bound, bound] in double, with bound = limit / 32767 kept to 1.0, as the
  // floats it holds: a float f is at most a double d exactly when f is at most the
  // largest float not above d. Denormals go with 0, so they are silence.
  static Range<Value> range(double bound) {
    bound = std::min(bound, 1.0);
    if (bound < 0) return {1.0f, -1.0f};  // holds nothing
    float hi = static_cast<float>(bound);
    if (static_cast<double>(hi) > bound) hi = std::nextafter(hi, 0.0f);
    hi = std::max(hi, std::nextafter(FLT_MIN, 0.0f));
    return {-hi, hi};
  }
  static Range<Value> clip(int32_t, int32_t limit16) { return range(limit16 / 32767.0); }
  static Range<Value> quiet() { return range(kQuietLimit16 / 32767.0); }
  static Value peakOf(Value v) { return v; }
  // value x 32767, clamped (a NaN counts as full scale).
  static uint16_t scaled(Value peak, bool nan) {
    if (nan || !(peak < 1.0f)) return 32767;
    return static_cast<uint16_t>(static_cast<double>(peak) * 32767.0);
  }
};

// Scans `frames` frames of `kChannels` channels of sample type T.
template <class T, size_t kChannels>
BlockScanResult scanSamples(const uint8_t* bytes, size_t frames, int32_t limit8, int32_t limit16) {
  using V = typename T::Value;
  const Range<V> clip = T::clip(limit8, limit16);
  const Range<V> quiet = T::quiet();
  const size_t samples = frames * kChannels;

  // First pass, in lanes the compiler can keep in vector registers: lane k holds the
  // samples k, k + kLanes, ..., so with an even lane count every lane stays on one channel.
  constexpr size_t kLanes = 16;
  V peak[kLanes];
  // Flags as wide as the samples, so that a lane's flags share its vector's shape.
  int32_t over[kLanes], heard[kLanes], nan[kLanes];
  for (size_t k = 0; k < kLanes; ++k) {
    peak[k] = V{0};
    over[k] = heard[k] = nan[k] = 0;
  }
  auto take = [&](size_t k, V v) {
    const V p = T::peakOf(v);
    peak[k] = p > peak[k] ? p : peak[k];
    over[k] |= clip.holds(v) ? 0 : 1;
    heard[k] |= quiet.holds(v) ? 0 : 1;
    if constexpr (std::is_floating_point_v<V>) nan[k] |= v != v ? 1 : 0;
  };
  const size_t whole = samples / kLanes * kLanes;
  for (size_t i = 0; i < whole; i += kLanes)
    for (size_t k = 0; k < kLanes; ++k) take(k, T::load(bytes + (i + k) * T::kBytes));
  for (size_t i = whole; i < samples; ++i) take(i - whole, T::load(bytes + i * T::kBytes));

  BlockScanResult r;
  V channelPeak[kChannels] = {};
  bool anyOver = false, anyNan[kChannels] = {};
  for (size_t k = 0; k < kLanes; ++k) {
    // Lanes past `whole` took the tail from lane 0 on, which keeps their channel too.
    const size_t c = k % kChannels;
    channelPeak[c] = peak[k] > channelPeak[c] ? peak[k] : channelPeak[c];
    anyOver |= over[k] != 0;
    anyNan[c] |= nan[k] != 0;
    r.heard |= heard[k] != 0;
  }
  for (size_t c = 0; c < kChannels; ++c) r.peak[c] = T::scaled(channelPeak[c], anyNan[c]);
  if (!anyOver) return r;

  // Second pass, only with something over the limit: the runs, sample by sample.
  uint32_t current[kChannels] = {}, longest[kChannels] = {};
  for (size_t f = 0; f < frames; ++f) {
    for (size_t c = 0; c < kChannels; ++c) {
      // Without branches: the input has no pattern a branch could follow.
      const uint32_t isOver = clip.holds(T::load(bytes + (f * kChannels + c) * T::kBytes)) ? 0 : 1;
      const uint32_t closed = current[c] & (isOver - 1);
      longest[c] = longest[c] > closed ? longest[c] : closed;
      current[c] = (current[c] + 1) & (0u - isOver);
    }
  }
  for (size_t c = 0; c < kChannels; ++c) r.longestRun[c] = static_cast<uint16_t>(std::min<uint32_t>(longest[c], 65535));
  return r;
}

template <class T>
BlockScanResult scanType(const void* data, uint32_t size, TChannels channels, int32_t limit8, int32_t limit16) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (channels == TChannels::Stereo) return scanSamples<T, 2>(bytes, size / (2 * T::kBytes), limit8, limit16);
  return scanSamples<T, 1>(bytes, size / T::kBytes, limit8, limit16);
}

}  // namespace

BlockScanResult scanBlock(const void* data, uint32_t size, TBPS bits, TChannels channels, int32_t limit8,
                          int32_t limit16) {
  switch (bits) {
    case TBPS::_8: return scanType<Unsigned8>(data, size, channels, limit8, limit16);
    case TBPS::_16: return scanType<Signed16>(data, size, channels, limit8, limit16);
    case TBPS::_24: return scanType<Signed24>(data, size, channels, limit8, limit16);
    case TBPS::_32Float: return scanType<Float32>(data, size, channels, limit8, limit16);
  }
  return {};
}
