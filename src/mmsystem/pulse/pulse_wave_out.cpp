// Wave output of the pulse driver: the service thread writes queued headers to the
// playback stream in order, as far as the stream takes them, and raises the done callback
// for a header once the server has played it (what was written, less what the stream
// still holds), so that closing after the last done callback cuts nothing off.
#include <algorithm>

#include "mmsystem/pulse/pulse_wave.h"

namespace pulse {

namespace {

// About what the stream holds ahead of the sink: several blocks of a tenth of a second
// would only delay the done callbacks.
constexpr double kTargetSeconds = 0.2;

}  // namespace

WaveOut::~WaveOut() {
  if (launched_) shutdown();
  endStream();
}

void WaveOut::raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) {
  reinterpret_cast<WaveOutProc>(callback_)(this, message, instance_, param1, param2);
}

int WaveOut::connectStream() {
  const auto target = static_cast<uint32_t>(format_.nAvgBytesPerSec * kTargetSeconds);
  const pa_buffer_attr attr = attributes(std::max<uint32_t>(target / format_.nBlockAlign, 1) * format_.nBlockAlign);
  pa_stream_set_write_callback(stream_, &WaveOut::writable, this);
  pa_stream_set_underflow_callback(stream_, &WaveOut::underflow, this);
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
  return pa_stream_connect_playback(stream_, device_.c_str(), &attr, flags, nullptr, nullptr);
}

void WaveOut::write(WAVEHDR* header) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(header);
    wake_ = true;
  }
  changed_.notify_all();
}

void WaveOut::writable(pa_stream*, size_t, void* self) {
  InCallback here;
  auto* out = static_cast<WaveOut*>(self);
  {
    std::lock_guard lock(out->mutex_);
    out->wake_ = true;
  }
  out->changed_.notify_all();
}

void WaveOut::underflow(pa_stream*, void* self) {
  InCallback here;
  auto* out = static_cast<WaveOut*>(self);
  out->drained_ = true;
  writable(nullptr, 0, self);
}

bool WaveOut::writeAndMeasure(uint64_t& played) {
  Connection::Lock loop(connection_);
  if (pa_stream_get_state(stream_) != PA_STREAM_READY) return false;
  for (;;) {
    // Only this thread removes headers, so the one at writing_ stays valid; the owner
    // only adds behind it.
    WAVEHDR* header = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (writing_ < queue_.size()) header = queue_[writing_];
    }
    if (header == nullptr) {
      // Everything queued is written: a tail shorter than the pre-buffer plays all the same.
      if (writing_ > 0 && !triggered_) {
        if (pa_operation* op = pa_stream_trigger(stream_, nullptr, nullptr)) pa_operation_unref(op);
        triggered_ = true;
      }
      break;
    }
    const DWORD usable = usableBytes(header);
    const size_t room = pa_stream_writable_size(stream_);
    const size_t n = std::min<size_t>(room, usable - writtenOfHeader_) / format_.nBlockAlign * format_.nBlockAlign;
    if (n > 0 && pa_stream_write(stream_, header->lpData + writtenOfHeader_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0)
      break;
    writtenOfHeader_ += static_cast<DWORD>(n);
    written_ += n;
    if (n > 0) drained_ = false;
    if (writtenOfHeader_ < usable) break;  // the stream takes no more for now
    ends_.push_back(written_);
    writtenOfHeader_ = 0;
    ++writing_;
    triggered_ = false;
  }
  if (drained_) {
    played = written_;
    return true;
  }
  pa_usec_t latency = 0;
  int negative = 0;
  if (pa_stream_get_latency(stream_, &latency, &negative) < 0) return false;
  const uint64_t ahead = negative != 0 ? 0 : pa_usec_to_bytes(latency, &spec_);
  played = written_ > ahead ? written_ - ahead : 0;
  return true;
}

void WaveOut::raiseDone(std::unique_lock<std::mutex>& lock, uint64_t played) {
  while (!ends_.empty() && ends_.front() <= played && !queue_.empty()) {
    WAVEHDR* header = queue_.front();
    queue_.pop_front();
    ends_.pop_front();
    --writing_;
    lock.unlock();
    raise(WOM_DONE, reinterpret_cast<DWORD_PTR>(header), 0);
    lock.lock();
  }
}

MMRESULT WaveOut::perform(Request request, std::unique_lock<std::mutex>& lock) {
  if (request != Request::Reset) return MMSYSERR_NOTSUPPORTED;
  // Stop at once and hand back every queued header.
  lock.unlock();
  {
    Connection::Lock loop(connection_);
    if (pa_stream_get_state(stream_) == PA_STREAM_READY)
      connection_.complete(pa_stream_flush(stream_, &Connection::streamSucceeded, &connection_));
  }
  lock.lock();
  ends_.clear();
  writing_ = 0;
  writtenOfHeader_ = 0;
  std::deque<WAVEHDR*> returned;
  returned.swap(queue_);
  for (WAVEHDR* header : returned) {
    lock.unlock();
    raise(WOM_DONE, reinterpret_cast<DWORD_PTR>(header), 0);
    lock.lock();
  }
  return MMSYSERR_NOERROR;
}

void WaveOut::serve(std::unique_lock<std::mutex>& lock) {
  while (!quit_) {
    if (serveRequest(lock)) continue;
    if (broken_ && !failed_) {
      failForGood(lock);
      continue;
    }
    if (failed_ || queue_.empty()) {
      // A device that failed plays nothing more; its blocks wait for the reset.
      changed_.wait(lock);
      continue;
    }
    wake_ = false;
    lock.unlock();
    uint64_t played = 0;
    const bool known = writeAndMeasure(played);
    lock.lock();
    if (known) raiseDone(lock, played);
    if (queue_.empty()) continue;
    // Until the stream takes more, or the next written block should have played.
    auto rest = std::chrono::milliseconds(50);
    if (known && !ends_.empty()) {
      const double seconds =
          static_cast<double>(ends_.front() - std::min(played, ends_.front())) / format_.nAvgBytesPerSec;
      rest = std::chrono::milliseconds(std::clamp<long>(static_cast<long>(seconds * 1000) + 2, 2, 200));
    }
    changed_.wait_for(lock, rest, [&] { return wake_ || quit_ || broken_ || pendingRequest(); });
  }
}

}  // namespace pulse
