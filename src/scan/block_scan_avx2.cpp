// The block scan with AVX2: 32 bytes at a time. Only this file is compiled for AVX2, and
// it runs only where the processor reports AVX2 (see blockScanPathAvailable).
#include <array>
#include <cstdint>
#include <cstring>

#include "scan/block_scan_paths.h"

#if defined(__x86_64__)
#include <immintrin.h>

// Everything from here on is AVX2 code. The standard headers above are deliberately
// included first, so that none of their inline functions is compiled for AVX2 here.
#pragma GCC push_options
#pragma GCC target("avx2")

#include "scan/block_scan_kernel.h"

namespace {

inline __m256i load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

inline __m256i over16(__m256i s, __m256i hi, __m256i lo) {
  return _mm256_or_si256(_mm256_cmpgt_epi16(s, hi), _mm256_cmpgt_epi16(lo, s));
}

// v holds the samples as u - 128.
inline __m256i over8(__m256i v, __m256i hi, __m256i lo) {
  return _mm256_or_si256(_mm256_cmpgt_epi8(v, hi), _mm256_cmpgt_epi8(lo, v));
}

inline unsigned moveMask(__m256i m) { return static_cast<unsigned>(_mm256_movemask_epi8(m)); }

// Whether any of the largest samples mx or the smallest mn of a chunk lies beyond the
// quiet limit. A kernel asks only until a chunk was heard and keeps a flag, not one more
// vector of running extremes, which would cost a register in the scan's loop.
inline bool beyondQuiet(__m256i mx, __m256i mn) {
  const __m256i beyond = _mm256_or_si256(_mm256_cmpgt_epi16(mx, _mm256_set1_epi16(kQuietLimit16)),
                                         _mm256_cmpgt_epi16(_mm256_set1_epi16(-kQuietLimit16), mn));
  return !_mm256_testz_si256(beyond, beyond);
}

// A constant vector read from memory where it is used. The compiler would otherwise keep
// it in a register through the whole scan, and with the eight samples of a chunk held for
// the over-limit masks too few registers would be left for the running peaks, which
// then go through memory for every chunk. The empty asm hides that the address is fixed.
inline __m256i loadHere(const void* table) {
  asm("" : "+r"(table));
  return load(static_cast<const uint8_t*>(table));
}

// Within each 128-bit half: the even bytes (left samples) first, then the odd ones.
inline __m256i splitPairs(__m256i m) {
  alignas(32) static constexpr uint8_t kOrder[32] = {0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15,  //
                                                     0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15};
  return _mm256_shuffle_epi8(m, loadHere(kOrder));
}

struct Mono16 {
  static constexpr size_t kFrameBytes = 2;
  static constexpr bool kStereo = false;
  static constexpr uint8_t kNeutral = 0;
  __m256i hi, lo, peak = _mm256_setzero_si256();
  bool heardAny = false;

  explicit Mono16(const ScanLimits& l) : hi(_mm256_set1_epi16(l.hi16)), lo(_mm256_set1_epi16(l.lo16)) {}

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    const __m256i s0 = load(p), s1 = load(p + 32), s2 = load(p + 64), s3 = load(p + 96);
    const __m256i mx = _mm256_max_epi16(_mm256_max_epi16(s0, s1), _mm256_max_epi16(s2, s3));
    const __m256i mn = _mm256_min_epi16(_mm256_min_epi16(s0, s1), _mm256_min_epi16(s2, s3));
    peak = _mm256_max_epi16(peak, mx);
    if (!heardAny) heardAny = beyondQuiet(mx, mn);
    const __m256i any = _mm256_or_si256(_mm256_cmpgt_epi16(mx, hi), _mm256_cmpgt_epi16(lo, mn));
    if (_mm256_testz_si256(any, any)) return false;
    // Packing works within 128-bit halves; the qword permute restores sample order.
    const __m256i a = _mm256_permute4x64_epi64(_mm256_packs_epi16(over16(s0, hi, lo), over16(s1, hi, lo)), 0xD8);
    const __m256i b = _mm256_permute4x64_epi64(_mm256_packs_epi16(over16(s2, hi, lo), over16(s3, hi, lo)), 0xD8);
    over[0] = uint64_t{moveMask(a)} | uint64_t{moveMask(b)} << 32;
    return true;
  }

  std::array<uint16_t, 2> peaks() const {
    alignas(32) int16_t lanes[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), peak);
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
  __m256i hi, lo, peak = _mm256_setzero_si256();  // even lanes left, odd lanes right
  bool heardAny = false;

  explicit Stereo16(const ScanLimits& l) : hi(_mm256_set1_epi16(l.hi16)), lo(_mm256_set1_epi16(l.lo16)) {}

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    __m256i s[8];
    for (int i = 0; i < 8; ++i) s[i] = load(p + 32 * i);
    const __m256i mx = _mm256_max_epi16(_mm256_max_epi16(_mm256_max_epi16(s[0], s[1]), _mm256_max_epi16(s[2], s[3])),
                                        _mm256_max_epi16(_mm256_max_epi16(s[4], s[5]), _mm256_max_epi16(s[6], s[7])));
    const __m256i mn = _mm256_min_epi16(_mm256_min_epi16(_mm256_min_epi16(s[0], s[1]), _mm256_min_epi16(s[2], s[3])),
                                        _mm256_min_epi16(_mm256_min_epi16(s[4], s[5]), _mm256_min_epi16(s[6], s[7])));
    peak = _mm256_max_epi16(peak, mx);
    if (!heardAny) heardAny = beyondQuiet(mx, mn);
    const __m256i any = _mm256_or_si256(_mm256_cmpgt_epi16(mx, hi), _mm256_cmpgt_epi16(lo, mn));
    if (_mm256_testz_si256(any, any)) return false;
    // Per 16 frames: pack the sample masks to bytes, put left bytes before right ones in
    // each half, then gather the dwords into frame order, left 0..15 then right 0..15.
    alignas(32) static constexpr int32_t kFrameOrder[8] = {0, 4, 1, 5, 2, 6, 3, 7};
    const __m256i frameOrder = loadHere(kFrameOrder);
    uint64_t left = 0, right = 0;
    for (int k = 0; k < 4; ++k) {
      const __m256i packed = _mm256_packs_epi16(over16(s[2 * k], hi, lo), over16(s[2 * k + 1], hi, lo));
      const unsigned m = moveMask(_mm256_permutevar8x32_epi32(splitPairs(packed), frameOrder));
      left |= uint64_t{m & 0xFFFFu} << (16 * k);
      right |= uint64_t{m >> 16} << (16 * k);
    }
    over[0] = left;
    over[1] = right;
    return true;
  }

  std::array<uint16_t, 2> peaks() const {
    alignas(32) int16_t lanes[16];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), peak);
    int16_t p[2] = {0, 0};
    for (int i = 0; i < 16; ++i) p[i & 1] = lanes[i] > p[i & 1] ? lanes[i] : p[i & 1];
    return {static_cast<uint16_t>(p[0]), static_cast<uint16_t>(p[1])};
  }
  bool heard() const { return heardAny; }
};

// 8-bit data keeps the largest and smallest byte per lane; the peak is the farther of
// the two from 128.
struct Bytes8 {
  static constexpr uint8_t kNeutral = 128;
  __m256i hi, lo, flip = _mm256_set1_epi8(static_cast<char>(0x80));
  __m256i maxBytes = _mm256_setzero_si256(), minBytes = _mm256_set1_epi8(static_cast<char>(0xFF));

  explicit Bytes8(const ScanLimits& l) : hi(_mm256_set1_epi8(l.hi8)), lo(_mm256_set1_epi8(l.lo8)) {}

  // Takes the registers into the peaks; true if any of their bytes is over the limit.
  bool anyOver(__m256i mx, __m256i mn) {
    maxBytes = _mm256_max_epu8(maxBytes, mx);
    minBytes = _mm256_min_epu8(minBytes, mn);
    const __m256i any = _mm256_or_si256(_mm256_cmpgt_epi8(_mm256_xor_si256(mx, flip), hi),
                                        _mm256_cmpgt_epi8(lo, _mm256_xor_si256(mn, flip)));
    return !_mm256_testz_si256(any, any);
  }
  __m256i overMask(__m256i s) const { return over8(_mm256_xor_si256(s, flip), hi, lo); }

  // Channel c's peak from the lanes c, c + stride, ...
  uint16_t peakOf(int c, int stride) const {
    alignas(32) uint8_t mx[32], mn[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(mx), maxBytes);
    _mm256_store_si256(reinterpret_cast<__m256i*>(mn), minBytes);
    int hiByte = 0, loByte = 255;
    for (int i = c; i < 32; i += stride) {
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
    const __m256i s0 = load(p), s1 = load(p + 32);
    if (!anyOver(_mm256_max_epu8(s0, s1), _mm256_min_epu8(s0, s1))) return false;
    over[0] = uint64_t{moveMask(overMask(s0))} | uint64_t{moveMask(overMask(s1))} << 32;
    return true;
  }
  std::array<uint16_t, 2> peaks() const { return {peakOf(0, 1), 0}; }
};

struct Stereo8 : Bytes8 {
  static constexpr size_t kFrameBytes = 2;
  static constexpr bool kStereo = true;
  using Bytes8::Bytes8;

  bool chunk(const uint8_t* p, uint64_t over[2]) {
    const __m256i s0 = load(p), s1 = load(p + 32), s2 = load(p + 64), s3 = load(p + 96);
    const __m256i mx = _mm256_max_epu8(_mm256_max_epu8(s0, s1), _mm256_max_epu8(s2, s3));
    const __m256i mn = _mm256_min_epu8(_mm256_min_epu8(s0, s1), _mm256_min_epu8(s2, s3));
    if (!anyOver(mx, mn)) return false;
    // Per 16 frames: left bytes before right ones in each half, then the qwords into
    // frame order, left 0..15 then right 0..15.
    const __m256i s[4] = {s0, s1, s2, s3};
    uint64_t left = 0, right = 0;
    for (int k = 0; k < 4; ++k) {
      const unsigned m = moveMask(_mm256_permute4x64_epi64(splitPairs(overMask(s[k])), 0xD8));
      left |= uint64_t{m & 0xFFFFu} << (16 * k);
      right |= uint64_t{m >> 16} << (16 * k);
    }
    over[0] = left;
    over[1] = right;
    return true;
  }
  std::array<uint16_t, 2> peaks() const { return {peakOf(0, 2), peakOf(1, 2)}; }
};

}  // namespace

namespace block_scan_detail {

BlockScanResult scanBlockAvx2(const uint8_t* data, size_t frames, TBPS bits, TChannels channels, int32_t limit8,
                              int32_t limit16) {
  const ScanLimits limits = scanLimits(limit8, limit16);
  const bool stereo = channels == TChannels::Stereo;
  if (bits == TBPS::_16)
    return stereo ? scanChunks<Stereo16>(data, frames, limits) : scanChunks<Mono16>(data, frames, limits);
  return stereo ? scanChunks<Stereo8>(data, frames, limits) : scanChunks<Mono8>(data, frames, limits);
}

}  // namespace block_scan_detail

#pragma GCC pop_options
#endif
