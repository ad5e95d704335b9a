// Linear comparison on element descriptors built from DGN bytes.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/compare_pair.h"
#include "engine/linear.h"
#include "support/dgn_builder.h"

namespace kelvara {
namespace {

using test::Element;

ElmDscrPtr descriptor(const Element& bytes, bool is3d = false) {
  ElmDscrPtr d;
  EXPECT_EQ(mdlElmdscr_new(&d, dgn::Bytes(bytes.data(), bytes.size()), is3d), SUCCESS);
  return d;
}

LinearShape shapeOf(const Element& bytes, bool is3d = false) {
  const ElmDscrPtr d = descriptor(bytes, is3d);
  LinearShape s;
  EXPECT_TRUE(d && linearShapeOf(*d, s));
  return s;
}

std::vector<DPoint3d> stroke(const LinearShape& s) {
  std::vector<DPoint3d> out;
  strokePath(s.path, kStrokeTolerance, kMaxStrokePoints, out);
  return out;
}

void expectNear(const DPoint3d& a, const DPoint3d& b, double eps) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

TEST(LinearElementsTest, ArcsKeepTheirOrientation) {
  // Centre (5000, 3000), radii 2000 and 1000, rotated 30 degrees, from 10 over 80 degrees.
  for (bool is3d : {false, true}) {
    const LinearShape s =
        shapeOf(test::arc({5000, 3000, 0}, 2000, 1000, 30, 10, 80, {}, is3d), is3d);
    ASSERT_EQ(s.path.pieces.size(), 1u);
    ASSERT_EQ(s.path.pieces[0].kind, PathPiece::Kind::Arc);
    const double r = 30 * kPi / 180, t = 10 * kPi / 180;
    const double lx = 2000 * std::cos(t), ly = 1000 * std::sin(t);
    DPoint3d start, end;
    ASSERT_TRUE(pathEndPoints(s.path, start, end));
    // The stored angles carry 1/360000 degree steps and the 3D quaternion 31-bit entries.
    expectNear(
        start,
        {5000 + lx * std::cos(r) - ly * std::sin(r), 3000 + lx * std::sin(r) + ly * std::cos(r), 0},
        0.05);
  }
  // An ellipse is a whole turn.
  const LinearShape e = shapeOf(test::ellipse({0, 0, 0}, 500, 500, 0));
  EXPECT_NEAR(pathLength(e.path), 1000 * kPi, 1e-6);
}

TEST(LinearElementsTest, ComparisonsOnDescriptors) {
  const LinearOptions exact{};
  const LinearOptions reversed{false, 0, true, false};
  const Element bent = test::lineString({{0, 0, 0}, {1000, 0, 0}, {1000, 500, 0}});
  const Element bentBack = test::lineString({{1000, 500, 0}, {1000, 0, 0}, {0, 0, 0}});
  const Element bentRed = test::lineString({{0, 0, 0}, {1000, 0, 0}, {1000, 500, 0}}, {1, 3});
  const ElmDscrPtr a = descriptor(bent), b = descriptor(bentBack), c = descriptor(bentRed);
  EXPECT_EQ(linearCompareElements(a.get(), b.get(), exact, {}), 3);
  EXPECT_EQ(linearCompareElements(a.get(), b.get(), reversed, {}), 1);
  EXPECT_EQ(linearCompareElements(b.get(), a.get(), reversed, {}), 1);
  EXPECT_EQ(linearCompareElements(a.get(), c.get(), exact, {}), 1);  // colour is not geometry
  EXPECT_EQ(linearCompareElements(a.get(), nullptr, exact, {}), 3);
  EXPECT_EQ(linearCompareElements(nullptr, a.get(), exact, {}), 3);
  EXPECT_TRUE(descriptorsIdentical(*a, *descriptor(bent)));
  EXPECT_FALSE(descriptorsIdentical(*a, *c));

  // A line lying on the longer string, with underlap.
  const ElmDscrPtr line = descriptor(test::line({0, 0, 0}, {1000, 0, 0}));
  EXPECT_EQ(linearCompareElements(line.get(), a.get(), {false, 0, false, true}, {}), 1);
  EXPECT_EQ(linearCompareElements(a.get(), line.get(), {false, 0, false, true}, {}), 3);
  // A line and a line string of the same two points: other types differ unless overlap or
  // underlap is on.
  const ElmDscrPtr twoPoints = descriptor(test::lineString({{0, 0, 0}, {1000, 0, 0}}));
  const PairElement linePair{line.get(), 0}, stringPair{twoPoints.get(), 0};
  CompareOptions sameType;
  EXPECT_EQ(comparePair(linePair, stringPair, sameType), 3);
  sameType.overlap = true;
  EXPECT_EQ(comparePair(linePair, stringPair, sameType), 1);

  // A whole arc against the ellipse it traces (compared as strokes).
  const ElmDscrPtr circleArc = descriptor(test::arc({0, 0, 0}, 500, 500, 0, 0, 360));
  const ElmDscrPtr circle = descriptor(test::ellipse({0, 0, 0}, 500, 500, 0));
  EXPECT_EQ(linearCompareElements(circleArc.get(), circle.get(), exact, {}), 1);
  EXPECT_EQ(linearCompareElements(circleArc.get(), circle.get(), {true, 0.5, false, false}, {}), 1);

  // A complex chain of a line string and an arc against its own copy, and the fill test.
  const Element chainBytes = test::complexChain({test::lineString({{0, 0, 0}, {1000, 0, 0}}),
                                                 test::arc({1000, 500, 0}, 500, 500, 0, -90, 180)});
  const ElmDscrPtr chain = descriptor(chainBytes), chainCopy = descriptor(chainBytes);
  LinearShape chainShape;
  ASSERT_TRUE(linearShapeOf(*chain, chainShape));
  ASSERT_EQ(chainShape.pieceTypes, (std::vector<uint32_t>{4, 16}));
  EXPECT_NEAR(pathLength(chainShape.path), 1000 + 500 * kPi, 1e-3);
  EXPECT_EQ(linearCompareElements(chain.get(), chainCopy.get(), {true, 0.5, false, false}, {}), 1);
  const AttributeTests fillDiffers{[] { return false; }, nullptr, nullptr};
  const ElmDscrPtr square = descriptor(test::shape({{0, 0, 0}, {9, 0, 0}, {9, 9, 0}, {0, 0, 0}}));
  EXPECT_EQ(linearCompareElements(square.get(), square.get(), exact, fillDiffers), 2);
  EXPECT_EQ(linearCompareElements(chain.get(), chain.get(), exact, fillDiffers), 1);
}

TEST(LinearElementsTest, BsplineCurves) {
  const std::vector<DPoint3d> poles = {{0, 0, 0},       {4000, 0, 0},     {4000, 3000, 0},
                                       {2000, 3000, 0}, {2000, -2000, 0}, {1000, -3000, 0}};
  // Uniform knots stored explicitly give the same curve as no knots at all, open and closed.
  const LinearShape open = shapeOf(test::bsplineCurve(poles, 4, false));
  const LinearShape openKnots = shapeOf(test::bsplineCurve(poles, 4, false, {1.0 / 3, 2.0 / 3}));
  const LinearShape closed = shapeOf(test::bsplineCurve(poles, 3, true));
  const LinearShape closedKnots =
      shapeOf(test::bsplineCurve(poles, 3, true, {1.0 / 6, 2.0 / 6, 3.0 / 6, 4.0 / 6, 5.0 / 6}));
  for (const auto& [x, y] : {std::pair{&open, &openKnots}, std::pair{&closed, &closedKnots}}) {
    const std::vector<DPoint3d> sx = stroke(*x), sy = stroke(*y);
    ASSERT_EQ(sx.size(), sy.size());
    ASSERT_GT(sx.size(), 2u);
    for (std::size_t i = 0; i < sx.size(); ++i) expectNear(sx[i], sy[i], 1e-3);
  }
  // This curve loops over itself: its vertex list is where it does.
  std::vector<DPoint3d> crossings;
  ASSERT_EQ(vertexList(open, crossings), SUCCESS);
  ASSERT_GE(crossings.size(), 1u);
  EXPECT_EQ(identicalLinear(open, openKnots, false, false), true);
  // A rational curve reads its weights.
  const LinearShape heavy =
      shapeOf(test::bsplineCurve(poles, 4, false, {}, {1, 1, 0.5, 0.5, 1, 1}));
  EXPECT_GT(
      distance(stroke(heavy)[stroke(heavy).size() / 2], stroke(open)[stroke(open).size() / 2]),
      1.0);
}

}  // namespace
}  // namespace kelvara
