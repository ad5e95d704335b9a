// Rotation comparison: exact entries, 2D angles reduced by whole turns, the 26 directions in 3D.
#include "engine/rotation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "family_cases.h"
#include "host/geometry.h"

namespace kelvara {
namespace {

using test::deg;

RotMatrix aboutX(double radians) {
  RotMatrix m;
  m.m[1][1] = std::cos(radians);
  m.m[1][2] = -std::sin(radians);
  m.m[2][1] = std::sin(radians);
  m.m[2][2] = std::cos(radians);
  return m;
}

RotMatrix nudged(RotMatrix m, int row, int col, double by) {
  m.m[row][col] += by;
  return m;
}

struct RotationCase {
  const char* name;
  RotMatrix a, b;
  bool allowRotation;
  double tolerance;
  bool is3d;
  bool expected;
};

TEST(RotationMatchTest, Table) {
  const RotMatrix r10 = rotationFromAngle(deg(10));
  const std::vector<RotationCase> cases = {
      {"same matrix, switch off", r10, r10, false, 0, false, true},
      {"entry 1e-5 apart, switch off", r10, nudged(r10, 0, 1, 1e-5), false, 0, false, false},
      {"entry 5e-7 apart, switch off", r10, nudged(r10, 1, 0, 5e-7), false, 0, false, true},
      {"entry 2e-6 apart", RotMatrix{}, nudged(RotMatrix{}, 0, 0, 2e-6), false, 0, false, false},
      {"z row differs in 2D: not compared", r10, nudged(r10, 2, 2, 0.5), false, 0, false, true},
      {"z row differs in 3D: compared", r10, nudged(r10, 2, 2, 0.5), false, 0, true, false},
      {"2D angles 0.5 deg apart, tolerance 1 deg", r10, rotationFromAngle(deg(10.5)), true, deg(1),
       false, true},
      {"2D angles 2 deg apart, tolerance 1 deg", r10, rotationFromAngle(deg(12)), true, deg(1),
       false, false},
      {"2D angles either side of zero", rotationFromAngle(deg(0.2)), rotationFromAngle(deg(-0.3)),
       true, deg(1), false, true},
      {"2D angles nearly a full turn apart", rotationFromAngle(deg(179.9999)),
       rotationFromAngle(deg(-179.9999)), true, deg(1), false, false},
      {"2D rule ignores a tilt", r10, aboutX(deg(20)), true, deg(11), false, true},
      {"3D rotation 0.5 deg about z, tolerance 1 deg", r10, rotationFromAngle(deg(10.5)), true,
       deg(1), true, true},
      {"3D rotation 2 deg about z, tolerance 1 deg", r10, rotationFromAngle(deg(12)), true, deg(1),
       true, false},
      {"3D tilt of 2 deg about x", RotMatrix{}, aboutX(deg(2)), true, deg(1), true, false},
      {"3D tilt of 0.5 deg about x", RotMatrix{}, aboutX(deg(0.5)), true, deg(1), true, true},
      {"3D half turn about z", RotMatrix{}, rotationFromAngle(deg(180)), true, deg(1), true, false},
  };
  for (const RotationCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rotationMatch(c.a, c.b, c.allowRotation, c.tolerance, c.is3d), c.expected);
    EXPECT_EQ(rotationMatch(c.b, c.a, c.allowRotation, c.tolerance, c.is3d), c.expected);
  }
}

TEST(RotationMatchTest, SplitTransformSeparatesScaleFromRotation) {
  RotMatrix t = rotationFromAngle(deg(30));
  for (int r = 0; r < 3; ++r) {
    t.m[r][0] *= 2.0;
    t.m[r][1] *= 3.0;
  }
  RotMatrix rotation;
  DPoint3d scale;
  splitTransform(t, rotation, scale);
  EXPECT_NEAR(scale.x, 2.0, 1e-12);
  EXPECT_NEAR(scale.y, 3.0, 1e-12);
  EXPECT_NEAR(scale.z, 1.0, 1e-12);
  EXPECT_NEAR(rotationToAngle(rotation), deg(30), 1e-12);
  EXPECT_TRUE(rotationMatch(rotation, rotationFromAngle(deg(30)), false, 0, true));

  RotMatrix flat = RotMatrix{};
  flat.m[0][0] = flat.m[1][0] = flat.m[2][0] = 0;  // a zero column
  splitTransform(flat, rotation, scale);
  EXPECT_EQ(scale.x, 0.0);
  EXPECT_EQ(rotation.m[0][0], 1.0);
}

}  // namespace
}  // namespace kelvara
