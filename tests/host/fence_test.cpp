// The fence: definition, point location, and "entirely inside" for points, paths and ranges.
#include "host/fence.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fresh_host.h"

namespace kelvara {
namespace {

using Pts = std::vector<DPoint3d>;

struct FenceTest : test::FreshHost {
  // Defines the host's fence and returns a copy of it.
  static Fence fence(const Pts& polygon) {
    EXPECT_EQ(mdlFence_define(polygon), SUCCESS);
    Fence f;
    EXPECT_EQ(mdlClip_getFence(&f), SUCCESS);
    return f;
  }
};

// 0..100 square.
const Pts kSquare = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
// A U opening upwards: the notch is x 40..60, y 40..100.
const Pts kU = {{0, 0}, {100, 0}, {100, 100}, {60, 100}, {60, 40}, {40, 40}, {40, 100}, {0, 100}};

TEST_F(FenceTest, DefineDropsRepeatsAndRefusesDegeneratePolygons) {
  Pts closed = kSquare;
  closed.push_back(kSquare.front());
  closed.insert(closed.begin() + 1, closed[1]);  // a doubled vertex
  EXPECT_EQ(fence(closed).points.size(), 4u);

  const Pts bad[] = {
      {},
      {{0, 0}, {10, 0}},
      {{0, 0}, {10, 0}, {0, 0}},
      {{0, 0}, {5, 5}, {10, 10}},  // collinear: no area
      {{0, 0}, {10, 0}, {std::numeric_limits<double>::quiet_NaN(), 5}},
  };
  for (const Pts& p : bad) {
    EXPECT_EQ(mdlFence_define(p), ERROR) << p.size() << " points";
    EXPECT_FALSE(fenceIsDefined()) << "a refused fence leaves none";
  }
  Fence out;
  EXPECT_EQ(mdlClip_getFence(&out), ERROR);
}

TEST_F(FenceTest, ClearRemovesTheFence) {
  fence(kSquare);
  EXPECT_TRUE(fenceIsDefined());
  mdlFence_clear();
  EXPECT_FALSE(fenceIsDefined());
}

TEST_F(FenceTest, LocatesPoints) {
  const Fence square = fence(kSquare);
  const Fence u = fence(kU);
  struct Case {
    const Fence& f;
    DPoint3d p;
    FenceLocation expected;
  };
  const Case cases[] = {
      {square, {50, 50}, FenceLocation::Inside},
      {square, {50, 50, 1e9}, FenceLocation::Inside},  // z is ignored
      {square, {0, 50}, FenceLocation::Boundary},
      {square, {100, 100}, FenceLocation::Boundary},
      {square, {100.0000001, 50}, FenceLocation::Boundary},  // within the tolerance
      {square, {100.001, 50}, FenceLocation::Outside},
      {square, {-1, -1}, FenceLocation::Outside},
      {square, {150, 0}, FenceLocation::Outside},  // on the line of an edge, beyond it
      {u, {50, 70}, FenceLocation::Outside},       // in the notch
      {u, {50, 40}, FenceLocation::Boundary},      // notch floor
      {u, {50, 20}, FenceLocation::Inside},
      {u, {20, 100}, FenceLocation::Boundary},
      {u, {20, 40}, FenceLocation::Inside},  // level with a notch vertex
  };
  for (const Case& c : cases) {
    EXPECT_EQ(locatePoint(c.f, c.p), c.expected) << c.p.x << "," << c.p.y;
  }
  EXPECT_EQ(locatePoint(Fence{}, {0, 0}), FenceLocation::Outside);
}

TEST_F(FenceTest, PathInsideOnlyWhenEverySegmentIsInside) {
  const Fence u = fence(kU);
  struct Case {
    const char* what;
    Pts path;
    bool closed;
    bool expected;
  };
  const Case cases[] = {
      {"left arm", {{10, 10}, {10, 90}, {30, 90}}, false, true},
      {"across the bottom", {{10, 20}, {90, 20}}, false, true},
      {"vertices in both arms, segment over the notch", {{20, 80}, {80, 80}}, false, false},
      {"along the notch floor", {{20, 40}, {80, 40}}, false, true},
      {"through the notch's corners", {{30, 30}, {70, 70}}, false, false},
      {"on the outer edges", {{0, 0}, {100, 0}, {100, 100}}, false, true},
      {"closing segment crosses the notch", {{20, 90}, {20, 20}, {80, 20}, {80, 90}}, true, false},
      {"same path left open", {{20, 90}, {20, 20}, {80, 20}, {80, 90}}, false, true},
      {"one vertex outside", {{10, 10}, {110, 10}}, false, false},
      {"single point inside", {{10, 10}}, false, true},
      {"repeated point", {{10, 10}, {10, 10}}, true, true},
      {"empty", {}, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fenceContainsPath(u, c.path, c.closed), c.expected) << c.what;
  }
}

TEST_F(FenceTest, PointSetsIgnoreTheSegmentsBetweenThem) {
  const Fence u = fence(kU);
  const Pts twoArms = {{20, 80}, {80, 80}};
  EXPECT_TRUE(fenceContainsPoints(u, twoArms));
  EXPECT_FALSE(fenceContainsPath(u, twoArms, false));
  EXPECT_FALSE(fenceContainsPoints(u, Pts{{20, 80}, {50, 80}}));
  EXPECT_FALSE(fenceContainsPoints(u, Pts{}));
}

TEST_F(FenceTest, RangeInsideOnlyWhenItsRectangleIs) {
  const Fence square = fence(kSquare);
  const Fence u = fence(kU);
  struct Case {
    const Fence& f;
    DRange3d r;
    bool expected;
  };
  const Case cases[] = {
      {square, {10, 10, -5, 90, 90, 5}, true},
      {square, {0, 0, 0, 100, 100, 0}, true},  // exactly the fence
      {square, {0, 0, 0, 101, 100, 0}, false},
      {square, {50, 50, 0, 50, 50, 0}, true},  // a point range
      {u, {10, 10, 0, 30, 90, 0}, true},
      {u, {10, 10, 0, 90, 30, 0}, true},
      {u, {10, 10, 0, 90, 50, 0}, false},  // reaches into the notch
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fenceContainsRange(c.f, c.r), c.expected)
        << c.r.xLow << "," << c.r.yLow << " " << c.r.xHigh << "," << c.r.yHigh;
  }
}

}  // namespace
}  // namespace kelvara
