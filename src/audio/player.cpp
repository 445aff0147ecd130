// The wave-output player: opens the output device, feeds it blocks from a play stream
// through the ring of four buffers, reports played blocks and the end of playback, and
// reads and sets the device's output volume.
//
// Threads: the done notification runs on the driver's service thread; it only updates
// the ring counts, raises OnBufferPlayed and posts messages. Reading the stream, writing
// blocks, closing and restoring the format run on the window thread.
#include <QCoreApplication>
#include <istream>
#include <mutex>

#include "audio/Audio.h"

struct TPlayer::Sync {
  std::mutex mutex;
  // Refills asked for and not yet run: played-block messages (957) on their way, and a
  // Play writing its first blocks. While one is outstanding the stream may still deliver
  // a block, so a done notification with nothing queued must not end the playback.
  int32_t pendingFills = 0;
  bool streaming = false;    // a play stream is present (mirrors PlayStream for the service thread)
  bool stopping = false;     // Stop is handing the queued blocks back
  bool writeFailed = false;  // the last FillBuffer could not queue its block (window thread)
};

TPlayer::TPlayer(TAudio* owner)
    : TAudioSettings(owner),
      sync_(std::make_unique<Sync>()),
      notifyWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM) {
        if (msg == WOM_DONE) refill(true);
        if (msg == WOM_ERROR) stopAfterFailure();
      })),
      closeWindow_(std::make_unique<NotifyWindow>([this](UINT msg, WPARAM, LPARAM) {
        if (msg == WOM_CLOSE) Close();
      })) {}

TPlayer::~TPlayer() {
  // The owner stops the player before it goes; should the device still be open, it is
  // emptied and closed here so that no notification can reach a destroyed player.
  if (IsOpen && WaveOut != nullptr) {
    {
      std::lock_guard lock(sync_->mutex);
      sync_->stopping = true;
    }
    waveOutReset(WaveOut);
    for (WAVEHDR* header : Headers) {
      if (header != nullptr) waveOutUnprepareHeader(WaveOut, header, sizeof(WAVEHDR));
    }
    waveOutClose(WaveOut);
  }
}

bool TPlayer::Open() {
  if (IsOpen) return true;
  applyPendingFormat();
  {
    std::lock_guard lock(sync_->mutex);
    QueueIndex = 0;
    QueuedCount = 0;
    DoneIndex = 1;
    sync_->pendingFills = 0;
    sync_->streaming = PlayStream != nullptr;
    sync_->stopping = false;
  }
  // A close posted for an earlier opening says nothing about this one.
  ClosePosted = false;
  const UINT device = static_cast<UINT>(Owner()->AudioDeviceID());
  if (MMRESULT r = waveOutOpen(&WaveOut, device, WaveFormat(), reinterpret_cast<DWORD_PTR>(&TPlayer::CALLBACK_waveOut),
                               reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC)) {
    WaveOut = nullptr;
    Owner()->setWaveOutError("Could not open the output device for playing: ", r);
    return false;
  }
  IsOpen = true;
  setupHeaders();
  return true;
}

void TPlayer::Close() {
  ++closeRuns_;
  if (!IsOpen) {
    Owner()->ErrorMessage = "Player already closed";
    return;
  }
  for (WAVEHDR* header : Headers) {
    if (header == nullptr) continue;
    if (MMRESULT r = waveOutUnprepareHeader(WaveOut, header, sizeof(WAVEHDR))) {
      Owner()->setWaveOutError("Error unpreparing header for playing: ", r);
      return;
    }
  }
  if (MMRESULT r = waveOutClose(WaveOut)) {
    Owner()->setWaveOutError("Error closing output device: ", r);
    return;
  }
  WaveOut = nullptr;
  IsOpen = false;
  applyPendingFormat();
  if (FormatSaved && PlayStream == nullptr) {
    setChannels(SavedChannels);
    setSampleRate(SavedSampleRate);
    setBitsPerSample(SavedBitsPerSample);
    FormatSaved = false;
  }
  if (failed_) {
    failed_ = false;
    Owner()->ErrorMessage = "The output device failed: " + failure_;
  }
  if (Owner()->OnPlayed) Owner()->OnPlayed(this);
}

void TPlayer::Stop() {
  if (!IsOpen) {
    Owner()->ErrorMessage = "Player already closed";
    return;
  }
  {
    std::lock_guard lock(sync_->mutex);
    if (PlayStream != nullptr) QueueIndex = DoneIndex;
    sync_->streaming = false;
    sync_->stopping = true;
  }
  if (PlayStream != nullptr) {
    PlayStream.reset();
    Owner()->ErrorMessage.clear();
  }
  const uint32_t closesBefore = closeRuns_;
  if (!ClosePosted) {
    // The reset hands every queued block back and returns when no notification of the
    // device runs any more; nothing is then left that could post a close, so the player
    // closes here, also when nothing was queued at all.
    if (waveOutReset(WaveOut) != MMSYSERR_NOERROR) {
      Owner()->ErrorMessage = "Error in waveOutReset";
      std::lock_guard lock(sync_->mutex);
      sync_->stopping = false;
      return;
    }
    Close();
  } else {
    // A close is already on its way: run the player's pending messages now, in order.
    QCoreApplication::sendPostedEvents(notifyWindow_.get(), 0);
    QCoreApplication::sendPostedEvents(closeWindow_.get(), 0);
    if (IsOpen && closeRuns_ == closesBefore) Close();
  }
  std::lock_guard lock(sync_->mutex);
  sync_->stopping = false;
}

int32_t TPlayer::FillBuffer() {
  if (PlayStream == nullptr) return 0;
  ClosePosted = false;
  std::istream& stream = *PlayStream;
  const int32_t index = QueueIndex;
  WAVEHDR* header = Headers[index];
  char* buffer = Buffers[index];

  stream.clear();
  const std::streampos remembered = stream.tellg();
  stream.seekg(PlayPosition);
  std::streamsize count = 0;
  if (buffer != nullptr) {
    stream.read(buffer, BufferSize());
    count = stream.gcount();
    if (count == 0 && PlayLoops > 0) {
      --PlayLoops;
      stream.clear();
      stream.seekg(0);
      stream.read(buffer, BufferSize());
      count = stream.gcount();
    }
  }
  stream.clear();
  PlayPosition = static_cast<int32_t>(stream.tellg());
  stream.seekg(remembered);

  if (count <= 0) {
    PlayStream.reset();
    std::lock_guard lock(sync_->mutex);
    sync_->streaming = false;
    return static_cast<int32_t>(count);
  }
  sync_->writeFailed = true;
  header->dwBufferLength = static_cast<DWORD>(count);
  header->dwFlags = 0;
  header->dwLoops = 0;
  if (MMRESULT r = waveOutPrepareHeader(WaveOut, header, sizeof(WAVEHDR))) {
    Owner()->setWaveOutError("", r);
    return static_cast<int32_t>(count);
  }
  {
    // Counted before the write, so that the block's done notification finds it queued.
    std::lock_guard lock(sync_->mutex);
    ++QueuedCount;
  }
  if (MMRESULT r = waveOutWrite(WaveOut, header, sizeof(WAVEHDR))) {
    {
      std::lock_guard lock(sync_->mutex);
      --QueuedCount;
    }
    Owner()->setWaveOutError("", r);
    return static_cast<int32_t>(count);
  }
  QueueIndex = (QueueIndex + 1) % 4;
  sync_->writeFailed = false;
  return static_cast<int32_t>(count);
}

void TPlayer::refill(bool fromMessage) {
  if (fromMessage) {
    std::lock_guard lock(sync_->mutex);
    if (sync_->pendingFills > 0) --sync_->pendingFills;
  }
  if (fromMessage && IsOpen) FillBuffer();
  bool postClose = false;
  {
    std::lock_guard lock(sync_->mutex);
    // The stream has ended (or gave nothing now), no block is queued and no refill is on
    // its way: no done notification will come any more, so the end is posted from here.
    if (IsOpen && !sync_->stopping && sync_->pendingFills == 0 && QueuedCount <= 0 && !ClosePosted) {
      ClosePosted = true;
      postClose = true;
    }
  }
  if (postClose) closeWindow_->post(WOM_CLOSE, 0, 0);
}

void TPlayer::onDone() {
  if (!Active) return;
  bool more = false;
  bool close = false;
  {
    std::lock_guard lock(sync_->mutex);
    --QueuedCount;
    if (sync_->stopping) return;  // blocks handed back by Stop's reset
    if (QueuedCount > 0 || (sync_->pendingFills > 0 && sync_->streaming)) {
      // More blocks are queued, or a refill that may still write one is on its way.
      more = true;
      DoneIndex = (DoneIndex + 1) % 4;
      ++sync_->pendingFills;
    } else if (!ClosePosted && sync_->pendingFills == 0) {
      ClosePosted = true;
      close = true;
    }
  }
  if (more) {
    if (Owner()->OnBufferPlayed) Owner()->OnBufferPlayed(this);
    notifyWindow_->post(WOM_DONE, 0, 0);
  }
  if (close) closeWindow_->post(WOM_CLOSE, 0, 0);
}

void TPlayer::GetOutVolume(uint16_t& Left, uint16_t& Right) {
  DWORD v = 0;
  if (MMRESULT r = waveOutGetVolume(static_cast<UINT_PTR>(static_cast<UINT>(Owner()->AudioDeviceID())), &v)) {
    Owner()->setWaveOutError("", r);
  }
  Left = static_cast<uint16_t>(v & 0xFFFF);
  Right = static_cast<uint16_t>(v >> 16);
}

void TPlayer::SetOutVolume(uint16_t Left, uint16_t Right) {
  const DWORD v = (static_cast<DWORD>(Right) << 16) + Left;
  if (MMRESULT r = waveOutSetVolume(static_cast<UINT_PTR>(static_cast<UINT>(Owner()->AudioDeviceID())), v)) {
    Owner()->setWaveOutError("", r);
  }
}

bool TPlayer::Play(std::unique_ptr<std::istream> stream, uint16_t loops) {
  if (stream == nullptr) return false;
  // A new stream replaces one that is playing: that playback ends first, so that no
  // header still on its way is written again.
  bool playing = PlayStream != nullptr;
  {
    std::lock_guard lock(sync_->mutex);
    playing = playing || QueuedCount > 0 || sync_->pendingFills > 0;
  }
  if (IsOpen && playing) Stop();
  const std::streampos start = stream->tellg();
  PlayStream = std::move(stream);
  PlayPosition = start < 0 ? 0 : static_cast<int32_t>(start);
  PlayLoops = loops;
  if (!Open()) {
    PlayStream.reset();
    return false;
  }
  {
    std::lock_guard lock(sync_->mutex);
    sync_->streaming = true;
    ++sync_->pendingFills;  // the first blocks below count as one refill in progress
  }
  // One block per header; each done notification then asks for the next block.
  bool ok = true;
  for (int i = 0; i < 4 && PlayStream != nullptr; ++i) {
    if (FillBuffer() <= 0) break;
    if (sync_->writeFailed) {
      ok = false;
      break;
    }
  }
  {
    std::lock_guard lock(sync_->mutex);
    --sync_->pendingFills;
  }
  refill(false);
  return ok;
}

void TPlayer::onFailure(MMRESULT code, const char* text) {
  // Read on the window thread once the message below has arrived; a device fails once.
  failure_ = text != nullptr && *text != '\0' ? std::string(text) : "error " + std::to_string(code);
  notifyWindow_->post(WOM_ERROR, 0, 0);
}

void TPlayer::stopAfterFailure() {
  if (!IsOpen) return;
  // The stream is dropped and the device reset and closed; the close raises OnPlayed
  // with ErrorMessage saying why.
  failed_ = true;
  Stop();
  failed_ = false;
}

void TPlayer::CALLBACK_waveOut(HWAVEOUT, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2) {
  auto* player = reinterpret_cast<TPlayer*>(instance);
  if (player == nullptr) return;
  switch (msg) {
    case WOM_OPEN: player->Active = true; break;
    case WOM_CLOSE: player->Active = false; break;
    case WOM_DONE: player->onDone(); break;
    case WOM_ERROR: player->onFailure(static_cast<MMRESULT>(param1), reinterpret_cast<const char*>(param2)); break;
    default: break;
  }
}
