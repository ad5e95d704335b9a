// The element table: the generic list, the entry handler and the orderings.
#include "engine/element_table.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

namespace kelvara {
namespace {

// ---- the generic list ------------------------------------------------------------------------

struct Item {
  int value = 0;
};
using ItemList = RecordList<Item, 2>;

// Counts allocations and releases; accepts code 402 when the value equals *arg; code 7 doubles.
struct ItemHandler {
  int* allocated;
  int* released;
  int operator()(Item& item, int code, const void* arg) const {
    switch (code) {
      case LIST_APPEND:
        item = Item{};
        ++*allocated;
        return 0;
      case LIST_REMOVE:
        ++*released;
        return 0;
      case LIST_FIND:
        return item.value == *static_cast<const int*>(arg) ? 0 : 1;
      case 7:
        item.value *= 2;
        return item.value < 100 ? 0 : 1;
      default:
        return 1;
    }
  }
};

std::vector<int> valuesInOrder(const ItemList& list, NodeId head) {
  std::vector<int> out;
  for (NodeId n = head; n != kNoNode; n = list[n].links[0].next)
    out.push_back(list[n].record.value);
  return out;
}

TEST(RecordListTest, AppendRemoveFindClear) {
  ItemList list;
  NodeId head = kNoNode;
  int allocated = 0, released = 0;
  ItemHandler h{&allocated, &released};
  NodeId last = kNoNode;
  std::vector<NodeId> ids;
  for (int v = 1; v <= 5; ++v) {
    // Alternate a walk from the head with the constant-time append from the last node.
    last = recordListOp(list, head, v % 2 ? kNoNode : last, LIST_APPEND, h, nullptr);
    ASSERT_NE(last, kNoNode);
    list[last].record.value = v;
    ids.push_back(last);
  }
  EXPECT_EQ(allocated, 5);
  EXPECT_EQ(valuesInOrder(list, head), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(list[ids[4]].links[0].prev, ids[3]);

  const int three = 3, nine = 9;
  EXPECT_EQ(recordListOp(list, head, kNoNode, LIST_FIND, h, &three), ids[2]);
  EXPECT_EQ(recordListOp(list, head, ids[3], LIST_FIND, h, &three), kNoNode);  // walks forward
  EXPECT_EQ(recordListOp(list, head, kNoNode, LIST_FIND, h, &nine), kNoNode);

  // Removing the head moves it to the successor; removing the last returns the predecessor.
  EXPECT_EQ(recordListOp(list, head, head, LIST_REMOVE, h, nullptr), ids[1]);
  EXPECT_EQ(head, ids[1]);
  EXPECT_EQ(recordListOp(list, head, ids[4], LIST_REMOVE, h, nullptr), ids[3]);
  EXPECT_EQ(recordListOp(list, head, ids[2], LIST_REMOVE, h, nullptr), ids[3]);
  EXPECT_EQ(valuesInOrder(list, head), (std::vector<int>{2, 4}));
  EXPECT_EQ(list[ids[3]].links[0].prev, ids[1]);
  EXPECT_EQ(released, 3);
  EXPECT_EQ(recordListOp(list, head, ids[2], LIST_REMOVE, h, nullptr), kNoNode);  // already gone
  EXPECT_EQ(recordListOp(list, head, ids[2], 7, h, nullptr), kNoNode);
  // A walk asked to start at a freed node starts at the head.
  const int four = 4;
  EXPECT_EQ(recordListOp(list, head, ids[4], LIST_FIND, h, &four), ids[3]);

  // A freed node is reused; other codes go to the handler.
  const NodeId reused = recordListOp(list, head, kNoNode, LIST_APPEND, h, nullptr);
  EXPECT_TRUE(reused == ids[0] || reused == ids[2] || reused == ids[4]);
  list[reused].record.value = 30;
  EXPECT_EQ(valuesInOrder(list, head), (std::vector<int>{2, 4, 30}));
  EXPECT_EQ(recordListOp(list, head, reused, 7, h, nullptr), reused);
  EXPECT_EQ(recordListOp(list, head, reused, 7, h, nullptr), kNoNode);  // 120: handler refuses
  EXPECT_EQ(list[reused].record.value, 120);

  EXPECT_EQ(recordListOp(list, head, kNoNode, LIST_CLEAR, h, nullptr), kNoNode);
  EXPECT_EQ(head, kNoNode);
  EXPECT_EQ(released, 6);
  EXPECT_TRUE(list.nodes.empty());
}

TEST(RecordListTest, RemoveUnlinksEveryOrdering) {
  ItemList list;
  NodeId head = kNoNode;
  int allocated = 0, released = 0;
  ItemHandler h{&allocated, &released};
  NodeId a = recordListOp(list, head, kNoNode, LIST_APPEND, h, nullptr);
  NodeId b = recordListOp(list, head, a, LIST_APPEND, h, nullptr);
  NodeId c = recordListOp(list, head, b, LIST_APPEND, h, nullptr);
  // Second ordering: a, c, b.
  list[a].links[1] = {c, kNoNode};
  list[c].links[1] = {b, a};
  list[b].links[1] = {kNoNode, c};
  recordListOp(list, head, c, LIST_REMOVE, h, nullptr);
  EXPECT_EQ(list[a].links[1].next, b);
  EXPECT_EQ(list[b].links[1].prev, a);
  EXPECT_EQ(list[b].links[0].next, kNoNode);
}

// ---- the entry handler -----------------------------------------------------------------------

ElementSummary summary(uint32_t type, int64_t xLow, int64_t xHigh, std::string name = {}) {
  ElementSummary s;
  s.elementType = type;
  s.range = {xLow, 10, -5, xHigh, 20, 5};
  s.cellName = std::move(name);
  return s;
}

int readerCalls = 0;
int fakeReader(ElmDscrPtr* out, uint32_t filePosition, ModelRef model) {
  ++readerCalls;
  if (filePosition == 666) return ERROR;
  *out = std::make_unique<MSElementDescr>();
  (*out)->filePosition = filePosition;
  (*out)->modelRef = model;
  return SUCCESS;
}

TEST(ElementTableTest, SentinelAndEntryFields) {
  ElementTable t;
  const NodeId sentinel = appendSentinel(t);
  EXPECT_EQ(t.head, sentinel);
  EXPECT_EQ(t.elementCount, 1u);
  const ElementEntry& s = entryOf(t, sentinel);
  EXPECT_EQ(std::tie(s.status, s.active, s.filePosition), std::tuple(STATUS_SENTINEL, 0u, 0u));

  const NodeId line = appendElement(t, 42, {STATUS_LOADED, 1}, 1234, summary(3, -7, 93));
  const NodeId cell =
      appendElement(t, 43, {STATUS_LOADED, 1}, 2000, summary(2, 0, 1, std::string(60, 'N')));
  const NodeId text = appendElement(t, 42, {STATUS_LOADED, 1}, 3000, summary(17, 5, 9, "X"));
  EXPECT_EQ(t.elementCount, 4u);
  const ElementEntry& e = entryOf(t, line);
  EXPECT_EQ(std::tie(e.modelRef, e.filePosition, e.elementType), std::tuple(42u, 1234u, 3u));
  EXPECT_EQ(std::vector<int64_t>({e.xLow, e.yLow, e.zLow, e.xHigh, e.yHigh, e.zHigh, e.xExtent}),
            std::vector<int64_t>({-7, 10, -5, 93, 20, 5, 100}));
  EXPECT_EQ(cellNameOf(t, e), "");
  EXPECT_EQ(cellNameOf(t, entryOf(t, cell)), std::string(kCellNameMax, 'N'));
  EXPECT_EQ(cellNameOf(t, entryOf(t, text)), "");  // only cells keep a name
  EXPECT_EQ(prevNode(t, text, LoadOrder), cell);

  // Status pair, search by status.
  const StatusPair dup{STATUS_DUPLICATE, 0};
  EXPECT_EQ(tableOp(t, cell, ENTRY_SET_STATUS, &dup), cell);
  EXPECT_EQ(std::tie(entryOf(t, cell).status, entryOf(t, cell).active),
            std::tuple(STATUS_DUPLICATE, 0u));
  const uint32_t wanted = STATUS_DUPLICATE;
  EXPECT_EQ(tableOp(t, kNoNode, ENTRY_HAS_STATUS, &wanted), cell);
  EXPECT_EQ(tableOp(t, text, ENTRY_HAS_STATUS, &wanted), kNoNode);
  EXPECT_EQ(tableOp(t, cell, 999), kNoNode);  // unknown code
}

TEST(ElementTableTest, DescriptorsAreReadOnceAndFreed) {
  ElementTable t;
  appendSentinel(t);
  const NodeId n = appendElement(t, 5, {STATUS_LOADED, 1}, 800, summary(3, 0, 1));
  const NodeId bad = appendElement(t, 5, {STATUS_LOADED, 1}, 666, summary(3, 0, 1));
  EXPECT_EQ(tableOp(t, n, ENTRY_READ), kNoNode);  // no reader wired
  t.reader = &fakeReader;
  readerCalls = 0;
  EXPECT_EQ(tableOp(t, n, ENTRY_READ), n);
  ASSERT_TRUE(entryOf(t, n).descriptor);
  EXPECT_EQ(entryOf(t, n).descriptor->filePosition, 800u);
  EXPECT_EQ(entryOf(t, n).descriptor->modelRef, 5u);
  EXPECT_EQ(tableOp(t, n, ENTRY_READ), n);
  EXPECT_EQ(readerCalls, 1);  // already loaded
  EXPECT_EQ(tableOp(t, bad, ENTRY_READ), kNoNode);
  EXPECT_FALSE(entryOf(t, bad).descriptor);
  EXPECT_EQ(tableOp(t, n, ENTRY_RELEASE), n);
  EXPECT_FALSE(entryOf(t, n).descriptor);
  EXPECT_EQ(tableOp(t, n, ENTRY_READ), n);
  clearTable(t);
  EXPECT_EQ(t.head, kNoNode);
  EXPECT_EQ(t.elementCount, 0u);
  EXPECT_EQ(t.reader, &fakeReader);  // the wiring survives
}

TEST(ElementTableTest, NodeStaysSmall) {
  // Four link pairs and the entry must stay well under 160 bytes per element: the pass keeps a
  // few more bytes per entry beside the table.
  EXPECT_LE(sizeof(ElementNode), 128u);
}

// ---- orderings -------------------------------------------------------------------------------

// The linked-list quicksort taken literally: the first node is the pivot, smaller keys move
// before it in the order met, the rest stay after it; both sides are sorted the same way.
std::vector<NodeId> literalQuicksort(const std::vector<std::pair<int64_t, NodeId>>& range) {
  if (range.size() < 2) {
    std::vector<NodeId> out;
    for (const auto& r : range) out.push_back(r.second);
    return out;
  }
  std::vector<std::pair<int64_t, NodeId>> before, after;
  for (std::size_t i = 1; i < range.size(); ++i) {
    (range[i].first < range[0].first ? before : after).push_back(range[i]);
  }
  std::vector<NodeId> out = literalQuicksort(before);
  out.push_back(range[0].second);
  for (NodeId n : literalQuicksort(after)) out.push_back(n);
  return out;
}

std::vector<NodeId> walk(const ElementTable& t, Ordering o) {
  std::vector<NodeId> out;
  for (NodeId n = t.head; n != kNoNode; n = nextNode(t, n, o)) out.push_back(n);
  return out;
}

void expectConsistentBackLinks(const ElementTable& t, Ordering o) {
  const std::vector<NodeId> order = walk(t, o);
  for (std::size_t i = 1; i < order.size(); ++i) {
    EXPECT_EQ(prevNode(t, order[i], o), order[i - 1]);
  }
  EXPECT_EQ(prevNode(t, order.front(), o), kNoNode);
}

TEST(ElementTableTest, SortedOrderMatchesTheListQuicksort) {
  std::mt19937 rng(7);
  for (int round = 0; round < 30; ++round) {
    ElementTable t;
    appendSentinel(t);
    const int n = 1 + static_cast<int>(rng() % 200);
    const int64_t spread = round % 3 == 0 ? 4 : 1000;  // many equal keys in some rounds
    // Keys far from zero, and keys spanning more than 32 bits, in some rounds.
    const int64_t offset = round % 5 == 1 ? -(int64_t{1} << 40) : 0;
    const int64_t scale = round % 4 == 3 ? int64_t{1} << 31 : 1;
    for (int i = 0; i < n; ++i) {
      const int64_t xLow = (static_cast<int64_t>(rng() % spread) - spread / 2) * scale + offset;
      const int64_t xHigh = xLow + static_cast<int64_t>(rng() % spread) * scale;
      appendElement(t, 1, {STATUS_LOADED, 1}, static_cast<uint32_t>(100 + i),
                    summary(3, xLow, xHigh));
    }
    buildOrderings(t, true);
    for (Ordering o : {ByXLow, ByXHigh, ByXExtent}) {
      std::vector<std::pair<int64_t, NodeId>> loaded;
      for (NodeId m = nextNode(t, t.head, LoadOrder); m != kNoNode; m = nextNode(t, m, LoadOrder)) {
        const ElementEntry& e = entryOf(t, m);
        loaded.push_back({o == ByXLow ? e.xLow : o == ByXHigh ? e.xHigh : e.xExtent, m});
      }
      std::vector<NodeId> expected{t.head};
      for (NodeId m : literalQuicksort(loaded)) expected.push_back(m);
      EXPECT_EQ(walk(t, o), expected) << "round " << round << " ordering " << o;
      expectConsistentBackLinks(t, o);
    }
    EXPECT_EQ(t.largestExtent, walk(t, ByXExtent).back());
  }
}

TEST(ElementTableTest, OrderingCases) {
  ElementTable t;
  const NodeId s = appendSentinel(t);
  // Keys below the sentinel's zero, equal keys, a descending run (their orders: the list
  // quicksort test above).
  appendElement(t, 1, {1, 1}, 10, summary(3, 50, 60));                    // extent 10
  appendElement(t, 1, {1, 1}, 20, summary(3, -5, 500));                   // extent 505
  appendElement(t, 1, {1, 1}, 30, summary(3, 50, 55));                    // extent 5
  const NodeId d = appendElement(t, 1, {1, 1}, 40, summary(3, 40, 545));  // extent 505
  appendElement(t, 1, {1, 1}, 50, summary(3, 50, 51));                    // extent 1
  buildOrderings(t, false);
  // Without underlap only ByXLow is built and the largest extent is the sentinel.
  for (NodeId n : walk(t, LoadOrder)) {
    EXPECT_EQ(nextNode(t, n, ByXHigh), kNoNode);
    EXPECT_EQ(prevNode(t, n, ByXExtent), kNoNode);
  }
  EXPECT_EQ(t.largestExtent, s);

  buildOrderings(t, true);
  EXPECT_EQ(t.largestExtent, d);  // of two equal extents, the one loaded last

  // A table with the sentinel alone, or one element, still has its links.
  ElementTable one;
  const NodeId s1 = appendSentinel(one);
  buildOrderings(one, true);
  EXPECT_EQ(walk(one, ByXLow), (std::vector<NodeId>{s1}));
  const NodeId only = appendElement(one, 1, {1, 1}, 10, summary(3, -50, 60));
  buildOrderings(one, true);
  EXPECT_EQ(walk(one, ByXLow), (std::vector<NodeId>{s1, only}));
  EXPECT_EQ(one.largestExtent, only);
}

}  // namespace
}  // namespace kelvara
