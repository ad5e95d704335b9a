// Arcs and ellipses compared by centre, radii, end points and rotation.
#include <gtest/gtest.h>

#include "engine/arc_compare.h"
#include "family_cases.h"

namespace kelvara {
namespace {

using namespace test;

TEST(ArcCompareTest, Table) {
  const DPoint3d c{5000, 5000, 0};
  const Element quarter = arc(c, 1000, 1000, 0, 0, 90);
  CompareOptions rotation40 = rotationBy(deg(40));
  runCases(
      arcCompare,
      {
          {"reversed arc without overlap", quarter, arc(c, 1000, 1000, 0, 90, -90), exact(), 3, 3},
          {"reversed arc with overlap", quarter, arc(c, 1000, 1000, 0, 90, -90), overlapBy(0.5), 1,
           1},
          {"radius 0.2 apart", quarter, arc(c, 1000.2, 1000.2, 0, 0, 90), exact(), 1, 1},
          {"radius 0.3 apart", quarter, arc(c, 1000.3, 1000.3, 0, 0, 90), exact(), 3, 3},
          {"longer sweep", quarter, arc(c, 1000, 1000, 0, 0, 120), exact(), 3, 3},
          {"other centre", quarter, arc({5000, 5010, 0}, 1000, 1000, 0, 0, 90), exact(), 3, 3},
          {"colour differs", quarter, arc(c, 1000, 1000, 0, 0, 90, {.colour = 4}), exact(), 2, 2},
          {"same points, rotation 30 deg apart", quarter, arc(c, 1000, 1000, 30, -30, 90), exact(),
           2, 2},
          {"same points, rotation allowed within 40 deg", quarter, arc(c, 1000, 1000, 30, -30, 90),
           rotation40, 1, 1},
          {"shorter arc on the longer, overlap and underlap", quarter,
           arc(c, 1000, 1000, 0, 0, 180),
           [] {
             CompareOptions o = overlapBy(0.5);
             o.allowUnderlap = true;
             return o;
           }(),
           1, 3},
      });
}

TEST(EllipseCompareTest, Table) {
  const DPoint3d c{8000, 3000, 0};
  const Element oval = ellipse(c, 1000, 500, 20);
  runCases(
      ellipseCompare,
      {
          {"radii 0.2 apart", ellipse(c, 100, 50, 20), ellipse(c, 100.2, 50.2, 20), exact(), 1, 1},
          {"radii 0.3 apart", ellipse(c, 100, 50, 20), ellipse(c, 100.3, 50, 20), exact(), 3, 3},
          {"radii 0.3 apart with a larger tolerance", ellipse(c, 100, 50, 20),
           ellipse(c, 100, 50.3, 20), overlapBy(10), 3, 3},
          {"rotated circles", ellipse(c, 700, 700, 0), ellipse(c, 700, 700, 45), exact(), 1, 1},
          {"rotated ellipses", oval, ellipse(c, 1000, 500, 65), exact(), 2, 2},
          {"rotated ellipses, rotation allowed", oval, ellipse(c, 1000, 500, 65),
           rotationBy(deg(50)), 1, 1},
          {"circle against a slightly oval ellipse", ellipse(c, 700, 700, 0),
           ellipse(c, 700.2, 699.9, 45), exact(), 1, 2},
          {"centres 0.4 apart", oval, ellipse({8000.4, 3000, 0}, 1000, 500, 20), exact(), 1, 1},
          {"centres 0.6 apart", oval, ellipse({8000.6, 3000, 0}, 1000, 500, 20), exact(), 3, 3},
          {"centres 0.6 apart, overlap within 1", oval, ellipse({8000.6, 3000, 0}, 1000, 500, 20),
           overlapBy(1), 1, 1},
          {"filled against unfilled", oval, withFill(ellipse(c, 1000, 500, 20), 3), exact(), 2, 2},
          {"level differs", oval, ellipse(c, 1000, 500, 20, {.level = 7}), exact(), 2, 2},
      });
}

TEST(EllipseCompareTest, ThreeDimensionalRotationsUseTheDirections) {
  const DPoint3d c{8000, 3000, 100};
  runCases(ellipseCompare,
           {
               {"3D same", ellipse(c, 1000, 500, 10, {}, true), ellipse(c, 1000, 500, 10, {}, true),
                exact(), 1, 1},
               {"3D rotated 0.5 deg, 1 deg allowed", ellipse(c, 1000, 500, 10, {}, true),
                ellipse(c, 1000, 500, 10.5, {}, true), rotationBy(deg(1)), 1, 1},
               {"3D rotated 3 deg, 1 deg allowed", ellipse(c, 1000, 500, 10, {}, true),
                ellipse(c, 1000, 500, 13, {}, true), rotationBy(deg(1)), 2, 2},
           },
           true);
}

TEST(ArcCompareTest, UnreadableElementsDiffer) {
  const ElmDscrPtr a = descriptorOf(arc({0, 0, 0}, 10, 10, 0, 0, 90));
  const ElmDscrPtr l = descriptorOf(line({0, 0, 0}, {10, 0, 0}));
  EXPECT_EQ(arcCompare({a.get(), 0}, {l.get(), 0}, exact()), 3);
  EXPECT_EQ(ellipseCompare({l.get(), 0}, {a.get(), 0}, exact()), 3);
  EXPECT_EQ(arcCompare({a.get(), 0}, {nullptr, 0}, exact()), 3);
}

}  // namespace
}  // namespace kelvara
