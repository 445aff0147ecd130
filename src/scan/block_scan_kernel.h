// The part of the vector scan paths that does not depend on the vector width: the clip
// limits in sample range, the run bookkeeping on 64-sample bit masks, and the walk over a
// block in chunks of 64 frames.
//
// Everything here has internal linkage and is compiled once per path, so the AVX2 path
// may include it under its target pragma without lending AVX2 code to the other paths.
// Include it after <array>, <cstdint> and <cstring>, which it relies on.
#pragma once

namespace {

// The clip limits as bounds in the sample's own range: a sample v is over the limit if
// v > hi or v < lo. 8-bit samples are taken as v = u - 128, so u > 128 + limit8 becomes
// v > limit8 and u < 127 - limit8 becomes v < -1 - limit8. Clamping the bounds into the
// sample range keeps every verdict: a bound beyond the range either never fires or, when
// the limit is so far below zero that every sample is over, the other bound catches the
// one sample value the clamped bound misses.
struct ScanLimits {
  int16_t hi16, lo16;
  int8_t hi8, lo8;
};

inline int64_t clampTo(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

inline ScanLimits scanLimits(int32_t limit8, int32_t limit16) {
  ScanLimits l;
  l.hi16 = static_cast<int16_t>(clampTo(limit16, -32768, 32767));
  l.lo16 = static_cast<int16_t>(clampTo(-int64_t{limit16}, -32768, 32767));
  l.hi8 = static_cast<int8_t>(clampTo(limit8, -128, 127));
  l.lo8 = static_cast<int8_t>(clampTo(-1 - int64_t{limit8}, -128, 127));
  return l;
}

// The length of the longest run of one bits in x (x not 0, not all ones). e[i] marks the
// bits that start a run of at least 2^i ones; the runs are measured by doubling and then
// by a binary descent, so the cost grows with the logarithm of the run, not its length.
inline unsigned longestOnes(uint64_t x) {
  uint64_t e[6];
  e[0] = x;
  unsigned n = 0;
  while (n < 5) {
    const uint64_t next = e[n] & (e[n] >> (1u << n));
    if (next == 0) break;
    e[++n] = next;
  }
  uint64_t starts = e[n];
  unsigned len = 1u << n;
  for (int i = static_cast<int>(n) - 1; i >= 0; --i) {
    const uint64_t longer = starts & (e[i] >> len);
    if (longer != 0) {
      starts = longer;
      len += 1u << i;
    }
  }
  return len;
}

// The run bookkeeping of one channel, fed 64 samples at a time as a bit mask (bit i set:
// sample i is over the limit).
struct RunTracker {
  uint32_t current = 0;  // over-limit samples in a row up to the last sample fed
  uint32_t longest = 0;  // longest run closed by an in-limit sample

  void note(uint32_t run) {
    if (run > longest) longest = run;
  }
  // 64 samples all in the limit: the first one closes the open run.
  void clear() {
    note(current);
    current = 0;
  }
  void feed(uint64_t over) {
    if (over == 0) return clear();
    if (over == ~uint64_t{0}) {
      current += 64;
      return;
    }
    // The samples up to the first in-limit one continue the open run, which that sample
    // closes; the over-limit samples at the top stay open; everything between is closed.
    const unsigned head = static_cast<unsigned>(__builtin_ctzll(~over));
    const unsigned top = static_cast<unsigned>(__builtin_clzll(~over));
    note(current + head);
    const uint64_t inner = over & (~uint64_t{0} << head) & (~uint64_t{0} >> top);
    if (inner != 0) note(longestOnes(inner));
    current = top;
  }
};

// A path's scanner of one format. Kernel provides:
//   kFrameBytes, kStereo, kNeutral (a byte value whose samples raise no peak),
//   Kernel(const ScanLimits&),
//   bool chunk(const uint8_t* p, uint64_t over[2]): scans the 64 frames at p into the peaks;
//     false if none of them is over the limit, else the over-limit masks per channel,
//   std::array<uint16_t, 2> peaks(),
//   bool heard(): some sample scanned lies beyond the quiet limit.
template <class Kernel>
BlockScanResult scanChunks(const uint8_t* p, size_t frames, const ScanLimits& limits) {
  constexpr size_t kChunkBytes = 64 * Kernel::kFrameBytes;
  Kernel kernel(limits);
  RunTracker runs[2];
  uint64_t over[2] = {0, 0};
  const size_t whole = frames / 64;
  for (size_t i = 0; i < whole; ++i, p += kChunkBytes) {
    if (kernel.chunk(p, over)) {
      runs[0].feed(over[0]);
      if (Kernel::kStereo) runs[1].feed(over[1]);
    } else {
      runs[0].clear();
      runs[1].clear();
    }
  }
  // The last frames go through a padded copy. Padding counts as over the limit, which
  // only lengthens the run still open at the block's end, and that run is dropped.
  const size_t rest = frames % 64;
  if (rest != 0) {
    alignas(32) uint8_t padded[kChunkBytes];
    std::memset(padded, Kernel::kNeutral, kChunkBytes);
    std::memcpy(padded, p, rest * Kernel::kFrameBytes);
    if (kernel.chunk(padded, over)) {
      const uint64_t beyond = ~uint64_t{0} << rest;
      runs[0].feed(over[0] | beyond);
      if (Kernel::kStereo) runs[1].feed(over[1] | beyond);
    } else {
      runs[0].clear();
      runs[1].clear();
    }
  }
  BlockScanResult r;
  r.peak = kernel.peaks();
  r.heard = kernel.heard();
  r.longestRun[0] = static_cast<uint16_t>(runs[0].longest);
  if (Kernel::kStereo) r.longestRun[1] = static_cast<uint16_t>(runs[1].longest);
  return r;
}

// Peaks of 8-bit data from the largest and smallest byte of a channel.
inline uint16_t peak8(int maxByte, int minByte) {
  const int up = maxByte - 128, down = 128 - minByte;
  const int p = up > down ? up : down;
  return static_cast<uint16_t>(p > 0 ? p : 0);
}

}  // namespace
