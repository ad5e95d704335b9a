// Element runs of ELLIPSE, SPLINE, MTEXT, DIMENSION, MLINE, HATCH, SOLID, TRACE and 3DFACE,
// decoded back element by element with the DGN codec.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <variant>

#include "host/dgn/codec.h"
#include "host/dgn/records.h"
#include "host/dxf/to_element.h"
#include "host/geometry.h"

namespace kelvara::dxf {
namespace {

constexpr double kScale = 1000;  // units of resolution per drawing unit

struct Element {
  dgn::ElementHeader header;
  dgn::ElementRecord record;
  std::vector<uint8_t> bytes;
};

// The elements of a run; every one after the first is a component and a complex header's
// length reaches exactly to the end of the run.
std::vector<Element> decodeRun(const std::vector<uint8_t>& run) {
  std::vector<Element> out;
  for (size_t at = 0; at + 4 <= run.size();) {
    const size_t size = dgn::sizeOf(&run[at]);
    EXPECT_LE(at + size, run.size());
    if (at + size > run.size()) break;
    Element e;
    e.bytes.assign(run.begin() + long(at), run.begin() + long(at + size));
    const dgn::Bytes b(e.bytes.data(), e.bytes.size());
    e.header = dgn::decodeHeader(b);
    std::string why;
    EXPECT_TRUE(dgn::decodeRecord(b, true, e.record, &why)) << why;
    EXPECT_EQ(e.header.complex, at > 0) << "element " << out.size();
    out.push_back(std::move(e));
    at += size;
  }
  if (out.empty()) return out;
  const Element& head = out[0];
  if (const auto* s = std::get_if<dgn::BsplineCurveRecord>(&head.record)) {
    EXPECT_EQ(size_t(s->descriptionWords), run.size() / 2 - 20);
  } else if (dgn::isComplexHeaderType(head.header.type)) {
    EXPECT_EQ(dgn::readU16(head.bytes.data() + 36), run.size() / 2 - 19);
  }
  return out;
}

template <typename R>
const R& as(const Element& e) {
  static const R none{};
  const R* r = std::get_if<R>(&e.record);
  EXPECT_NE(r, nullptr) << "element type " << e.header.type;
  return r ? *r : none;
}

void expectPoint(const DPoint3d& p, double x, double y, double z) {
  EXPECT_NEAR(p.x, x * kScale, 1) << "x";
  EXPECT_NEAR(p.y, y * kScale, 1) << "y";
  EXPECT_NEAR(p.z, z * kScale, 1) << "z";
}

std::vector<int> types(const std::vector<Element>& run) {
  std::vector<int> out;
  for (const Element& e : run) out.push_back(e.header.type);
  return out;
}

Entity entity(const char* type) {
  Entity e;
  e.type = type;
  e.decoded = true;
  return e;
}

HatchLoop polylineLoop(std::vector<Vertex> v, int flags) {
  HatchLoop l;
  l.flags = flags | 2;
  l.closed = true;
  l.vertices = std::move(v);
  return l;
}

Spline rationalSpline() {
  Spline s;
  s.degree = 3;
  s.flags = 4;
  s.control = {{0, 0, 0}, {1, 2, 0}, {3, 1, 0}, {5, 4, 0}, {6, 0, 0}};
  s.knots = {0, 0, 0, 0, 2, 4, 4, 4, 4};
  s.weights = {1, 2, 2, 1, 4};
  return s;
}

// Checks that the B-spline run passes through every fit point of `s` (within two units of
// resolution) and leaves its first point along its start tangent when it has one.
void expectThroughFitPoints(const std::vector<Element>& run, const Spline& s) {
  BsplineCurve curve;
  curve.order = as<dgn::BsplineCurveRecord>(run[0]).order;
  std::vector<double> interior;
  if (run.size() > 2) interior = as<dgn::ScalarsRecord>(run[1]).values;
  curve.poles = as<dgn::LinearRecord>(run.back()).points;
  curve.knots.assign(size_t(curve.order), 0.0);
  curve.knots.insert(curve.knots.end(), interior.begin(), interior.end());
  curve.knots.insert(curve.knots.end(), size_t(curve.order), 1.0);
  std::vector<DPoint3d> stroke;
  ASSERT_GT(strokeBspline(curve, 20000, 100000, stroke), 0u);
  for (const Point3& f : s.fit) {
    double nearest = 1e300;
    for (const DPoint3d& p : stroke)
      nearest =
          std::min(nearest, std::hypot(p.x - f.x * kScale, p.y - f.y * kScale, p.z - f.z * kScale));
    EXPECT_LT(nearest, 2.0) << f.x << "," << f.y;
  }
  if (s.startTangent) {
    const DPoint3d a = curve.poles[0], b = curve.poles[1];
    const double cross = (b.x - a.x) * s.startTangent->y - (b.y - a.y) * s.startTangent->x;
    EXPECT_NEAR(cross, 0, 1e-6 * std::hypot(b.x - a.x, b.y - a.y));
    EXPECT_GT((b.x - a.x) * s.startTangent->x + (b.y - a.y) * s.startTangent->y, 0);
  }
}

struct Case {
  const char* what;
  Entity e;
  std::vector<int> types;  // element types of the run; empty: no run (opaque)
  std::function<void(const std::vector<Element>&)> check;
};

TEST(DxfElementRuns, EachTypeDecodesBackToItsGeometry) {
  Entity ellipse = entity("ELLIPSE");
  ellipse.vertices = {{1, 2, 3, 0}};
  ellipse.majorAxis = {4, 0, 0}, ellipse.ratio = 0.5, ellipse.endParam = 2 * M_PI;
  Entity arc = ellipse;
  arc.majorAxis = {0, 2, 0}, arc.ratio = 0.25, arc.startParam = 0.5, arc.endParam = 2.5;
  Entity spline = entity("SPLINE");
  spline.spline = rationalSpline();
  Entity fitOnly = entity("SPLINE");
  fitOnly.spline.degree = 3,
  fitOnly.spline.fit = {{0, 0, 0}, {1, 2, 0}, {3, 1, 0}, {5, 4, 0}, {6, 0, 1}};
  Entity tangents = fitOnly;
  tangents.spline.startTangent = Point3{0, 1, 0}, tangents.spline.endTangent = Point3{1, 0, 0};
  Entity periodic = entity("SPLINE");
  periodic.spline = rationalSpline();
  periodic.spline.flags = 2;
  Entity text = entity("TEXT");
  text.vertices = {{1, 1, 0, 0}, {5, 2, 0, 0}};
  text.text = "abcd", text.height = 2;
  Entity centred = text;
  centred.details.halign = 1, centred.details.valign = 2;
  centred.vertices[0] = {0, 0, 0, 0};  // placed by its second point
  Entity narrow = text;
  narrow.widthFactor = 0.5;
  Entity polyface = entity("POLYLINE");  // its vertices without the faces that index them
  polyface.vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 1, 0}};
  polyface.polylineFlags = 64;
  Entity polygonMesh = polyface;
  polygonMesh.polylineFlags = 16;
  Entity polyline3d = polyface;
  polyline3d.polylineFlags = 8;
  Entity mtext = entity("MTEXT");
  mtext.vertices = {{1, 1, 0, 0}};
  mtext.text = "ab\n\ncd", mtext.height = 2, mtext.attachment = 5;
  Entity dimension = entity("DIMENSION");
  dimension.dimension.kind = 1, dimension.dimension.has = {true, true, false, true, true};
  dimension.dimension.points = {Point3{0, 5, 0}, {5, 6, 0}, {}, {0, 0, 0}, {10, 0, 0}};
  Entity mline = entity("MLINE");
  mline.mline.vertices = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0.5, 0}, {-0.5, 0}}, {}},
                          {{10, 0, 0}, {1, 0, 0}, {0, 1, 0}, {{0.5, 0}, {-0.5, 0}}, {}}};
  mline.mline.scale = 2;
  Entity solidHatch = entity("HATCH");
  solidHatch.hatch.solid = true;
  solidHatch.hatch.loops = {polylineLoop({{0, 0, 0, 1}, {4, 0, 0, 0}, {4, 4, 0, 0}}, 1)};
  Entity islands = solidHatch;
  islands.hatch.solid = false;
  islands.hatch.loops.push_back(polylineLoop({{1, 1, 0, 0}, {2, 1, 0, 0}, {2, 2, 0, 0}}, 0));
  islands.hatch.loops[0].vertices[0].bulge = 0;
  Entity edges = entity("HATCH");
  HatchLoop edgeLoop;
  edgeLoop.flags = 1;
  edgeLoop.edges.resize(4);
  edgeLoop.edges[0] = {1, {0, 0, 0}, {10, 0, 0}, 0, 0, 0, true, {}};
  edgeLoop.edges[1] = {2, {10, 5, 0}, {}, 5, 270, 90, true, {}};
  edgeLoop.edges[2] = {3, {5, 10, 0}, {5, 0, 0}, 0.5, 0, 180, false, {}};
  edgeLoop.edges[3].type = 4, edgeLoop.edges[3].spline = rationalSpline();
  edges.hatch.loops = {edgeLoop};
  Entity solid = entity("SOLID");
  solid.vertices = {{0, 0, 0, 0}, {4, 0, 0, 0}, {4, 3, 0, 0}, {0, 3, 0, 0}};
  Entity face = solid;
  face.type = "3DFACE";

  const auto fillOf = [](const Element& e) {
    int colour = -1;
    return dgn::fillColour(dgn::Bytes(e.bytes.data(), e.bytes.size()), &colour) ? colour : -1;
  };
  const Case cases[] = {
      {"full ellipse",
       ellipse,
       {15},
       [](const auto& run) {
         const auto& a = as<dgn::ArcRecord>(run[0]);
         EXPECT_NEAR(a.primary, 4 * kScale, 1e-6);
         EXPECT_NEAR(a.secondary, 2 * kScale, 1e-6);
         expectPoint(a.centre, 1, 2, 3);
       }},
      {"elliptic arc along y",
       arc,
       {16},
       [](const auto& run) {
         const auto& a = as<dgn::ArcRecord>(run[0]);
         EXPECT_NEAR(a.primary, 2 * kScale, 1e-6);
         EXPECT_NEAR(a.secondary, 0.5 * kScale, 1e-6);
         EXPECT_NEAR(a.start, 0.5, 1e-6);
         EXPECT_NEAR(a.sweep, 2.0, 1e-6);
         EXPECT_NEAR(a.rotMatrix.m[1][0], 1, 1e-6);  // the major axis is world y
       }},
      {"rational spline",
       spline,
       {27, 26, 21, 28},
       [](const auto& run) {
         const auto& h = as<dgn::BsplineCurveRecord>(run[0]);
         EXPECT_EQ(h.order, 4);
         EXPECT_TRUE(h.rational);
         EXPECT_EQ(h.numPoles, 5);
         EXPECT_EQ(h.numKnots, 1);
         ASSERT_EQ(as<dgn::ScalarsRecord>(run[1]).values.size(), 1u);
         EXPECT_NEAR(as<dgn::ScalarsRecord>(run[1]).values[0], 0.5, 1e-9);
         const auto& poles = as<dgn::LinearRecord>(run[2]).points;
         ASSERT_EQ(poles.size(), 5u);
         expectPoint(poles[3], 5, 4, 0);
         const std::vector<double> weights = as<dgn::ScalarsRecord>(run[3]).values;
         ASSERT_EQ(weights.size(), 5u);
         EXPECT_NEAR(weights[1], 0.5, 1e-9);
         EXPECT_NEAR(weights[4], 1, 1e-9);
       }},
      {"spline of fit points only",
       fitOnly,
       {27, 26, 21},
       [&](const auto& run) { expectThroughFitPoints(run, fitOnly.spline); }},
      {"fit points and end tangents",
       tangents,
       {27, 26, 21},
       [&](const auto& run) {
         EXPECT_EQ(as<dgn::BsplineCurveRecord>(run[0]).numPoles, 7);
         expectThroughFitPoints(run, tangents.spline);
       }},
      {"periodic spline", periodic, {}, nullptr},
      {"multi-line text",
       mtext,
       {7, 17, 17},
       [](const auto& run) {
         const auto& node = as<dgn::TextNodeRecord>(run[0]);
         EXPECT_EQ(node.numStrings, 2);
         EXPECT_EQ(node.justification, 7);  // middle centre
         expectPoint(node.origin, 1, 1, 0);
         EXPECT_EQ(as<dgn::TextRecord>(run[1]).chars, "ab");
         EXPECT_EQ(as<dgn::TextRecord>(run[2]).chars, "cd");
         // Two line pitches lower than the first line (the empty line keeps its place).
         EXPECT_NEAR(as<dgn::TextRecord>(run[1]).origin.y - as<dgn::TextRecord>(run[2]).origin.y,
                     2 * 2 * 5.0 / 3 * kScale, 1);
       }},
      {"dimension",
       dimension,
       {33},
       [](const auto& run) {
         const auto& body = as<dgn::RawRecord>(run[0]).body;
         ASSERT_GE(body.size(), 7u);
         EXPECT_EQ(std::string(body.begin(), body.begin() + 4), std::string("DIM\0", 4));
         EXPECT_EQ(body[4], 1);     // aligned
         EXPECT_EQ(body[6], 0x1B);  // points 10, 11, 13, 14
         EXPECT_EQ(run[0].header.range.xHigh, 10 * kScale);
         EXPECT_EQ(run[0].header.range.yHigh, 6 * kScale);
       }},
      {"multiline",
       mline,
       {36},
       [](const auto& run) {
         EXPECT_EQ(std::string(as<dgn::RawRecord>(run[0]).body.begin(),
                               as<dgn::RawRecord>(run[0]).body.begin() + 4),
                   std::string("MLN\0", 4));
         // The vertices grown by the widest element offset (0.5) times the scale (2).
         EXPECT_EQ(run[0].header.range.xLow, -1 * kScale);
         EXPECT_EQ(run[0].header.range.xHigh, 11 * kScale);
       }},
      {"solid hatch with a bulge",
       solidHatch,
       {14, 16, 4},
       [&](const auto& run) {
         EXPECT_EQ(fillOf(run[0]), 3);
         EXPECT_NEAR(as<dgn::ArcRecord>(run[1]).primary, 2 * kScale, 1e-6);  // half circle
         EXPECT_EQ(as<dgn::LinearRecord>(run[2]).points.size(), 3u);         // (4,0) (4,4) (0,0)
       }},
      {"hatch with an island",
       islands,
       {2, 6, 6},
       [&](const auto& run) {
         EXPECT_TRUE(run[0].header.properties & dgn::PROP_HOLE);  // an unnamed group
         EXPECT_FALSE(run[1].header.properties & dgn::PROP_HOLE);
         EXPECT_TRUE(run[2].header.properties & dgn::PROP_HOLE);
         EXPECT_EQ(fillOf(run[1]), -1);
         EXPECT_EQ(run[0].header.range.xHigh, 4 * kScale);
       }},
      {"hatch of edges",
       edges,
       {14, 4, 16, 16, 27, 26, 21, 28},
       [](const auto& run) {
         const auto& arc = as<dgn::ArcRecord>(run[2]);
         EXPECT_NEAR(arc.start, 1.5 * M_PI, 1e-6);
         EXPECT_NEAR(arc.sweep, M_PI, 1e-6);
         const auto& clockwise = as<dgn::ArcRecord>(run[3]);  // stored as 360 - angle
         EXPECT_NEAR(clockwise.sweep, -M_PI, 1e-6);
         EXPECT_NEAR(clockwise.secondary, 2.5 * kScale, 1e-6);
         EXPECT_TRUE(run[5].header.complex && run[7].header.complex);
       }},
      {"solid",
       solid,
       {6},
       [&](const auto& run) {
         EXPECT_EQ(as<dgn::LinearRecord>(run[0]).points.size(), 5u);
         EXPECT_EQ(fillOf(run[0]), 3);
       }},
      {"3D face", face, {6}, [&](const auto& run) { EXPECT_EQ(fillOf(run[0]), -1); }},
      // Meshes are opaque; a 3D polyline through the same vertices is a line string.
      {"polyface mesh", polyface, {}, {}},
      {"polygon mesh", polygonMesh, {}, {}},
      {"3D polyline",
       polyline3d,
       {4},
       [&](const auto& run) { expectPoint(as<dgn::LinearRecord>(run[0]).points[2], 1, 1, 1); }},
      // Texts that differ only in their alignment or width factor differ in their elements.
      {"text at its first point",
       text,
       {17},
       [&](const auto& run) {
         const auto& t = as<dgn::TextRecord>(run[0]);
         expectPoint(t.origin, 1, 1, 0);
         EXPECT_EQ(t.font, 0);
         EXPECT_EQ(t.justification, 2);  // left bottom
         EXPECT_EQ(t.lengthMult, t.heightMult);
       }},
      {"text centred on its second point",
       centred,
       {17},
       [&](const auto& run) {
         const auto& t = as<dgn::TextRecord>(run[0]);
         EXPECT_EQ(t.justification, 7);   // centre middle
         expectPoint(t.origin, 1, 1, 0);  // 4 long, 2 high, centred on (5, 2)
         EXPECT_NE(t.font, 0);
       }},
      {"narrow text",
       narrow,
       {17},
       [&](const auto& run) {
         const auto& t = as<dgn::TextRecord>(run[0]);
         EXPECT_NEAR(t.lengthMult, t.heightMult / 2, 1);
         EXPECT_NE(t.font, 0);
       }},
  };
  Drawing d;
  const ElementContext c{d, Placement{kScale, {}, true}, 0, {}, 5, 3, 0};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    std::vector<uint8_t> run;
    const bool mapped = appendElementRun(c, k.e, run);
    EXPECT_EQ(mapped, !k.types.empty());
    if (!mapped) continue;
    const std::vector<Element> elements = decodeRun(run);
    ASSERT_EQ(types(elements), k.types);
    k.check(elements);
  }
}

TEST(DxfElementRuns, DimensionsCompareWithoutTheirPictureBlock) {
  Drawing d;
  const ElementContext c{d, Placement{kScale, {}, false}, 0, {}, 1, 1, 0};
  Entity a = entity("DIMENSION");
  a.dimension.has[0] = true;
  a.dimension.points[0] = {1, 2, 0};
  a.block = "*D1", a.text = "<>";
  Entity b = a, other = a;
  b.block = "*D2";
  other.text = "12";
  std::vector<uint8_t> ra, rb, ro;
  ASSERT_TRUE(appendElementRun(c, a, ra) && appendElementRun(c, b, rb) &&
              appendElementRun(c, other, ro));
  EXPECT_EQ(ra, rb);
  EXPECT_NE(ra, ro);
}

}  // namespace
}  // namespace kelvara::dxf
