// What the pulse driver's wave input and output devices share: the stream in the
// caller's format, the service thread, the request hand-over and the end of a device
// whose stream failed.
#include "mmsystem/pulse/pulse_wave.h"

#include "mmsystem/pulse/pulse_format.h"
#include "mmsystem/wave_common.h"
#include "mmsystem/wave_format.h"

namespace pulse {

namespace {

thread_local MMRESULT lastCode = MMSYSERR_NOERROR;
thread_local std::string lastWords;

// Why a stream that the server ended failed, in words a user reads in a message box.
std::string endedText(pa_context* context, const std::string& fallback) {
  switch (pa_context_errno(context)) {
    case PA_ERR_KILLED:
    case PA_ERR_NOENTITY: return "the sound server removed it (unplugged, or its module unloaded)";
    case PA_ERR_CONNECTIONTERMINATED:
    case PA_ERR_CONNECTIONREFUSED: return "the connection to the sound server ended";
    default: return fallback;
  }
}

}  // namespace

MMRESULT fail(MMRESULT code, const std::string& text) {
  lastCode = code;
  lastWords = text;
  return code;
}

std::string lastText(MMRESULT code) { return code == lastCode ? lastWords : std::string(); }

WaveDevice::WaveDevice(Connection& connection, std::string device, std::string shown, const WAVEFORMATEX& format,
                       DWORD_PTR callback, DWORD_PTR instance)
    : connection_(connection),
      device_(std::move(device)),
      shown_(std::move(shown)),
      format_(wavePlainFormat(format)),
      callback_(callback),
      instance_(instance) {}

WaveDevice::~WaveDevice() { endStream(); }

void WaveDevice::endStream() {
  Connection::Lock lock(connection_);
  if (stream_ == nullptr) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_read_callback(stream_, nullptr, nullptr);
  pa_stream_set_write_callback(stream_, nullptr, nullptr);
  pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
  pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

pa_buffer_attr WaveDevice::attributes(uint32_t bytes) const {
  pa_buffer_attr attr;
  // The server's default room for a client that does not read (about four megabytes):
  // a stall shorter than that loses nothing.
  attr.maxlength = static_cast<uint32_t>(-1);
  attr.tlength = input() ? static_cast<uint32_t>(-1) : bytes;
  attr.prebuf = static_cast<uint32_t>(-1);
  attr.minreq = static_cast<uint32_t>(-1);
  attr.fragsize = input() ? bytes : static_cast<uint32_t>(-1);
  return attr;
}

MMRESULT WaveDevice::connect() {
  if (!sampleSpec(format_, spec_, map_))
    return fail(WAVERR_BADFORMAT, shown_ + ": the sound server has no such sample format or rate");
  Connection::Lock lock(connection_);
  if (!connection_.alive()) return fail(MMSYSERR_NODRIVER, shown_ + ": " + connection_.failureText());
  stream_ = pa_stream_new(connection_.context(), input() ? "Tessaron recording" : "Tessaron playback", &spec_, &map_);
  if (stream_ == nullptr) return fail(WAVERR_BADFORMAT, shown_ + ": " + connection_.errorText());
  pa_stream_set_state_callback(stream_, &WaveDevice::streamState, this);
  if (connectStream() < 0) return fail(MMSYSERR_ERROR, shown_ + ": " + connection_.errorText());
  auto settled = [&] {
    const pa_stream_state_t s = pa_stream_get_state(stream_);
    return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
  };
  if (!connection_.wait(settled, kAnswerTimeout))
    return fail(MMSYSERR_ERROR, shown_ + ": the sound server did not answer in time");
  if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
    const int error = pa_context_errno(connection_.context());
    const MMRESULT code = error == PA_ERR_NOENTITY                                  ? MMSYSERR_NODRIVER
                          : error == PA_ERR_INVALID || error == PA_ERR_NOTSUPPORTED ? WAVERR_BADFORMAT
                                                                                    : MMSYSERR_ERROR;
    return fail(code, shown_ + ": " + connection_.errorText());
  }
  return MMSYSERR_NOERROR;
}

void WaveDevice::streamState(pa_stream* stream, void* self) {
  InCallback here;
  auto* device = static_cast<WaveDevice*>(self);
  const pa_stream_state_t state = pa_stream_get_state(stream);
  if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
    // Only a stream that was working has failed: one the server refuses at the open
    // is the open's failure.
    bool wasOpen = false;
    {
      std::lock_guard lock(device->mutex_);
      wasOpen = device->launched_;
      if (wasOpen && !device->broken_) {
        device->broken_ = true;
        device->brokenText_ = endedText(pa_stream_get_context(stream), device->connection_.errorText());
      }
    }
    if (wasOpen) device->changed_.notify_all();
  }
  device->connection_.signal();
}

void WaveDevice::launch() {
  {
    std::lock_guard lock(mutex_);
    launched_ = true;
  }
  thread_.start([this] { raise(input() ? WIM_OPEN : WOM_OPEN, 0, 0); },
                [this] {
                  std::unique_lock lock(mutex_);
                  serve(lock);
                  lock.unlock();
                  raise(input() ? WIM_CLOSE : WOM_CLOSE, 0, 0);
                });
}

void WaveDevice::shutdown() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
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
  changed_.notify_all();
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

bool WaveDevice::cork(bool corked) {
  if (pa_stream_get_state(stream_) != PA_STREAM_READY) return false;
  return connection_.complete(pa_stream_cork(stream_, corked ? 1 : 0, &Connection::streamSucceeded, &connection_));
}

void WaveDevice::failForGood(std::unique_lock<std::mutex>& lock) {
  failed_ = true;
  // The source or sink is gone, or the server is: the device cannot be had any more.
  failedCode_ = MMSYSERR_NODRIVER;
  failedText_ = deviceFailedText(shown_, brokenText_);
  perform(Request::Reset, lock);
  lock.unlock();
  raise(input() ? WIM_ERROR : WOM_ERROR, failedCode_, reinterpret_cast<DWORD_PTR>(failedText_.c_str()));
  lock.lock();
}

}  // namespace pulse
