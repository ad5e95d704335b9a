// Linear comparison: each case states the result of A against B and of B against A.
#include "engine/linear.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvara {
namespace {

using Pts = std::vector<DPoint3d>;

LinearShape polyline(uint32_t type, Pts points) {
  LinearShape s;
  s.type = type;
  s.path.pieces.push_back({PathPiece::Kind::Polyline, std::move(points), {}});
  s.pieceTypes.push_back(type);
  return s;
}

LinearShape arc(DPoint3d centre, double radius, double start, double sweep) {
  LinearShape s;
  s.type = 16;
  PathPiece piece;
  piece.kind = PathPiece::Kind::Arc;
  piece.arc.centre = centre;
  piece.arc.primary = piece.arc.secondary = radius;
  piece.arc.start = start;
  piece.arc.sweep = sweep;
  s.path.pieces.push_back(piece);
  s.pieceTypes.push_back(16);
  return s;
}

LinearShape chain(uint32_t type, std::vector<LinearShape> parts) {
  LinearShape s;
  s.type = type;
  for (LinearShape& p : parts) {
    s.path.pieces.push_back(p.path.pieces.front());
    s.pieceTypes.push_back(p.type);
  }
  return s;
}

const Pts kSquare = {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}, {0, 0, 0}};
// The same square starting at (100,100), same direction; and starting at (100,0), reversed.
const Pts kSquareRotated = {{100, 100, 0}, {0, 100, 0}, {0, 0, 0}, {100, 0, 0}, {100, 100, 0}};
const Pts kSquareReversed = {{100, 0, 0}, {0, 0, 0}, {0, 100, 0}, {100, 100, 0}, {100, 0, 0}};
const Pts kBent = {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}};
const Pts kBentReversed = {{100, 100, 0}, {100, 0, 0}, {0, 0, 0}};
const Pts kLongRun = {{0, 0, 0}, {100, 0, 0}, {200, 0, 0}, {300, 0, 0}};

LinearOptions opts(bool overlap, double tol, bool reversed, bool underlap) {
  return {overlap, tol, reversed, underlap};
}

struct Case {
  std::string name;
  LinearShape a, b;
  LinearOptions options;
  int aAgainstB, bAgainstA;
};

TEST(LinearCompareTest, GeometryCasesBothWays) {
  const LinearOptions exact = opts(false, 0, false, false);
  const LinearOptions reversed = opts(false, 0, true, false);
  const LinearOptions underlap = opts(false, 0, false, true);
  const LinearOptions both = opts(false, 0, true, true);
  const std::vector<Case> cases = {
      {"same line string", polyline(4, kBent), polyline(4, kBent), exact, 1, 1},
      {"one vertex off by one UOR", polyline(4, kBent),
       polyline(4, {{0, 0, 0}, {100, 1, 0}, {100, 100, 0}}), exact, 3, 3},
      {"off by less than half a UOR", polyline(4, kBent),
       polyline(4, {{0, 0, 0}, {100.4, 0, 0}, {100, 99.6, 0}}), exact, 1, 1},
      {"reversed, switch off", polyline(4, kBent), polyline(4, kBentReversed), exact, 3, 3},
      {"reversed, switch on", polyline(4, kBent), polyline(4, kBentReversed), reversed, 1, 1},
      {"closed, other start, switch off", polyline(6, kSquare), polyline(6, kSquareRotated), exact,
       3, 3},
      {"closed, other start", polyline(6, kSquare), polyline(6, kSquareRotated), reversed, 1, 1},
      {"closed, other start, reversed", polyline(6, kSquare), polyline(6, kSquareReversed),
       reversed, 1, 1},
      {"closed, other vertices", polyline(6, kSquare),
       polyline(6, {{100, 100, 0}, {0, 100, 0}, {0, 0, 0}, {100, 5, 0}, {100, 100, 0}}), reversed,
       3, 3},
      {"line on vertices of a longer string, no underlap", polyline(3, {{100, 0, 0}, {200, 0, 0}}),
       polyline(4, kLongRun), exact, 3, 3},
      {"line on vertices of a longer string", polyline(3, {{100, 0, 0}, {200, 0, 0}}),
       polyline(4, kLongRun), underlap, 1, 3},
      {"reversed line on a longer string", polyline(3, {{200, 0, 0}, {100, 0, 0}}),
       polyline(4, kLongRun), underlap, 3, 3},
      {"reversed line on a longer string, reversal on", polyline(3, {{200, 0, 0}, {100, 0, 0}}),
       polyline(4, kLongRun), both, 1, 3},
      {"line between vertices of a longer string", polyline(3, {{50, 0, 0}, {150, 0, 0}}),
       polyline(4, kLongRun), both, 3, 3},
      {"chain concatenates its components",
       chain(12, {polyline(4, kBent), polyline(3, {{100, 100, 0}, {0, 100, 0}})}),
       polyline(4, {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {100, 100, 0}, {0, 100, 0}}), exact, 1,
       1},
      {"arc against its own stroke", arc({0, 0, 0}, 50, 0, kPi / 2),
       polyline(4,
                [] {
                  Pts pts;
                  ArcGeometry g;
                  g.primary = g.secondary = 50;
                  g.sweep = kPi / 2;
                  strokeArc(g, kStrokeTolerance, kMaxStrokePoints, pts);
                  return pts;
                }()),
       exact, 1, 1},
      // A single point is closed with itself: the rotations must not divide by zero.
      {"single points, equal", polyline(22, {{5, 5, 0}}), polyline(22, {{5, 5, 0}}), both, 1, 1},
      {"single points, different", polyline(22, {{5, 5, 0}}), polyline(22, {{6, 6, 0}}), both, 3,
       3},
      {"empty shape", polyline(4, {}), polyline(4, kBent), both, 3, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linearCompare(c.a, c.b, c.options, {}), c.aAgainstB) << c.name << ": A vs B";
    EXPECT_EQ(linearCompare(c.b, c.a, c.options, {}), c.bAgainstA) << c.name << ": B vs A";
  }
}

TEST(LinearCompareTest, OverlapCasesBothWays) {
  const LinearOptions half = opts(true, 0.5, false, false);
  const LinearOptions halfUnderlap = opts(true, 0.5, false, true);
  const LinearShape line100 = polyline(3, {{0, 0, 0}, {100, 0, 0}});
  const std::vector<Case> cases = {
      // 100.4 contains 100; the lengths agree within 0.5 and every sample lies on the other.
      {"100 in 100.4", line100, polyline(3, {{-0.2, 0, 0}, {100.2, 0, 0}}), half, 1, 1},
      {"100 in 100.4, tolerance 0.1", line100, polyline(3, {{-0.2, 0, 0}, {100.2, 0, 0}}),
       opts(true, 0.1, false, false), 3, 3},
      {"100 beside 100 at 0.6", line100, polyline(3, {{0, 0.6, 0}, {100, 0.6, 0}}), half, 3, 3},
      {"100 beside 100 at 0.4, reversed", line100, polyline(3, {{100, 0.4, 0}, {0, 0.4, 0}}), half,
       1, 1},
      {"50 on 100, no underlap", polyline(3, {{20, 0, 0}, {70, 0, 0}}), line100, half, 3, 3},
      {"50 on 100", polyline(3, {{20, 0, 0}, {70, 0, 0}}), line100, halfUnderlap, 1, 3},
      {"50 partly off 100", polyline(3, {{70, 0, 0}, {120, 0, 0}}), line100, halfUnderlap, 3, 3},
      {"line string on a line through its vertices",
       polyline(4, {{0, 0, 0}, {30, 0, 0}, {100, 0, 0}}), line100, half, 1, 1},
      {"arc against the reversed arc", arc({0, 0, 0}, 1000, 0, kPi / 2),
       arc({0, 0, 0}, 1000, kPi / 2, -kPi / 2), half, 1, 1},
      {"quarter arc on a half arc", arc({0, 0, 0}, 1000, kPi / 4, kPi / 2),
       arc({0, 0, 0}, 1000, 0, kPi), halfUnderlap, 1, 3},
      {"arcs of radii 1000 and 1000.6", arc({0, 0, 0}, 1000, 0, kPi / 2),
       arc({0, 0, 0}, 1000.6, 0, kPi / 2), opts(true, 2.0, false, false), 1, 1},
      {"arcs of radii 1000 and 1003", arc({0, 0, 0}, 1000, 0, kPi / 2),
       arc({0, 0, 0}, 1003, 0, kPi / 2), opts(true, 2.0, false, false), 3, 3},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(linearCompare(c.a, c.b, c.options, {}), c.aAgainstB) << c.name << ": A vs B";
    EXPECT_EQ(linearCompare(c.b, c.a, c.options, {}), c.bAgainstA) << c.name << ": B vs A";
  }
}

TEST(LinearCompareTest, CurveCrossingsAreItsVertices) {
  // A curve that loops over itself at (50, 0) and one that never meets itself.
  const LinearShape loop =
      polyline(27, {{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {50, 50, 0}, {50, -50, 0}});
  const LinearShape open = polyline(27, {{0, 0, 0}, {100, 0, 0}, {100, 50, 0}});
  std::vector<DPoint3d> v;
  ASSERT_EQ(vertexList(loop, v), SUCCESS);
  ASSERT_EQ(v.size(), 1u);
  EXPECT_NEAR(v[0].x, 50, 1e-9);
  EXPECT_NEAR(v[0].y, 0, 1e-9);
  EXPECT_EQ(vertexList(open, v), ERROR);
  EXPECT_EQ(linearCompare(loop, loop, {}, {}), 1);
  EXPECT_EQ(linearCompare(open, open, {}, {}), 3);
}

TEST(LinearCompareTest, AttributeTestsAfterGeometry) {
  int fillCalls = 0;
  AttributeTests fillDiffers{[&] { return ++fillCalls, false; }, nullptr, nullptr};
  AttributeTests symbologyDiffers{nullptr, [] { return false; }, nullptr};
  AttributeTests propertiesDiffer{nullptr, nullptr, [] { return false; }};
  const LinearShape shape = polyline(6, kSquare);
  const LinearShape complexShape = chain(14, {polyline(4, kSquare)});
  const LinearShape lineString = polyline(4, kSquare);
  // Fill counts only between closed elements.
  EXPECT_EQ(linearCompare(shape, shape, {}, fillDiffers), 2);
  EXPECT_EQ(linearCompare(shape, complexShape, {}, fillDiffers), 2);
  EXPECT_EQ(linearCompare(lineString, shape, {}, fillDiffers), 1);
  EXPECT_EQ(fillCalls, 2);
  EXPECT_EQ(linearCompare(lineString, lineString, {}, symbologyDiffers), 2);
  EXPECT_EQ(linearCompare(lineString, lineString, {}, propertiesDiffer), 2);
  // Geometry first: a different shape is 3 whatever the attributes.
  EXPECT_EQ(linearCompare(lineString, polyline(4, kBent), {}, symbologyDiffers), 3);
  EXPECT_EQ(fillCalls, 2);
}

TEST(SamplePointsTest, StepsAlongTheElement) {
  struct Case {
    double length, tolerance;
    std::size_t count;
    double second;  // x of the second sample
  };
  for (const Case& c : {Case{100, 0.5, 101, 1.0}, Case{10, 0.5, 21, 0.5},
                        Case{1000, 0.5, 101, 10.0}, Case{1, 0.5, 3, 0.5}}) {
    std::vector<DPoint3d> s;
    ASSERT_EQ(samplePoints(polyline(3, {{0, 0, 0}, {c.length, 0, 0}}), c.length, c.tolerance, s),
              SUCCESS);
    ASSERT_EQ(s.size(), c.count) << c.length;
    EXPECT_EQ(s.front(), (DPoint3d{0, 0, 0}));
    EXPECT_EQ(s.back(), (DPoint3d{c.length, 0, 0}));
    EXPECT_NEAR(s[1].x, c.second, 1e-9);
  }
  // An arc stroked into 101 points or more is sampled at its vertices.
  std::vector<DPoint3d> s;
  ASSERT_EQ(samplePoints(arc({0, 0, 0}, 100000, 0, kPi / 2), 50000 * kPi, 0.5, s), SUCCESS);
  EXPECT_EQ(s.size(), 177u);
  s.clear();
  EXPECT_EQ(samplePoints(polyline(3, {}), 0, 0.5, s), ERROR);
}

}  // namespace
}  // namespace kelvara
