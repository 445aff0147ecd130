// ALSA wave input: the service thread reads everything the capture PCM holds into a
// staging area, moves it into the oldest queued header and raises the data callback for
// each one filled.
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "mmsystem/alsa/alsa_wave.h"

namespace alsa {

void WaveIn::raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) {
  reinterpret_cast<WaveInProc>(callback_)(this, message, instance_, param1, param2);
}

void WaveIn::addBuffer(WAVEHDR* header) {
  bool wasEmpty = false;
  {
    std::lock_guard lock(mutex_);
    wasEmpty = queue_.empty();
    queue_.push_back(header);
  }
  // The service thread sleeps without the PCM only while it has no header to fill; with
  // headers queued it waits for the PCM, which wakes it when data comes.
  if (wasEmpty) wake_.signal();
}

void WaveIn::complete(WAVEHDR* header, std::unique_lock<std::mutex>& lock) {
  header->dwOverruns = std::exchange(lostOverruns_, 0);
  header->dwFramesLost = static_cast<DWORD>(std::min<uint64_t>(std::exchange(lostFrames_, 0), UINT32_MAX));
  lock.unlock();
  raise(WIM_DATA, reinterpret_cast<DWORD_PTR>(header), 0);
  lock.lock();
}

void WaveIn::fill(std::unique_lock<std::mutex>& lock) {
  WAVEHDR* header = queue_.front();
  const DWORD usable = usableBytes(header);
  const size_t n = std::min<size_t>(stagedEnd_ - stagedBegin_, usable - header->dwBytesRecorded);
  std::memcpy(header->lpData + header->dwBytesRecorded, staging_.data() + stagedBegin_, n);
  header->dwBytesRecorded += static_cast<DWORD>(n);
  stagedBegin_ += n;
  if (stagedBegin_ == stagedEnd_) stagedBegin_ = stagedEnd_ = 0;
  if (header->dwBytesRecorded >= usable) {
    queue_.pop_front();
    complete(header, lock);
  }
}

void WaveIn::noteOverrun(std::unique_lock<std::mutex>& lock) {
  // The recovery dropped what the PCM held, and nothing was captured until the restart,
  // so the input lost is everything after the read that last emptied the PCM, timed by
  // the wall clock. That is exact to about a period on a card and on a sound server's
  // plugin alike; the PCM's own timestamps would not do for the plugin, whose trigger
  // time says nothing about the server's data.
  const auto restarted = std::chrono::steady_clock::now();
  const double lost = std::chrono::duration<double>(restarted - emptiedAt_).count() * format_.nSamplesPerSec;
  emptiedAt_ = restarted;
  // The block being filled goes back with what it holds: the loss lies between blocks.
  if (!queue_.empty() && queue_.front()->dwBytesRecorded > 0) {
    WAVEHDR* header = queue_.front();
    queue_.pop_front();
    complete(header, lock);
  }
  ++lostOverruns_;
  lostFrames_ += static_cast<uint64_t>(std::llround(lost));
}

int WaveIn::restMs() const {
  const auto ms = sizes_.period * 250 / std::max<DWORD>(format_.nSamplesPerSec, 1);
  return static_cast<int>(std::clamp<snd_pcm_uframes_t>(ms, 1, 100));
}

MMRESULT WaveIn::perform(Request request, std::unique_lock<std::mutex>& lock) {
  if (request == Request::Start) {
    if (failed_) return fail(failedCode_, failedText_);
    if (started_) return MMSYSERR_NOERROR;
    // The headers queued before the start tell the block length the period follows.
    const DWORD block = queue_.empty() ? 0 : usableBytes(queue_.front());
    lock.unlock();
    int err = 0;
    if (block > 0 && snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING) fitPeriod(block);
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_SETUP) err = snd_pcm_prepare(pcm_);
    if (err == 0 && snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING) err = snd_pcm_start(pcm_);
    lock.lock();
    if (err < 0) return failAlsa(MMSYSERR_ERROR, name_, err);
    staging_.resize(static_cast<size_t>(sizes_.buffer) * format_.nBlockAlign);
    started_ = true;
    emptiedAt_ = std::chrono::steady_clock::now();
    return MMSYSERR_NOERROR;
  }
  // Reset: stop capturing and hand back every queued header, the one being filled with
  // what it holds so far. What was read but not yet moved into a header goes with the
  // rest of the PCM's buffer.
  lock.unlock();
  snd_pcm_drop(pcm_);
  snd_pcm_prepare(pcm_);
  lock.lock();
  started_ = false;
  stagedBegin_ = stagedEnd_ = 0;
  std::deque<WAVEHDR*> returned;
  returned.swap(queue_);
  for (WAVEHDR* header : returned) complete(header, lock);
  return MMSYSERR_NOERROR;
}

void WaveIn::serve(std::unique_lock<std::mutex>& lock) {
  while (!quit_) {
    if (serveRequest(lock)) continue;
    if (!started_ || queue_.empty()) {
      // Nothing to fill (a device that failed is never started again): the PCM keeps
      // what arrives in its own buffer meanwhile.
      lock.unlock();
      waitPcm(nullptr, wake_, -1);
      lock.lock();
      continue;
    }
    if (stagedEnd_ > stagedBegin_ || queue_.front()->dwBytesRecorded >= usableBytes(queue_.front())) {
      fill(lock);
      continue;
    }
    lock.unlock();
    // Only this thread touches the staging area.
    const snd_pcm_uframes_t capacity = staging_.size() / format_.nBlockAlign;
    snd_pcm_sframes_t n = snd_pcm_readi(pcm_, staging_.data(), capacity);
    if (n == -EAGAIN || (n >= 0 && static_cast<snd_pcm_uframes_t>(n) < capacity))
      emptiedAt_ = std::chrono::steady_clock::now();
    if (n == -EAGAIN || n == 0) {
      // A PCM in error wakes the poll at once without data: taken as a failed read.
      bool pcmWoke = false;
      const unsigned short events = waitPcm(pcm_, wake_, 500, &pcmWoke);
      n = (events & (POLLERR | POLLHUP | POLLNVAL)) != 0 ? -EIO : 0;
      // A source that has not delivered yet can keep its descriptor ready while it holds
      // nothing to read: a quarter period's rest keeps this thread from polling in a loop
      // (the PCM's buffer holds seconds, so nothing is lost meanwhile).
      if (n == 0 && pcmWoke && (events & POLLIN) == 0) waitPcm(nullptr, wake_, restMs());
    }
    lock.lock();
    if (n > 0) {
      transferred();
      stagedEnd_ = static_cast<size_t>(n) * format_.nBlockAlign;
    } else if (n < 0 && recover(static_cast<int>(n), lock)) {
      noteOverrun(lock);
    }
  }
}

}  // namespace alsa
