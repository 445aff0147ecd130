// The WAV file writer: the header of each format, creation, appending blocks, keeping the
// size fields current while recording, completion, and the two stream forms.
#include "audio/wave_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <istream>

#include "audio/Audio.h"
#include "audio/recording_marks.h"
#include "mmsystem/wave_format.h"

namespace {

void putLE(unsigned char* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void putLE64(unsigned char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

uint32_t readLE32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// The data limit of a file that goes on past 4 GiB: far beyond any disk.
constexpr uint64_t kNoLimit = uint64_t{1} << 62;

// Appends a chunk with its id, its size and `size` bytes of body; the offset of the body.
size_t appendChunk(std::vector<unsigned char>& out, const char* id, const void* body, size_t size) {
  const size_t at = out.size();
  out.resize(at + 8 + size);
  std::memcpy(out.data() + at, id, 4);
  putLE(out.data() + at + 4, static_cast<uint32_t>(size), 4);
  if (size > 0) std::memcpy(out.data() + at + 8, body, size);
  return at + 8;
}

// Size of a stream from its start, or -1 when it cannot seek.
std::streamoff streamSize(std::istream& s) {
  s.clear();
  s.seekg(0, std::ios::end);
  const std::streamoff size = s.tellg();
  s.clear();
  s.seekg(0, std::ios::beg);
  return size;
}

}  // namespace

WAVEFORMATEXTENSIBLE fileFormatOf(const WAVEFORMATEX& format) {
  const WaveSample sample =
      waveSampleOf(format).value_or(format.wBitsPerSample == 8 ? WaveSample::U8 : WaveSample::S16);
  WAVEFORMATEXTENSIBLE file = waveFormatFor(sample, format.nChannels, format.nSamplesPerSec);
  if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && file.Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE &&
      waveSampleOf(format)) {
    // What the record says beyond the sample itself stays: the valid bits, the speakers.
    const auto& ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
    file.Samples.wValidBitsPerSample = ext.Samples.wValidBitsPerSample;
    if (ext.dwChannelMask != 0) file.dwChannelMask = ext.dwChannelMask;
  }
  return file;
}

WaveHeader waveHeaderFor(const WAVEFORMATEXTENSIBLE& fileFormat, bool rf64,
                         const wave_chunks::BroadcastInfo* broadcast) {
  WaveHeader header;
  std::vector<unsigned char>& out = header.bytes;
  out.reserve(80);
  out.insert(out.end(), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
  if (rf64) {
    // The room of the 'ds64' chunk, first after the form type as an RF64 file needs it.
    const std::array<unsigned char, wave_chunks::kDs64Bytes> room{};
    header.junkAt = appendChunk(out, "JUNK", room.data(), room.size()) - 8;
  }
  const bool extensible = fileFormat.Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
  // A plain PCM format chunk is the record without its cbSize; an extensible one is the
  // whole record.
  appendChunk(out, "fmt ", &fileFormat, extensible ? sizeof(WAVEFORMATEXTENSIBLE) : 16);
  if (extensible && fileFormat.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
    const uint32_t frames = 0;
    header.factLengthAt = appendChunk(out, "fact", &frames, 4);
  }
  if (broadcast != nullptr) {
    const std::vector<unsigned char> body = wave_chunks::bextBody(*broadcast);
    header.bextAt = appendChunk(out, "bext", body.data(), body.size());
  }
  header.dataSizeAt = appendChunk(out, "data", nullptr, 0) - 4;
  header.frameBytes = std::max<uint32_t>(fileFormat.Format.nBlockAlign, 1);
  header.plainLimit = header.maxDataBytes();
  return header;
}

void WaveHeader::setSizes(uint64_t dataBytes, uint64_t trailerBytes) {
  const uint64_t before = bytes.size() - 8;  // what the RIFF size counts before the data
  const uint64_t frames = dataBytes / frameBytes;
  const uint64_t riff64 = before + dataBytes + trailerBytes;
  if (junkAt != 0 && (dataBytes > plainLimit || riff64 > 0xFFFFFFFFull)) {
    // An RF64 file: the 32-bit fields say "see the 'ds64' chunk", which holds the sizes.
    std::memcpy(bytes.data(), "RF64", 4);
    putLE(bytes.data() + 4, 0xFFFFFFFFu, 4);
    std::memcpy(bytes.data() + junkAt, "ds64", 4);
    unsigned char* ds64 = bytes.data() + junkAt + 8;
    putLE64(ds64, riff64);
    putLE64(ds64 + 8, dataBytes);
    putLE64(ds64 + 16, frames);
    putLE(ds64 + 24, 0, 4);
    putLE(bytes.data() + dataSizeAt, 0xFFFFFFFFu, 4);
    if (factLengthAt != 0)
      putLE(bytes.data() + factLengthAt, static_cast<uint32_t>(std::min<uint64_t>(frames, 0xFFFFFFFFu)), 4);
    return;
  }
  if (junkAt != 0) {
    std::memcpy(bytes.data(), "RIFF", 4);
    std::memcpy(bytes.data() + junkAt, "JUNK", 4);
    std::memset(bytes.data() + junkAt + 8, 0, wave_chunks::kDs64Bytes);
  }
  const uint64_t riff = std::min<uint64_t>(riff64, 0xFFFFFFFFull);
  putLE(bytes.data() + 4, static_cast<uint32_t>(riff), 4);
  putLE(bytes.data() + dataSizeAt, static_cast<uint32_t>(std::min<uint64_t>(dataBytes, riff - before)), 4);
  if (factLengthAt != 0) putLE(bytes.data() + factLengthAt, static_cast<uint32_t>(frames), 4);
}

WaveFileStream::WaveFileStream(int fd, std::string fileName, const WAVEFORMATEXTENSIBLE& format, WaveHeader header)
    : fd_(fd),
      fileName_(std::move(fileName)),
      format_(format),
      header_(std::move(header)),
      maxDataBytes_(header_.junkAt != 0 ? kNoLimit : header_.maxDataBytes()),
      lastPatch_(std::chrono::steady_clock::now()) {}

WaveFileStream::~WaveFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<WaveFileStream> WaveFileStream::create(const std::string& fileName, const WAVEFORMATEX& format,
                                                       bool exclusive, const WaveFileOptions& options) {
  const WAVEFORMATEXTENSIBLE fileFormat = fileFormatOf(format);
  WaveHeader header;
  if (options.broadcast) {
    wave_chunks::BroadcastInfo info;
    info.description = std::filesystem::path(fileName).filename().string();
    info.originator = "Tessaron";
    info.originatorReference = wave_chunks::uniqueReference();
    info.codingHistory = wave_chunks::codingHistory(fileFormat.Format.nSamplesPerSec, fileFormat.Format.wBitsPerSample,
                                                    fileFormat.Format.nChannels, options.software);
    header = waveHeaderFor(fileFormat, options.rf64, &info);
    // Until the first sample is known, the file's creation.
    wave_chunks::setBextOrigination(header.bytes.data() + header.bextAt,
                                    originationAt(std::chrono::system_clock::now(), fileFormat.Format.nSamplesPerSec));
  } else {
    header = waveHeaderFor(fileFormat, options.rf64);
  }
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | (exclusive ? O_EXCL : O_TRUNC) | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::unique_ptr<WaveFileStream> stream(new WaveFileStream(fd, fileName, fileFormat, std::move(header)));
  if (!stream->writeAll(stream->header_.bytes.data(), stream->header_.size())) {
    const int error = stream->error_;
    stream.reset();
    ::unlink(fileName.c_str());  // a file without its header is no WAV file
    errno = error;
    return nullptr;
  }
  return stream;
}

void WaveFileStream::setMaxDataBytes(uint64_t limit) {
  if (header_.junkAt != 0) {
    header_.plainLimit = std::min(limit, header_.maxDataBytes());
  } else {
    maxDataBytes_ = std::min(limit, header_.maxDataBytes());
  }
}

void WaveFileStream::setOrigination(const WaveOrigination& origination) {
  if (header_.bextAt == 0 || !origination.valid()) return;
  unsigned char* body = header_.bytes.data() + header_.bextAt;
  wave_chunks::setBextOrigination(body, origination);
  // Date, time and time reference lie side by side.
  const size_t from = header_.bextAt + wave_chunks::kBextOriginationDateAt;
  const size_t to = header_.bextAt + wave_chunks::kBextVersionAt;
  (void)!::pwrite(fd_, header_.bytes.data() + from, to - from, static_cast<off_t>(from));
}

bool WaveFileStream::writeAll(const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : ENOSPC;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WaveFileStream::write(const void* data, size_t size) {
  if (!writeAll(data, size)) return false;
  dataBytes_ += size;
  return true;
}

WaveFileStream::Append WaveFileStream::append(const void* data, size_t size) {
  if (dataBytes_ + size > maxDataBytes_) return Append::SizeLimit;
  if (!writeAll(data, size)) {
    // A block written in part is taken back, so the file ends with whole blocks.
    const auto end = static_cast<off_t>(header_.size() + dataBytes_);
    if (::ftruncate(fd_, end) == 0) ::lseek(fd_, end, SEEK_SET);
    return Append::Failed;
  }
  dataBytes_ += size;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPatch_ >= kPatchInterval) {
    patchSizes(dataBytes_);
    lastPatch_ = now;
  }
  return Append::Written;
}

void WaveFileStream::patchSizes(uint64_t dataBytes, uint64_t trailerBytes) {
  // The header's size fields lie in its bytes before the data: one write brings them all
  // up to date, the 64-bit ones of an RF64 file too.
  header_.setSizes(dataBytes, trailerBytes);
  (void)!::pwrite(fd_, header_.bytes.data(), header_.size(), 0);
}

void WaveFileStream::complete(const std::vector<CuePoint>& cues) {
  if (fd_ < 0) return;
  struct stat st {};
  const auto headerBytes = static_cast<off_t>(header_.size());
  if (::fstat(fd_, &st) == 0 && st.st_size >= headerBytes) {
    const auto data = static_cast<uint64_t>(st.st_size - headerBytes);
    std::vector<unsigned char> trailer = wave_chunks::cueChunks(cues);
    // Every chunk starts on an even offset: odd data gets its pad byte first.
    if (!trailer.empty() && data % 2 != 0) trailer.insert(trailer.begin(), 0);
    if (!trailer.empty() && header_.junkAt == 0 && header_.size() - 8 + data + trailer.size() > 0xFFFFFFFFull)
      trailer.clear();
    uint64_t written = 0;
    if (!trailer.empty()) {
      const ssize_t n = ::pwrite(fd_, trailer.data(), trailer.size(), st.st_size);
      if (n == static_cast<ssize_t>(trailer.size())) {
        written = trailer.size();
      } else if (n > 0) {
        (void)!::ftruncate(fd_, st.st_size);  // chunks written in part are no chunks
      }
    }
    patchSizes(data, written);
  }
  ::close(fd_);
  fd_ = -1;
}

std::string WaveFileStream::writeErrorText() const {
  return "Error writing the WAV file " + fileName_ + ": " + std::strerror(error_);
}

std::string WaveFileStream::sizeLimitText() const {
  return "The WAV file " + fileName_ +
         " has reached the largest size a WAV file can hold (4 GB); "
         "the recording was stopped";
}

std::string numberedFileName(const std::string& firstFile, uint32_t number) {
  const std::filesystem::path first(firstFile);
  std::filesystem::path next = first.parent_path();
  next /= first.stem().string() + "-" + std::to_string(number) + ".wav";
  return next.string();
}

uint64_t WaveFileDataBytes(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st {};
  uint64_t data = 0;
  unsigned char chunk[36];
  if (::fstat(fd, &st) == 0 && ::pread(fd, chunk, 12, 0) == 12 && std::memcmp(chunk + 8, "WAVE", 4) == 0) {
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    uint64_t ds64Data = UINT64_MAX;  // the data size of an RF64 file's 'ds64' chunk
    // Chunk by chunk to the data chunk.
    for (uint64_t at = 12; at + 8 <= fileSize && ::pread(fd, chunk, 8, static_cast<off_t>(at)) == 8;) {
      const uint32_t size = readLE32(chunk + 4);
      if (std::memcmp(chunk, "ds64", 4) == 0 && ::pread(fd, chunk + 8, 16, static_cast<off_t>(at + 8)) == 16) {
        ds64Data = 0;
        for (int i = 7; i >= 0; --i) ds64Data = ds64Data << 8 | chunk[16 + i];
      }
      if (std::memcmp(chunk, "data", 4) == 0) {
        // Its samples reach to the end of the file (a file cut off has older sizes), but
        // for the cue chunks a completed file has after them.
        data = fileSize - (at + 8);
        const uint64_t told = size == 0xFFFFFFFFu && ds64Data != UINT64_MAX ? ds64Data : size;
        uint64_t next = at + 8 + told + (told & 1);
        bool trailer = told < data;
        while (trailer && next < fileSize) {
          trailer = next + 8 <= fileSize && ::pread(fd, chunk, 8, static_cast<off_t>(next)) == 8 &&
                    (std::memcmp(chunk, "cue ", 4) == 0 || std::memcmp(chunk, "LIST", 4) == 0);
          if (trailer) next += 8 + uint64_t{readLE32(chunk + 4)} + (readLE32(chunk + 4) & 1);
        }
        if (trailer && next == fileSize) data = told;
        break;
      }
      at += 8 + uint64_t{size} + (size & 1);
    }
  }
  ::close(fd);
  return data;
}

uint32_t WaveHeaderBytes(TBPS bits, TChannels channels, uint32_t rate, const WaveFileOptions& options) {
  const WORD channelCount = channels == TChannels::Stereo ? 2 : 1;
  const WAVEFORMATEXTENSIBLE format = fileFormatOf(waveFormatFor(waveSampleOfBits(bits), channelCount, rate).Format);
  // The broadcast chunk's texts have fixed fields, but for the coding history.
  wave_chunks::BroadcastInfo info;
  info.codingHistory = wave_chunks::codingHistory(rate, format.Format.wBitsPerSample, channelCount, options.software);
  return static_cast<uint32_t>(waveHeaderFor(format, options.rf64, options.broadcast ? &info : nullptr).size());
}

void completeWaveFile(TRecorder& recorder) {
  if (recorder.WaveStream)
    recorder.WaveStream->complete(recorder.marks_->take(recorder.fileStartFrame_, UINT64_MAX, true));
  recorder.WaveStream.reset();
  recorder.WaveFileOpen = false;
}

void TRecorder::CreateWaveFile(const std::string& FileName, std::istream* Data, std::istream* RightData) {
  if (FileName.empty()) {
    WaveFileOpen = false;
    return;
  }
  // The header describes the format as set now: the channels and the rate directly, the
  // rest from the format record (computed alike when no buffers could be built).
  WAVEFORMATEX format{};
  format.nChannels = Channels() == TChannels::Stereo ? 2 : 1;
  format.nSamplesPerSec = SampleRate();
  if (WaveFormat() != nullptr) {
    format.nAvgBytesPerSec = WaveFormat()->nAvgBytesPerSec;
    format.nBlockAlign = WaveFormat()->nBlockAlign;
    format.wBitsPerSample = WaveFormat()->wBitsPerSample;
  } else {
    format.wBitsPerSample = BitsPerSample() == TBPS::_16 ? 16 : 8;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  }
  std::unique_ptr<WaveFileStream> stream = WaveFileStream::create(FileName, format, false, fileOptions_);
  if (!stream) throw EFCreateError(FileName);
  stream->setMaxDataBytes(maxDataBytes_);
  marks_->reset(stream->format().nSamplesPerSec);
  fileStartFrame_ = 0;
  WaveStream = std::move(stream);
  firstFileName_ = FileName;
  fileNumber_ = 1;
  // Messages of an earlier recording still on their way (a next file, a stop of its own)
  // concern that recording, never this file.
  if (!IsOpen) ++run_;
  WaveFileOpen = true;
  if (Data == nullptr) return;

  // Stream forms: the whole file at once. A write that fails ends the copy; the file is
  // completed with what it holds and ErrorMessage says what went wrong.
  const std::streamoff size = streamSize(*Data);
  bool ok = true;
  if (RightData != nullptr && size >= 0 && streamSize(*RightData) == size) {
    std::array<char, 1000> staging;
    const bool wide = BitsPerSample() == TBPS::_16;
    const int width = wide ? 2 : 1;
    const size_t framesPerChunk = staging.size() / (2 * width);
    const size_t samples = static_cast<size_t>(size) / width;
    size_t filled = 0;
    for (size_t i = 0; i < samples && ok; ++i) {
      char* frame = staging.data() + filled * 2 * width;
      std::memset(frame, 0, 2 * width);
      Data->read(frame, width);
      RightData->read(frame + width, width);
      if (++filled == framesPerChunk) {
        ok = WaveStream->write(staging.data(), staging.size());
        filled = 0;
      }
    }
    if (ok && filled > 0) ok = WaveStream->write(staging.data(), filled * 2 * width);
  } else {
    std::array<char, 65536> chunk;
    while (ok && *Data) {
      Data->read(chunk.data(), chunk.size());
      const std::streamsize n = Data->gcount();
      if (n > 0) ok = WaveStream->write(chunk.data(), static_cast<size_t>(n));
    }
  }
  if (!ok) Owner()->ErrorMessage = WaveStream->writeErrorText();
  completeWaveFile(*this);
}
