#include "host/fence.h"

#include <algorithm>
#include <cmath>

#include "host/state.h"

namespace kelvara {

namespace {

struct Vec2 {
  double x;
  double y;
};

Vec2 sub(const DPoint3d& a, const DPoint3d& b) {
  return {a.x - b.x, a.y - b.y};
}
double cross(Vec2 a, Vec2 b) {
  return a.x * b.y - a.y * b.x;
}
double dot(Vec2 a, Vec2 b) {
  return a.x * b.x + a.y * b.y;
}
bool sameXY(const DPoint3d& a, const DPoint3d& b) {
  return a.x == b.x && a.y == b.y;
}

// Parameter of the point of segment a-b nearest to p, clamped to 0..1.
double nearestParameter(const DPoint3d& p, const DPoint3d& a, const DPoint3d& b) {
  const Vec2 ab = sub(b, a);
  const double len2 = dot(ab, ab);
  if (len2 == 0.0) return 0.0;
  return std::clamp(dot(sub(p, a), ab) / len2, 0.0, 1.0);
}

double distanceToSegment(const DPoint3d& p, const DPoint3d& a, const DPoint3d& b) {
  const double t = nearestParameter(p, a, b);
  const double dx = p.x - (a.x + t * (b.x - a.x));
  const double dy = p.y - (a.y + t * (b.y - a.y));
  return std::hypot(dx, dy);
}

const DPoint3d& vertex(const Fence& f, size_t i) {
  return f.points[i % f.points.size()];
}

// Twice the signed area of the polygon.
double doubleArea(const std::vector<DPoint3d>& pts) {
  double sum = 0.0;
  for (size_t i = 0; i < pts.size(); ++i) {
    const DPoint3d& a = pts[i];
    const DPoint3d& b = pts[(i + 1) % pts.size()];
    sum += a.x * b.y - b.x * a.y;
  }
  return sum;
}

bool insideOrOn(const Fence& f, const DPoint3d& p) {
  return locatePoint(f, p) != FenceLocation::Outside;
}

// True when segment a-b lies inside or on the fence. The segment is cut wherever it meets the
// fence's boundary; between two cuts it stays on one side, so one midpoint per piece decides.
bool segmentInside(const Fence& f, const DPoint3d& a, const DPoint3d& b) {
  if (sameXY(a, b)) return insideOrOn(f, a);
  std::vector<double> cuts{0.0, 1.0};
  const Vec2 r = sub(b, a);
  for (size_t i = 0; i < f.points.size(); ++i) {
    const DPoint3d& c = vertex(f, i);
    const DPoint3d& d = vertex(f, i + 1);
    // Fence vertices on the segment (this also covers edges lying along the segment).
    if (distanceToSegment(c, a, b) <= FENCE_BOUNDARY_TOLERANCE) {
      cuts.push_back(nearestParameter(c, a, b));
    }
    const Vec2 s = sub(d, c);
    const double denom = cross(r, s);
    if (denom == 0.0) continue;
    const Vec2 ca = sub(c, a);
    const double t = cross(ca, s) / denom;
    const double u = cross(ca, r) / denom;
    if (t > 0.0 && t < 1.0 && u >= 0.0 && u <= 1.0) cuts.push_back(t);
  }
  std::sort(cuts.begin(), cuts.end());
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    if (cuts[i + 1] - cuts[i] <= 0.0) continue;
    const double m = (cuts[i] + cuts[i + 1]) / 2;
    if (!insideOrOn(f, {a.x + m * r.x, a.y + m * r.y, 0.0})) return false;
  }
  return true;
}

}  // namespace

int mdlFence_define(std::span<const DPoint3d> points) {
  Fence& fence = hostState().fence;
  fence = Fence{};
  std::vector<DPoint3d> pts;
  for (const DPoint3d& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return ERROR;
    if (pts.empty() || !sameXY(pts.back(), p)) pts.push_back({p.x, p.y, 0.0});
  }
  while (pts.size() > 1 && sameXY(pts.front(), pts.back())) pts.pop_back();
  if (pts.size() < 3 || doubleArea(pts) == 0.0) return ERROR;
  fence.defined = true;
  fence.points = std::move(pts);
  return SUCCESS;
}

void mdlFence_clear() {
  hostState().fence = Fence{};
}

bool fenceIsDefined() {
  return hostState().fence.defined;
}

int mdlClip_getFence(Fence* clip) {
  const Fence& fence = hostState().fence;
  if (!fence.defined) return ERROR;
  if (clip) *clip = fence;
  return SUCCESS;
}

FenceLocation locatePoint(const Fence& f, const DPoint3d& p) {
  if (!f.defined || f.points.size() < 3) return FenceLocation::Outside;
  bool inside = false;
  for (size_t i = 0; i < f.points.size(); ++i) {
    const DPoint3d& a = vertex(f, i);
    const DPoint3d& b = vertex(f, i + 1);
    if (distanceToSegment(p, a, b) <= FENCE_BOUNDARY_TOLERANCE) return FenceLocation::Boundary;
    // Even-odd rule: count edges crossing the horizontal ray to the right of p.
    if ((a.y > p.y) != (b.y > p.y)) {
      const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
      if (x > p.x) inside = !inside;
    }
  }
  return inside ? FenceLocation::Inside : FenceLocation::Outside;
}

bool fenceContainsPoints(const Fence& fence, std::span<const DPoint3d> points) {
  if (points.empty()) return false;
  return std::all_of(points.begin(), points.end(),
                     [&](const DPoint3d& p) { return insideOrOn(fence, p); });
}

bool fenceContainsPath(const Fence& fence, std::span<const DPoint3d> points, bool closed) {
  if (!fenceContainsPoints(fence, points)) return false;
  for (size_t i = 0; i + 1 < points.size(); ++i) {
    if (!segmentInside(fence, points[i], points[i + 1])) return false;
  }
  return !closed || points.size() < 2 || segmentInside(fence, points.back(), points.front());
}

bool fenceContainsRange(const Fence& fence, const DRange3d& r) {
  const double x0 = static_cast<double>(r.xLow), x1 = static_cast<double>(r.xHigh);
  const double y0 = static_cast<double>(r.yLow), y1 = static_cast<double>(r.yHigh);
  const DPoint3d corners[] = {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
  return fenceContainsPath(fence, corners, true);
}

}  // namespace kelvara
