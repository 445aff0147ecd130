// The block scan with SSE2, which every x86-64 processor has: 16 bytes at a time.
#include <array>
#include <cstdint>
#include <cstring>

#include "scan/block_scan_paths.h"

#if defined(__x86_64__)
#include <emmintrin.h>

#include "scan/block_scan_kernel.h"

namespace {

inline __m128i load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// 0xFFFF in every 16-bit lane whose sample is beyond the bounds.
inline __m128i over16(__m128i s, __m128i hi, __m128i lo) {
  return _mm_or_si128(_mm_cmpgt_epi16(s, hi), _mm_cmpgt_epi16(lo, s));
}

// 0xFF in every byte beyond the bounds; v holds the samples as u - 128.
inline __m128i over8(__m128i v, __m128i hi, __m128i lo) {
  return _mm_or_si128(_mm_cmpgt_epi8(v, hi), _mm_cmpgt_epi8(lo, v));
}

// Per-lane masks of interleaved pairs, split: the low half of each pair into the left
// bytes' sign, the high half into the right's.
inline __m128i lowHalves(__m128i m) { return _mm_srai_epi16(_mm_slli_epi16(m, 8), 8); }
inline __m128i highHalves(__m128i m) { return _mm_srai_epi16(m, 8); }

inline unsigned moveMask(__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }

// Whether any of the largest samples mx or the smallest mn of a chunk lies beyond the
// quiet limit. A kernel asks only until a chunk was heard and keeps a flag, not one more
// vector of running extremes, which would cost a register in the scan's loop.
inline bool beyondQuiet(__m128i mx, __m128i mn) {
  const __m128i beyond = _mm_or_si128(_mm_cmpgt_epi16(mx, _mm_set1_epi16(kQuietLimit16)),
                                      _mm_cmpgt_epi16(_mm_set1_epi16(-kQuietLimit16), mn));
  return moveMask(beyond) != 0;
}

struct Mono16 {
  static constexpr size_t kFrameBytes = 2;
  static constexpr bool kStereo = false;
  static constexpr uint8_t kNeutral = 0;
  __m128i hi, lo, peak = _mm_setzero_si128();
  bool heardAny = false;

  explicit Mono16(const ScanLimits& l) : hi(_mm_set1_epi16(l.hi16)), lo(_mm_set1_epi16(l.lo16)) {}

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    __m128i s[8];
    for (int i = 0; i < 8; ++i) s[i] = load(p + 16 * i);
    __m128i mx = s[0], mn = s[0];
    for (int i = 1; i < 8; ++i) {
      mx = _mm_max_epi16(mx, s[i]);
      mn = _mm_min_epi16(mn, s[i]);
    }
    peak = _mm_max_epi16(peak, mx);
    if (!heardAny) heardAny = beyondQuiet(mx, mn);
    if (moveMask(_mm_or_si128(_mm_cmpgt_epi16(mx, hi), _mm_cmpgt_epi16(lo, mn))) == 0) return false;
    uint64_t m = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i bytes = _mm_packs_epi16(over16(s[2 * k], hi, lo), over16(s[2 * k + 1], hi, lo));
      m |= uint64_t{moveMask(bytes)} << (16 * k);
    }
    over[0] = m;
    return true;
  }

  std::array<uint16_t, 2> peaks() const {
    alignas(16) int16_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), peak);
    int16_t p = 0;
    for (int16_t v : lanes) p = v > p ? v : p;
    return {static_cast<uint16_t>(p), 0};
  }
  bool heard() const { return heardAny; }
};

struct Stereo16 {
  static constexpr size_t kFrameBytes = 4;
  static constexpr bool kStereo = true;
  static constexpr uint8_t kNeutral = 0;
  __m128i hi, lo, peak = _mm_setzero_si128();  // even lanes left, odd lanes right
  bool heardAny = false;

  explicit Stereo16(const ScanLimits& l) : hi(_mm_set1_epi16(l.hi16)), lo(_mm_set1_epi16(l.lo16)) {}

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    __m128i s[16];
    for (int i = 0; i < 16; ++i) s[i] = load(p + 16 * i);
    __m128i mx = s[0], mn = s[0];
    for (int i = 1; i < 16; ++i) {
      mx = _mm_max_epi16(mx, s[i]);
      mn = _mm_min_epi16(mn, s[i]);
    }
    peak = _mm_max_epi16(peak, mx);
    if (!heardAny) heardAny = beyondQuiet(mx, mn);
    if (moveMask(_mm_or_si128(_mm_cmpgt_epi16(mx, hi), _mm_cmpgt_epi16(lo, mn))) == 0) return false;
    uint64_t left = 0, right = 0;
    for (int k = 0; k < 4; ++k) {
      // 16 frames: pack the sample masks to bytes (left, right, left, ...), then split.
      const __m128i* q = s + 4 * k;
      const __m128i a = _mm_packs_epi16(over16(q[0], hi, lo), over16(q[1], hi, lo));
      const __m128i b = _mm_packs_epi16(over16(q[2], hi, lo), over16(q[3], hi, lo));
      left |= uint64_t{moveMask(_mm_packs_epi16(lowHalves(a), lowHalves(b)))} << (16 * k);
      right |= uint64_t{moveMask(_mm_packs_epi16(highHalves(a), highHalves(b)))} << (16 * k);
    }
    over[0] = left;
    over[1] = right;
    return true;
  }

  std::array<uint16_t, 2> peaks() const {
    alignas(16) int16_t lanes[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), peak);
    int16_t p[2] = {0, 0};
    for (int i = 0; i < 8; ++i) p[i & 1] = lanes[i] > p[i & 1] ? lanes[i] : p[i & 1];
    return {static_cast<uint16_t>(p[0]), static_cast<uint16_t>(p[1])};
  }
  bool heard() const { return heardAny; }
};

// 8-bit data keeps the largest and smallest byte per lane; the peak is the farther of
// the two from 128.
struct Bytes8 {
  static constexpr uint8_t kNeutral = 128;
  __m128i hi, lo, flip = _mm_set1_epi8(static_cast<char>(0x80));
  __m128i maxBytes = _mm_setzero_si128(), minBytes = _mm_set1_epi8(static_cast<char>(0xFF));

  explicit Bytes8(const ScanLimits& l) : hi(_mm_set1_epi8(l.hi8)), lo(_mm_set1_epi8(l.lo8)) {}

  // Takes n registers into the peaks; true if any of their bytes is over the limit.
  bool anyOver(const __m128i* s, int n) {
    __m128i mx = s[0], mn = s[0];
    for (int i = 1; i < n; ++i) {
      mx = _mm_max_epu8(mx, s[i]);
      mn = _mm_min_epu8(mn, s[i]);
    }
    maxBytes = _mm_max_epu8(maxBytes, mx);
    minBytes = _mm_min_epu8(minBytes, mn);
    return moveMask(_mm_or_si128(_mm_cmpgt_epi8(_mm_xor_si128(mx, flip), hi),
                                 _mm_cmpgt_epi8(lo, _mm_xor_si128(mn, flip)))) != 0;
  }
  __m128i overMask(__m128i s) const { return over8(_mm_xor_si128(s, flip), hi, lo); }

  // Channel c's peak from the lanes c, c + stride, ...
  uint16_t peakOf(int c, int stride) const {
    alignas(16) uint8_t mx[16], mn[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(mx), maxBytes);
    _mm_store_si128(reinterpret_cast<__m128i*>(mn), minBytes);
    int hiByte = 0, loByte = 255;
    for (int i = c; i < 16; i += stride) {
      hiByte = mx[i] > hiByte ? mx[i] : hiByte;
      loByte = mn[i] < loByte ? mn[i] : loByte;
    }
    return peak8(hiByte, loByte);
  }
  // Both channels' lanes together.
  bool heard() const { return peakOf(0, 1) > kQuietLimit8; }
};

struct Mono8 : Bytes8 {
  static constexpr size_t kFrameBytes = 1;
  static constexpr bool kStereo = false;
  using Bytes8::Bytes8;

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    __m128i s[4];
    for (int i = 0; i < 4; ++i) s[i] = load(p + 16 * i);
    if (!anyOver(s, 4)) return false;
    uint64_t m = 0;
    for (int i = 0; i < 4; ++i) m |= uint64_t{moveMask(overMask(s[i]))} << (16 * i);
    over[0] = m;
    return true;
  }
  std::array<uint16_t, 2> peaks() const { return {peakOf(0, 1), 0}; }
};

struct Stereo8 : Bytes8 {
  static constexpr size_t kFrameBytes = 2;
  static constexpr bool kStereo = true;
  using Bytes8::Bytes8;

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    __m128i s[8];
    for (int i = 0; i < 8; ++i) s[i] = load(p + 16 * i);
    if (!anyOver(s, 8)) return false;
    uint64_t left = 0, right = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i a = overMask(s[2 * k]), b = overMask(s[2 * k + 1]);
      left |= uint64_t{moveMask(_mm_packs_epi16(lowHalves(a), lowHalves(b)))} << (16 * k);
      right |= uint64_t{moveMask(_mm_packs_epi16(highHalves(a), highHalves(b)))} << (16 * k);
    }
    over[0] = left;
    over[1] = right;
    return true;
  }
  std::array<uint16_t, 2> peaks() const { return {peakOf(0, 2), peakOf(1, 2)}; }
};

}  // namespace

namespace block_scan_detail {

BlockScanResult scanBlockSse2(const uint8_t* data, size_t frames, TBPS bits, TChannels channels, int32_t limit8,
                              int32_t limit16) {
  const ScanLimits limits = scanLimits(limit8, limit16);
  const bool stereo = channels == TChannels::Stereo;
  if (bits == TBPS::_16)
    return stereo ? scanChunks<Stereo16>(data, frames, limits) : scanChunks<Mono16>(data, frames, limits);
  return stereo ? scanChunks<Stereo8>(data, frames, limits) : scanChunks<Mono8>(data, frames, limits);
}

}  // namespace block_scan_detail

#endif
