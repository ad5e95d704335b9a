#include "engine/linear.h"

#include <algorithm>

namespace kelvara {

namespace {

bool hasOwnVertices(uint32_t type) {
  switch (type) {
    case 3:
    case 4:
    case 6:
    case 11:
    case 22:
    case 23:
    case 36:
      return true;
    default:
      return false;
  }
}

bool isClosedType(uint32_t type) {
  return type == 6 || type == 14 || type == 15;
}

// The vertex list of one piece of a shape, by the piece's element type.
int pieceVertices(const PathPiece& piece, uint32_t type, std::vector<DPoint3d>& out) {
  if (piece.kind == PathPiece::Kind::Polyline && hasOwnVertices(type)) {
    const std::size_t n = std::min(piece.points.size(), kMaxVertices);
    out.insert(out.end(), piece.points.begin(), piece.points.begin() + n);
    return SUCCESS;
  }
  if (piece.kind == PathPiece::Kind::Polyline && type == 27) {
    return polylineSelfIntersections(piece.points, kCurveCrossingTolerance, kMaxCurveCrossings,
                                     out) > 0
               ? SUCCESS
               : ERROR;
  }
  strokePath(Path{{piece}}, kStrokeTolerance, kMaxVertices, out);
  return SUCCESS;
}

bool equalAt(const std::vector<DPoint3d>& a, const std::vector<DPoint3d>& b, std::size_t m,
             auto&& indexInB) {
  for (std::size_t i = 0; i < m; ++i) {
    if (!pointEqualUor(a[i], b[indexInB(i)])) return false;
  }
  return true;
}

void traceLine(TraceSink trace, const char* line) {
  if (trace != nullptr) trace(line);
}

}  // namespace

int vertexList(const LinearShape& shape, std::vector<DPoint3d>& out) {
  if (shape.path.pieces.empty()) return ERROR;
  if (shape.type == 12 || shape.type == 14) {
    for (std::size_t i = 0; i < shape.path.pieces.size(); ++i) {
      const uint32_t type = i < shape.pieceTypes.size() ? shape.pieceTypes[i] : 0;
      if (pieceVertices(shape.path.pieces[i], type, out) != SUCCESS) return ERROR;
    }
    return SUCCESS;
  }
  if (hasOwnVertices(shape.type) || shape.type == 27) {
    return pieceVertices(shape.path.pieces.front(), shape.type, out);
  }
  strokePath(shape.path, kStrokeTolerance, kMaxVertices, out);
  return SUCCESS;
}

bool identicalLinear(const LinearShape& a, const LinearShape& b, bool allowReversed,
                     bool allowUnderlap, MatchReason* how) {
  std::vector<DPoint3d> va, vb;
  if (vertexList(a, va) != SUCCESS || vertexList(b, vb) != SUCCESS) return false;
  const std::size_t nA = va.size(), nB = vb.size();
  // An empty list would match anything vacuously.
  if (nA == 0 || nB == 0) return false;
  if (allowUnderlap ? nB < nA : nA != nB) return false;
  const auto found = [how](MatchReason reason) {
    if (how != nullptr) *how = reason;
    return true;
  };
  const MatchReason along = nA == nB ? MatchReason::Exact : MatchReason::Underlap;

  for (std::size_t k = 0; k <= nB - nA; ++k) {
    if (equalAt(va, vb, nA, [&](std::size_t i) { return k + i; })) return found(along);
    if (allowReversed && equalAt(va, vb, nA, [&](std::size_t i) { return nB - 1 - k - i; })) {
      return found(nA == nB ? MatchReason::Reversed : MatchReason::Underlap);
    }
  }

  // Closed figures starting at another vertex. A closed list needs at least two points: the
  // rotations run modulo nB - 1.
  if (allowReversed && nB >= 2 && pointEqualUor(vb.front(), vb.back())) {
    const std::size_t u = pointEqualUor(va.front(), va.back()) ? 1 : 0;
    const std::size_t m = nA - u, ring = nB - 1;
    for (std::size_t r = 1; r <= ring; ++r) {
      if (equalAt(va, vb, m, [&](std::size_t i) { return (i + r) % ring; })) {
        return found(MatchReason::OtherStart);
      }
      // (ring + r - i) stays non-negative: i < m <= nA <= nB = ring + 1, and r >= 1.
      if (equalAt(va, vb, m, [&](std::size_t i) { return (ring + r - i) % ring; })) {
        return found(MatchReason::OtherStart);
      }
    }
  }
  return false;
}

namespace {

// Hands the shape's samples to `take` in order along the shape until it returns false. SUCCESS when
// every sample was made (or `take` stopped), ERROR when one could not be.
template <class Take>
int forEachSample(const LinearShape& shape, double length, double tolerance, Take&& take) {
  const uint32_t t = shape.type;
  if (t == 12 || t == 14 || t == 16 || t == 27) {
    std::vector<DPoint3d> vertices;
    if (vertexList(shape, vertices) == SUCCESS && vertices.size() >= kMaxSamples) {
      for (const DPoint3d& v : vertices) {
        if (!take(v)) break;
      }
      return SUCCESS;
    }
  }
  DPoint3d start, end;
  if (!pathEndPoints(shape.path, start, end)) return ERROR;
  if (!take(start)) return SUCCESS;
  const double step = std::max(length * 0.01, tolerance);
  if (step > 0.0 && step < length) {
    const MeasuredPath measured = measurePath(shape.path);
    // The start, at most 99 points between, and the end.
    for (std::size_t k = 1; k < kMaxSamples - 1; ++k) {
      const double d = step * static_cast<double>(k);
      if (!(d < length)) break;
      DPoint3d p;
      if (!pathPointAtDistance(measured, d, p)) return ERROR;
      if (!take(p)) return SUCCESS;
    }
  }
  (void)take(end);
  return SUCCESS;
}

}  // namespace

int samplePoints(const LinearShape& shape, double length, double tolerance,
                 std::vector<DPoint3d>& out) {
  std::vector<DPoint3d> made;
  const int status = forEachSample(shape, length, tolerance, [&](const DPoint3d& p) {
    made.push_back(p);
    return true;
  });
  if (status != SUCCESS) return ERROR;
  out.insert(out.end(), made.begin(), made.end());
  return SUCCESS;
}

bool sampleOverlap(const LinearShape& a, const LinearShape& b, double tolerance, bool allowReversed,
                   bool allowUnderlap, TraceSink trace, MatchReason* how) {
  traceLine(trace, "b_commonOverlappedElements started\n");
  if (a.path.pieces.empty() || b.path.pieces.empty()) {
    return identicalLinear(a, b, allowReversed, allowUnderlap, how);
  }
  const double lengthA = pathLength(a.path), lengthB = pathLength(b.path);
  if (lengthA > lengthB + tolerance) return false;
  if (!allowUnderlap && lengthA < lengthB - tolerance) return false;
  // Every sample must lie within the tolerance of b: the first that does not ends the test,
  // so most pairs cost a projection or two instead of the samples of the whole element.
  bool allNear = true;
  const int made = forEachSample(a, lengthA, tolerance, [&](const DPoint3d& p) {
    DPoint3d foot;
    double dist = 0.0;
    allNear = pathProject(b.path, p, foot, dist) && dist <= tolerance;
    return allNear;
  });
  if (made != SUCCESS || !allNear) return false;
  traceLine(trace, "b_commonOverlappedElements before free\n");
  traceLine(trace, "b_commonOverlappedElements end\n");
  if (how != nullptr) {
    *how = lengthA < lengthB - tolerance ? MatchReason::Underlap : MatchReason::Overlap;
  }
  return true;
}

namespace {

bool passes(const std::function<bool()>& test) {
  return !test || test();
}

}  // namespace

int linearAttributes(uint32_t typeA, uint32_t typeB, const AttributeTests& tests) {
  if (isClosedType(typeA) && isClosedType(typeB) && !passes(tests.fillMatch)) {
    return kAttributesDiffer;
  }
  if (!passes(tests.symbologyMatch)) return kAttributesDiffer;
  return passes(tests.propertiesMatch) ? kMatch : kAttributesDiffer;
}

int linearCompare(const LinearShape& a, const LinearShape& b, const LinearOptions& options,
                  const AttributeTests& tests, TraceSink trace, MatchReason* how) {
  const bool geometry =
      options.overlap ? sampleOverlap(a, b, options.toleranceUor, options.allowReversed,
                                      options.allowUnderlap, trace, how)
                      : identicalLinear(a, b, options.allowReversed, options.allowUnderlap, how);
  if (!geometry) return kDifferent;
  return linearAttributes(a.type, b.type, tests);
}

}  // namespace kelvara
