// The element table of one model: one entry per candidate element, held in four orderings at
// once (load order, and by the x low, x high and x extent of the element ranges) so that the
// comparison pass can walk outward from an entry and meet only the entries near it.
//
// The table is a RecordList of ElementNodes (four link pairs each) whose records are
// ElementEntries. Its first node is a sentinel with an all-zero entry that stays first in every
// ordering and is never sorted, processed or compared. Entries are loaded without their
// element descriptors; the pass reads a descriptor by file position when it needs it (code
// ENTRY_READ) and frees it again (ENTRY_RELEASE).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/range_index.h"
#include "engine/record_list.h"
#include "host/element.h"
#include "host/types.h"

namespace kelvara {

// Outcome of an entry; the comparison pass writes it together with `active`.
enum EntryStatus : uint32_t {
  STATUS_SENTINEL = 0,
  STATUS_LOADED = 1,         // loaded, not yet processed
  STATUS_REMOVED_ALL = 21,   // removed without comparison (remove-all-selected mode)
  STATUS_UNIQUE = 22,        // not a duplicate (also: outside the fence)
  STATUS_DUPLICATE = 23,     // a duplicate was found
  STATUS_NOT_ADMITTED = 25,  // not admitted by the "Elements Removed" rule group
  STATUS_REJECTED = 26,      // a match was rejected by "Elements Compared" or the keep rule
};

// What the per-model set-up leaves for the driver.
enum ModelSetupOutcome : int {
  SETUP_BEGUN = 11,
  SETUP_NOT_DESIGN_FILE = 12,
  SETUP_READ_ONLY = 13,
  SETUP_DESIGN_REPORT = 15,  // the file has the design report's extension
  SETUP_BACKUP_FILE = 16,    // the file's extension is "bak"
  SETUP_OPEN_FAILED = 18,
};

// The orderings; each is one link pair of the nodes.
enum Ordering : int { LoadOrder = 0, ByXLow = 1, ByXHigh = 2, ByXExtent = 3 };

// Codes of the entry handler (101, 201 and 402 are also list operations).
enum EntryCode : int {
  ENTRY_ALLOCATE = 101,      // allocate the entry zeroed and count it
  ENTRY_FREE = 201,          // free the descriptor if loaded, free the entry
  ENTRY_HAS_STATUS = 402,    // arg: const uint32_t* status; accept when equal
  ENTRY_SET_MODEL = 502,     // arg: const ModelRef*
  ENTRY_SET_STATUS = 504,    // arg: const StatusPair*
  ENTRY_SET_POSITION = 505,  // arg: const uint32_t* file position
  ENTRY_READ = 507,          // read the descriptor unless loaded; fails when it cannot be read
  ENTRY_FILL = 508,          // arg: const ElementSummary*; fill the derived fields
  ENTRY_RELEASE = 509,       // free the descriptor if loaded
};

inline constexpr std::size_t kCellNameMax = 49;  // bytes of a stored cell name

struct StatusPair {
  uint32_t status = 0;
  uint32_t active = 0;
};

// The fields of an entry that come from its element (see summarizeElement).
struct ElementSummary {
  uint32_t elementType = 0;
  DRange3d range;
  bool isComplexComponent = false;
  std::string cellName;  // cells (type 2) only
};

// One candidate element. Kept small: the pass walks hundreds of thousands of these. The x and y
// range come first: with the node's links they fill the node's first cache line, which is all
// the window test reads of most of the entries it steps over.
struct ElementEntry {
  int64_t xLow = 0, xHigh = 0, yLow = 0, yHigh = 0, zLow = 0, zHigh = 0;
  ModelRef modelRef = 0;  // the model (active model or reference attachment) it was read from
  uint32_t status = STATUS_SENTINEL;
  uint32_t active = 0;  // 1 while the entry may still be the partner of another entry
  uint32_t filePosition = 0;
  uint32_t elementType = 0;
  int64_t xExtent = 0;    // xHigh - xLow
  ElmDscrPtr descriptor;  // while loaded
  uint32_t cellName = 0;  // index into ElementTable::cellNames; 0 = empty (non-cells)
  uint32_t isComplexComponent = 0;
};

using ElementList = RecordList<ElementEntry, 4>;
using ElementNode = ElementList::Node;

// Reads the element at a file position of a model into *out (the host's mdlElmdscr_read).
using ElementReader = int (*)(ElmDscrPtr* out, uint32_t filePosition, ModelRef model);

// The table and the engine's per-model state.
struct ElementTable {
  ElementList list;
  NodeId head = kNoNode;           // the sentinel once appended
  NodeId current = kNoNode;        // the node the comparison pass is at
  NodeId largestExtent = kNoNode;  // last node of ByXExtent (the sentinel without it)
  NodeId lastAppended = kNoNode;   // where appends start their walk
  uint32_t elementCount = 0;       // entries allocated, the sentinel included
  uint32_t processedCount = 0;
  std::vector<std::string> cellNames{std::string()};  // [0] is the empty name
  ElementReader reader = nullptr;                     // ENTRY_READ fails while unset
  RangeIndex index;  // built with the orderings when underlap is allowed
};

// ---- the list entry point with the entry handler ---------------------------------------------

// Runs the entry handler on one entry (codes above). Returns SUCCESS or ERROR.
[[nodiscard]] int entryHandler(ElementTable& table, ElementEntry& entry, int code, const void* arg);

// recordListOp on the table's list with the entry handler (head = table.head).
NodeId tableOp(ElementTable& table, NodeId node, int code, const void* arg = nullptr);

// ---- building --------------------------------------------------------------------------------

// Frees every node (and loaded descriptor) and resets the per-model state; the reader stays.
void clearTable(ElementTable& table);

// Clears the table, then appends the sentinel (status 0, inactive, position 0). Returns it.
NodeId appendSentinel(ElementTable& table);

// Appends an entry for one element: model, status pair, file position and derived fields.
// Returns its node, or kNoNode when it could not be allocated.
NodeId appendElement(ElementTable& table, ModelRef model, StatusPair status, uint32_t filePosition,
                     const ElementSummary& element);

// The fields a table entry takes from an element descriptor.
[[nodiscard]] ElementSummary summarizeElement(const MSElementDescr& descriptor);

// ---- orderings -------------------------------------------------------------------------------

// Builds an ordering (ByXLow, ByXHigh or ByXExtent): the nodes after the sentinel in ascending
// key order, equal keys in load order; the sentinel stays first. Returns the ordering's last node
// (the sentinel when the table holds nothing else; kNoNode for an empty table). When `ranks` is
// given it is resized to the node count and receives each node's position (the sentinel's 0).
NodeId sortOrdering(ElementTable& table, Ordering ordering, std::vector<uint32_t>* ranks = nullptr);

// Builds ByXLow, and ByXHigh and ByXExtent too when `allowUnderlap`; the other two link pairs
// stay empty otherwise. Then records the node of largest extent. With `allowUnderlap` it also
// builds the table's range index.
void buildOrderings(ElementTable& table, bool allowUnderlap);

// ---- access ----------------------------------------------------------------------------------

inline ElementEntry& entryOf(ElementTable& t, NodeId n) {
  return t.list[n].record;
}
inline const ElementEntry& entryOf(const ElementTable& t, NodeId n) {
  return t.list[n].record;
}
inline NodeId nextNode(const ElementTable& t, NodeId n, Ordering o) {
  return t.list[n].links[o].next;
}
inline NodeId prevNode(const ElementTable& t, NodeId n, Ordering o) {
  return t.list[n].links[o].prev;
}
// The entry's cell name ("" for non-cells).
std::string_view cellNameOf(const ElementTable& table, const ElementEntry& entry);

}  // namespace kelvara
