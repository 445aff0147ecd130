// Finds input that the sound server dropped without telling its client. A server keeps
// only so much for a client that does not read (a stopped or starved process); what it
// drops beyond that never arrives, and nothing marks the place. What does tell is the
// clock: a source delivers its rate, so the bytes that have arrived since the first one
// fall behind the monotonic clock by about the latency, and a drop makes them fall behind
// for good by its length. The finder keeps the smallest shortfall seen in each window of
// a second (right after a delivery, free of the latency's ups and downs); when two windows
// in a row agree, the shortfall has settled, and a settled shortfall that grew by more
// than the latency can explain is input lost. Growth below that is the card's clock
// drifting against the machine's, which the finder follows.
#pragma once

#include <cstdint>

namespace pulse {

class GapFinder {
 public:
  // `bytesPerSecond` and `frameBytes` of the stream's format.
  GapFinder(double bytesPerSecond, uint32_t frameBytes) : rate_(bytesPerSecond), frame_(frameBytes) {}

  // Forgets everything: the stream starts anew (a start after a reset).
  void restart() { *this = GapFinder(rate_, frame_); }

  // Data has arrived: `arrived` bytes since the start in all, at `now` (seconds of the
  // monotonic clock). Returns the bytes found lost (whole frames, 0 when none); `at` is
  // then the stream position in bytes that the loss lies before.
  uint64_t observe(double now, uint64_t arrived, uint64_t& at);

  // How far two window minimums may differ and still count as settled, and how much a
  // settled shortfall must grow to count as a loss, in seconds.
  static constexpr double kWindow = 1.0;
  static constexpr double kSettled = 0.1;
  static constexpr double kLoss = 0.25;

 private:
  double rate_;
  uint32_t frame_;
  bool started_ = false;
  double start_ = 0;  // the first arrival
  uint64_t startBytes_ = 0;
  double windowStart_ = 0;
  double windowMin_ = 0;
  uint64_t windowStartBytes_ = 0;
  bool havePrevious_ = false;
  double previousMin_ = 0;
  uint64_t previousStartBytes_ = 0;
  bool haveBaseline_ = false;
  double baseline_ = 0;  // the settled shortfall, in bytes
};

}  // namespace pulse
