// Entity decoding of ELLIPSE, SPLINE, MTEXT, DIMENSION, MLINE, SOLID, TRACE, 3DFACE and a lone
// ATTDEF or ATTRIB (HATCH is in entities_hatch.cpp). entities.cpp reads the common properties
// and hands every other tag of the head here.
#include <cmath>
#include <numbers>

#include "host/dxf/internal.h"

namespace kelvara::dxf {
namespace {

Vertex vertexOf(const Point3& p) {
  return {p.x, p.y, p.z, 0};
}

Point3 world(const Point3& extrusion, Point3 p) {
  toWorld(extrusion, p.x, p.y, p.z);
  return p;
}

const char* const kDimensionSubclasses[] = {
    "AcDbRotatedDimension",   "AcDbAlignedDimension", "AcDb2LineAngularDimension",
    "AcDbDiametricDimension", "AcDbRadialDimension",  "AcDb3PointAngularDimension",
    "AcDbOrdinateDimension"};

}  // namespace

bool countMismatch(const Drawing& d, const Tag& count, std::string_view type, std::string_view what,
                   int64_t said, size_t has, DxfError& error) {
  error.line = count.line + 1;
  error.text = d.file + ": line " + std::to_string(error.line) + ": " + std::string(type) +
               " says " + std::to_string(said) + " " + std::string(what) + " but has " +
               std::to_string(has);
  return false;
}

MoreDecoder::Kind MoreDecoder::kindOf(std::string_view t) {
  if (t == "ELLIPSE") return Kind::Ellipse;
  if (t == "SPLINE") return Kind::Spline;
  if (t == "MTEXT") return Kind::Mtext;
  if (t == "DIMENSION") return Kind::Dimension;
  if (t == "MLINE") return Kind::Mline;
  if (t == "HATCH") return Kind::Hatch;
  if (t == "SOLID" || t == "TRACE") return Kind::Solid;
  if (t == "3DFACE") return Kind::Face;
  if (t == "ATTDEF" || t == "ATTRIB") return Kind::Attdef;
  return Kind::None;
}

bool MoreDecoder::count(const Tag& t, Count& c) {
  int n = 0;
  if (!integer(t, n)) return false;
  c.tag = t;
  c.said = n;
  return true;
}

bool MoreDecoder::misplaced(const Tag& t) {
  error.line = t.line;
  error.text = d.file + ": line " + std::to_string(t.line) + ": group code " +
               std::to_string(t.code) + " is out of place in " + e.type;
  return false;
}

bool MoreDecoder::listed(const Tag& t, std::vector<Point3>& list) {
  if (t.code / 10 == 1) list.emplace_back();
  if (list.empty()) return misplaced(t);
  return real(t, coordinateOf(list.back(), t.code));
}

bool MoreDecoder::tag(const Tag& t) {
  if (t.code == 100) {
    subclass = t.value;
    if (kind == Kind::Dimension && t.value.starts_with("AcDb") && t.value.ends_with("Dimension") &&
        t.value != "AcDbDimension")
      e.dimension.subclass = std::string(t.value);
    return true;
  }
  if (kind == Kind::Hatch) return hatchTag(t);
  if (kind == Kind::Mline) return mlineTag(t);
  Spline& s = e.spline;
  if (kind == Kind::Spline) {
    switch (t.code) {
      case 70:
        return integer(t, s.flags);
      case 71:
        return integer(t, s.degree);
      case 72:
        return count(t, knots);
      case 73:
        return count(t, controls);
      case 74:
        return count(t, fits);
      case 40:
        return real(t, s.knots.emplace_back());
      case 41:
        return real(t, s.weights.emplace_back());
      case 10:
      case 20:
      case 30:
        return listed(t, s.control);
      case 11:
      case 21:
      case 31:
        return listed(t, s.fit);
      case 12:
      case 22:
      case 32:
        if (!s.startTangent) s.startTangent = Point3{};
        return real(t, coordinateOf(*s.startTangent, t.code));
      case 13:
      case 23:
      case 33:
        if (!s.endTangent) s.endTangent = Point3{};
        return real(t, coordinateOf(*s.endTangent, t.code));
      default:
        return true;
    }
  }
  // The other types: points 10 to 16, texts and single values. ATTDEF and ATTRIB repeat 72 and
  // 11 in their own subclass with other meanings; the text's are taken.
  const bool attdefOwn = kind == Kind::Attdef && !subclass.empty() && subclass != "AcDbText";
  if (t.code >= 10 && t.code <= 36 && t.code % 10 <= 6 && !attdefOwn) {
    const int slot = t.code % 10;
    seen[slot] = true;
    return real(t, coordinateOf(points[slot], t.code));
  }
  switch (t.code) {
    case 1:
      if (kind == Kind::Mtext) {
        raw += t.value;
      } else {
        raw = t.value;
      }
      return true;
    case 3:
      if (kind == Kind::Mtext) raw += t.value;
      if (kind == Kind::Dimension) e.dimension.dimstyle = std::string(t.value);
      if (kind == Kind::Attdef) e.prompt = std::string(t.value);
      return true;
    case 2:
      if (kind == Kind::Dimension) e.block = std::string(t.value);
      if (kind == Kind::Attdef) e.tag = std::string(t.value);
      return true;
    case 7:
      e.style = std::string(t.value);
      return true;
    case 40:
      if (kind == Kind::Ellipse) return real(t, e.ratio);
      return kind == Kind::Mtext || kind == Kind::Attdef ? real(t, e.height) : true;
    case 41:
      if (kind == Kind::Ellipse) return real(t, e.startParam);
      return kind == Kind::Mtext ? real(t, e.boxWidth) : true;
    case 42:
      if (kind == Kind::Ellipse) return real(t, e.endParam);
      if (kind == Kind::Dimension) return real(t, e.dimension.measurement.emplace());
      return true;
    case 50:
      return kind == Kind::Mtext || kind == Kind::Attdef || kind == Kind::Dimension
                 ? real(t, e.rotation)
                 : true;
    case 70:
      if (kind == Kind::Face) return integer(t, e.edgeFlags);
      if (kind == Kind::Attdef) return integer(t, e.details.flags);
      if (kind != Kind::Dimension) return true;
      if (!integer(t, e.dimension.flags)) return false;
      e.dimension.kind = e.dimension.flags & 7;
      return true;
    case 71:
      return kind == Kind::Mtext ? integer(t, e.attachment) : true;
    case 72:
      return kind == Kind::Attdef && !attdefOwn ? integer(t, e.details.halign) : true;
    case 74:
      return kind == Kind::Attdef ? integer(t, e.details.valign) : true;
    default:
      return true;
  }
}

bool MoreDecoder::finish() {
  const auto at = [&](int slot) { return vertexOf(points[slot]); };
  switch (kind) {
    case Kind::Ellipse:
      e.vertices = {at(0)};
      e.majorAxis = points[1];
      break;
    case Kind::Spline:
      for (const Point3& p : e.spline.control) e.vertices.push_back(vertexOf(p));
      e.closed = e.spline.flags & 1;
      if (!check(knots, "knots", e.spline.knots.size()) ||
          !check(controls, "control points", e.spline.control.size()) ||
          !check(fits, "fit points", e.spline.fit.size()))
        return false;
      if (!e.spline.weights.empty() && e.spline.weights.size() != e.spline.control.size())
        return countMismatch(d, controls.tag, e.type, "weights (one per control point)",
                             e.spline.control.size(), e.spline.weights.size(), error);
      break;
    case Kind::Mtext: {
      e.vertices = {at(0)};
      if (seen[1]) {
        e.direction = points[1];
        e.rotation = std::atan2(points[1].y, points[1].x) * 180 / std::numbers::pi;
      } else {
        const double a = e.rotation * std::numbers::pi / 180;
        e.direction = world(e.extrusion, {std::cos(a), std::sin(a), 0});
      }
      PlainText p = plainText(raw, d.codePage, d.version >= "AC1021", true);
      e.text = std::move(p.text);
      e.formatting = std::move(p.formatting);
      break;
    }
    case Kind::Dimension: {
      Dimension& dim = e.dimension;
      for (int i = 0; i < 7; ++i) {
        dim.has[i] = seen[i];
        // The text midpoint, clone point and arc location are in the object coordinate system.
        dim.points[i] = i == 1 || i == 2 || i == 6 ? world(e.extrusion, points[i]) : points[i];
      }
      if (dim.subclass.empty() && dim.kind < 7) dim.subclass = kDimensionSubclasses[dim.kind];
      PlainText p = plainText(raw, d.codePage, d.version >= "AC1021", true);
      e.text = std::move(p.text);
      e.formatting = std::move(p.formatting);
      break;
    }
    case Kind::Solid:
    case Kind::Face: {
      // SOLID and TRACE corners run 1, 2, 4, 3 ("Z" order); a 3DFACE's in order. A fourth
      // corner equal to the third (or missing) makes a triangle.
      const bool triangle = !seen[3] || points[3] == points[2];
      e.vertices = {at(0), at(1)};
      if (kind == Kind::Solid && !triangle) e.vertices.push_back(at(3));
      e.vertices.push_back(at(2));
      if (kind == Kind::Face && !triangle) e.vertices.push_back(at(3));
      e.closed = true;
      if (kind == Kind::Solid)
        for (Vertex& v : e.vertices) toWorld(e.extrusion, v.x, v.y, v.z);
      break;
    }
    case Kind::Attdef: {
      e.vertices = {at(0)};
      if (seen[1]) e.vertices.push_back(at(1));
      for (Vertex& v : e.vertices) toWorld(e.extrusion, v.x, v.y, v.z);
      PlainText p = plainText(raw, d.codePage, d.version >= "AC1021", false);
      e.text = std::move(p.text);
      e.formatting = std::move(p.formatting);
      break;
    }
    case Kind::Mline:
      for (const MlineVertex& v : e.mline.vertices) e.vertices.push_back(vertexOf(v.position));
      e.closed = e.mline.flags & 2;
      if (open && !check(list, "parameters", open->size())) return false;
      if (!e.mline.vertices.empty() &&
          !check(elements, "elements", e.mline.vertices.back().parameters.size()))
        return false;
      return check(mlineVertices, "vertices", e.mline.vertices.size());
    case Kind::Hatch:
      return hatchFinish();
    case Kind::None:
      break;
  }
  return true;
}

bool MoreDecoder::mlineTag(const Tag& t) {
  Mline& m = e.mline;
  MlineVertex* v = m.vertices.empty() ? nullptr : &m.vertices.back();
  // A new vertex or parameter list closes the list being filled.
  const bool closesList = t.code == 11 || t.code == 74 || t.code == 75;
  if (closesList && open && !check(list, "parameters", open->size())) return false;
  if (closesList) open = nullptr;
  switch (t.code) {
    case 2:
      m.style = std::string(t.value);
      return true;
    case 40:
      return real(t, m.scale);
    case 70:
      return integer(t, m.justification);
    case 71:
      return integer(t, m.flags);
    case 72:
      return count(t, mlineVertices);
    case 73:
      return count(t, elements);
    case 11:
      if (v && !check(elements, "elements", v->parameters.size())) return false;
      m.vertices.emplace_back();
      return real(t, m.vertices.back().position.x);
    case 74:
    case 75: {
      if (!v) return misplaced(t);
      auto& lists = t.code == 74 ? v->parameters : v->fills;
      open = &lists.emplace_back();
      return count(t, list);
    }
    case 41:
    case 42:
      return open ? real(t, open->emplace_back()) : misplaced(t);
    default:
      break;
  }
  const int axis = t.code / 10, slot = t.code % 10;
  if (axis >= 1 && axis <= 3 && slot >= 1 && slot <= 3) {
    if (!v) return misplaced(t);
    return real(t, coordinateOf(slot == 1   ? v->position
                                : slot == 2 ? v->direction
                                            : v->miter,
                                t.code));
  }
  return true;
}

}  // namespace kelvara::dxf
