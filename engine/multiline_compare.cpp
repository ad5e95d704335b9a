// Multiline comparison.
#include "engine/multiline_compare.h"

#include <algorithm>
#include <vector>

#include "engine/opaque_body.h"

namespace kelvara {

int matchComponentChains(const MSElementDescr& first, const MSElementDescr& second, ModelRef model,
                         const CompareOptions& options) {
  const std::vector<MSElementDescr>& as = first.components;
  const std::vector<MSElementDescr>& bs = second.components;
  if (as.empty() || bs.empty()) return COMPARE_DIFFERENT;
  std::vector<int> bestA(as.size(), COMPARE_DIFFERENT), bestB(bs.size(), COMPARE_DIFFERENT);
  for (std::size_t i = 0; i < as.size(); ++i) {
    for (std::size_t j = 0; j < bs.size(); ++j) {
      const int r = comparePair({&as[i], model}, {&bs[j], model}, options);
      bestA[i] = std::min(bestA[i], r);
      bestB[j] = std::min(bestB[j], r);
    }
    if (bestA[i] == COMPARE_DIFFERENT) return COMPARE_DIFFERENT;
  }
  if (std::find(bestB.begin(), bestB.end(), COMPARE_DIFFERENT) != bestB.end()) {
    return COMPARE_DIFFERENT;
  }
  return std::max(*std::max_element(bestA.begin(), bestA.end()),
                  *std::max_element(bestB.begin(), bestB.end()));
}

int multilineCompare(const PairElement& first, const PairElement& second,
                     const CompareOptions& options) {
  if (!first.descriptor || !second.descriptor) return COMPARE_DIFFERENT;
  const MSElementDescr& a = *first.descriptor;
  const MSElementDescr& b = *second.descriptor;
  if (!a.components.empty() && !b.components.empty()) {
    return matchComponentChains(a, b, first.model, options);
  }
  if (!opaqueBodiesEqual(a, b)) return COMPARE_DIFFERENT;
  return attributeResult(first, second, options.ignore);
}

}  // namespace kelvara
