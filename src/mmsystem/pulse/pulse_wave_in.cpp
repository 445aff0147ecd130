// Wave input of the pulse driver: the service thread moves what the record stream holds
// into the oldest queued header and raises the data callback for each one filled. The
// loop thread wakes it only when the stream holds enough to fill the header, or when a
// loss is due, so that a block costs one wake-up of the service thread.
#include <algorithm>
#include <cstring>
#include <utility>

#include "mmsystem/pulse/pulse_wave.h"

namespace pulse {

namespace {

double secondsNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

WaveIn::WaveIn(Connection& connection, std::string device, std::string shown, const WAVEFORMATEX& format,
               DWORD_PTR callback, DWORD_PTR instance)
    : WaveDevice(connection, std::move(device), std::move(shown), format, callback, instance),
      gaps_(format.nAvgBytesPerSec, format.nBlockAlign) {}

WaveIn::~WaveIn() {
  if (launched_) shutdown();
  endStream();
}

void WaveIn::raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) {
  reinterpret_cast<WaveInProc>(callback_)(this, message, instance_, param1, param2);
}

int WaveIn::connectStream() {
  // A fragment of a twentieth of a second until the start says how long a block is.
  const pa_buffer_attr attr = attributes(std::max<uint32_t>(format_.nAvgBytesPerSec / 20, format_.nBlockAlign));
  pa_stream_set_read_callback(stream_, &WaveIn::readable, this);
  // The source the device was opened for, and no other: when it goes, the stream fails.
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_DONT_MOVE | PA_STREAM_ADJUST_LATENCY);
  return pa_stream_connect_record(stream_, device_.c_str(), &attr, flags);
}

DWORD WaveIn::overruns() const {
  std::lock_guard lock(mutex_);
  return overruns_;
}

void WaveIn::addBuffer(WAVEHDR* header) {
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex_);
    wasEmpty = queue_.empty();
    queue_.push_back(header);
    // A header behind others is filled when its turn comes; the first one may be
    // filled from what the stream holds already.
    if (wasEmpty) wake_ = true;
  }
  if (wasEmpty) changed_.notify_all();
}

void WaveIn::readable(pa_stream* stream, size_t, void* self) {
  InCallback here;
  auto* in = static_cast<WaveIn*>(self);
  if (!in->started_) return;
  const uint64_t arrived = in->consumed_ - in->peekOffset_ + pa_stream_readable_size(stream);
  uint64_t at = 0;
  if (const uint64_t lost = in->gaps_.observe(secondsNow(), arrived, at)) {
    if (in->lossCount_ < in->losses_.size())
      in->losses_[in->lossCount_++] = {at, lost};
    else
      in->losses_.back().bytes += lost;
  }
  const bool lossDue = in->lossCount_ > 0 && in->losses_[0].at <= arrived;
  if (arrived < in->wanted_ && !lossDue) return;
  {
    std::lock_guard lock(in->mutex_);
    in->wake_ = true;
  }
  in->changed_.notify_all();
}

bool WaveIn::fill(WAVEHDR* header) {
  Connection::Lock loop(connection_);
  if (!started_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return false;
  const DWORD usable = usableBytes(header);
  DWORD overruns = 0;
  uint64_t lostFrames = 0;
  bool handBack = false;
  while (header->dwBytesRecorded < usable) {
    if (lossCount_ > 0 && losses_[0].at <= consumed_) {
      // Input lost before the next byte: it goes between two headers.
      if (header->dwBytesRecorded > 0) {
        handBack = true;
        break;
      }
      ++overruns;
      lostFrames += losses_[0].bytes / format_.nBlockAlign;
      std::move(losses_.begin() + 1, losses_.begin() + static_cast<long>(lossCount_), losses_.begin());
      --lossCount_;
      continue;
    }
    const void* data = nullptr;
    size_t n = 0;
    if (pa_stream_peek(stream_, &data, &n) < 0 || n == 0) break;
    if (data == nullptr) {
      // A hole: input the server itself says is missing here.
      pa_stream_drop(stream_);
      consumed_ += n;
      peekOffset_ = 0;
      if (lossCount_ == losses_.size()) --lossCount_;
      std::move_backward(losses_.begin(), losses_.begin() + static_cast<long>(lossCount_),
                         losses_.begin() + static_cast<long>(lossCount_) + 1);
      losses_[0] = {consumed_, n};
      ++lossCount_;
      continue;
    }
    size_t take = std::min<size_t>(n - peekOffset_, usable - header->dwBytesRecorded);
    if (lossCount_ > 0) take = static_cast<size_t>(std::min<uint64_t>(take, losses_[0].at - consumed_));
    std::memcpy(header->lpData + header->dwBytesRecorded, static_cast<const char*>(data) + peekOffset_, take);
    header->dwBytesRecorded += static_cast<DWORD>(take);
    consumed_ += take;
    peekOffset_ += take;
    if (peekOffset_ == n) {
      pa_stream_drop(stream_);
      peekOffset_ = 0;
    }
  }
  handBack = handBack || header->dwBytesRecorded >= usable;
  wanted_ = handBack ? UINT64_MAX : consumed_ + (usable - header->dwBytesRecorded);
  if (overruns > 0) {
    std::lock_guard lock(mutex_);
    overruns_ += overruns;
    lostOverruns_ += overruns;
    lostFrames_ += lostFrames;
  }
  return handBack;
}

void WaveIn::complete(WAVEHDR* header, std::unique_lock<std::mutex>& lock) {
  header->dwOverruns = std::exchange(lostOverruns_, 0);
  header->dwFramesLost = static_cast<DWORD>(std::min<uint64_t>(std::exchange(lostFrames_, 0), UINT32_MAX));
  lock.unlock();
  raise(WIM_DATA, reinterpret_cast<DWORD_PTR>(header), 0);
  lock.lock();
}

void WaveIn::discard() {
  const void* data = nullptr;
  size_t n = 0;
  while (pa_stream_readable_size(stream_) > 0 && pa_stream_peek(stream_, &data, &n) == 0 && n > 0) {
    pa_stream_drop(stream_);
    consumed_ += n - peekOffset_;
    peekOffset_ = 0;
  }
}

MMRESULT WaveIn::perform(Request request, std::unique_lock<std::mutex>& lock) {
  if (request == Request::Start) {
    if (failed_) return fail(failedCode_, failedText_);
    // The headers queued before the start tell the block length the fragment follows:
    // about half a block, so that the server sends twice per block.
    const DWORD block = queue_.empty() ? 0 : usableBytes(queue_.front());
    lock.unlock();
    MMRESULT result = MMSYSERR_NOERROR;
    {
      Connection::Lock loop(connection_);
      if (started_) {
      } else if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        result = fail(MMSYSERR_NODRIVER, shown_ + ": " + connection_.errorText());
      } else {
        if (block > 0) {
          const uint32_t fragment = std::max<uint32_t>(block / 2 / format_.nBlockAlign, 1) * format_.nBlockAlign;
          const pa_buffer_attr* now = pa_stream_get_buffer_attr(stream_);
          if (now == nullptr || now->fragsize < fragment * 9 / 10 || now->fragsize > fragment * 11 / 10) {
            const pa_buffer_attr attr = attributes(fragment);
            connection_.complete(pa_stream_set_buffer_attr(stream_, &attr, &Connection::streamSucceeded, &connection_));
          }
        }
        gaps_.restart();
        started_ = true;
        if (!cork(false)) {
          started_ = false;
          result = fail(MMSYSERR_ERROR, shown_ + ": " + connection_.errorText());
        }
      }
    }
    lock.lock();
    // The headers queued before the start are filled from now on.
    if (result == MMSYSERR_NOERROR) wake_ = true;
    return result;
  }
  // Reset: stop recording and hand back every queued header, the one being filled with
  // what it holds so far. What the stream holds beyond goes.
  lock.unlock();
  {
    Connection::Lock loop(connection_);
    started_ = false;
    if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
      cork(true);
      connection_.complete(pa_stream_flush(stream_, &Connection::streamSucceeded, &connection_));
      discard();
    }
    lossCount_ = 0;
    wanted_ = UINT64_MAX;
  }
  lock.lock();
  wake_ = false;
  std::deque<WAVEHDR*> returned;
  returned.swap(queue_);
  for (WAVEHDR* header : returned) complete(header, lock);
  return MMSYSERR_NOERROR;
}

void WaveIn::serve(std::unique_lock<std::mutex>& lock) {
  while (!quit_) {
    if (serveRequest(lock)) continue;
    if (broken_ && !failed_) {
      failForGood(lock);
      continue;
    }
    if (failed_ || queue_.empty() || !wake_) {
      changed_.wait(lock);
      continue;
    }
    wake_ = false;
    WAVEHDR* header = queue_.front();
    lock.unlock();
    const bool handBack = fill(header);
    lock.lock();
    // A reset may have handed the header back meanwhile.
    if (handBack && !queue_.empty() && queue_.front() == header) {
      queue_.pop_front();
      complete(header, lock);
      // The next header may be filled from what the stream holds already.
      wake_ = true;
    }
  }
}

}  // namespace pulse
