// Linear geometry comparison: lines, line strings, shapes, curves, point strings, cones,
// complex chains and shapes, B-spline curves, and arcs against any of them, compared as point
// sequences.
//
// Without overlap two elements match when their vertices are equal point for point (equality
// within half a unit of resolution, see pointEqualUor), optionally reversed, shifted along a
// longer element (underlap) or, for closed figures, starting at another vertex (reversal
// switch). With overlap they match when their lengths agree within the tolerance and every
// sample point of the first lies within the tolerance of the second.
//
// The comparisons work on LinearShape records; linearShapeOf builds one from an element
// descriptor, and linearCompareElements runs the whole comparison on two descriptors.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/compare_pair.h"
#include "host/element.h"
#include "host/geometry.h"

namespace kelvara {

inline constexpr std::size_t kMaxVertices = 5000;        // points per extraction
inline constexpr std::size_t kMaxCurveCrossings = 20;    // points of a B-spline's vertex list
inline constexpr double kCurveCrossingTolerance = 0.01;  // UOR
inline constexpr std::size_t kMaxSamples = 101;

// An element as the linear comparison sees it.
struct LinearShape {
  uint32_t type = 0;
  // The geometry: one piece, or one per component (in order) for types 12 and 14. A B-spline
  // curve (27) is its stroked curve as a polyline piece.
  Path path;
  // The element type of each piece of the path.
  std::vector<uint32_t> pieceTypes;
};

// The switches of a comparison.
struct LinearOptions {
  bool overlap = false;
  double toleranceUor = 0.0;
  bool allowReversed = false;
  bool allowUnderlap = false;
};

// The attribute tests of a pair, run only once the geometry agrees; an empty one passes.
struct AttributeTests {
  std::function<bool()> fillMatch;
  std::function<bool()> symbologyMatch;
  std::function<bool()> propertiesMatch;
};

// Comparison results: 1 duplicate, 2 the geometry agrees but an attribute differs, 3 different.
inline constexpr int kMatch = 1;
inline constexpr int kAttributesDiffer = 2;
inline constexpr int kDifferent = 3;

// Receives the trace lines of the sampled comparison (may be null).
using TraceSink = void (*)(const char* line);

// ---- on shapes -------------------------------------------------------------------------------

// The shape's vertex list: own vertices (3, 4, 6, 11, 22, 23, 36), the curve's crossings with
// itself (27; none is a failure), the components' lists concatenated (12, 14), else stroked.
// Appends at most kMaxVertices points per extraction. SUCCESS or ERROR.
[[nodiscard]] int vertexList(const LinearShape& shape, std::vector<DPoint3d>& out);

// Point-for-point identity of a (the element under test) with b (the candidate). On a match
// `how` (when given) becomes Exact, Underlap (a shifted along a longer b), Reversed or
// OtherStart, the first of these that held.
[[nodiscard]] bool identicalLinear(const LinearShape& a, const LinearShape& b, bool allowReversed,
                                   bool allowUnderlap, MatchReason* how = nullptr);

// Up to kMaxSamples points along the shape of the given length (more only when a complex
// element, arc or B-spline already has more vertices). SUCCESS or ERROR.
[[nodiscard]] int samplePoints(const LinearShape& shape, double length, double tolerance,
                               std::vector<DPoint3d>& out);

// The sampled test: lengths within the tolerance (a no longer than b plus the tolerance with
// underlap), every sample of a within the tolerance of b. On a match `how` becomes Overlap, or
// Underlap when a is shorter than b by more than the tolerance.
[[nodiscard]] bool sampleOverlap(const LinearShape& a, const LinearShape& b, double tolerance,
                                 bool allowReversed, bool allowUnderlap, TraceSink trace = nullptr,
                                 MatchReason* how = nullptr);

// The attribute tests after a geometric match: fill when both types are closed (6, 14, 15),
// then symbology, then properties. Returns 1 or 2.
[[nodiscard]] int linearAttributes(uint32_t typeA, uint32_t typeB, const AttributeTests& tests);

// The geometry test (sampled with overlap, else identity), then fill for two closed elements
// (types 6, 14, 15), symbology and properties. Returns 1, 2 or 3; `how` as the geometry test
// set it.
[[nodiscard]] int linearCompare(const LinearShape& a, const LinearShape& b,
                                const LinearOptions& options, const AttributeTests& tests,
                                TraceSink trace = nullptr, MatchReason* how = nullptr);

// ---- on element descriptors ------------------------------------------------------------------

// Builds the shape of an element (types 3, 4, 6, 11, 12, 14, 15, 16, 22, 23, 27). False for
// other types or elements whose geometry cannot be read.
[[nodiscard]] bool linearShapeOf(const MSElementDescr& element, LinearShape& out);

// True when the two elements are the same bytes (header, body and components).
[[nodiscard]] bool descriptorsIdentical(const MSElementDescr& a, const MSElementDescr& b);

// linearCompare on two descriptors: a missing descriptor or an unreadable shape gives 3; two
// identical descriptors need no vertex lists (Exact).
[[nodiscard]] int linearCompareElements(const MSElementDescr* a, const MSElementDescr* b,
                                        const LinearOptions& options, const AttributeTests& tests,
                                        TraceSink trace = nullptr, MatchReason* how = nullptr);

}  // namespace kelvara
