// What view 1 draws of a model: each displayable element type as runs of vertices and texts in
// the symbology group of its colour and weight; deleted elements and levels that are off left
// out.
#include "host/drawing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/design.h"
#include "host/state.h"
#include "host/view.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using namespace test;

constexpr int kOffLevel = 9;

struct Case {
  const char* what;
  Element element;
  int colour;  // 0 = not drawn
  uint32_t runs, minVertices, maxVertices, texts;
};

Symb c(int colour, int weight = 0, int level = 1) {
  return {.level = level, .colour = colour, .weight = weight};
}

std::vector<Case> cases() {
  const DPoint3d a{0, 0, 0}, b{1000, 0, 0}, d{1000, 1000, 0};
  const TextSpec ab{.chars = "AB", .origin = {50, 60, 0}};
  return {
      {"line", line(a, b, c(1)), 1, 1, 2, 2, 0},
      {"line string, weight 3", lineString({a, b, d}, c(2, 3)), 2, 1, 3, 3, 0},
      {"shape", shape({a, b, d, {0, 1000, 0}, a}, c(3)), 3, 1, 5, 5, 0},
      // clang-format off
      {"curve: its ends' control points left out",
       curve({a, {100, 0, 0}, {200, 50, 0}, {300, 0, 0}, {400, 50, 0}, {500, 0, 0}, {600, 0, 0},
              {700, 0, 0}}, c(4)), 4, 1, 4, 4, 0},
      // clang-format on
      {"arc", arc({0, 0, 0}, 5000, 5000, 0, 0, 90, c(5)), 5, 1, 3, 40, 0},
      {"ellipse", ellipse({0, 0, 0}, 5000, 2000, 30, c(6)), 6, 1, 12, 80, 0},
      {"text", text(ab, c(7)), 7, 0, 0, 0, 1},
      {"text node", textNode(ab, {"one", "two"}, 1, c(8)), 8, 0, 0, 0, 2},
      {"complex chain",
       complexChain({lineString({a, b, d}, c(9)), arc(d, 1000, 1000, 0, 0, 90, c(9))}), 9, 2, 5, 60,
       0},
      {"cell", cell("BOX", a, {shape({a, b, d, a}, c(10)), line(a, d, c(10))}, c(10)), 10, 2, 6, 6,
       0},
      {"B-spline curve",
       bsplineCurve({a, {100, 100, 0}, {200, 0, 0}, {300, 100, 0}, {400, 0, 0}}, 4, false, {}, {},
                    c(11)),
       11, 1, 8, 40, 0},
      {"point string: a run per point", pointString({a, b, d}, c(12)), 12, 3, 3, 3, 0},
      {"shared cell instance: its range", opaque(35, std::vector<uint8_t>(20, 0), c(13)), 13, 1, 5,
       5, 0},
      {"level off", line(a, b, c(14, 0, kOffLevel)), 0, 0, 0, 0, 0},
      {"deleted", deleted(line(a, b, c(15))), 0, 0, 0, 0, 0},
      {"cell with its component on a level off",
       cell("OFF", a, {line(a, b, c(16, 0, kOffLevel))}, c(16)), 0, 0, 0, 0, 0},
  };
}

// The group holding the element at position, and its index there; null when none does.
const DrawingGroup* findElement(const Drawing& d, uint32_t position, size_t* index) {
  for (const DrawingGroup& g : d.groups) {
    auto it = std::find(g.positions.begin(), g.positions.end(), position);
    if (it != g.positions.end()) {
      *index = static_cast<size_t>(it - g.positions.begin());
      return &g;
    }
  }
  return nullptr;
}

TEST(Drawing, EachElementTypeIsDrawnInItsSymbologyAndHiddenOnesAreLeftOut) {
  resetHostState();
  resetDesignState();
  ScratchDir scratch;
  DesignBuilder builder;
  const std::vector<Case> table = cases();
  for (const Case& k : table) builder.add(k.element);
  ASSERT_TRUE(builder.write(scratch.file("d.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(scratch.file("d.dgn")), SUCCESS);
  ASSERT_EQ(mdlView_setLevelDisplay(0, kOffLevel, false), SUCCESS);

  Drawing drawing;
  ASSERT_EQ(drawModel(&drawing, mdlModelRef_getActive(), 0), SUCCESS);
  size_t drawn = 0;
  for (size_t n = 0; n < table.size(); ++n) {
    const Case& k = table[n];
    SCOPED_TRACE(k.what);
    size_t e = 0;
    const DrawingGroup* g = findElement(drawing, builder.positionOf(n), &e);
    ASSERT_EQ(g != nullptr, k.colour != 0);
    if (!g) continue;
    ++drawn;
    EXPECT_EQ(g->colourIndex, k.colour);
    EXPECT_EQ(g->colour, defaultColorTable()[static_cast<size_t>(k.colour)]);
    EXPECT_EQ(g->weight, k.colour == 2 ? 3u : 0u);
    EXPECT_EQ(g->runCounts[e], k.runs);
    EXPECT_EQ(g->textCounts[e], k.texts);
    // The element's runs are those after the runs of the group's earlier elements.
    size_t firstRun = 0;
    for (size_t i = 0; i < e; ++i) firstRun += g->runCounts[i];
    uint32_t vertices = 0;
    for (size_t r = firstRun; r < firstRun + g->runCounts[e]; ++r) vertices += g->runSizes[r];
    EXPECT_GE(vertices, k.minVertices);
    EXPECT_LE(vertices, k.maxVertices);
  }
  EXPECT_EQ(drawing.groups.size(), drawn);
  EXPECT_EQ(drawing.groups[7].texts[1].text, "two");

  // With the level on again, its elements are drawn.
  ASSERT_EQ(mdlView_setLevelDisplay(0, kOffLevel, true), SUCCESS);
  ASSERT_EQ(drawModel(&drawing, mdlModelRef_getActive(), 0), SUCCESS);
  size_t e = 0;
  EXPECT_NE(findElement(drawing, builder.positionOf(table.size() - 1), &e), nullptr);
  EXPECT_NE(findElement(drawing, builder.positionOf(table.size() - 3), &e), nullptr);
  resetDesignState();
}

}  // namespace
}  // namespace kelvara
