// The WAV file a recording is written to: a RIFF/WAVE header followed by the blocks as
// recorded. 8 and 16-bit files have the canonical 44-byte header (format chunk of plain
// PCM, then the data chunk); 24-bit and float files describe their format by the
// extensible format chunk, and float files carry a 'fact' chunk with their length in
// frames. While the recording runs the size fields are brought up to date about twice a
// second, so a recording that is cut off (power loss, a killed process) still leaves a
// readable file; when it stops they are completed from the file's size.
// Two options make archive files: a broadcast chunk ('bext') before the data, and one
// file past 4 GiB (a 'JUNK' chunk holds the room of the 64-bit sizes; the file is a plain
// WAV until its data passes what 32 bits can say, then an RF64 file with a 'ds64' chunk).
// Cue points go after the data when the file is completed.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "audio/wave_chunks.h"
#include "mmsystem/mmsystem.h"

class TRecorder;

// The header of a WAV file as the writer lays it out: every chunk before the sample
// data, and where the fields that grow with the data lie in it. Every chunk a file
// carries before its data joins here (waveHeaderFor), so that the sizes, the truncation
// to whole blocks and the data limit follow from `bytes.size()` alone.
struct WaveHeader {
  std::vector<unsigned char> bytes;  // the header with every size 0
  size_t dataSizeAt = 0;             // offset of the data chunk's size field
  size_t factLengthAt = 0;           // offset of the 'fact' chunk's frame count, 0: no such chunk
  size_t junkAt = 0;                 // offset of the chunk that becomes 'ds64', 0: no such chunk
  size_t bextAt = 0;                 // offset of the broadcast chunk's body, 0: no such chunk
  uint32_t frameBytes = 1;           // bytes of one frame (the format's block align)
  // With room for the 64-bit sizes: the most data the file holds as a plain WAV.
  uint64_t plainLimit = UINT64_MAX;

  size_t size() const { return bytes.size(); }
  // The header with the sizes of a file holding `dataBytes` bytes of samples and then
  // `trailerBytes` bytes of chunks after them. A header with room for the 64-bit sizes
  // becomes an RF64 header where they no longer fit 32 bits (or pass plainLimit).
  void setSizes(uint64_t dataBytes, uint64_t trailerBytes = 0);
  bool isRf64() const { return bytes[0] == 'R' && bytes[1] == 'F'; }
  // The most sample data a plain file with this header may hold: its RIFF size
  // (everything after the first 8 bytes) must fit 32 bits.
  uint64_t maxDataBytes() const { return 0xFFFFFFFFull - (bytes.size() - 8); }
};

// The file's format for a recording in `format` (a record the multimedia service takes,
// wave_format.h): 8 and 16-bit samples as plain PCM, every other sample extensible.
WAVEFORMATEXTENSIBLE fileFormatOf(const WAVEFORMATEX& format);
// The header of a file in `fileFormat` (as fileFormatOf gives it), every size 0; with
// `rf64` room for the 64-bit sizes, with `broadcast` that broadcast chunk.
WaveHeader waveHeaderFor(const WAVEFORMATEXTENSIBLE& fileFormat, bool rf64 = false,
                         const wave_chunks::BroadcastInfo* broadcast = nullptr);

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

  // Creates (or empties) the file and writes the header for `format` with every size 0.
  // With `exclusive` an existing file is never touched (errno EEXIST). nullptr when that
  // fails; errno then says why. A broadcast chunk names the file, a reference of its own
  // and the time of its creation as its origination until setOrigination.
  static std::unique_ptr<WaveFileStream> create(const std::string& fileName, const WAVEFORMATEX& format,
                                                bool exclusive = false, const WaveFileOptions& options = {});

  ~WaveFileStream();
  WaveFileStream(const WaveFileStream&) = delete;
  WaveFileStream& operator=(const WaveFileStream&) = delete;

  // Appends one block with one write. Allocates nothing.
  Append append(const void* data, size_t size);
  // Writes `size` bytes at the end without the block rules (the stream forms).
  bool write(const void* data, size_t size);
  // Writes `cues` (frames of this file) after the data, patches the size fields from
  // the file's size and closes the file. Cue chunks that a plain file's 32-bit sizes
  // cannot take are left out.
  void complete(const std::vector<CuePoint>& cues = {});
  // Writes when the file's first sample was taken into its broadcast chunk (none: nothing).
  void setOrigination(const WaveOrigination& origination);

  const std::string& fileName() const { return fileName_; }
  // The format the header describes (an extensible record for 24-bit and float files).
  const WAVEFORMATEX& format() const { return format_.Format; }
  // Bytes before the sample data.
  size_t headerBytes() const { return header_.size(); }
  uint64_t dataBytes() const { return dataBytes_; }
  // Bytes that can still be appended before the size fields would overflow.
  uint64_t roomLeft() const { return dataBytes_ < maxDataBytes_ ? maxDataBytes_ - dataBytes_ : 0; }
  // errno of the failed write, 0 when none failed.
  int error() const { return error_; }
  // Texts for ErrorMessage: the failed write, and a file that would outgrow its sizes.
  std::string writeErrorText() const;
  std::string sizeLimitText() const;
  // Lowers the data limit (tests reach the size guard without writing 4 GiB); a limit
  // above what the header allows leaves that. A file that goes on past 4 GiB has no
  // limit: there it is the point where it becomes an RF64 file.
  void setMaxDataBytes(uint64_t limit);
  bool goesOnPast4GiB() const { return header_.junkAt != 0; }
  // How often the size fields are brought up to date while recording.
  static constexpr std::chrono::milliseconds kPatchInterval{500};

 private:
  WaveFileStream(int fd, std::string fileName, const WAVEFORMATEXTENSIBLE& format, WaveHeader header);
  void patchSizes(uint64_t dataBytes, uint64_t trailerBytes = 0);
  bool writeAll(const void* data, size_t size);

  int fd_;
  std::string fileName_;
  WAVEFORMATEXTENSIBLE format_;
  WaveHeader header_;
  uint64_t dataBytes_ = 0;
  uint64_t maxDataBytes_;
  int error_ = 0;
  std::chrono::steady_clock::time_point lastPatch_;
};

// Completes the recorder's open WAV file (the size fields from the file's size), closes
// it and clears WaveFileOpen.
void completeWaveFile(TRecorder& recorder);

// The name of file `number` (2, 3, ...) of a recording that began in `firstFile`: in the
// same folder, the first file's name without its extension, "-", the number and ".wav".
std::string numberedFileName(const std::string& firstFile, uint32_t number);
