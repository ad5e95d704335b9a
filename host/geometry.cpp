#include "host/geometry.h"

#include <algorithm>
#include <cmath>

#include "host/dgn/records.h"

namespace kelvara {

namespace {

DPoint3d sub(const DPoint3d& a, const DPoint3d& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
DPoint3d add(const DPoint3d& a, const DPoint3d& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
DPoint3d scale(const DPoint3d& a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
double dot(const DPoint3d& a, const DPoint3d& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
DPoint3d lerp(const DPoint3d& a, const DPoint3d& b, double u) {
  return add(a, scale(sub(b, a), u));
}

// Relative slack with which a distance just outside [0, length] still counts as an end.
constexpr double kEndSlack = 1e-9;

// Clamps d into [0, length] when it lies within the slack of it; false when it lies further.
bool clampDistance(double& d, double length) {
  const double slack = kEndSlack * std::max(length, 1.0);
  if (d < -slack || d > length + slack) return false;
  d = std::clamp(d, 0.0, length);
  return true;
}

// Closest points of segments p1-q1 and p2-q2: parameters s, t in [0, 1].
void closestSegmentParams(const DPoint3d& p1, const DPoint3d& q1, const DPoint3d& p2,
                          const DPoint3d& q2, double& s, double& t) {
  const DPoint3d d1 = sub(q1, p1), d2 = sub(q2, p2), r = sub(p1, p2);
  const double a = dot(d1, d1), e = dot(d2, d2), f = dot(d2, r);
  constexpr double eps = 1e-18;
  if (a <= eps && e <= eps) {
    s = t = 0.0;
    return;
  }
  if (a <= eps) {
    s = 0.0;
    t = std::clamp(f / e, 0.0, 1.0);
    return;
  }
  const double c = dot(d1, r);
  if (e <= eps) {
    t = 0.0;
    s = std::clamp(-c / a, 0.0, 1.0);
    return;
  }
  const double b = dot(d1, d2), denom = a * e - b * b;
  s = denom > eps * a * e ? std::clamp((b * f - c * e) / denom, 0.0, 1.0) : 0.0;
  t = (b * s + f) / e;
  if (t < 0.0) {
    t = 0.0;
    s = std::clamp(-c / a, 0.0, 1.0);
  } else if (t > 1.0) {
    t = 1.0;
    s = std::clamp((b - c) / a, 0.0, 1.0);
  }
}

// ---- arc parametrisation: u in [0, 1] runs from the start over the (clamped) sweep ----------

double effectiveSweep(const ArcGeometry& arc) {
  if (std::abs(arc.sweep) >= kTwoPi) return arc.sweep < 0 ? -kTwoPi : kTwoPi;
  return arc.sweep;
}

double angleAt(const ArcGeometry& arc, double u) {
  return arc.start + u * effectiveSweep(arc);
}

// |dP/du|.
double speedAt(const ArcGeometry& arc, double u) {
  const double t = angleAt(arc, u);
  const DPoint3d tangent =
      rotate(arc.rotation, {-arc.primary * std::sin(t), arc.secondary * std::cos(t), 0.0});
  return std::sqrt(dot(tangent, tangent)) * std::abs(effectiveSweep(arc));
}

// Five-point Gauss-Legendre integral of the speed over [u0, u1].
double lengthBetween(const ArcGeometry& arc, double u0, double u1) {
  static constexpr double kNodes[5] = {0.0, -0.5384693101056831, 0.5384693101056831,
                                       -0.9061798459386640, 0.9061798459386640};
  static constexpr double kWeights[5] = {0.5688888888888889, 0.4786286704993665, 0.4786286704993665,
                                         0.2369268850561891, 0.2369268850561891};
  const double half = 0.5 * (u1 - u0), mid = 0.5 * (u0 + u1);
  double sum = 0.0;
  for (int i = 0; i < 5; ++i) sum += kWeights[i] * speedAt(arc, mid + half * kNodes[i]);
  return sum * half;
}

// Integration panels: 64 per whole turn, at least 4.
int panelCount(const ArcGeometry& arc) {
  return std::max(4, static_cast<int>(std::ceil(std::abs(effectiveSweep(arc)) / kTwoPi * 64.0)));
}

double distanceSquaredAt(const ArcGeometry& arc, double u, const DPoint3d& p) {
  const DPoint3d d = sub(arcPointAt(arc, angleAt(arc, u)), p);
  return dot(d, d);
}

// Golden-section minimum of the squared distance over [lo, hi].
double minimiseOn(const ArcGeometry& arc, const DPoint3d& p, double lo, double hi) {
  constexpr double kInvPhi = 0.6180339887498949;
  double a = lo, b = hi;
  double c = b - kInvPhi * (b - a), d = a + kInvPhi * (b - a);
  double fc = distanceSquaredAt(arc, c, p), fd = distanceSquaredAt(arc, d, p);
  for (int i = 0; i < 60 && b - a > 1e-15; ++i) {
    if (fc <= fd) {
      b = d, d = c, fd = fc;
      c = b - kInvPhi * (b - a);
      fc = distanceSquaredAt(arc, c, p);
    } else {
      a = c, c = d, fc = fd;
      d = a + kInvPhi * (b - a);
      fd = distanceSquaredAt(arc, d, p);
    }
  }
  const double candidates[3] = {lo, hi, 0.5 * (a + b)};
  double best = candidates[0], bestValue = distanceSquaredAt(arc, best, p);
  for (double u : candidates) {
    const double v = distanceSquaredAt(arc, u, p);
    if (v < bestValue) best = u, bestValue = v;
  }
  return best;
}

}  // namespace

// ---- points and matrices ---------------------------------------------------------------------

double distance(const DPoint3d& a, const DPoint3d& b) {
  const DPoint3d d = sub(a, b);
  return std::sqrt(dot(d, d));
}

bool pointEqualUor(const DPoint3d& a, const DPoint3d& b) {
  constexpr double kHalfUor = 0.5;
  return std::abs(a.x - b.x) <= kHalfUor && std::abs(a.y - b.y) <= kHalfUor &&
         std::abs(a.z - b.z) <= kHalfUor;
}

ArcGeometry arcGeometryOf(const dgn::ArcRecord& r) {
  ArcGeometry arc;
  arc.centre = r.centre;
  arc.primary = r.primary;
  arc.secondary = r.secondary;
  arc.rotation = r.rotMatrix;
  arc.start = r.isEllipse ? 0.0 : r.start;
  arc.sweep = r.isEllipse || r.sweep == 0.0 ? kTwoPi : r.sweep;
  return arc;
}

RotMatrix rotationFromAngle(double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  RotMatrix r;
  r.m[0][0] = c, r.m[0][1] = -s;
  r.m[1][0] = s, r.m[1][1] = c;
  return r;
}

double rotationToAngle(const RotMatrix& rotation) {
  return std::atan2(rotation.m[1][0], rotation.m[0][0]);
}

DPoint3d rotate(const RotMatrix& r, const DPoint3d& v) {
  return {r.m[0][0] * v.x + r.m[0][1] * v.y + r.m[0][2] * v.z,
          r.m[1][0] * v.x + r.m[1][1] * v.y + r.m[1][2] * v.z,
          r.m[2][0] * v.x + r.m[2][1] * v.y + r.m[2][2] * v.z};
}

// ---- polylines -------------------------------------------------------------------------------

double polylineLength(std::span<const DPoint3d> points) {
  double total = 0.0;
  for (std::size_t i = 1; i < points.size(); ++i) total += distance(points[i - 1], points[i]);
  return total;
}

bool polylinePointAtDistance(std::span<const DPoint3d> points, double d, DPoint3d& out) {
  if (points.empty() || !clampDistance(d, polylineLength(points))) return false;
  double walked = 0.0;
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double segment = distance(points[i - 1], points[i]);
    if (segment > 0.0 && walked + segment >= d) {
      out = lerp(points[i - 1], points[i], std::clamp((d - walked) / segment, 0.0, 1.0));
      return true;
    }
    walked += segment;
  }
  out = points.back();
  return true;
}

bool polylineProject(std::span<const DPoint3d> points, const DPoint3d& p, DPoint3d& foot,
                     double& dist) {
  if (points.empty()) return false;
  foot = points[0];
  dist = distance(p, foot);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const DPoint3d& a = points[i - 1];
    const DPoint3d ab = sub(points[i], a);
    const double len2 = dot(ab, ab);
    const double u = len2 > 0.0 ? std::clamp(dot(sub(p, a), ab) / len2, 0.0, 1.0) : 0.0;
    const DPoint3d q = add(a, scale(ab, u));
    const double d = distance(p, q);
    if (d < dist) foot = q, dist = d;
  }
  return true;
}

std::size_t polylineSelfIntersections(std::span<const DPoint3d> points, double tolerance,
                                      std::size_t maxPoints, std::vector<DPoint3d>& out) {
  // Runs of points closer than the tolerance would make neighbouring segments look like
  // crossings: merge them first.
  std::vector<DPoint3d> pts;
  pts.reserve(points.size());
  for (const DPoint3d& p : points) {
    if (pts.empty() || distance(pts.back(), p) > tolerance) pts.push_back(p);
  }
  if (points.size() > 1 && pts.size() > 1 && distance(pts.back(), points.back()) > 0.0 &&
      distance(pts.back(), points.back()) <= tolerance) {
    pts.back() = points.back();  // keep the true end point
  }
  const std::size_t before = out.size();
  const std::size_t segments = pts.size() < 2 ? 0 : pts.size() - 1;
  for (std::size_t i = 0; i < segments; ++i) {
    for (std::size_t j = i + 2; j < segments; ++j) {
      if (out.size() - before >= maxPoints) return out.size() - before;
      double s = 0.0, t = 0.0;
      closestSegmentParams(pts[i], pts[i + 1], pts[j], pts[j + 1], s, t);
      const DPoint3d a = lerp(pts[i], pts[i + 1], s), b = lerp(pts[j], pts[j + 1], t);
      if (distance(a, b) > tolerance) continue;
      const DPoint3d meet = lerp(a, b, 0.5);
      const bool seen =
          std::any_of(out.begin() + static_cast<std::ptrdiff_t>(before), out.end(),
                      [&](const DPoint3d& q) { return distance(q, meet) <= tolerance; });
      if (!seen) out.push_back(meet);
    }
  }
  return out.size() - before;
}

// ---- arcs and ellipses -----------------------------------------------------------------------

bool isFullEllipse(const ArcGeometry& arc) {
  return std::abs(arc.sweep) >= kTwoPi;
}

DPoint3d arcPointAt(const ArcGeometry& arc, double t) {
  return add(arc.centre,
             rotate(arc.rotation, {arc.primary * std::cos(t), arc.secondary * std::sin(t), 0.0}));
}

DPoint3d arcStartPoint(const ArcGeometry& arc) {
  return arcPointAt(arc, arc.start);
}

DPoint3d arcEndPoint(const ArcGeometry& arc) {
  if (isFullEllipse(arc)) return arcStartPoint(arc);
  return arcPointAt(arc, arc.start + arc.sweep);
}

double arcLength(const ArcGeometry& arc) {
  const int panels = panelCount(arc);
  double total = 0.0;
  for (int i = 0; i < panels; ++i) {
    total +=
        lengthBetween(arc, static_cast<double>(i) / panels, static_cast<double>(i + 1) / panels);
  }
  return total;
}

namespace {

// The length of the arc up to the end of each integration panel (0 first): the last value is
// arcLength's.
std::vector<double> arcPanelLengths(const ArcGeometry& arc) {
  const int panels = panelCount(arc);
  std::vector<double> cumulative(static_cast<std::size_t>(panels) + 1, 0.0);
  for (int i = 0; i < panels; ++i) {
    cumulative[i + 1] = cumulative[i] + lengthBetween(arc, static_cast<double>(i) / panels,
                                                      static_cast<double>(i + 1) / panels);
  }
  return cumulative;
}

bool arcPointAtDistanceOn(const ArcGeometry& arc, const std::vector<double>& cumulative, double d,
                          DPoint3d& out) {
  const int panels = static_cast<int>(cumulative.size()) - 1;
  if (!clampDistance(d, cumulative.back())) return false;
  const auto it = std::lower_bound(cumulative.begin() + 1, cumulative.end(), d);
  const int panel = std::min(panels - 1, static_cast<int>(it - cumulative.begin()) - 1);
  // Safeguarded Newton inside the panel: the length is monotone in u.
  double lo = static_cast<double>(panel) / panels, hi = static_cast<double>(panel + 1) / panels;
  const double u0 = lo, target = d - cumulative[panel];
  double u = 0.5 * (lo + hi);
  for (int iter = 0; iter < 60; ++iter) {
    const double f = lengthBetween(arc, u0, u) - target;
    if (std::abs(f) <= 1e-12 * std::max(1.0, cumulative.back())) break;
    if (f > 0)
      hi = u;
    else
      lo = u;
    const double speed = speedAt(arc, u);
    double next = speed > 0.0 ? u - f / speed : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    u = next;
  }
  out = arcPointAt(arc, angleAt(arc, u));
  return true;
}

}  // namespace

bool arcPointAtDistance(const ArcGeometry& arc, double d, DPoint3d& out) {
  return arcPointAtDistanceOn(arc, arcPanelLengths(arc), d, out);
}

namespace {

// True when the rotation is orthonormal, so that its transpose is its inverse.
bool isOrthonormal(const RotMatrix& r) {
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double d = 0.0;
      for (int k = 0; k < 3; ++k) d += r.m[k][i] * r.m[k][j];
      if (std::abs(d - (i == j ? 1.0 : 0.0)) > 1e-9) return false;
    }
  }
  return true;
}

// Circular arcs project in closed form: the nearest point lies at the point's own angle in the
// arc's plane, or at the nearer end when that angle is outside the sweep.
bool circularProject(const ArcGeometry& arc, const DPoint3d& p, DPoint3d& foot, double& dist) {
  const double r = arc.primary;
  if (std::abs(arc.primary - arc.secondary) > 1e-12 * std::abs(r) || r < 0.0 ||
      !isOrthonormal(arc.rotation)) {
    return false;
  }
  const DPoint3d d = sub(p, arc.centre);
  const RotMatrix& m = arc.rotation;  // local = transpose(m) * d
  const double lx = m.m[0][0] * d.x + m.m[1][0] * d.y + m.m[2][0] * d.z;
  const double ly = m.m[0][1] * d.x + m.m[1][1] * d.y + m.m[2][1] * d.z;
  const double sweep = effectiveSweep(arc);
  double t = arc.start;
  if (lx != 0.0 || ly != 0.0) {
    const double angle = std::atan2(ly, lx);
    const double along =
        std::fmod(((angle - arc.start) * (sweep < 0 ? -1.0 : 1.0)) + 4 * kTwoPi, kTwoPi);
    if (along <= std::abs(sweep)) {
      t = angle;
    } else {
      const DPoint3d s = arcPointAt(arc, arc.start), e = arcPointAt(arc, arc.start + sweep);
      t = distance(p, s) <= distance(p, e) ? arc.start : arc.start + sweep;
    }
  }
  foot = arcPointAt(arc, t);
  dist = distance(foot, p);
  return true;
}

}  // namespace

void arcProject(const ArcGeometry& arc, const DPoint3d& p, DPoint3d& foot, double& dist) {
  if (circularProject(arc, p, foot, dist)) return;
  const int samples = 2 * panelCount(arc);
  int best = 0;
  double bestValue = distanceSquaredAt(arc, 0.0, p);
  for (int i = 1; i <= samples; ++i) {
    const double v = distanceSquaredAt(arc, static_cast<double>(i) / samples, p);
    if (v < bestValue) best = i, bestValue = v;
  }
  // Refine on both brackets next to the best sample; on a whole ellipse both ends are one point.
  std::vector<std::pair<double, double>> brackets;
  auto addBrackets = [&](int i) {
    if (i > 0) brackets.emplace_back(static_cast<double>(i - 1) / samples, double(i) / samples);
    if (i < samples) brackets.emplace_back(double(i) / samples, double(i + 1) / samples);
  };
  addBrackets(best);
  if (isFullEllipse(arc) && (best == 0 || best == samples)) addBrackets(samples - best);
  double bestU = static_cast<double>(best) / samples;
  for (const auto& [lo, hi] : brackets) {
    const double u = minimiseOn(arc, p, lo, hi);
    const double v = distanceSquaredAt(arc, u, p);
    if (v < bestValue) bestU = u, bestValue = v;
  }
  foot = arcPointAt(arc, angleAt(arc, bestU));
  dist = distance(foot, p);
}

std::size_t strokeArc(const ArcGeometry& arc, double chordTolerance, std::size_t maxPoints,
                      std::vector<DPoint3d>& out) {
  const double sweep = effectiveSweep(arc);
  const double radius = std::max(std::abs(arc.primary), std::abs(arc.secondary));
  double step = kPi / 2.0;  // at least one point per quarter turn
  if (radius > 0.0 && chordTolerance > 0.0 && chordTolerance < radius) {
    step = std::min(step, 2.0 * std::acos(1.0 - chordTolerance / radius));
  }
  std::size_t segments =
      std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(std::abs(sweep) / step - 1e-9)));
  segments = std::min(segments, std::max<std::size_t>(maxPoints, 2) - 1);
  for (std::size_t i = 0; i <= segments; ++i) {
    out.push_back(arcPointAt(arc, arc.start + sweep * static_cast<double>(i) / segments));
  }
  if (isFullEllipse(arc)) out.back() = out[out.size() - segments - 1];
  return segments + 1;
}

// ---- paths -----------------------------------------------------------------------------------

namespace {

double pieceLength(const PathPiece& piece) {
  return piece.kind == PathPiece::Kind::Arc ? arcLength(piece.arc) : polylineLength(piece.points);
}

bool pieceHasPoints(const PathPiece& piece) {
  return piece.kind == PathPiece::Kind::Arc || !piece.points.empty();
}

}  // namespace

double pathLength(const Path& path) {
  double total = 0.0;
  for (const PathPiece& piece : path.pieces) total += pieceLength(piece);
  return total;
}

bool pathEndPoints(const Path& path, DPoint3d& start, DPoint3d& end) {
  if (path.pieces.empty()) return false;
  const PathPiece& first = path.pieces.front();
  const PathPiece& last = path.pieces.back();
  if (!pieceHasPoints(first) || !pieceHasPoints(last)) return false;
  start = first.kind == PathPiece::Kind::Arc ? arcStartPoint(first.arc) : first.points.front();
  end = last.kind == PathPiece::Kind::Arc ? arcEndPoint(last.arc) : last.points.back();
  return true;
}

MeasuredPath measurePath(const Path& path) {
  MeasuredPath m;
  m.path = &path;
  m.pieceLengths.reserve(path.pieces.size());
  m.arcPanels.resize(path.pieces.size());
  for (std::size_t i = 0; i < path.pieces.size(); ++i) {
    const PathPiece& piece = path.pieces[i];
    if (piece.kind == PathPiece::Kind::Arc) {
      m.arcPanels[i] = arcPanelLengths(piece.arc);
      m.pieceLengths.push_back(m.arcPanels[i].back());
    } else {
      m.pieceLengths.push_back(polylineLength(piece.points));
    }
    m.length += m.pieceLengths.back();
  }
  return m;
}

bool pathPointAtDistance(const MeasuredPath& m, double d, DPoint3d& out) {
  const Path& path = *m.path;
  if (path.pieces.empty() || !clampDistance(d, m.length)) return false;
  double walked = 0.0;
  const PathPiece* lastWithPoints = nullptr;
  for (std::size_t i = 0; i < path.pieces.size(); ++i) {
    const PathPiece& piece = path.pieces[i];
    if (!pieceHasPoints(piece)) continue;
    lastWithPoints = &piece;
    const double length = m.pieceLengths[i];
    if (walked + length >= d) {
      const double local = std::clamp(d - walked, 0.0, length);
      return piece.kind == PathPiece::Kind::Arc
                 ? arcPointAtDistanceOn(piece.arc, m.arcPanels[i], local, out)
                 : polylinePointAtDistance(piece.points, local, out);
    }
    walked += length;
  }
  if (lastWithPoints == nullptr) return false;
  DPoint3d start;
  return pathEndPoints(Path{{*lastWithPoints}}, start, out);
}

bool pathPointAtDistance(const Path& path, double d, DPoint3d& out) {
  return pathPointAtDistance(measurePath(path), d, out);
}

bool pathProject(const Path& path, const DPoint3d& p, DPoint3d& foot, double& dist) {
  bool found = false;
  for (const PathPiece& piece : path.pieces) {
    DPoint3d f;
    double d = 0.0;
    if (piece.kind == PathPiece::Kind::Arc) {
      arcProject(piece.arc, p, f, d);
    } else if (!polylineProject(piece.points, p, f, d)) {
      continue;
    }
    if (!found || d < dist) foot = f, dist = d, found = true;
  }
  return found;
}

std::size_t strokePath(const Path& path, double chordTolerance, std::size_t maxPoints,
                       std::vector<DPoint3d>& out) {
  std::size_t appended = 0;
  for (const PathPiece& piece : path.pieces) {
    if (appended >= maxPoints) break;
    if (piece.kind == PathPiece::Kind::Arc) {
      const std::size_t room = maxPoints - appended;
      if (room < 2) break;
      appended += strokeArc(piece.arc, chordTolerance, room, out);
    } else {
      const std::size_t n = std::min(piece.points.size(), maxPoints - appended);
      out.insert(out.end(), piece.points.begin(), piece.points.begin() + n);
      appended += n;
    }
  }
  return appended;
}

}  // namespace kelvara
