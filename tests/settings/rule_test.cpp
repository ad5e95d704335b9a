#include "settings/rule_test.h"

#include <gtest/gtest.h>

#include <string>

#include "host/design.h"
#include "host/state.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"
#include "valuelist/element_tests.h"
#include "valuelist/valuelist.h"

namespace kelvara {
namespace {

using test::Symb;

// An active 2D design file whose level 5 is named "Walls", and descriptors of elements in it.
class ElementTests : public ::testing::Test {
 protected:
  test::ScratchDir dir;
  ModelRef model = 0;
  int walls = 0;

  void SetUp() override {
    resetHostState();
    resetDesignState();
    valueList_clearCache();
    ASSERT_TRUE(test::DesignBuilder{}.write(dir.file("plan.dgn")));
    ASSERT_EQ(mdlSystem_newDesignFile(dir.file("plan.dgn")), SUCCESS);
    model = mdlModelRef_getActive();
    for (const char* name : {"L1", "L2", "L3", "L4", "Walls"}) {
      ASSERT_EQ(mdlLevel_create(&walls, model, name), SUCCESS);
    }
    ASSERT_EQ(walls, 5);
  }
  void TearDown() override {
    resetDesignState();
    valueList_clearCache();
  }
  ElmDscrPtr element(const test::Element& bytes) {
    ElmDscrPtr d;
    EXPECT_EQ(mdlElmdscr_new(&d, bytes, false), SUCCESS);
    if (d) d->modelRef = model;
    return d;
  }
  ElmDscrPtr line(Symb s) { return element(test::line({0, 0}, {1000, 0}, s)); }
};

TEST_F(ElementTests, LevelByNumberAndByName) {
  const ElmDscrPtr onWalls = line({.level = 5});
  const ElmDscrPtr onSeven = line({.level = 7});  // no name
  struct Case {
    const char* list;
    bool walls;
    bool seven;
  };
  const Case cases[] = {
      {"", true, true},           {"5", true, false},         {"1-6", true, false},
      {"7", false, true},         {"\"walls\"", true, false}, {"wal*", true, false},
      {"\"Wall\"", false, false}, {"wal*, 7", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(elementLevelPasses(c.list, *onWalls), c.walls) << c.list;
    EXPECT_EQ(elementLevelPasses(c.list, *onSeven), c.seven) << c.list;
  }
}

TEST_F(ElementTests, ColourWeightAndStyleLists) {
  const ElmDscrPtr e = line({.level = 1, .colour = 3, .weight = 2, .style = 4});
  struct Case {
    const char* list;
    bool colour;
    bool weight;
    bool style;
  };
  const Case cases[] = {
      {"", true, true, true},       {"3", true, false, false}, {"2", false, true, false},
      {"4", false, false, true},    {"0:4", true, true, true}, {"bylevel", false, false, false},
      {"5-7", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(elementColorPasses(c.list, *e), c.colour) << c.list;
    EXPECT_EQ(elementWeightPasses(c.list, *e), c.weight) << c.list;
    EXPECT_EQ(elementStylePasses(c.list, *e), c.style) << c.list;
  }
}

TEST_F(ElementTests, CellsNeverPassANonEmptyColourWeightOrStyleList) {
  const ElmDscrPtr c =
      element(test::cell("DOOR", {0, 0}, {test::line({0, 0}, {10, 0})}, {.level = 5, .colour = 3}));
  ASSERT_EQ(mdlElement_getType(*c), 2);
  EXPECT_FALSE(elementColorPasses("0-255", *c));
  EXPECT_FALSE(elementWeightPasses("0-31", *c));
  EXPECT_FALSE(elementStylePasses("0-7", *c));
  EXPECT_TRUE(elementColorPasses("", *c));
  EXPECT_TRUE(elementLevelPasses("walls", *c));  // the level test still applies
  EXPECT_TRUE(typeIgnoresColorAndStyle(35));
  EXPECT_TRUE(typeIgnoresColorAndStyle(87));
  EXPECT_FALSE(typeIgnoresColorAndStyle(3));
}

TEST(HostSymbologyNumber, ByLevelColourAndWeightMatchTheKeywordBylevel) {
  EXPECT_EQ(hostSymbologyNumber(0xFFFFFFFFu), -1.0);
  EXPECT_EQ(hostSymbologyNumber(0xFFFFFFFEu), 4294967294.0);  // by cell stays a number
  EXPECT_EQ(hostSymbologyNumber(7), 7.0);
  EXPECT_TRUE(
      valueList_match("bylevel", VL_COLOR_FLAGS, true, hostSymbologyNumber(0xFFFFFFFFu), nullptr));
  EXPECT_FALSE(
      valueList_match("bylevel", VL_COLOR_FLAGS, true, hostSymbologyNumber(0xFFFFFFFEu), nullptr));
  EXPECT_FALSE(
      valueList_match("0-255", VL_WEIGHT_FLAGS, true, hostSymbologyNumber(0xFFFFFFFFu), nullptr));
}

TEST_F(ElementTests, RulePassesWhenEveryListInUsePasses) {
  const ElmDscrPtr e = line({.level = 5, .colour = 3, .weight = 2, .style = 1});
  struct Case {
    const char* name;
    SymbologyRule rule;
    bool expected;
  };
  auto rule = [](int useL, const char* l, int useC, const char* c, int useW, const char* w,
                 int useS, const char* s) {
    SymbologyRule r;
    r.useLevel = useL;
    r.level.assign(l);
    r.useColor = useC;
    r.color.assign(c);
    r.useWeight = useW;
    r.weight.assign(w);
    r.useStyle = useS;
    r.style.assign(s);
    return r;
  };
  const Case cases[] = {
      {"no flag on", rule(0, "9", 0, "9", 0, "9", 0, "9"), true},
      {"all match", rule(1, "walls", 1, "3", 1, "2", 1, "1"), true},
      {"level fails", rule(1, "6", 1, "3", 1, "2", 1, "1"), false},
      {"colour fails", rule(1, "5", 1, "4", 0, "", 0, ""), false},
      {"weight fails", rule(0, "", 0, "", 1, "0,1", 0, ""), false},
      {"style fails", rule(0, "", 1, "3", 0, "", 1, "0"), false},
      {"flag off ignores its failing list", rule(0, "6", 1, "3", 0, "9", 0, "9"), true},
      {"empty list in use passes", rule(1, "", 1, "", 1, "", 1, ""), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(symbologyRulePasses(c.rule, *e), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace kelvara
