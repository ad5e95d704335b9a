// Where the elements of a mapped entity lie: every arc (a bulged polyline's segments, ARC,
// CIRCLE), in 2D and 3D images and with the object coordinate system seen from below, starts
// and ends where the entity does, and turns the way it does.
#include "host/dxf/to_element.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "host/dgn/image.h"
#include "host/dgn/records.h"

namespace kelvara::dxf {
namespace {

constexpr double kScale = 1000;  // UOR per drawing unit
constexpr double kPi = std::numbers::pi;

struct ArcCase {
  const char* label;
  std::string type;  // LWPOLYLINE (one bulged segment), ARC
  Point3 extrusion;
  bool is3d;
  double bulge;              // LWPOLYLINE
  double startDeg, endDeg;   // ARC, centre (1, 2), radius 3
  Point3 from, to, through;  // world points the arc must pass: start, end, middle
};

void PrintTo(const ArcCase& c, std::ostream* os) {
  *os << c.label;
}

Point3 at(const dgn::ArcRecord& a, double angle) {
  const double lx = a.primary * std::cos(angle), ly = a.secondary * std::sin(angle);
  const auto& m = a.rotMatrix.m;
  return {(a.centre.x + m[0][0] * lx + m[0][1] * ly) / kScale,
          (a.centre.y + m[1][0] * lx + m[1][1] * ly) / kScale,
          (a.centre.z + m[2][0] * lx + m[2][1] * ly) / kScale};
}

void expectNear(const Point3& got, const Point3& want, const char* what) {
  EXPECT_NEAR(got.x, want.x, 1e-6) << what;
  EXPECT_NEAR(got.y, want.y, 1e-6) << what;
  EXPECT_NEAR(got.z, want.z, 1e-6) << what;
}

class ArcPlacement : public ::testing::TestWithParam<ArcCase> {};

TEST_P(ArcPlacement, StartsEndsAndTurnsWhereTheEntityDoes) {
  const ArcCase& c = GetParam();
  Drawing d;
  ElementContext ctx{d, Placement{kScale, {}, c.is3d}, 0, {}, 1, 0, 0};
  Entity e;
  e.type = c.type;
  e.extrusion = c.extrusion;
  if (c.type == "ARC") {
    double x = 1, y = 2, z = 0;
    toWorld(c.extrusion, x, y, z);
    e.vertices = {{x, y, z, 0}};
    e.radius = 3;
    e.startAngle = c.startDeg;
    e.endAngle = c.endDeg;
  } else {
    e.vertices = {{c.from.x, c.from.y, c.from.z, c.bulge}, {c.to.x, c.to.y, c.to.z, 0}};
  }
  std::vector<uint8_t> run;
  ASSERT_TRUE(appendElementRun(ctx, e, run));
  std::vector<dgn::ElementSlot> slots;
  ASSERT_EQ(dgn::indexRun(dgn::Bytes(run.data(), run.size()), slots, nullptr), SUCCESS);
  // The arc: the element itself (ARC) or the chain's component.
  const dgn::ElementSlot& s = slots.back();
  dgn::ElementRecord record;
  ASSERT_TRUE(
      dgn::decodeRecord(dgn::Bytes(run.data() + s.offset, s.extentEnd - s.offset), c.is3d, record));
  const auto* arc = std::get_if<dgn::ArcRecord>(&record);
  ASSERT_NE(arc, nullptr);
  expectNear(at(*arc, arc->start), c.from, "start");
  expectNear(at(*arc, arc->start + arc->sweep), c.to, "end");
  expectNear(at(*arc, arc->start + arc->sweep / 2), c.through, "middle");
}

const double kHalf = std::sqrt(2.0) / 2, k = 3 * kHalf;
constexpr Point3 kUp{0, 0, 1}, kDown{0, 0, -1};

// One bulged LWPOLYLINE segment from `from` to `to`.
ArcCase bulge(const char* label, Point3 extrusion, bool is3d, double b, Point3 from, Point3 to,
              Point3 through) {
  return {label, "LWPOLYLINE", extrusion, is3d, b, 0, 0, from, to, through};
}

// An ARC about (1, 2) in its object coordinate system, radius 3.
ArcCase arc(const char* label, Point3 extrusion, bool is3d, Point3 from, Point3 to,
            Point3 through) {
  return {label, "ARC", extrusion, is3d, 0, 0, 90, from, to, through};
}

INSTANTIATE_TEST_SUITE_P(
    Dxf, ArcPlacement,
    ::testing::Values(
        // A half circle to the right of (0,0) -> (2,0) turns counter-clockwise: through (1,-1).
        bulge("bulge_ccw", kUp, false, 1, {0, 0, 0}, {2, 0, 0}, {1, -1, 0}),
        bulge("bulge_cw", kUp, false, -1, {0, 0, 0}, {2, 0, 0}, {1, 1, 0}),
        // A quarter circle counter-clockwise about the origin: bulge tan(90/4).
        bulge("bulge_quarter", kUp, false, std::tan(kPi / 8), {1, 0, 0}, {0, 1, 0},
              {kHalf, kHalf, 0}),
        // Seen from below, the same bulge turns the other way in the world.
        bulge("bulge_mirrored", kDown, false, 1, {0, 0, 0}, {2, 0, 0}, {1, 1, 0}),
        bulge("bulge_mirrored_3d", kDown, true, 1, {0, 0, 0}, {2, 0, 0}, {1, 1, 0}),
        // From 0 to 90 degrees.
        arc("arc", kUp, false, {4, 2, 0}, {1, 5, 0}, {1 + k, 2 + k, 0}),
        // Mirrored: the OCS x axis is the world's -x.
        arc("arc_mirrored", kDown, false, {-4, 2, 0}, {-1, 5, 0}, {-1 - k, 2 + k, 0}),
        // Extrusion +y: by the arbitrary axis rule the OCS axes are world -x, +z, +y, so the
        // centre (1, 2) lies at (-1, 0, 2).
        arc("arc_tilted", {0, 1, 0}, true, {-4, 0, 2}, {-1, 0, 5}, {-1 - k, 0, 2 + k})),
    [](const ::testing::TestParamInfo<ArcCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelvara::dxf
