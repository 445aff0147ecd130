// Input the server dropped, found from the stream's bytes against the monotonic clock.
#include "mmsystem/pulse/gap_finder.h"

#include <algorithm>
#include <cmath>

namespace pulse {

uint64_t GapFinder::observe(double now, uint64_t arrived, uint64_t& at) {
  if (!started_) {
    started_ = true;
    start_ = windowStart_ = now;
    startBytes_ = windowStartBytes_ = arrived;
    windowMin_ = 0;
    return 0;
  }
  const double shortfall = rate_ * (now - start_) - static_cast<double>(arrived - startBytes_);
  if (now - windowStart_ < kWindow) {
    windowMin_ = std::min(windowMin_, shortfall);
    return 0;
  }
  // A window has ended; this arrival opens the next one.
  const double closed = windowMin_;
  const uint64_t closedStart = windowStartBytes_;
  windowStart_ = now;
  windowStartBytes_ = arrived;
  windowMin_ = shortfall;

  uint64_t lost = 0;
  const bool settled = havePrevious_ && std::abs(closed - previousMin_) <= kSettled * rate_;
  if (settled) {
    if (haveBaseline_ && closed - baseline_ > kLoss * rate_) {
      lost = static_cast<uint64_t>((closed - baseline_) / frame_) * frame_;
      // The loss is placed where the shortfall had settled at its new value.
      at = previousStartBytes_;
    }
    baseline_ = closed;
    haveBaseline_ = true;
  }
  havePrevious_ = true;
  previousMin_ = closed;
  previousStartBytes_ = closedStart;
  return lost;
}

}  // namespace pulse
