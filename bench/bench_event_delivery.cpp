// One event delivered through the application object's guarded notify(), as every
// event of the window reaches its receiver: "allocs_per_event" must stay 0.
#include <benchmark/benchmark.h>

#include <QEvent>
#include <QObject>

#include "app/application.h"
#include "counting_new.h"

namespace {

void BM_EventDelivery(benchmark::State& state) {
  QObject receiver;
  QEvent event(QEvent::User);
  for (int i = 0; i < 20; ++i) QCoreApplication::sendEvent(&receiver, &event);
  const uint64_t from = allocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(QCoreApplication::sendEvent(&receiver, &event));
  state.counters["allocs_per_event"] =
      static_cast<double>(allocations.load() - from) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EventDelivery);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
