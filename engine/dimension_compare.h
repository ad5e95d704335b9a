// Comparing dimensions (type 33, pair code 88).
//
// The body of a DGN V7 dimension element (its parameters, kind and points) is not a
// published layout. Two dimensions have the same geometry when their ranges are equal and
// their bodies are the same bytes (see opaque_body.h); symbology and properties then decide
// between 1 and 2. The switches of the options play no part. Returns 1, 2 or 3.
#pragma once

#include "engine/compare_pair.h"

namespace kelvara {

[[nodiscard]] int dimensionCompare(const PairElement& first, const PairElement& second,
                                   const CompareOptions& options);

}  // namespace kelvara
