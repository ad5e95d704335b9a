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

}  // namespace

int textCompare(const PairElement& first, const PairElement& second,
                const CompareOptions& options) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const auto* a = std::get_if<dgn::TextRecord>(&first.descriptor->record);
  const auto* b = std::get_if<dgn::TextRecord>(&second.descriptor->record);
  if (!a || !b) return COMPARE_DIFFERENT;
  const double reach = options.overlap ? options.toleranceUor : kTextOriginTolerance;
  if (distance(a->origin, b->origin) > reach) return COMPARE_DIFFERENT;
  if (a->chars != b->chars) return COMPARE_DIFFERENT;
  if (!sizesAgree(a->height, b->height)) return COMPARE_DIFFERENT;
  if (a->fields.size() != b->fields.size()) return COMPARE_DIFFERENT;
  if (!rotationMatch(a->rotMatrix, b->rotMatrix, options.allowRotation, options.rotationTolerance,
                     first.descriptor->is3d)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (a->font != b->font || a->justification != b->justification) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  return attributeResult(first, second, options.ignore);
}

int textNodeCompare(const PairElement& first, const PairElement& second,
                    const CompareOptions& options) {
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
  if (!rotationMatch(a->rotMatrix, b->rotMatrix, options.allowRotation, options.rotationTolerance,
                     first.descriptor->is3d)) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  if (a->font != b->font || a->justification != b->justification) {
    return COMPARE_ATTRIBUTES_DIFFER;
  }
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
