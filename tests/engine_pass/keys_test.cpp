// The cheap rejection by entry keys must never reject a pair that the full comparison accepts.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/compare_pair.h"
#include "engine/load.h"
#include "tests/support/dgn_builder.h"

namespace kelvara::test {
namespace {

struct Shape {
  Element bytes;
  ElmDscrPtr descriptor;
  EntryKey key;
};

// Lines, line strings and shapes over a few points, so that many pairs share vertices, run
// reversed, start elsewhere on a closed ring or lie on one another.
std::vector<Shape> shapes(bool is3d) {
  const std::vector<DPoint3d> p{{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 7}};
  std::vector<std::vector<DPoint3d>> runs;
  for (size_t i = 0; i < p.size(); ++i) {
    for (size_t j = 0; j < p.size(); ++j) {
      if (i != j) runs.push_back({p[i], p[j]});
      for (size_t k = 0; k < p.size(); ++k) {
        if (i != j && j != k) runs.push_back({p[i], p[j], p[k]});
      }
    }
  }
  runs.push_back({p[0], p[1], p[2], p[3], p[0]});
  runs.push_back({p[1], p[2], p[3], p[0], p[1]});
  runs.push_back({p[2], p[1], p[0], p[3], p[2]});
  runs.push_back({p[0], p[3], p[2], p[1], p[0]});
  runs.push_back({p[0], p[1], p[2], p[3]});
  runs.push_back({{0, 0, 0}, {999, 0, 0}});                 // length 999 against 1000
  runs.push_back({{0, 0, 0}, {1000, 0, 0}, {1000, 0, 0}});  // a repeated vertex
  std::vector<Shape> out;
  for (const auto& r : runs) {
    std::vector<Element> forms{lineString(r, {}, is3d)};
    if (r.size() == 2) forms.push_back(line(r[0], r[1], {}, is3d));
    if (r.size() >= 3) forms.push_back(shape(r, {}, is3d));
    for (Element& e : forms) {
      Shape s;
      s.bytes = std::move(e);
      EXPECT_EQ(mdlElmdscr_new(&s.descriptor, s.bytes, is3d), SUCCESS);
      s.key = entryKeyOf(s.bytes.data(), static_cast<uint32_t>(s.bytes.size()), is3d);
      EXPECT_NE(s.key.flags & KEY_VERTICES, 0);
      out.push_back(std::move(s));
    }
  }
  return out;
}

TEST(EntryKeys, NeverRejectAMatch) {
  for (bool is3d : {false, true}) {
    const std::vector<Shape> all = shapes(is3d);
    for (int mask = 0; mask < 8; ++mask) {
      CompareOptions o;
      o.overlap = mask & 1;
      o.allowReversed = mask & 2;
      o.allowUnderlap = mask & 4;
      o.toleranceUor = 0.5;
      int matches = 0, rejected = 0;
      for (size_t i = 0; i < all.size(); ++i) {
        for (size_t j = 0; j < all.size(); ++j) {
          const Shape &a = all[i], &b = all[j];
          const int r = comparePair({a.descriptor.get(), 0}, {b.descriptor.get(), 0}, o);
          matches += r == COMPARE_DUPLICATE;
          if (keysMayMatch(a.key, b.key, o)) continue;
          ++rejected;
          EXPECT_NE(r, COMPARE_DUPLICATE)
              << "options " << mask << ", 3D " << is3d << ": shapes " << i << " and " << j;
        }
      }
      EXPECT_GT(matches, 0) << mask;
      EXPECT_GT(rejected, 0) << mask;  // the keys do reject pairs in every mode
    }
  }
}

TEST(EntryKeys, DescribeTheVertices) {
  const Element closed = shape({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
  const EntryKey k = entryKeyOf(closed.data(), static_cast<uint32_t>(closed.size()), false);
  EXPECT_EQ(k.vertexCount, 4);
  EXPECT_EQ(k.flags, KEY_VERTICES | KEY_CLOSED);
  // The same ring from another vertex and the other way round has the same shape hash.
  const Element rotated = shape({{10, 10}, {0, 0}, {10, 0}, {10, 10}});
  const EntryKey r = entryKeyOf(rotated.data(), static_cast<uint32_t>(rotated.size()), false);
  EXPECT_EQ(r.shapeHash, k.shapeHash);
  EXPECT_NE(r.sequenceHash, k.sequenceHash);
  EXPECT_NEAR(k.length, 10 + 10 + std::sqrt(200.0), 1e-3);
  const Element open = lineString({{0, 0}, {10, 0}});
  const EntryKey o = entryKeyOf(open.data(), static_cast<uint32_t>(open.size()), false);
  EXPECT_EQ(o.flags, KEY_VERTICES);
  const Element back = lineString({{10, 0}, {0, 0}});
  const EntryKey b = entryKeyOf(back.data(), static_cast<uint32_t>(back.size()), false);
  EXPECT_EQ(b.shapeHash, o.shapeHash);
  EXPECT_NE(b.sequenceHash, o.sequenceHash);
  // Elements that are not plain vertex lists get no vertex facts, and neither does a body
  // whose vertex count runs past its end.
  const Element circle = ellipse({0, 0}, 10, 10, 0);
  EXPECT_EQ(entryKeyOf(circle.data(), static_cast<uint32_t>(circle.size()), false).flags, 0);
  EXPECT_EQ(entryKeyOf(open.data(), 40, false).flags, 0);
}

}  // namespace
}  // namespace kelvara::test
