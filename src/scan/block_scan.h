// The scan of one recorded block: per channel the peak and the longest run of
// consecutive samples beyond the clip limit, and whether the block holds a signal at
// all. Runs on the service thread, so it touches nothing but the block and its own
// result.
//
// Every width is measured on the 16-bit scale (0..32767): a 24-bit sample as value / 256,
// a float sample as value x 32767, clamped. The comparisons with the clip limit and the
// quiet limit are exact at the sample's own resolution: a 24-bit sample against the limit
// x 256, a float sample against the limit / 32767 (as a double). A float sample beyond
// +-1.0, and a NaN, lies beyond every limit; a denormal one is silence.
#pragma once

#include <array>
#include <cstdint>

#include "audio/Audio.h"

// The largest distance from silence that is still no signal (1 % of full scale): a
// 16-bit sample s with |s| <= 327, an 8-bit sample u with |128 - u| <= 2 (and on the
// 16-bit scale alike for 24-bit and float samples).
constexpr int32_t kQuietLimit16 = 327;
constexpr int32_t kQuietLimit8 = 2;

// What the scan of one block found. Channel 0 is left (or the only channel), channel 1
// is right; a mono block leaves channel 1 at 0.
struct BlockScanResult {
  // 16-bit, 24-bit and float data: the largest sample on the 16-bit scale, compared as
  // signed and starting at 0, so a block of negative samples peaks at 0 (a NaN peaks at
  // 32767). 8-bit data: the largest |128 - u|, 0..128.
  std::array<uint16_t, 2> peak{};
  // The longest run of over-limit samples that an in-limit sample closed inside the
  // block; a run still open at the block's end does not count.
  std::array<uint16_t, 2> longestRun{};
  // Some sample of either channel lies beyond the quiet limit, below silence as well as
  // above it (which the peak does not tell).
  bool heard = false;

  bool operator==(const BlockScanResult&) const = default;
};

// Scans `size` bytes of interleaved samples (left first): unsigned bytes with centre 128
// for `_8`, signed little-endian integers of 2 or 3 bytes for `_16` and `_24`, IEEE
// floats for `_32Float`. Trailing bytes that do not make a whole frame are ignored.
// A 16-bit sample s is over the limit if s > limit16 or s < -limit16, a 24-bit one if
// s > 256 x limit16 or s < -256 x limit16, a float one if s > limit16 / 32767 or
// s < -limit16 / 32767 or |s| > 1 or s is NaN; an 8-bit sample u if u > 128 + limit8 or
// u < 127 - limit8.
BlockScanResult scanBlock(const void* data, uint32_t size, TBPS bits, TChannels channels, int32_t limit8,
                          int32_t limit16);
