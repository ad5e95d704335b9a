// Entity decoding on demand: the common properties of every entity and the geometry of LINE,
// POINT, CIRCLE, ARC, LWPOLYLINE, POLYLINE (with its VERTEX followers), TEXT and INSERT (with
// its ATTRIB followers). The types of MoreDecoder are handed on to it (entities_more.cpp,
// entities_hatch.cpp); other types keep the common properties only.
#include <array>
#include <cmath>

#include "host/dxf/internal.h"

namespace kelvara::dxf {
namespace {

enum class Kind { Other, Line, Point, Circle, Arc, LwPolyline, Polyline, Text, Insert, More };

Kind kindOf(std::string_view t) {
  if (t == "LINE") return Kind::Line;
  if (t == "POINT") return Kind::Point;
  if (t == "CIRCLE") return Kind::Circle;
  if (t == "ARC") return Kind::Arc;
  if (t == "LWPOLYLINE") return Kind::LwPolyline;
  if (t == "POLYLINE") return Kind::Polyline;
  if (t == "TEXT") return Kind::Text;
  if (t == "INSERT") return Kind::Insert;
  return MoreDecoder::kindOf(t) == MoreDecoder::Kind::None ? Kind::Other : Kind::More;
}

Point3 cross(const Point3& a, const Point3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Point3 unit(const Point3& p) {
  const double n = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
  return n > 0 ? Point3{p.x / n, p.y / n, p.z / n} : Point3{0, 0, 1};
}

}  // namespace

void toWorld(const Point3& extrusion, double& x, double& y, double& z) {
  if (extrusion == Point3{0, 0, 1}) return;
  // The arbitrary axis algorithm.
  const Point3 az = unit(extrusion);
  const bool nearPole = std::abs(az.x) < 1.0 / 64 && std::abs(az.y) < 1.0 / 64;
  const Point3 ax = unit(cross(nearPole ? Point3{0, 1, 0} : Point3{0, 0, 1}, az));
  const Point3 ay = unit(cross(az, ax));
  const double px = x, py = y, pz = z;
  x = px * ax.x + py * ay.x + pz * az.x;
  y = px * ax.y + py * ay.y + pz * az.y;
  z = px * ax.z + py * ay.z + pz * az.z;
}

namespace {

struct Decoder {
  const Drawing& d;
  Entity& e;
  DxfError& error;
  Kind kind;
  std::string_view part;  // the follower being read ("" for the head)
  std::array<Point3, 4> points{};
  std::array<bool, 4> seen{};
  std::vector<int> vertexFlags;
  int polylineFlags = 0;
  int64_t lwCount = -1;
  double elevation = 0;
  bool inGroup = false, embedded = false;
  MoreDecoder more;
  Point3 attribExtrusion{0, 0, 1};
  std::string_view subclass;  // the follower's last 100 marker

  Decoder(const Drawing& dr, Entity& en, DxfError& er, Kind k)
      : d(dr), e(en), error(er), kind(k), more(dr, en, er, MoreDecoder::kindOf(en.type)) {}
  bool utf8() const { return d.version >= "AC1021"; }
  void finishAttrib();

  bool bad(const Tag& t) { return notANumber(d, t, error); }
  bool real(const Tag& t, double& out) { return readReal(d, t, out, error); }
  bool integer(const Tag& t, int& out) { return readInt(d, t, out, error); }
  template <typename P>
  bool coordinate(const Tag& t, P& p) {
    return real(t, coordinateOf(p, t.code));
  }

  bool head(const Tag& t);
  bool follower(const Tag& t);
  bool tag(const Tag& t);
  bool finish();
};

bool Decoder::head(const Tag& t) {
  int n = 0;
  switch (t.code) {
    case 5:
      return parseHandle(t.value, e.handle) || bad(t);
    case 8:
      e.layer = std::string(t.value);
      return true;
    case 6:
      e.linetype = std::string(t.value);
      return true;
    case 62:
      return integer(t, e.colour);
    case 420:
      if (!integer(t, n)) return false;
      e.trueColour = static_cast<uint32_t>(n) & 0xFFFFFF;
      return true;
    case 370:
      return integer(t, e.lineweight);
    case 67:
      if (!integer(t, n)) return false;
      e.paperSpace = n == 1;
      return true;
    case 39:
      return real(t, e.thickness);
    case 210:
    case 220:
    case 230:
      return coordinate(t, e.extrusion);
    default:
      break;
  }
  if (kind == Kind::More) return more.tag(t);
  if (kind == Kind::LwPolyline) {
    switch (t.code) {
      case 90:
        if (!integer(t, n)) return false;
        lwCount = n;
        return true;
      case 70:
        if (!integer(t, n)) return false;
        e.closed = n & 1;
        return true;
      case 38:
        return real(t, elevation);
      case 10:
        e.vertices.emplace_back();
        return real(t, e.vertices.back().x);
      case 20:
        return e.vertices.empty() ? bad(t) : real(t, e.vertices.back().y);
      case 42:
        return e.vertices.empty() ? bad(t) : real(t, e.vertices.back().bulge);
      default:
        return true;
    }
  }
  if (t.code >= 10 && t.code <= 33 && t.code % 10 <= 3 && kind != Kind::Other) {
    const int slot = t.code % 10;
    seen[slot] = true;
    return coordinate(t, points[slot]);
  }
  switch (t.code) {
    case 40:
      return kind == Kind::Circle || kind == Kind::Arc ? real(t, e.radius) : real(t, e.height);
    case 50:
      return kind == Kind::Arc ? real(t, e.startAngle) : real(t, e.rotation);
    case 51:
      return kind == Kind::Arc ? real(t, e.endAngle) : true;
    case 41:
      return kind == Kind::Insert ? real(t, e.scale.x)
             : kind == Kind::Text ? real(t, e.widthFactor)
                                  : true;
    case 42:
      return kind == Kind::Insert ? real(t, e.scale.y) : true;
    case 43:
      return kind == Kind::Insert ? real(t, e.scale.z) : true;
    case 1:
      e.text = std::string(t.value);
      return true;
    case 7:
      e.style = std::string(t.value);
      return true;
    case 2:
      e.block = std::string(t.value);
      return true;
    case 72:
      return kind == Kind::Text ? integer(t, e.details.halign) : true;
    case 73:
      return kind == Kind::Text ? integer(t, e.details.valign) : true;
    case 70:
      if (kind != Kind::Polyline) return true;
      if (!integer(t, polylineFlags)) return false;
      e.closed = polylineFlags & 1;
      e.polylineFlags = polylineFlags;
      return true;
    default:
      return true;
  }
}

bool Decoder::follower(const Tag& t) {
  if (part == "VERTEX") {
    Vertex& v = e.vertices.back();
    switch (t.code) {
      case 10:
      case 20:
      case 30:
        return coordinate(t, v);
      case 42:
        return real(t, v.bulge);
      case 70:
        return integer(t, vertexFlags.back());
      default:
        return true;
    }
  }
  if (part != "ATTRIB") return true;
  Attrib& a = e.attribs.back();
  // The attribute's own subclass repeats 72 and 11 with other meanings; the text's are taken.
  const bool own = !subclass.empty() && subclass != "AcDbText";
  int n = 0;
  switch (t.code) {
    case 100:
      subclass = t.value;
      return true;
    case 5:
      return parseHandle(t.value, a.handle) || bad(t);
    case 8:
      a.layer = std::string(t.value);
      return true;
    case 6:
      a.linetype = std::string(t.value);
      return true;
    case 62:
      return integer(t, a.colour);
    case 420:
      if (!integer(t, n)) return false;
      a.trueColour = static_cast<uint32_t>(n) & 0xFFFFFF;
      return true;
    case 370:
      return integer(t, a.lineweight);
    case 41:
      return real(t, a.widthFactor);
    case 2:
      a.tag = std::string(t.value);
      return true;
    case 1:
      a.value = std::string(t.value);
      return true;
    case 7:
      a.style = std::string(t.value);
      return true;
    case 40:
      return real(t, a.height);
    case 50:
      return real(t, a.rotation);
    case 70:
      return integer(t, a.details.flags);
    case 72:
      return own ? true : integer(t, a.details.halign);
    case 74:
      return integer(t, a.details.valign);
    case 10:
    case 20:
    case 30:
      return coordinate(t, a.position);
    case 11:
    case 21:
    case 31:
      return own ? true : coordinate(t, a.alignment);
    case 210:
    case 220:
    case 230:
      return coordinate(t, attribExtrusion);
    default:
      return true;
  }
}

// Puts the last ATTRIB in world coordinates and decodes its value.
void Decoder::finishAttrib() {
  if (part != "ATTRIB") return;
  Attrib& a = e.attribs.back();
  a.extrusion = attribExtrusion;
  toWorld(attribExtrusion, a.position.x, a.position.y, a.position.z);
  toWorld(attribExtrusion, a.alignment.x, a.alignment.y, a.alignment.z);
  a.value = plainText(a.value, d.codePage, utf8(), false).text;
}

bool Decoder::tag(const Tag& t) {
  if (t.code == 0) {
    finishAttrib();
    part = t.value;
    inGroup = embedded = false;
    subclass = {};
    attribExtrusion = Point3{0, 0, 1};
    if (part == "VERTEX") {
      e.vertices.emplace_back();
      vertexFlags.push_back(0);
    } else if (part == "ATTRIB") {
      e.attribs.emplace_back();
    }
    return true;
  }
  if (t.code == 102) {
    inGroup = !t.value.empty() && t.value.front() == '{';
    return true;
  }
  if (inGroup || embedded || t.code >= 1000) return true;
  if (t.code == 101) {  // an embedded object runs to the end of the part
    embedded = true;
    return true;
  }
  return part.empty() ? head(t) : follower(t);
}

bool Decoder::finish() {
  finishAttrib();
  switch (kind) {
    case Kind::Line:
      e.vertices = {{points[0].x, points[0].y, points[0].z, 0},
                    {points[1].x, points[1].y, points[1].z, 0}};
      break;
    case Kind::Point:
    case Kind::Circle:
    case Kind::Arc:
    case Kind::Insert:
      e.vertices = {{points[0].x, points[0].y, points[0].z, 0}};
      break;
    case Kind::Text: {
      e.vertices = {{points[0].x, points[0].y, points[0].z, 0}};
      if (seen[1]) e.vertices.push_back({points[1].x, points[1].y, points[1].z, 0});
      PlainText p = plainText(e.text, d.codePage, utf8(), false);
      e.text = std::move(p.text);
      e.formatting = std::move(p.formatting);
      break;
    }
    case Kind::More:
      return more.finish();
    case Kind::LwPolyline:
      if (lwCount != static_cast<int64_t>(e.vertices.size())) return false;
      for (Vertex& v : e.vertices) v.z = elevation;
      break;
    case Kind::Polyline: {
      // Polyface face records carry indices, not positions.
      std::vector<Vertex> kept;
      for (size_t i = 0; i < e.vertices.size(); ++i)
        if (!((vertexFlags[i] & 128) && !(vertexFlags[i] & 64))) kept.push_back(e.vertices[i]);
      e.vertices = std::move(kept);
      break;
    }
    case Kind::Other:
      break;
  }
  // Planar types hold their points in the object coordinate system of the extrusion; 3D
  // polylines, polyface and polygon meshes are in world coordinates.
  const bool planar = kind == Kind::Circle || kind == Kind::Arc || kind == Kind::LwPolyline ||
                      kind == Kind::Text || kind == Kind::Insert ||
                      (kind == Kind::Polyline && !(polylineFlags & (8 | 16 | 64)));
  if (planar)
    for (Vertex& v : e.vertices) toWorld(e.extrusion, v.x, v.y, v.z);
  return true;
}

}  // namespace

bool decodeEntity(const Drawing& d, const Record& r, Entity& e, DxfError& error) {
  std::vector<Vertex> vertices = std::move(e.vertices);  // the room is kept for the next entity
  vertices.clear();
  e = Entity{};
  e.vertices = std::move(vertices);
  error = DxfError{};
  e.type = std::string(typeName(d, r));
  Decoder dec(d, e, error, kindOf(e.type));
  if (!forEachTag(d, r, [&](const Tag& t) { return dec.tag(t); })) return false;
  if (!dec.finish()) {
    if (dec.kind == Kind::More) return false;
    error.line = r.line;
    error.text = d.file + ": line " + std::to_string(r.line) + ": LWPOLYLINE says " +
                 std::to_string(dec.lwCount) + " vertices but has " +
                 std::to_string(e.vertices.size());
    return false;
  }
  e.decoded = dec.kind != Kind::Other;
  return true;
}

}  // namespace kelvara::dxf
