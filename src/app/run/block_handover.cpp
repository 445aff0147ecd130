// The service thread's side of the block hand-over (scan, pack, post) and the window
// thread's (unpack, drop what belongs to an ended run, deliver).
#include "app/run/block_handover.h"

namespace {

// The message a scanned block is posted as, and the one a loss of input is posted as.
constexpr UINT kBlockScanned = 0x0400 + 10;
constexpr UINT kDropout = 0x0400 + 11;

}  // namespace

BlockHandover::BlockHandover(Deliver deliver, DeliverDropout dropout)
    : deliver_(std::move(deliver)),
      dropout_(std::move(dropout)),
      window_([this](UINT msg, WPARAM wParam, LPARAM lParam) { receive(msg, wParam, lParam); }) {}

void BlockHandover::beginRun(TBPS bits, TChannels channels, int32_t limit8, int32_t limit16) {
  bits_.store(bits, std::memory_order_relaxed);
  channels_.store(channels, std::memory_order_relaxed);
  setLimits(limit8, limit16);
  // Released last: a service thread that sees the new run sees its format too.
  const uint32_t run = run_.load(std::memory_order_relaxed);
  run_.store((run | 1) == run ? run + 2 : run + 1, std::memory_order_release);
}

void BlockHandover::endRun() {
  const uint32_t run = run_.load(std::memory_order_relaxed);
  if (run & 1) run_.store(run + 1, std::memory_order_release);
}

void BlockHandover::setLimits(int32_t limit8, int32_t limit16) {
  limit8_.store(limit8, std::memory_order_relaxed);
  limit16_.store(limit16, std::memory_order_relaxed);
}

void BlockHandover::post(const void* data, uint16_t size) {
  const uint32_t run = run_.load(std::memory_order_acquire);
  if ((run & 1) == 0) return;  // no run is on: nobody waits for this block
  const BlockScanResult scan =
      scanBlock(data, size, bits_.load(std::memory_order_relaxed), channels_.load(std::memory_order_relaxed),
                limit8_.load(std::memory_order_relaxed), limit16_.load(std::memory_order_relaxed));
  window_.post(kBlockScanned, run, pack(scan));
}

void BlockHandover::postDropout(uint32_t overruns, uint32_t framesLost) {
  const uint32_t run = run_.load(std::memory_order_acquire);
  if ((run & 1) == 0) return;
  window_.post(kDropout, run, static_cast<LPARAM>(uint64_t{overruns} | uint64_t{framesLost} << 32));
}

void BlockHandover::receive(UINT msg, WPARAM run, LPARAM packed) {
  if (run != run_.load(std::memory_order_relaxed)) return;  // a run that has ended
  if (msg == kBlockScanned && deliver_) deliver_(unpack(packed));
  if (msg == kDropout && dropout_) {
    const auto counts = static_cast<uint64_t>(packed);
    dropout_(static_cast<uint32_t>(counts), static_cast<uint32_t>(counts >> 32));
  }
}

LPARAM BlockHandover::pack(const BlockScanResult& scan) {
  const uint64_t bits = uint64_t{scan.peak[0]} | uint64_t{scan.heard} << kHeardBit | uint64_t{scan.peak[1]} << 16 |
                        uint64_t{scan.longestRun[0]} << 32 | uint64_t{scan.longestRun[1]} << 48;
  return static_cast<LPARAM>(bits);
}

BlockScanResult BlockHandover::unpack(LPARAM packed) {
  const auto bits = static_cast<uint64_t>(packed);
  BlockScanResult scan;
  scan.peak = {static_cast<uint16_t>(bits & ((1u << kHeardBit) - 1)), static_cast<uint16_t>(bits >> 16)};
  scan.heard = (bits >> kHeardBit & 1) != 0;
  scan.longestRun = {static_cast<uint16_t>(bits >> 32), static_cast<uint16_t>(bits >> 48)};
  return scan;
}
