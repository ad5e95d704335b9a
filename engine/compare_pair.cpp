// Pair dispatch and the shared attribute tests.
#include "engine/compare_pair.h"

#include <algorithm>
#include <cctype>
#include <variant>

#include "engine/arc_compare.h"
#include "engine/cell_compare.h"
#include "engine/dimension_compare.h"
#include "engine/linear.h"
#include "engine/multiline_compare.h"
#include "engine/solids.h"
#include "engine/tag_compare.h"
#include "engine/text_compare.h"
#include "engine/type_pairs.h"

namespace kelvara {

namespace {

constexpr std::size_t kNodeTextMax = 2046;

bool equalIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// Types whose view-independent flag takes part in the properties test.
bool viewIndependenceCounts(int type) {
  switch (type) {
    case 2:
    case 7:
    case 15:
    case 16:
    case 17:
    case 23:
    case 35:
    case 37:
      return true;
    default:
      return false;
  }
}

bool isClosedFillable(int type) {
  return type == 6 || type == 14 || type == 15;
}

}  // namespace

const char* matchReasonName(MatchReason reason) {
  switch (reason) {
    case MatchReason::None:
      return "";
    case MatchReason::Exact:
      return "exact";
    case MatchReason::Reversed:
      return "reversed";
    case MatchReason::OtherStart:
      return "other start vertex";
    case MatchReason::WithinTolerance:
      return "within tolerance";
    case MatchReason::Overlap:
      return "overlap";
    case MatchReason::Underlap:
      return "underlap";
    case MatchReason::Rotated:
      return "rotated";
    case MatchReason::SameBody:
      return "same body bytes";
    case MatchReason::InSelectionSet:
      return "in selection set";
  }
  return "";
}

int linearCompareFamily(const PairElement& first, const PairElement& second,
                        const CompareOptions& options, MatchReason* reason) {
  LinearOptions linear;
  linear.overlap = options.overlap;
  linear.toleranceUor = options.toleranceUor;
  linear.allowReversed = options.allowReversed;
  linear.allowUnderlap = options.allowUnderlap;
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const MSElementDescr& a = *first.descriptor;
  const MSElementDescr& b = *second.descriptor;
  AttributeTests tests;
  tests.fillMatch = [&] { return fillMatch(a, b); };
  tests.symbologyMatch = [&] { return symbologyMatch(first, second, options.ignore); };
  tests.propertiesMatch = [&] { return propertiesMatch(a, b, options.ignore); };
  return linearCompareElements(&a, &b, linear, tests, options.trace, reason);
}

std::string nodeText(const MSElementDescr& node) {
  std::string text;
  bool firstLine = true;
  for (const MSElementDescr& c : node.components) {
    const auto* t = std::get_if<dgn::TextRecord>(&c.record);
    if (!t) continue;
    if (!firstLine) text.push_back('\n');
    firstLine = false;
    text += t->chars;
    if (text.size() >= kNodeTextMax) {
      text.resize(kNodeTextMax);
      break;
    }
  }
  return text;
}

int comparePair(const PairElement& first, const PairElement& second, const CompareOptions& options,
                MatchReason* reason) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const int typeA = mdlElement_getType(*first.descriptor);
  const int typeB = mdlElement_getType(*second.descriptor);
  if (typeA != typeB && !options.overlap && !options.allowUnderlap) return COMPARE_DIFFERENT;
  const int32_t code = pairCode(static_cast<uint32_t>(typeA), static_cast<uint32_t>(typeB));
  if (code == 0) return COMPARE_DIFFERENT;
  if (typeA == 7 && typeB == 7 && nodeText(*first.descriptor) != nodeText(*second.descriptor)) {
    return COMPARE_DIFFERENT;
  }
  int result = COMPARE_DIFFERENT;
  // Families with a single geometry test: that test is the reason.
  MatchReason only = MatchReason::None;
  switch (pairFamily(code)) {
    case PairFamily::Cells:
      result = cellCompare(first, second, options, reason);
      break;
    case PairFamily::SharedCells:
      result = sharedCellCompare(first, second, options);
      only = MatchReason::SameBody;
      break;
    case PairFamily::TextNodes:
      result = textNodeCompare(first, second, options, reason);
      break;
    case PairFamily::Text:
      result = textCompare(first, second, options, reason);
      break;
    case PairFamily::Arcs:
      result = arcCompare(first, second, options, reason);
      break;
    case PairFamily::Ellipses:
      result = ellipseCompare(first, second, options, reason);
      break;
    case PairFamily::Multilines:
      result = multilineCompare(first, second, options);
      // Chains are matched component by component; elements without components by body.
      only = first.descriptor->components.empty() ? MatchReason::SameBody : MatchReason::Exact;
      break;
    case PairFamily::Dimensions:
      result = dimensionCompare(first, second, options);
      only = MatchReason::SameBody;
      break;
    case PairFamily::Tags:
      result = tagCompare(first, second, options);
      only = MatchReason::SameBody;
      break;
    case PairFamily::Solids: {
      // Solids are compared within the distance tolerance whether or not overlap is on, and
      // within the rotation tolerance only when rotation is allowed.
      CompareOptions solid = options;
      if (!options.allowRotation) solid.rotationTolerance = 1e-8;
      result = solidsMatch(first, second, solid);
      only = MatchReason::WithinTolerance;
      break;
    }
    case PairFamily::Linear:
      result = linearCompareFamily(first, second, options, reason);
      break;
    case PairFamily::None:
      break;
  }
  if (result != COMPARE_DUPLICATE) return COMPARE_DIFFERENT;
  if (reason != nullptr && only != MatchReason::None) *reason = only;
  return COMPARE_DUPLICATE;
}

bool symbologyMatch(const PairElement& first, const PairElement& second,
                    const IgnoreSwitches& ignore) {
  if (!first.descriptor || !second.descriptor) return false;
  uint32_t colourA = 0, weightA = 0, colourB = 0, weightB = 0;
  int32_t styleA = 0, styleB = 0;
  const bool hasA =
      mdlElement_getSymbology(&colourA, &weightA, &styleA, *first.descriptor) == SUCCESS;
  const bool hasB =
      mdlElement_getSymbology(&colourB, &weightB, &styleB, *second.descriptor) == SUCCESS;
  if (hasA != hasB) return false;
  if (!ignore.color && colourA != colourB) return false;
  if (!ignore.weight && weightA != weightB) return false;
  if (ignore.style) return true;
  std::string nameA, nameB;
  const bool namedA = mdlElement_getLineStyle(&nameA, *first.descriptor) == SUCCESS;
  const bool namedB = mdlElement_getLineStyle(&nameB, *second.descriptor) == SUCCESS;
  if (namedA != namedB) return false;
  return namedA ? equalIgnoringCase(nameA, nameB) : styleA == styleB;
}

bool propertiesMatch(const MSElementDescr& first, const MSElementDescr& second,
                     const IgnoreSwitches& ignore) {
  ElementProperties a, b;
  (void)mdlElement_getProperties(&a, first);  // elements without a display header: zeros
  (void)mdlElement_getProperties(&b, second);
  if (!ignore.level && a.level != b.level) return false;
  if (a.elementClass != b.elementClass) return false;
  if (a.locked != b.locked) return false;
  if (a.solidHole != b.solidHole) return false;
  if (viewIndependenceCounts(mdlElement_getType(first)) && a.viewIndependent != b.viewIndependent) {
    return false;
  }
  return true;
}

bool fillMatch(const MSElementDescr& first, const MSElementDescr& second) {
  const bool filledA = mdlElement_isFilled(first);
  const bool filledB = mdlElement_isFilled(second);
  if (!filledA && !filledB) return true;
  if (filledA != filledB) return false;
  uint32_t colourA = 0, colourB = 0;
  return mdlElement_getFillColor(&colourA, first) == SUCCESS &&
         mdlElement_getFillColor(&colourB, second) == SUCCESS && colourA == colourB;
}

int attributeResult(const PairElement& first, const PairElement& second,
                    const IgnoreSwitches& ignore) {
  if (!first.descriptor || !second.descriptor) return COMPARE_ATTRIBUTES_DIFFER;
  if (isClosedFillable(mdlElement_getType(*first.descriptor)) &&
      isClosedFillable(mdlElement_getType(*second.descriptor)) &&
      !fillMatch(*first.descriptor, *second.descriptor)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (!symbologyMatch(first, second, ignore)) return COMPARE_ATTRIBUTES_DIFFER;
  return propertiesMatch(*first.descriptor, *second.descriptor, ignore) ? COMPARE_DUPLICATE
                                                                        : COMPARE_ATTRIBUTES_DIFFER;
}

}  // namespace kelvara
