// Changing elements through the host: level and symbology of one element, of a descriptor with
// its components and of an element run; duplicates; copies added as new elements.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/design.h"
#include "host/element.h"
#include "support/dgn_builder.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

using test::Symb;

struct Fields {
  int level;
  uint32_t colour, weight;
  int32_t style;
  bool operator==(const Fields&) const = default;
};

Fields fieldsOf(const MSElementDescr& d) {
  Fields f{0, 0, 0, 0};
  ElementProperties p;
  (void)mdlElement_getProperties(&p, d);
  f.level = p.level;
  (void)mdlElement_getSymbology(&f.colour, &f.weight, &f.style, d);
  return f;
}

ElmDscrPtr descriptorOf(const std::vector<uint8_t>& run) {
  ElmDscrPtr d;
  EXPECT_EQ(mdlElmdscr_new(&d, dgn::Bytes(run.data(), run.size()), false), SUCCESS);
  return d;
}

// A line on level 7, colour 9, weight 4, style 3.
const Symb kLineSymb{.level = 7, .colour = 9, .weight = 4, .style = 3};

TEST(ElementSymbology, SetsOnlyTheGivenFieldsAndClampsToTheirRanges) {
  struct Case {
    const char* name;
    std::optional<uint32_t> colour, weight;
    std::optional<int32_t> style;
    Fields expected;
  };
  const std::vector<Case> cases = {
      {"nothing given keeps all", {}, {}, {}, {7, 9, 4, 3}},
      {"colour only", 200u, {}, {}, {7, 200, 4, 3}},
      {"weight only", {}, 31u, {}, {7, 9, 31, 3}},
      {"style only", {}, {}, 0, {7, 9, 4, 0}},
      {"all three", 1u, 2u, 5, {7, 1, 2, 5}},
      {"colour above 255", 300u, {}, {}, {7, 255, 4, 3}},
      {"weight above 31", {}, 32u, {}, {7, 9, 31, 3}},
      {"style above 7", {}, {}, 9, {7, 9, 4, 7}},
      {"negative style", {}, {}, -2, {7, 9, 4, 0}},
  };
  for (const Case& c : cases) {
    ElmDscrPtr d = descriptorOf(test::line({0, 0}, {10, 10}, kLineSymb));
    ASSERT_EQ(
        mdlElement_setSymbology(d.get(), c.colour ? &*c.colour : nullptr,
                                c.weight ? &*c.weight : nullptr, c.style ? &*c.style : nullptr),
        SUCCESS)
        << c.name;
    EXPECT_EQ(fieldsOf(*d), c.expected) << c.name;
  }
}

TEST(ElementSymbology, RefusesElementsWithoutDisplayHeaderAndLeavesThemAlone) {
  // A level symbology element (type 10) has no display header.
  const std::vector<uint8_t> levels = test::opaque(10, std::vector<uint8_t>(40, 0x11));
  ElmDscrPtr d = descriptorOf(levels);
  const uint32_t colour = 5;
  EXPECT_EQ(mdlElement_setSymbology(d.get(), &colour, nullptr, nullptr), ERROR);
  EXPECT_EQ(d->bytes, levels);
  EXPECT_EQ(mdlElement_setSymbology(nullptr, &colour, nullptr, nullptr), ERROR);
}

TEST(ElementProperties, SetsTheLevelWithinItsRange) {
  struct Case {
    int level;
    int status;
    int expected;
  };
  for (const Case& c : std::vector<Case>{
           {0, SUCCESS, 0}, {1, SUCCESS, 1}, {63, SUCCESS, 63}, {64, ERROR, 7}, {-1, ERROR, 7}}) {
    ElmDscrPtr d = descriptorOf(test::line({0, 0}, {10, 10}, kLineSymb));
    EXPECT_EQ(mdlElement_setProperties(d.get(), &c.level), c.status) << c.level;
    EXPECT_EQ(fieldsOf(*d), (Fields{c.expected, 9, 4, 3})) << c.level;
  }
  ElmDscrPtr d = descriptorOf(test::line({0, 0}, {10, 10}, kLineSymb));
  EXPECT_EQ(mdlElement_setProperties(d.get(), nullptr), SUCCESS);  // keeps the level
  EXPECT_EQ(fieldsOf(*d).level, 7);
}

// A cell of two lines: the header and the components start with other symbologies.
std::vector<uint8_t> doorCell() {
  return test::cell("DOOR", {0, 0},
                    {test::line({0, 0}, {1, 1}, Symb{.level = 8, .colour = 2}),
                     test::line({1, 1}, {2, 0}, Symb{.level = 9, .weight = 6})},
                    Symb{.level = 7, .colour = 9, .weight = 4, .style = 3});
}

TEST(DescriptorChange, ReachesEveryComponentWhileTheElementCallStopsAtTheHeader) {
  const uint32_t colour = 4;
  const int level = 12;
  ElmDscrPtr header = descriptorOf(doorCell());
  ASSERT_EQ(mdlElement_setSymbology(header.get(), &colour, nullptr, nullptr), SUCCESS);
  ASSERT_EQ(mdlElement_setProperties(header.get(), &level), SUCCESS);
  EXPECT_EQ(fieldsOf(*header), (Fields{12, 4, 4, 3}));
  ASSERT_EQ(header->components.size(), 2u);
  EXPECT_EQ(fieldsOf(header->components[0]), (Fields{8, 2, 0, 0}));

  ElmDscrPtr whole = descriptorOf(doorCell());
  ASSERT_EQ(mdlElmdscr_setSymbology(whole.get(), &colour, nullptr, nullptr), SUCCESS);
  ASSERT_EQ(mdlElmdscr_setProperties(whole.get(), &level), SUCCESS);
  EXPECT_EQ(fieldsOf(*whole), (Fields{12, 4, 4, 3}));
  EXPECT_EQ(fieldsOf(whole->components[0]), (Fields{12, 4, 0, 0}));
  EXPECT_EQ(fieldsOf(whole->components[1]), (Fields{12, 4, 6, 0}));
  const int bad = 70;
  EXPECT_EQ(mdlElmdscr_setProperties(whole.get(), &bad), ERROR);
  EXPECT_EQ(fieldsOf(whole->components[1]).level, 12);
}

TEST(DescriptorChange, RunChangeGivesTheSameBytesAsTheDescriptorCalls) {
  SymbologyChange change;
  change.level = 33;
  change.colour = 300;  // clamped
  change.style = 6;
  std::vector<uint8_t> run = doorCell();
  applySymbologyChange(run, change);

  ElmDscrPtr d = descriptorOf(doorCell());
  const uint32_t colour = 300;
  const int32_t style = 6;
  ASSERT_EQ(mdlElmdscr_setProperties(d.get(), &change.level), SUCCESS);
  ASSERT_EQ(mdlElmdscr_setSymbology(d.get(), &colour, nullptr, &style), SUCCESS);
  EXPECT_EQ(run, elementRun(*d));
  ElmDscrPtr back = descriptorOf(run);
  EXPECT_EQ(fieldsOf(*back), (Fields{33, 255, 4, 6}));
  EXPECT_EQ(fieldsOf(back->components[1]), (Fields{33, 255, 6, 6}));
  EXPECT_TRUE(back->components[0].isComponent);

  // Level 0 and no symbology: the run stays as it is.
  std::vector<uint8_t> same = doorCell();
  applySymbologyChange(same, SymbologyChange{});
  EXPECT_EQ(same, doorCell());
}

struct DescriptorDuplicate : test::FreshDesigns {};

TEST_F(DescriptorDuplicate, IsIndependentAndBelongsToNoFile) {
  test::DesignBuilder b;
  b.add(doorCell());
  ASSERT_EQ(mdlSystem_newDesignFile(write("a.dgn", b)), SUCCESS);
  const ModelRef m = mdlModelRef_getActive();
  ElmDscrPtr original;
  ASSERT_EQ(mdlElmdscr_read(&original, b.positionOf(0), m), SUCCESS);
  ElmDscrPtr copy;
  ASSERT_EQ(mdlElmdscr_duplicate(&copy, *original), SUCCESS);
  EXPECT_EQ(copy->filePosition, 0u);
  EXPECT_EQ(elementRun(*copy), elementRun(*original));
  const uint32_t colour = 1;
  ASSERT_EQ(mdlElmdscr_setSymbology(copy.get(), &colour, nullptr, nullptr), SUCCESS);
  EXPECT_EQ(fieldsOf(*original).colour, 9u);
  EXPECT_EQ(fieldsOf(original->components[0]).colour, 2u);
  EXPECT_EQ(mdlElmdscr_duplicate(nullptr, *original), ERROR);
}

}  // namespace
}  // namespace kelvara
