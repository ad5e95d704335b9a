// Comparing surfaces, solids, B-spline surfaces and raster frames (pair codes 89-97, 100):
// identity of two element trees within a distance and an angle tolerance.
//
// Two trees are identical within tolerance when they have the same shape (the same number of
// components at every level), corresponding elements have the same type (a surface and a
// solid header count as the same kind), and their decoded geometry agrees: every point and
// length within the distance tolerance, every orientation within the angle tolerance, every
// parametric value (knots, weights, boundary coordinates) within kParametricTolerance, and
// every count and flag equal. Elements without a decoded geometry compare their range and body
// bytes. Then symbology and properties decide between 1 and 2.
#pragma once

#include "engine/compare_pair.h"

namespace kelvara {

// Largest difference of two parametric values (scaled to 1.0) that still counts as equal.
inline constexpr double kParametricTolerance = 1e-9;

// The identity test alone (distance in UOR, angle in radians).
[[nodiscard]] bool identicalToTolerance(const MSElementDescr& a, const MSElementDescr& b,
                                        double distanceTolerance, double angleTolerance);

// The identity test with the options' toleranceUor and rotationTolerance (the dispatch passes
// 1e-8 radians when rotation is not allowed), then symbology and properties. Returns 1, 2 or 3.
[[nodiscard]] int solidsMatch(const PairElement& first, const PairElement& second,
                              const CompareOptions& options);

}  // namespace kelvara
