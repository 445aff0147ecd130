// The chunks an archive-grade WAV file carries beside its format and its samples: the
// broadcast chunk ('bext': who made the file, when its first sample was taken, how it was
// coded), the 64-bit sizes of a file past 4 GiB ('ds64', held free by a 'JUNK' chunk of
// the same size while the file is smaller), and its cue points ('cue ' with a
// 'LIST'/'adtl' of 'labl' texts, after the samples). Byte layouts only; the file writer
// puts them in place.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// When the first sample of a file was taken, in local time: its date, and the samples
// from that date's midnight to it.
struct WaveOrigination {
  int year = 0;
  unsigned month = 0;
  unsigned day = 0;
  uint64_t samplesSinceMidnight = 0;
  uint32_t rate = 0;  // samples per second, the unit of samplesSinceMidnight

  bool valid() const { return rate > 0 && year > 0; }
  bool operator==(const WaveOrigination&) const = default;
  // The origination of the sample `frames` later (on the next days past midnight).
  WaveOrigination after(uint64_t frames) const;
};

// The origination of a sample taken at `time`, at `rate` samples per second.
WaveOrigination originationAt(std::chrono::system_clock::time_point time, uint32_t rate);

// A point in a file: its frame and its label.
struct CuePoint {
  uint64_t frame = 0;
  std::string label;
};

namespace wave_chunks {

// Body of the broadcast chunk without its coding history, and where its fields lie.
constexpr size_t kBextFixedBytes = 602;
constexpr size_t kBextDescriptionAt = 0;            // 256 bytes
constexpr size_t kBextOriginatorAt = 256;           // 32 bytes
constexpr size_t kBextOriginatorReferenceAt = 288;  // 32 bytes
constexpr size_t kBextOriginationDateAt = 320;      // 10 bytes, "yyyy-mm-dd"
constexpr size_t kBextOriginationTimeAt = 330;      // 8 bytes, "hh:mm:ss"
constexpr size_t kBextTimeReferenceAt = 338;        // 64 bits, low word first
constexpr size_t kBextVersionAt = 346;              // 16 bits
constexpr size_t kBextCodingHistoryAt = kBextFixedBytes;

// Body of a 'ds64' chunk without a table: the RIFF size, the data size and the frames,
// 64 bits each, and a table length of 0.
constexpr size_t kDs64Bytes = 28;

// What a broadcast chunk says about its file.
struct BroadcastInfo {
  std::string description;          // the file's name
  std::string originator;           // the program
  std::string originatorReference;  // unique per file
  std::string codingHistory;        // one line, ending in CR LF
};

// The body of a broadcast chunk (version 1) with an empty origination; an even number
// of bytes (the coding history is padded with a zero).
std::vector<unsigned char> bextBody(const BroadcastInfo& info);
// Writes the origination date, time and time reference into a broadcast chunk's body.
void setBextOrigination(unsigned char* body, const WaveOrigination& origination);

// "A=PCM,F=96000,W=24,M=stereo,T=<software>" with CR LF.
std::string codingHistory(uint32_t rate, unsigned bits, unsigned channels, const std::string& software);
// A reference that no other file shares: the program's short name, the creation time to
// the second and random digits, at most 32 characters.
std::string uniqueReference();

// The chunks after the samples: 'cue ' with one point per entry (positions in frames of
// the data chunk) and a 'LIST' of type 'adtl' with a 'labl' text for each. Points past
// what a cue position (32 bits) can say are left out. Empty when there are none.
std::vector<unsigned char> cueChunks(const std::vector<CuePoint>& points);

}  // namespace wave_chunks
