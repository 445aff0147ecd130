// PCM formats, WAV files with chosen samples, and reading files and little-endian fields
// back.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mmsystem/mmsystem.h"

namespace testsupport {

inline WAVEFORMATEX pcmFormat(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  f.cbSize = 0;
  return f;
}

inline void putLE(std::string& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline uint32_t readLE(const std::string& bytes, size_t offset, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

inline uint64_t readLE64(const std::string& bytes, size_t offset) {
  return readLE(bytes, offset, 4) | uint64_t{readLE(bytes, offset + 4, 4)} << 32;
}

// A complete PCM WAV file holding `data`.
inline std::string wavBytes(uint16_t channels, uint32_t rate, uint16_t bits, const std::string& data) {
  std::string out = "RIFF";
  putLE(out, static_cast<uint32_t>(36 + data.size()), 4);
  out += "WAVEfmt ";
  putLE(out, 16, 4);
  putLE(out, 1, 2);
  putLE(out, channels, 2);
  putLE(out, rate, 4);
  putLE(out, rate * channels * bits / 8, 4);
  putLE(out, channels * bits / 8, 2);
  putLE(out, bits, 2);
  out += "data";
  putLE(out, static_cast<uint32_t>(data.size()), 4);
  return out + data;
}

// 16-bit samples as little-endian bytes.
inline std::string samples16(const std::vector<int16_t>& samples) {
  std::string out;
  for (int16_t s : samples) putLE(out, static_cast<uint16_t>(s), 2);
  return out;
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
