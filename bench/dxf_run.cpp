// Full delete runs of the kelvara executable on a large generated R2018 DXF drawing.
//
// Writes a drawing of N entities (default 1,000,000; first argument), LINE and 4-vertex
// LWPOLYLINE in turn, every tenth a duplicate, into a scratch folder (second argument: its
// parent, the temporary folder by default), then runs `kelvara` (third argument, default
// build/app/kelvara) on fresh copies of it: open, compare, delete, write the patched file and the
// text report; once without design report and backup, once with the factory settings (the
// design report, a DXF copy of the drawing, and the backup too). Prints, for each, entities per
// second (wall and CPU, best of KELVARA_BENCH_RUNS runs, and the median wall time) and
// kelvara's peak resident memory against the budget of file size + 100 bytes per entity, and
// checks the file lost exactly the duplicates.
//
// Usage: bench_dxf_run [ENTITIES] [FOLDER] [KELVARA]
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_dxf.h"
#include "bench/bench_measure.h"
#include "host/dxf/dxf.h"

using namespace kelvara;

namespace {

constexpr size_t kDuplicateEvery = 10;

size_t entityCount(const std::string& path) {
  dxf::Drawing d;
  dxf::DxfError error;
  if (!dxf::readDrawing(path, d, error)) {
    std::fprintf(stderr, "%s\n", error.text.c_str());
    return 0;
  }
  const dxf::Section* s = dxf::findSection(d, "ENTITIES");
  return s ? s->recordCount : 0;
}

struct Configuration {
  const char* name;
  std::vector<std::string> settings;
};

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path parent = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  const fs::path dir = parent / "kelvara_bench_dxf_run";
  fs::remove_all(dir);
  fs::create_directories(dir / "appdata");
  fs::create_directories(dir / "tmp");
  const char* countArg[] = {argv[0], argc > 1 ? argv[1] : "1000000", dir.c_str()};
  const auto [count, original, fileSize] = bench::writeInputFile(
      3, const_cast<char**>(countArg), "original.dxf",
      [](const std::string& p, size_t n) { return bench::writeDxfDrawing(p, n, kDuplicateEvery); });
  const std::string bin =
      argc > 3 ? argv[3] : (fs::current_path() / "build" / "app" / "kelvara").string();
  const double budgetMb = (double(fileSize) + 100.0 * double(count)) / 1e6;
  const size_t duplicates = count >= 2 ? (count - 1) / kDuplicateEvery : 0;
  std::printf("entities: %zu (%zu duplicates), file: %.1f MB, memory budget %.1f MB\n", count,
              duplicates, double(fileSize) / 1e6, budgetMb);
  const Configuration configurations[] = {
      {"without design report and backup", {"--set", "DESIGN_REPORT__=0", "--set", "BACKUP=0"}},
      {"factory settings (design report, backup)", {}},
  };
  bool right = true;
  for (const Configuration& c : configurations) {
    bench::ChildRun best;
    std::vector<double> walls;
    for (int run = 0; run < bench::benchRuns(); ++run) {
      for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path() != original) fs::remove(entry.path());
      const std::string drawing = (dir / "drawing.dxf").string();
      fs::copy_file(original, drawing);
      bench::settle();
      std::vector<std::string> args = c.settings;
      args.push_back("drawing.dxf");
      const bench::ChildRun r = bench::runKelvaraIn(bin, dir.string(), args);
      walls.push_back(r.wallSeconds);
      if (run == 0 || r.wallSeconds < best.wallSeconds) best = r;
      best.peakMb = std::max(best.peakMb, r.peakMb);
      const size_t left = entityCount(drawing);
      if (left != count - duplicates) {
        std::printf("entities left: %zu (expected %zu)\n", left, count - duplicates);
        right = false;
      }
    }
    std::sort(walls.begin(), walls.end());
    const double median = walls[walls.size() / 2];
    std::printf("%s, best of %d:\n", c.name, bench::benchRuns());
    std::printf("  %.3f s wall (%.0f entities/s), %.3f s CPU (%.0f entities/s), peak %.1f MB\n",
                best.wallSeconds, double(count) / best.wallSeconds, best.cpuSeconds,
                double(count) / best.cpuSeconds, best.peakMb);
    std::printf("  median of the runs %.3f s wall (%.0f entities/s)\n", median,
                double(count) / median);
  }
  fs::remove_all(dir);
  return right ? 0 : 1;
}
