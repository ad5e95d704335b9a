// Element bodies decoded into records, for every type the comparisons use, in 2D and 3D.
#include "host/dgn/records.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <tuple>

#include "support/dgn_builder.h"

namespace kelvara::dgn {
namespace {

using namespace kelvara::test;
constexpr double kPi = std::numbers::pi;

Bytes bytesOf(const Element& e) {
  return Bytes(e.data(), e.size());
}

template <class R>
R decodeAs(const Element& e, bool is3d) {
  ElementRecord rec;
  std::string why;
  EXPECT_TRUE(decodeRecord(bytesOf(e), is3d, rec, &why)) << why;
  EXPECT_TRUE(std::holds_alternative<R>(rec)) << "variant index " << rec.index();
  return std::holds_alternative<R>(rec) ? std::get<R>(rec) : R{};
}

void expectPoint(const DPoint3d& p, double x, double y, double z = 0) {
  EXPECT_DOUBLE_EQ(p.x, x);
  EXPECT_DOUBLE_EQ(p.y, y);
  EXPECT_DOUBLE_EQ(p.z, z);
}

class Dimension : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(TwoAndThree, Dimension, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "3D" : "2D"; });

TEST_P(Dimension, VertexElements) {
  const bool is3d = GetParam();
  const double z = is3d ? 70 : 0;
  const std::vector<DPoint3d> pts = {{0, 0, z}, {1000, -20, z}, {-2147483000.0, 5, 0}};
  struct Case {
    int type;
    Element e;
    size_t count;
  } cases[] = {
      {3, line(pts[0], pts[1], {}, is3d), 2},
      {4, lineString(pts, {}, is3d), 3},
      {6, shape({pts[0], pts[1], pts[2], pts[0]}, {}, is3d), 4},
      {11, curve(pts, {}, is3d), 3},
      {21, poles(pts, {}, is3d), 3},
      {22, pointString(pts, {}, is3d), 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const auto rec = decodeAs<LinearRecord>(c.e, is3d);
    ASSERT_EQ(rec.points.size(), c.count);
    expectPoint(rec.points[0], 0, 0, z);
    expectPoint(rec.points[1], 1000, -20, z);
    if (c.count > 2) expectPoint(rec.points[2], -2147483000.0, 5, 0);
  }
}

TEST_P(Dimension, ArcsAndEllipses) {
  const bool is3d = GetParam();
  const DPoint3d c{5000.5, -300.25, is3d ? 12.0 : 0.0};
  const auto el = decodeAs<ArcRecord>(ellipse(c, 400, 250, 30, {}, is3d), is3d);
  EXPECT_TRUE(el.isEllipse);
  EXPECT_DOUBLE_EQ(el.primary, 400);
  EXPECT_DOUBLE_EQ(el.secondary, 250);
  EXPECT_NEAR(el.rotation, kPi / 6, 1e-8);
  EXPECT_NEAR(el.rotMatrix.m[1][0], 0.5, 1e-8);  // rotates x towards +y
  EXPECT_NEAR(el.sweep, 2 * kPi, 1e-12);
  expectPoint(el.centre, c.x, c.y, c.z);

  struct Case {
    double start, sweep, expectSweep;
  } cases[] = {{0, 90, 90}, {45, -120, -120}, {270, 0, 360}, {10, 360, 360}};
  for (const Case& k : cases) {
    const auto a = decodeAs<ArcRecord>(arc(c, 100, 100, -45, k.start, k.sweep, {}, is3d), is3d);
    EXPECT_FALSE(a.isEllipse);
    EXPECT_NEAR(a.start, k.start * kPi / 180, 1e-9);
    EXPECT_NEAR(a.sweep, k.expectSweep * kPi / 180, 1e-9) << k.sweep;
    EXPECT_NEAR(a.rotation, -kPi / 4, 1e-8);
    expectPoint(a.centre, c.x, c.y, c.z);
  }
}

TEST_P(Dimension, TextAndTextNode) {
  const bool is3d = GetParam();
  TextSpec t{.chars = "Room 12",
             .origin = {100, 200, is3d ? 3.0 : 0.0},
             .rotationDeg = 90,
             .lengthMult = 5000,
             .heightMult = 10000,
             .font = 3,
             .justification = 7,
             .fields = {{1, 4, -1}, {6, 2, 1}}};
  const auto rec = decodeAs<TextRecord>(text(t, {.level = 5}, is3d), is3d);
  EXPECT_EQ(std::tie(rec.chars, rec.font, rec.justification), std::tuple("Room 12", 3, 7));
  EXPECT_DOUBLE_EQ(rec.width, 30);
  EXPECT_DOUBLE_EQ(rec.height, 60);
  EXPECT_NEAR(rec.rotation, kPi / 2, 1e-8);
  expectPoint(rec.origin, 100, 200, is3d ? 3.0 : 0.0);
  ASSERT_EQ(rec.fields.size(), 2u);
  EXPECT_EQ(std::tie(rec.fields[0].start, rec.fields[0].length, rec.fields[0].justification),
            std::tuple(1, 4, -1));
  EXPECT_EQ(rec.fields[1].justification, 1);
  EXPECT_FALSE(rec.wideChars);

  const Element node = textNode(t, {"one", "two"}, 42, {}, is3d);
  const auto n = decodeAs<TextNodeRecord>(node, is3d);
  EXPECT_EQ(std::tie(n.numStrings, n.nodeNumber, n.font), std::tuple(2, 42, 3));
  EXPECT_DOUBLE_EQ(n.height, 60);
  EXPECT_NEAR(n.rotation, kPi / 2, 1e-8);
  expectPoint(n.origin, 100, 200, is3d ? 3.0 : 0.0);
}

TEST_P(Dimension, CellHeader) {
  const bool is3d = GetParam();
  const Element run = cell("DOOR", {1000, 2000, 0}, {line({0, 0}, {10, 0}, {.level = 4}, is3d)},
                           {.level = 2}, is3d, 90, 2);
  const auto c = decodeAs<CellRecord>(run, is3d);
  EXPECT_EQ(c.name, "DOOR");
  EXPECT_EQ(c.levels, uint64_t(1) << 3);
  expectPoint(c.origin, 1000, 2000, 0);
  EXPECT_NEAR(c.transform.m[0][0], 0, 1e-5);
  EXPECT_NEAR(c.transform.m[1][0], 2, 1e-5);
  EXPECT_NEAR(c.transform.m[0][1], -2, 1e-5);
  // totlength counts the words after byte 37, components included.
  EXPECT_EQ(c.totalLength, (run.size() - 38) / 2);
}

TEST_P(Dimension, ComplexHeadersAndBsplines) {
  const bool is3d = GetParam();
  const Element chain = complexChain(
      {lineString({{0, 0}, {10, 0}}, {}, is3d), line({10, 0}, {10, 10}, {}, is3d)}, {}, is3d);
  const auto cx = decodeAs<ComplexRecord>(chain, is3d);
  EXPECT_EQ(cx.numElements, 2);
  EXPECT_EQ(cx.totalLength, (chain.size() - 38) / 2);

  const Element curveRun = bsplineCurve({{0, 0}, {5, 5}, {10, 0}, {15, 5}}, 3, false, {0.25, 0.5},
                                        {1, 0.5, 0.5, 1}, {}, is3d);
  const auto b = decodeAs<BsplineCurveRecord>(curveRun, is3d);
  EXPECT_EQ(std::tie(b.order, b.numPoles, b.numKnots, b.rational, b.closed),
            std::tuple(3, 4, 2, true, false));
  EXPECT_EQ(b.descriptionWords, int32_t((curveRun.size() - 40) / 2));
  // The knots follow the 48-byte header and come back scaled to 1.0.
  const Element knots(curveRun.begin() + 46, curveRun.begin() + 46 + 44);
  const auto k = decodeAs<ScalarsRecord>(knots, is3d);
  ASSERT_EQ(k.values.size(), 2u);
  EXPECT_NEAR(k.values[0], 0.25, 1e-9);
  EXPECT_NEAR(k.values[1], 0.5, 1e-9);
}

TEST(Records3D, ConeSurfaceAndBspineSurface) {
  const auto cn = decodeAs<ConeRecord>(cone({0, 0, 0}, 50, {0, 0, 300}, 25), true);
  expectPoint(cn.centre2, 0, 0, 300);
  EXPECT_DOUBLE_EQ(cn.radius1, 50);
  EXPECT_DOUBLE_EQ(cn.radius2, 25);
  EXPECT_NEAR(cn.rotMatrix.m[0][0], 1, 1e-9);

  const Element solid = surface(19, 2, {shape({{0, 0}, {10, 0}, {10, 10}, {0, 0}}, {}, true)});
  const auto s = decodeAs<SurfaceRecord>(solid, true);
  EXPECT_EQ(std::tie(s.numElements, s.surfaceType, s.boundaryElements), std::tuple(1, 2, 1));

  const auto bs = decodeAs<BsplineSurfaceRecord>(bsplineSurfaceHeader(4, 5, 3, 4, 1), true);
  EXPECT_EQ(std::tie(bs.uPoles, bs.vPoles, bs.uOrder, bs.vOrder, bs.numBoundaries),
            std::tuple(4, 5, 3, 4, 1));
  const auto bd = decodeAs<BoundaryRecord>(boundary(1, {{0, 0}, {0.5, 1}}), true);
  ASSERT_EQ(bd.uv.size(), 2u);
  EXPECT_NEAR(bd.uv[1].x, 0.5, 1e-9);
  EXPECT_NEAR(bd.uv[1].y, 1.0, 1e-9);
  // A cone in a 2D file has no decoder: its body is carried raw.
  EXPECT_FALSE(decodeAs<RawRecord>(cone({0, 0, 0}, 1, {0, 0, 1}, 1), false).body.empty());
}

TEST(Records, TagsColourTableReferencesAndRaw) {
  const auto tv = decodeAs<TagValueRecord>(tagValue(77, 9, 2, "Oak"), false);
  EXPECT_EQ(std::tie(tv.target, tv.tagSetId, tv.tagIndex, tv.valueType, tv.text),
            std::tuple(77u, 9u, 2, 1, "Oak"));

  const auto ts = decodeAs<TagSetRecord>(tagSet(9, "DOORS", {"WIDTH", "MATERIAL"}), false);
  EXPECT_EQ(std::tie(ts.setNumber, ts.name), std::tuple(9, "DOORS"));
  ASSERT_EQ(ts.tags.size(), 2u);
  const TagDefinition& t = ts.tags[1];
  EXPECT_EQ(std::tie(t.name, t.id, t.prompt, t.defaultText),
            std::tuple("MATERIAL", 2, "MATERIAL?", "-"));

  const auto ct = decodeAs<ColourTableRecord>(colourTable(10, 20, 30), false);
  EXPECT_EQ(ct.rgb[255][0], 10);  // background
  EXPECT_EQ(ct.rgb[255][2], 30);
  EXPECT_EQ(ct.rgb[0][0], 0);  // colour 0 is the second triple
  EXPECT_EQ(ct.rgb[4][1], 251);

  for (bool as66 : {false, true}) {
    const auto r =
        decodeAs<ReferenceRecord>(reference("C:\\dwg\\base.dgn", "BASE", true, as66), false);
    EXPECT_EQ(std::tie(r.fileSpec, r.logicalName), std::tuple("C:\\dwg\\base.dgn", "BASE"));
    EXPECT_EQ(r.displayOptions & 2, 2);
  }

  const auto dim = decodeAs<RawRecord>(opaque(33, {1, 2, 3, 4}), false);
  EXPECT_EQ(dim.body, (std::vector<uint8_t>{1, 2, 3, 4}));
  const auto scd = decodeAs<RawRecord>(sharedCellDefinition({line({0, 0}, {1, 1})}), false);
  EXPECT_EQ(scd.totalLength, (40 - 38 + 52) / 2);
}

TEST(Records, ShortOrLyingBodiesFailWithReason) {
  struct Case {
    const char* what;
    Element e;
    size_t keep;  // bytes kept
  } cases[] = {
      {"line", line({0, 0}, {1, 1}), 40},
      {"line string", lineString({{0, 0}, {1, 1}, {2, 2}}), 50},
      {"arc", arc({0, 0}, 1, 1, 0, 0, 90), 70},
      {"ellipse 3D", ellipse({0, 0}, 1, 1, 0, {}, true), 90},
      {"text", text({.chars = "hello"}), 61},
      {"cell", cell("A", {0, 0}, {}), 80},
      {"tag", tagValue(1, 1, 1, "x"), 100},
  };
  for (const Case& c : cases) {
    Element cut(c.e.begin(), c.e.begin() + static_cast<long>(c.keep));
    ElementRecord rec;
    std::string why;
    EXPECT_FALSE(decodeRecord(Bytes(cut.data(), cut.size()), c.what[std::strlen(c.what) - 1] == 'D',
                              rec, &why))
        << c.what;
    EXPECT_NE(why.find("too short"), std::string::npos) << c.what << ": " << why;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(rec));
  }
  // A vertex count larger than the element is refused, not read past the end.
  Element ls = lineString({{0, 0}, {1, 1}});
  writeU16(ls.data() + 36, 101);
  ElementRecord rec;
  EXPECT_FALSE(decodeRecord(Bytes(ls.data(), ls.size()), false, rec));
}

TEST(Records, QuaternionRoundTrip) {
  for (double deg : {0.0, 30.0, 90.0, 179.0, -135.0}) {
    const RotMatrix m = rotationAboutZ(deg * kPi / 180);
    double q[4];
    matrixToQuaternion(m, q);
    const RotMatrix back = quaternionToMatrix(q);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(back.m[i][j], m.m[i][j], 1e-9) << deg;
  }
  // The form common writers store for a rotation by +a about z: (cos(-a/2), 0, 0, sin(-a/2)).
  const double a = 0.6;
  const double q[4] = {std::cos(-a / 2), 0, 0, std::sin(-a / 2)};
  EXPECT_NEAR(quaternionToMatrix(q).m[1][0], std::sin(a), 1e-12);
}

}  // namespace
}  // namespace kelvara::dgn
