// The wave-input recorder.
#include "audio/Audio.h"
#include "audio/wave_file.h"

TRecorder::TRecorder(TAudio* owner)
    : TAudioSettings(owner), notifyWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM) {
        if (msg == WIM_DATA && IsOpen) AddBuffer();
      })) {}

TRecorder::~TRecorder() = default;

bool TRecorder::Open() {
  Owner()->ErrorMessage = "Could not open the input device for recording: ";
  return false;
}
bool TRecorder::Start() { return Open(); }
bool TRecorder::Stop() {
  Active = false;
  bool r = Close();
  if (WaveFileOpen) completeWaveFile(*this);
  return r;
}
bool TRecorder::Close() {
  if (!IsOpen) {
    Owner()->ErrorMessage = "Recorder already closed";
    return true;
  }
  IsOpen = false;
  return true;
}
bool TRecorder::AddBuffer() { return false; }
void TRecorder::CALLBACK_waveIn(HWAVEIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
void TRecorder::onData() {}
bool TRecorder::triggerTest(const char*, uint16_t) { return Triggered; }
void TRecorder::splitBlock(char*, char*, uint16_t) {}
