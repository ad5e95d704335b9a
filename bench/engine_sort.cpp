// Sorting the element table: 10^6 entries in random and in nearly sorted x order (drawings are
// often loaded roughly left to right), one ordering (ByXLow) and all three (underlap on).
#include <benchmark/benchmark.h>

#include <random>

#include "engine/element_table.h"

namespace {

using namespace kelvara;

void fill(ElementTable& t, int64_t n, bool nearlySorted) {
  appendSentinel(t);
  t.list.reserve(static_cast<std::size_t>(n) + 1);
  std::mt19937_64 rng(42);
  for (int64_t i = 0; i < n; ++i) {
    const int64_t x = nearlySorted ? i * 1000 + static_cast<int64_t>(rng() % 5000)
                                   : static_cast<int64_t>(rng() % 1000000000);
    ElementSummary s;
    s.elementType = i % 2 ? 3 : 4;
    s.range = {x, x / 2, 0, x + static_cast<int64_t>(rng() % 100000), x / 2 + 500, 0};
    appendElement(t, 1, {STATUS_LOADED, 1}, static_cast<uint32_t>(1000 + i * 48), s);
  }
}

void BM_Sort(benchmark::State& state) {
  ElementTable t;
  fill(t, state.range(0), state.range(1) != 0);
  const bool underlap = state.range(2) != 0;
  for (auto _ : state) {
    buildOrderings(t, underlap);
    benchmark::DoNotOptimize(t.largestExtent);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["bytes_per_node"] = sizeof(ElementNode);
}

// args: entries, nearly sorted, underlap (all three orderings)
BENCHMARK(BM_Sort)
    ->Args({1000000, 0, 0})
    ->Args({1000000, 1, 0})
    ->Args({1000000, 0, 1})
    ->Args({1000000, 1, 1})
    ->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
  for (auto _ : state) {
    ElementTable t;
    fill(t, state.range(0), true);
    benchmark::DoNotOptimize(t.elementCount);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Load)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
