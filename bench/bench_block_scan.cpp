// Cost of scanning one recorded block (16-bit stereo, 44100 Hz, a tenth of a second:
// 4410 frames, 8820 samples, 17640 bytes) on each scan path, beside a memcpy of the
// same block. The "per_sample" column is the time per sample (p = picoseconds).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "scan/block_scan.h"

namespace {

constexpr int kFrames = 4410;
constexpr int kSamples = 2 * kFrames;
constexpr int32_t kLimit16 = 32000;
constexpr int32_t kLimit8 = 120;

enum class Signal { Tone, NoiseFewOver, Alternating, ShortRuns };

const char* signalName(Signal s) {
  switch (s) {
    case Signal::Tone: return "tone";
    case Signal::NoiseFewOver: return "noise_3pct_over";
    case Signal::Alternating: return "worst_alternating";
    case Signal::ShortRuns: return "worst_short_runs";
  }
  return "?";
}

const char* pathName(BlockScanPath p) {
  switch (p) {
    case BlockScanPath::Reference: return "reference";
    case BlockScanPath::Sse2: return "sse2";
    case BlockScanPath::Avx2: return "avx2";
  }
  return "?";
}

int16_t overSample(std::mt19937& rng) {
  return std::uniform_int_distribution<int>(0, 1)(rng) ? int16_t{32767} : int16_t{-32768};
}

// Interleaved 16-bit stereo samples of one block.
std::vector<int16_t> makeBlock(Signal signal) {
  std::vector<int16_t> s(kSamples);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> quiet(-20000, 20000);
  std::uniform_int_distribution<int> percent(0, 99);
  switch (signal) {
    case Signal::Tone:  // 440 Hz left, 1000 Hz right, at about a third of full scale
      for (int f = 0; f < kFrames; ++f) {
        s[2 * f] = static_cast<int16_t>(11000 * std::sin(2 * std::numbers::pi * 440 * f / 44100.0));
        s[2 * f + 1] = static_cast<int16_t>(11000 * std::sin(2 * std::numbers::pi * 1000 * f / 44100.0));
      }
      break;
    case Signal::NoiseFewOver:
      for (auto& v : s) v = percent(rng) < 3 ? overSample(rng) : static_cast<int16_t>(quiet(rng));
      break;
    case Signal::Alternating:  // every other sample of each channel over
      for (int i = 0; i < kSamples; ++i) s[i] = (i / 2) % 2 ? overSample(rng) : static_cast<int16_t>(quiet(rng));
      break;
    case Signal::ShortRuns: {  // runs of 1..4 over and 1..4 in, per channel
      std::uniform_int_distribution<int> runLength(1, 4);
      for (int c = 0; c < 2; ++c) {
        bool over = false;
        for (int f = 0; f < kFrames;) {
          for (int n = runLength(rng); n > 0 && f < kFrames; --n, ++f)
            s[2 * f + c] = over ? overSample(rng) : static_cast<int16_t>(quiet(rng));
          over = !over;
        }
      }
      break;
    }
  }
  return s;
}

void perSample(benchmark::State& state) {
  state.counters["per_sample"] =
      benchmark::Counter(kSamples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSamples * 2);
}

void memcpyBlock(benchmark::State& state) {
  const std::vector<int16_t> block = makeBlock(Signal::Tone);
  std::vector<int16_t> copy(block.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), block.data(), block.size() * sizeof(int16_t));
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  perSample(state);
}

void scan(benchmark::State& state, BlockScanPath path, Signal signal) {
  if (!blockScanPathAvailable(path)) {
    state.SkipWithError("path not available on this processor");
    return;
  }
  const std::vector<int16_t> block = makeBlock(signal);
  const auto size = static_cast<uint16_t>(block.size() * sizeof(int16_t));
  for (auto _ : state) {
    benchmark::DoNotOptimize(block.data());
    BlockScanResult r = scanBlockOn(path, block.data(), size, TBPS::_16, TChannels::Stereo, kLimit8, kLimit16);
    benchmark::DoNotOptimize(r);
  }
  perSample(state);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("memcpy_block", memcpyBlock);
  for (Signal signal : {Signal::Tone, Signal::NoiseFewOver, Signal::Alternating, Signal::ShortRuns})
    for (BlockScanPath path : {BlockScanPath::Reference, BlockScanPath::Sse2, BlockScanPath::Avx2})
      benchmark::RegisterBenchmark((std::string("scan/") + signalName(signal) + "/" + pathName(path)).c_str(), scan,
                                   path, signal);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
