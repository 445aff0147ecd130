// The WAV file writer: creation with the 44-byte header, appending blocks, keeping the
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

namespace {

void putLE(unsigned char* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
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

WaveFileStream::WaveFileStream(int fd, std::string fileName, const WAVEFORMATEX& format)
    : fd_(fd), fileName_(std::move(fileName)), format_(format), lastPatch_(std::chrono::steady_clock::now()) {}

WaveFileStream::~WaveFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<WaveFileStream> WaveFileStream::create(const std::string& fileName, const WAVEFORMATEX& format,
                                                       bool exclusive) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | (exclusive ? O_EXCL : O_TRUNC) | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::unique_ptr<WaveFileStream> stream(new WaveFileStream(fd, fileName, format));

  unsigned char header[44] = {};
  std::memcpy(header + 0, "RIFF", 4);
  std::memcpy(header + 8, "WAVE", 4);
  std::memcpy(header + 12, "fmt ", 4);
  putLE(header + 16, 16, 4);
  putLE(header + 20, WAVE_FORMAT_PCM, 2);
  putLE(header + 22, format.nChannels, 2);
  putLE(header + 24, format.nSamplesPerSec, 4);
  putLE(header + 28, format.nAvgBytesPerSec, 4);
  putLE(header + 32, format.nBlockAlign, 2);
  putLE(header + 34, format.wBitsPerSample, 2);
  std::memcpy(header + 36, "data", 4);
  if (!stream->writeAll(header, sizeof(header))) {
    const int error = stream->error_;
    stream.reset();
    ::unlink(fileName.c_str());  // a file without its header is no WAV file
    errno = error;
    return nullptr;
  }
  return stream;
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
    if (::ftruncate(fd_, static_cast<off_t>(44 + dataBytes_)) == 0) {
      ::lseek(fd_, static_cast<off_t>(44 + dataBytes_), SEEK_SET);
    }
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
  const uint64_t riff = std::min<uint64_t>(dataBytes + 36, 0xFFFFFFFFull);
  unsigned char field[4];
  putLE(field, static_cast<uint32_t>(riff), 4);
  (void)!::pwrite(fd_, field, 4, 4);
  putLE(field, static_cast<uint32_t>(riff - 36), 4);
  (void)!::pwrite(fd_, field, 4, 40);
}

void WaveFileStream::complete() {
  if (fd_ < 0) return;
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && st.st_size >= 44) patchSizes(static_cast<uint64_t>(st.st_size) - 44);
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
