// ALSA wave output: the service thread writes queued headers to the playback PCM in
// order and raises the done callback for a header once the device has played it, so
// that closing after the last done callback loses nothing.
#include "mmsystem/alsa/alsa_wave.h"

namespace alsa {

void WaveOut::raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) {
  reinterpret_cast<WaveOutProc>(callback_)(this, message, instance_, param1, param2);
}

void WaveOut::write(WAVEHDR* header) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(header);
    progress_.push_back({});
  }
  wake_.signal();
}

uint64_t WaveOut::playedFrames() {
  snd_pcm_sframes_t delay = 0;
  // An under-run (or a stopped stream) has played everything written.
  if (snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING && snd_pcm_state(pcm_) != SND_PCM_STATE_PREPARED)
    return framesWritten_;
  if (snd_pcm_delay(pcm_, &delay) < 0) return framesWritten_;
  if (delay <= 0) return framesWritten_;
  const auto queued = static_cast<uint64_t>(delay);
  return queued >= framesWritten_ ? 0 : framesWritten_ - queued;
}

bool WaveOut::writeSome(std::unique_lock<std::mutex>& lock) {
  WAVEHDR* header = queue_[writing_];
  const DWORD usable = usableBytes(header);
  const DWORD written = progress_[writing_].written;
  if (written >= usable) {
    progress_[writing_].endFrame = framesWritten_;
    ++writing_;
    return true;
  }
  const char* source = header->lpData + written;
  const snd_pcm_uframes_t frames = (usable - written) / format_.nBlockAlign;
  const bool streamStarts = framesWritten_ == 0;
  lock.unlock();
  // The first block of a stream tells the block length the period follows.
  if (streamStarts && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) fitPeriod(usable);
  // Only this thread removes headers from the queue, so `header` stays valid here.
  snd_pcm_sframes_t n = snd_pcm_writei(pcm_, source, frames);
  if (n == -EAGAIN) {
    lock.lock();
    return false;
  }
  if (n < 0) {
    // The device ran dry while blocks were queued (an under-run): start again, unless it
    // cannot be brought back.
    lock.lock();
    recover(static_cast<int>(n), lock);
    return true;
  }
  transferred();
  lock.lock();
  Progress& progress = progress_[writing_];
  progress.written += static_cast<DWORD>(n) * format_.nBlockAlign;
  framesWritten_ += static_cast<uint64_t>(n);
  if (progress.written >= usable) {
    progress.endFrame = framesWritten_;
    ++writing_;
  }
  return true;
}

void WaveOut::completePlayed(std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  const uint64_t played = playedFrames();
  lock.lock();
  while (writing_ > 0 && progress_.front().endFrame <= played) {
    WAVEHDR* header = queue_.front();
    queue_.pop_front();
    progress_.pop_front();
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
  snd_pcm_drop(pcm_);
  snd_pcm_prepare(pcm_);
  lock.lock();
  framesWritten_ = 0;
  writing_ = 0;
  std::deque<WAVEHDR*> returned;
  returned.swap(queue_);
  progress_.clear();
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
    if (queue_.empty() || failed_) {
      // A device that failed plays nothing more; its blocks wait for the reset.
      lock.unlock();
      waitPcm(nullptr, wake_, -1);
      lock.lock();
      continue;
    }
    bool roomLeft = true;
    if (writing_ < queue_.size()) {
      roomLeft = writeSome(lock);
    } else if (framesWritten_ > 0) {
      // Everything is written: make sure a short tail below the start threshold plays.
      lock.unlock();
      if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
      lock.lock();
    }
    completePlayed(lock);
    if (queue_.empty()) {
      // All played: begin the next block on a fresh stream, so that the pause before it
      // is not taken for an under-run.
      lock.unlock();
      snd_pcm_drop(pcm_);
      snd_pcm_prepare(pcm_);
      lock.lock();
      // Headers queued meanwhile are not written yet (only this thread writes).
      framesWritten_ = 0;
      continue;
    }
    if (!roomLeft || writing_ >= queue_.size()) {
      lock.unlock();
      waitPcm(roomLeft ? nullptr : pcm_, wake_, roomLeft ? 10 : 20);
      lock.lock();
    }
  }
}

}  // namespace alsa
