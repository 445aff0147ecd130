// Recording throughput: ten minutes of 16-bit stereo at 44100 Hz from the virtual card,
// as fast as it goes, into a WAV file, next to writing the same bytes with plain fwrite.
// A counting allocator shows how many allocations one block costs while recording runs,
// also for a recording that first waits for its trigger keeping five seconds of input.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "counting_new.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"

namespace {

constexpr int kBlocks = 6000;       // 10 minutes of 100 ms blocks
constexpr uint16_t kFrames = 4410;  // one block: 17640 bytes
constexpr size_t kBlockBytes = 17640;
// Allocations are counted over the blocks between these two, away from start and stop.
constexpr int kCountFrom = 100;
constexpr int kCountTo = kBlocks - 100;

// The virtual card, counting the blocks it hands back (waiting for the trigger or not)
// and the allocations made over the counted ones.
class CountingCard : public VirtualDriver {
 public:
  using VirtualDriver::VirtualDriver;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT cb) override {
    // Four buffers are queued at the start; every further one follows a delivered block.
    const int block = ++queued - 4;
    if (block == kCountFrom) countedFrom = allocations.load();
    if (block == kCountTo) countedTo = allocations.load();
    return VirtualDriver::waveInAddBuffer(handle, header, cb);
  }
  double allocationsPerBlock() const { return static_cast<double>(countedTo - countedFrom) / (kCountTo - kCountFrom); }
  std::atomic<int> queued{0};
  uint64_t countedFrom = 0, countedTo = 0;
};

// 16-bit stereo at 44100 Hz: a minute of silence, then a tone that fires the trigger.
std::string silenceThenTone(const QTemporaryDir& dir) {
  constexpr uint32_t kRate = 44100;
  std::vector<int16_t> samples(2 * kRate * 70, 0);
  for (size_t i = 2 * kRate * 60; i < samples.size(); ++i) samples[i] = static_cast<int16_t>((i % 100) * 200 - 10000);
  auto le = [](std::string& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
  };
  const auto size = static_cast<uint32_t>(samples.size() * 2);
  std::string wav = "RIFF";
  le(wav, 36 + size, 4);
  wav += "WAVEfmt ";
  for (uint32_t v : {16u, 1u | (2u << 16), kRate, kRate * 4, 4u | (16u << 16)}) le(wav, v, 4);
  wav += "data";
  le(wav, size, 4);
  wav.append(reinterpret_cast<const char*>(samples.data()), size);
  const std::string file = dir.filePath("silence-then-tone.wav").toStdString();
  std::ofstream(file, std::ios::binary).write(wav.data(), static_cast<std::streamsize>(wav.size()));
  return file;
}

// Ten minutes of recording; with `preTrigger` the recording first waits a minute for its
// trigger, keeping the last five seconds.
void recordTenMinutes(benchmark::State& state, bool preTrigger) {
  QTemporaryDir dir;
  VirtualCard card = VirtualCard::defaultCard();
  card.pacing = VirtualPacing::AsFastAsQueued;
  card.inputFile = preTrigger ? silenceThenTone(dir) : std::string();
  auto owned = std::make_unique<CountingCard>(card);
  CountingCard* counting = owned.get();
  auto previous = mmsystem::installDriver(std::move(owned));
  const std::string file = dir.filePath("bench.wav").toStdString();
  {
    TAudio audio;
    TRecorder& rec = *audio.Recorder();
    rec.setBitsPerSample(TBPS::_16);
    rec.setChannels(TChannels::Stereo);
    rec.setSampleRate(44100);
    rec.setNoSamples(kFrames);
    rec.setTrigLevel(5000);
    rec.setPreTrigger(5000);
    int blocks = 0;
    audio.OnRecord = [&](TObject*, void*, void*, uint16_t) {
      if (++blocks == kBlocks) rec.Stop();  // carried out once this block has been delivered
    };
    for (auto _ : state) {
      blocks = 0;
      counting->queued = 0;
      rec.Triggered = !preTrigger;
      rec.CreateWaveFile(file, nullptr, nullptr);
      if (!rec.Start()) {
        state.SkipWithError(audio.ErrorMessage.c_str());
        break;
      }
      while (rec.IsOpen) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlocks * kBlockBytes);
  state.counters["allocs_per_block"] = counting->allocationsPerBlock();
  mmsystem::installDriver(std::move(previous));
}

void BM_RecordTenMinutes(benchmark::State& state) { recordTenMinutes(state, false); }
BENCHMARK(BM_RecordTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The minute of waiting (600 blocks kept in the ring), the trigger and the recording
// after it all lie between the counted blocks.
void BM_RecordTenMinutesAfterTheTriggerWithPreTrigger(benchmark::State& state) { recordTenMinutes(state, true); }
BENCHMARK(BM_RecordTenMinutesAfterTheTriggerWithPreTrigger)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

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
