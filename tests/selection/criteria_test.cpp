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
  enum Kind { Plain, Distance, DistanceInThousands, Scale };
  struct Case {
    const char* text;
    std::vector<double> holding, failing;
    Kind kind = Plain;
  };
  // "5" has no blank: no test; "= 7:3" written high-low: nothing is equal and everything is
  // not equal; "<" compares with LOW, ">" with HIGH; distances and cell scales are compared
  // within their tolerances.
  const Case cases[] = {
      {"", {5}, {}},
      {"5", {5}, {}},
      {"~ 5", {}, {5}},
      {"=  5", {5}, {}},
      {"< 5", {4}, {5}},
      {"<= 5", {5}, {6}},
      {">= 5", {5}, {4}},
      {"> 5", {6}, {5}},
      {"!= 5", {6}, {5}},
      {"= 3:7", {5}, {8}},
      {"= 7:3", {}, {5}},
      {"!= 7:3", {5, 100}, {}},
      {"< 3:7", {2}, {4}},
      {"<= 3:7", {3}, {}},
      {"> 3:7", {8}, {6}},
      {">= 3:7", {7}, {}},
      {"= -90", {-90}, {}},
      {"= 100", {}, {100.4}},
      {"= 100", {100.4}, {101.0}, Distance},
      {"= 100:200", {99.5}, {}, Distance},
      {"= 100", {100000.9}, {}, DistanceInThousands},
      {"!= 100", {100001.0}, {}, DistanceInThousands},
      {"< 100", {}, {100000.5}, DistanceInThousands},
      {"= 1", {1.00003}, {1.0001}, Scale},
  };
  for (const Case& c : cases) {
    const bool distance = c.kind == Distance || c.kind == DistanceInThousands;
    const WorkingUnits& units = c.kind == DistanceInThousands ? thousand : one;
    for (const bool holds : {true, false}) {
      for (double value : holds ? c.holding : c.failing) {
        EXPECT_EQ(constraintHolds(value, c.text, distance, units, c.kind == Scale), holds)
            << value << " against \"" << c.text << "\" (kind " << c.kind << ")";
      }
    }
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

  struct Case {
    const char* what;
    void (*edit)(SelectionSet&);
    const char* admitted;  // of oracle, dmrs, user, filled, bare: 1 admitted
  };
  const Case cases[] = {
      {"oracle identifier", [](SelectionSet& s) { s.database.toggles = 1; }, "10000"},
      {"xbase identifier", [](SelectionSet& s) { s.database.toggles = 2; }, "00000"},
      {"entity 12", [](SelectionSet& s) { s.database.linkageWord3 = "12"; }, "10000"},
      {"entity 13", [](SelectionSet& s) { s.database.linkageWord3 = "13"; }, "00000"},
      {"key", [](SelectionSet& s) { s.database.linkageKey = "69999-70001"; }, "10000"},
      {"words", [](SelectionSet& s) { s.database.linkageWords = "7"; }, "10000"},
      {"informational", [](SelectionSet& s) { s.database.toggles = 0x10; }, "00000"},
      {"dmrs entity", [](SelectionSet& s) { s.database.dmrsWord1 = "5"; }, "01000"},
      {"dmrs key", [](SelectionSet& s) { s.database.dmrsKey = "300"; }, "01000"},
      {"dmrs refused",
       [](SelectionSet& s) { s.database.dmrsWord1 = "5", s.database.toggles = 0x800; }, "00000"},
      {"user identifier", [](SelectionSet& s) { s.userData.texts[2] = "4660"; }, "00100"},
      {"user word 2", [](SelectionSet& s) { s.userData.texts[3] = "66"; }, "00100"},
      {"user words 7 skip fill and database", [](SelectionSet& s) { s.userData.texts[1] = "7"; },
       "10000"},
      {"either group",
       [](SelectionSet& s) { s.database.toggles = 1, s.userData.texts[2] = "4660"; }, "10100"},
  };
  const test::Element* elements[5] = {&oracle, &dmrs, &user, &filled, &bare};
  for (const Case& c : cases) {
    SelectionSet set = emptySelectionSet("S");
    c.edit(set);
    EXPECT_FALSE(linkageCriteriaEmpty(set)) << c.what;
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(linkagesAdmitted(set, bytesOf(*elements[i])), c.admitted[i] == '1')
          << c.what << ", element " << i;
    }
  }
  EXPECT_TRUE(linkageCriteriaEmpty(emptySelectionSet("E")));
}

}  // namespace
}  // namespace kelvara
