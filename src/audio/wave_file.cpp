// The WAV file writer.
#include "audio/wave_file.h"

#include <unistd.h>

#include "audio/Audio.h"

WaveFileStream::~WaveFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void completeWaveFile(TRecorder& recorder) {
  recorder.WaveStream.reset();
  recorder.WaveFileOpen = false;
}

void TRecorder::CreateWaveFile(const std::string& FileName, std::istream*, std::istream*) {
  if (FileName.empty()) {
    WaveFileOpen = false;
    return;
  }
  throw EFCreateError(FileName);
}
