// Comparing one element with another: the dispatch on the pair of their types, and the
// attribute tests (symbology, properties, fill) that the comparisons share.
//
// comparePair takes the element under test first (the one that would be removed) and the
// candidate second, looks up their pair code in the type-pair table and hands them to the
// comparison of that family: linear elements through linearCompare, the other families
// (cells, arcs and ellipses, text, text nodes, multilines, dimensions, tags, surfaces and
// solids) through their own modules. Every family of the type-pair table is called directly, so
// the dispatch needs no set-up before the first comparison.
#pragma once

#include <cstdint>
#include <string>

#include "host/element.h"

namespace kelvara {

// Results of a comparison: 1 duplicate, 2 the decisive tests passed but a later one (rotation,
// scale, symbology, properties, fill) failed, 3 different.
enum CompareResult : int {
  COMPARE_DUPLICATE = 1,
  COMPARE_ATTRIBUTES_DIFFER = 2,
  COMPARE_DIFFERENT = 3,
};

// Which test of a comparison accepted a pair, as the family decided it. None: no pair was
// accepted (or the element was taken without a comparison).
enum class MatchReason : uint8_t {
  None,
  Exact,            // the same geometry point for point (or the same bytes)
  Reversed,         // the same vertices in the opposite order
  OtherStart,       // a closed figure starting at another vertex
  WithinTolerance,  // placement points or geometry within the distance tolerance
  Overlap,          // the sampled test: equal lengths, every sample within the tolerance
  Underlap,         // lying on a longer element
  Rotated,          // the same but turned, within the rotation tolerance
  SameBody,         // range and body bytes equal (elements of undecoded layout)
  InSelectionSet,   // taken without a comparison: every selected element is removed
};

// A short lower-case name of the reason ("exact", "reversed", ..., "" for None).
const char* matchReasonName(MatchReason reason);

// The IGNORE rule group's switches: an attribute whose switch is on is not compared.
struct IgnoreSwitches {
  bool level = false;
  bool color = false;
  bool weight = false;
  bool style = false;
};

// Everything a comparison is told besides the two elements.
struct CompareOptions {
  bool overlap = false;          // overlapping linear elements count as duplicates
  double toleranceUor = 0.0;     // distance tolerance in units of resolution
  bool allowRotation = false;    // rotated copies count
  double rotationTolerance = 0;  // radians
  bool allowReversed = false;    // reversed linear elements count
  bool allowUnderlap = false;    // a shorter element lying on a longer one counts
  bool is3d = false;             // the design's dimension: rotations are compared in it
  IgnoreSwitches ignore;
  // Receives the comparison trace lines (of the sampled overlap test); null: no trace.
  void (*trace)(const char* line) = nullptr;
};

// One element of a pair: its descriptor and the model it was read from.
struct PairElement {
  const MSElementDescr* descriptor = nullptr;
  ModelRef model = 0;
};

// A family comparison: first = element under test, second = candidate. Returns 1, 2 or 3.
// The families whose geometry can pass by more than one test have a second form with a
// MatchReason out-parameter, written when the geometry test passes (left alone otherwise).
using FamilyCompare = int (*)(const PairElement& first, const PairElement& second,
                              const CompareOptions& options);

// The linear comparison in the FamilyCompare shape.
int linearCompareFamily(const PairElement& first, const PairElement& second,
                        const CompareOptions& options, MatchReason* reason);
inline int linearCompareFamily(const PairElement& first, const PairElement& second,
                               const CompareOptions& options) {
  return linearCompareFamily(first, second, options, nullptr);
}

// ---- the pair --------------------------------------------------------------------------------

// Compares the element under test with the candidate. Returns 1 (duplicate) or 3: a family's
// 2 is returned as 3. A missing descriptor, types that differ while neither overlap nor
// underlap is allowed, a pair code of 0, or two text nodes with different texts give 3.
// With `reason`, a duplicate also tells which test of its family accepted it.
[[nodiscard]] int comparePair(const PairElement& first, const PairElement& second,
                              const CompareOptions& options, MatchReason* reason = nullptr);

// The texts of a text node's text components in order, joined by line feeds, cut at 2046 bytes.
[[nodiscard]] std::string nodeText(const MSElementDescr& node);

// ---- attribute tests -------------------------------------------------------------------------

// Colour, weight and line style agree (each unless ignored). Numbered styles compare by
// number, named styles by name without regard to case; a named against a numbered style
// differs. Elements without symbology compare as equal only when both lack it.
[[nodiscard]] bool symbologyMatch(const PairElement& first, const PairElement& second,
                                  const IgnoreSwitches& ignore);

// Level (unless ignored), class, locked and solid/hole flags agree, and for types 2, 7, 15,
// 16, 17, 23, 35 and 37 (by the first element's type) the view-independent flag too.
[[nodiscard]] bool propertiesMatch(const MSElementDescr& first, const MSElementDescr& second,
                                   const IgnoreSwitches& ignore);

// Neither element is filled, or both are filled with the same fill colour.
[[nodiscard]] bool fillMatch(const MSElementDescr& first, const MSElementDescr& second);

// The attribute tail of most comparisons: fill (when both types are 6, 14 or 15), symbology,
// properties. Returns 1 when all agree, else 2.
[[nodiscard]] int attributeResult(const PairElement& first, const PairElement& second,
                                  const IgnoreSwitches& ignore);

}  // namespace kelvara
