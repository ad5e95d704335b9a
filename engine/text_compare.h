// Comparing texts (pair code 5) and text nodes (pair code 4).
//
// A text is decided by its placement point (within kTextOriginTolerance, or the distance
// tolerance with overlap), its characters (byte for byte, case matters), its height (within
// kTextSizeTolerance; widths are not compared) and its number of enter-data fields; then its
// rotation, font and justification, symbology and properties (else 2). A text node is decided
// by its text (the lines joined by line feeds), its origin, its character size and line
// spacing; then its rotation, font and justification, symbology and properties. Both return
// 1, 2 or 3 (CompareResult).
#pragma once

#include "engine/compare_pair.h"

namespace kelvara {

// Largest distance (UOR) between two texts' placement points without overlap.
inline constexpr double kTextOriginTolerance = 0.9;
// Sizes agree when b lies strictly inside (a - tolerance, a + tolerance).
inline constexpr double kTextSizeTolerance = 1e-4;

[[nodiscard]] int textCompare(const PairElement& first, const PairElement& second,
                              const CompareOptions& options);

// The node texts are compared again here, so the comparison stands on its own.
[[nodiscard]] int textNodeCompare(const PairElement& first, const PairElement& second,
                                  const CompareOptions& options);

}  // namespace kelvara
