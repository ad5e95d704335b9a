// Linear comparison on element descriptors: the element layer's records turned into shapes.
#include <variant>

#include "engine/linear.h"

namespace kelvara {

namespace {

PathPiece polylinePiece(const std::vector<DPoint3d>& points) {
  return {PathPiece::Kind::Polyline, points, {}};
}

PathPiece arcPiece(const dgn::ArcRecord& r) {
  PathPiece piece;
  piece.kind = PathPiece::Kind::Arc;
  ArcGeometry& arc = piece.arc;
  arc.centre = r.centre;
  arc.primary = r.primary;
  arc.secondary = r.secondary;
  arc.rotation = r.rotMatrix;
  arc.start = r.isEllipse ? 0.0 : r.start;
  // A stored sweep of 0 is a whole turn.
  arc.sweep = r.isEllipse || r.sweep == 0.0 ? kTwoPi : r.sweep;
  return piece;
}

// Points per knot span when a B-spline curve is stroked for the comparisons.
constexpr std::size_t kBsplinePointsPerSpan = 32;

// The curve of a B-spline header (27) and its components: poles (21), the interior knots (26)
// when not uniform, weights (28) when rational.
bool bsplineOf(const MSElementDescr& e, BsplineCurve& out) {
  const auto* header = std::get_if<dgn::BsplineCurveRecord>(&e.record);
  if (header == nullptr) return false;
  const std::vector<double>* knots = nullptr;
  const std::vector<double>* weights = nullptr;
  const std::vector<DPoint3d>* poles = nullptr;
  for (const MSElementDescr& c : e.components) {
    const int type = mdlElement_getType(c);
    if (type == 21) {
      if (const auto* r = std::get_if<dgn::LinearRecord>(&c.record)) poles = &r->points;
    } else if (type == 26) {
      if (const auto* r = std::get_if<dgn::ScalarsRecord>(&c.record)) knots = &r->values;
    } else if (type == 28) {
      if (const auto* r = std::get_if<dgn::ScalarsRecord>(&c.record)) weights = &r->values;
    }
  }
  if (poles == nullptr) return false;
  const std::size_t n = poles->size();
  const int k = header->order;
  out = BsplineCurve{};
  out.order = k;
  out.poles = *poles;
  if (header->rational) {
    if (weights == nullptr || weights->size() < n) return false;
    out.weights.assign(weights->begin(), weights->begin() + static_cast<std::ptrdiff_t>(n));
  }
  const std::size_t interior = header->closed ? n - 1 : n - static_cast<std::size_t>(k);
  const bool explicitKnots = header->numKnots > 0 && knots != nullptr &&
                             n >= static_cast<std::size_t>(k) && knots->size() >= interior &&
                             static_cast<std::size_t>(header->numKnots) == interior;
  if (!explicitKnots) {
    out.closed = header->closed;
    return true;
  }
  if (!header->closed) {
    out.knots.assign(static_cast<std::size_t>(k), 0.0);
    out.knots.insert(out.knots.end(), knots->begin(),
                     knots->begin() + static_cast<std::ptrdiff_t>(interior));
    out.knots.insert(out.knots.end(), static_cast<std::size_t>(k), 1.0);
    return true;
  }
  // Closed with explicit knots: one period 0, t1 .. t(n-1), 1 repeated on both sides, and the
  // first order-1 poles (and weights) wrapped to the end.
  std::vector<double> period{0.0};
  period.insert(period.end(), knots->begin(),
                knots->begin() + static_cast<std::ptrdiff_t>(interior));
  period.push_back(1.0);
  auto knotAt = [&](long j) {
    const long nn = static_cast<long>(n);
    long shift = 0;
    while (j < 0) j += nn, --shift;
    while (j > nn) j -= nn, ++shift;
    return period[static_cast<std::size_t>(j)] + static_cast<double>(shift);
  };
  for (long j = -(k - 1); j <= static_cast<long>(n) + k - 1; ++j) out.knots.push_back(knotAt(j));
  for (int i = 0; i < k - 1; ++i) {
    out.poles.push_back((*poles)[static_cast<std::size_t>(i) % n]);
    if (!out.weights.empty()) out.weights.push_back(out.weights[static_cast<std::size_t>(i) % n]);
  }
  return true;
}

// A piece for one element that is not a complex chain or shape; false when it has no usable
// geometry.
bool simplePiece(const MSElementDescr& e, uint32_t type, PathPiece& out) {
  if (type == 27) {
    BsplineCurve curve;
    out = PathPiece{};
    return bsplineOf(e, curve) &&
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
                          TraceSink trace) {
  if (a == nullptr || b == nullptr) return kDifferent;
  LinearShape sa, sb;
  const bool shapes = linearShapeOf(*a, sa) && linearShapeOf(*b, sb);
  bool geometry = false;
  if (!options.overlap && descriptorsIdentical(*a, *b)) {
    geometry = true;
  } else if (!shapes) {
    geometry = descriptorsIdentical(*a, *b);
  } else if (options.overlap) {
    geometry = sampleOverlap(sa, sb, options.toleranceUor, options.allowReversed,
                             options.allowUnderlap, trace);
  } else {
    geometry = identicalLinear(sa, sb, options.allowReversed, options.allowUnderlap);
  }
  if (!geometry) return kDifferent;
  const auto typeA = static_cast<uint32_t>(mdlElement_getType(*a));
  const auto typeB = static_cast<uint32_t>(mdlElement_getType(*b));
  return linearAttributes(typeA, typeB, tests);
}

}  // namespace kelvara
