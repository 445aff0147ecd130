// The sample formats the multimedia service takes, read from a format record, and the
// records the program builds for them. A record is taken when its fields agree: one or
// two channels, a rate, a block of whole samples and the byte rate that follows, and a
// sample of 8-bit unsigned, 16, 24 (packed, three bytes) or 32-bit signed integer or
// 32-bit IEEE float data, described by a plain PCM record, a float record, or an
// extensible one (at least 22 extra bytes, integer or float sub-format, as many speakers
// in the channel mask as channels or none, valid bits within the sample's container; a
// float sample's all 32).
#pragma once

#include <bit>
#include <cstring>
#include <optional>

#include "mmsystem/mmsystem.h"

enum class WaveSample { U8, S16, S24, S32, F32 };

// Bytes of one sample in the data.
constexpr WORD waveSampleBytes(WaveSample sample) {
  switch (sample) {
    case WaveSample::U8: return 1;
    case WaveSample::S16: return 2;
    case WaveSample::S24: return 3;
    case WaveSample::S32:
    case WaveSample::F32: return 4;
  }
  return 0;
}

// The sample of a record whose fields agree, or none. `format` must be as long as its
// tag and cbSize say (40 bytes for an extensible record).
inline std::optional<WaveSample> waveSampleOf(const WAVEFORMATEX& format) {
  if (format.nChannels != 1 && format.nChannels != 2) return std::nullopt;
  if (format.nSamplesPerSec == 0) return std::nullopt;
  std::optional<WaveSample> sample;
  const WORD bits = format.wBitsPerSample;
  auto integer = [](WORD container) -> std::optional<WaveSample> {
    switch (container) {
      case 8: return WaveSample::U8;
      case 16: return WaveSample::S16;
      case 24: return WaveSample::S24;
      case 32: return WaveSample::S32;
      default: return std::nullopt;
    }
  };
  switch (format.wFormatTag) {
    case WAVE_FORMAT_PCM: sample = integer(bits); break;
    case WAVE_FORMAT_IEEE_FLOAT:
      if (bits == 32) sample = WaveSample::F32;
      break;
    case WAVE_FORMAT_EXTENSIBLE: {
      if (format.cbSize < kWaveFormatExtensibleExtra) return std::nullopt;
      WAVEFORMATEXTENSIBLE ext;
      std::memcpy(&ext, &format, sizeof ext);
      const WORD valid = ext.Samples.wValidBitsPerSample;
      if (ext.dwChannelMask != 0 && std::popcount(ext.dwChannelMask) != format.nChannels) return std::nullopt;
      if (ext.SubFormat == KSDATAFORMAT_SUBTYPE_PCM) {
        if (valid > 0 && valid <= bits) sample = integer(bits);
      } else if (ext.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
        if (bits == 32 && valid == 32) sample = WaveSample::F32;
      }
      break;
    }
    default: break;
  }
  if (!sample) return std::nullopt;
  if (format.nBlockAlign != format.nChannels * waveSampleBytes(*sample)) return std::nullopt;
  if (format.nAvgBytesPerSec != format.nSamplesPerSec * format.nBlockAlign) return std::nullopt;
  return sample;
}

// The record the program opens devices with and describes its files by: 8 and 16-bit
// samples in a plain PCM record (cbSize 0), the others in an extensible one with every
// bit valid and the speakers of mono (centre) or stereo (left, right).
inline WAVEFORMATEXTENSIBLE waveFormatFor(WaveSample sample, WORD channels, DWORD rate) {
  WAVEFORMATEXTENSIBLE f{};
  const WORD bytes = waveSampleBytes(sample);
  f.Format.nChannels = channels;
  f.Format.nSamplesPerSec = rate;
  f.Format.wBitsPerSample = static_cast<WORD>(8 * bytes);
  f.Format.nBlockAlign = static_cast<WORD>(channels * bytes);
  f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
  if (sample == WaveSample::U8 || sample == WaveSample::S16) {
    f.Format.wFormatTag = WAVE_FORMAT_PCM;
    f.Format.cbSize = 0;
    return f;
  }
  f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  f.Format.cbSize = kWaveFormatExtensibleExtra;
  f.Samples.wValidBitsPerSample = f.Format.wBitsPerSample;
  f.dwChannelMask = channels == 1 ? SPEAKER_FRONT_CENTER : SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
  f.SubFormat = sample == WaveSample::F32 ? KSDATAFORMAT_SUBTYPE_IEEE_FLOAT : KSDATAFORMAT_SUBTYPE_PCM;
  return f;
}

// Bytes of a record as its tag and cbSize make it: 40 for an extensible one, else 18.
inline size_t waveFormatBytes(const WAVEFORMATEX& format) {
  return format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && format.cbSize >= kWaveFormatExtensibleExtra
             ? sizeof(WAVEFORMATEXTENSIBLE)
             : sizeof(WAVEFORMATEX);
}

// The 18-byte record of the same format as `format` (whose fields agree): a PCM or
// float tag and no extra bytes, for a device that keeps a copy of what it was opened with.
inline WAVEFORMATEX wavePlainFormat(const WAVEFORMATEX& format) {
  WAVEFORMATEX plain = format;
  plain.wFormatTag = waveSampleOf(format) == WaveSample::F32 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
  plain.cbSize = 0;
  return plain;
}
