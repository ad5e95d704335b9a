// Element runs of LINE, POINT, LWPOLYLINE, POLYLINE, ARC, CIRCLE, TEXT and INSERT, the opaque
// element of types without a mapping, and the building blocks every mapping shares.
#include "host/dxf/to_element.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "host/dgn/build.h"
#include "host/dgn/records.h"
#include "host/dxf/internal.h"
#include "host/geometry.h"

namespace kelvara::dxf {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180.0;
constexpr size_t kMaxVertices = 101;   // vertices of one V7 line string or shape
constexpr size_t kMaxTextChars = 255;  // characters of one V7 text element
constexpr size_t kMaxBlockName = 64;   // longer block names are kept as a digest
constexpr double kScaleQuantum = 1e9;  // INSERT scales compare to 1e-9
constexpr double kBulgeFlat = 1e-12;   // a smaller bulge is a straight segment

void putU64(std::vector<uint8_t>& e, uint64_t v) {
  for (int i = 0; i < 8; ++i) e.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putI32At(std::vector<uint8_t>& e, size_t o, double v) {
  dgn::writeInt32(e.data() + o, dgn::roundToInt32(v));
}

void putAngle(std::vector<uint8_t>& e, size_t o, double radians) {
  putI32At(e, o, radians / kDegree * dgn::ANGLE_UNITS_PER_DEGREE);
}

void putQuaternion(std::vector<uint8_t>& e, size_t o, const RotMatrix& m) {
  double q[4];
  dgn::matrixToQuaternion(m, q);
  for (int i = 0; i < 4; ++i) putI32At(e, o + 4 * static_cast<size_t>(i), q[i]);
}

void putDoubles(std::vector<uint8_t>& e, size_t o, const DPoint3d& p, bool is3d) {
  dgn::writeVaxD(e.data() + o, p.x);
  dgn::writeVaxD(e.data() + o + 8, p.y);
  if (is3d) dgn::writeVaxD(e.data() + o + 16, p.z);
}

double normalised(double radians) {
  double a = std::fmod(radians, 2 * kPi);
  return a < 0 ? a + 2 * kPi : a;
}

RotMatrix times(const RotMatrix& a, const RotMatrix& b) {
  RotMatrix m;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      m.m[i][j] = 0;
      for (int k = 0; k < 3; ++k) m.m[i][j] += a.m[i][k] * b.m[k][j];
    }
  return m;
}

// The angle of the axes' x column in the plane and whether they look from below (2D files).
double planeRotation(const RotMatrix& axes, bool& mirrored) {
  mirrored = axes.m[2][2] < 0;
  return std::atan2(axes.m[1][0], axes.m[0][0]);
}

DPoint3d uorOf(const ElementContext& c, const Vertex& v) {
  return toUor(c.placement, v.x, v.y, v.z);
}

// Line strings (or a shape) of the straight vertices, split into pieces V7 can hold.
std::vector<std::vector<uint8_t>> straightPieces(const ElementContext& c,
                                                 const std::vector<DPoint3d>& pts) {
  std::vector<std::vector<uint8_t>> out;
  for (size_t first = 0; first + 1 < pts.size(); first += kMaxVertices - 1) {
    const size_t last = std::min(pts.size() - 1, first + kMaxVertices - 1);
    out.push_back(vertexElement(
        c, 4, std::vector<DPoint3d>(pts.begin() + long(first), pts.begin() + long(last) + 1)));
  }
  return out;
}

// The arc from a to b (OCS of `axes`, UOR) whose bulge is `bulge`.
std::vector<uint8_t> bulgeArc(const ElementContext& c, const RotMatrix& axes, const DPoint3d& a,
                              const DPoint3d& b, double bulge) {
  // Work in the plane of the object coordinate system: project onto its x and y axes.
  auto local = [&](const DPoint3d& p, double& x, double& y, double& z) {
    x = p.x * axes.m[0][0] + p.y * axes.m[1][0] + p.z * axes.m[2][0];
    y = p.x * axes.m[0][1] + p.y * axes.m[1][1] + p.z * axes.m[2][1];
    z = p.x * axes.m[0][2] + p.y * axes.m[1][2] + p.z * axes.m[2][2];
  };
  double ax, ay, az, bx, by, bz;
  local(a, ax, ay, az);
  local(b, bx, by, bz);
  const double dx = bx - ax, dy = by - ay, chord = std::hypot(dx, dy);
  const double offset = (1 - bulge * bulge) / (4 * bulge);  // centre from the chord's middle
  const double cx = (ax + bx) / 2 - dy * offset, cy = (ay + by) / 2 + dx * offset;
  const double radius = chord * (1 + bulge * bulge) / (4 * std::fabs(bulge));
  const double start = std::atan2(ay - cy, ax - cx);
  const DPoint3d centre{cx * axes.m[0][0] + cy * axes.m[0][1] + az * axes.m[0][2],
                        cx * axes.m[1][0] + cy * axes.m[1][1] + az * axes.m[1][2],
                        cx * axes.m[2][0] + cy * axes.m[2][1] + az * axes.m[2][2]};
  return arcElement(c, centre, radius, radius, axes, start, 4 * std::atan(bulge), false);
}

bool appendPolyline(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  const auto& v = e.vertices;
  if (v.size() < 2) return false;
  std::vector<DPoint3d> pts;
  pts.reserve(v.size() + 1);
  for (const Vertex& x : v) pts.push_back(uorOf(c, x));
  const size_t segments = e.closed ? v.size() : v.size() - 1;
  const bool bulged = std::any_of(v.begin(), v.begin() + long(segments),
                                  [](const Vertex& x) { return std::fabs(x.bulge) > kBulgeFlat; });
  if (e.closed) pts.push_back(pts.front());
  if (!bulged && pts.size() <= kMaxVertices) {
    std::vector<uint8_t> el = vertexElement(c, e.closed ? 6 : 4, pts);
    out.insert(out.end(), el.begin(), el.end());
    return true;
  }
  const RotMatrix axes = ocsAxes(e.extrusion);
  std::vector<std::vector<uint8_t>> parts;
  std::vector<DPoint3d> run{pts.front()};
  auto flush = [&] {
    if (run.size() < 2) return;
    for (auto& p : straightPieces(c, run)) parts.push_back(std::move(p));
    run = {run.back()};
  };
  for (size_t i = 0; i < segments; ++i) {
    if (std::fabs(v[i].bulge) <= kBulgeFlat) {
      run.push_back(pts[i + 1]);
      continue;
    }
    flush();
    parts.push_back(bulgeArc(c, axes, pts[i], pts[i + 1], v[i].bulge));
    run = {pts[i + 1]};
  }
  flush();
  appendComplex(c, e.closed ? 14 : 12, parts, out);
  return true;
}

// The V7 justification of a TEXT's alignment (72, 73): left, centre and right by the
// horizontal alignment, top, middle and bottom (baseline too) by the vertical one. A text
// aligned or fitted between its two points takes the left and right margin columns, so that
// its justification point is the first or the second of them.
int textJustification(const TextDetails& t) {
  static const int kColumn[] = {0, 2, 4, 1, 2, 3};  // left centre right aligned middle fit
  static const int kRow[] = {2, 2, 1, 0};           // baseline bottom middle top
  const int column = t.halign >= 0 && t.halign <= 5 ? kColumn[t.halign] : 0;
  int row = t.valign >= 0 && t.valign <= 3 ? kRow[t.valign] : 2;
  if (t.halign == 4) row = 1;
  return column * 3 + row;
}

// The V7 font standing for a TEXT's style, width factor and those parts of its alignment the
// justification does not tell apart (baseline from bottom, middle from centre): 0 for the
// plain text of the standard style, else 1 to 255 by a digest of them.
int textFont(const Entity& e) {
  std::string style = e.style;
  std::transform(style.begin(), style.end(), style.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  if ((style.empty() || style == "STANDARD") && e.widthFactor == 1 && e.details.halign == 0 &&
      e.details.valign == 0)
    return 0;
  const std::string key = style + '\n' + std::to_string(std::llround(e.widthFactor * 1e6)) + '\n' +
                          std::to_string(e.details.halign) + '\n' +
                          std::to_string(e.details.valign);
  return 1 + int(fnv64(key) % 255);
}

}  // namespace

TextPlace placeText(const ElementContext& c, const Entity& e, size_t chars) {
  TextPlace t;
  t.height = e.height * c.placement.scale;
  t.width = t.height * (e.widthFactor > 0 ? e.widthFactor : 1);
  t.justification = textJustification(e.details);
  t.font = textFont(e);
  const RotMatrix axes = ocsAxes(e.extrusion);
  // The origin is the text's lower left corner; a text aligned to its second point (11) is
  // placed so that its justification point lies there.
  const bool second = (e.details.halign != 0 || e.details.valign != 0) && e.vertices.size() > 1 &&
                      e.details.halign != 3 && e.details.halign != 5;
  t.origin = uorOf(c, e.vertices[0]);
  if (second) {
    const DPoint3d anchor = uorOf(c, e.vertices[1]);
    const int column = t.justification / 3, row = t.justification % 3;
    const double length = t.width * double(chars);
    const double along = column <= 1 ? 0.0 : column == 2 ? length / 2 : length;
    const double up = row == 0 ? t.height : row == 1 ? t.height / 2 : 0.0;
    const double r = e.rotation * kDegree;
    const DPoint3d offset = rotate(
        axes, {along * std::cos(r) - up * std::sin(r), along * std::sin(r) + up * std::cos(r), 0});
    t.origin = {anchor.x - offset.x, anchor.y - offset.y, anchor.z - offset.z};
  } else if (e.vertices.size() > 1 && (e.details.halign == 3 || e.details.halign == 5)) {
    // Aligned or fitted: the second point ends the text, so the length runs to it.
    const DPoint3d end = uorOf(c, e.vertices[1]);
    const DPoint3d& o = t.origin;
    const double span = std::hypot(end.x - o.x, end.y - o.y, end.z - o.z);
    if (chars > 0 && span > 0) t.width = span / double(chars);
  }
  if (c.placement.is3d) {
    t.orientation = times(axes, dgn::rotationAboutZ(e.rotation * kDegree));
  } else {
    bool mirrored = false;
    const double base = planeRotation(axes, mirrored);
    t.angle = normalised(base + (mirrored ? -1 : 1) * e.rotation * kDegree);
  }
  const double length = t.height * double(chars);
  const double r = e.rotation * kDegree;
  const DPoint3d& o = t.origin;
  t.corner = {o.x + length * std::cos(r) - t.height * std::sin(r),
              o.y + length * std::sin(r) + t.height * std::cos(r), o.z};
  return t;
}

namespace {

bool appendText(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  if (e.vertices.empty()) return false;
  const bool is3d = c.placement.is3d;
  const size_t o = is3d ? 74 : 58;
  const std::string chars = e.text.substr(0, kMaxTextChars);
  std::vector<uint8_t> el = startElement(c, 17, o + 2 + chars.size() - 36);
  const TextPlace t = placeText(c, e, chars.size());
  el[36] = static_cast<uint8_t>(t.font);
  el[37] = static_cast<uint8_t>(t.justification);
  putI32At(el, 38, t.width / dgn::TEXT_SIZE_FACTOR);
  putI32At(el, 42, t.height / dgn::TEXT_SIZE_FACTOR);
  if (is3d) {
    putQuaternion(el, 46, t.orientation);
    dgn::putPoint(el.data() + 62, t.origin, true);
  } else {
    putAngle(el, 46, t.angle);
    dgn::putPoint(el.data() + 50, t.origin, false);
  }
  el[o] = static_cast<uint8_t>(chars.size());
  std::copy(chars.begin(), chars.end(), el.begin() + long(o + 2));
  setRange(el, {t.origin, t.corner});
  appendFinished(el, out);
  return true;
}

// A block reference: a shared cell instance whose body holds the block name, the placement
// and a digest of the attributes, so that equal references compare equal byte for byte. With
// attributes it carries the association id their tag elements point at.
bool appendInsert(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  if (e.vertices.empty()) return false;
  std::vector<uint8_t> el = startElement(c, 35, 0);
  std::string name = e.block;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  el.insert(el.end(), {'I', 'N', 'S', 0});
  if (name.size() > kMaxBlockName) {
    putU64(el, fnv64(name));
  } else {
    el.push_back(static_cast<uint8_t>(name.size()));
    el.insert(el.end(), name.begin(), name.end());
  }
  const DPoint3d origin = uorOf(c, e.vertices[0]);
  for (double v : {origin.x, origin.y, origin.z})
    putU64(el, static_cast<uint64_t>(static_cast<int64_t>(std::llround(v))));
  const Point3 ez = e.extrusion;
  for (double v : {e.scale.x, e.scale.y, e.scale.z, e.rotation, ez.x, ez.y, ez.z})
    putU64(el, static_cast<uint64_t>(static_cast<int64_t>(std::llround(v * kScaleQuantum))));
  el.push_back(static_cast<uint8_t>(std::min<size_t>(e.attribs.size(), 255)));
  putU64(el, attribsDigest(c, e));
  setRange(el, {origin});
  if (!e.attribs.empty()) {
    dgn::finishElement(el);
    std::vector<uint8_t> link(16, 0);
    dgn::writeU16(link.data(), 0x1007);
    dgn::writeU16(link.data() + 2, dgn::LINKAGE_ID_ASSOCIATION);
    dgn::writeU32LE(link.data() + 4, c.association);
    dgn::appendLinkage(el, link);
  }
  appendFinished(el, out);
  return true;
}

}  // namespace

int v7Level(uint32_t levelCode) {
  return levelCode < 64 ? int(levelCode) : 1 + int(levelCode % 63);
}

DPoint3d toUor(const Placement& p, double x, double y, double z) {
  return {(x - p.origin.x) * p.scale, (y - p.origin.y) * p.scale,
          p.is3d ? (z - p.origin.z) * p.scale : 0.0};
}

RotMatrix ocsAxes(const Point3& extrusion) {
  RotMatrix m;
  Point3 axis[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int j = 0; j < 3; ++j) {
    Point3 p = axis[j];
    toWorld(extrusion, p.x, p.y, p.z);
    m.m[0][j] = p.x;
    m.m[1][j] = p.y;
    m.m[2][j] = p.z;
  }
  return m;
}

std::vector<uint8_t> startElement(const ElementContext& c, int type, size_t bodyBytes) {
  std::vector<uint8_t> e = dgn::beginElement(type, c.level);
  e.resize(dgn::HEADER_BYTES + bodyBytes, 0);
  dgn::writeU16(e.data() + 34, dgn::makeSymbology(c.colour & 0xFF, c.weight & 0x1F, 0));
  return e;
}

void setRange(std::vector<uint8_t>& e, const std::vector<DPoint3d>& points, double margin) {
  if (points.empty()) return;
  DPoint3d lo = points[0], hi = points[0];
  for (const DPoint3d& p : points) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  dgn::writeRange(e.data(), DRange3d{dgn::roundToInt32(std::floor(lo.x - margin)),
                                     dgn::roundToInt32(std::floor(lo.y - margin)),
                                     dgn::roundToInt32(std::floor(lo.z - margin)),
                                     dgn::roundToInt32(std::ceil(hi.x + margin)),
                                     dgn::roundToInt32(std::ceil(hi.y + margin)),
                                     dgn::roundToInt32(std::ceil(hi.z + margin))});
}

void appendFinished(std::vector<uint8_t>& e, std::vector<uint8_t>& out) {
  dgn::finishElement(e);
  out.insert(out.end(), e.begin(), e.end());
}

std::vector<uint8_t> vertexElement(const ElementContext& c, int type,
                                   const std::vector<DPoint3d>& points) {
  const bool is3d = c.placement.is3d;
  const size_t step = is3d ? 12 : 8;
  const size_t first = type == 3 ? 36 : 38;
  std::vector<uint8_t> e = startElement(c, type, first - 36 + points.size() * step);
  if (type != 3) dgn::writeU16(e.data() + 36, static_cast<uint16_t>(points.size()));
  for (size_t i = 0; i < points.size(); ++i)
    dgn::putPoint(e.data() + first + i * step, points[i], is3d);
  setRange(e, points);
  dgn::finishElement(e);
  return e;
}

std::vector<uint8_t> arcElement(const ElementContext& c, const DPoint3d& centre, double a, double b,
                                const RotMatrix& axes, double start, double sweep, bool full) {
  const bool is3d = c.placement.is3d;
  const size_t body = full ? (is3d ? 56 : 36) : (is3d ? 64 : 44);
  std::vector<uint8_t> e = startElement(c, full ? 15 : 16, body);
  const size_t o = full ? 36 : 44;  // the radii
  double rotation = 0;
  if (!is3d) {
    bool mirrored = false;
    rotation = planeRotation(axes, mirrored);
    if (mirrored) start = -start, sweep = -sweep;
  }
  if (!full) {
    putAngle(e, 36, normalised(start));
    const double magnitude = std::fabs(sweep) / kDegree * dgn::ANGLE_UNITS_PER_DEGREE;
    const uint32_t m = static_cast<uint32_t>(std::min(std::llround(magnitude), 0x7FFFFFFFll));
    dgn::writeInt32(e.data() + 40, static_cast<int32_t>((sweep < 0 ? 0x80000000u : 0u) | m));
  }
  dgn::writeVaxD(e.data() + o, a);
  dgn::writeVaxD(e.data() + o + 8, b);
  if (is3d) {
    putQuaternion(e, o + 16, axes);
    putDoubles(e, o + 32, centre, true);
  } else {
    putAngle(e, o + 16, normalised(rotation));
    putDoubles(e, o + 20, centre, false);
  }
  const double r = std::max(a, b);
  setRange(e, {centre}, r);
  dgn::finishElement(e);
  return e;
}

void appendComplex(const ElementContext& c, int type,
                   const std::vector<std::vector<uint8_t>>& components, std::vector<uint8_t>& out) {
  std::vector<uint8_t> h = startElement(c, type, 12);
  std::vector<DPoint3d> corners;
  size_t words = 0;
  for (const auto& comp : components) {
    const DRange3d r = dgn::decodeHeader(dgn::Bytes(comp.data(), comp.size())).range;
    corners.push_back({double(r.xLow), double(r.yLow), double(r.zLow)});
    corners.push_back({double(r.xHigh), double(r.yHigh), double(r.zHigh)});
    words += comp.size() / 2;
  }
  setRange(h, corners);
  dgn::finishElement(h);
  dgn::writeU16(h.data() + 36, static_cast<uint16_t>(h.size() / 2 - 19 + words));
  dgn::writeU16(h.data() + 38, static_cast<uint16_t>(components.size()));
  out.insert(out.end(), h.begin(), h.end());
  for (const auto& comp : components) {
    const size_t at = out.size();
    out.insert(out.end(), comp.begin(), comp.end());
    for (size_t p = at; p + 4 <= out.size(); p += 4 + 2 * size_t(dgn::readU16(&out[p + 2])))
      out[p] |= 0x80;
  }
}

bool appendElementRun(const ElementContext& c, const Entity& e, std::vector<uint8_t>& out) {
  const auto& v = e.vertices;
  if (e.type == "LINE" || e.type == "POINT") {
    if (v.empty()) return false;
    const DPoint3d a = uorOf(c, v[0]), b = v.size() > 1 ? uorOf(c, v[1]) : a;
    const std::vector<uint8_t> el = vertexElement(c, 3, {a, b});
    out.insert(out.end(), el.begin(), el.end());
    return true;
  }
  // Polygon and polyface meshes are surfaces the vertex chain does not describe (their faces
  // index the vertices): they compare by their content.
  if (e.type == "POLYLINE" && (e.polylineFlags & (16 | 64))) return false;
  if (e.type == "LWPOLYLINE" || e.type == "POLYLINE") return appendPolyline(c, e, out);
  if (e.type == "ARC" || e.type == "CIRCLE") {
    if (v.empty() || !(e.radius > 0)) return false;
    const bool full = e.type == "CIRCLE";
    const double start = full ? 0 : e.startAngle * kDegree;
    double sweep = full ? 2 * kPi : normalised(e.endAngle * kDegree - start);
    if (sweep == 0) sweep = 2 * kPi;
    const double r = e.radius * c.placement.scale;
    const std::vector<uint8_t> el =
        arcElement(c, uorOf(c, v[0]), r, r, ocsAxes(e.extrusion), start, sweep, full);
    out.insert(out.end(), el.begin(), el.end());
    return true;
  }
  if (e.type == "TEXT") return appendText(c, e, out);
  if (e.type == "INSERT") return appendInsert(c, e, out);
  return appendMoreElementRun(c, e, out);
}

void appendOpaqueElement(const ElementContext& c, const Record& r, std::vector<uint8_t>& out) {
  uint64_t h1 = fnv64(""), h2 = 0x9E3779B97F4A7C15ull;
  bool inGroup = false;
  (void)forEachTag(c.drawing, r, [&](const Tag& t) {
    if (t.code == 102) {
      inGroup = !t.value.empty() && t.value.front() == '{';
      return true;
    }
    if (inGroup || t.code == 5 || t.code == 330 || t.code == 0) return true;
    const std::string code = std::to_string(t.code) + '\n';
    h1 = fnv64(t.value, fnv64(code, h1));
    h2 = fnv64(code, fnv64(t.value, h2)) * 0x100000001b3ull;
    return true;
  });
  std::vector<uint8_t> el = startElement(c, 35, 0);
  const std::string_view type = typeName(c.drawing, r);
  el.insert(el.end(), {'D', 'X', 'F', 0});
  el.push_back(static_cast<uint8_t>(std::min<size_t>(type.size(), 32)));
  el.insert(el.end(), type.begin(), type.begin() + long(std::min<size_t>(type.size(), 32)));
  putU64(el, h1);
  putU64(el, h2);
  appendFinished(el, out);
}

}  // namespace kelvara::dxf
