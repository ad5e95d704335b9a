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

#include "bench/bench_measure.h"
#include "host/dxf/dxf.h"
#include "host/dxf/write.h"

using namespace kelvara;
using bench::cpuSeconds;
using bench::peakRssKb;

namespace {

void tag(std::string& out, const char* code, const std::string& value) {
  out += code;
  out += '\n';
  out += value;
  out += '\n';
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string hex(uint64_t h) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
  return buf;
}

void appendEntity(std::string& out, size_t i) {
  const double x = double(i % 1000) * 10.5, y = double(i / 1000) * 10.25;
  const bool line = i % 2 == 0;
  tag(out, "  0", line ? "LINE" : "LWPOLYLINE");
  tag(out, "  5", hex(0x100 + i));
  tag(out, "330", "1F");
  tag(out, "100", "AcDbEntity");
  tag(out, "  8", "Layer" + std::to_string(i % 16));
  if (i % 3 == 0) tag(out, " 62", std::to_string(1 + i % 255));
  if (line) {
    tag(out, "100", "AcDbLine");
    tag(out, " 10", number(x)), tag(out, " 20", number(y)), tag(out, " 30", "0.0");
    tag(out, " 11", number(x + 7.5)), tag(out, " 21", number(y + 3.1)), tag(out, " 31", "0.0");
    return;
  }
  tag(out, "100", "AcDbPolyline");
  tag(out, " 90", "4"), tag(out, " 70", "0"), tag(out, " 43", "0.0");
  for (int v = 0; v < 4; ++v) {
    tag(out, " 10", number(x + 2.5 * v));
    tag(out, " 20", number(y + (v % 2) * 1.75));
  }
}

bool writeDrawing(const std::string& path, size_t count) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::string out;
  auto section = [&](const char* name) { tag(out, "  0", "SECTION"), tag(out, "  2", name); };
  auto endsec = [&] { tag(out, "  0", "ENDSEC"); };
  section("HEADER");
  tag(out, "  9", "$ACADVER"), tag(out, "  1", "AC1032");
  tag(out, "  9", "$HANDSEED"), tag(out, "  5", hex(0x100 + count));
  tag(out, "  9", "$INSUNITS"), tag(out, " 70", "4");
  endsec();
  section("TABLES");
  tag(out, "  0", "TABLE"), tag(out, "  2", "LAYER"), tag(out, "  5", "2");
  for (int l = 0; l < 16; ++l) {
    tag(out, "  0", "LAYER"), tag(out, "  5", hex(0x20 + l)), tag(out, "330", "2");
    tag(out, "  2", "Layer" + std::to_string(l)), tag(out, " 70", "0"), tag(out, " 62", "7");
    tag(out, "  6", "Continuous");
  }
  tag(out, "  0", "ENDTAB");
  tag(out, "  0", "TABLE"), tag(out, "  2", "BLOCK_RECORD"), tag(out, "  5", "1");
  tag(out, "  0", "BLOCK_RECORD"), tag(out, "  5", "1F"), tag(out, "330", "1");
  tag(out, "  2", "*Model_Space"), tag(out, "340", "1A");
  tag(out, "  0", "ENDTAB");
  endsec();
  section("BLOCKS");
  tag(out, "  0", "BLOCK"), tag(out, "  5", "1C"), tag(out, "330", "1F");
  tag(out, "  2", "*Model_Space"), tag(out, " 70", "0");
  tag(out, "  0", "ENDBLK"), tag(out, "  5", "1D"), tag(out, "330", "1F");
  endsec();
  section("ENTITIES");
  for (size_t i = 0; i < count; ++i) {
    appendEntity(out, i);
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), f);
      out.clear();
    }
  }
  endsec();
  section("OBJECTS");
  tag(out, "  0", "LAYOUT"), tag(out, "  5", "1A"), tag(out, "330", "1B");
  tag(out, "100", "AcDbLayout"), tag(out, "  1", "Model"), tag(out, " 71", "0");
  tag(out, "330", "1F");
  endsec();
  tag(out, "  0", "EOF");
  std::fwrite(out.data(), 1, out.size(), f);
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto [count, path, fileSize] =
      bench::writeInputFile(argc, argv, "kelvara_bench_index.dxf", writeDrawing);
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
