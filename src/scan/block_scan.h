// The scan of one recorded block: per channel the peak and the longest run of
// consecutive samples beyond the clip limit, and whether the block holds a signal at
// all. Runs on the service thread, so it touches nothing but the block and its own
// result.
#pragma once

#include <array>
#include <cstdint>

#include "audio/Audio.h"

// The largest distance from silence that is still no signal (1 % of full scale): a
// 16-bit sample s with |s| <= 327, an 8-bit sample u with |128 - u| <= 2.
constexpr int32_t kQuietLimit16 = 327;
constexpr int32_t kQuietLimit8 = 2;

// What the scan of one block found. Channel 0 is left (or the only channel), channel 1
// is right; a mono block leaves channel 1 at 0.
struct BlockScanResult {
  // 16-bit data: the largest sample compared as signed and starting at 0, so a block of
  // negative samples peaks at 0. 8-bit data: the largest |128 - u|, 0..128.
  std::array<uint16_t, 2> peak{};
  // The longest run of over-limit samples that an in-limit sample closed inside the
  // block; a run still open at the block's end does not count.
  std::array<uint16_t, 2> longestRun{};
  // Some sample of either channel lies beyond the quiet limit, below silence as well as
  // above it (which the 16-bit peak does not tell).
  bool heard = false;

  bool operator==(const BlockScanResult&) const = default;
};

// The ways a block can be scanned. All give the same result; the vector paths exist
// only on x86-64 and AVX2 only where the processor has it.
enum class BlockScanPath { Reference, Sse2, Avx2 };

// Scans `size` bytes of interleaved samples (left first): unsigned bytes with centre 128
// for `_8`, signed 16-bit little-endian for `_16`. Trailing bytes that do not make a whole
// frame are ignored. A 16-bit sample s is over the limit if s > limit16 or s < -limit16;
// an 8-bit sample u if u > 128 + limit8 or u < 127 - limit8. Uses the fastest path this
// processor offers.
BlockScanResult scanBlock(const void* data, uint16_t size, TBPS bits, TChannels channels, int32_t limit8,
                          int32_t limit16);

// The same scan as a plain loop over every sample; the measure the fast paths are held to.
BlockScanResult scanBlockReference(const void* data, uint16_t size, TBPS bits, TChannels channels, int32_t limit8,
                                   int32_t limit16);

// The same scan on a chosen path; a path this processor lacks falls back to the reference.
BlockScanResult scanBlockOn(BlockScanPath path, const void* data, uint16_t size, TBPS bits, TChannels channels,
                            int32_t limit8, int32_t limit16);

bool blockScanPathAvailable(BlockScanPath path);

// The path scanBlock uses, chosen once from the processor's features.
BlockScanPath blockScanFastestPath();
