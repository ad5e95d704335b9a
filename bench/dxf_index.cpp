// Opening and indexing a large generated R2018 DXF drawing.
//
// Writes a drawing of N entities (default 1,000,000; first argument), LINE and 4-vertex
// LWPOLYLINE in turn, in the layout AutoCAD and ezdxf write, then times: opening it (read and
// index), decoding every entity, and deleting every tenth entity: the deletion plan and the
// patched file's write. Prints entities per second and the peak resident memory against the
// budget of file size + 100 bytes per entity.
//
// Usage: bench_dxf_index [ENTITIES] [FOLDER]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_dxf.h"
#include "bench/bench_measure.h"
#include "host/dxf/dxf.h"
#include "host/dxf/write.h"

using namespace kelvara;
using bench::cpuSeconds;
using bench::peakRssKb;

int main(int argc, char** argv) {
  const auto [count, path, fileSize] = bench::writeInputFile(
      argc, argv, "kelvara_bench_index.dxf",
      [](const std::string& p, size_t n) { return bench::writeDxfDrawing(p, n); });
  const long baseKb = peakRssKb();

  using clock = std::chrono::steady_clock;
  const double c0 = cpuSeconds();
  const auto t0 = clock::now();
  dxf::Drawing d;
  dxf::DxfError error;
  if (!dxf::readDrawing(path, d, error)) {
    std::fprintf(stderr, "%s\n", error.text.c_str());
    return 1;
  }
  const auto t1 = clock::now();
  const double c1 = cpuSeconds();
  const long openKb = peakRssKb();

  size_t decoded = 0, vertices = 0;
  const dxf::Section* entities = dxf::findSection(d, "ENTITIES");
  dxf::Entity e;
  for (uint32_t i = 0; entities && i < entities->recordCount; ++i) {
    if (!dxf::decodeEntity(d, d.records[entities->firstRecord + i], e, error)) {
      std::fprintf(stderr, "%s\n", error.text.c_str());
      return 1;
    }
    vertices += e.vertices.size();
    ++decoded;
  }
  const auto t2 = clock::now();
  const double c2 = cpuSeconds();

  // Deleting every tenth entity: plan, then write the patched drawing.
  std::vector<uint32_t> doomed;
  for (uint32_t i = 0; entities && i < entities->recordCount; i += 10)
    doomed.push_back(entities->firstRecord + i);
  const dxf::DeletionPlan plan = dxf::planDeletion(d, doomed);
  const auto t3 = clock::now();
  const double c3 = cpuSeconds();
  std::string writeError;
  const std::string outPath = path + ".patched";
  if (!dxf::writePatched(d, plan.patch, outPath, writeError)) {
    std::fprintf(stderr, "%s\n", writeError.c_str());
    return 1;
  }
  const auto t4 = clock::now();
  const double c4 = cpuSeconds();
  const long writeKb = peakRssKb();

  const double open = std::chrono::duration<double>(t1 - t0).count();
  const double planned = std::chrono::duration<double>(t3 - t2).count();
  const double written = std::chrono::duration<double>(t4 - t3).count();
  const double decode = std::chrono::duration<double>(t2 - t1).count();
  const double budgetMb = (double(fileSize) + 100.0 * double(count)) / 1e6;
  std::printf("entities: %zu (decoded %zu, %zu vertices), records: %zu, file: %.1f MB\n", count,
              decoded, vertices, d.records.size(), double(fileSize) / 1e6);
  std::printf("open (read + index): %.3f s wall (%.2f M entities/s), %.3f s CPU (%.2f M/s)\n", open,
              count / open / 1e6, c1 - c0, count / (c1 - c0) / 1e6);
  std::printf("decode every entity: %.3f s wall (%.2f M entities/s), %.3f s CPU (%.2f M/s)\n",
              decode, decoded / decode / 1e6, c2 - c1, decoded / (c2 - c1) / 1e6);
  std::printf("peak memory after open: %.1f MB above the start (budget %.1f MB)\n",
              (openKb - baseKb) / 1e3, budgetMb);
  std::printf("delete %zu entities: plan %.3f s wall, %.3f s CPU (%.2f M entities/s of the file)\n",
              plan.patch.deleteRecords.size(), planned, c3 - c2, count / (c3 - c2) / 1e6);
  std::printf("write the patched file: %.3f s wall (%.2f M entities/s), %.3f s CPU (%.2f M/s)\n",
              written, count / written / 1e6, c4 - c3, count / (c4 - c3) / 1e6);
  std::printf("peak memory after the write: %.1f MB above the start (budget %.1f MB)\n",
              (writeKb - baseKb) / 1e3, budgetMb);
  std::filesystem::remove(path);
  std::filesystem::remove(outPath);
  return decoded == count && plan.refused.empty() &&
                 plan.patch.deleteRecords.size() == doomed.size()
             ? 0
             : 1;
}
