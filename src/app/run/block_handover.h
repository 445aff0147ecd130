// The hand-over of recorded blocks from the service thread to the window thread. The
// service thread scans each block into a small result and posts it, tagged with the run
// it belongs to; the window thread receives the results in block order and drops those
// of a run that has ended. Input lost before a block travels the same way, as a message
// of its own, so it arrives right before that block's result. Nothing is allocated per
// block.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "audio/notify_window.h"
#include "scan/block_scan.h"

class BlockHandover {
 public:
  using Deliver = std::function<void(const BlockScanResult& scan)>;
  using DeliverDropout = std::function<void(uint32_t overruns, uint32_t framesLost)>;

  // Must be created on the window thread; `deliver` runs there for every block of the
  // current run, `dropout` for every loss of input reported during it.
  explicit BlockHandover(Deliver deliver, DeliverDropout dropout = {});

  // Window thread, before the recorder starts: the blocks delivered from now on belong to
  // a new run recorded in this format; results still queued for an earlier run are dropped.
  void beginRun(TBPS bits, TChannels channels, int32_t limit8, int32_t limit16);
  // Window thread, after the recorder has stopped: results still queued are dropped.
  void endRun();
  // Window thread: clip limits for the blocks scanned from now on.
  void setLimits(int32_t limit8, int32_t limit16);

  // Service thread: scans one block and posts the result to the window thread.
  void post(const void* data, uint32_t size);
  // Service thread: the input lost `framesLost` frames in `overruns` overruns right
  // before the next block.
  void postDropout(uint32_t overruns, uint32_t framesLost);

 private:
  // A result travels as one message parameter of four 16-bit fields: the two peaks and
  // the two runs. A peak needs 15 bits (16-bit peaks are 0..32767, 8-bit ones 0..128), so
  // the left peak's top bit carries whether the block was heard.
  static_assert(sizeof(LPARAM) >= 8);
  static constexpr unsigned kHeardBit = 15;
  static LPARAM pack(const BlockScanResult& scan);
  static BlockScanResult unpack(LPARAM packed);
  void receive(UINT msg, WPARAM run, LPARAM packed);

  Deliver deliver_;
  DeliverDropout dropout_;
  // The current run; odd while a run is on, even between runs.
  std::atomic<uint32_t> run_{0};
  std::atomic<TBPS> bits_{TBPS::_16};
  std::atomic<TChannels> channels_{TChannels::Stereo};
  std::atomic<int32_t> limit8_{0};
  std::atomic<int32_t> limit16_{0};
  NotifyWindow window_;
};
