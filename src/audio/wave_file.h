// The WAV file a recording is written to: a 44-byte RIFF/WAVE header followed by the
// blocks as recorded. While the recording runs the two size fields are brought up to date
// about twice a second, so a recording that is cut off (power loss, a killed process)
// still leaves a readable file; when it stops they are completed from the file's size.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "mmsystem/mmsystem.h"

class TRecorder;

// An open WAV file being written. Blocks are appended on the service thread; creation and
// completion happen on the window thread while nothing appends. A recording that outgrows
// one file goes on in the next one (created and completed on the service thread).
class WaveFileStream {
 public:
  // What an append did.
  enum class Append {
    Written,    // the whole block is in the file
    Failed,     // the write failed (error() says why); the file keeps its earlier blocks
    SizeLimit,  // the block would not fit the 32-bit size fields; nothing was written
  };

  // The most data a file may hold: its RIFF size (data + 36) must fit 32 bits.
  static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

  // Creates (or empties) the file and writes the header for `format` with both sizes 0.
  // With `exclusive` an existing file is never touched (errno EEXIST). nullptr when that
  // fails; errno then says why.
  static std::unique_ptr<WaveFileStream> create(const std::string& fileName, const WAVEFORMATEX& format,
                                                bool exclusive = false);

  ~WaveFileStream();
  WaveFileStream(const WaveFileStream&) = delete;
  WaveFileStream& operator=(const WaveFileStream&) = delete;

  // Appends one block with one write. Allocates nothing.
  Append append(const void* data, size_t size);
  // Writes `size` bytes at the end without the block rules (the stream forms).
  bool write(const void* data, size_t size);
  // Patches both size fields from the file's size and closes the file.
  void complete();

  const std::string& fileName() const { return fileName_; }
  // The format the header describes.
  const WAVEFORMATEX& format() const { return format_; }
  uint64_t dataBytes() const { return dataBytes_; }
  // Bytes that can still be appended before the size fields would overflow.
  uint64_t roomLeft() const { return dataBytes_ < maxDataBytes_ ? maxDataBytes_ - dataBytes_ : 0; }
  // errno of the failed write, 0 when none failed.
  int error() const { return error_; }
  // Texts for ErrorMessage: the failed write, and a file that would outgrow its sizes.
  std::string writeErrorText() const;
  std::string sizeLimitText() const;
  // Lowers the data limit (tests reach the size guard without writing 4 GiB).
  void setMaxDataBytes(uint64_t limit) { maxDataBytes_ = limit; }
  // How often the size fields are brought up to date while recording.
  static constexpr std::chrono::milliseconds kPatchInterval{500};

 private:
  WaveFileStream(int fd, std::string fileName, const WAVEFORMATEX& format);
  void patchSizes(uint64_t dataBytes);
  bool writeAll(const void* data, size_t size);

  int fd_;
  std::string fileName_;
  WAVEFORMATEX format_;
  uint64_t dataBytes_ = 0;
  uint64_t maxDataBytes_ = kMaxDataBytes;
  int error_ = 0;
  std::chrono::steady_clock::time_point lastPatch_;
};

// Completes the recorder's open WAV file (both size fields from the file's size), closes
// it and clears WaveFileOpen.
void completeWaveFile(TRecorder& recorder);

// The name of file `number` (2, 3, ...) of a recording that began in `firstFile`: in the
// same folder, the first file's name without its extension, "-", the number and ".wav".
std::string numberedFileName(const std::string& firstFile, uint32_t number);
