// Linear comparison on element descriptors: the element layer's records turned into shapes.
#include <variant>

#include "engine/linear.h"
#include "host/bspline_element.h"

namespace kelvara {

namespace {

PathPiece polylinePiece(const std::vector<DPoint3d>& points) {
  return {PathPiece::Kind::Polyline, points, {}};
}

PathPiece arcPiece(const dgn::ArcRecord& r) {
  PathPiece piece;
  piece.kind = PathPiece::Kind::Arc;
  piece.arc = arcGeometryOf(r);
  return piece;
}

// Points per knot span when a B-spline curve is stroked for the comparisons.
constexpr std::size_t kBsplinePointsPerSpan = 32;

// A piece for one element that is not a complex chain or shape; false when it has no usable
// geometry.
bool simplePiece(const MSElementDescr& e, uint32_t type, PathPiece& out) {
  if (type == 27) {
    BsplineCurve curve;
    out = PathPiece{};
    return bsplineCurveOf(e, curve) &&
           strokeBspline(curve, kBsplinePointsPerSpan, kMaxStrokePoints, out.points) > 0;
  }
  if (type == 15 || type == 16) {
    const auto* arc = std::get_if<dgn::ArcRecord>(&e.record);
    if (arc == nullptr) return false;
    out = arcPiece(*arc);
    return true;
  }
  if (type == 23) {  // a cone's vertices: the centres of its two ends
    const auto* cone = std::get_if<dgn::ConeRecord>(&e.record);
    if (cone == nullptr) return false;
    out = polylinePiece({cone->centre1, cone->centre2});
    return true;
  }
  const auto* linear = std::get_if<dgn::LinearRecord>(&e.record);
  if (linear == nullptr || linear->points.empty()) return false;
  out = polylinePiece(linear->points);
  return true;
}

}  // namespace

bool linearShapeOf(const MSElementDescr& element, LinearShape& out) {
  const auto type = static_cast<uint32_t>(mdlElement_getType(element));
  out = LinearShape{};
  out.type = type;
  switch (type) {
    case 3:
    case 4:
    case 6:
    case 11:
    case 15:
    case 16:
    case 22:
    case 23:
    case 27: {
      PathPiece piece;
      if (!simplePiece(element, type, piece)) return false;
      out.path.pieces.push_back(std::move(piece));
      out.pieceTypes.push_back(type);
      return true;
    }
    case 12:
    case 14:
      for (const MSElementDescr& component : element.components) {
        const auto componentType = static_cast<uint32_t>(mdlElement_getType(component));
        PathPiece piece;
        if (!simplePiece(component, componentType, piece)) return false;
        out.path.pieces.push_back(std::move(piece));
        out.pieceTypes.push_back(componentType);
      }
      return !out.path.pieces.empty();
    default:
      return false;
  }
}

bool descriptorsIdentical(const MSElementDescr& a, const MSElementDescr& b) {
  return elementRun(a) == elementRun(b);
}

int linearCompareElements(const MSElementDescr* a, const MSElementDescr* b,
                          const LinearOptions& options, const AttributeTests& tests,
                          TraceSink trace, MatchReason* how) {
  if (a == nullptr || b == nullptr) return kDifferent;
  LinearShape sa, sb;
  const bool shapes = linearShapeOf(*a, sa) && linearShapeOf(*b, sb);
  bool geometry = false;
  if ((!options.overlap || !shapes) && descriptorsIdentical(*a, *b)) {
    geometry = true;
    if (how != nullptr) *how = MatchReason::Exact;
  } else if (!shapes) {
    geometry = false;
  } else if (options.overlap) {
    geometry = sampleOverlap(sa, sb, options.toleranceUor, options.allowReversed,
                             options.allowUnderlap, trace, how);
  } else {
    geometry = identicalLinear(sa, sb, options.allowReversed, options.allowUnderlap, how);
  }
  if (!geometry) return kDifferent;
  const auto typeA = static_cast<uint32_t>(mdlElement_getType(*a));
  const auto typeB = static_cast<uint32_t>(mdlElement_getType(*b));
  return linearAttributes(typeA, typeB, tests);
}

}  // namespace kelvara
