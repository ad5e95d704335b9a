// A full delete run of the kelvara executable on a large generated R2018 DXF drawing.
//
// Writes a drawing of N entities (default 1,000,000; first argument), LINE and 4-vertex
// LWPOLYLINE in turn, every tenth a duplicate, into a scratch folder (second argument: its
// parent, the temporary folder by default), then runs `kelvara` (third argument, default
// build/app/kelvara) on it with the factory settings but without design report and backup:
// open, compare, delete, write the patched file and the text report. Prints entities per second
// (wall and CPU) and kelvara's peak resident memory against the budget of file size + 100 bytes
// per entity, and checks the file lost exactly the duplicates.
//
// Usage: bench_dxf_run [ENTITIES] [FOLDER] [KELVARA]
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const fs::path parent = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  const fs::path dir = parent / "kelvara_bench_dxf_run";
  fs::remove_all(dir);
  fs::create_directories(dir / "appdata");
  fs::create_directories(dir / "tmp");
  const char* countArg[] = {argv[0], argc > 1 ? argv[1] : "1000000", dir.c_str()};
  const auto [count, path, fileSize] = bench::writeInputFile(
      3, const_cast<char**>(countArg), "drawing.dxf",
      [](const std::string& p, size_t n) { return bench::writeDxfDrawing(p, n, kDuplicateEvery); });
  const std::string bin =
      argc > 3 ? argv[3] : (fs::current_path() / "build" / "app" / "kelvara").string();
  const bench::ChildRun run = bench::runKelvaraIn(
      bin, dir.string(), {"--set", "DESIGN_REPORT__=0", "--set", "BACKUP=0", "drawing.dxf"});
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  const double peakMb = double(u.ru_maxrss) / 1e3;
  const double budgetMb = (double(fileSize) + 100.0 * double(count)) / 1e6;
  const size_t duplicates = count >= 2 ? (count - 1) / kDuplicateEvery : 0;
  const size_t left = entityCount(path);
  std::printf("entities: %zu (%zu duplicates), file: %.1f MB\n", count, duplicates,
              double(fileSize) / 1e6);
  std::printf("delete run: %.3f s wall (%.0f entities/s), %.3f s CPU (%.0f entities/s)\n",
              run.wallSeconds, double(count) / run.wallSeconds, run.cpuSeconds,
              double(count) / run.cpuSeconds);
  std::printf("kelvara peak memory: %.1f MB (budget %.1f MB)\n", peakMb, budgetMb);
  std::printf("entities left: %zu (expected %zu)\n", left, count - duplicates);
  fs::remove_all(dir);
  return left == count - duplicates ? 0 : 1;
}
