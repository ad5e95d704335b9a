// Cost of `admitted` per element: a run list of 10 sets, each with colour, level and per-type
// constraints, tested against 100,000 elements of a generated 2D drawing (lines, line strings,
// shapes and arcs on random levels and colours). The descriptors are read before timing; the
// figure is the evaluation alone. Target: at most 2 microseconds per element.
//
//   bench_selection_admitted --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "host/design.h"
#include "host/dgn/build.h"
#include "host/state.h"
#include "selection/admit.h"
#include "selection/file.h"

namespace kelvara {
namespace {

constexpr int kElements = 100000;

// Element bytes with the given symbology on top of a host-built line.
std::vector<uint8_t> element(std::mt19937& rng, int kind) {
  std::uniform_int_distribution<int> coord(0, 1000000);
  const double x = coord(rng), y = coord(rng);
  std::vector<uint8_t> e;
  switch (kind) {
    case 0:
      e = dgn::makeLine({x, y, 0}, {x + coord(rng) % 5000, y + 700, 0}, false);
      break;
    default: {
      // Line string (4) or shape (6) of five vertices.
      const int type = kind == 1 ? 4 : 6;
      e = dgn::beginElement(type, 1);
      const int n = 5;
      e.resize(38 + 8 * n);
      dgn::writeU16(e.data() + 36, n);
      const DPoint3d pts[n] = {
          {x, y, 0}, {x + 500, y, 0}, {x + 500, y + 500, 0}, {x, y + 500, 0}, {x, y, 0}};
      for (int i = 0; i < n; ++i) dgn::putPoint(e.data() + 38 + 8 * i, pts[i], false);
      dgn::writeRange(e.data(),
                      DRange3d{int64_t(x), int64_t(y), 0, int64_t(x) + 500, int64_t(y) + 500, 0});
      dgn::finishElement(e);
      break;
    }
  }
  // Level and colour.
  e[0] = static_cast<uint8_t>((e[0] & ~0x3F) | (1 + rng() % 40));
  dgn::writeU16(e.data() + 34, dgn::makeSymbology(rng() % 16, rng() % 4, 0));
  return e;
}

struct Drawing {
  std::string dir;
  std::vector<ElmDscrPtr> elements;
  std::string names;

  Drawing() {
    char tmpl[] = "/tmp/kelvara_bench_sel_XXXXXX";
    dir = mkdtemp(tmpl);
    const std::string path = dir + "/drawing.dgn";
    if (createDesignFile(path, false) != SUCCESS || mdlSystem_newDesignFile(path) != SUCCESS) {
      std::abort();
    }
    const ModelRef model = mdlModelRef_getActive();
    std::mt19937 rng(7);
    std::vector<uint32_t> positions;
    for (int i = 0; i < kElements; ++i) {
      positions.push_back(mdlElement_add(element(rng, i % 3), model));
    }
    for (uint32_t pos : positions) {
      ElmDscrPtr d;
      if (mdlElmdscr_read(&d, pos, model) == SUCCESS) elements.push_back(std::move(d));
    }
    // Ten sets; each admits lines, line strings and shapes of some colours and levels with
    // per-type rows.
    SelectionSetList list;
    for (int s = 0; s < 10; ++s) {
      SelectionSet set = emptySelectionSet("SET" + std::to_string(s));
      for (int t : {3, 4, 6}) toggleOf(set, t)->selected = 1;
      set.colors = std::to_string(s) + ", " + std::to_string(s + 5) + "-" + std::to_string(s + 6);
      set.levels = "1-" + std::to_string(3 + 3 * s) + ", " + std::to_string(30 + s);
      set.lists[LINE_LIST] = std::vector<std::string>{"> 1", "< 0.5"};
      set.lists[LINE_STRING_LIST] = std::vector<std::string>{"> 1", "= 5", "", "> 90"};
      set.lists[SHAPE_LIST] =
          std::vector<std::string>{"Not filled", "", "> 1", "", "Filled", "3", "", "= 5"};
      list.sets.push_back(set);
      if (s > 0) names += ",";
      names += set.name;
    }
    if (writeSelectionFile(dir + "/sets.sel", list) != SUCCESS) std::abort();
    if (loadRunList(dir + "/sets.sel", nullptr) != SEL_READ_OK) std::abort();
  }
  ~Drawing() {
    unloadRunList();
    resetDesignState();
    std::filesystem::remove_all(dir);
  }
};

Drawing& drawing() {
  static Drawing d;
  return d;
}

void BM_Admitted(benchmark::State& state) {
  Drawing& d = drawing();
  size_t admittedCount = 0;
  for (auto _ : state) {
    admittedCount = 0;
    for (const ElmDscrPtr& el : d.elements) admittedCount += admitted(*el, d.names) ? 1 : 0;
    benchmark::DoNotOptimize(admittedCount);
  }
  state.counters["time_per_element"] =
      benchmark::Counter(double(d.elements.size()) * double(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["admitted_share"] = double(admittedCount) / double(d.elements.size());
}
BENCHMARK(BM_Admitted)->Unit(benchmark::kMillisecond);

// The worst case: no set admits, so every element is tested by all ten sets.
void BM_AdmittedNone(benchmark::State& state) {
  Drawing& d = drawing();
  for (SelectionSet& s : runList().sets) s.colors = "200";
  for (auto _ : state) {
    size_t n = 0;
    for (const ElmDscrPtr& el : d.elements) n += admitted(*el, d.names) ? 1 : 0;
    benchmark::DoNotOptimize(n);
  }
  state.counters["time_per_element"] =
      benchmark::Counter(double(d.elements.size()) * double(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AdmittedNone)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvara

BENCHMARK_MAIN();
