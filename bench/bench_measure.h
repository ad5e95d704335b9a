// Measuring helpers shared by the file benchmarks: peak memory, this thread's CPU time, and
// the generated input file named by the command line.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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

}  // namespace kelvara::bench
