// Reading the virtual card's input file: the RIFF chunks, the format, the samples
// decoded to 16-bit stereo; and the looped, interpolated play of it.
#include "mmsystem/virtual/virtual_input_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace virtual_card {

namespace {

uint32_t readLE(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

MMRESULT readInputFile(const std::string& path, std::shared_ptr<const InputFile>& file, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = std::string("cannot be opened (") + std::strerror(errno) + ")";
    return MMSYSERR_ERROR;
  }
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    why = "is not a WAV file";
    return WAVERR_BADFORMAT;
  }
  uint32_t tag = 0, channels = 0, rate = 0, bits = 0;
  const unsigned char* data = nullptr;
  size_t dataSize = 0;
  size_t pos = 12;
  while (pos + 8 <= bytes.size()) {
    const unsigned char* chunk = bytes.data() + pos;
    const size_t size = readLE(chunk + 4, 4);
    const size_t available = bytes.size() - pos - 8;
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && available >= 16) {
      tag = readLE(chunk + 8, 2);
      channels = readLE(chunk + 10, 2);
      rate = readLE(chunk + 12, 4);
      bits = readLE(chunk + 22, 2);
      if (tag == 0xFFFE && size >= 40 && available >= 40) tag = readLE(chunk + 32, 2);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      // A recording that was cut off leaves 0 (or too much) in the size: take the rest.
      data = chunk + 8;
      dataSize = size == 0 || size > available ? available : size;
      break;
    }
    pos += 8 + size + (size & 1);
  }
  const bool integer = tag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool floating = tag == 3 && bits == 32;
  if (channels == 0 || rate == 0 || !(integer || floating)) {
    why = "has a format that cannot be read";
    return WAVERR_BADFORMAT;
  }
  const size_t frameBytes = channels * bits / 8;
  const size_t frames = data == nullptr ? 0 : dataSize / frameBytes;
  if (frames == 0) {
    why = "holds no audio";
    return WAVERR_BADFORMAT;
  }

  auto decoded = std::make_shared<InputFile>();
  decoded->rate = rate;
  decoded->samples.resize(frames * 2);
  auto sample = [&](const unsigned char* p) -> int16_t {
    if (floating) {
      float f;
      std::memcpy(&f, p, 4);
      return static_cast<int16_t>(clamp16(f * 32768.0));
    }
    switch (bits) {
      case 8: return static_cast<int16_t>((p[0] - 128) * 256);
      case 16: return static_cast<int16_t>(readLE(p, 2));
      case 24: return static_cast<int16_t>(readLE(p + 1, 2));
      default: return static_cast<int16_t>(readLE(p + 2, 2));
    }
  };
  for (size_t f = 0; f < frames; ++f) {
    const unsigned char* p = data + f * frameBytes;
    decoded->samples[2 * f] = sample(p);
    decoded->samples[2 * f + 1] = channels > 1 ? sample(p + bits / 8) : decoded->samples[2 * f];
  }
  file = decoded;
  return MMSYSERR_NOERROR;
}

SignalFrame InputFile::at(uint64_t frame, uint32_t playRate, const std::array<double, 2>& gain) const {
  const uint64_t count = frames();
  const uint64_t pos = frame * rate;
  const uint64_t i0 = (pos / playRate) % count;
  const uint64_t i1 = (i0 + 1) % count;
  const double frac = static_cast<double>(pos % playRate) / playRate;
  SignalFrame v;
  for (int c = 0; c < 2; ++c) {
    const double a = samples[2 * i0 + c];
    const double b = samples[2 * i1 + c];
    v[c] = clamp16((a + (b - a) * frac) * gain[c]);
  }
  return v;
}

}  // namespace virtual_card
