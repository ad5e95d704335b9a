// Dimension comparison.
#include "engine/dimension_compare.h"

#include "engine/opaque_body.h"

namespace kelvara {

int dimensionCompare(const PairElement& first, const PairElement& second,
                     const CompareOptions& options) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  if (!opaqueBodiesEqual(*first.descriptor, *second.descriptor)) return COMPARE_DIFFERENT;
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
