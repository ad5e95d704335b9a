// The whole comparison of one model: load + sort + pass, on generated 2D drawings of lines and
// line strings with 10 % planted exact duplicates, and on 2,000 line strings that share one
// range. Prints elements per second, the growth from 10^5 to 10^6, the cost of overlap and
// underlap, and the table's bytes per element. A plain main: each figure on the random drawings
// is the fastest of KELVARA_BENCH_RUNS timed runs (default 3; the machine may be shared).
//
//   bench_engine_pass [max elements [nodiag [default]]]   (default 1000000, with the diagonals)
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_drawing.h"
#include "engine/load.h"
#include "host/design.h"
#include "host/dgn/build.h"
#include "host/dgn/codec.h"
#include "host/dgn/image.h"
#include "host/state.h"
#include "host/ui.h"

namespace {

using namespace kelvara;

using bench::Element;
using bench::lineString;
using bench::randomDrawing;
using bench::writeDrawing;

// 2,000 line strings from one corner of the sheet to the other through a point on the other
// diagonal: the same range for all, none a duplicate of another.
std::vector<Element> diagonals() {
  std::vector<Element> out;
  const double side = 1e8;
  for (int i = 0; i < 2000; ++i) {
    const double t = (i + 1) / 2001.0;
    out.push_back(lineString({{0, 0, 0}, {side * t, side * (1 - t), 0}, {side, side, 0}}));
  }
  return out;
}

struct Figures {
  double loadSort = 0;  // set-up: load and sort (wall clock)
  double pass = 0;
  double cpu = 0;      // processor time of both (the machine may be shared)
  double cpuLoad = 0;  // of load + sort
  size_t entries = 0;
  size_t duplicates = 0;
  double bytesPerEntry = 0;
  uint64_t compared = 0;
};

// What the range index (built with underlap) holds.
size_t rangeIndexBytes(const RangeIndex& index) {
  size_t bytes =
      index.leaves.capacity() * sizeof(IndexBox) + index.leafNodes.capacity() * sizeof(NodeId) +
      (index.rankLow.capacity() + index.rankHigh.capacity() + index.rankExtent.capacity()) *
          sizeof(uint32_t);
  for (const auto& level : index.levels) bytes += level.capacity() * sizeof(IndexBox);
  return bytes;
}

Figures timeRun(const std::string& path, const EngineSettings& settings) {
  resetDesignState();
  resetHostState();
  Engine& e = engine();
  e.settings = settings;
  e.candidatesCompared = 0;
  const std::clock_t c0 = std::clock();
  const auto t0 = std::chrono::steady_clock::now();
  if (setUpModel(e, nullptr, path, "Default", path, false) != SUCCESS) {
    std::fprintf(stderr, "set-up failed for %s\n", path.c_str());
    std::exit(1);
  }
  const auto t1 = std::chrono::steady_clock::now();
  const std::clock_t c1 = std::clock();
  (void)runPassToEnd(e);
  const auto t2 = std::chrono::steady_clock::now();
  Figures f;
  f.cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
  f.cpuLoad = double(c1 - c0) / CLOCKS_PER_SEC;
  f.loadSort = std::chrono::duration<double>(t1 - t0).count();
  f.pass = std::chrono::duration<double>(t2 - t1).count();
  f.entries = e.table.elementCount - 1;
  f.compared = e.candidatesCompared;
  for (NodeId n = e.table.head; n != kNoNode; n = nextNode(e.table, n, LoadOrder)) {
    f.duplicates += entryOf(e.table, n).status == STATUS_DUPLICATE;
  }
  const size_t bytes = e.table.list.nodes.capacity() * sizeof(ElementNode) +
                       e.table.list.freeNodes.capacity() * sizeof(NodeId) +
                       e.keys.capacity() * sizeof(EntryKey) + rangeIndexBytes(e.table.index);
  f.bytesPerEntry = double(bytes) / double(f.entries);
  clearTable(e.table);
  e.keys = {};
  resetDesignState();  // the deletions are not saved
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t maxN = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const bool onlyDefault = argc > 3 && std::string(argv[3]) == "default";
  const char* runsText = std::getenv("KELVARA_BENCH_RUNS");
  const int runs = runsText != nullptr && std::atoi(runsText) > 0 ? std::atoi(runsText) : 3;
  const std::string dir = std::filesystem::temp_directory_path() / "kelvara_bench_pass";
  std::filesystem::create_directories(dir);
  (void)setUiPort(UiPort{});  // nothing printed

  EngineSettings defaults;
  defaults.interactive = false;  // an unattended run: duplicates are deleted, not reviewed
  defaults.backup = false;
  EngineSettings loose = defaults;
  loose.overlap = true;
  loose.allowUnderlap = true;

  std::printf("%-10s %10s %9s %9s %9s %9s %12s %10s %10s\n", "elements", "settings", "load+sort",
              "pass", "total", "cpu", "elements/s", "duplicates", "bytes/el");
  double total5 = 0, total6 = 0;
  for (size_t n = 10000; n <= maxN; n *= 10) {
    const std::string path = dir + "/random_" + std::to_string(n) + ".dgn";
    writeDrawing(path, randomDrawing(n, n));
    double defaultTotal = 0;
    for (const auto* s : {&defaults, &loose}) {
      if (s == &loose && onlyDefault) continue;
      Figures f = timeRun(path, *s);
      for (int run = 1; run < runs; ++run) {
        const Figures again = timeRun(path, *s);
        if (again.cpu < f.cpu) f = again;
      }
      const double total = f.cpu;
      if (s == &defaults) defaultTotal = total;
      std::printf("%-10zu %10s %9.3f %9.3f %9.3f %9.3f %12.0f %10zu %10.1f", n,
                  s == &defaults ? "default" : "ovl+undl", f.loadSort, f.pass, f.loadSort + f.pass,
                  f.cpu, double(f.entries) / total, f.duplicates, f.bytesPerEntry);
      std::printf("  (cpu load+sort %.3f)", f.cpuLoad);
      if (s == &loose) std::printf("   x%.2f of default", total / defaultTotal);
      std::printf("\n");
    }
    if (n == 100000) total5 = defaultTotal;
    if (n == 1000000) total6 = defaultTotal;
    std::filesystem::remove(path);
  }
  if (total5 > 0 && total6 > 0) std::printf("10^6 / 10^5 cpu time: x%.2f\n", total6 / total5);

  if (argc > 2 && std::string(argv[2]) == "nodiag") return 0;
  const std::string diag = dir + "/diagonals.dgn";
  writeDrawing(diag, diagonals());
  for (const auto* s : {&defaults, &loose}) {
    if (s == &loose && onlyDefault) continue;
    const Figures f = timeRun(diag, *s);
    std::printf(
        "2000 diagonals (%s): load+sort %.4f s, pass %.4f s, cpu %.4f s, pairs "
        "compared %llu, duplicates %zu\n",
        s == &defaults ? "default" : "ovl+undl", f.loadSort, f.pass, f.cpu,
        static_cast<unsigned long long>(f.compared), f.duplicates);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
