// Plain geometry for the comparisons: polylines, circular and elliptical arcs, and paths made
// of both, in units of resolution (UOR) and double precision. Everything here is pure: no I/O,
// no globals, every tolerance is an argument. The element layer turns decoded elements into
// these records; the engine measures, samples and projects on them.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "host/types.h"

namespace kelvara {

namespace dgn {
struct ArcRecord;
}

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2.0 * kPi;

// Chord tolerance, in UOR, with which arcs and ellipses are stroked for the comparisons.
inline constexpr double kStrokeTolerance = 1.0;
// Most points one stroke produces (a full circle of radius 10^9 UOR would need ~70,000).
inline constexpr std::size_t kMaxStrokePoints = 5000;

// An arc or a whole ellipse. A point at parametric angle t is
// centre + rotation * (primary * cos t, secondary * sin t, 0), the matrix applied to the column
// vector (rotation.m[row][col]). The arc runs from `start` over the signed `sweep` (radians,
// positive counter-clockwise in its own plane); |sweep| >= 2*pi is a whole ellipse.
struct ArcGeometry {
  DPoint3d centre;
  double primary = 0.0;
  double secondary = 0.0;
  RotMatrix rotation;
  double start = 0.0;
  double sweep = kTwoPi;
};

// The geometry of a decoded arc or ellipse: an ellipse is a whole turn from angle 0 (an arc's
// stored sweep of 0 is already a whole turn in the record).
[[nodiscard]] ArcGeometry arcGeometryOf(const dgn::ArcRecord& r);

// One piece of a path: a run of vertices joined by straight segments, or an arc.
struct PathPiece {
  enum class Kind { Polyline, Arc };
  Kind kind = Kind::Polyline;
  std::vector<DPoint3d> points;  // Polyline only
  ArcGeometry arc;               // Arc only
};

// A chain of pieces walked in order, as a line string, an arc or a complex chain is.
struct Path {
  std::vector<PathPiece> pieces;
};

// ---- points and matrices ---------------------------------------------------------------------

// Euclidean distance between two points.
[[nodiscard]] double distance(const DPoint3d& a, const DPoint3d& b);

// Unit-of-resolution equality: the points agree within half a unit of resolution on every axis.
// Vertices stored as whole UOR are therefore equal only when identical, while doubles carrying
// rounding noise (decoded centres, stroked points) still count as the same point.
[[nodiscard]] bool pointEqualUor(const DPoint3d& a, const DPoint3d& b);

// The rotation by `angle` radians about z (counter-clockwise seen from +z).
[[nodiscard]] RotMatrix rotationFromAngle(double angle);

// The angle about z of a rotation's x axis, in (-pi, pi].
[[nodiscard]] double rotationToAngle(const RotMatrix& rotation);

// rotation * v.
[[nodiscard]] DPoint3d rotate(const RotMatrix& rotation, const DPoint3d& v);

// ---- polylines -------------------------------------------------------------------------------

// Sum of the segment lengths; 0 for fewer than two points.
[[nodiscard]] double polylineLength(std::span<const DPoint3d> points);

// The point `d` along the polyline from its first point. False when the list is empty or d lies
// outside [0, length] by more than 1e-9 of the length (a value just past either end is clamped).
[[nodiscard]] bool polylinePointAtDistance(std::span<const DPoint3d> points, double d,
                                           DPoint3d& out);

// The point of the polyline nearest to p (the foot of the perpendicular, or a vertex), and its
// distance from p. False for an empty list.
[[nodiscard]] bool polylineProject(std::span<const DPoint3d> points, const DPoint3d& p,
                                   DPoint3d& foot, double& dist);

// Appends the points where two non-adjacent segments of the polyline meet or pass within
// `tolerance` of each other (one point per such pair, midway between the closest points), at
// most `maxPoints` in all. The shared vertex of neighbouring segments is no crossing; the
// closing vertex of a closed polyline is. Returns the number appended.
std::size_t polylineSelfIntersections(std::span<const DPoint3d> points, double tolerance,
                                      std::size_t maxPoints, std::vector<DPoint3d>& out);

// ---- arcs and ellipses -----------------------------------------------------------------------

// True when the arc covers its whole ellipse.
[[nodiscard]] bool isFullEllipse(const ArcGeometry& arc);

// The point at parametric angle t.
[[nodiscard]] DPoint3d arcPointAt(const ArcGeometry& arc, double t);
[[nodiscard]] DPoint3d arcStartPoint(const ArcGeometry& arc);
[[nodiscard]] DPoint3d arcEndPoint(const ArcGeometry& arc);

// Length along the arc (numerical for ellipses, accurate to ~1e-9 relative).
[[nodiscard]] double arcLength(const ArcGeometry& arc);

// The point `d` along the arc from its start; false when d is outside [0, length] (clamped
// within 1e-9 of the length, as for polylines).
[[nodiscard]] bool arcPointAtDistance(const ArcGeometry& arc, double d, DPoint3d& out);

// The point of the arc nearest to p and its distance from p. Always succeeds.
void arcProject(const ArcGeometry& arc, const DPoint3d& p, DPoint3d& foot, double& dist);

// Appends the arc's points from start to end so that no chord strays more than
// `chordTolerance` from the curve; a whole ellipse ends on its first point. At least two points
// are appended (for a quarter or more at least one per quarter turn), at most `maxPoints`.
// Returns the number appended.
std::size_t strokeArc(const ArcGeometry& arc, double chordTolerance, std::size_t maxPoints,
                      std::vector<DPoint3d>& out);

// ---- B-spline curves ------------------------------------------------------------------------

// A B-spline curve of the given order (degree + 1) through its poles. `weights` is empty for a
// non-rational curve, else one per pole. `knots` is the full knot vector (poles + order values,
// non-decreasing); empty means uniform knots: clamped at both ends for an open curve, periodic
// for a closed one (whose poles then wrap around).
struct BsplineCurve {
  int order = 4;
  bool closed = false;
  std::vector<DPoint3d> poles;
  std::vector<double> weights;
  std::vector<double> knots;
};

// The curve's point at parameter u of its domain (see strokeBspline); false for a malformed
// curve (fewer poles than the order requires, wrong weight or knot counts, zero weights).
[[nodiscard]] bool bsplinePointAt(const BsplineCurve& curve, double u, DPoint3d& out);

// Appends the curve as a polyline: `perSpan` points along each non-empty knot span, at most
// `maxPoints` in all. Returns the number appended; 0 for a malformed curve.
std::size_t strokeBspline(const BsplineCurve& curve, std::size_t perSpan, std::size_t maxPoints,
                          std::vector<DPoint3d>& out);

// ---- paths -----------------------------------------------------------------------------------

// Total length of the pieces.
[[nodiscard]] double pathLength(const Path& path);

// First point of the first piece and last point of the last; false when the path is empty or
// its first or last piece is an empty polyline.
[[nodiscard]] bool pathEndPoints(const Path& path, DPoint3d& start, DPoint3d& end);

// The point `d` along the path from its start; false when the path is empty or d lies outside
// [0, length] (clamped within 1e-9 of the length).
[[nodiscard]] bool pathPointAtDistance(const Path& path, double d, DPoint3d& out);

// A path with the lengths of its pieces (and of its arcs' integration panels) measured once,
// for taking many points along it. Holds a pointer to the path, which must outlive it.
struct MeasuredPath {
  const Path* path = nullptr;
  double length = 0.0;  // pathLength's value
  std::vector<double> pieceLengths;
  std::vector<std::vector<double>> arcPanels;  // by piece; empty for polylines
};
[[nodiscard]] MeasuredPath measurePath(const Path& path);

// pathPointAtDistance on a measured path: the same point, without measuring again.
[[nodiscard]] bool pathPointAtDistance(const MeasuredPath& measured, double d, DPoint3d& out);

// The point of the path nearest to p and its distance; false when the path has no points.
[[nodiscard]] bool pathProject(const Path& path, const DPoint3d& p, DPoint3d& foot, double& dist);

// Appends the pieces' points in order, concatenated: polyline vertices as they are, arcs stroked
// with `chordTolerance`. Stops at `maxPoints` in all. Returns the number appended.
std::size_t strokePath(const Path& path, double chordTolerance, std::size_t maxPoints,
                       std::vector<DPoint3d>& out);

}  // namespace kelvara
