// Whole runs from the command line, timed against the engine alone.
//
//   bench_run_batch [kelvara executable]     (default: ../app/kelvara beside this program)
//
// 1. A generated 2D drawing of 1,000,000 lines and line strings with 10 % planted exact
//    duplicates (the drawing of bench_engine_pass): the engine's load + sort + pass, in a
//    fresh process as kelvara runs in (`bench_run_batch --engine FILE`) and in this process,
//    whose memory is already warm; then a full delete run of `kelvara` on a copy (text report,
//    design report, backup, the cleaned file written), and the same run writing the duplicates
//    list as CSV and as GeoJSON (--list), and the run without the list once more. Prints the
//    times, their ratios, and the ratios round by round.
// 2. A batch of 200 drawings of 1,000 elements each in one folder: `kelvara DIR/*.dgn`.
//    Prints files per second.
// A plain main: each figure is the best of KELVARA_BENCH_RUNS timed runs (default 3), every run
// on fresh copies of the drawings, written to disk before the clock starts, and after a pause of
// KELVARA_BENCH_SETTLE seconds (default 3): on a virtual machine whose host takes back freed
// memory, a run that starts right after another process freed its memory is spared the cost of
// first touching fresh pages, and the figures would depend on what ran just before. Scratch
// files go to a folder of their own in the temporary folder (KELVARA_BENCH_KEEP keeps it).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_drawing.h"
#include "bench/bench_measure.h"
#include "engine/load.h"
#include "host/design.h"
#include "host/dgn/build.h"
#include "host/dgn/codec.h"
#include "host/dgn/image.h"
#include "host/state.h"
#include "host/ui.h"

namespace {

using namespace kelvara;
namespace fs = std::filesystem;
using bench::Element;
using bench::randomDrawing;
using bench::writeDrawing;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// User + system CPU seconds of this process (RUSAGE_SELF) or its waited-for children.
double cpuSeconds(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
  double wall = 0;
  double cpu = 0;
};

// The engine alone: load + sort + whole pass, nothing written.
Timing timeEngine(const std::string& path) {
  resetDesignState();
  resetHostState();
  (void)setUiPort(UiPort{});
  Engine& e = engine();
  e.settings = EngineSettings{};
  e.settings.interactive = false;
  e.settings.backup = false;
  const double c0 = cpuSeconds(RUSAGE_SELF);
  const auto t0 = Clock::now();
  if (setUpModel(e, nullptr, path, "Default", path, false) != SUCCESS) {
    std::fprintf(stderr, "set-up failed for %s\n", path.c_str());
    std::exit(1);
  }
  (void)runPassToEnd(e);
  const auto t1 = Clock::now();
  const double c1 = cpuSeconds(RUSAGE_SELF);
  clearTable(e.table);
  e.keys = {};
  resetDesignState();
  return {seconds(t0, t1), c1 - c0};
}

// Runs kelvara in `dir` with the arguments; returns the wall time, exits on failure.
Timing timeKelvara(const std::string& bin, const std::string& dir,
                   const std::vector<std::string>& args) {
  const kelvara::bench::ChildRun run = kelvara::bench::runKelvaraIn(bin, dir, args);
  return {run.wallSeconds, run.cpuSeconds};
}

// The engine alone in a process of its own (this program with --engine FILE), so that it
// starts from the same fresh memory as a kelvara run. Exits on failure.
Timing timeEngineInFreshProcess(const std::string& path) {
  std::fflush(stdout);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) std::exit(1);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    ::dup2(pipeFds[1], 1);
    const char* self = "/proc/self/exe";
    char* argv[] = {const_cast<char*>(self), const_cast<char*>("--engine"),
                    const_cast<char*>(path.c_str()), nullptr};
    ::execv(self, argv);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  char text[128] = {};
  size_t got = 0;
  for (ssize_t n;
       got + 1 < sizeof text && (n = ::read(pipeFds[0], text + got, sizeof text - 1 - got)) > 0;)
    got += static_cast<size_t>(n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  Timing t;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      std::sscanf(text, "%lf %lf", &t.wall, &t.cpu) != 2) {
    std::fprintf(stderr, "engine run failed (status %d)\n", status);
    std::exit(1);
  }
  return t;
}

void freshFolder(const std::string& dir) {
  fs::remove_all(dir);
  fs::create_directories(dir + "/appdata");
  fs::create_directories(dir + "/tmp");
}

// Copies of the pristine drawings into the folder (replacing what a run left there), on disk
// before the clock starts, so that a run does not share the disk with the copying.
void freshCopies(const std::string& dir, const std::vector<std::string>& pristine,
                 const std::vector<std::string>& names) {
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) fs::remove(entry.path());
  }
  for (size_t i = 0; i < names.size(); ++i) {
    fs::copy_file(pristine[i], dir + "/" + names[i], fs::copy_options::overwrite_existing);
  }
  kelvara::bench::settle();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

Timing best(const Timing& a, const Timing& b) {
  return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--engine") {
    const Timing t = timeEngine(argv[2]);
    std::printf("%.6f %.6f\n", t.wall, t.cpu);
    return 0;
  }
  std::string bin;
  if (argc > 1) {
    bin = argv[1];
  } else {
    bin =
        (fs::canonical("/proc/self/exe").parent_path().parent_path() / "app" / "kelvara").string();
  }
  std::string root = (fs::temp_directory_path() / "kelvara_bench_run_XXXXXX").string();
  if (::mkdtemp(root.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const int runs = bench::benchRuns();
  const Timing none{1e30, 1e30};

  // 1. One large drawing.
  const std::string big = root + "/big";
  const std::string pristine = root + "/pristine";
  freshFolder(big);
  fs::create_directories(pristine);
  const std::string bigPristine = pristine + "/random_1000000.dgn";
  writeDrawing(bigPristine, randomDrawing(1000000, 1000000));
  Timing engineTime = none, warmEngineTime = none, runTime = none, csvTime = none, jsonTime = none;
  // Each round's list runs against the run without in the same round: the machine's speed
  // drifts less within a round than across rounds.
  // A second run without the list in each round gives the rounds' own spread: what the ratios
  // would show if the list cost nothing.
  std::vector<double> csvRatios, jsonRatios, againRatios;
  for (int run = 0; run < runs; ++run) {
    freshCopies(big, {bigPristine}, {"random_1000000.dgn"});
    engineTime = best(engineTime, timeEngineInFreshProcess(big + "/random_1000000.dgn"));
    warmEngineTime = best(warmEngineTime, timeEngine(big + "/random_1000000.dgn"));
    freshCopies(big, {bigPristine}, {"random_1000000.dgn"});
    const Timing plain = timeKelvara(bin, big, {"random_1000000.dgn"});
    freshCopies(big, {bigPristine}, {"random_1000000.dgn"});
    const Timing csv = timeKelvara(bin, big, {"--list", "d.csv", "random_1000000.dgn"});
    freshCopies(big, {bigPristine}, {"random_1000000.dgn"});
    const Timing json = timeKelvara(bin, big, {"--list", "d.geojson", "random_1000000.dgn"});
    freshCopies(big, {bigPristine}, {"random_1000000.dgn"});
    const Timing again = timeKelvara(bin, big, {"random_1000000.dgn"});
    runTime = best(runTime, plain);
    csvTime = best(csvTime, csv);
    jsonTime = best(jsonTime, json);
    csvRatios.push_back(csv.wall / plain.wall);
    jsonRatios.push_back(json.wall / plain.wall);
    againRatios.push_back(again.wall / plain.wall);
  }
  std::printf("1,000,000 elements, 10%% duplicates, best of %d  wall s    cpu s\n", runs);
  std::printf("  engine load+sort+pass, fresh process    %8.3f %8.3f\n", engineTime.wall,
              engineTime.cpu);
  std::printf("  engine load+sort+pass, in this process  %8.3f %8.3f\n", warmEngineTime.wall,
              warmEngineTime.cpu);
  std::printf("  kelvara delete run (text and design     %8.3f %8.3f\n", runTime.wall, runTime.cpu);
  std::printf("  reports, backup, cleaned file saved)\n");
  std::printf("  ratio to the fresh engine (limit 2.00)  %8.2f %8.2f\n",
              runTime.wall / engineTime.wall, runTime.cpu / engineTime.cpu);
  std::printf("  ratio to the engine in this process     %8.2f %8.2f\n",
              runTime.wall / warmEngineTime.wall, runTime.cpu / warmEngineTime.cpu);
  std::printf("  the delete run with --list d.csv        %8.3f %8.3f\n", csvTime.wall, csvTime.cpu);
  std::printf("  ratio to the run without (limit 1.15)   %8.2f %8.2f\n",
              csvTime.wall / runTime.wall, csvTime.cpu / runTime.cpu);
  std::printf("  the delete run with --list d.geojson    %8.3f %8.3f\n", jsonTime.wall,
              jsonTime.cpu);
  std::printf("  ratio to the run without (limit 1.15)   %8.2f %8.2f\n",
              jsonTime.wall / runTime.wall, jsonTime.cpu / runTime.cpu);
  std::printf("  round by round, wall: median ratio %.2f (CSV), %.2f (GeoJSON)\n",
              median(csvRatios), median(jsonRatios));
  auto list = [](const std::vector<double>& ratios) {
    std::string out;
    for (double r : ratios) out += (out.empty() ? "" : " ") + std::to_string(r).substr(0, 4);
    return out;
  };
  std::printf("    CSV rounds:     %s\n    GeoJSON rounds: %s\n", list(csvRatios).c_str(),
              list(jsonRatios).c_str());
  std::printf(
      "    the run without the list again, against the first (the rounds' spread):\n"
      "                    %s, median %.2f\n",
      list(againRatios).c_str(), median(againRatios));

  // 2. A batch of small drawings.
  const std::string batch = root + "/batch";
  freshFolder(batch);
  const int files = 200;
  std::vector<std::string> sources, names;
  for (int i = 0; i < files; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "plan%03d.dgn", i);
    names.push_back(name);
    sources.push_back(pristine + "/" + name);
    writeDrawing(sources.back(), randomDrawing(1000, 7000 + i, 1000000));
  }
  Timing batchTime = none;
  for (int run = 0; run < runs; ++run) {
    freshCopies(batch, sources, names);
    batchTime = best(batchTime, timeKelvara(bin, batch, {batch + "/*.dgn"}));
  }
  std::printf(
      "%d drawings of 1,000 elements, best of %d: wall %.3f s (%.1f files/s), cpu %.3f s "
      "(%.1f files/s); limit >= 50 files/s\n",
      files, runs, batchTime.wall, files / batchTime.wall, batchTime.cpu, files / batchTime.cpu);
  if (std::getenv("KELVARA_BENCH_KEEP") == nullptr) fs::remove_all(root);
  return 0;
}
