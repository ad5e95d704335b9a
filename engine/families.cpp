// The dispatch table's family slots.
#include "engine/families.h"

#include "engine/arc_compare.h"
#include "engine/cell_compare.h"
#include "engine/compare_pair.h"
#include "engine/dimension_compare.h"
#include "engine/multiline_compare.h"
#include "engine/solids.h"
#include "engine/tag_compare.h"
#include "engine/text_compare.h"

namespace kelvara {

void installFamilyComparisons() {
  FamilyComparisons& f = familyComparisons();
  f.cells = &cellCompare;
  f.sharedCells = &sharedCellCompare;
  f.textNodes = &textNodeCompare;
  f.text = &textCompare;
  f.arcs = &arcCompare;
  f.ellipses = &ellipseCompare;
  f.multilines = &multilineCompare;
  f.dimensions = &dimensionCompare;
  f.tags = &tagCompare;
  f.solids = &solidsMatch;
}

}  // namespace kelvara
