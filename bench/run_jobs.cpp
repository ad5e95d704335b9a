// A batch run in one process against the same run with worker processes (--jobs).
//
//   bench_run_jobs [kelvara executable] [jobs...]     (default: ../app/kelvara beside this
//                                                      program, jobs 2)
//   bench_run_jobs --make DIR                         only write the drawings into DIR
//
// 200 generated drawings of 10,000 elements (lines and line strings, 10 % planted exact
// duplicates) in one folder, cleaned by `kelvara DIR/*.dgn` and by `kelvara --jobs N
// DIR/*.dgn`, each on fresh copies written to disk before the clock starts. The runs alternate
// (serial, then each N, KELVARA_BENCH_RUNS rounds, default 5) so that a change in the machine's
// load touches both alike. Prints every run's wall time, the best and the median, the
// throughput of each N against the serial run's (median over median, and the spread of the
// per-round ratios) and the CPU time per drawing (the workers' included), which the machine's
// load does not change. Scratch files go to the temporary folder.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_drawing.h"
#include "bench/bench_measure.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDrawings = 200;
constexpr size_t kElements = 10000;

// Seconds of wall time for kelvara with `args` in `dir` (its CPU time added to *cpu); exits
// when the run fails.
double timeKelvara(const std::string& bin, const std::string& dir,
                   const std::vector<std::string>& args, double* cpu) {
  const kelvara::bench::ChildRun run = kelvara::bench::runKelvaraIn(bin, dir, args);
  *cpu += run.cpuSeconds;
  return run.wallSeconds;
}

// The folder holds exactly fresh copies of the pristine drawings, synced to disk.
void freshCopies(const std::string& dir, const std::vector<std::string>& pristine) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const std::string& source : pristine)
    fs::copy_file(source, dir + "/" + fs::path(source).filename().string());
  ::sync();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Writes the benchmark's drawings into dir; their paths.
std::vector<std::string> makeDrawings(const std::string& dir) {
  fs::create_directories(dir);
  std::vector<std::string> paths;
  for (int i = 0; i < kDrawings; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/d%03d.dgn", i);
    paths.push_back(dir + name);
    kelvara::bench::writeDrawing(paths.back(), kelvara::bench::randomDrawing(kElements, 1000 + i));
  }
  return paths;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--make") {
    (void)makeDrawings(argv[2]);
    return 0;
  }
  std::string bin =
      (fs::canonical("/proc/self/exe").parent_path().parent_path() / "app" / "kelvara").string();
  if (argc > 1) bin = argv[1];
  std::vector<int> jobs;
  for (int i = 2; i < argc; ++i) jobs.push_back(std::atoi(argv[i]));
  if (jobs.empty()) jobs = {2};
  const char* runsText = std::getenv("KELVARA_BENCH_RUNS");
  const int rounds = runsText && std::atoi(runsText) > 0 ? std::atoi(runsText) : 5;

  const std::string root = (fs::temp_directory_path() / "kelvara_bench_jobs").string();
  const std::string pristineDir = root + "/pristine";
  fs::remove_all(root);
  const std::vector<std::string> pristine = makeDrawings(pristineDir);
  std::printf("%d drawings of %zu elements, %d rounds\n", kDrawings, kElements, rounds);

  const std::string dir = root + "/run";
  std::vector<double> serial;
  double serialCpu = 0;
  std::vector<double> parallelCpu(jobs.size());
  std::vector<std::vector<double>> parallel(jobs.size());
  for (int round = 0; round < rounds; ++round) {
    freshCopies(dir, pristine);
    serial.push_back(timeKelvara(bin, dir, {dir + "/*.dgn"}, &serialCpu));
    std::printf("round %d: serial %.2f s", round + 1, serial.back());
    for (size_t j = 0; j < jobs.size(); ++j) {
      freshCopies(dir, pristine);
      parallel[j].push_back(timeKelvara(
          bin, dir, {"--jobs", std::to_string(jobs[j]), dir + "/*.dgn"}, &parallelCpu[j]));
      std::printf(", --jobs %d %.2f s", jobs[j], parallel[j].back());
    }
    std::printf("\n");
  }
  const double serialMedian = median(serial);
  std::printf("serial:   best %.2f s, median %.2f s, %.1f drawings/s, CPU %.1f ms/drawing\n",
              *std::min_element(serial.begin(), serial.end()), serialMedian,
              kDrawings / serialMedian, 1000 * serialCpu / rounds / kDrawings);
  for (size_t j = 0; j < jobs.size(); ++j) {
    std::vector<double> ratios;
    for (int round = 0; round < rounds; ++round)
      ratios.push_back(serial[static_cast<size_t>(round)] /
                       parallel[j][static_cast<size_t>(round)]);
    const double m = median(parallel[j]);
    std::printf(
        "--jobs %d: best %.2f s, median %.2f s, %.1f drawings/s, throughput x%.2f of serial "
        "(per round x%.2f to x%.2f), CPU %.1f ms/drawing\n",
        jobs[j], *std::min_element(parallel[j].begin(), parallel[j].end()), m, kDrawings / m,
        serialMedian / m, *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()),
        1000 * parallelCpu[j] / rounds / kDrawings);
  }
  fs::remove_all(root);
  return 0;
}
