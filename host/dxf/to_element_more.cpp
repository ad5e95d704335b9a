// Element runs of the entity types beyond those of to_element.cpp: ELLIPSE (ellipse 15 or arc
// 16), SPLINE (B-spline curve 27 with its knots 26, poles 21 and weights 28), MTEXT (text node 7
// with one text 17 per line), DIMENSION (33) and MLINE (36) with bodies of their own that equal
// entities fill alike, HATCH (a shape or complex shape per loop, filled when solid; a group cell
// holding the loops, inner ones as holes, when there are several), SOLID and TRACE (filled shape
// 6) and 3DFACE (shape 6).
//
// A spline given by fit points only gets the control points of an interpolating curve
// (spline_fit.cpp). What V7 cannot hold is left to the opaque element (appendMoreElementRun
// returns false): periodic splines, more than 101 poles or an order above 15.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <string>

#include "host/dgn/build.h"
#include "host/dgn/records.h"
#include "host/dxf/internal.h"
#include "host/dxf/to_element.h"

namespace kelvara::dxf {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180;
constexpr size_t kMaxPoles = 101;
constexpr int kMaxOrder = 15;
constexpr double kQuantum = 1e9;          // scales, parameters and measurements compare to 1e-9
constexpr double kLineSpacing = 5.0 / 3;  // MTEXT line pitch per character height

DPoint3d uor(const ElementContext& c, const Point3& p) {
  return toUor(c.placement, p.x, p.y, p.z);
}

Point3 unitOf(const Point3& p) {
  const double n = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
  return n > 0 ? Point3{p.x / n, p.y / n, p.z / n} : Point3{1, 0, 0};
}

Point3 crossOf(const Point3& a, const Point3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Axes whose columns are x, y = z cross x, and z.
RotMatrix axesOf(const Point3& x, const Point3& z) {
  const Point3 cx = unitOf(x), cz = unitOf(z), cy = unitOf(crossOf(cz, cx));
  RotMatrix m;
  const Point3 cols[3] = {cx, cy, cz};
  for (int j = 0; j < 3; ++j) m.m[0][j] = cols[j].x, m.m[1][j] = cols[j].y, m.m[2][j] = cols[j].z;
  return m;
}

// The counter-clockwise sweep from `start` to `end` (radians) in (0, 2 pi].
double sweepOf(double start, double end) {
  const double s = std::fmod(end - start, 2 * kPi);
  return s <= 1e-12 ? s + 2 * kPi : s;
}

void putU64(std::vector<uint8_t>& e, uint64_t v) {
  for (int i = 0; i < 8; ++i) e.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putQuantised(std::vector<uint8_t>& e, double v) {
  putU64(e, static_cast<uint64_t>(static_cast<int64_t>(std::llround(v * kQuantum))));
}
void putPoint(std::vector<uint8_t>& e, const DPoint3d& p) {
  for (double v : {p.x, p.y, p.z}) putU64(e, static_cast<uint64_t>(std::llround(v)));
}

uint64_t fnv64(std::string_view s, uint64_t h = 0xcbf29ce484222325ull) {
  for (unsigned char ch : s) {
    h ^= ch;
    h *= 0x100000001b3ull;
  }
  return h;
}

std::string upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

// Marks every element of a finished run as a component and appends it.
void appendComponent(const std::vector<uint8_t>& run, std::vector<uint8_t>& out) {
  const size_t at = out.size();
  out.insert(out.end(), run.begin(), run.end());
  for (size_t p = at; p + 4 <= out.size(); p += dgn::sizeOf(&out[p])) out[p] |= 0x80;
}

// The range corners of every element of the runs.
std::vector<DPoint3d> cornersOf(const std::vector<std::vector<uint8_t>>& runs) {
  std::vector<DPoint3d> out;
  for (const auto& run : runs) {
    const DRange3d r = dgn::decodeHeader(dgn::Bytes(run.data(), run.size())).range;
    out.push_back({double(r.xLow), double(r.yLow), double(r.zLow)});
    out.push_back({double(r.xHigh), double(r.yHigh), double(r.zHigh)});
  }
  return out;
}

// Appends `header` (finished; its word at 36 takes the complex length) and the components.
void appendWithComponents(std::vector<uint8_t>& header,
                          const std::vector<std::vector<uint8_t>>& components, bool lengthIsInt32,
                          std::vector<uint8_t>& out) {
  size_t words = 0;
  for (const auto& comp : components) words += comp.size() / 2;
  if (lengthIsInt32)  // B-spline header: the words after the first 20
    dgn::writeInt32(header.data() + 36, static_cast<int32_t>(header.size() / 2 - 20 + words));
  else
    dgn::writeU16(header.data() + 36, static_cast<uint16_t>(header.size() / 2 - 19 + words));
  out.insert(out.end(), header.begin(), header.end());
  for (const auto& comp : components) appendComponent(comp, out);
}

// An ellipse (full turn) or elliptic arc of semi-axes |major| and |major| * ratio.
std::vector<uint8_t> ellipseElement(const ElementContext& c, const Point3& centre,
                                    const Point3& major, const Point3& normal, double ratio,
                                    double start, double sweep) {
  const double a =
      std::sqrt(major.x * major.x + major.y * major.y + major.z * major.z) * c.placement.scale;
  const bool full = std::fabs(sweep) >= 2 * kPi - 1e-12;
  return arcElement(c, uor(c, centre), a, a * std::fabs(ratio), axesOf(major, normal),
                    full ? 0 : start, sweep, full);
}

std::vector<uint8_t> scalarsElement(const ElementContext& c, int type,
                                    const std::vector<double>& values,
                                    const std::vector<DPoint3d>& range) {
  std::vector<uint8_t> e = startElement(c, type, 4 * values.size());
  for (size_t i = 0; i < values.size(); ++i)
    dgn::writeInt32(e.data() + 36 + 4 * i, dgn::roundToInt32(values[i] * dgn::UNIT_SCALE_ONE));
  setRange(e, range);
  dgn::finishElement(e);
  return e;
}

// A B-spline curve run: header 27, interior knots 26 (normalised to 0..1; none when the curve
// has no more poles than its order), poles 21 and, for a rational curve, weights 28 (divided by
// the largest, which leaves the curve unchanged). False when V7 cannot hold the curve.
bool appendSplineRun(const ElementContext& c, const Spline& given, std::vector<uint8_t>& out) {
  Spline fitted;
  if (given.control.empty() && !interpolateSpline(given, kMaxPoles, fitted)) return false;
  const Spline& s = given.control.empty() ? fitted : given;
  if (s.degree < 1 || s.degree >= kMaxOrder) return false;
  const size_t n = s.control.size();
  const int k = s.degree + 1;
  if (n < size_t(k) || n > kMaxPoles || (s.flags & 2)) return false;
  std::vector<double> interior;
  if (!s.knots.empty()) {
    if (s.knots.size() != n + size_t(k)) return false;
    const double lo = s.knots[k - 1], hi = s.knots[n];
    if (!(hi > lo)) return false;
    for (size_t i = size_t(k); i < n; ++i) interior.push_back((s.knots[i] - lo) / (hi - lo));
  }
  std::vector<double> weights;
  if (!s.weights.empty()) {
    if (s.weights.size() != n) return false;
    const double top = *std::max_element(s.weights.begin(), s.weights.end());
    if (*std::min_element(s.weights.begin(), s.weights.end()) <= 0) return false;
    if (top != *std::min_element(s.weights.begin(), s.weights.end()))
      for (double w : s.weights) weights.push_back(w / top);
  }
  std::vector<DPoint3d> poles;
  for (const Point3& p : s.control) poles.push_back(uor(c, p));
  std::vector<std::vector<uint8_t>> comps;
  if (!interior.empty()) comps.push_back(scalarsElement(c, 26, interior, poles));
  comps.push_back(vertexElement(c, 21, poles));
  if (!weights.empty()) comps.push_back(scalarsElement(c, 28, weights, poles));
  std::vector<uint8_t> h = startElement(c, 27, 10);
  h[40] = static_cast<uint8_t>((k - 2) | 0x10 | (weights.empty() ? 0 : 0x40));
  dgn::writeU16(h.data() + 42, static_cast<uint16_t>(n));
  dgn::writeU16(h.data() + 44, static_cast<uint16_t>(interior.size()));
  setRange(h, poles);
  dgn::finishElement(h);
  appendWithComponents(h, comps, true, out);
  return true;
}

// A text node: one text element per line of the plain text, stacked down the text's y axis by
// 5/3 of the character height from the insertion point (taken as the top of the first line).
bool appendMtext(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  if (e.vertices.empty() || !(e.height > 0)) return false;
  const Vertex& at = e.vertices[0];
  const Point3 down = unitOf(crossOf(unitOf(e.direction), unitOf(e.extrusion)));
  std::vector<std::vector<uint8_t>> lines;
  size_t longest = 0, row = 0;
  for (size_t from = 0; from <= e.text.size(); ++row) {
    const size_t to = std::min(e.text.find('\n', from), e.text.size());
    const double drop = e.height * (1 + kLineSpacing * double(row));
    if (to > from) {
      Entity t;
      t.type = "TEXT";
      t.text = e.text.substr(from, to - from);
      t.height = e.height;
      t.rotation = e.rotation;
      t.extrusion = e.extrusion;
      t.vertices = {{at.x + down.x * drop, at.y + down.y * drop, at.z + down.z * drop, 0}};
      std::vector<uint8_t> run;
      if (!appendElementRun(c, t, run)) return false;
      lines.push_back(std::move(run));
      longest = std::max(longest, std::min<size_t>(to - from, 255));
    }
    from = to + 1;
  }
  if (lines.empty() || lines.size() > 0xFFFF) return false;
  const bool is3d = c.placement.is3d;
  std::vector<uint8_t> h = startElement(c, 7, is3d ? 50 : 34);
  dgn::writeU16(h.data() + 38, static_cast<uint16_t>(lines.size()));
  h[42] = 255;
  h[43] = static_cast<uint8_t>(longest);
  const int row3 = (std::clamp(e.attachment, 1, 9) - 1) / 3, column = (e.attachment - 1) % 3;
  h[45] = static_cast<uint8_t>(std::clamp(column, 0, 2) * 6 + row3);
  const double size = e.height * c.placement.scale;
  dgn::writeInt32(h.data() + 46, dgn::roundToInt32(size * kLineSpacing));
  dgn::writeInt32(h.data() + 50, dgn::roundToInt32(size / dgn::TEXT_SIZE_FACTOR));
  dgn::writeInt32(h.data() + 54, dgn::roundToInt32(size / dgn::TEXT_SIZE_FACTOR));
  const RotMatrix axes = axesOf(e.direction, e.extrusion);
  const DPoint3d origin = toUor(c.placement, at.x, at.y, at.z);
  if (is3d) {
    double q[4];
    dgn::matrixToQuaternion(axes, q);
    for (int i = 0; i < 4; ++i) dgn::writeInt32(h.data() + 58 + 4 * i, dgn::roundToInt32(q[i]));
    dgn::putPoint(h.data() + 74, origin, true);
  } else {
    double angle = std::atan2(axes.m[1][0], axes.m[0][0]) / kDegree;
    if (angle < 0) angle += 360;
    dgn::writeInt32(h.data() + 58, dgn::roundToInt32(angle * dgn::ANGLE_UNITS_PER_DEGREE));
    dgn::putPoint(h.data() + 62, origin, false);
  }
  std::vector<DPoint3d> corners = cornersOf(lines);
  corners.push_back(origin);
  setRange(h, corners);
  dgn::finishElement(h);
  appendWithComponents(h, lines, false, out);
  return true;
}

// DIMENSION: the kind, the points the record holds, the text rotation, a digest of the text,
// its formatting and the dimension style, and the measurement. The picture block (*Dn) is left
// out: equal dimensions own different ones.
bool appendDimension(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  const Dimension& d = e.dimension;
  std::vector<uint8_t> el = startElement(c, 33, 0);
  el.insert(el.end(), {'D', 'I', 'M', 0});
  el.push_back(static_cast<uint8_t>(d.kind));
  el.push_back(static_cast<uint8_t>(d.flags & 64));  // ordinate X-type
  uint8_t mask = 0;
  std::vector<DPoint3d> points;
  for (int i = 0; i < 7; ++i)
    if (d.has[i]) {
      mask |= static_cast<uint8_t>(1 << i);
      points.push_back(uor(c, d.points[i]));
    }
  if (points.empty()) return false;
  el.push_back(mask);
  for (const DPoint3d& p : points) putPoint(el, p);
  putQuantised(el, e.rotation);
  putU64(el, fnv64(upper(d.dimstyle), fnv64(e.formatting + '\0', fnv64(e.text + '\0'))));
  el.push_back(d.measurement ? 1 : 0);
  putQuantised(el, d.measurement.value_or(0));
  setRange(el, points);
  appendFinished(el, out);
  return true;
}

// MLINE: justification, flags, scale, style name, the vertices and a digest of the directions
// and element parameters.
bool appendMline(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  const Mline& m = e.mline;
  if (m.vertices.empty() || m.vertices.size() > 0xFFFF) return false;
  std::vector<uint8_t> el = startElement(c, 36, 0);
  el.insert(el.end(), {'M', 'L', 'N', 0});
  el.push_back(static_cast<uint8_t>(m.justification));
  el.push_back(static_cast<uint8_t>(m.flags));
  el.push_back(static_cast<uint8_t>(m.vertices.size() & 0xFF));
  el.push_back(static_cast<uint8_t>(m.vertices.size() >> 8));
  putQuantised(el, m.scale);
  putU64(el, fnv64(upper(m.style)));
  std::vector<DPoint3d> points;
  std::string shape;
  double widest = 0;
  auto quantum = [&](double v) { shape += std::to_string(std::llround(v * kQuantum)) + ','; };
  for (const MlineVertex& v : m.vertices) {
    points.push_back(uor(c, v.position));
    putPoint(el, points.back());
    for (double x : {v.direction.x, v.direction.y, v.direction.z, v.miter.x, v.miter.y, v.miter.z})
      quantum(x);
    for (const auto& list : v.parameters) {
      for (double p : list) quantum(p), widest = std::max(widest, std::fabs(p));
      shape += ';';
    }
  }
  putU64(el, fnv64(shape));
  setRange(el, points, widest * std::fabs(m.scale) * c.placement.scale);
  appendFinished(el, out);
  return true;
}

// One boundary loop as a shape or complex shape run. Arc and ellipse edges run from their start
// to their end angle; a clockwise edge stores both as 360 minus the angle.
bool appendLoop(const ElementContext& c, const HatchLoop& l, const Point3& extrusion,
                std::vector<uint8_t>& run) {
  if (l.flags & 2) {
    Entity p;
    p.type = "LWPOLYLINE";
    p.vertices = l.vertices;
    p.closed = true;
    p.extrusion = extrusion;
    const auto same = [](const Vertex& a, const Vertex& b) {
      return a.x == b.x && a.y == b.y && a.z == b.z;
    };
    if (p.vertices.size() > 2 && same(p.vertices.front(), p.vertices.back())) p.vertices.pop_back();
    return appendElementRun(c, p, run);
  }
  std::vector<std::vector<uint8_t>> parts;
  for (const HatchEdge& edge : l.edges) {
    std::vector<uint8_t> part;
    const double start = edge.startAngle * kDegree, end = edge.endAngle * kDegree;
    const double from = edge.ccw ? start : -start;
    const double sweep = edge.ccw ? sweepOf(start, end) : -sweepOf(start, end);
    if (edge.type == 1) {
      part = vertexElement(c, 4, {uor(c, edge.start), uor(c, edge.end)});
    } else if (edge.type == 2) {
      if (!(edge.radius > 0)) return false;
      const RotMatrix axes = ocsAxes(extrusion);
      const Point3 x{axes.m[0][0] * edge.radius, axes.m[1][0] * edge.radius,
                     axes.m[2][0] * edge.radius};
      part = ellipseElement(c, edge.start, x, extrusion, 1, from, sweep);
    } else if (edge.type == 3) {
      if (!(edge.radius > 0)) return false;
      part = ellipseElement(c, edge.start, edge.end, extrusion, edge.radius, from, sweep);
    } else if (edge.type != 4 || !appendSplineRun(c, edge.spline, part)) {
      return false;
    }
    parts.push_back(std::move(part));
  }
  if (parts.empty()) return false;
  appendComplex(c, 14, parts, run);
  return true;
}

// Adds a linkage (and, on a complex header, its words to the complex length) to the first
// element of a run.
void linkFirst(std::vector<uint8_t>& run, const std::vector<uint8_t>& linkage, uint16_t props) {
  std::vector<uint8_t> first(run.begin(), run.begin() + dgn::sizeOf(run.data()));
  const std::vector<uint8_t> rest(run.begin() + long(first.size()), run.end());
  dgn::writeU16(first.data() + 32, dgn::readU16(first.data() + 32) | props);
  if (!linkage.empty()) {
    const size_t before = first.size();
    dgn::appendLinkage(first, linkage);
    if (dgn::isComplexHeaderType(dgn::typeOf(first.data())))
      dgn::writeU16(first.data() + 36, static_cast<uint16_t>(dgn::readU16(first.data() + 36) +
                                                             (first.size() - before) / 2));
  }
  run = first;
  run.insert(run.end(), rest.begin(), rest.end());
}

// HATCH: each loop a shape or complex shape, filled with the entity's colour when the hatch is
// solid; several loops go into an unnamed group cell, the loops other than the external and
// outermost ones marked as holes.
bool appendHatch(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  const Hatch& h = e.hatch;
  std::vector<std::vector<uint8_t>> loops;
  for (const HatchLoop& l : h.loops) {
    std::vector<uint8_t> run;
    if (!appendLoop(c, l, e.extrusion, run)) return false;
    const bool hole = h.loops.size() > 1 && !(l.flags & (1 | 16));
    linkFirst(run, h.solid ? dgn::makeFillLinkage(c.colour) : std::vector<uint8_t>{},
              hole ? dgn::PROP_HOLE : 0);
    loops.push_back(std::move(run));
  }
  if (loops.empty()) return false;
  if (loops.size() == 1) {
    out.insert(out.end(), loops[0].begin(), loops[0].end());
    return true;
  }
  const bool is3d = c.placement.is3d;
  std::vector<uint8_t> cell = startElement(c, 2, is3d ? 88 : 56);
  dgn::writeU16(cell.data() + 32, dgn::readU16(cell.data() + 32) | dgn::PROP_HOLE);
  if (c.level > 0) {
    const int bit = c.level - 1;
    cell[44 + bit / 8] = static_cast<uint8_t>(1 << (bit % 8));
  }
  const std::vector<DPoint3d> corners = cornersOf(loops);
  setRange(cell, corners);
  const DRange3d r = dgn::decodeHeader(dgn::Bytes(cell.data(), cell.size())).range;
  const DPoint3d lo{double(r.xLow), double(r.yLow), double(r.zLow)};
  const DPoint3d hi{double(r.xHigh), double(r.yHigh), double(r.zHigh)};
  const auto one = static_cast<int32_t>(dgn::CELL_MATRIX_ONE);
  if (is3d) {
    dgn::putPoint(cell.data() + 52, lo, true);
    dgn::putPoint(cell.data() + 64, hi, true);
    for (int i = 0; i < 3; ++i) dgn::writeInt32(cell.data() + 76 + 16 * i, one);
  } else {
    dgn::putPoint(cell.data() + 52, lo, false);
    dgn::putPoint(cell.data() + 60, hi, false);
    dgn::writeInt32(cell.data() + 68, one);
    dgn::writeInt32(cell.data() + 80, one);
  }
  dgn::finishElement(cell);
  appendWithComponents(cell, loops, false, out);
  return true;
}

// SOLID and TRACE: a filled shape; 3DFACE: a shape.
bool appendFace(const ElementContext& c, const Entity& e, bool filled, std::vector<uint8_t>& out) {
  if (e.vertices.size() < 3) return false;
  std::vector<DPoint3d> pts;
  for (const Vertex& v : e.vertices) pts.push_back(toUor(c.placement, v.x, v.y, v.z));
  pts.push_back(pts.front());
  std::vector<uint8_t> el = vertexElement(c, 6, pts);
  if (filled) dgn::appendLinkage(el, dgn::makeFillLinkage(c.colour));
  out.insert(out.end(), el.begin(), el.end());
  return true;
}

}  // namespace

bool appendMoreElementRun(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  if (e.type == "ELLIPSE") {
    if (e.vertices.empty() || !(e.ratio > 0)) return false;
    const Vertex& v = e.vertices[0];
    const std::vector<uint8_t> el =
        ellipseElement(c, {v.x, v.y, v.z}, e.majorAxis, e.extrusion, e.ratio, e.startParam,
                       sweepOf(e.startParam, e.endParam));
    out.insert(out.end(), el.begin(), el.end());
    return true;
  }
  if (e.type == "SPLINE") return appendSplineRun(c, e.spline, out);
  if (e.type == "MTEXT") return appendMtext(c, e, out);
  if (e.type == "DIMENSION") return appendDimension(c, e, out);
  if (e.type == "MLINE") return appendMline(c, e, out);
  if (e.type == "HATCH") return appendHatch(c, e, out);
  if (e.type == "SOLID" || e.type == "TRACE") return appendFace(c, e, true, out);
  if (e.type == "3DFACE") return appendFace(c, e, false, out);
  return false;
}

}  // namespace kelvara::dxf
