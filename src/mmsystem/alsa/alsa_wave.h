// Wave devices of the ALSA driver: one open capture or playback PCM each, with a
// service thread that fills (input) or drains (output) whole headers and raises the
// device's callbacks. Every ALSA call on the PCM after opening is made on that thread;
// the caller's thread only queues headers and hands requests (start, reset) to it, and
// waits for them, so the service thread never waits on the caller's thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "mmsystem/alsa/alsa_common.h"
#include "mmsystem/service_thread.h"

namespace alsa {

// The buffer and period an opened PCM got, in frames.
struct PcmSizes {
  snd_pcm_uframes_t buffer = 0;
  snd_pcm_uframes_t period = 0;
};

// Opens the PCM `name` for `stream` in `format` (interleaved, resampled as needed),
// non-blocking, with about `bufferUs` of buffer in periods of about `periodUs`. On
// failure returns the result code and records the failure (fail()).
MMRESULT openPcm(const std::string& name, snd_pcm_stream_t stream, const WAVEFORMATEX& format, unsigned bufferUs,
                 unsigned periodUs, snd_pcm_t** pcm, PcmSizes* sizes);

// What both kinds of wave device share: the PCM, the service thread, the request
// hand-over, and giving up on a PCM that keeps failing.
class WaveDevice {
 public:
  // `name` is the PCM's ALSA name, said in the failure text.
  WaveDevice(snd_pcm_t* pcm, std::string name, const WAVEFORMATEX& format, const PcmSizes& sizes, DWORD_PTR callback,
             DWORD_PTR instance);
  virtual ~WaveDevice();

  // Starts the service thread and returns once its open callback has returned.
  void launch();
  // Stops the thread after its close callback and closes the PCM. Not from the thread.
  void shutdown();
  bool running() const { return thread_.running(); }

  // Under- or overruns recovered since the device was opened.
  DWORD xruns() const { return xruns_.load(); }

 protected:
  enum class Request { None, Start, Reset };

  // Hands `request` to the service thread and waits until it is done; run directly when
  // called from the thread itself (from inside a callback of this device).
  MMRESULT request(Request request);
  // Runs a request on the service thread; `lock` holds mutex_ and may be released inside.
  virtual MMRESULT perform(Request request, std::unique_lock<std::mutex>& lock) = 0;
  // The thread's work between the open and the close callback.
  virtual void serve(std::unique_lock<std::mutex>& lock) = 0;
  virtual UINT openMessage() const = 0;
  virtual UINT closeMessage() const = 0;
  virtual UINT errorMessage() const = 0;
  // Raises the caller's callback with this device's handle. Never called with mutex_ held.
  virtual void raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) = 0;
  // Serves a pending request, if any; true when one was served.
  bool serveRequest(std::unique_lock<std::mutex>& lock);

  // Sets the PCM's period (and its wake-up threshold) to about half of a block of
  // `blockBytes`, keeping the buffer. Only before the PCM starts; on the service thread.
  void fitPeriod(DWORD blockBytes);
  // A transfer moved frames: the PCM works again.
  void transferred() { failingSince_ = {}; }
  // After a transfer failed with `err`: brings the PCM back (a capture started again)
  // and counts an over- or under-run it recovered from; true when it did. A PCM that
  // cannot be brought back (disconnected, or failing for more than two seconds without a
  // transfer in between) ends the device (failForGood); one that fails for less is
  // tried again after a moment, never spun on. With mutex_ held, released meanwhile.
  bool recover(int err, std::unique_lock<std::mutex>& lock);
  // Ends a device that failed for good: hands back every queued header (a reset) and
  // raises the error message once with a text naming the device and ALSA's reason for
  // `err`. Afterwards the device delivers nothing; it still takes headers, resets and
  // the close. With mutex_ held.
  void failForGood(int err, std::unique_lock<std::mutex>& lock);
  // Bytes of a header's buffer that hold whole frames.
  DWORD usableBytes(const WAVEHDR* header) const {
    return header->dwBufferLength - header->dwBufferLength % format_.nBlockAlign;
  }

  snd_pcm_t* pcm_;
  const std::string name_;
  WAVEFORMATEX format_;  // as opened, in its 18-byte record
  PcmSizes sizes_;
  DWORD_PTR callback_;
  DWORD_PTR instance_;
  WakeFd wake_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<WAVEHDR*> queue_;  // headers handed to the device, oldest first
  bool quit_ = false;
  std::atomic<DWORD> xruns_{0};
  // Set once the device has failed for good, with the result and text it reported.
  bool failed_ = false;
  MMRESULT failedCode_ = MMSYSERR_NOERROR;
  std::string failedText_;

 private:
  // The PCM is gone for good (unplugged), by `err` or by its state.
  bool gone(int err) const;

  // Since when transfers have failed without one succeeding in between (service thread).
  std::chrono::steady_clock::time_point failingSince_{};

  ServiceThread thread_;
  std::mutex requestMutex_;  // one request from outside at a time
  Request pending_ = Request::None;
  MMRESULT requestResult_ = MMSYSERR_NOERROR;
  std::string requestText_;
  bool requestDone_ = false;
};

class WaveIn : public HWAVEIN__, public WaveDevice {
 public:
  using WaveDevice::WaveDevice;
  ~WaveIn() override {
    if (running()) shutdown();
  }
  void addBuffer(WAVEHDR* header);
  MMRESULT start() { return request(Request::Start); }
  MMRESULT reset() { return request(Request::Reset); }

 protected:
  MMRESULT perform(Request request, std::unique_lock<std::mutex>& lock) override;
  void serve(std::unique_lock<std::mutex>& lock) override;
  UINT openMessage() const override { return WIM_OPEN; }
  UINT closeMessage() const override { return WIM_CLOSE; }
  UINT errorMessage() const override { return WIM_ERROR; }
  void raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) override;

 private:
  // Hands `header` (already taken off the queue) back with the input lost before it:
  // the data callback.
  void complete(WAVEHDR* header, std::unique_lock<std::mutex>& lock);
  // Moves read frames from the staging area into the oldest header; completes it when full.
  void fill(std::unique_lock<std::mutex>& lock);
  // After an over-run: hands back the block being filled and counts the frames lost.
  void noteOverrun(std::unique_lock<std::mutex>& lock);
  // A quarter of the PCM's period in milliseconds, at least one.
  int restMs() const;
  bool started_ = false;
  // Input lost since the last header handed back, reported with the next one.
  DWORD lostOverruns_ = 0;
  uint64_t lostFrames_ = 0;
  // When a read last left the PCM empty (or the capture started): an over-run loses
  // what the PCM captured after it.
  std::chrono::steady_clock::time_point emptiedAt_{};
  // Frames read from the PCM and not yet in a header, with room for the PCM's whole
  // buffer (sized at the start). Each read takes everything the PCM holds, so a sound
  // server's plugin is never left with a block half read (PulseAudio's client hangs when
  // its server goes away while a block is held).
  std::vector<char> staging_;
  size_t stagedBegin_ = 0;
  size_t stagedEnd_ = 0;
};

class WaveOut : public HWAVEOUT__, public WaveDevice {
 public:
  using WaveDevice::WaveDevice;
  ~WaveOut() override {
    if (running()) shutdown();
  }
  void write(WAVEHDR* header);
  MMRESULT reset() { return request(Request::Reset); }

 protected:
  MMRESULT perform(Request request, std::unique_lock<std::mutex>& lock) override;
  void serve(std::unique_lock<std::mutex>& lock) override;
  UINT openMessage() const override { return WOM_OPEN; }
  UINT closeMessage() const override { return WOM_CLOSE; }
  UINT errorMessage() const override { return WOM_ERROR; }
  void raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) override;

 private:
  // Writes what the PCM takes from the oldest header not yet written completely.
  // Returns false when the PCM had no room.
  bool writeSome(std::unique_lock<std::mutex>& lock);
  // Raises the done callback for every header that the device has played.
  void completePlayed(std::unique_lock<std::mutex>& lock);
  // Frames played since the PCM was last prepared.
  uint64_t playedFrames();

  // Per header in queue_: bytes written to the PCM and the frame count at its end.
  struct Progress {
    DWORD written = 0;
    uint64_t endFrame = 0;
  };
  std::deque<Progress> progress_;
  size_t writing_ = 0;  // index in queue_ of the header being written
  uint64_t framesWritten_ = 0;
};

}  // namespace alsa
