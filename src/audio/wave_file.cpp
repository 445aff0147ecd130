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
#include "mmsystem/wave_format.h"

namespace {

void putLE(unsigned char* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

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

WaveHeader waveHeaderFor(const WAVEFORMATEXTENSIBLE& fileFormat) {
  WaveHeader header;
  std::vector<unsigned char>& out = header.bytes;
  out.reserve(80);
  out.insert(out.end(), {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
  const bool extensible = fileFormat.Format.wFormatTag == WAVE_FORMAT_EXTENSIBLE;
  // A plain PCM format chunk is the record without its cbSize; an extensible one is the
  // whole record.
  appendChunk(out, "fmt ", &fileFormat, extensible ? sizeof(WAVEFORMATEXTENSIBLE) : 16);
  if (extensible && fileFormat.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
    const uint32_t frames = 0;
    header.factLengthAt = appendChunk(out, "fact", &frames, 4);
  }
  header.dataSizeAt = appendChunk(out, "data", nullptr, 0) - 4;
  header.frameBytes = std::max<uint32_t>(fileFormat.Format.nBlockAlign, 1);
  return header;
}

void WaveHeader::setSizes(uint64_t dataBytes) {
  const uint64_t riff = std::min<uint64_t>(dataBytes + bytes.size() - 8, 0xFFFFFFFFull);
  putLE(bytes.data() + 4, static_cast<uint32_t>(riff), 4);
  putLE(bytes.data() + dataSizeAt, static_cast<uint32_t>(riff - (bytes.size() - 8)), 4);
  if (factLengthAt != 0) putLE(bytes.data() + factLengthAt, static_cast<uint32_t>(dataBytes / frameBytes), 4);
}

WaveFileStream::WaveFileStream(int fd, std::string fileName, const WAVEFORMATEXTENSIBLE& format)
    : fd_(fd),
      fileName_(std::move(fileName)),
      format_(format),
      header_(waveHeaderFor(format)),
      maxDataBytes_(header_.maxDataBytes()),
      lastPatch_(std::chrono::steady_clock::now()) {}

WaveFileStream::~WaveFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<WaveFileStream> WaveFileStream::create(const std::string& fileName, const WAVEFORMATEX& format,
                                                       bool exclusive) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | (exclusive ? O_EXCL : O_TRUNC) | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::unique_ptr<WaveFileStream> stream(new WaveFileStream(fd, fileName, fileFormatOf(format)));
  if (!stream->writeAll(stream->header_.bytes.data(), stream->header_.size())) {
    const int error = stream->error_;
    stream.reset();
    ::unlink(fileName.c_str());  // a file without its header is no WAV file
    errno = error;
    return nullptr;
  }
  return stream;
}

void WaveFileStream::setMaxDataBytes(uint64_t limit) { maxDataBytes_ = std::min(limit, header_.maxDataBytes()); }

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

void WaveFileStream::patchSizes(uint64_t dataBytes) {
  // The header's size fields lie in its first bytes: one write brings them all up to date.
  header_.setSizes(dataBytes);
  const size_t last = std::max(header_.dataSizeAt, header_.factLengthAt) + 4;
  (void)!::pwrite(fd_, header_.bytes.data(), last, 0);
}

void WaveFileStream::complete() {
  if (fd_ < 0) return;
  struct stat st {};
  const auto headerBytes = static_cast<off_t>(header_.size());
  if (::fstat(fd_, &st) == 0 && st.st_size >= headerBytes) patchSizes(static_cast<uint64_t>(st.st_size - headerBytes));
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
  unsigned char chunk[12];
  if (::fstat(fd, &st) == 0 && ::pread(fd, chunk, 12, 0) == 12 && std::memcmp(chunk + 8, "WAVE", 4) == 0) {
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    // Chunk by chunk to the data chunk; its samples reach to the end of the file.
    for (uint64_t at = 12; at + 8 <= fileSize && ::pread(fd, chunk, 8, static_cast<off_t>(at)) == 8;) {
      if (std::memcmp(chunk, "data", 4) == 0) {
        data = fileSize - (at + 8);
        break;
      }
      const uint32_t size =
          uint32_t{chunk[4]} | uint32_t{chunk[5]} << 8 | uint32_t{chunk[6]} << 16 | uint32_t{chunk[7]} << 24;
      at += 8 + uint64_t{size} + (size & 1);
    }
  }
  ::close(fd);
  return data;
}

uint32_t WaveHeaderBytes(TBPS bits, TChannels channels, uint32_t rate) {
  const WORD channelCount = channels == TChannels::Stereo ? 2 : 1;
  const WAVEFORMATEXTENSIBLE format = waveFormatFor(waveSampleOfBits(bits), channelCount, rate);
  return static_cast<uint32_t>(waveHeaderFor(fileFormatOf(format.Format)).size());
}

void completeWaveFile(TRecorder& recorder) {
  if (recorder.WaveStream) recorder.WaveStream->complete();
  recorder.WaveStream.reset();
  recorder.WaveFileOpen = false;
}

void TRecorder::CreateWaveFile(const std::string& FileName, std::istream* Data, std::istream* RightData) {
  if (FileName.empty()) {
    WaveFileOpen = false;
    return;
  }
  // The header describes the format as set now.
  const WORD channelCount = Channels() == TChannels::Stereo ? 2 : 1;
  const WAVEFORMATEX format =
      wavePlainFormat(waveFormatFor(waveSampleOfBits(BitsPerSample()), channelCount, SampleRate()).Format);
  std::unique_ptr<WaveFileStream> stream = WaveFileStream::create(FileName, format);
  if (!stream) throw EFCreateError(FileName);
  stream->setMaxDataBytes(maxDataBytes_);
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
    const int width = static_cast<int>(sampleBytesOf(BitsPerSample()));
    const size_t framesPerChunk = staging.size() / (2 * width);
    const size_t samples = static_cast<size_t>(size) / width;
    size_t filled = 0;
    for (size_t i = 0; i < samples && ok; ++i) {
      char* frame = staging.data() + filled * 2 * width;
      std::memset(frame, 0, 2 * width);
      Data->read(frame, width);
      RightData->read(frame + width, width);
      if (++filled == framesPerChunk) {
        ok = WaveStream->write(staging.data(), filled * 2 * width);
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
