// The WAV file a recording is written to: a 44-byte RIFF/WAVE header followed by the
// blocks as recorded; the two size fields are completed when the recording stops.
#pragma once

#include <cstdint>
#include <string>

class TRecorder;

// An open WAV file being written.
class WaveFileStream {
 public:
  explicit WaveFileStream(int fd) : fd_(fd) {}
  ~WaveFileStream();
  WaveFileStream(const WaveFileStream&) = delete;
  WaveFileStream& operator=(const WaveFileStream&) = delete;

  int fd() const { return fd_; }

 private:
  int fd_;
};

// Patches both size fields from the file's size, closes the stream and clears
// WaveFileOpen.
void completeWaveFile(TRecorder& recorder);
