// Drawing builders shared by the benchmarks: a 2D line string element and a whole drawing
// file (2D, 1000 UOR per master unit) written from element bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "host/dgn/build.h"
#include "host/dgn/codec.h"
#include "host/dgn/image.h"
#include "host/types.h"

namespace kelvara::bench {

using Element = std::vector<uint8_t>;

inline Element lineString(const std::vector<DPoint3d>& pts) {
  Element e = dgn::beginElement(4, 1);
  e.resize(dgn::HEADER_BYTES + 2 + 8 * pts.size(), 0);
  dgn::writeU16(e.data() + 36, static_cast<uint16_t>(pts.size()));
  DRange3d r{INT64_MAX, INT64_MAX, 0, INT64_MIN, INT64_MIN, 0};
  for (size_t i = 0; i < pts.size(); ++i) {
    dgn::putPoint(e.data() + 38 + 8 * i, pts[i], false);
    r.xLow = std::min<int64_t>(r.xLow, dgn::roundToInt32(pts[i].x));
    r.yLow = std::min<int64_t>(r.yLow, dgn::roundToInt32(pts[i].y));
    r.xHigh = std::max<int64_t>(r.xHigh, dgn::roundToInt32(pts[i].x));
    r.yHigh = std::max<int64_t>(r.yHigh, dgn::roundToInt32(pts[i].y));
  }
  dgn::writeRange(e.data(), r);
  dgn::finishElement(e);
  return e;
}

// Writes the elements as a 2D drawing; exits with the error when the file cannot be written.
inline void writeDrawing(const std::string& path, const std::vector<Element>& elements) {
  dgn::TcbRecord units;
  units.subPerMaster = 10;
  units.uorPerSub = 100;
  std::vector<uint8_t> bytes = dgn::makeEmptyDesign(false, units);
  bytes.resize(bytes.size() - 2);  // the end-of-design word goes after the elements
  for (const Element& e : elements) bytes.insert(bytes.end(), e.begin(), e.end());
  bytes.push_back(0xFF);
  bytes.push_back(0xFF);
  std::string error;
  if (writeFileAtomically(path, bytes, &error) != SUCCESS) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
}

// n elements on a sheet of side `side` UOR (10^8 by default): half lines, half line strings of
// 3 to 6 vertices, each short (up to 20,000 UOR); 10 % are exact copies of other elements,
// spread through the file. The engine and the run benchmarks time the same drawing.
inline std::vector<Element> randomDrawing(size_t n, uint64_t seed, int side = 100000000) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<int> coord(0, side), step(-10000, 10000), vertices(3, 6);
  const size_t unique = n - n / 10;
  std::vector<Element> out;
  out.reserve(n);
  for (size_t i = 0; i < unique; ++i) {
    const DPoint3d start{double(coord(rng)), double(coord(rng)), 0};
    if (i % 2 == 0) {
      out.push_back(dgn::makeLine(start, {start.x + step(rng), start.y + step(rng), 0}, false));
      continue;
    }
    std::vector<DPoint3d> pts{start};
    const int count = vertices(rng);
    for (int k = 1; k < count; ++k) {
      pts.push_back({pts.back().x + step(rng), pts.back().y + step(rng), 0});
    }
    out.push_back(lineString(pts));
  }
  std::uniform_int_distribution<size_t> pick(0, unique - 1);
  for (size_t i = unique; i < n; ++i) out.push_back(out[pick(rng)]);
  std::shuffle(out.begin(), out.end(), rng);
  return out;
}

}  // namespace kelvara::bench
