// The origin and the cue points of a recording.
#include "audio/recording_marks.h"

#include <algorithm>

void RecordingMarks::reset(uint32_t rate) {
  const std::lock_guard<std::mutex> lock(mutex_);
  frames_ = 0;
  markers_ = 0;
  rate_ = rate;
  origin_ = {};
  points_.clear();
  points_.reserve(64);
}

bool RecordingMarks::setOrigin(std::chrono::system_clock::time_point time) {
  if (origin_.valid() || rate_ == 0) return false;
  origin_ = originationAt(time, rate_);
  return true;
}

void RecordingMarks::add(std::string label) {
  // The position is taken under the lock, so that a file completed meanwhile either has
  // taken the point already or finds it at or past its end.
  const std::lock_guard<std::mutex> lock(mutex_);
  points_.push_back({framesWritten(), std::move(label)});
}

uint32_t RecordingMarks::addMarker() {
  const uint32_t n = markers_.fetch_add(1) + 1;
  add("Marker " + std::to_string(n));
  return n;
}

void RecordingMarks::addDropout(uint64_t framesLost) {
  if (framesLost == 0 || rate_ == 0) {
    add("Dropout");
    return;
  }
  // Hundredths of a second, rounded; digits of our own, so that no locale changes the point.
  const uint64_t hundredths = (framesLost * 100 + rate_ / 2) / rate_;
  std::string cents = std::to_string(hundredths % 100);
  if (cents.size() < 2) cents.insert(0, 1, '0');
  add("Dropout " + std::to_string(hundredths / 100) + "." + cents + " s");
}

std::vector<CuePoint> RecordingMarks::take(uint64_t fileStart, uint64_t fileEnd, bool last) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<CuePoint> taken;
  std::vector<CuePoint> left;
  for (CuePoint& p : points_) {
    if (last || p.frame < fileEnd) {
      taken.push_back({p.frame > fileStart ? p.frame - fileStart : 0, std::move(p.label)});
    } else {
      left.push_back(std::move(p));
    }
  }
  points_ = std::move(left);
  std::stable_sort(taken.begin(), taken.end(), [](const CuePoint& a, const CuePoint& b) { return a.frame < b.frame; });
  return taken;
}
