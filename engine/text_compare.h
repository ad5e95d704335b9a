// Comparing texts (pair code 5) and text nodes (pair code 4).
//
// A text is decided by its justification point, the user origin (within kTextOriginTolerance,
// or the distance tolerance with overlap), its characters (byte for byte, case matters), its height
// (within kTextSizeTolerance; widths are not compared) and its number of enter-data fields; then
// its rotation, font and justification, symbology and properties (else 2). A text node is decided
// by its text (the lines joined by line feeds), its origin, its character size and line
// spacing; then its rotation, font and justification, symbology and properties. Both return
// 1, 2 or 3 (CompareResult).
#pragma once

#include "engine/compare_pair.h"

namespace kelvara {

// Largest distance (UOR) between two texts' justification points without overlap.
inline constexpr double kTextOriginTolerance = 0.9;

// The justification point (user origin) of a text. V7 stores the lower-left corner of the text
// whatever its justification, and no font metrics: the text is taken as a box as long as its
// character count times its character width (negative widths mirror it) and as high as its
// character height, and the point is the box's left, centre or right (justifications 0-5,
// 6-8, 9-14) at its top, middle or bottom (the code modulo 3), turned by the text's rotation
// about the stored corner. Codes above 14 do not exist: their point is the stored corner.
[[nodiscard]] DPoint3d textJustificationPoint(const dgn::TextRecord& text);
// Sizes agree when b lies strictly inside (a - tolerance, a + tolerance).
inline constexpr double kTextSizeTolerance = 1e-4;

// `reason` (both): Exact, WithinTolerance (placement points apart, yet within the tolerance) or
// Rotated.
[[nodiscard]] int textCompare(const PairElement& first, const PairElement& second,
                              const CompareOptions& options, MatchReason* reason);
[[nodiscard]] inline int textCompare(const PairElement& first, const PairElement& second,
                                     const CompareOptions& options) {
  return textCompare(first, second, options, nullptr);
}

// The node texts are compared again here, so the comparison stands on its own.
[[nodiscard]] int textNodeCompare(const PairElement& first, const PairElement& second,
                                  const CompareOptions& options, MatchReason* reason);
[[nodiscard]] inline int textNodeCompare(const PairElement& first, const PairElement& second,
                                         const CompareOptions& options) {
  return textNodeCompare(first, second, options, nullptr);
}

}  // namespace kelvara
