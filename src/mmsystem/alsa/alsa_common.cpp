// Helpers shared by the parts of the ALSA driver.
#include "mmsystem/alsa/alsa_common.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace alsa {

namespace {

struct LastFailure {
  MMRESULT code = MMSYSERR_NOERROR;
  std::string text;
};
thread_local LastFailure lastFailure;

}  // namespace

MMRESULT fail(MMRESULT code, const std::string& text) {
  lastFailure.code = code;
  lastFailure.text = text;
  return code;
}

MMRESULT failAlsa(MMRESULT code, const std::string& what, int err) {
  return fail(code, what + ": " + snd_strerror(err));
}

std::string lastText(MMRESULT code) {
  if (code == MMSYSERR_NOERROR || lastFailure.code != code) return {};
  return lastFailure.text;
}

namespace {

thread_local char libraryText[256];

void keepLibraryMessage(const char*, int, const char*, int err, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(libraryText, sizeof libraryText, format, args);
  va_end(args);
  if (err != 0 && n >= 0 && static_cast<size_t>(n) < sizeof libraryText)
    std::snprintf(libraryText + n, sizeof libraryText - n, ": %s", snd_strerror(err));
}

}  // namespace

void captureLibraryMessages() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&keepLibraryMessage); });
}

std::string libraryMessage() { return libraryText; }

void clearLibraryMessage() { libraryText[0] = '\0'; }

bool anyCard() {
  int card = -1;
  return snd_card_next(&card) == 0 && card >= 0;
}

MMRESULT openErrorCode(int err) {
  switch (-err) {
    case EBUSY: return MMSYSERR_ALLOCATED;
    case ENOENT:
    case ENODEV:
    case ENXIO: return MMSYSERR_BADDEVICEID;
    case ENOMEM: return MMSYSERR_NOMEM;
    default: return MMSYSERR_ERROR;
  }
}

WakeFd::WakeFd() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeFd::~WakeFd() {
  if (fd_ >= 0) close(fd_);
}

void WakeFd::signal() {
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t r = write(fd_, &one, sizeof one);
}

void WakeFd::drain() {
  uint64_t value = 0;
  [[maybe_unused]] ssize_t r = read(fd_, &value, sizeof value);
}

unsigned short waitPcm(snd_pcm_t* pcm, WakeFd& wake, int timeoutMs, bool* pcmWoke) {
  // A PCM polls on one or two descriptors; the room for more keeps the wait free of
  // allocation, as it runs for every block.
  std::array<pollfd, 9> fds{};
  int count = pcm != nullptr ? snd_pcm_poll_descriptors_count(pcm) : 0;
  count = std::clamp(count, 0, static_cast<int>(fds.size()) - 1);
  if (count > 0) count = snd_pcm_poll_descriptors(pcm, fds.data(), static_cast<unsigned>(count));
  if (count < 0) count = 0;
  fds[count] = {wake.fd(), POLLIN, 0};
  const int n = poll(fds.data(), static_cast<nfds_t>(count) + 1, timeoutMs);
  if (pcmWoke != nullptr) *pcmWoke = false;
  if (n <= 0) return 0;
  if (fds[count].revents != 0) wake.drain();
  if (pcmWoke != nullptr)
    *pcmWoke = std::any_of(fds.begin(), fds.begin() + count, [](const pollfd& f) { return f.revents != 0; });
  unsigned short revents = 0;
  if (count > 0 && snd_pcm_poll_descriptors_revents(pcm, fds.data(), static_cast<unsigned>(count), &revents) < 0)
    return POLLERR;
  return revents;
}

DWORD rawToLevel(long raw, long min, long max) {
  if (max <= min) return raw > min ? 65535 : 0;
  if (raw <= min) return 0;
  if (raw >= max) return 65535;
  const long double level = static_cast<long double>(raw - min) * 65535.0L / static_cast<long double>(max - min);
  return static_cast<DWORD>(std::nearbyint(level));
}

long levelToRaw(DWORD level, long min, long max) {
  if (max <= min) return min;
  if (level >= 65535) return max;
  const long double raw = static_cast<long double>(level) * static_cast<long double>(max - min) / 65535.0L;
  return min + static_cast<long>(std::nearbyint(raw));
}

}  // namespace alsa
