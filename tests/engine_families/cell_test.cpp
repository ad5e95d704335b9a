// Cells: origin, name, contents signature, range-block outline, rotation and scale; neither the
// header's nor the contents' symbology and properties.
#include <gtest/gtest.h>

#include "engine/cell_compare.h"
#include "family_cases.h"
#include "host/dgn/codec.h"

namespace kelvara {
namespace {

using namespace test;

// A 2D cell's range block in its own coordinates (rnglow @52, rnghigh @60).
Element withCellRange(Element cellRun, DPoint3d lo, DPoint3d hi) {
  dgn::writeInt32(cellRun.data() + 52, static_cast<int32_t>(lo.x));
  dgn::writeInt32(cellRun.data() + 56, static_cast<int32_t>(lo.y));
  dgn::writeInt32(cellRun.data() + 60, static_cast<int32_t>(hi.x));
  dgn::writeInt32(cellRun.data() + 64, static_cast<int32_t>(hi.y));
  return cellRun;
}

// Adds `units` (1/214748) to the 2D matrix entry t11..t22 (index 0-3).
Element withMatrixNudge(Element cellRun, int entry, int32_t units) {
  uint8_t* p = cellRun.data() + 68 + 4 * entry;
  dgn::writeInt32(p, dgn::readInt32(p) + units);
  return cellRun;
}

std::vector<Element> door(const std::string& label = "D1", int colour = 0) {
  return {line({1000, 1000, 0}, {1900, 1000, 0}, {.colour = colour}),
          lineString({{1000, 1000, 0}, {1000, 3000, 0}, {1900, 3000, 0}}),
          text({.chars = label, .origin = {1200, 2000, 0}})};
}

// A door cell at (1000, 1000) with the range block of its 900 x 2000 outline.
Element ranged(const std::string& name, const std::vector<Element>& parts, Symb s = {}) {
  return withCellRange(cell(name, {1000, 1000, 0}, parts, s), {0, 0, 0}, {900, 2000, 0});
}

Element doorCell(const std::string& label = "D1", double rotation = 0, double scale = 1,
                 DPoint3d origin = {1000, 1000, 0}) {
  return withCellRange(cell("DOOR", origin, door(label), {}, false, rotation, scale), {0, 0, 0},
                       {900, 2000, 0});
}

TEST(CellCompareTest, Table) {
  const Element base = doorCell();
  const Element unscaledRange = cell("DOOR", {1000, 1000, 0}, door());
  const auto turned = [](double rotation, double scale) {
    return cell("DOOR", {1000, 1000, 0}, door(), {}, false, rotation, scale);
  };
  std::vector<Element> extra = door();
  extra.push_back(line({1000, 1000, 0}, {1000, 1100, 0}));
  const Symb other{
      .level = 9, .colour = 3, .weight = 2, .style = 1, .properties = dgn::PROP_LOCKED};
  // clang-format off
  runCases(cellCompare, {
      {"changed text inside", base, doorCell("D2"), exact(), 3, 3},
      {"other name", base, ranged("WINDOW", door()), exact(), 3, 3},
      {"origin one unit away", base, doorCell("D1", 0, 1, {1001, 1000, 0}), exact(), 3, 3},
      {"origin one unit away, overlap within 2", base, doorCell("D1", 0, 1, {1001, 1000, 0}),
       overlapBy(2), 1, 1},
      {"range block of another size", base,
       withCellRange(cell("DOOR", {1000, 1000, 0}, door()), {0, 0, 0}, {950, 2000, 0}), exact(), 3,
       3},
      {"one matrix entry 1.4e-5 apart", base, withMatrixNudge(base, 1, 3), exact(), 2, 2},
      {"one matrix entry 1.4e-5 apart, rotation allowed", base, withMatrixNudge(base, 1, 3),
       rotationBy(deg(1)), 1, 1},
      {"rotated 30 deg", unscaledRange, turned(30, 1), exact(), 2, 2},
      {"scale 1.001", unscaledRange, turned(0, 1.001), exact(), 2, 2},
      {"scale 1.001, rotation tolerance 0.01", unscaledRange, turned(0, 1.001), rotationBy(0.01),
       1, 1},
      {"a component of another colour", base, ranged("DOOR", door("D1", 5)), exact(), 1, 1},
      {"header on another level, recoloured, wider, dashed and locked", base,
       ranged("DOOR", door(), other), exact(), 1, 1},
      {"an extra component", base, ranged("DOOR", extra), exact(), 3, 3},
  });
  // clang-format on
}

TEST(CellSignatureTest, SumsTypesPointsNamesAndTexts) {
  // Header 2*2; line 3*3 + 11*2; text 17*17 + ('A'*0 + 'B'*1).
  const ElmDscrPtr simple = descriptorOf(cell(
      "C", {0, 0, 0}, {line({0, 0, 0}, {10, 0, 0}), text({.chars = "AB", .origin = {0, 0, 0}})}));
  EXPECT_EQ(cellSignature(*simple), 4u + 31u + 289u + 66u);

  // A nested cell adds 10 times its name's weighted sum ('I'*0 + 'N'*1 = 78).
  const ElmDscrPtr nested =
      descriptorOf(cell("C", {0, 0, 0}, {cell("IN", {0, 0, 0}, {line({0, 0, 0}, {10, 0, 0})})}));
  EXPECT_EQ(cellSignature(*nested), 4u + (4u + 780u) + 31u);

  // A text node adds its joined text ("A\nB": 'A'*0 + '\n'*1 + 'B'*2 = 142) and its lines.
  const ElmDscrPtr node = descriptorOf(
      cell("C", {0, 0, 0}, {textNode({.chars = "", .origin = {0, 0, 0}}, {"A", "B"}, 1)}));
  EXPECT_EQ(cellSignature(*node), 4u + (49u + 142u) + (289u + 0u) + (289u + 0u));

  // Bytes above 127 count as negative.
  const ElmDscrPtr high = descriptorOf(
      cell("C", {0, 0, 0}, {text({.chars = std::string("a\xE9"), .origin = {0, 0, 0}})}));
  EXPECT_EQ(cellSignature(*high), 4u + 289u + static_cast<uint32_t>(-23));

  const ElmDscrPtr empty = descriptorOf(cell("C", {0, 0, 0}, {}));
  EXPECT_EQ(cellSignature(*empty), 0u);
}

TEST(CellCompareTest, OutlineFollowsTheTransform) {
  const ElmDscrPtr d = descriptorOf(
      withCellRange(cell("C", {1000, 2000, 0}, {line({0, 0, 0}, {10, 0, 0})}, {}, false, 90, 2),
                    {0, 0, 0}, {100, 50, 0}));
  DPoint3d corners[4];
  ASSERT_TRUE(cellOutline(*d, corners));
  // Rotated a quarter turn and doubled: (100, 0) -> (0, 200), (0, 50) -> (-100, 0).
  EXPECT_NEAR(corners[0].x, 1000, 1e-3);
  EXPECT_NEAR(corners[1].x, 1000, 1e-3);
  EXPECT_NEAR(corners[1].y, 2200, 1e-3);
  EXPECT_NEAR(corners[2].x, 900, 1e-3);
  EXPECT_NEAR(corners[3].y, 2200, 1e-3);
  EXPECT_NEAR(corners[3].x, 900, 1e-3);
  EXPECT_FALSE(cellOutline(*descriptorOf(line({0, 0, 0}, {1, 0, 0})), corners));
}

}  // namespace
}  // namespace kelvara
