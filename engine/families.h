// Installs the comparisons of the non-linear families (cells, shared cells, text nodes, text,
// arcs, ellipses, multilines, dimensions, tags, surfaces and solids) into comparePair's
// dispatch table. Call once at start-up, before the first comparison; calling it again is
// harmless.
#pragma once

namespace kelvara {

void installFamilyComparisons();

}  // namespace kelvara
