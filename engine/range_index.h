// RangeIndex: a packed R-tree over the ranges of a model's entries, for the candidate search
// with underlap.
//
// With underlap the search walks the x orderings outward from an entry and then looks for longer
// entries that may contain it. The candidates it can accept are exactly the active entries whose
// x and y intervals meet the entry's, grown by the window; but the walks reach them only after
// stepping over every entry that starts or ends within the entry's x interval, and, for the
// longer ones, over entries in order of extent, which on a dense sheet is thousands of steps per
// entry. The index finds those candidates directly. The position of each entry in the three x
// orderings is kept too, so the search can visit the candidates in the order the walks would
// reach them (see candidateOrderKey), and the first one accepted is the one the walks accept.
//
// Ranges are held in 32 bits (design coordinates are 32-bit); a table with a range that does not
// fit is not indexed (`usable` stays false) and the search walks.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/record_list.h"

namespace kelvara {

struct ElementTable;

// An entry's x and y range, as in the table (low may exceed high in a damaged element).
struct IndexBox {
  int32_t xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
};

struct RangeIndex {
  bool usable = false;
  // Leaves: one box per entry (the sentinel left out), in packing order, with its node.
  std::vector<IndexBox> leaves;
  std::vector<NodeId> leafNodes;
  // Upper levels, bottom up: levels[0] bounds groups of kFanout leaves, levels[k] groups of
  // kFanout boxes of levels[k - 1]. A bound holds the least low and the greatest high values.
  std::vector<std::vector<IndexBox>> levels;
  // Position of each node in ByXLow, ByXHigh and ByXExtent (the sentinel is 0), by node.
  std::vector<uint32_t> rankLow, rankHigh, rankExtent;
};

inline constexpr std::size_t kIndexFanout = 16;

// Builds the index over the table's entries. The three x orderings must be built and their
// positions stored in the index's rank vectors (sortOrdering fills them). Leaves `usable` false
// when a range does not fit in 32 bits or the ranks are missing.
void buildRangeIndex(RangeIndex& index, const ElementTable& table);

// Appends to `out` every indexed node whose box has xHigh >= xMin, xLow <= xMax, yHigh >= yMin
// and yLow <= yMax (bounds in 64 bits; a bound beyond the 32-bit range matches everything on
// that side).
void queryRangeIndex(const RangeIndex& index, int64_t xMin, int64_t xMax, int64_t yMin,
                     int64_t yMax, std::vector<NodeId>& out);

// The order in which the underlap search's walks first reach `candidate` from `entry` (smaller
// is earlier), for a candidate whose x interval meets the entry's: the forward walk along
// ByXLow and the backward walk along ByXHigh go first, alternately, forward first; then the
// walks for longer entries, back along ByXLow from the entry and back along ByXExtent from
// `largest`, alternately, the first of them first.
[[nodiscard]] uint64_t candidateOrderKey(const RangeIndex& index, NodeId entry, NodeId candidate,
                                         NodeId largest);

// Frees everything (usable becomes false).
void clearRangeIndex(RangeIndex& index);

}  // namespace kelvara
