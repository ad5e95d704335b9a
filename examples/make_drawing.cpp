// make_drawing COUNT OUTPUT [SEED [SIDE]]: writes a generated 2D drawing of COUNT short lines and
// line strings on a sheet of SIDE by SIDE units of resolution (default 10^8), a tenth of them
// exact copies of others spread through the file (the drawing the benchmarks time). A small
// sheet crowds the elements, so that each is compared with many others. Browser tests and timing
// scripts use it for drawings large enough to watch a run's progress or cancel it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_drawing.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: make_drawing COUNT OUTPUT [SEED [SIDE]]\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long long count = std::strtoull(argv[1], &end, 10);
  if (*end != '\0' || count < 10 || count > 10000000) {
    std::fprintf(stderr, "make_drawing: COUNT is a whole number from 10 to 10000000\n");
    return 2;
  }
  const uint64_t seed = argc >= 4 ? std::strtoull(argv[3], nullptr, 10) : 1;
  const long side = argc == 5 ? std::strtol(argv[4], nullptr, 10) : 100000000;
  if (side < 1000 || side > 1000000000) {
    std::fprintf(stderr, "make_drawing: SIDE is a whole number from 1000 to 1000000000\n");
    return 2;
  }
  kelvara::bench::writeDrawing(argv[2],
                               kelvara::bench::randomDrawing(count, seed, static_cast<int>(side)));
  return 0;
}
