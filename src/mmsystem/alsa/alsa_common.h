// Helpers shared by the parts of the ALSA driver: the record of the last failure (so
// that the error-text calls can give ALSA's own words), ALSA's own error messages kept
// from standard error, a wake-up descriptor for the driver's threads, and the linear scaling between
// an element's raw range and 0..65535.
#pragma once

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mmsystem/device_names.h"
#include "mmsystem/mmsystem.h"

namespace alsa {

// Remembers `code` as the last failure of the calling thread, with `text` as the sound
// system's words for it (empty: the service's own text is used), and returns `code`.
MMRESULT fail(MMRESULT code, const std::string& text = {});
// As fail(), with the text "<what>: <ALSA's text for err>".
MMRESULT failAlsa(MMRESULT code, const std::string& what, int err);
// ALSA's text for the last failure of the calling thread when it returned `code`.
std::string lastText(MMRESULT code);

// The result code for a failed snd_pcm_open / snd_ctl_open / snd_mixer_attach.
MMRESULT openErrorCode(int err);

// Keeps ALSA's own error messages (configuration errors, a plugin's complaints) from
// standard error: each becomes the calling thread's last library message instead.
// Takes effect for the whole process; calling it again does nothing.
void captureLibraryMessages();
// ALSA's last message on the calling thread since clearLibraryMessage(), or "".
std::string libraryMessage();
void clearLibraryMessage();
// True when ALSA knows a sound card.
bool anyCard();

// Names go into the records' fixed fields as every driver puts them there.
using mmsystem::copyName;

// An eventfd that wakes a driver thread out of poll().
class WakeFd {
 public:
  WakeFd();
  ~WakeFd();
  WakeFd(const WakeFd&) = delete;
  WakeFd& operator=(const WakeFd&) = delete;
  void signal();
  void drain();
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// Waits until `pcm` (may be null) is ready or `wake` is signalled, at most `timeoutMs`
// (-1: no limit). Returns the PCM's events (0 when it was not ready); `pcmWoke`, when
// given, tells whether the PCM's descriptors ended the wait, whatever events they meant.
unsigned short waitPcm(snd_pcm_t* pcm, WakeFd& wake, int timeoutMs, bool* pcmWoke = nullptr);

// Raw element value to 0..65535 and back, linear, rounded to nearest (halves to even).
DWORD rawToLevel(long raw, long min, long max);
long levelToRaw(DWORD level, long min, long max);

}  // namespace alsa
