// Comparing arcs (pair code 6) and ellipses (pair code 7) by their parameters: centre, radii,
// end points and rotation, rather than as point sequences.
//
// Arcs with the overlap switch on are compared by the sampled overlap test of the linear
// comparison instead. Radii always agree within kRadiusTolerance, whatever the distance
// tolerance. A circle's rotation is never compared. Both return 1, 2 or 3 (CompareResult).
#pragma once

#include "engine/compare_pair.h"
#include "host/geometry.h"

namespace kelvara {

// Largest difference of two radii (UOR) that still counts as the same radius.
inline constexpr double kRadiusTolerance = 0.25;

// The arc or ellipse geometry of an element of type 15 or 16; false for any other record.
[[nodiscard]] bool arcGeometryOf(const MSElementDescr& element, ArcGeometry& out);

// Arcs: without overlap, radii within kRadiusTolerance and equal start, end and centre (a
// reversed arc differs), then rotation (else 2); with overlap the sampled test. Then
// symbology and properties.
// `reason`: Exact, Rotated, or the sampled test's Overlap or Underlap.
[[nodiscard]] int arcCompare(const PairElement& first, const PairElement& second,
                             const CompareOptions& options, MatchReason* reason);
[[nodiscard]] inline int arcCompare(const PairElement& first, const PairElement& second,
                                    const CompareOptions& options) {
  return arcCompare(first, second, options, nullptr);
}

// Ellipses: centres equal (within the tolerance with overlap), radii within kRadiusTolerance,
// rotation unless the first is a circle (else 2), then fill, symbology and properties.
// `reason`: Exact, WithinTolerance (centres apart within the tolerance) or Rotated.
[[nodiscard]] int ellipseCompare(const PairElement& first, const PairElement& second,
                                 const CompareOptions& options, MatchReason* reason);
[[nodiscard]] inline int ellipseCompare(const PairElement& first, const PairElement& second,
                                        const CompareOptions& options) {
  return ellipseCompare(first, second, options, nullptr);
}

}  // namespace kelvara
