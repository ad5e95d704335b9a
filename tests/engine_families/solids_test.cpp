// Surfaces, solids and raster frames: identity of element trees within a distance and an
// angle tolerance, whatever the overlap switch.
#include "engine/solids.h"

#include <gtest/gtest.h>

#include "family_cases.h"

namespace kelvara {
namespace {

using namespace test;

constexpr bool k3d = true;

// A solid of revolution: a profile line and an arc, moved by (dx, 0, 0).
std::vector<Element> profile(double dx = 0, double arcRotation = 0, double arcCentreDx = 0) {
  return {line({0 + dx, 0, 0}, {1000 + dx, 0, 0}, {}, k3d),
          arc({500 + dx + arcCentreDx, 0, 0}, 500, 500, arcRotation, 0, 180, {}, k3d)};
}

CompareOptions within(double distance, double angle = 0) {
  CompareOptions o;
  o.toleranceUor = distance;
  if (angle > 0) {
    o.allowRotation = true;
    o.rotationTolerance = angle;
  }
  return o;
}

TEST(SolidsMatchTest, Table) {
  const Element base = surface(19, 1, profile());
  CompareOptions overlapOn = within(0.5);
  overlapOn.overlap = true;
  runCases(
      solidsMatch,
      {
          {"same solid", base, surface(19, 1, profile()), within(0), 1, 1},
          {"moved one unit, tolerance 2, overlap off", base, surface(19, 1, profile(1)), within(2),
           1, 1},
          {"moved one unit, tolerance 0.5", base, surface(19, 1, profile(1)), within(0.5), 3, 3},
          {"arc centre 0.3 away, tolerance 0.5", base, surface(19, 1, profile(0, 0, 0.3)),
           within(0.5), 1, 1},
          {"arc turned 0.5 deg, 1 deg allowed", base, surface(19, 1, profile(0, 0.5)),
           within(0.5, deg(1)), 1, 1},
          {"arc turned 0.5 deg, rotation not allowed", base, surface(19, 1, profile(0, 0.5)),
           within(0.5), 3, 3},
          {"arc turned 3 deg, 1 deg allowed", base, surface(19, 1, profile(0, 3)),
           within(0.5, deg(1)), 3, 3},
          {"other solid type", base, surface(19, 2, profile()), within(0.5), 3, 3},
          {"an extra rule line", base,
           surface(19, 1,
                   [] {
                     auto p = profile();
                     p.push_back(line({0, 0, 0}, {0, 0, 1000}, {}, k3d));
                     return p;
                   }()),
           within(0.5), 3, 3},
          {"line string in place of the line", base,
           surface(19, 1,
                   {lineString({{0, 0, 0}, {1000, 0, 0}}, {}, k3d),
                    arc({500, 0, 0}, 500, 500, 0, 0, 180, {}, k3d)}),
           within(0.5), 3, 3},
          {"surface against solid of the same shape", base, surface(18, 1, profile()), overlapOn, 1,
           1},
          {"other colour", base, surface(19, 1, profile(), {.colour = 1}), within(0.5), 2, 2},
      },
      k3d);
}

// A rotation tolerance left in the settings counts only while rotation is allowed.
TEST(SolidsMatchTest, RotationToleranceNeedsRotationAllowed) {
  const ElmDscrPtr a = descriptorOf(surface(19, 1, profile()), k3d);
  const ElmDscrPtr b = descriptorOf(surface(19, 1, profile(0, 0.5)), k3d);
  CompareOptions o = within(0.5, deg(1));
  o.is3d = k3d;
  EXPECT_EQ(comparePair({a.get(), 0}, {b.get(), 0}, o), 1);
  o.allowRotation = false;
  EXPECT_EQ(comparePair({a.get(), 0}, {b.get(), 0}, o), 3);
}

TEST(SolidsMatchTest, RasterFramesCompareTheirBodies) {
  const std::vector<uint8_t> body = {1, 2, 3, 4, 5, 6, 7, 8};
  runCases(solidsMatch, {
                            {"same frame", opaque(94, body), opaque(94, body), within(10), 1, 1},
                            {"other frame", opaque(94, body), opaque(94, {1, 2, 3, 4, 5, 6, 7, 9}),
                             within(10), 3, 3},
                        });
}

}  // namespace
}  // namespace kelvara
