// The scan paths behind scanBlock, each in its own translation unit so that the AVX2
// code is compiled for AVX2 alone and the rest of the program runs on any x86-64.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/block_scan.h"

namespace block_scan_detail {

// Whole frames in a block: the byte count, halved for stereo, halved for 16-bit.
inline size_t frameCount(uint16_t size, TBPS bits, TChannels channels) {
  size_t frames = size;
  if (channels == TChannels::Stereo) frames /= 2;
  if (bits == TBPS::_16) frames /= 2;
  return frames;
}

#if defined(__x86_64__)
BlockScanResult scanBlockSse2(const uint8_t* data, size_t frames, TBPS bits, TChannels channels, int32_t limit8,
                              int32_t limit16);
BlockScanResult scanBlockAvx2(const uint8_t* data, size_t frames, TBPS bits, TChannels channels, int32_t limit8,
                              int32_t limit16);
#endif

}  // namespace block_scan_detail
