// Recording throughput: ten minutes of 16-bit stereo at 44100 Hz from the virtual card,
// as fast as it goes, into a WAV file, next to writing the same bytes with plain fwrite.
// A counting allocator shows how many allocations one block costs while recording runs.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

#include "audio/Audio.h"
#include "counting_new.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual_driver.h"

namespace {

constexpr int kBlocks = 6000;       // 10 minutes of 100 ms blocks
constexpr uint16_t kFrames = 4410;  // one block: 17640 bytes
constexpr size_t kBlockBytes = 17640;
// Allocations are counted over the blocks between these two, away from start and stop.
constexpr int kCountFrom = 100;
constexpr int kCountTo = kBlocks - 100;

void BM_RecordTenMinutes(benchmark::State& state) {
  VirtualCard card = VirtualCard::defaultCard();
  card.pacing = VirtualPacing::AsFastAsQueued;
  card.inputFile.clear();
  auto previous = mmsystem::installDriver(std::make_unique<VirtualDriver>(card));
  QTemporaryDir dir;
  const std::string file = dir.filePath("bench.wav").toStdString();
  double perBlock = 0;
  {
    TAudio audio;
    TRecorder& rec = *audio.Recorder();
    rec.setBitsPerSample(TBPS::_16);
    rec.setChannels(TChannels::Stereo);
    rec.setSampleRate(44100);
    rec.setNoSamples(kFrames);
    int blocks = 0;
    uint64_t countedFrom = 0, countedTo = 0;
    audio.OnRecord = [&](TObject*, void*, void*, uint16_t) {
      ++blocks;
      if (blocks == kCountFrom) countedFrom = allocations.load();
      if (blocks == kCountTo) countedTo = allocations.load();
      if (blocks == kBlocks) rec.Stop();  // carried out once this block has been delivered
    };
    for (auto _ : state) {
      blocks = 0;
      rec.Triggered = true;
      rec.CreateWaveFile(file, nullptr, nullptr);
      if (!rec.Start()) {
        state.SkipWithError(audio.ErrorMessage.c_str());
        break;
      }
      while (rec.IsOpen) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      perBlock = static_cast<double>(countedTo - countedFrom) / (kCountTo - kCountFrom);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlocks * kBlockBytes);
  state.counters["allocs_per_block"] = perBlock;
  mmsystem::installDriver(std::move(previous));
}
BENCHMARK(BM_RecordTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_FwriteTenMinutes(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("plain.raw").toStdString();
  std::vector<char> block(kBlockBytes, 1);
  for (auto _ : state) {
    FILE* f = std::fopen(file.c_str(), "wb");
    for (int i = 0; i < kBlocks; ++i) std::fwrite(block.data(), 1, block.size(), f);
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlocks * kBlockBytes);
}
BENCHMARK(BM_FwriteTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
