// Identity of element trees within tolerances.
#include "engine/solids.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <variant>

#include "engine/opaque_body.h"
#include "host/geometry.h"

namespace kelvara {

namespace {

struct Tolerances {
  double distance;
  double angle;
};

bool near(double a, double b, double tolerance) {
  return std::fabs(a - b) <= tolerance;
}

bool pointsNear(const DPoint3d& a, const DPoint3d& b, double tolerance) {
  return distance(a, b) <= tolerance;
}

// The angle between the images of each axis under both rotations is within the tolerance.
bool orientationsNear(const RotMatrix& a, const RotMatrix& b, double tolerance) {
  for (int c = 0; c < 3; ++c) {
    double dot = 0, na = 0, nb = 0;
    for (int r = 0; r < 3; ++r) {
      dot += a.m[r][c] * b.m[r][c];
      na += a.m[r][c] * a.m[r][c];
      nb += b.m[r][c] * b.m[r][c];
    }
    if (na == 0 || nb == 0) {
      if (na != nb) return false;
      continue;
    }
    const double cosine = std::clamp(dot / std::sqrt(na * nb), -1.0, 1.0);
    // acos loses precision near 0: measure small angles through the cross product's length.
    const double angle = std::atan2(std::sqrt(std::max(0.0, 1.0 - cosine * cosine)), cosine);
    if (angle > tolerance) return false;
  }
  return true;
}

bool sameKind(int typeA, int typeB) {
  const auto surfaceOrSolid = [](int t) { return t == 18 || t == 19; };
  return typeA == typeB || (surfaceOrSolid(typeA) && surfaceOrSolid(typeB));
}

bool pointListsNear(const std::vector<DPoint3d>& a, const std::vector<DPoint3d>& b, double tol) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!pointsNear(a[i], b[i], tol)) return false;
  }
  return true;
}

// Each record kind compared field by field.
struct RecordsNear {
  Tolerances tol;
  const MSElementDescr& ea;
  const MSElementDescr& eb;

  bool operator()(const dgn::LinearRecord& a, const dgn::LinearRecord& b) const {
    return pointListsNear(a.points, b.points, tol.distance);
  }
  bool operator()(const dgn::ArcRecord& a, const dgn::ArcRecord& b) const {
    return pointsNear(a.centre, b.centre, tol.distance) &&
           near(a.primary, b.primary, tol.distance) &&
           near(a.secondary, b.secondary, tol.distance) &&
           orientationsNear(a.rotMatrix, b.rotMatrix, tol.angle) &&
           near(a.start, b.start, tol.angle) && near(a.sweep, b.sweep, tol.angle);
  }
  bool operator()(const dgn::ConeRecord& a, const dgn::ConeRecord& b) const {
    return a.coneType == b.coneType && a.isSurface == b.isSurface &&
           orientationsNear(a.rotMatrix, b.rotMatrix, tol.angle) &&
           pointsNear(a.centre1, b.centre1, tol.distance) &&
           pointsNear(a.centre2, b.centre2, tol.distance) &&
           near(a.radius1, b.radius1, tol.distance) && near(a.radius2, b.radius2, tol.distance);
  }
  bool operator()(const dgn::SurfaceRecord& a, const dgn::SurfaceRecord& b) const {
    return a.surfaceType == b.surfaceType && a.boundaryElements == b.boundaryElements;
  }
  bool operator()(const dgn::ComplexRecord&, const dgn::ComplexRecord&) const {
    return true;  // the components decide
  }
  bool operator()(const dgn::BsplineCurveRecord& a, const dgn::BsplineCurveRecord& b) const {
    return a.order == b.order && a.rational == b.rational && a.closed == b.closed &&
           a.curveType == b.curveType && a.numPoles == b.numPoles && a.numKnots == b.numKnots;
  }
  bool operator()(const dgn::BsplineSurfaceRecord& a, const dgn::BsplineSurfaceRecord& b) const {
    return a.uOrder == b.uOrder && a.vOrder == b.vOrder && a.uClosed == b.uClosed &&
           a.vClosed == b.vClosed && a.rational == b.rational && a.surfaceType == b.surfaceType &&
           a.uPoles == b.uPoles && a.uKnots == b.uKnots && a.vPoles == b.vPoles &&
           a.vKnots == b.vKnots && a.numBoundaries == b.numBoundaries;
  }
  bool operator()(const dgn::BoundaryRecord& a, const dgn::BoundaryRecord& b) const {
    return a.number == b.number && pointListsNear(a.uv, b.uv, kParametricTolerance);
  }
  bool operator()(const dgn::ScalarsRecord& a, const dgn::ScalarsRecord& b) const {
    if (a.values.size() != b.values.size()) return false;
    for (std::size_t i = 0; i < a.values.size(); ++i) {
      if (!near(a.values[i], b.values[i], kParametricTolerance)) return false;
    }
    return true;
  }
  // Anything else (raster frames, undecoded bodies): the same bytes.
  template <class A, class B>
  bool operator()(const A&, const B&) const {
    return std::is_same_v<A, B> && opaqueBodiesEqual(ea, eb);
  }
};

bool treesNear(const MSElementDescr& a, const MSElementDescr& b, const Tolerances& tol) {
  if (!sameKind(mdlElement_getType(a), mdlElement_getType(b))) return false;
  if (a.components.size() != b.components.size()) return false;
  if (!std::visit(RecordsNear{tol, a, b}, a.record, b.record)) return false;
  for (std::size_t i = 0; i < a.components.size(); ++i) {
    if (!treesNear(a.components[i], b.components[i], tol)) return false;
  }
  return true;
}

}  // namespace

bool identicalToTolerance(const MSElementDescr& a, const MSElementDescr& b,
                          double distanceTolerance, double angleTolerance) {
  return treesNear(a, b, {distanceTolerance, angleTolerance});
}

int solidsMatch(const PairElement& first, const PairElement& second,
                const CompareOptions& options) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  if (!identicalToTolerance(*first.descriptor, *second.descriptor, options.toleranceUor,
                            options.rotationTolerance)) {
    return COMPARE_DIFFERENT;
  }
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
