// Measuring helpers shared by the file benchmarks: peak memory, this thread's CPU time, and
// the generated input file named by the command line.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvara::bench {

// The peak resident memory of this process so far.
inline long peakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// CPU time of this thread: on a busy machine the wall clock also counts other processes.
inline double cpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct InputFile {
  size_t count = 0;  // records in the file
  std::string path;
  uintmax_t size = 0;  // bytes
};

// Writes `name` with write(path, count) into the folder of the second argument (the temporary
// folder by default), count being the first argument (1,000,000 by default); exits when the file
// cannot be written.
template <typename Write>
InputFile writeInputFile(int argc, char** argv, const char* name, Write&& write) {
  InputFile in;
  in.count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const std::filesystem::path dir =
      argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
  in.path = (dir / name).string();
  if (!write(in.path, in.count)) {
    std::fprintf(stderr, "cannot write %s\n", in.path.c_str());
    std::exit(1);
  }
  in.size = std::filesystem::file_size(in.path);
  return in;
}

// User + system CPU seconds of the children waited for so far (their own children included).
inline double childrenCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct ChildRun {
  double wallSeconds = 0;
  double cpuSeconds = 0;
  double peakMb = 0;  // the child's peak resident memory
};

// Waits KELVARA_BENCH_SETTLE seconds (default 3) before a timed run: on a virtual machine whose
// host takes back freed memory, a run that starts right after another process freed its memory
// is spared the cost of first touching fresh pages, and the figures would depend on what ran
// just before.
inline void settle() {
  ::sync();
  const char* seconds = std::getenv("KELVARA_BENCH_SETTLE");
  ::usleep(static_cast<useconds_t>(1e6 * (seconds ? std::atof(seconds) : 3.0)));
}

// KELVARA_BENCH_RUNS, the timed runs of which a figure is the best (default 3).
inline int benchRuns() {
  const char* text = std::getenv("KELVARA_BENCH_RUNS");
  const int runs = text ? std::atoi(text) : 3;
  return runs > 0 ? runs : 1;
}

// Runs the kelvara program `bin` with `args` in `dir` (APPDATA and TEMP inside it, its output
// discarded) and times it; exits when the run fails.
inline ChildRun runKelvaraIn(const std::string& bin, const std::string& dir,
                             const std::vector<std::string>& args) {
  std::fflush(stdout);
  const double c0 = childrenCpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(120);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) {
      ::_exit(121);
    }
    ::setenv("APPDATA", (dir + "/appdata").c_str(), 1);
    ::setenv("TEMP", (dir + "/tmp").c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(bin.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(bin.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  const auto t1 = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "kelvara failed (status %d)\n", status);
    std::exit(1);
  }
  return {std::chrono::duration<double>(t1 - t0).count(), childrenCpuSeconds() - c0,
          double(usage.ru_maxrss) / 1e3};
}

}  // namespace kelvara::bench
