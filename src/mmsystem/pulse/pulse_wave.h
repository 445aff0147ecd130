// Wave devices of the pulse driver: one record or playback stream each, connected to its
// source or sink by name and never moved by the server, with a service thread of its own
// that fills (input) or hands over (output) whole headers and raises the device's
// callbacks. The loop thread of the connection only moves the stream's state and wakes
// the service thread; the service thread takes the loop's lock for each libpulse call and
// never holds it, nor the device's own lock, while a callback runs. The caller's thread
// queues headers and hands requests (start, reset) to the service thread, and waits for
// them, so the service thread never waits on the caller's.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "mmsystem/mmsystem.h"
#include "mmsystem/pulse/gap_finder.h"
#include "mmsystem/pulse/pulse_connection.h"
#include "mmsystem/service_thread.h"

namespace pulse {

// Remembers `code` as the calling thread's last failure with `text` as the sound server's
// words for it, and returns `code`; lastText gives the text back for that code.
MMRESULT fail(MMRESULT code, const std::string& text = {});
std::string lastText(MMRESULT code);

class WaveDevice {
 public:
  // `device` is the source's or sink's name, `shown` its description (said in failures).
  WaveDevice(Connection& connection, std::string device, std::string shown, const WAVEFORMATEX& format,
             DWORD_PTR callback, DWORD_PTR instance);
  virtual ~WaveDevice();

  // Makes the stream and connects it (corked, for an input) in the caller's format;
  // returns when the server has taken it or refused it.
  MMRESULT connect();
  // Starts the service thread and returns once its open callback has returned.
  void launch();
  // Stops the thread after its close callback. Not from the thread.
  void shutdown();
  // Ends the stream: no callback of it runs afterwards. Every device does so in its
  // destruction, before the members its callbacks use are gone.
  void endStream();

 protected:
  enum class Request { None, Start, Reset };

  MMRESULT request(Request request);
  // Runs a request on the service thread; `lock` holds mutex_ and may be released inside.
  virtual MMRESULT perform(Request request, std::unique_lock<std::mutex>& lock) = 0;
  virtual void serve(std::unique_lock<std::mutex>& lock) = 0;
  virtual bool input() const = 0;
  virtual void raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) = 0;
  // With the loop's lock held: connects the made stream.
  virtual int connectStream() = 0;
  bool serveRequest(std::unique_lock<std::mutex>& lock);
  // A request waits for the service thread (with mutex_ held).
  bool pendingRequest() const { return pending_ != Request::None; }
  // After the stream failed: hands back every queued header (a reset) and raises the
  // error message once, naming the device and the server's reason. With mutex_ held.
  void failForGood(std::unique_lock<std::mutex>& lock);
  // With the loop's lock held once (a wait releases it once): corks (true) or uncorks the
  // stream and waits for the server.
  bool cork(bool corked);
  DWORD usableBytes(const WAVEHDR* header) const {
    return header->dwBufferLength - header->dwBufferLength % format_.nBlockAlign;
  }
  // The buffer attributes for a fragment (input) or target length (output) of `bytes`.
  pa_buffer_attr attributes(uint32_t bytes) const;
  static void streamState(pa_stream* stream, void* self);

  Connection& connection_;
  const std::string device_;
  const std::string shown_;
  WAVEFORMATEX format_;  // as opened, in its 18-byte record
  pa_sample_spec spec_{};
  pa_channel_map map_{};
  DWORD_PTR callback_;
  DWORD_PTR instance_;
  pa_stream* stream_ = nullptr;  // with the loop's lock

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<WAVEHDR*> queue_;     // headers handed to the device, oldest first
  std::atomic<bool> quit_{false};  // written under mutex_, read also in wait predicates
  bool launched_ = false;          // the service thread runs: a failure of the stream is its to report
  // The stream failed (set on the loop thread); reported once by the service thread.
  bool broken_ = false;
  std::string brokenText_;
  bool failed_ = false;  // reported
  MMRESULT failedCode_ = MMSYSERR_NOERROR;
  std::string failedText_;

 private:
  ServiceThread thread_;
  std::mutex requestMutex_;
  Request pending_ = Request::None;
  MMRESULT requestResult_ = MMSYSERR_NOERROR;
  std::string requestText_;
  bool requestDone_ = false;
};

class WaveIn : public HWAVEIN__, public WaveDevice {
 public:
  WaveIn(Connection& connection, std::string device, std::string shown, const WAVEFORMATEX& format, DWORD_PTR callback,
         DWORD_PTR instance);
  ~WaveIn() override;
  void addBuffer(WAVEHDR* header);
  MMRESULT start() { return request(Request::Start); }
  MMRESULT reset() { return request(Request::Reset); }
  // Overruns (input lost) found since the device was opened.
  DWORD overruns() const;

 protected:
  MMRESULT perform(Request request, std::unique_lock<std::mutex>& lock) override;
  void serve(std::unique_lock<std::mutex>& lock) override;
  bool input() const override { return true; }
  void raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) override;
  int connectStream() override;

 private:
  static void readable(pa_stream* stream, size_t bytes, void* self);
  // Moves what the stream holds into the oldest header; true when the header is to be
  // handed back (full, or input was lost right after what it holds).
  bool fill(WAVEHDR* header);
  void complete(WAVEHDR* header, std::unique_lock<std::mutex>& lock);
  // With the loop's lock held: drops everything the stream holds.
  void discard();

  // With the loop's lock held (service thread and loop thread).
  bool started_ = false;
  uint64_t consumed_ = 0;         // bytes taken from the stream since it was made
  uint64_t wanted_ = UINT64_MAX;  // the position at which the header being filled is full
  size_t peekOffset_ = 0;         // bytes of the peeked fragment already taken
  GapFinder gaps_;
  // Losses found and not yet reported: the stream position each lies before, and bytes.
  struct Loss {
    uint64_t at;
    uint64_t bytes;
  };
  std::array<Loss, 8> losses_{};
  size_t lossCount_ = 0;

  // With mutex_ held.
  bool wake_ = false;  // the stream can complete the header being filled
  DWORD overruns_ = 0;
  // Input lost since the last header handed back, reported with the next one.
  DWORD lostOverruns_ = 0;
  uint64_t lostFrames_ = 0;
};

class WaveOut : public HWAVEOUT__, public WaveDevice {
 public:
  using WaveDevice::WaveDevice;
  ~WaveOut() override;
  void write(WAVEHDR* header);
  MMRESULT reset() { return request(Request::Reset); }

 protected:
  MMRESULT perform(Request request, std::unique_lock<std::mutex>& lock) override;
  void serve(std::unique_lock<std::mutex>& lock) override;
  bool input() const override { return false; }
  void raise(UINT message, DWORD_PTR param1, DWORD_PTR param2) override;
  int connectStream() override;

 private:
  static void writable(pa_stream* stream, size_t bytes, void* self);
  static void underflow(pa_stream* stream, void* self);
  // Writes what the stream takes of the headers not yet written; returns the bytes the
  // stream has played (written minus what is still to play), or none when unknown.
  bool writeAndMeasure(uint64_t& played);
  void raiseDone(std::unique_lock<std::mutex>& lock, uint64_t played);

  // Per header in queue_: the stream position at its end, once written completely.
  std::deque<uint64_t> ends_;
  size_t writing_ = 0;  // index in queue_ of the header being written
  DWORD writtenOfHeader_ = 0;
  uint64_t written_ = 0;    // bytes written to the stream since it was made
  bool triggered_ = false;  // the tail below the pre-buffer was started
  // The stream ran dry after the last write: everything written has played (with the
  // loop's lock; the stream's latency alone would keep counting the sink's own).
  bool drained_ = false;
  bool wake_ = false;
};

}  // namespace pulse
