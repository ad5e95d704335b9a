// Comparing cells (pair code 2) and shared cell instances (pair code 3).
//
// A cell is decided by its origin, its name (without regard to case), the signature of its
// contents and the outline of its range block; then its rotation and its scale (else 2).
// Neither the header's nor the components' symbology and properties are compared. A shared cell
// instance's body layout is not public in DGN V7: its range and body bytes are its geometry, then
// symbology and properties decide. Both return 1, 2 or 3 (CompareResult).
#pragma once

#include <cstdint>

#include "engine/compare_pair.h"

namespace kelvara {

// Largest distance between two cells' scale vectors (taken as points) without the rotation
// switch.
inline constexpr double kScaleTolerance = 0.0001;

// A sum (unsigned 32-bit) over the header and every element inside the cell: type squared,
// 11 times the vertex count, 10 times the weighted byte sum of a nested cell's name, the
// weighted byte sum of a text node's text (first 512 bytes) and of a text's characters. 0 for
// a cell without components.
[[nodiscard]] uint32_t cellSignature(const MSElementDescr& cell);

// The first four corners of the cell's range block (the low face: low-low, high-low,
// low-high, high-high) placed by the cell's transform at its origin; false when the element is
// not a cell.
[[nodiscard]] bool cellOutline(const MSElementDescr& cell, DPoint3d corners[4]);

// `reason`: Exact, WithinTolerance (origins or outlines apart within the tolerance) or Rotated.
[[nodiscard]] int cellCompare(const PairElement& first, const PairElement& second,
                              const CompareOptions& options, MatchReason* reason);
[[nodiscard]] inline int cellCompare(const PairElement& first, const PairElement& second,
                                     const CompareOptions& options) {
  return cellCompare(first, second, options, nullptr);
}

[[nodiscard]] int sharedCellCompare(const PairElement& first, const PairElement& second,
                                    const CompareOptions& options);

}  // namespace kelvara
