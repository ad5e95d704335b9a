// Dimensions, shared cell instances and multilines: bodies compared byte for byte, then the
// attribute tests; multilines given as component chains match component for component.
#include <gtest/gtest.h>

#include "engine/cell_compare.h"
#include "engine/dimension_compare.h"
#include "engine/multiline_compare.h"
#include "family_cases.h"
#include "host/dgn/codec.h"

namespace kelvara {
namespace {

using namespace test;

const std::vector<uint8_t> kBody = {0x10, 0x00, 0x05, 0x00, 0x22, 0x01, 0x00, 0x80,
                                    0x40, 0x1F, 0x00, 0x00, 0x88, 0x13, 0x00, 0x00};

std::vector<uint8_t> changedBody(std::size_t at) {
  std::vector<uint8_t> b = kBody;
  b[at] ^= 0x04;
  return b;
}

Element withRange(Element e, DRange3d r) {
  dgn::writeRange(e.data(), r);
  return e;
}

Element withGraphicGroup(Element e, uint16_t group) {
  dgn::writeU16(e.data() + 28, group);
  return e;
}

const DRange3d kRange{1000, 2000, 0, 9000, 4000, 0};

// An element of the type with the body and the usual range.
Element placed(int type, const std::vector<uint8_t>& body, Symb s = {}) {
  return withRange(opaque(type, body, s), kRange);
}

// The cases every opaque type shares.
std::vector<FamilyCase> sharedCases(int type) {
  const Element base = placed(type, kBody);
  CompareOptions ignoreLevel = exact();
  ignoreLevel.ignore.level = true;
  std::vector<uint8_t> longer = kBody;
  longer.insert(longer.end(), {0, 0, 0, 0});
  // clang-format off
  return {
      {"same body", base, placed(type, kBody), exact(), 1, 1},
      {"one byte of the body differs", base, placed(type, changedBody(5)), exact(), 3, 3},
      {"last byte of the body differs", base, placed(type, changedBody(kBody.size() - 1)), exact(),
       3, 3},
      {"a longer body", base, placed(type, longer), exact(), 3, 3},
      {"range one unit higher", base,
       withRange(opaque(type, kBody), {1000, 2000, 0, 9000, 4001, 0}), exact(), 3, 3},
      {"other graphic group", base, withGraphicGroup(base, 12), exact(), 1, 1},
      {"with a database linkage", base, withOdbc(base, 3, 4711), exact(), 1, 1},
      {"complex bit set", base, withComplexBit(base), exact(), 1, 1},
      {"other colour", base, placed(type, kBody, {.colour = 6}), exact(), 2, 2},
      {"other level", base, placed(type, kBody, {.level = 8}), exact(), 2, 2},
      {"other level, level ignored", base, placed(type, kBody, {.level = 8}), ignoreLevel, 1, 1},
      {"locked against not", base, placed(type, kBody, {.properties = 0x0100}), exact(), 2, 2},
  };
  // clang-format on
}

TEST(DimensionCompareTest, Table) {
  runCases(dimensionCompare, sharedCases(33));
  // The switches play no part.
  CompareOptions all = overlapBy(1e6);
  all.allowReversed = all.allowUnderlap = true;
  runCases(dimensionCompare,
           {{"range one unit wider with every switch on", placed(33, kBody),
             withRange(opaque(33, kBody), {999, 2000, 0, 9000, 4000, 0}), all, 3, 3}});
}

TEST(SharedCellCompareTest, Table) {
  runCases(sharedCellCompare, sharedCases(35));
}

TEST(MultilineCompareTest, Table) {
  runCases(multilineCompare, sharedCases(36));
}

// Multilines given as chains of components.
ElmDscrPtr chain(const std::vector<Element>& components) {
  ElmDscrPtr header = descriptorOf(placed(36, kBody));
  for (const Element& c : components) header->components.push_back(*descriptorOf(c));
  return header;
}

TEST(MultilineCompareTest, ComponentChains) {
  const Element l1 = line({0, 0, 0}, {1000, 0, 0});
  const Element l2 = line({0, 100, 0}, {1000, 100, 0});
  const Element l3 = line({0, 200, 0}, {1000, 200, 0});
  const Element red = line({0, 0, 0}, {1000, 0, 0}, {.colour = 3});
  struct Case {
    const char* name;
    std::vector<Element> a, b;
    int aAgainstB, bAgainstA;
  };
  const std::vector<Case> cases = {
      {"same components", {l1, l2}, {l1, l2}, 1, 1},
      {"same components in another order", {l1, l2}, {l2, l1}, 1, 1},
      {"an extra component in the second", {l1, l2}, {l1, l2, l3}, 3, 3},
      {"an extra component in the first", {l1, l2, l3}, {l1, l2}, 3, 3},
      {"a component of another colour", {l1, l2}, {red, l2}, 3, 3},
      {"two components matching one", {l1, l1}, {l1, l2}, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ElmDscrPtr a = chain(c.a), b = chain(c.b);
    EXPECT_EQ(multilineCompare({a.get(), 0}, {b.get(), 0}, exact()), c.aAgainstB);
    EXPECT_EQ(multilineCompare({b.get(), 0}, {a.get(), 0}, exact()), c.bAgainstA);
  }
  // Ignoring colour lets the coloured component match.
  CompareOptions ignoreColour = exact();
  ignoreColour.ignore.color = true;
  const ElmDscrPtr a = chain({l1, l2}), b = chain({red, l2});
  EXPECT_EQ(multilineCompare({a.get(), 0}, {b.get(), 0}, ignoreColour), 1);
}

}  // namespace
}  // namespace kelvara
