// The virtual card's input file (TESSARON_VIRTUAL_INPUT): a WAV file of 8, 16, 24 or
// 32-bit integer or 32-bit float samples, one or more channels, decoded once to 16-bit
// stereo frames at its own rate and played looped at any rate.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mmsystem/mmsystem.h"
#include "mmsystem/virtual/virtual_signal.h"

namespace virtual_card {

struct InputFile {
  uint32_t rate = 0;
  std::vector<int16_t> samples;  // interleaved left, right (a mono file's twice)
  uint64_t frames() const { return samples.size() / 2; }

  // Frame `frame` of the loop played at `rate`, interpolated linearly between the
  // file's frames and scaled by each channel's record gain.
  SignalFrame at(uint64_t frame, uint32_t rate, const std::array<double, 2>& gain) const;
};

// Reads and decodes the file at `path`. On failure `file` stays empty and the result is
// the code to report; `why` then says what is wrong with the file ("is not a WAV file").
MMRESULT readInputFile(const std::string& path, std::shared_ptr<const InputFile>& file, std::string& why);

}  // namespace virtual_card
