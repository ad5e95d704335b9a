// Scanning and descriptor reading on a large generated 2D design file.
//
// Writes a file of N line and line-string elements (default 1,000,000; first argument), then
// times: opening it (read and index), scanning every file position, and reading every
// element's descriptor (with its decoded record). Prints elements per second and the peak
// resident memory against the budget of file size + 64 bytes per element.
//
// Usage: bench_dgn_scan [ELEMENTS] [FOLDER]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_measure.h"
#include "host/design.h"
#include "host/dgn/codec.h"

using namespace kelvara;
using bench::cpuSeconds;
using bench::peakRssKb;

namespace {

// Appends one element: a line (even i) or a 4-vertex line string (odd i), on levels 1-63.
void appendElement(std::vector<uint8_t>& out, size_t i) {
  const bool isLine = i % 2 == 0;
  const size_t size = isLine ? 52 : 38 + 4 * 8;
  const size_t at = out.size();
  out.resize(at + size, 0);
  uint8_t* e = out.data() + at;
  e[0] = static_cast<uint8_t>(1 + i % 63);
  e[1] = isLine ? 3 : 4;
  dgn::writeU16(e + 2, static_cast<uint16_t>((size - 4) / 2));
  const int32_t x = static_cast<int32_t>(i % 100000) * 100,
                y = static_cast<int32_t>(i / 100000) * 100;
  const int32_t range[6] = {x, y, 0, x + 90, y + 90, 0};
  for (int k = 0; k < 6; ++k) dgn::writeRange32(e + 4 + 4 * k, range[k]);
  dgn::writeU16(e + 30, static_cast<uint16_t>((size - 32) / 2));
  dgn::writeU16(e + 34, dgn::makeSymbology(static_cast<int>(i % 256), 1, 0));
  uint8_t* p = e + 36;
  if (!isLine) {
    dgn::writeU16(p, 4);
    p += 2;
  }
  const int n = isLine ? 2 : 4;
  for (int v = 0; v < n; ++v) {
    dgn::writeInt32(p + 8 * v, x + 30 * v);
    dgn::writeInt32(p + 8 * v + 4, y + (v % 2) * 90);
  }
}

bool writeDesign(const std::string& path, size_t count) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::vector<uint8_t> buf(1536, 0);
  buf[0] = 0x08;
  buf[1] = 0x09;
  dgn::writeU16(buf.data() + 2, 766);
  dgn::writeInt32(buf.data() + 1112, 10);
  dgn::writeInt32(buf.data() + 1116, 100);
  for (size_t i = 0; i < count; ++i) {
    appendElement(buf, i);
    if (buf.size() > (1 << 20)) {
      std::fwrite(buf.data(), 1, buf.size(), f);
      buf.clear();
    }
  }
  buf.push_back(0xFF);
  buf.push_back(0xFF);
  std::fwrite(buf.data(), 1, buf.size(), f);
  return std::fclose(f) == 0;
}

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  const auto [count, path, fileSize] =
      bench::writeInputFile(argc, argv, "kelvara_bench_scan.dgn", writeDesign);
  const long baseKb = peakRssKb();

  using clock = std::chrono::steady_clock;
  const double c0 = cpuSeconds();
  const auto t0 = clock::now();
  if (mdlSystem_newDesignFile(path) != SUCCESS) {
    std::fprintf(stderr, "%s\n", lastDesignError().c_str());
    return 1;
  }
  const ModelRef model = mdlModelRef_getActive();
  const auto t1 = clock::now();
  const double c1 = cpuSeconds();

  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  mdlScan_setDrawnElements(&sc, true);
  std::vector<uint32_t> batch(4096);
  size_t read = 0, vertices = 0;
  int got = 0, status;
  do {
    status = mdlScan_file(batch.data(), &got, static_cast<int>(batch.size()), &sc);
    for (int i = 0; i < got; ++i) {
      ElmDscrPtr d;
      if (mdlElmdscr_read(&d, batch[i], model) != SUCCESS) continue;
      if (const auto* lin = std::get_if<dgn::LinearRecord>(&d->record))
        vertices += lin->points.size();
      ++read;
    }
  } while (status == SUCCESS);
  const auto t2 = clock::now();
  const double c2 = cpuSeconds();
  const long peakKb = peakRssKb();

  const double open = seconds(t0, t1), scan = seconds(t1, t2);
  const double budgetMb = (double(fileSize) + 64.0 * double(count)) / 1e6;
  std::printf("elements: %zu (read %zu, %zu vertices), file: %.1f MB\n", count, read, vertices,
              double(fileSize) / 1e6);
  std::printf("open (read + index): %.3f s wall, %.3f s CPU, %.1f M elements/s (CPU)\n", open,
              c1 - c0, count / (c1 - c0) / 1e6);
  std::printf(
      "scan + read every descriptor: %.3f s wall (%.1f M elements/s), %.3f s CPU "
      "(%.1f M elements/s)\n",
      scan, read / scan / 1e6, c2 - c1, read / (c2 - c1) / 1e6);
  std::printf("peak memory: %.1f MB total, %.1f MB above the start (budget %.1f MB)\n",
              peakKb / 1e3, (peakKb - baseKb) / 1e3, budgetMb);
  std::filesystem::remove(path);
  return read == count ? 0 : 1;
}
