// B-spline curves checked against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "host/geometry.h"

namespace kelvara {
namespace {

void expectNear(const DPoint3d& a, const DPoint3d& b, double eps = 1e-9) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

DPoint3d at(const BsplineCurve& c, double u) {
  DPoint3d p;
  EXPECT_TRUE(bsplinePointAt(c, u, p));
  return p;
}

TEST(BsplineTest, PointsOnKnownCurves) {
  // Order 2 is the control polygon; uniform clamped knots 0 0 .5 1 1.
  BsplineCurve polygon{2, false, {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}}, {}, {}};
  expectNear(at(polygon, 0.25), {5, 0, 0});
  expectNear(at(polygon, 0.75), {10, 5, 0});
  expectNear(at(polygon, 1.0), {10, 10, 0});
  // A quadratic Bezier: the middle is P0/4 + P1/2 + P2/4.
  BsplineCurve bezier{3, false, {{0, 0, 0}, {10, 20, 0}, {20, 0, 4}}, {}, {}};
  expectNear(at(bezier, 0.5), {10, 10, 1});
  expectNear(at(bezier, 0.0), {0, 0, 0});
  // The rational quadratic quarter circle of radius 100.
  const double h = std::sqrt(0.5);
  BsplineCurve quarter{3, false, {{100, 0, 0}, {100, 100, 0}, {0, 100, 0}}, {1, h, 1}, {}};
  expectNear(at(quarter, 0.5), {100 * h, 100 * h, 0});
  for (double u : {0.1, 0.3, 0.9}) EXPECT_NEAR(distance(at(quarter, u), {0, 0, 0}), 100, 1e-9);
  // Explicit knots: the same Bezier with a knot vector on [2, 4].
  BsplineCurve scaled = bezier;
  scaled.knots = {2, 2, 2, 4, 4, 4};
  expectNear(at(scaled, 3), {10, 10, 1});
  // A closed uniform cubic over a diamond: at a knot the point is (P0 + 4 P1 + P2) / 6.
  BsplineCurve ring{4, true, {{10, 0, 0}, {0, 10, 0}, {-10, 0, 0}, {0, -10, 0}}, {}, {}};
  expectNear(at(ring, 3), {0, 40.0 / 6, 0});
  expectNear(at(ring, 7), {0, 40.0 / 6, 0});
  expectNear(at(ring, 4), {-40.0 / 6, 0, 0});
}

TEST(BsplineTest, StrokeAndMalformedCurves) {
  // Order 4, 6 poles, open: 3 spans of 8 points and the end.
  BsplineCurve c{
      4, false, {{0, 0, 0}, {10, 5, 0}, {20, -5, 0}, {30, 5, 0}, {40, -5, 0}, {50, 0, 0}}, {}, {}};
  std::vector<DPoint3d> pts;
  EXPECT_EQ(strokeBspline(c, 8, kMaxStrokePoints, pts), 25u);
  ASSERT_EQ(pts.size(), 25u);
  expectNear(pts.front(), {0, 0, 0});
  expectNear(pts.back(), {50, 0, 0});
  pts.clear();
  EXPECT_EQ(strokeBspline(c, 8, 5, pts), 5u);
  expectNear(pts.back(), {50, 0, 0});
  // A closed curve strokes into a closed polyline.
  BsplineCurve ring{3, true, {{10, 0, 0}, {0, 10, 0}, {-10, 0, 0}, {0, -10, 0}}, {}, {}};
  pts.clear();
  EXPECT_EQ(strokeBspline(ring, 4, kMaxStrokePoints, pts), 17u);
  expectNear(pts.front(), pts.back());

  DPoint3d p;
  for (const BsplineCurve& bad : {
           BsplineCurve{5, false, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {}, {}},  // too few poles
           BsplineCurve{2, false, {{0, 0, 0}, {1, 0, 0}}, {1}, {}},            // weights
           BsplineCurve{2, false, {{0, 0, 0}, {1, 0, 0}}, {1, 0}, {}},         // zero weight
           BsplineCurve{2, false, {{0, 0, 0}, {1, 0, 0}}, {}, {0, 0, 1}},      // knot count
           BsplineCurve{2, false, {{0, 0, 0}, {1, 0, 0}}, {}, {0, 1, 0, 1}},   // not sorted
           BsplineCurve{2, false, {{0, 0, 0}, {1, 0, 0}}, {}, {1, 1, 1, 1}},   // empty domain
       }) {
    EXPECT_FALSE(bsplinePointAt(bad, 0.5, p));
    pts.clear();
    EXPECT_EQ(strokeBspline(bad, 8, kMaxStrokePoints, pts), 0u);
  }
}

}  // namespace
}  // namespace kelvara
