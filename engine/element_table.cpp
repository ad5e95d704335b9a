#include "engine/element_table.h"

#include <algorithm>

namespace kelvara {

namespace {

// The entry handler as the list calls it.
struct Handler {
  ElementTable& table;
  int operator()(ElementEntry& entry, int code, const void* arg) const {
    return entryHandler(table, entry, code, arg);
  }
};

int64_t keyOf(const ElementEntry& e, Ordering o) {
  switch (o) {
    case ByXHigh:
      return e.xHigh;
    case ByXExtent:
      return e.xExtent;
    default:
      return e.xLow;
  }
}

}  // namespace

int entryHandler(ElementTable& table, ElementEntry& entry, int code, const void* arg) {
  switch (code) {
    case ENTRY_ALLOCATE:
      entry = ElementEntry{};
      ++table.elementCount;
      return SUCCESS;
    case ENTRY_FREE:
      entry = ElementEntry{};  // releases the descriptor with it
      return SUCCESS;
    case ENTRY_HAS_STATUS:
      return arg != nullptr && entry.status == *static_cast<const uint32_t*>(arg) ? SUCCESS : ERROR;
    case ENTRY_SET_MODEL:
      if (arg == nullptr) return ERROR;
      entry.modelRef = *static_cast<const ModelRef*>(arg);
      return SUCCESS;
    case ENTRY_SET_STATUS: {
      if (arg == nullptr) return ERROR;
      const auto& pair = *static_cast<const StatusPair*>(arg);
      entry.status = pair.status;
      entry.active = pair.active;
      return SUCCESS;
    }
    case ENTRY_SET_POSITION:
      if (arg == nullptr) return ERROR;
      entry.filePosition = *static_cast<const uint32_t*>(arg);
      return SUCCESS;
    case ENTRY_READ: {
      if (entry.descriptor) return SUCCESS;
      if (table.reader == nullptr) return ERROR;
      ElmDscrPtr read;
      if (table.reader(&read, entry.filePosition, entry.modelRef) != SUCCESS || !read) {
        return ERROR;
      }
      entry.descriptor = std::move(read);
      return SUCCESS;
    }
    case ENTRY_FILL: {
      if (arg == nullptr) return ERROR;
      const auto& element = *static_cast<const ElementSummary*>(arg);
      entry.elementType = element.elementType;
      entry.isComplexComponent = element.isComplexComponent ? 1 : 0;
      entry.xLow = element.range.xLow;
      entry.yLow = element.range.yLow;
      entry.zLow = element.range.zLow;
      entry.xHigh = element.range.xHigh;
      entry.yHigh = element.range.yHigh;
      entry.zHigh = element.range.zHigh;
      entry.xExtent = entry.xHigh - entry.xLow;
      entry.cellName = 0;
      if (element.elementType == 2 && !element.cellName.empty()) {
        entry.cellName = static_cast<uint32_t>(table.cellNames.size());
        table.cellNames.push_back(element.cellName.substr(0, kCellNameMax));
      }
      return SUCCESS;
    }
    case ENTRY_RELEASE:
      entry.descriptor.reset();
      return SUCCESS;
    default:
      return ERROR;
  }
}

NodeId tableOp(ElementTable& table, NodeId node, int code, const void* arg) {
  return recordListOp(table.list, table.head, node, code, Handler{table}, arg);
}

void clearTable(ElementTable& table) {
  tableOp(table, kNoNode, LIST_CLEAR);
  const ElementReader reader = table.reader;
  table = ElementTable{};
  table.reader = reader;
}

NodeId appendSentinel(ElementTable& table) {
  clearTable(table);
  const NodeId sentinel = tableOp(table, kNoNode, LIST_APPEND);
  table.lastAppended = sentinel;
  table.current = sentinel;
  table.largestExtent = sentinel;
  return sentinel;
}

NodeId appendElement(ElementTable& table, ModelRef model, StatusPair status, uint32_t filePosition,
                     const ElementSummary& element) {
  const NodeId node = tableOp(table, table.lastAppended, LIST_APPEND);
  if (node == kNoNode) return kNoNode;
  table.lastAppended = node;
  ElementEntry& entry = entryOf(table, node);
  (void)entryHandler(table, entry, ENTRY_SET_MODEL, &model);
  (void)entryHandler(table, entry, ENTRY_SET_STATUS, &status);
  (void)entryHandler(table, entry, ENTRY_SET_POSITION, &filePosition);
  (void)entryHandler(table, entry, ENTRY_FILL, &element);
  return node;
}

namespace {

struct SortItem {
  uint64_t key;  // the signed key with its sign bit flipped: unsigned order = signed order
  NodeId node;
};

// Stable least-significant-digit radix sort on 8-bit digits of the key bits [from, 64) that
// keyOf gives an item; digits that are the same in every key are skipped (coordinates rarely
// use all 64 bits), so a table is sorted in a few passes.
template <class Item, class KeyOf>
void radixSort(std::vector<Item>& items, int from, KeyOf&& keyOf) {
  uint64_t anyOne = 0, allOnes = ~uint64_t{0};
  for (const Item& item : items) anyOne |= keyOf(item), allOnes &= keyOf(item);
  const uint64_t varying = anyOne ^ allOnes;
  std::vector<Item> buffer(items.size());
  for (int shift = from; shift < 64; shift += 8) {
    if (((varying >> shift) & 0xFF) == 0) continue;
    std::size_t count[257] = {};
    for (const Item& item : items) ++count[((keyOf(item) >> shift) & 0xFF) + 1];
    for (int i = 0; i < 256; ++i) count[i + 1] += count[i];
    for (const Item& item : items) buffer[count[(keyOf(item) >> shift) & 0xFF]++] = item;
    items.swap(buffer);
  }
}

// The nodes after the sentinel in ascending key order, equal keys in load order. Keys that span
// less than 2^32 (the coordinates of a design file always do) are sorted as their offsets from
// the least key, packed with the node into 8 bytes.
template <class NodeAt>
void sortedNodes(ElementTable& table, Ordering ordering, NodeAt&& use) {
  auto& list = table.list;
  std::vector<uint64_t> packed;
  packed.reserve(table.elementCount);
  NodeId n = list[table.head].links[LoadOrder].next;
  const int64_t first = n == kNoNode ? 0 : keyOf(list[n].record, ordering);
  int64_t least = first, greatest = first;
  for (; n != kNoNode; n = list[n].links[LoadOrder].next) {
    const int64_t key = keyOf(list[n].record, ordering);
    least = std::min(least, key), greatest = std::max(greatest, key);
    // The offset from the first key, modulo 2^32; made an offset from the least key below.
    packed.push_back(uint64_t(uint32_t(uint64_t(key) - uint64_t(first))) << 32 | n);
  }
  if (uint64_t(greatest) - uint64_t(least) <= UINT32_MAX) {
    const uint64_t shift = uint64_t(uint32_t(uint64_t(least) - uint64_t(first))) << 32;
    for (uint64_t& item : packed) item -= shift;                // wraps within the upper half
    radixSort(packed, 32, [](uint64_t item) { return item; });  // key above, node below
    use(packed.size(), [&](std::size_t i) { return NodeId(packed[i]); });
    return;
  }
  std::vector<SortItem> items;
  items.reserve(packed.size());
  for (const uint64_t item : packed) {
    const NodeId node = NodeId(item);
    const uint64_t key = static_cast<uint64_t>(keyOf(list[node].record, ordering));
    items.push_back({key ^ (uint64_t{1} << 63), node});
  }
  std::vector<uint64_t>().swap(packed);
  radixSort(items, 0, [](const SortItem& item) { return item.key; });
  use(items.size(), [&](std::size_t i) { return items[i].node; });
}

}  // namespace

// The nodes are put in order by a stable sort on the key (equal keys keep their load order)
// and then relinked. This gives exactly the order of a quicksort on the linked list that takes
// the first node of each range as its pivot and keeps equal keys after it in load order, without
// that sort's quadratic time on tables that are already sorted (drawings often nearly are).
NodeId sortOrdering(ElementTable& table, Ordering ordering, std::vector<uint32_t>* ranks) {
  if (table.head == kNoNode || ordering == LoadOrder) return table.head;
  auto& list = table.list;
  NodeId previous = table.head;
  list[previous].links[ordering].prev = kNoNode;
  sortedNodes(table, ordering, [&](std::size_t count, auto nodeAt) {
    if (ranks != nullptr) {
      ranks->assign(list.nodes.size(), 0);
      for (std::size_t i = 0; i < count; ++i) (*ranks)[nodeAt(i)] = uint32_t(i + 1);
    }
    constexpr std::size_t kAhead = 16;  // the nodes are scattered: fetch them ahead of the writes
    for (std::size_t i = 0; i < count; ++i) {
      if (i + kAhead < count) __builtin_prefetch(&list[nodeAt(i + kAhead)].links, 1);
      const NodeId node = nodeAt(i);
      list[previous].links[ordering].next = node;
      list[node].links[ordering].prev = previous;
      previous = node;
    }
  });
  list[previous].links[ordering].next = kNoNode;
  return previous;
}

void buildOrderings(ElementTable& table, bool allowUnderlap) {
  RangeIndex& index = table.index;
  clearRangeIndex(index);
  sortOrdering(table, ByXLow, allowUnderlap ? &index.rankLow : nullptr);
  if (allowUnderlap) {
    sortOrdering(table, ByXHigh, &index.rankHigh);
    // The last node of ByXExtent is known from the sort: no need to walk a million links.
    table.largestExtent = sortOrdering(table, ByXExtent, &index.rankExtent);
    buildRangeIndex(index, table);
  } else {
    for (ElementNode& node : table.list.nodes) node.links[ByXHigh] = node.links[ByXExtent] = {};
    table.largestExtent = table.head;
  }
}

std::string_view cellNameOf(const ElementTable& table, const ElementEntry& entry) {
  if (entry.cellName == 0 || entry.cellName >= table.cellNames.size()) return {};
  return table.cellNames[entry.cellName];
}

}  // namespace kelvara
