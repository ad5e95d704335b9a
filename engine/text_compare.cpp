// Text and text node comparison.
#include "engine/text_compare.h"

#include <variant>

#include "engine/rotation.h"
#include "host/geometry.h"

namespace kelvara {

namespace {

bool sizesAgree(double a, double b) {
  return a - kTextSizeTolerance < b && b < a + kTextSizeTolerance;
}

// Characters of the text: 16-bit texts carry two bytes per character after their marker.
MatchReason placementReason(bool turned, bool samePlace) {
  if (turned) return MatchReason::Rotated;
  return samePlace ? MatchReason::Exact : MatchReason::WithinTolerance;
}

std::size_t characterCount(const dgn::TextRecord& text) {
  if (!text.wideChars) return text.chars.size();
  return text.chars.size() >= 2 ? (text.chars.size() - 2) / 2 : 0;
}

}  // namespace

DPoint3d textJustificationPoint(const dgn::TextRecord& text) {
  if (text.justification < 0 || text.justification > 14) return text.origin;  // no such code
  const double length = double(characterCount(text)) * text.width;
  const int column = text.justification / 3;  // 0, 1 left; 2 centre; 3, 4 right
  const int row = text.justification % 3;     // 0 top, 1 middle, 2 bottom
  const double along = column <= 1 ? 0.0 : column == 2 ? length / 2 : length;
  const double up = row == 0 ? text.height : row == 1 ? text.height / 2 : 0.0;
  const DPoint3d offset = rotate(text.rotMatrix, DPoint3d{along, up, 0.0});
  return {text.origin.x + offset.x, text.origin.y + offset.y, text.origin.z + offset.z};
}

int textCompare(const PairElement& first, const PairElement& second, const CompareOptions& options,
                MatchReason* reason) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const auto* a = std::get_if<dgn::TextRecord>(&first.descriptor->record);
  const auto* b = std::get_if<dgn::TextRecord>(&second.descriptor->record);
  if (!a || !b) return COMPARE_DIFFERENT;
  const double reach = options.overlap ? options.toleranceUor : kTextOriginTolerance;
  const DPoint3d placeA = textJustificationPoint(*a), placeB = textJustificationPoint(*b);
  if (distance(placeA, placeB) > reach) return COMPARE_DIFFERENT;
  if (a->chars != b->chars) return COMPARE_DIFFERENT;
  if (!sizesAgree(a->height, b->height)) return COMPARE_DIFFERENT;
  if (a->fields.size() != b->fields.size()) return COMPARE_DIFFERENT;
  bool turned = false;
  if (!rotationMatch(a->rotMatrix, b->rotMatrix, options.allowRotation, options.rotationTolerance,
                     options.is3d, &turned)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (reason != nullptr) *reason = placementReason(turned, pointEqualUor(placeA, placeB));
  if (a->font != b->font || a->justification != b->justification) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  return attributeResult(first, second, options.ignore);
}

int textNodeCompare(const PairElement& first, const PairElement& second,
                    const CompareOptions& options, MatchReason* reason) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  if (nodeText(*first.descriptor) != nodeText(*second.descriptor)) return COMPARE_DIFFERENT;
  const auto* a = std::get_if<dgn::TextNodeRecord>(&first.descriptor->record);
  const auto* b = std::get_if<dgn::TextNodeRecord>(&second.descriptor->record);
  if (!a || !b) return COMPARE_DIFFERENT;
  const bool originsAgree = options.overlap ? distance(a->origin, b->origin) <= options.toleranceUor
                                            : pointEqualUor(a->origin, b->origin);
  if (!originsAgree) return COMPARE_DIFFERENT;
  if (!sizesAgree(a->width, b->width) || !sizesAgree(a->height, b->height) ||
      !sizesAgree(a->lineSpacing, b->lineSpacing)) {
    return COMPARE_DIFFERENT;
  }
  bool turned = false;
  if (!rotationMatch(a->rotMatrix, b->rotMatrix, options.allowRotation, options.rotationTolerance,
                     options.is3d, &turned)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (reason != nullptr) *reason = placementReason(turned, pointEqualUor(a->origin, b->origin));
  if (a->font != b->font || a->justification != b->justification) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
