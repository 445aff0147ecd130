// What every wave device checks the same way, whichever driver it belongs to: the PCM
// formats a device opens with, the flags a header carries through prepare, queue, done
// and unprepare, and the text a device that failed for good reports. Callers check the
// handle and the header pointer first and hold the device's lock around the flag changes.
#pragma once

#include <string>

#include "mmsystem.h"

// Integer PCM, 8 or 16 bits, mono or stereo, a rate, and a block of whole samples.
inline bool plainPcm(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
         (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec > 0 &&
         f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8;
}

// A header may be prepared (again) as long as the device does not hold it.
inline MMRESULT markPrepared(WAVEHDR& header) {
  if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

// Unpreparing is also fine for a header that was never prepared.
inline MMRESULT markUnprepared(WAVEHDR& header) {
  if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

// Hands a prepared header to the device: queued, no longer done.
inline MMRESULT markQueued(WAVEHDR& header) {
  if (!(header.dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (header.dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.dwFlags = (header.dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  return MMSYSERR_NOERROR;
}

// The device gives a header back: done, no longer queued.
inline void markDone(WAVEHDR& header) { header.dwFlags = (header.dwFlags & ~WHDR_INQUEUE) | WHDR_DONE; }

// The text of WIM_ERROR / WOM_ERROR: the device's name and the sound system's reason.
inline std::string deviceFailedText(const std::string& device, const std::string& reason) {
  return "Sound device \"" + device + "\" failed: " + reason;
}
