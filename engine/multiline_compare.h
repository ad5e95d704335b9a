// Comparing multilines (type 36, pair code 17).
//
// A multiline is a chain of component elements. When both multilines are given as chains
// (descriptors with components), every component of each must find a component of the other
// that comparePair accepts, one to one in both directions; the components decide symbology and
// properties through their own comparisons. A DGN V7 multiline element carries its lines as a
// profile in a body whose layout is not published: such multilines (without components) have
// the same geometry when their ranges and bodies are the same bytes, and the multiline's own
// symbology and properties then decide. Returns 1, 2 or 3 (CompareResult).
#pragma once

#include "engine/compare_pair.h"

namespace kelvara {

// Component matching: each component keeps the best result it reached against any component
// of the other chain; a component of either chain left at 3 makes the chains differ (3),
// otherwise the result is the worst of the best results (1 when every component found a
// duplicate). Both chains are compared in the first chain's model.
[[nodiscard]] int matchComponentChains(const MSElementDescr& first, const MSElementDescr& second,
                                       ModelRef model, const CompareOptions& options);

[[nodiscard]] int multilineCompare(const PairElement& first, const PairElement& second,
                                   const CompareOptions& options);

}  // namespace kelvara
