// Geometry operations checked against values worked out by hand.
#include "host/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kelvara {
namespace {

constexpr double kEps = 1e-7;

void expectNear(const DPoint3d& actual, const DPoint3d& expected, double eps = kEps) {
  EXPECT_NEAR(actual.x, expected.x, eps);
  EXPECT_NEAR(actual.y, expected.y, eps);
  EXPECT_NEAR(actual.z, expected.z, eps);
}

ArcGeometry circleArc(DPoint3d centre, double radius, double start, double sweep) {
  ArcGeometry arc;
  arc.centre = centre;
  arc.primary = arc.secondary = radius;
  arc.start = start;
  arc.sweep = sweep;
  return arc;
}

// (0,0) -> (3,4) -> (3,10): segments of 5 and 6.
const std::vector<DPoint3d> kBent = {{0, 0, 0}, {3, 4, 0}, {3, 10, 0}};

TEST(PolylineTest, LengthAndPointsAtDistance) {
  EXPECT_DOUBLE_EQ(polylineLength(kBent), 11.0);
  EXPECT_DOUBLE_EQ(polylineLength(std::vector<DPoint3d>{{1, 1, 1}}), 0.0);
  struct Case {
    double d;
    DPoint3d expected;
  };
  for (const Case& c :
       {Case{0.0, {0, 0, 0}}, Case{2.5, {1.5, 2, 0}}, Case{5.0, {3, 4, 0}}, Case{8.0, {3, 7, 0}},
        Case{11.0, {3, 10, 0}}, Case{11.0 + 1e-12, {3, 10, 0}}}) {
    DPoint3d p;
    ASSERT_TRUE(polylinePointAtDistance(kBent, c.d, p)) << c.d;
    expectNear(p, c.expected);
  }
  DPoint3d p;
  EXPECT_FALSE(polylinePointAtDistance(kBent, 11.1, p));
  EXPECT_FALSE(polylinePointAtDistance(kBent, -0.1, p));
  EXPECT_FALSE(polylinePointAtDistance({}, 0.0, p));
}

TEST(PolylineTest, ProjectionFindsPerpendicularFootOrNearestVertex) {
  struct Case {
    DPoint3d p;
    DPoint3d foot;
    double dist;
  };
  for (const Case& c : {
           Case{{-3, 4, 0}, {0.84, 1.12, 0}, 4.8},  // perpendicular onto the first segment
           Case{{10, 5, 0}, {3, 5, 0}, 7.0},        // perpendicular onto the second
           Case{{0, 10, 0}, {3, 10, 0}, 3.0},       // past the end: the last vertex
           Case{{-1, -1, 0}, {0, 0, 0}, std::sqrt(2.0)},
           Case{{3, 7, 4}, {3, 7, 0}, 4.0},  // above the line in z
       }) {
    DPoint3d foot;
    double dist = -1;
    ASSERT_TRUE(polylineProject(kBent, c.p, foot, dist));
    expectNear(foot, c.foot);
    EXPECT_NEAR(dist, c.dist, kEps);
  }
  DPoint3d foot;
  double dist = 0;
  EXPECT_FALSE(polylineProject({}, {0, 0, 0}, foot, dist));
}

TEST(PolylineTest, SelfIntersections) {
  std::vector<DPoint3d> comb;  // a saw that crosses a long baseline 4 times
  for (int i = 0; i < 5; ++i) comb.push_back({i * 10.0, i % 2 ? 5.0 : -5.0, 0});
  comb.push_back({40, 0, 0});
  comb.push_back({-10, 0, 0});
  struct Case {
    const char* name;
    std::vector<DPoint3d> pts;
    std::size_t limit, expected;
    DPoint3d first;
  };
  // clang-format off
  const Case cases[] = {
      {"bow tie", {{0, 0, 0}, {10, 10, 0}, {10, 0, 0}, {0, 10, 0}}, 20, 1, {5, 5, 0}},
      {"closed square: its closing vertex",
       {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {0, 0, 0}}, 20, 1, {0, 0, 0}},
      {"zig-zag with points closer than the tolerance",
       {{0, 0, 0}, {5, 5, 0}, {5.001, 5, 0}, {5.002, 5, 0}, {10, 0, 0}, {15, 5, 0}}, 20, 0, {}},
      {"crossing in another z plane", {{0, 0, 0}, {10, 10, 0}, {10, 0, 1}, {0, 10, 1}}, 20, 0, {}},
      {"comb", comb, 20, 4, {}},
      {"comb, limit 2", comb, 2, 2, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<DPoint3d> out;
    EXPECT_EQ(polylineSelfIntersections(c.pts, 0.01, c.limit, out), c.expected);
    ASSERT_EQ(out.size(), c.expected);
    if (c.expected == 1) expectNear(out[0], c.first, 1e-9);
  }
}

TEST(PointEqualityTest, HalfUnitOfResolutionPerAxis) {
  EXPECT_TRUE(pointEqualUor({100, 200, 300}, {100, 200, 300}));
  EXPECT_TRUE(pointEqualUor({100, 200, 300}, {100.5, 199.5, 300.5}));
  EXPECT_FALSE(pointEqualUor({100, 200, 300}, {101, 200, 300}));
  EXPECT_FALSE(pointEqualUor({100, 200, 300}, {100, 200.51, 300}));
  EXPECT_FALSE(pointEqualUor({100, 200, 300}, {100, 200, 299.4}));
}

TEST(ArcTest, QuarterArcCounterClockwiseAndClockwise) {
  const ArcGeometry ccw = circleArc({10, 20, 0}, 100, 0, kPi / 2);
  const ArcGeometry cw = circleArc({10, 20, 0}, 100, kPi / 2, -kPi / 2);
  expectNear(arcStartPoint(ccw), {110, 20, 0});
  expectNear(arcEndPoint(ccw), {10, 120, 0});
  expectNear(arcStartPoint(cw), {10, 120, 0});
  expectNear(arcEndPoint(cw), {110, 20, 0});
  const double half = std::sqrt(0.5) * 100;
  for (const ArcGeometry& arc : {ccw, cw}) {
    EXPECT_NEAR(arcLength(arc), 50 * kPi, 1e-9);
    DPoint3d p;
    ASSERT_TRUE(arcPointAtDistance(arc, 25 * kPi, p));
    expectNear(p, {10 + half, 20 + half, 0});
    EXPECT_FALSE(arcPointAtDistance(arc, 50 * kPi + 0.01, p));
  }
  DPoint3d p;
  ASSERT_TRUE(arcPointAtDistance(ccw, 100 * kPi / 6, p));  // 30 degrees along
  expectNear(p, {10 + 100 * std::cos(kPi / 6), 20 + 50, 0});
  ASSERT_TRUE(arcPointAtDistance(cw, 100 * kPi / 6, p));  // 30 degrees back from 90
  expectNear(p, {10 + 50, 20 + 100 * std::cos(kPi / 6), 0});
}

TEST(ArcTest, ProjectionOntoQuarterArc) {
  const ArcGeometry arc = circleArc({10, 20, 0}, 100, 0, kPi / 2);
  struct Case {
    DPoint3d p;
    DPoint3d foot;
    double dist;
  };
  const double half = std::sqrt(0.5);
  for (const Case& c : {
           Case{{210, 20, 0}, {110, 20, 0}, 100},     // outside, on the x axis
           Case{{10 + 30 * half, 20 + 30 * half, 0},  // inside, at 45 degrees
                {10 + 100 * half, 20 + 100 * half, 0},
                70},
           Case{{40, -60, 0}, {110, 20, 0}, std::sqrt(70.0 * 70 + 80 * 80)},  // behind: start
           Case{{-90, 120, 5}, {10, 120, 0}, std::sqrt(100.0 * 100 + 25)},    // past the end
       }) {
    DPoint3d foot;
    double dist = -1;
    arcProject(arc, c.p, foot, dist);
    expectNear(foot, c.foot, 1e-6);
    EXPECT_NEAR(dist, c.dist, 1e-6);
  }
}

TEST(ArcTest, FullCircleLengthPointsAndStroke) {
  const ArcGeometry circle = circleArc({0, 0, 0}, 50, 0, kTwoPi);
  EXPECT_TRUE(isFullEllipse(circle));
  EXPECT_NEAR(arcLength(circle), 100 * kPi, 1e-9);
  expectNear(arcEndPoint(circle), arcStartPoint(circle));
  DPoint3d p;
  ASSERT_TRUE(arcPointAtDistance(circle, 25 * kPi, p));
  expectNear(p, {0, 50, 0});
  ASSERT_TRUE(arcPointAtDistance(circle, 75 * kPi, p));
  expectNear(p, {0, -50, 0});
  // The projection of a point just below the start must find the closing end of the circle.
  double dist = 0;
  arcProject(circle, {60, -3, 0}, p, dist);
  EXPECT_NEAR(dist, std::sqrt(3609.0) - 50, 1e-6);
  expectNear(p, {50 * 60 / std::sqrt(3609.0), -150 / std::sqrt(3609.0), 0}, 1e-6);

  // Chord tolerance 1 on radius 50: step 2*acos(49/50) = 0.40067 rad, 16 segments.
  std::vector<DPoint3d> pts;
  EXPECT_EQ(strokeArc(circle, 1.0, kMaxStrokePoints, pts), 17u);
  ASSERT_EQ(pts.size(), 17u);
  EXPECT_EQ(pts.front(), pts.back());
  for (std::size_t i = 1; i < pts.size(); ++i) {
    EXPECT_NEAR(distance(pts[i], {0, 0, 0}), 50, 1e-9);
    const DPoint3d mid = {(pts[i].x + pts[i - 1].x) / 2, (pts[i].y + pts[i - 1].y) / 2, 0};
    EXPECT_LE(50 - distance(mid, {0, 0, 0}), 1.0);
  }
  // Small arcs still get a point per quarter turn; the point limit is honoured.
  pts.clear();
  EXPECT_EQ(strokeArc(circleArc({0, 0, 0}, 0.5, 0, kTwoPi), 1.0, kMaxStrokePoints, pts), 5u);
  pts.clear();
  EXPECT_EQ(strokeArc(circleArc({0, 0, 0}, 1e9, 0, kTwoPi), 1.0, 100, pts), 100u);
  EXPECT_EQ(pts.front(), pts.back());
}

TEST(ArcTest, CircularProjectionAgreesWithTheGeneralSearch) {
  // A circle projects in closed form; a hair-thin ellipse takes the general search. Both must
  // find the same nearest distance, inside and outside the sweep, in and out of the plane.
  RotMatrix tilted = rotationFromAngle(0.7), both;
  const double c = std::cos(0.4), s = std::sin(0.4);  // then tip the plane about x
  for (int j = 0; j < 3; ++j) {
    both.m[0][j] = tilted.m[0][j];
    both.m[1][j] = c * tilted.m[1][j] - s * tilted.m[2][j];
    both.m[2][j] = s * tilted.m[1][j] + c * tilted.m[2][j];
  }
  for (const RotMatrix& rot : {RotMatrix{}, tilted, both}) {
    for (const auto& [start, sweep] : {std::pair{0.3, 1.2}, std::pair{2.0, -2.5},
                                       std::pair{-1.0, 4.0}, std::pair{0.0, kTwoPi}}) {
      ArcGeometry circle = circleArc({100, -50, 7}, 80, start, sweep);
      circle.rotation = rot;
      ArcGeometry nearly = circle;
      nearly.secondary = 80 * (1 + 1e-10);
      for (int i = 0; i < 40; ++i) {
        const DPoint3d p = {100 + 150 * std::cos(i * 0.9), -50 + 130 * std::sin(i * 1.3),
                            7 + (i % 5 - 2) * 20.0};
        DPoint3d f1, f2;
        double d1 = 0, d2 = 0;
        arcProject(circle, p, f1, d1);
        arcProject(nearly, p, f2, d2);
        EXPECT_NEAR(d1, d2, 1e-6) << "point " << i;
        EXPECT_NEAR(d1, distance(p, f1), 1e-9);
      }
    }
  }
}

TEST(ArcTest, RotatedEllipse) {
  ArcGeometry e;
  e.centre = {1000, 2000, 0};
  e.primary = 200;
  e.secondary = 100;
  e.rotation = rotationFromAngle(kPi / 6);
  const double c30 = std::cos(kPi / 6);
  expectNear(arcPointAt(e, 0), {1000 + 200 * c30, 2100, 0});
  expectNear(arcPointAt(e, kPi / 2), {950, 2000 + 100 * c30, 0});
  // Perimeter of a 2:1 ellipse with semi-axes 2 and 1 is 9.688448220547675.
  EXPECT_NEAR(arcLength(e), 968.8448220547675, 1e-6);
  // A quarter of the ellipse is a quarter of its perimeter by symmetry.
  DPoint3d p;
  ASSERT_TRUE(arcPointAtDistance(e, 968.8448220547675 / 4, p));
  expectNear(p, {950, 2000 + 100 * c30, 0}, 1e-6);
  // Points outside along the axes project onto the axis ends.
  double dist = 0;
  arcProject(e, {1000 + 300 * c30, 2150, 0}, p, dist);
  expectNear(p, {1000 + 200 * c30, 2100, 0}, 1e-6);
  EXPECT_NEAR(dist, 100, 1e-6);
  arcProject(e, {1000 - 75, 2000 + 150 * c30, 0}, p, dist);
  expectNear(p, {950, 2000 + 100 * c30, 0}, 1e-6);
  EXPECT_NEAR(dist, 50, 1e-6);
  // Stroked points lie on the ellipse (within rounding).
  std::vector<DPoint3d> pts;
  strokeArc(e, 1.0, kMaxStrokePoints, pts);
  for (const DPoint3d& q : pts) {
    arcProject(e, q, p, dist);
    EXPECT_LT(dist, 1e-6);
  }
}

TEST(ArcTest, ArcInAVerticalPlane) {
  ArcGeometry arc = circleArc({0, 0, 0}, 10, 0, kPi / 2);
  arc.rotation.m[1][1] = 0, arc.rotation.m[2][1] = 1;  // local y runs along design z
  arc.rotation.m[1][2] = -1, arc.rotation.m[2][2] = 0;
  expectNear(arcEndPoint(arc), {0, 0, 10});
  DPoint3d p;
  double dist = 0;
  arcProject(arc, {0, 5, 20}, p, dist);
  expectNear(p, {0, 0, 10}, 1e-6);
  EXPECT_NEAR(dist, std::sqrt(25.0 + 100.0), 1e-6);
}

TEST(PathTest, ChainOfLineStringAndArc) {
  // A line string (0,0)-(100,0), then a half circle of radius 50 back to (100,100).
  Path path;
  path.pieces.push_back({PathPiece::Kind::Polyline, {{0, 0, 0}, {100, 0, 0}}, {}});
  PathPiece arc;
  arc.kind = PathPiece::Kind::Arc;
  arc.arc = circleArc({100, 50, 0}, 50, -kPi / 2, kPi);
  path.pieces.push_back(arc);
  EXPECT_NEAR(pathLength(path), 100 + 50 * kPi, 1e-9);
  DPoint3d start, end;
  ASSERT_TRUE(pathEndPoints(path, start, end));
  expectNear(start, {0, 0, 0});
  expectNear(end, {100, 100, 0});
  DPoint3d p;
  ASSERT_TRUE(pathPointAtDistance(path, 40, p));
  expectNear(p, {40, 0, 0});
  ASSERT_TRUE(pathPointAtDistance(path, 100 + 25 * kPi, p));
  expectNear(p, {150, 50, 0});
  EXPECT_FALSE(pathPointAtDistance(path, 100 + 50 * kPi + 1, p));
  // Measured once, the path gives the same points, and the same refusal past its end.
  const MeasuredPath measured = measurePath(path);
  EXPECT_EQ(measured.length, pathLength(path));
  for (const double d : {0.0, 40.0, 100.0, 100 + 25 * kPi, 100 + 50 * kPi}) {
    DPoint3d once, again;
    ASSERT_TRUE(pathPointAtDistance(path, d, once));
    ASSERT_TRUE(pathPointAtDistance(measured, d, again));
    EXPECT_EQ(once, again) << d;
  }
  EXPECT_FALSE(pathPointAtDistance(measured, 100 + 50 * kPi + 1, p));
  double dist = 0;
  ASSERT_TRUE(pathProject(path, {170, 50, 0}, p, dist));
  expectNear(p, {150, 50, 0}, 1e-6);
  EXPECT_NEAR(dist, 20, 1e-6);
  ASSERT_TRUE(pathProject(path, {30, -7, 0}, p, dist));
  expectNear(p, {30, 0, 0});
  std::vector<DPoint3d> pts;
  const std::size_t n = strokePath(path, 1.0, kMaxStrokePoints, pts);
  EXPECT_EQ(n, pts.size());
  ASSERT_GT(n, 4u);
  expectNear(pts[1], {100, 0, 0});
  expectNear(pts[2], {100, 0, 0});  // components are concatenated as they are
  expectNear(pts.back(), {100, 100, 0});
  pts.clear();
  EXPECT_EQ(strokePath(path, 1.0, 4, pts), 4u);
  EXPECT_FALSE(pathEndPoints(Path{}, start, end));
  EXPECT_FALSE(pathProject(Path{}, {0, 0, 0}, p, dist));
}

}  // namespace
}  // namespace kelvara
