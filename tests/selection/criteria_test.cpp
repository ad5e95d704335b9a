// The single selection tests: numeric constraints, integer lists, the coordinate box, class,
// property and linkage criteria.
#include "selection/criteria.h"

#include <gtest/gtest.h>

#include "host/dgn/build.h"
#include "selection/labels.h"
#include "tests/support/dgn_builder.h"

namespace kelvara {
namespace {

TEST(SelectionCriteria, NumericConstraints) {
  const WorkingUnits one;  // 1 UOR per working unit
  WorkingUnits thousand;
  thousand.uorPerMaster = 1000;
  struct Case {
    double value;
    const char* text;
    bool isDistance;
    const WorkingUnits& units;
    bool scale;
    bool expected;
  };
  const Case cases[] = {
      {5, "", false, one, false, true},
      {5, "5", false, one, false, true},  // no blank: no test
      {5, "~ 5", false, one, false, false},
      {5, "=  5", false, one, false, true},
      {100.4, "= 100", true, one, false, true},  // within the distance tolerance
      {101.0, "= 100", true, one, false, false},
      {100.4, "= 100", false, one, false, false},
      {100000.9, "= 100", true, thousand, false, true},
      {100001.0, "!= 100", true, thousand, false, true},
      {100000.5, "< 100", true, thousand, false, false},
      {4, "< 5", false, one, false, true},
      {5, "< 5", false, one, false, false},
      {5, "<= 5", false, one, false, true},
      {6, "<= 5", false, one, false, false},
      {4, ">= 5", false, one, false, false},
      {5, ">= 5", false, one, false, true},
      {6, "> 5", false, one, false, true},
      {5, "> 5", false, one, false, false},
      {5, "!= 5", false, one, false, false},
      {6, "!= 5", false, one, false, true},
      {5, "= 3:7", false, one, false, true},
      {8, "= 3:7", false, one, false, false},
      {5, "= 7:3", false, one, false, false},  // written high-low: nothing is equal
      {5, "!= 7:3", false, one, false, true},  // ... and everything is not equal
      {100, "!= 7:3", false, one, false, true},
      {2, "< 3:7", false, one, false, true},  // less than compares with LOW
      {4, "< 3:7", false, one, false, false},
      {3, "<= 3:7", false, one, false, true},
      {8, "> 3:7", false, one, false, true},  // greater than compares with HIGH
      {6, "> 3:7", false, one, false, false},
      {7, ">= 3:7", false, one, false, true},
      {99.5, "= 100:200", true, one, false, true},
      {1.00003, "= 1", false, one, true, true},  // cell scale tolerance
      {1.0001, "= 1", false, one, true, false},
      {-90, "= -90", false, one, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(constraintHolds(c.value, c.text, c.isDistance, c.units, c.scale), c.expected)
        << c.value << " against \"" << c.text << "\"" << (c.isDistance ? " (distance)" : "");
  }
  // Every operator label has no inner blank and ends with one blank.
  for (std::string_view label : operatorLabels()) {
    ASSERT_GE(label.size(), 2u);
    EXPECT_EQ(label.find(' '), label.size() - 1) << label;
  }
}

TEST(SelectionCriteria, IntegerListTest) {
  struct Case {
    const char* text;
    int64_t n;
    int expected;
  };
  const Case cases[] = {
      {"1, 3-5, 9:7", 1, 1},  {"1, 3-5, 9:7", 2, 0},
      {"1, 3-5, 9:7", 4, 1},  {"1, 3-5, 9:7", 8, 1},
      {"1, 3-5, 9:7", 10, 0}, {"  7  ", 7, 1},
      {"7,,8", 8, 1},         {"", 0, 0},
      {"a", 1, ERROR},        {"-5", 5, ERROR},
      {"1 -5", 5, ERROR},     {"4294967295", 4294967295LL, 1},
      {"5-", 5, 1},           {"12", 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(inList(c.text, c.n), c.expected) << "\"" << c.text << "\" with " << c.n;
  }
}

TEST(SelectionCriteria, IntegerListCheckRewritesAndBounds) {
  struct Case {
    const char* text;
    const char* rewritten;
    bool ok;
    const char* errorPart;
  };
  const Case cases[] = {
      {" 1 , 2:5,,7 ", "1,2-5,7", true, ""},
      {"9-3", "9-3", true, ""},
      {"", "", true, ""},
      {"1x", "1x", false, "'x'"},
      {"70000", "70000", false, "0 to 65535"},
      {"05", "05", false, "\"05\""},
      {"1--3", "1--3", false, "0 to 65535"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    std::string error;
    EXPECT_EQ(checkIntegerList(&text, 0, 65535, &error) == SUCCESS, c.ok) << c.text;
    EXPECT_EQ(text, c.rewritten);
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << error;
  }
}

TEST(SelectionCriteria, CoordinateBox) {
  double box[6];
  ASSERT_TRUE(readSixNumbers("1, 2,3 4,5,6", box));
  EXPECT_EQ(box[5], 6);
  EXPECT_FALSE(readSixNumbers("1,2,3", box));
  EXPECT_FALSE(readSixNumbers("1,2,3,4,5,6,7", box));
  EXPECT_FALSE(readSixNumbers("1,a,3,4,5,6", box));

  WorkingUnits units;
  units.uorPerMaster = 10;
  units.globalOrigin = {1000, 1000, 0};
  const double corners[6] = {10, 10, 0, 0, 0, 5};  // written high-low in X and Y
  // Box in UOR: 1000..1100 in X and Y, 0..50 in Z.
  DRange3d inside{1000, 1050, 0, 1100, 1100, 50};
  DRange3d outside{999, 1050, 0, 1100, 1100, 50};
  DRange3d deep{1000, 1050, 0, 1100, 1100, 51};
  EXPECT_TRUE(insideBox(inside, corners, units, true));
  EXPECT_FALSE(insideBox(outside, corners, units, true));
  EXPECT_FALSE(insideBox(deep, corners, units, true));
  EXPECT_TRUE(insideBox(deep, corners, units, false));  // Z only counts in 3D
}

dgn::Bytes bytesOf(const test::Element& e) {
  return dgn::Bytes(e.data(), e.size());
}

TEST(SelectionCriteria, ClassesAndProperties) {
  using test::line;
  const test::Element plain = line({0, 0}, {10, 0});
  const test::Element classFour = line({0, 0}, {10, 0}, {.properties = 4});
  const test::Element lockedNew = line({0, 0}, {10, 0}, {.properties = 0x0100 | 0x0200});
  const test::Element hole = line({0, 0}, {10, 0}, {.properties = 0x8000 | 0x4000});
  const test::Element linked = test::withDmrs(line({0, 0}, {10, 0}), 3, 4);

  EXPECT_TRUE(classAdmitted(0, bytesOf(classFour)));
  EXPECT_TRUE(classAdmitted(1u << 4, bytesOf(classFour)));
  EXPECT_FALSE(classAdmitted(1u << 0, bytesOf(classFour)));
  EXPECT_TRUE(classAdmitted(1u << 0, bytesOf(plain)));

  struct Case {
    uint32_t mask;
    const test::Element& element;
    bool expected;
  };
  const Case cases[] = {
      {0x1, lockedNew, true}, {0x1, plain, false},
      {0x2, plain, true},     {0x3, plain, true},
      {0x4, lockedNew, true}, {0x8, lockedNew, false},
      {0x40, linked, true},   {0x80, linked, false},
      {0x80, plain, true},    {0x400, plain, true},
      {0x400, hole, true},                           // 0x2000 clear
      {0x1000, hole, false},  {0x2000, hole, true},  // 0x4000 set
      {0x4000, hole, false},  {0x8000, hole, true},
      {0x8000, plain, false}, {0x1 | 0x4000, lockedNew, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(propertiesAdmitted(c.mask, bytesOf(c.element)), c.expected)
        << std::hex << "mask 0x" << c.mask;
  }
}

// A user linkage of the given words (the header word first).
test::Element withUserLinkage(test::Element e, const std::vector<uint16_t>& words) {
  std::vector<uint8_t> linkage(words.size() * 2);
  for (size_t i = 0; i < words.size(); ++i) dgn::writeU16(linkage.data() + 2 * i, words[i]);
  dgn::appendLinkage(e, linkage);
  return e;
}

TEST(SelectionCriteria, LinkageGroups) {
  using test::line;
  const test::Element oracle = [] {
    test::Element e = line({0, 0}, {10, 0});
    dgn::appendLinkage(e, dgn::makeDatabaseLinkage(dgn::LINKAGE_ID_ORACLE, 12, 70000));
    return e;
  }();
  const test::Element dmrs = test::withDmrs(line({0, 0}, {10, 0}), 5, 300);
  const test::Element user = withUserLinkage(line({0, 0}, {10, 0}), {0x1003, 0x1234, 0x42, 7});
  const test::Element filled = test::withFill(test::shape({{0, 0}, {9, 0}, {9, 9}, {0, 0}}), 3);
  const test::Element bare = line({0, 0}, {10, 0});

  auto set = [](auto edit) {
    SelectionSet s = emptySelectionSet("S");
    edit(s);
    return s;
  };
  struct Case {
    const char* what;
    SelectionSet set;
    std::array<bool, 5> expected;  // oracle, dmrs, user, filled, bare
  };
  const Case cases[] = {
      {"oracle identifier",
       set([](SelectionSet& s) { s.database.toggles = 1; }),
       {true, false, false, false, false}},
      {"xbase identifier",
       set([](SelectionSet& s) { s.database.toggles = 2; }),
       {false, false, false, false, false}},
      {"entity 12",
       set([](SelectionSet& s) { s.database.linkageWord3 = "12"; }),
       {true, false, false, false, false}},
      {"entity 13",
       set([](SelectionSet& s) { s.database.linkageWord3 = "13"; }),
       {false, false, false, false, false}},
      {"key",
       set([](SelectionSet& s) { s.database.linkageKey = "69999-70001"; }),
       {true, false, false, false, false}},
      {"words",
       set([](SelectionSet& s) { s.database.linkageWords = "7"; }),
       {true, false, false, false, false}},
      {"informational",
       set([](SelectionSet& s) { s.database.toggles = 0x10; }),
       {false, false, false, false, false}},
      {"dmrs entity",
       set([](SelectionSet& s) { s.database.dmrsWord1 = "5"; }),
       {false, true, false, false, false}},
      {"dmrs key",
       set([](SelectionSet& s) { s.database.dmrsKey = "300"; }),
       {false, true, false, false, false}},
      {"dmrs refused",
       set([](SelectionSet& s) {
         s.database.dmrsWord1 = "5";
         s.database.toggles = 0x800;
       }),
       {false, false, false, false, false}},
      {"user identifier",
       set([](SelectionSet& s) { s.userData.texts[2] = "4660"; }),
       {false, false, true, false, false}},
      {"user word 2",
       set([](SelectionSet& s) { s.userData.texts[3] = "66"; }),
       {false, false, true, false, false}},
      {"user words 7 skip fill and database",
       set([](SelectionSet& s) { s.userData.texts[1] = "7"; }),
       {true, false, false, false, false}},
      {"either group",
       set([](SelectionSet& s) {
         s.database.toggles = 1;
         s.userData.texts[2] = "4660";
       }),
       {true, false, true, false, false}},
  };
  const test::Element* elements[5] = {&oracle, &dmrs, &user, &filled, &bare};
  for (const Case& c : cases) {
    EXPECT_FALSE(linkageCriteriaEmpty(c.set)) << c.what;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(linkagesAdmitted(c.set, bytesOf(*elements[i])), c.expected[i])
          << c.what << ", element " << i;
    }
  }
  EXPECT_TRUE(linkageCriteriaEmpty(emptySelectionSet("E")));
}

}  // namespace
}  // namespace kelvara
