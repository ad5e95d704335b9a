// A large generated R2018 DXF drawing for the benchmarks: LINE and 4-vertex LWPOLYLINE
// entities in turn on 16 layers, written as AutoCAD and ezdxf lay the file out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kelvara::bench {

inline void tag(std::string& out, const char* code, const std::string& value) {
  out += code;
  out += '\n';
  out += value;
  out += '\n';
}

inline std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string hex(uint64_t h) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h));
  return buf;
}

// A well mixed 64-bit value of n.
inline uint64_t mixed(uint64_t n) {
  n ^= n >> 33;
  n *= 0xff51afd7ed558ccdull;
  n ^= n >> 33;
  n *= 0xc4ceb9fe1a85ec53ull;
  return n ^ (n >> 33);
}

// Entity i: LINE for even i, LWPOLYLINE for odd i, on a grid of 1000 columns. With
// `duplicateEvery` > 0 the entities lie scattered over a square of 100,000 units instead (as the
// engine's benchmarks place theirs) and every such entity repeats the geometry of the one two
// before it (same type), so a run finds it a duplicate.
inline void appendEntity(std::string& out, size_t i, size_t duplicateEvery = 0) {
  const size_t place = duplicateEvery > 0 && i >= 2 && i % duplicateEvery == 0 ? i - 2 : i;
  double x = double(place % 1000) * 10.5, y = double(place / 1000) * 10.25;
  if (duplicateEvery > 0) {
    x = double(mixed(place) % 100000000) / 1000.0;
    y = double(mixed(place + 0x9E3779B97F4A7C15ull) % 100000000) / 1000.0;
  }
  const bool line = i % 2 == 0;
  tag(out, "  0", line ? "LINE" : "LWPOLYLINE");
  tag(out, "  5", hex(0x100 + i));
  tag(out, "330", "1F");
  tag(out, "100", "AcDbEntity");
  tag(out, "  8", "Layer" + std::to_string(place % 16));
  if (place % 3 == 0) tag(out, " 62", std::to_string(1 + place % 255));
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

// Writes an R2018 drawing of `count` entities (see appendEntity) in the layout AutoCAD and ezdxf
// write; false when the file cannot be written.
inline bool writeDxfDrawing(const std::string& path, size_t count, size_t duplicateEvery = 0) {
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
    appendEntity(out, i, duplicateEvery);
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

}  // namespace kelvara::bench
