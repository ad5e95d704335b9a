// HATCH decoding: pattern, solid fill, associativity and the boundary loops, polyline loops with
// bulges and edge loops of lines, arcs, elliptic arcs and splines, with their source objects.
// The tags after the loops (style, pattern lines, seed points, gradient) are not needed.
#include "host/dxf/internal.h"

namespace kelvara::dxf {
namespace {

Point3 world(const Point3& extrusion, Point3 p, double elevation) {
  p.z = elevation;
  toWorld(extrusion, p.x, p.y, p.z);
  return p;
}

// Codes that end the boundary part of a HATCH.
bool afterLoops(int code) {
  return code == 75 || code == 76 || code == 52 || code == 41 || code == 77 || code == 78 ||
         code == 98 || code == 47 || code >= 450;
}

}  // namespace

bool MoreDecoder::hatchTag(const Tag& t) {
  Hatch& h = e.hatch;
  int n = 0;
  if (phase == 0) {
    switch (t.code) {
      case 30:
        return real(t, elevation);
      case 2:
        h.pattern = std::string(t.value);
        return true;
      case 70:
        if (!integer(t, n)) return false;
        h.solid = n == 1;
        return true;
      case 71:
        if (!integer(t, n)) return false;
        h.associative = n == 1;
        return true;
      case 91:
        phase = 1;
        return count(t, loops);
      default:
        return true;
    }
  }
  if (phase == 2) return true;
  // Before a new loop or the end of the loops the open one must be complete.
  const bool loopEnds = t.code == 92 || afterLoops(t.code);
  if (loopEnds && !hatchCloseLoop()) return false;
  if (afterLoops(t.code)) {
    phase = 2;
    return check(loops, "loops", h.loops.size());
  }
  if (t.code == 92) {
    HatchLoop& loop = h.loops.emplace_back();
    items = sources = edgeKnots = edgeControls = fitCount = Count{};
    inSources = edgeFitSeen = false;
    return integer(t, loop.flags);
  }
  if (h.loops.empty()) return misplaced(t);
  HatchLoop& loop = h.loops.back();
  if (t.code == 330) {
    if (!inSources) return true;
    return parseHandle(t.value, loop.sources.emplace_back()) || bad(t);
  }
  if (loop.flags & 2) {
    switch (t.code) {
      case 73:
        if (!integer(t, n)) return false;
        loop.closed = n != 0;
        return true;
      case 93:
        return count(t, items);
      case 10:
        return real(t, loop.vertices.emplace_back().x);
      case 20:
        return loop.vertices.empty() ? misplaced(t) : real(t, loop.vertices.back().y);
      case 42:
        return loop.vertices.empty() ? misplaced(t) : real(t, loop.vertices.back().bulge);
      case 97:
        if (!check(items, "vertices", loop.vertices.size())) return false;
        inSources = true;
        return count(t, sources);
      default:
        return true;
    }
  }
  // Edge loop.
  if (t.code == 93) return count(t, items);
  HatchEdge* edge = loop.edges.empty() ? nullptr : &loop.edges.back();
  const bool spline = edge && edge->type == 4;
  const bool fitData = spline && t.code == 97 && !edgeFitSeen && d.version >= "AC1024";
  if ((t.code == 72 || (t.code == 97 && !fitData)) && !hatchCloseEdge()) return false;
  if (t.code == 72) {
    if (inSources) return misplaced(t);
    return integer(t, loop.edges.emplace_back().type);
  }
  if (t.code == 97) {
    if (fitData) {
      edgeFitSeen = true;
      return count(t, fitCount);
    }
    if (!check(items, "edges", loop.edges.size())) return false;
    inSources = true;
    return count(t, sources);
  }
  if (!edge || inSources) return true;
  Spline& s = edge->spline;
  if (spline) {
    switch (t.code) {
      case 94:
        return integer(t, s.degree);
      case 73:
      case 74:
        if (!integer(t, n)) return false;
        if (n) s.flags |= t.code == 73 ? 4 : 2;
        return true;
      case 95:
        return count(t, edgeKnots);
      case 96:
        return count(t, edgeControls);
      case 40:
        return real(t, s.knots.emplace_back());
      case 42:
        return real(t, s.weights.emplace_back());
      case 10:
      case 20:
        return listed(t, s.control);
      case 11:
      case 21:
        return listed(t, s.fit);
      case 12:
      case 22:
        if (!s.startTangent) s.startTangent = Point3{};
        return real(t, coordinateOf(*s.startTangent, t.code));
      case 13:
      case 23:
        if (!s.endTangent) s.endTangent = Point3{};
        return real(t, coordinateOf(*s.endTangent, t.code));
      default:
        return true;
    }
  }
  switch (t.code) {
    case 10:
    case 20:
      return real(t, coordinateOf(edge->start, t.code));
    case 11:
    case 21:
      return real(t, coordinateOf(edge->end, t.code));
    case 40:
      return real(t, edge->radius);
    case 50:
      return real(t, edge->startAngle);
    case 51:
      return real(t, edge->endAngle);
    case 73:
      if (!integer(t, n)) return false;
      edge->ccw = n != 0;
      return true;
    default:
      return true;
  }
}

bool MoreDecoder::hatchCloseEdge() {
  const HatchLoop* loop = e.hatch.loops.empty() ? nullptr : &e.hatch.loops.back();
  const HatchEdge* edge = !loop || loop->edges.empty() ? nullptr : &loop->edges.back();
  if (edge && edge->type == 4) {
    const Spline& s = edge->spline;
    if (!check(edgeKnots, "knots", s.knots.size()) ||
        !check(edgeControls, "control points", s.control.size()) ||
        !check(fitCount, "fit points", s.fit.size()))
      return false;
    if (!s.weights.empty() && s.weights.size() != s.control.size())
      return countMismatch(d, edgeControls.tag, e.type, "weights (one per control point)",
                           s.control.size(), s.weights.size(), error);
  }
  edgeKnots = edgeControls = fitCount = Count{};
  edgeFitSeen = false;
  return true;
}

bool MoreDecoder::hatchCloseLoop() {
  if (e.hatch.loops.empty()) return true;
  const HatchLoop& loop = e.hatch.loops.back();
  if (!inSources && !hatchCloseEdge()) return false;
  const bool polyline = loop.flags & 2;
  if (!inSources && !check(items, polyline ? "vertices" : "edges",
                           polyline ? loop.vertices.size() : loop.edges.size()))
    return false;
  if (!check(sources, "source objects", loop.sources.size())) return false;
  items = sources = Count{};
  inSources = false;
  return true;
}

// At the record's end: the last loop and the loop count are checked, and every loop is put in
// world coordinates.
bool MoreDecoder::hatchFinish() {
  Hatch& h = e.hatch;
  if (phase == 1 && (!hatchCloseLoop() || !check(loops, "loops", h.loops.size()))) return false;
  for (HatchLoop& loop : h.loops) {
    for (Vertex& v : loop.vertices) {
      v.z = elevation;
      toWorld(e.extrusion, v.x, v.y, v.z);
    }
    for (HatchEdge& edge : loop.edges) {
      edge.start = world(e.extrusion, edge.start, elevation);
      if (edge.type == 1) edge.end = world(e.extrusion, edge.end, elevation);
      if (edge.type == 3) edge.end = world(e.extrusion, edge.end, 0);  // an axis, not a point
      Spline& s = edge.spline;
      for (Point3& p : s.control) p = world(e.extrusion, p, elevation);
      for (Point3& p : s.fit) p = world(e.extrusion, p, elevation);
      if (s.startTangent) s.startTangent = world(e.extrusion, *s.startTangent, 0);
      if (s.endTangent) s.endTangent = world(e.extrusion, *s.endTangent, 0);
    }
  }
  return true;
}

}  // namespace kelvara::dxf
