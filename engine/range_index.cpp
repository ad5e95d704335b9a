// The packed R-tree over entry ranges: leaves in Hilbert order of their centres, grouped
// kIndexFanout at a time into the levels above.
#include "engine/range_index.h"

#include <algorithm>
#include <climits>

#include "engine/element_table.h"

namespace kelvara {

namespace {

bool fits32(int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX;
}

// Position of (x, y) along the Hilbert curve over a 65536 x 65536 grid.
uint32_t hilbertIndex(uint32_t x, uint32_t y) {
  uint32_t d = 0;
  for (uint32_t s = 1u << 15; s > 0; s >>= 1) {
    const uint32_t rx = (x & s) ? 1 : 0;
    const uint32_t ry = (y & s) ? 1 : 0;
    d += s * s * ((3 * rx) ^ ry);
    if (ry == 0) {
      if (rx == 1) {
        x = s - 1 - x;
        y = s - 1 - y;
      }
      std::swap(x, y);
    }
  }
  return d;
}

IndexBox bound(const IndexBox* boxes, std::size_t count) {
  IndexBox b{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
  for (std::size_t i = 0; i < count; ++i) {
    b.xLow = std::min(b.xLow, boxes[i].xLow);
    b.xHigh = std::max(b.xHigh, boxes[i].xHigh);
    b.yLow = std::min(b.yLow, boxes[i].yLow);
    b.yHigh = std::max(b.yHigh, boxes[i].yHigh);
  }
  return b;
}

uint64_t orderKey(uint64_t phase, uint64_t step, uint64_t walk) {
  return (phase << 62) | (step << 1) | walk;
}

}  // namespace

void clearRangeIndex(RangeIndex& index) {
  index = RangeIndex{};
}

void buildRangeIndex(RangeIndex& index, const ElementTable& table) {
  index.usable = false;
  index.leaves.clear();
  index.leafNodes.clear();
  index.levels.clear();
  const std::size_t nodeCount = table.list.nodes.size();
  if (table.head == kNoNode || index.rankLow.size() != nodeCount ||
      index.rankHigh.size() != nodeCount || index.rankExtent.size() != nodeCount) {
    return;
  }
  std::vector<IndexBox> boxes;
  std::vector<NodeId> nodes;
  boxes.reserve(table.elementCount);
  nodes.reserve(table.elementCount);
  int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
  for (NodeId n = nextNode(table, table.head, LoadOrder); n != kNoNode;
       n = nextNode(table, n, LoadOrder)) {
    const ElementEntry& e = entryOf(table, n);
    if (!fits32(e.xLow) || !fits32(e.xHigh) || !fits32(e.yLow) || !fits32(e.yHigh)) return;
    boxes.push_back({int32_t(e.xLow), int32_t(e.xHigh), int32_t(e.yLow), int32_t(e.yHigh)});
    nodes.push_back(n);
    // Centres doubled, so they stay whole numbers.
    const int64_t cx = e.xLow + e.xHigh, cy = e.yLow + e.yHigh;
    minX = std::min(minX, cx), maxX = std::max(maxX, cx);
    minY = std::min(minY, cy), maxY = std::max(maxY, cy);
  }
  // Leaves in Hilbert order of their centres: neighbours on the sheet share groups.
  std::vector<uint64_t> order(boxes.size());
  const double sx = maxX > minX ? 65535.0 / double(maxX - minX) : 0.0;
  const double sy = maxY > minY ? 65535.0 / double(maxY - minY) : 0.0;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const IndexBox& b = boxes[i];
    const auto gx = uint32_t(double(int64_t(b.xLow) + b.xHigh - minX) * sx);
    const auto gy = uint32_t(double(int64_t(b.yLow) + b.yHigh - minY) * sy);
    order[i] = (uint64_t(hilbertIndex(gx, gy)) << 32) | i;
  }
  std::sort(order.begin(), order.end());
  index.leaves.resize(boxes.size());
  index.leafNodes.resize(boxes.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::size_t from = order[i] & 0xFFFFFFFFu;
    index.leaves[i] = boxes[from];
    index.leafNodes[i] = nodes[from];
  }
  const std::vector<IndexBox>* below = &index.leaves;
  do {
    std::vector<IndexBox> level;
    level.reserve(below->size() / kIndexFanout + 1);
    for (std::size_t i = 0; i < below->size(); i += kIndexFanout) {
      level.push_back(bound(below->data() + i, std::min(kIndexFanout, below->size() - i)));
    }
    index.levels.push_back(std::move(level));
    below = &index.levels.back();
  } while (below->size() > 1);
  index.usable = true;
}

void queryRangeIndex(const RangeIndex& index, int64_t xMin, int64_t xMax, int64_t yMin,
                     int64_t yMax, std::vector<NodeId>& out) {
  if (!index.usable || index.leaves.empty()) return;
  if (xMin > INT32_MAX || yMin > INT32_MAX || xMax < INT32_MIN || yMax < INT32_MIN) return;
  const int32_t x0 = int32_t(std::max<int64_t>(xMin, INT32_MIN));
  const int32_t x1 = int32_t(std::min<int64_t>(xMax, INT32_MAX));
  const int32_t y0 = int32_t(std::max<int64_t>(yMin, INT32_MIN));
  const int32_t y1 = int32_t(std::min<int64_t>(yMax, INT32_MAX));
  const auto hit = [&](const IndexBox& b) {
    return b.xHigh >= x0 && b.xLow <= x1 && b.yHigh >= y0 && b.yLow <= y1;
  };
  // Depth-first over (level, box); a level holds at most kIndexFanout children per box.
  struct Visit {
    uint32_t level;
    uint32_t box;
  };
  Visit stack[16 * kIndexFanout];
  std::size_t depth = 0;
  const auto top = uint32_t(index.levels.size() - 1);
  if (hit(index.levels[top][0])) stack[depth++] = {top, 0};
  while (depth > 0) {
    const Visit v = stack[--depth];
    const std::size_t first = std::size_t(v.box) * kIndexFanout;
    if (v.level == 0) {
      const std::size_t last = std::min(first + kIndexFanout, index.leaves.size());
      for (std::size_t i = first; i < last; ++i) {
        if (hit(index.leaves[i])) out.push_back(index.leafNodes[i]);
      }
      continue;
    }
    const std::vector<IndexBox>& children = index.levels[v.level - 1];
    const std::size_t last = std::min(first + kIndexFanout, children.size());
    for (std::size_t i = first; i < last; ++i) {
      if (hit(children[i])) stack[depth++] = {v.level - 1, uint32_t(i)};
    }
  }
}

uint64_t candidateOrderKey(const RangeIndex& index, NodeId entry, NodeId candidate,
                           NodeId largest) {
  const uint32_t lowE = index.rankLow[entry], lowC = index.rankLow[candidate];
  const uint32_t highE = index.rankHigh[entry], highC = index.rankHigh[candidate];
  const bool ahead = lowC > lowE, behind = highC < highE;
  if (ahead || behind) {
    uint64_t key = UINT64_MAX;
    if (ahead) key = orderKey(0, lowC - lowE, 0);
    if (behind) key = std::min(key, orderKey(0, highE - highC, 1));
    return key;
  }
  return std::min(orderKey(1, lowE - lowC, 0),
                  orderKey(1, index.rankExtent[largest] - index.rankExtent[candidate] + 1, 1));
}

}  // namespace kelvara
