// What the ALSA wave input and output devices share: opening a PCM in the caller's
// format, the service thread, header preparation and the request hand-over.
#include "mmsystem/alsa/alsa_wave.h"

#include <algorithm>
#include <cmath>

#include "mmsystem/wave_common.h"
#include "mmsystem/wave_format.h"

namespace alsa {

namespace {

// The shortest period the service thread is woken for.
constexpr unsigned kShortestPeriodUs = 10000;
// A PCM that fails for longer than this without a transfer in between is given up.
constexpr std::chrono::seconds kGiveUpAfter{2};
// The pause between two tries to bring a failing PCM back.
constexpr int kRetryMs = 100;

// Releases a PCM on every early return of openPcm.
struct PcmCloser {
  snd_pcm_t* pcm;
  ~PcmCloser() {
    if (pcm != nullptr) snd_pcm_close(pcm);
  }
};

// ALSA's sample format for a record the service let through (wave_format.h).
snd_pcm_format_t alsaFormat(const WAVEFORMATEX& f) {
  switch (waveSampleOf(f).value_or(WaveSample::S16)) {
    case WaveSample::U8: return SND_PCM_FORMAT_U8;
    case WaveSample::S16: return SND_PCM_FORMAT_S16_LE;
    case WaveSample::S24: return SND_PCM_FORMAT_S24_3LE;
    case WaveSample::S32: return SND_PCM_FORMAT_S32_LE;
    case WaveSample::F32: return SND_PCM_FORMAT_FLOAT_LE;
  }
  return SND_PCM_FORMAT_S16_LE;
}

// Sets `pcm` up for `f` (interleaved, resampled as needed) with about `bufferUs` of
// buffer in periods of about `periodUs`, and prepares it.
MMRESULT configurePcm(snd_pcm_t* pcm, const std::string& name, const WAVEFORMATEX& f, unsigned bufferUs,
                      unsigned periodUs, PcmSizes* sizes) {
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  int err = snd_pcm_hw_params_any(pcm, hw);
  if (err < 0) return failAlsa(MMSYSERR_ERROR, name, err);
  snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
  if ((err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0)
    return failAlsa(MMSYSERR_ERROR, name, err);
  if ((err = snd_pcm_hw_params_set_format(pcm, hw, alsaFormat(f))) < 0 ||
      (err = snd_pcm_hw_params_set_channels(pcm, hw, f.nChannels)) < 0 ||
      (err = snd_pcm_hw_params_set_rate(pcm, hw, f.nSamplesPerSec, 0)) < 0)
    return failAlsa(WAVERR_BADFORMAT, name, err);
  unsigned buffer = bufferUs;
  unsigned period = periodUs;
  int dir = 0;
  snd_pcm_hw_params_set_period_time_near(pcm, hw, &period, &dir);
  dir = 0;
  snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, &dir);
  if ((err = snd_pcm_hw_params(pcm, hw)) < 0) return failAlsa(MMSYSERR_ERROR, name, err);

  snd_pcm_uframes_t periodSize = 0;
  snd_pcm_uframes_t bufferSize = 0;
  snd_pcm_hw_params_get_period_size(hw, &periodSize, &dir);
  snd_pcm_hw_params_get_buffer_size(hw, &bufferSize);

  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_alloca(&sw);
  if ((err = snd_pcm_sw_params_current(pcm, sw)) < 0) return failAlsa(MMSYSERR_ERROR, name, err);
  snd_pcm_sw_params_set_avail_min(pcm, sw, periodSize);
  // Playback starts once a period is queued; capture is started explicitly.
  if (snd_pcm_stream(pcm) == SND_PCM_STREAM_PLAYBACK) snd_pcm_sw_params_set_start_threshold(pcm, sw, periodSize);
  if ((err = snd_pcm_sw_params(pcm, sw)) < 0) return failAlsa(MMSYSERR_ERROR, name, err);
  if ((err = snd_pcm_prepare(pcm)) < 0) return failAlsa(MMSYSERR_ERROR, name, err);
  *sizes = {bufferSize, periodSize};
  return MMSYSERR_NOERROR;
}

}  // namespace

MMRESULT openPcm(const std::string& name, snd_pcm_stream_t stream, const WAVEFORMATEX& format, unsigned bufferUs,
                 unsigned periodUs, snd_pcm_t** out, PcmSizes* sizes) {
  snd_pcm_t* pcm = nullptr;
  clearLibraryMessage();
  const int err = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
  if (err < 0 && !anyCard()) {
    // No card, and the sound server (which "default" reaches on a desktop) is not there.
    const std::string why = libraryMessage();
    return fail(openErrorCode(err), "No sound server or sound card could be reached (the ALSA device \"" + name +
                                        "\" did not open" + (why.empty() ? "" : ": " + why) + ").");
  }
  if (err < 0) return failAlsa(openErrorCode(err), name, err);
  PcmCloser closer{pcm};
  if (MMRESULT r = configurePcm(pcm, name, format, bufferUs, periodUs, sizes)) return r;
  *out = pcm;
  closer.pcm = nullptr;
  return MMSYSERR_NOERROR;
}

WaveDevice::WaveDevice(snd_pcm_t* pcm, std::string name, const WAVEFORMATEX& format, const PcmSizes& sizes,
                       DWORD_PTR callback, DWORD_PTR instance)
    : pcm_(pcm),
      name_(std::move(name)),
      format_(wavePlainFormat(format)),
      sizes_(sizes),
      callback_(callback),
      instance_(instance) {}

WaveDevice::~WaveDevice() {
  if (pcm_ != nullptr) snd_pcm_close(pcm_);
}

void WaveDevice::launch() {
  thread_.start([this] { raise(openMessage(), 0, 0); },
                [this] {
                  std::unique_lock lock(mutex_);
                  serve(lock);
                  lock.unlock();
                  snd_pcm_drop(pcm_);
                  raise(closeMessage(), 0, 0);
                });
}

void WaveDevice::shutdown() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.signal();
  thread_.join();
  snd_pcm_close(pcm_);
  pcm_ = nullptr;
}

MMRESULT WaveDevice::request(Request request) {
  if (thread_.isCurrent()) {
    std::unique_lock lock(mutex_);
    return perform(request, lock);
  }
  std::lock_guard one(requestMutex_);
  std::unique_lock lock(mutex_);
  pending_ = request;
  requestDone_ = false;
  wake_.signal();
  changed_.wait(lock, [this] { return requestDone_; });
  if (requestResult_ != MMSYSERR_NOERROR) return fail(requestResult_, requestText_);
  return MMSYSERR_NOERROR;
}

bool WaveDevice::serveRequest(std::unique_lock<std::mutex>& lock) {
  if (pending_ == Request::None) return false;
  const Request request = pending_;
  pending_ = Request::None;
  const MMRESULT result = perform(request, lock);
  requestResult_ = result;
  requestText_ = lastText(result);
  requestDone_ = true;
  changed_.notify_all();
  return true;
}

void WaveDevice::fitPeriod(DWORD blockBytes) {
  const double rate = format_.nSamplesPerSec;
  const double block = static_cast<double>(blockBytes / format_.nBlockAlign) / rate;
  const double buffer = static_cast<double>(sizes_.buffer) / rate;
  // Half a block, so that the thread wakes about twice per block; not so short that it
  // wakes for nothing, not so long that the buffer holds fewer than four periods.
  const double wanted = std::clamp(block / 2, kShortestPeriodUs / 1e6, std::max(buffer / 4, kShortestPeriodUs / 1e6));
  const double now = static_cast<double>(sizes_.period) / rate;
  if (std::abs(wanted - now) <= now / 10) return;
  PcmSizes fitted;
  if (configurePcm(pcm_, name_, format_, static_cast<unsigned>(buffer * 1e6), static_cast<unsigned>(wanted * 1e6),
                   &fitted) == MMSYSERR_NOERROR) {
    sizes_ = fitted;
  } else {
    // The device would not take it: back to what it had.
    configurePcm(pcm_, name_, format_, static_cast<unsigned>(buffer * 1e6), static_cast<unsigned>(now * 1e6), &sizes_);
  }
}

bool WaveDevice::gone(int err) const { return err == -ENODEV || snd_pcm_state(pcm_) == SND_PCM_STATE_DISCONNECTED; }

bool WaveDevice::recover(int err, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  int recovered = snd_pcm_recover(pcm_, err, 1);
  // A capture is started explicitly; a playback starts again with the next write.
  if (recovered >= 0 && snd_pcm_stream(pcm_) == SND_PCM_STREAM_CAPTURE && snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED)
    recovered = snd_pcm_start(pcm_);
  const auto now = std::chrono::steady_clock::now();
  if (failingSince_ == std::chrono::steady_clock::time_point{}) failingSince_ = now;
  const bool over = gone(err) || gone(recovered) || now - failingSince_ > kGiveUpAfter;
  // Never spin on a PCM that does not come back: wait a moment before the next try.
  if (!over && recovered < 0) waitPcm(nullptr, wake_, kRetryMs);
  lock.lock();
  if (over) {
    failForGood(recovered < 0 ? recovered : err, lock);
    return false;
  }
  const bool xrun = recovered >= 0 && (err == -EPIPE || err == -ESTRPIPE);
  if (xrun) xruns_.fetch_add(1);
  return xrun;
}

void WaveDevice::failForGood(int err, std::unique_lock<std::mutex>& lock) {
  failed_ = true;
  // A device that is gone (unplugged) is told apart from one that fails.
  failedCode_ = gone(err) ? MMSYSERR_NODRIVER : MMSYSERR_ERROR;
  failedText_ = deviceFailedText(name_, snd_strerror(err));
  perform(Request::Reset, lock);
  lock.unlock();
  raise(errorMessage(), failedCode_, reinterpret_cast<DWORD_PTR>(failedText_.c_str()));
  lock.lock();
}

}  // namespace alsa
