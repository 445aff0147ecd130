// What a recording's files keep of it beyond the samples: when its first kept frame was
// taken, and its cue points (markers set by the user, dropouts) by frame of the
// recording, handed to each file as it is completed.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/wave_chunks.h"

class RecordingMarks {
 public:
  // Window thread, while nothing records: a new recording at `rate` frames a second.
  void reset(uint32_t rate);

  // Frames of the recording in its files so far (service thread writes, any thread reads).
  uint64_t framesWritten() const { return frames_.load(std::memory_order_acquire); }
  void addFrames(uint64_t frames) { frames_.fetch_add(frames, std::memory_order_acq_rel); }

  // Service thread, once: the first kept frame was taken at `time`. False when the
  // origin was known already.
  bool setOrigin(std::chrono::system_clock::time_point time);
  bool hasOrigin() const { return origin_.valid(); }
  // The origination of frame `frame` of the recording (after setOrigin).
  WaveOrigination originAt(uint64_t frame) const { return origin_.after(frame); }

  // A marker at the recording's current position, labelled "Marker <n>"; any thread.
  // The number of markers so far.
  uint32_t addMarker();
  // A dropout at the current position, labelled with the time lost ("Dropout 0.31 s",
  // "Dropout" when the driver cannot tell); service thread, before the silence is written.
  void addDropout(uint64_t framesLost);
  uint32_t markerCount() const { return markers_.load(); }

  // The points for a file that begins at frame `fileStart` of the recording, in frames
  // of that file: those before frame `fileEnd`, or with `last` every one left.
  std::vector<CuePoint> take(uint64_t fileStart, uint64_t fileEnd, bool last);

 private:
  void add(std::string label);
  std::atomic<uint64_t> frames_{0};
  std::atomic<uint32_t> markers_{0};
  uint32_t rate_ = 0;
  WaveOrigination origin_;  // set once per recording on the service thread, before it is read
  std::mutex mutex_;        // the points; held only to add or take them
  std::vector<CuePoint> points_;
};
