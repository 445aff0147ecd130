// The wave-input recorder: opening the input device with its ring of four buffers, the
// data notification (dropouts, trigger with the input kept before it, file append with
// the change to a next file, OnRecord, re-queueing through the recorder's window), the
// device failing, and stopping, which completes the WAV file once nothing can append to it.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio/Audio.h"
#include "audio/recording_marks.h"
#include "audio/wave_file.h"

namespace {

// Messages of the recorder's window besides the filled-block message (960).
constexpr UINT kDeferredStop = 0x0400 + 1;  // a stop asked for while a block was delivered
constexpr UINT kSelfStop = 0x0400 + 2;      // the recorder cannot go on with the recording
constexpr UINT kFileChanged = 0x0400 + 3;   // the recording went on in file number lParam

// Silence written (or kept) in its place where the device lost input: a whole number of
// frames of every format.
constexpr size_t kSilenceBytes = 65536;

// The recorder whose data notification runs on this thread, if any.
thread_local const TRecorder* delivering = nullptr;

}  // namespace

TRecorder::TRecorder(TAudio* owner)
    : TAudioSettings(owner),
      notifyWindow_(std::make_unique<NotifyWindow>(
          [this](UINT msg, WPARAM wParam, LPARAM lParam) { onMessage(msg, wParam, lParam); })),
      maxDataBytes_(UINT64_MAX),
      marks_(std::make_unique<RecordingMarks>()) {}

TRecorder::~TRecorder() = default;

void TRecorder::onMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WIM_DATA:
      // A block of an earlier run (stopped before its message arrived) is not queued
      // again: its buffer may already be queued for the current run. Nor is one of a run
      // that is ending by itself. A buffer that cannot be queued again has stopped the
      // recording (AddBuffer).
      if (wParam == run_ && IsOpen && !ending_ && !AddBuffer()) tellStopped();
      break;
    case kDeferredStop:
      if (wParam == run_ && IsOpen) Stop();
      break;
    case kSelfStop:
      // Once per run: a failed re-queue may have stopped it and told the owner already.
      if (wParam != run_ || toldStopped_) break;
      if (IsOpen || WaveFileOpen) Stop();
      Owner()->ErrorMessage = stopReason_;
      tellStopped();
      break;
    case kFileChanged:
      if (wParam == run_ && Owner()->OnRecordFileChanged) {
        Owner()->OnRecordFileChanged(this, numberedFileName(firstFileName_, static_cast<uint32_t>(lParam)));
      }
      break;
    default: break;
  }
}

void TRecorder::tellStopped() {
  if (toldStopped_) return;
  toldStopped_ = true;
  if (Owner()->OnRecordStopped) Owner()->OnRecordStopped(this);
}

bool TRecorder::Open() {
  if (IsOpen) return true;
  applyPendingFormat();
  prepareRun();
  QueueIndex = 0;
  DoneIndex = 0;
  ++run_;
  ending_ = false;
  toldStopped_ = false;
  const MMRESULT opened = waveInOpen(&WaveIn, static_cast<UINT>(Owner()->AudioDeviceID()), WaveFormat(),
                                     reinterpret_cast<DWORD_PTR>(&TRecorder::CALLBACK_waveIn),
                                     reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC);
  if (opened != MMSYSERR_NOERROR) {
    Close();
    Owner()->setWaveInError("Could not open the input device for recording: ", opened);
    return false;
  }
  IsOpen = true;
  setupHeaders();
  for (size_t i = 0; i < 4; ++i) {
    if (MMRESULT r = waveInPrepareHeader(WaveIn, Headers[i], sizeof(WAVEHDR))) {
      Close();
      Owner()->setWaveInError("Error preparing header for recording: ", r);
      return false;
    }
  }
  if (!AddBuffer()) {
    Owner()->ErrorMessage = "Error adding next input buffer";
    return false;
  }
  return true;
}

void TRecorder::prepareRun() {
  const WAVEFORMATEX* format = WaveFormat();
  if (format == nullptr) return;
  silence_.assign(kSilenceBytes, format->wBitsPerSample == 8 ? static_cast<char>(0x80) : 0);
  // A recording that waits for its trigger keeps the last PreTrigger milliseconds of
  // input, rounded to the nearest frame (halves to even).
  size_t keep = 0;
  if (WaveFileOpen && !Triggered && preTrigger_ > 0) {
    const long double frames = std::nearbyintl(static_cast<long double>(preTrigger_) * format->nSamplesPerSec / 1000);
    keep = static_cast<size_t>(frames) * format->nBlockAlign;
  }
  kept_.reset(keep);
}

bool TRecorder::Start() {
  if (!Open()) return false;
  if (MMRESULT r = waveInStart(WaveIn)) {
    Owner()->setWaveInError("Error starting wave record: ", r);
    Close();
    return false;
  }
  for (int i = 0; i < 3; ++i) {
    if (!AddBuffer()) {
      Owner()->ErrorMessage = "Error adding next input buffer";
      return false;
    }
  }
  return true;
}

bool TRecorder::Stop() {
  if (delivering == this) {
    // Asked from inside OnRecord: the blocks from now on are ignored, and the stop itself
    // runs on the window thread once this delivery has returned.
    Active = false;
    notifyWindow_->post(kDeferredStop, run_, 0);
    return true;
  }
  Active = false;
  const bool result = Close();
  // Close has normally waited for the service thread already; when it failed, a block
  // may still be in delivery, and the file is completed only after it has left.
  while (inData_.load()) inData_.wait(true);
  if (WaveFileOpen) completeWaveFile(*this);
  return result;
}

bool TRecorder::Close() {
  if (!IsOpen) {
    Owner()->ErrorMessage = "Recorder already closed";
    return true;
  }
  if (waveInReset(WaveIn) != MMSYSERR_NOERROR) {
    Owner()->ErrorMessage = "Error in waveInReset";
    return false;
  }
  for (size_t i = 0; i < 4; ++i) {
    if (MMRESULT r = waveInUnprepareHeader(WaveIn, Headers[i], sizeof(WAVEHDR))) {
      Owner()->setWaveInError("Error in waveInUnprepareHeader", r);
      return false;
    }
  }
  if (waveInClose(WaveIn) != MMSYSERR_NOERROR) {
    Owner()->ErrorMessage = "Error closing input device";
    return false;
  }
  WaveIn = nullptr;
  IsOpen = false;
  applyPendingFormat();
  return true;
}

bool TRecorder::AddBuffer() {
  // The device sets what it lost when it hands the header back; a driver that does not
  // know these counts leaves them zero.
  Headers[QueueIndex]->dwOverruns = 0;
  Headers[QueueIndex]->dwFramesLost = 0;
  if (MMRESULT r = waveInAddBuffer(WaveIn, Headers[QueueIndex], sizeof(WAVEHDR))) {
    Stop();
    Owner()->setWaveInError("Error adding input buffer", r);
    return false;
  }
  QueueIndex = (QueueIndex + 1) % 4;
  return true;
}

void TRecorder::CALLBACK_waveIn(HWAVEIN, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
  auto* recorder = reinterpret_cast<TRecorder*>(instance);
  if (recorder == nullptr) return;
  switch (msg) {
    case WIM_OPEN: recorder->Active = true; break;
    case WIM_CLOSE: recorder->Active = false; break;
    case WIM_DATA: recorder->onData(); break;
    case WIM_ERROR:
      // The device has handed back its headers and gives up: the run ends by itself. A
      // run that is stopping already, and the duplex probe, are left alone.
      if (recorder->Active && !recorder->Probing) {
        const char* text = reinterpret_cast<const char*>(param2);
        recorder->endByItself("The input device failed: " + (text != nullptr && *text != '\0'
                                                                 ? std::string(text)
                                                                 : "error " + std::to_string(param1)));
      }
      break;
    default: break;
  }
}

void TRecorder::onData() {
  // Announce the delivery before looking at Active; Stop clears Active before it waits
  // for inData_, so either this block sees the stop or Stop sees this block.
  inData_ = true;
  if (Active) {
    delivering = this;
    const int32_t index = DoneIndex;
    const WAVEHDR& header = *Headers[index];
    const auto n = static_cast<uint16_t>(header.dwBytesRecorded & 0xFFFF);
    if (!Probing) deliver(header, Buffers[index], RightBuffers[index], n);
    if (n > 0) {
      notifyWindow_->post(WIM_DATA, run_, 0);
      DoneIndex = (index + 1) % 4;
    }
    delivering = nullptr;
  }
  inData_ = false;
  inData_.notify_all();
}

void TRecorder::deliver(const WAVEHDR& header, char* lp, char* rp, uint16_t n) {
  // What the device lost came right before this block.
  const DWORD lost = header.dwFramesLost;
  const bool dropout = header.dwOverruns != 0 || lost != 0;
  if (dropout && Owner()->OnDropout) Owner()->OnDropout(this, header.dwOverruns, lost);
  const size_t frame = WaveFormat()->nBlockAlign;
  if (!Triggered) {
    keepSilence(lost);
    if (!triggerTest(lp, n)) {
      kept_.push(lp, n);
      return;
    }
    // The input kept from before the triggering block goes first.
    if (WaveFileOpen) stampOrigin((kept_.kept() + n) / frame);
    if (WaveFileOpen && !kept_.drain([this](const char* p, size_t size) { return writeToFile(p, size); })) return;
  } else if (WaveFileOpen) {
    stampOrigin(lost + n / frame);
    // An archive file marks where the silence standing in for the lost input begins
    // (plain files stay as they were).
    if (dropout && (fileOptions_.broadcast || fileOptions_.rf64)) marks_->addDropout(lost);
    if (!writeSilence(lost)) return;
  }
  if (WaveFileOpen && !writeToFile(lp, n)) return;
  const TNotifyAudioRecordEvent& onRecord = Owner()->OnRecord;
  if (!onRecord) return;
  if (splitChannels_ && WaveFormat()->nChannels == 2) {
    splitBlock(lp, rp, n);
    onRecord(this, lp, rp, static_cast<uint16_t>(n / 2));
  } else {
    onRecord(this, lp, nullptr, n);
  }
}

bool TRecorder::writeToFile(const char* data, size_t size) {
  const size_t frame = WaveStream->format().nBlockAlign;
  while (size > 0) {
    // Only whole frames go into a file; where the next would not fit, the file is full.
    const uint64_t room = WaveStream->roomLeft() / frame * frame;
    if (room == 0) {
      if (WaveStream->dataBytes() == 0) {  // not even one frame fits a file
        endByItself(WaveStream->sizeLimitText());
        return false;
      }
      if (!nextFile()) return false;
      continue;
    }
    const auto part = static_cast<size_t>(std::min<uint64_t>(size, room));
    if (WaveStream->append(data, part) != WaveFileStream::Append::Written) {
      endByItself(WaveStream->writeErrorText());
      return false;
    }
    marks_->addFrames(part / frame);
    data += part;
    size -= part;
  }
  return true;
}

bool TRecorder::nextFile() {
  // The first free number: an existing file is never touched.
  uint32_t number = fileNumber_;
  std::string name;
  std::unique_ptr<WaveFileStream> next;
  int error = EEXIST;
  while (!next && error == EEXIST && number < UINT32_MAX) {
    name = numberedFileName(firstFileName_, ++number);
    next = WaveFileStream::create(name, WaveStream->format(), true, fileOptions_);
    error = errno;
  }
  if (!next) {
    endByItself("The recording cannot go on in the next WAV file " + name + ": " + std::strerror(error));
    return false;
  }
  next->setMaxDataBytes(maxDataBytes_);
  // The next file begins where this one ends, and its first sample follows on from the
  // last one of this file.
  const uint64_t end = marks_->framesWritten();
  if (marks_->hasOrigin()) next->setOrigination(marks_->originAt(end));
  WaveStream->complete(marks_->take(fileStartFrame_, end, false));
  WaveStream = std::move(next);
  fileStartFrame_ = end;
  fileNumber_ = number;
  notifyWindow_->post(kFileChanged, run_, static_cast<LPARAM>(number));
  return true;
}

bool TRecorder::writeSilence(uint64_t frames) {
  uint64_t bytes = frames * WaveFormat()->nBlockAlign;
  while (bytes > 0 && !silence_.empty()) {
    const auto part = static_cast<size_t>(std::min<uint64_t>(bytes, silence_.size()));
    if (!writeToFile(silence_.data(), part)) return false;
    bytes -= part;
  }
  return true;
}

void TRecorder::stampOrigin(uint64_t framesAhead) {
  if (!fileOptions_.broadcast || marks_->hasOrigin()) return;
  const uint64_t rate = std::max<uint32_t>(WaveStream->format().nSamplesPerSec, 1);
  const std::chrono::nanoseconds ahead{static_cast<int64_t>(framesAhead * 1000000000ull / rate)};
  if (marks_->setOrigin(std::chrono::system_clock::now() - ahead))
    WaveStream->setOrigination(marks_->originAt(fileStartFrame_));
}

uint32_t TRecorder::AddMarker() { return WaveFileOpen ? marks_->addMarker() : 0; }

uint32_t TRecorder::MarkerCount() const { return marks_->markerCount(); }

void TRecorder::keepSilence(uint64_t frames) {
  // Only the newest input is kept, so no more silence than the ring holds.
  uint64_t bytes = std::min<uint64_t>(frames * WaveFormat()->nBlockAlign, kept_.capacity());
  while (bytes > 0 && !silence_.empty()) {
    const auto part = static_cast<size_t>(std::min<uint64_t>(bytes, silence_.size()));
    kept_.push(silence_.data(), part);
    bytes -= part;
  }
}

void TRecorder::endByItself(std::string reason) {
  stopReason_ = std::move(reason);
  ending_ = true;
  Active = false;
  notifyWindow_->post(kSelfStop, run_, 0);
}

bool TRecorder::triggerTest(const char* data, uint16_t n) {
  if (Triggered || n == 0) return Triggered;
  // The level is compared as a signed 16-bit value: from 32768 on it is negative.
  const auto level = static_cast<int16_t>(TrigLevel());
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  bool fired = false;
  if (WaveFormat()->wBitsPerSample == 8) {
    for (uint16_t i = 0; i < n && !fired; ++i) fired = static_cast<int16_t>(bytes[i]) >= level;
  } else {
    for (uint16_t i = 0; i + 1 < n && !fired; i += 2) {
      const auto sample = static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8));
      fired = sample >= level;
    }
  }
  Triggered = fired;
  return fired;
}

void TRecorder::splitBlock(char* lp, char* rp, uint16_t n) {
  // In place from the start: frame k is read from bytes at or after the k-th sample
  // position, which nothing has overwritten yet.
  if (WaveFormat()->wBitsPerSample == 8) {
    for (uint16_t k = 0; k < n / 2; ++k) {
      const char left = lp[2 * k];
      rp[k] = lp[2 * k + 1];
      lp[k] = left;
    }
  } else {
    for (uint16_t k = 0; k < n / 4; ++k) {
      char frame[4];
      std::memcpy(frame, lp + 4 * k, 4);
      std::memcpy(lp + 2 * k, frame, 2);
      std::memcpy(rp + 2 * k, frame + 2, 2);
    }
  }
}
