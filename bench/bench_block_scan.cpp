// Cost of scanning one recorded block (a tenth of a second, stereo) in every sample width
// at 44100 and 192000 Hz, for a tone and for input full of clip runs, beside a memcpy of
// the same block. The budget is 200 us a block (0.2 % of its 100 ms); "per_sample" is the
// time per sample (p = picoseconds).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "scan/block_scan.h"

namespace {

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

const char* bitsName(TBPS bits) {
  switch (bits) {
    case TBPS::_8: return "8bit";
    case TBPS::_16: return "16bit";
    case TBPS::_24: return "24bit";
    case TBPS::_32Float: return "float";
  }
  return "?";
}

// Interleaved stereo samples of one block on the scale -1..1; over-limit samples are at
// full scale, the others within two thirds of it.
std::vector<double> makeSignal(Signal signal, int frames, int rate) {
  const int samples = 2 * frames;
  std::vector<double> s(samples);
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> quiet(-0.6, 0.6);
  std::uniform_int_distribution<int> percent(0, 99);
  auto overSample = [&] { return percent(rng) % 2 ? 1.0 : -1.0; };
  switch (signal) {
    case Signal::Tone:  // 440 Hz left, 1000 Hz right, at about a third of full scale
      for (int f = 0; f < frames; ++f) {
        s[2 * f] = 0.33 * std::sin(2 * std::numbers::pi * 440 * f / rate);
        s[2 * f + 1] = 0.33 * std::sin(2 * std::numbers::pi * 1000 * f / rate);
      }
      break;
    case Signal::NoiseFewOver:
      for (auto& v : s) v = percent(rng) < 3 ? overSample() : quiet(rng);
      break;
    case Signal::Alternating:  // every other sample of each channel over
      for (int i = 0; i < samples; ++i) s[i] = (i / 2) % 2 ? overSample() : quiet(rng);
      break;
    case Signal::ShortRuns: {  // runs of 1..4 over and 1..4 in, per channel
      std::uniform_int_distribution<int> runLength(1, 4);
      for (int c = 0; c < 2; ++c) {
        bool over = false;
        for (int f = 0; f < frames;) {
          for (int n = runLength(rng); n > 0 && f < frames; --n, ++f) s[2 * f + c] = over ? overSample() : quiet(rng);
          over = !over;
        }
      }
      break;
    }
  }
  return s;
}

// The block's bytes in the sample width.
std::vector<uint8_t> encode(const std::vector<double>& s, TBPS bits) {
  std::vector<uint8_t> out(s.size() * sampleBytesOf(bits));
  auto integer = [](double v, double scale) {
    return static_cast<int32_t>(std::clamp(std::lround(v * scale), -std::lround(scale), std::lround(scale) - 1));
  };
  for (size_t i = 0; i < s.size(); ++i) {
    uint8_t* p = out.data() + i * sampleBytesOf(bits);
    switch (bits) {
      case TBPS::_8: p[0] = static_cast<uint8_t>(integer(s[i], 128) + 128); break;
      case TBPS::_16: {
        const int32_t v = integer(s[i], 32768);
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        break;
      }
      case TBPS::_24: {
        const int32_t v = integer(s[i], 8388608);
        for (int b = 0; b < 3; ++b) p[b] = static_cast<uint8_t>(v >> (8 * b));
        break;
      }
      case TBPS::_32Float: {
        const auto f = static_cast<float>(s[i]);
        std::memcpy(p, &f, 4);
        break;
      }
    }
  }
  return out;
}

void perSample(benchmark::State& state, size_t samples, size_t bytes) {
  state.counters["per_sample"] = benchmark::Counter(
      static_cast<double>(samples), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void memcpyBlock(benchmark::State& state, int rate) {
  const std::vector<uint8_t> block = encode(makeSignal(Signal::Tone, rate / 10, rate), TBPS::_32Float);
  std::vector<uint8_t> copy(block.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), block.data(), block.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  perSample(state, block.size() / 4, block.size());
}

void scan(benchmark::State& state, TBPS bits, int rate, Signal signal) {
  const std::vector<uint8_t> block = encode(makeSignal(signal, rate / 10, rate), bits);
  const auto size = static_cast<uint32_t>(block.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(block.data());
    BlockScanResult r = scanBlock(block.data(), size, bits, TChannels::Stereo, kLimit8, kLimit16);
    benchmark::DoNotOptimize(r);
  }
  perSample(state, block.size() / sampleBytesOf(bits), block.size());
}

}  // namespace

int main(int argc, char** argv) {
  for (int rate : {44100, 192000}) {
    benchmark::RegisterBenchmark(("memcpy_block/float/" + std::to_string(rate)).c_str(), memcpyBlock, rate)
        ->Unit(benchmark::kMicrosecond);
    for (TBPS bits : {TBPS::_8, TBPS::_16, TBPS::_24, TBPS::_32Float})
      for (Signal signal : {Signal::Tone, Signal::NoiseFewOver, Signal::Alternating, Signal::ShortRuns})
        benchmark::RegisterBenchmark(
            (std::string("scan/") + bitsName(bits) + "/" + std::to_string(rate) + "/" + signalName(signal)).c_str(),
            scan, bits, rate, signal)
            ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
