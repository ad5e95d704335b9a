// With underlap the candidate search finds its candidates through the range index. It must
// decide every entry as the walks along the orderings do, and accept the same candidate.
#include <algorithm>
#include <random>

#include "host/design.h"
#include "host/dgn/codec.h"
#include "host/state.h"
#include "host/ui.h"
#include "tests/engine_pass/pass_fixture.h"

namespace kelvara::test {
namespace {

// A crowded sheet: line strings on a coarse grid, a few across the whole sheet, lines lying on
// their segments (some run the other way), exact and reversed copies with other weights, arcs, near
// copies off by a few units, and a few elements whose stored range is reversed.
DesignBuilder crowdedDrawing(uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> grid(0, 30), steps(2, 6), dir(0, 3), weight(0, 2), kind(0, 9);
  std::uniform_int_distribution<int> jitter(-3, 3);
  DesignBuilder d;
  std::vector<std::vector<DPoint3d>> strings;
  const auto at = [](int gx, int gy) { return DPoint3d{gx * 500.0, gy * 500.0, 0}; };
  for (int i = 0; i < 700; ++i) {
    const int k = kind(rng);
    if (i % 40 == 0) {  // a long line string across the sheet, for others to lie on
      const int gy = grid(rng);
      strings.push_back({at(0, gy), at(10, gy), at(20, gy), at(30, gy)});
      d.add(lineString(strings.back(), {.weight = weight(rng)}));
      continue;
    }
    if (k <= 3 || strings.empty()) {
      int gx = grid(rng), gy = grid(rng);
      std::vector<DPoint3d> pts{at(gx, gy)};
      for (int s = steps(rng); s > 0; --s) {
        const int d4 = dir(rng);
        gx += d4 == 0 ? 1 : d4 == 1 ? -1 : 0;
        gy += d4 == 2 ? 1 : d4 == 3 ? -1 : 0;
        pts.push_back(at(gx, gy));
      }
      strings.push_back(pts);
      d.add(lineString(pts, {.weight = weight(rng)}));
      continue;
    }
    std::vector<DPoint3d> pts = strings[rng() % strings.size()];
    const Symb s{.weight = weight(rng)};
    if (k == 4) {  // a segment of it, either way round
      const size_t from = rng() % (pts.size() - 1);
      if (rng() % 2) {
        d.add(line(pts[from], pts[from + 1], s));
      } else {
        d.add(line(pts[from + 1], pts[from], s));
      }
    } else if (k == 5) {  // a whole copy, reversed half the time
      if (rng() % 2) std::reverse(pts.begin(), pts.end());
      d.add(lineString(pts, s));
    } else if (k == 6) {  // a near copy
      for (DPoint3d& p : pts) p.x += jitter(rng), p.y += jitter(rng);
      d.add(lineString(pts, s));
    } else if (k == 7) {  // an arc through the area
      d.add(arc(pts[0], 500, 500, 0, 0, 90, s));
    } else if (k == 8) {  // the first two vertices
      d.add(lineString({pts[0], pts[1]}, s));
    } else {  // a line whose stored range runs backwards in x
      Element e = line(pts[0], pts[1], s);
      DRange3d r;
      r.xLow = int64_t(std::max(pts[0].x, pts[1].x)) + 900;
      r.xHigh = int64_t(std::min(pts[0].x, pts[1].x)) - 900;
      r.yLow = int64_t(std::min(pts[0].y, pts[1].y));
      r.yHigh = int64_t(std::max(pts[0].y, pts[1].y));
      dgn::writeRange(e.data(), r);
      d.add(e);
    }
  }
  return d;
}

struct Outcome {
  std::vector<uint32_t> status, active;
  std::vector<NodeId> matched;  // by node
  bool indexed = false;
  size_t duplicates = 0, rejected = 0, reversedRanges = 0;
};

// Writes the drawing afresh (a run saves its deletions when the file is closed) and runs the
// pass over it, with or without the index.
Outcome runOnce(const DesignBuilder& drawing, const std::string& path,
                const EngineSettings& settings, bool useIndex) {
  ScopedScriptedUi ui;
  Outcome out;
  EXPECT_EQ(setUpDrawing(drawing, path, settings), SUCCESS);
  Engine& e = engine();
  out.indexed = e.table.index.usable;
  if (!useIndex) e.table.index.usable = false;
  out.matched.assign(e.table.list.nodes.size(), kNoNode);
  for (;;) {
    const NodeId node = e.step.current;
    e.matchedCandidate = kNoNode;
    if (passStep(e) != PASS_CONTINUE) break;
    out.matched[node] = e.matchedCandidate;
  }
  for (NodeId n = e.table.head; n != kNoNode; n = nextNode(e.table, n, LoadOrder)) {
    const ElementEntry& entry = entryOf(e.table, n);
    out.status.push_back(entry.status);
    out.active.push_back(entry.active);
    out.duplicates += entry.status == STATUS_DUPLICATE;
    out.rejected += entry.status == STATUS_REJECTED;
    out.reversedRanges += entry.xLow > entry.xHigh;
  }
  clearTable(e.table);
  EXPECT_EQ(closeAllDesignFiles(), SUCCESS);
  resetDesignState();
  return out;
}

TEST(UnderlapIndex, DecidesAndMatchesAsTheWalks) {
  ScratchDir dir;
  const std::string path = dir.file("crowded.dgn");
  struct Case {
    const char* name;
    bool overlap, reversed, keepWider;
    const char* tolerance;
  };
  const Case cases[] = {
      {"underlap", false, false, false, "1.0"},
      {"underlap, reversed", false, true, false, "1.0"},
      {"underlap, reversed, keep wider", false, true, true, "1.0"},
      {"overlap and underlap", true, false, false, "0.005"},
      {"overlap and underlap, keep wider", true, true, true, "0.005"},
  };
  for (uint32_t seed : {1u, 2u}) {
    const DesignBuilder drawing = crowdedDrawing(seed);
    for (const Case& c : cases) {
      EngineSettings s = unattended();
      s.allowUnderlap = true;
      s.overlap = c.overlap;
      s.allowReversed = c.reversed;
      s.keepWider = c.keepWider;
      s.ignore.useWeight = c.keepWider;  // lets copies of other weights match
      s.tolerance = c.tolerance;
      const Outcome walked = runOnce(drawing, path, s, false);
      const Outcome indexed = runOnce(drawing, path, s, true);
      SCOPED_TRACE(std::string(c.name) + ", seed " + std::to_string(seed));
      ASSERT_TRUE(indexed.indexed);
      // Not a vacuous comparison: the drawing gives duplicates, and rejections where the keep
      // rule can refuse, and holds reversed ranges.
      EXPECT_GT(walked.duplicates, 50u);
      if (c.keepWider) {
        EXPECT_GT(walked.rejected, 10u);
      }
      EXPECT_GT(walked.reversedRanges, 10u);
      EXPECT_EQ(indexed.status, walked.status);
      EXPECT_EQ(indexed.active, walked.active);
      EXPECT_EQ(indexed.matched, walked.matched);
    }
  }
}

TEST(UnderlapIndex, NotBuiltWithoutUnderlapOrForRangesBeyond32Bits) {
  ScratchDir dir;
  const std::string path = dir.file("two.dgn");
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0})).add(line({0, 0}, {1000, 0}));
  EngineSettings s = unattended();
  EXPECT_FALSE(runOnce(d, path, s, true).indexed);
  s.allowUnderlap = true;
  const Outcome o = runOnce(d, path, s, true);
  EXPECT_TRUE(o.indexed);
  EXPECT_EQ(o.duplicates, 1u);

  // A range that does not fit 32 bits leaves the table to the walks, which still decide.
  ElementTable t;
  appendSentinel(t);
  ElementSummary far;
  far.elementType = 3;
  far.range.xHigh = 5000000000LL;
  ASSERT_NE(appendElement(t, 1, {STATUS_LOADED, 1}, 100, far), kNoNode);
  buildOrderings(t, true);
  EXPECT_FALSE(t.index.usable);
  EXPECT_EQ(t.index.rankLow.size(), t.list.nodes.size());
}

}  // namespace
}  // namespace kelvara::test
