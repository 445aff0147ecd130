// The reference scan of a block and the choice of the path scanBlock takes.
#include "scan/block_scan.h"

#include <algorithm>
#include <cstdlib>

#include "scan/block_scan_paths.h"

using block_scan_detail::frameCount;

BlockScanResult scanBlockReference(const void* data, uint16_t size, TBPS bits, TChannels channels, int32_t limit8,
                                   int32_t limit16) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  const bool stereo = channels == TChannels::Stereo;
  const size_t frames = frameCount(size, bits, channels);
  const size_t stride = stereo ? 2 : 1;
  const int64_t lim8 = limit8, lim16 = limit16;  // wide enough to negate any limit
  uint16_t current[2] = {0, 0}, longest[2] = {0, 0};
  int32_t peak[2] = {0, 0};
  int32_t low = 0;  // the smallest 16-bit sample of either channel, from 0 down
  for (size_t f = 0; f < frames; ++f) {
    for (size_t c = 0; c < stride; ++c) {
      const size_t index = f * stride + c;
      bool over;
      if (bits == TBPS::_16) {
        const auto s = static_cast<int16_t>(uint16_t(bytes[2 * index] | bytes[2 * index + 1] << 8));
        peak[c] = std::max<int32_t>(peak[c], s);
        low = std::min<int32_t>(low, s);
        over = s > lim16 || s < -lim16;
      } else {
        const int u = bytes[index];
        peak[c] = std::max(peak[c], std::abs(128 - u));
        over = u > 128 + lim8 || u < 127 - lim8;
      }
      if (over) {
        ++current[c];
      } else {
        longest[c] = std::max(longest[c], current[c]);
        current[c] = 0;
      }
    }
  }
  // Heard: a sample beyond the quiet limit on either side of silence. An 8-bit peak is
  // already the distance from silence; a 16-bit one only looks upwards.
  const int32_t loudest = std::max(peak[0], peak[1]);
  BlockScanResult r;
  r.heard = bits == TBPS::_16 ? loudest > kQuietLimit16 || low < -kQuietLimit16 : loudest > kQuietLimit8;
  for (size_t c = 0; c < 2; ++c) {
    r.peak[c] = static_cast<uint16_t>(peak[c]);
    r.longestRun[c] = longest[c];
  }
  return r;
}

bool blockScanPathAvailable(BlockScanPath path) {
  switch (path) {
    case BlockScanPath::Reference: return true;
#if defined(__x86_64__)
    case BlockScanPath::Sse2: return true;
    case BlockScanPath::Avx2: {
      static const bool hasAvx2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
      }();
      return hasAvx2;
    }
#else
    default: return false;
#endif
  }
  return false;
}

BlockScanPath blockScanFastestPath() {
  static const BlockScanPath fastest = [] {
    if (blockScanPathAvailable(BlockScanPath::Avx2)) return BlockScanPath::Avx2;
    if (blockScanPathAvailable(BlockScanPath::Sse2)) return BlockScanPath::Sse2;
    return BlockScanPath::Reference;
  }();
  return fastest;
}

BlockScanResult scanBlockOn(BlockScanPath path, const void* data, uint16_t size, TBPS bits, TChannels channels,
                            int32_t limit8, int32_t limit16) {
  if (!blockScanPathAvailable(path)) path = BlockScanPath::Reference;
#if defined(__x86_64__)
  const auto* bytes = static_cast<const uint8_t*>(data);
  const size_t frames = frameCount(size, bits, channels);
  if (path == BlockScanPath::Avx2)
    return block_scan_detail::scanBlockAvx2(bytes, frames, bits, channels, limit8, limit16);
  if (path == BlockScanPath::Sse2)
    return block_scan_detail::scanBlockSse2(bytes, frames, bits, channels, limit8, limit16);
#endif
  return scanBlockReference(data, size, bits, channels, limit8, limit16);
}

BlockScanResult scanBlock(const void* data, uint16_t size, TBPS bits, TChannels channels, int32_t limit8,
                          int32_t limit16) {
  return scanBlockOn(blockScanFastestPath(), data, size, bits, channels, limit8, limit16);
}
