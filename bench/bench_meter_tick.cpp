// One 25 ms meter tick of the main window with both level meters moving on every tick:
// the meters, the level control ("Down only") with its mixer write-back, and the
// messages the tick causes, on the default virtual card.
//   hidden: the window's own work; "allocs_per_tick" must stay 0.
//   shown:  the same plus the repaint the toolkit makes of it (offscreen platform); the
//           allocations left there are the toolkit's repaint bookkeeping.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/application.h"
#include "app/tessaron1.h"
#include "counting_new.h"
#include "mmsystem/driver.h"
#include "mmsystem/virtual/virtual_driver.h"

namespace {

// Two peaks far apart: each tick moves both meters by 13 segments.
constexpr uint16_t kPeaks[2] = {2000, 28000};

void BM_MeterTick(benchmark::State& state, bool shown) {
  QTemporaryDir config;  // a settings store of its own: the defaults apply
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  auto previous = mmsystem::installDriver(std::make_unique<VirtualDriver>(VirtualCard::defaultCard()));
  {
    TForm1 form;  // meters on "refer to wave data", level control "Down only"
    if (shown) form.show();
    QCoreApplication::processEvents();
    int tick = 0;
    auto oneTick = [&] {
      form.peakleft = form.peakright = kPeaks[tick++ & 1];
      form.Timer1Timer(form.Timer1);
      QCoreApplication::sendPostedEvents();  // mixer change messages, repaint
    };
    for (int i = 0; i < 20; ++i) oneTick();  // caches and pools filled
    const uint64_t from = allocations.load();
    for (auto _ : state) oneTick();
    state.counters["allocs_per_tick"] =
        static_cast<double>(allocations.load() - from) / static_cast<double>(state.iterations());
  }
  mmsystem::installDriver(std::move(previous));
}
BENCHMARK_CAPTURE(BM_MeterTick, hidden, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MeterTick, shown, true)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);  // the program's own: every event goes through its notify()
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
