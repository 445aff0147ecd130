// ALSA wave input: the service thread reads the capture PCM into the oldest queued
// header and raises the data callback for each one filled.
#include "alsa_wave.h"

#include "wave_common.h"

namespace alsa {

void WaveIn::raise(UINT message, DWORD_PTR param1) {
  if (callback_ != 0) reinterpret_cast<WaveInProc>(callback_)(this, message, instance_, param1, 0);
}

MMRESULT WaveIn::addBuffer(WAVEHDR* header, UINT cb) {
  if (header == nullptr || cb < sizeof(WAVEHDR) || header->lpData == nullptr) return fail(MMSYSERR_INVALPARAM);
  {
    std::lock_guard lock(mutex_);
    if (MMRESULT r = markQueued(*header)) return fail(r);
    header->dwBytesRecorded = 0;
    queue_.push_back(header);
  }
  wake_.signal();
  return MMSYSERR_NOERROR;
}

void WaveIn::complete(WAVEHDR* header, std::unique_lock<std::mutex>& lock) {
  markDone(*header);
  lock.unlock();
  raise(WIM_DATA, reinterpret_cast<DWORD_PTR>(header));
  lock.lock();
}

void WaveIn::recover(int err) {
  if (err == -EPIPE || err == -ESTRPIPE) xruns_.fetch_add(1);
  if (snd_pcm_recover(pcm_, err, 1) < 0) {
    // The device is failing (for example unplugged): try again later, without spinning.
    waitPcm(nullptr, wake_, 100);
    return;
  }
  if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
}

MMRESULT WaveIn::perform(Request request, std::unique_lock<std::mutex>& lock) {
  if (request == Request::Start) {
    if (started_) return MMSYSERR_NOERROR;
    lock.unlock();
    int err = 0;
    if (snd_pcm_state(pcm_) == SND_PCM_STATE_SETUP) err = snd_pcm_prepare(pcm_);
    if (err == 0 && snd_pcm_state(pcm_) != SND_PCM_STATE_RUNNING) err = snd_pcm_start(pcm_);
    lock.lock();
    if (err < 0) return failAlsa(MMSYSERR_ERROR, "start", err);
    started_ = true;
    return MMSYSERR_NOERROR;
  }
  // Reset: stop capturing and hand back every queued header, the one being filled with
  // what it holds so far.
  lock.unlock();
  snd_pcm_drop(pcm_);
  snd_pcm_prepare(pcm_);
  lock.lock();
  started_ = false;
  std::deque<WAVEHDR*> returned;
  returned.swap(queue_);
  for (WAVEHDR* header : returned) complete(header, lock);
  return MMSYSERR_NOERROR;
}

void WaveIn::serve(std::unique_lock<std::mutex>& lock) {
  while (!quit_) {
    if (serveRequest(lock)) continue;
    if (!started_ || queue_.empty()) {
      // Nothing to fill: the PCM keeps what arrives in its own buffer meanwhile.
      lock.unlock();
      waitPcm(nullptr, wake_, 500);
      lock.lock();
      continue;
    }
    WAVEHDR* header = queue_.front();
    const DWORD usable = usableBytes(header);
    if (header->dwBytesRecorded >= usable) {
      queue_.pop_front();
      complete(header, lock);
      continue;
    }
    char* target = header->lpData + header->dwBytesRecorded;
    const snd_pcm_uframes_t frames = (usable - header->dwBytesRecorded) / format_.nBlockAlign;
    lock.unlock();
    // Only this thread removes headers from the queue, so `header` stays valid here.
    const snd_pcm_sframes_t n = snd_pcm_readi(pcm_, target, frames);
    if (n == -EAGAIN || n == 0) {
      waitPcm(pcm_, wake_, 500);
    } else if (n < 0) {
      recover(static_cast<int>(n));
    }
    lock.lock();
    if (n > 0) header->dwBytesRecorded += static_cast<DWORD>(n) * format_.nBlockAlign;
  }
}

}  // namespace alsa
