#include "valuelist/valuelist.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "host/types.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

bool matches(const std::string& text, uint32_t flags, double number) {
  return valueList_match(text, flags, false, number, nullptr);
}

bool matchesName(const std::string& text, uint32_t flags, const std::string& name) {
  return valueList_match(text, flags, false, -1.0, &name);
}

// ---- Numbers and ranges --------------------------------------------------------------------

struct RangeCase {
  const char* item;
  bool numeric;
  double low;
  double high;
};

TEST(ValueListRange, ItemsAreNumericOnlyInTheirShortestIntegerForm) {
  const RangeCase cases[] = {
      {"5", true, 5, 5},       {"-5", true, -5, -5},   {"3-7", true, 3, 7},
      {"7-3", true, 3, 7},     {"3:7", true, 3, 7},    {"-5-3", true, -5, 3},
      {"3--5", true, -5, 3},   {"0", true, 0, 0},      {"0-0", true, 0, 0},
      {"1e2", true, 100, 100}, {"1.5", false, 0, 0},   {"05", false, 0, 0},
      {"+5", false, 0, 0},     {"3-7x", false, 0, 0},  {"3x", false, 0, 0},
      {"3-", false, 0, 0},     {"-", false, 0, 0},     {"-0", false, 0, 0},
      {"3-a", false, 0, 0},    {"inf", false, 0, 0},   {"nan", false, 0, 0},
      {"-inf", false, 0, 0},   {"1e400", false, 0, 0}, {"3 - 7", false, 0, 0},
      {"0x10", false, 0, 0},   {"a5", false, 0, 0},
  };
  for (const RangeCase& c : cases) {
    ValueRange r{-99, -99};
    EXPECT_EQ(valueList_parseRange(c.item, &r), c.numeric) << c.item;
    if (c.numeric) {
      EXPECT_EQ(r.low, c.low) << c.item;
      EXPECT_EQ(r.high, c.high) << c.item;
    }
  }
}

TEST(ValueListMatch, NumbersAndRangesWithTheirEnds) {
  const std::string text = "1-3, 7, 10:12";
  std::vector<int> admitted;
  for (int n = -2; n <= 15; ++n) {
    if (matches(text, VL_COLOR_FLAGS, n)) admitted.push_back(n);
  }
  EXPECT_EQ(admitted, (std::vector<int>{1, 2, 3, 7, 10, 11, 12}));
}

TEST(ValueListMatch, EmptyTextOrListWithoutItemsAdmitsEverything) {
  for (const char* text : {"", "   ", " , ,, ", ",", "\t,\t"}) {
    for (uint32_t flags : {VL_LEVEL_FLAGS, VL_COLOR_FLAGS, VL_STYLE_FLAGS}) {
      EXPECT_TRUE(matches(text, flags, 12345)) << "'" << text << "' flags " << flags;
      EXPECT_TRUE(matchesName(text, flags, "anything")) << "'" << text << "'";
    }
  }
  std::unique_ptr<ValueList> list;
  EXPECT_EQ(valueList_parse(&list, "", VL_LEVEL_FLAGS, true), SUCCESS);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(valueList_parse(&list, " , ,, ", VL_LEVEL_FLAGS, true), SUCCESS);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->rangeCount, 0);
  EXPECT_TRUE(list->names.empty());
}

TEST(ValueListParse, SixtyFifthNumberFailsAndTheFirstSixtyFourStillMatch) {
  std::string text;
  for (int i = 0; i <= 64; ++i) text += std::to_string(i) + ",";
  std::unique_ptr<ValueList> list;
  EXPECT_EQ(valueList_parse(&list, text, VL_COLOR_FLAGS, false), ERROR);
  EXPECT_EQ(valueList_lastError(), "Too many numeric values. Only 64 values are supported.");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->rangeCount, 64);
  EXPECT_TRUE(matches(text, VL_COLOR_FLAGS, 0));
  EXPECT_TRUE(matches(text, VL_COLOR_FLAGS, 63));
  EXPECT_FALSE(matches(text, VL_COLOR_FLAGS, 64));
  EXPECT_EQ(valueList_validate(text, VL_COLOR_FLAGS, 0, 255), ERROR);
}

// ---- Names, patterns and bylevel -----------------------------------------------------------

TEST(ValueListParse, ItemErrorsCarryTheirExactTexts) {
  struct Case {
    const char* text;
    uint32_t flags;
    const char* error;
  };
  const Case cases[] = {
      {"\"Walls", VL_LEVEL_FLAGS, "Name is not complete."},
      {"\"\"", VL_LEVEL_FLAGS, "String is empty."},
      {"red", VL_COLOR_FLAGS, "Syntax is not recognized."},
      {"\"red\"", VL_COLOR_FLAGS, "Syntax is not recognized."},
      {"1.5", VL_WEIGHT_FLAGS, "Syntax is not recognized."},
  };
  for (const Case& c : cases) {
    std::unique_ptr<ValueList> list;
    EXPECT_EQ(valueList_parse(&list, c.text, c.flags, true), ERROR) << c.text;
    EXPECT_EQ(valueList_lastError(), c.error) << c.text;
    EXPECT_EQ(valueList_validate(c.text, c.flags, 0, 255), ERROR) << c.text;
    EXPECT_EQ(valueList_lastError(), c.error) << c.text;
  }
}

TEST(ValueListParse, StopAtFirstErrorKeepsEarlierItemsAndOtherwiseGoesOn) {
  std::unique_ptr<ValueList> list;
  EXPECT_EQ(valueList_parse(&list, "1, red, 3", VL_COLOR_FLAGS, true), ERROR);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->rangeCount, 1);
  EXPECT_EQ(valueList_parse(&list, "1, red, 3", VL_COLOR_FLAGS, false), ERROR);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->rangeCount, 2);
  // Matching uses what parsed: 3 is admitted, 2 is not.
  EXPECT_TRUE(matches("1, red, 3", VL_COLOR_FLAGS, 3));
  EXPECT_FALSE(matches("1, red, 3", VL_COLOR_FLAGS, 2));
  // An expression holding only the refused item parses to an empty list: admits everything.
  EXPECT_TRUE(matches("red", VL_COLOR_FLAGS, 77));
}

TEST(ValueListMatch, QuotedNameKeepsCaseButMatchesAnyCaseUnquotedIsAPattern) {
  std::unique_ptr<ValueList> list;
  ASSERT_EQ(valueList_parse(&list, "\"Walls\" trailing, Door*", VL_LEVEL_FLAGS, true), SUCCESS);
  ASSERT_EQ(list->names.size(), 2u);
  EXPECT_EQ(list->names[0].text, "Walls");
  EXPECT_EQ(list->names[0].kind, NameKind::Normal);
  EXPECT_EQ(list->names[1].text, "door*");
  EXPECT_EQ(list->names[1].kind, NameKind::Wildcard);

  struct Case {
    const char* text;
    const char* name;
    bool expected;
  };
  const Case cases[] = {
      {"\"Walls\"", "walls", true},
      {"\"Walls\"", "WALLS", true},
      {"\"Walls\"", "Wall", false},
      {"\"Wall*\"", "Walls", false},
      {"\"Wall*\"", "wall*", true},
      {"Wall*", "WALLS-2", true},
      {"v-?uel", "V-FUEL", true},
      {"v-?uel", "V-FUELS", false},
      {"*rail", "v-rail", true},
      {"*rail", "rails", false},
      {"walls?", "wall", true},
      {"wall.", "walls", true},
      {"wall[0-9]", "Wall7", true},
      {"wall[0-9]", "Walls", false},
      {"(unclosed", "(unclosed", true},  // not an expression, but the wildcard takes it
      {"1-3", "2", false},               // a range never matches by name
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matchesName(c.text, VL_LEVEL_FLAGS, c.name), c.expected)
        << c.text << " vs " << c.name;
  }
  // Without a name only the numbers can match.
  EXPECT_FALSE(matches("Walls", VL_LEVEL_FLAGS, 5));
}

TEST(ValueListMatch, HostilePatternAnswersPromptly) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(matchesName("(a*)*b", VL_LEVEL_FLAGS, std::string(40, 'a')));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ValueListMatch, ByLevelAdmitsTheByLevelNumberOfItsListKind) {
  struct Case {
    const char* text;
    uint32_t flags;
    double number;
    bool expected;
  };
  const Case cases[] = {
      {"bylevel", VL_COLOR_FLAGS, -1, true},
      {"ByLevel", VL_COLOR_FLAGS, -1, true},
      {"BYLEVEL", VL_WEIGHT_FLAGS, -1, true},
      {"bylevel", VL_COLOR_FLAGS, 0, false},
      {"bylevel", VL_COLOR_FLAGS, 2147483647, false},
      {"bylevel, 3", VL_COLOR_FLAGS, 3, true},
      {"bylevel", VL_STYLE_FLAGS, 2147483647, true},
      {"bylevel", VL_STYLE_FLAGS, -1, false},
      {"bylevel", VL_STYLE_FLAGS | VL_LISTFILE, 2147483647, false},  // only exactly 11
      {"bylevel", VL_LEVEL_FLAGS, -1, false},                        // a pattern for levels
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matches(c.text, c.flags, c.number), c.expected)
        << c.text << " flags " << c.flags << " number " << c.number;
  }
  EXPECT_TRUE(matchesName("bylevel", VL_LEVEL_FLAGS, "ByLevel"));
}

// ---- List files ----------------------------------------------------------------------------

class ValueListFile : public ::testing::Test {
 protected:
  test::ScratchDir dir;
  std::string write(const std::string& name, const std::string& content) {
    std::ofstream(dir.file(name), std::ios::binary) << content;
    return dir.file(name);
  }
};

TEST_F(ValueListFile, LinesOfTheFileGiveTheUnionOfTheirItems) {
  const std::string file = write("levels.lst", "1-3\r\n\"Walls\", 10\n\nv-*\n");
  const std::string text = "@" + file;
  EXPECT_TRUE(matches(text, VL_LEVEL_FLAGS, 2));
  EXPECT_TRUE(matches(text, VL_LEVEL_FLAGS, 10));
  EXPECT_FALSE(matches(text, VL_LEVEL_FLAGS, 4));
  EXPECT_TRUE(matchesName(text, VL_LEVEL_FLAGS, "WALLS"));
  EXPECT_TRUE(matchesName(text, VL_LEVEL_FLAGS, "v-fuel"));
  EXPECT_FALSE(matchesName(text, VL_LEVEL_FLAGS, "roads"));
  // Without VL_LISTFILE the at sign starts an ordinary pattern.
  EXPECT_FALSE(matches(text, VL_STYLE_FLAGS, 2));
}

TEST_F(ValueListFile, LongSingleLineIsReadWhole) {
  std::string line;
  for (int i = 0; i < 1200; ++i) line += "\"level-name-" + std::to_string(i) + "\",";
  ASSERT_GT(line.size(), 8191u);
  const std::string text = "@" + write("long.lst", line);
  EXPECT_TRUE(matchesName(text, VL_LEVEL_FLAGS, "level-name-1199"));
  EXPECT_TRUE(matchesName(text, VL_LEVEL_FLAGS, "level-name-600"));
}

TEST_F(ValueListFile, MissingAndFailingFilesReportNameAndLine) {
  std::unique_ptr<ValueList> list;
  const std::string missing = dir.file("none.lst");
  EXPECT_EQ(valueList_parse(&list, "@" + missing, VL_LEVEL_FLAGS, true), ERROR);
  EXPECT_EQ(valueList_lastError(), "Unable to find file " + missing);

  const std::string bad = write("bad.lst", "1\n\"open\n5\n");
  EXPECT_EQ(valueList_parse(&list, "@" + bad, VL_LEVEL_FLAGS, true), ERROR);
  EXPECT_EQ(valueList_lastError(), "Error in " + bad + ", line 2: Name is not complete.");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->rangeCount, 1);  // line 3 not read

  EXPECT_EQ(valueList_parse(&list, "@" + bad, VL_LEVEL_FLAGS, false), ERROR);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->rangeCount, 2);  // reading went on to line 3
  EXPECT_TRUE(matches("@" + bad, VL_LEVEL_FLAGS, 5));
}

// ---- Validation ----------------------------------------------------------------------------

TEST(ValueListValidate, RangesMustLieWithinTheBounds) {
  struct Case {
    const char* text;
    double lower;
    double upper;
    int status;
  };
  const Case cases[] = {
      {"0-255", 0, 255, SUCCESS}, {"256", 0, 255, ERROR},      {"3-300", 0, 255, ERROR},
      {"-1", 0, 255, ERROR},      {"bylevel", 0, 31, SUCCESS}, {"", 0, 7, SUCCESS},
      {"7, 0:3", 0, 7, SUCCESS},  {"8", 0, 7, ERROR},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(valueList_validate(c.text, VL_COLOR_FLAGS, c.lower, c.upper), c.status) << c.text;
  }
  EXPECT_EQ(valueList_validate("300", VL_COLOR_FLAGS, 0, 255), ERROR);
  EXPECT_EQ(valueList_lastError(), "The number must be within the range of 0 to 255.");
}

TEST(ValueListValidate, NameCheckSeesEveryNameItemButCannotFailTheText) {
  std::vector<std::pair<std::string, NameKind>> seen;
  const NameCheck check = [&](const std::string& item, NameKind kind, std::string& error) {
    seen.emplace_back(item, kind);
    error = "refused";
    return ERROR;
  };
  EXPECT_EQ(valueList_validate("\"Dashed\", 2, Dot*", VL_STYLE_FLAGS, 0, 7, check), SUCCESS);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(std::string("Dashed"), NameKind::Normal));
  EXPECT_EQ(seen[1], std::make_pair(std::string("dot*"), NameKind::Wildcard));
  seen.clear();
  EXPECT_EQ(valueList_validate("\"Dashed\", 9", VL_STYLE_FLAGS, 0, 7, check), ERROR);
  EXPECT_TRUE(seen.empty());  // the bounds failed first
}

// ---- Cache ---------------------------------------------------------------------------------

TEST(ValueListCache, KeyedByTextAndFlagsReplacedRoundRobinWhenFull) {
  valueList_clearCache();
  EXPECT_TRUE(valueList_match("1-3", VL_COLOR_FLAGS, true, 2, nullptr));
  EXPECT_TRUE(valueList_match("1-3", VL_COLOR_FLAGS, true, 3, nullptr));
  EXPECT_EQ(valueList_cacheSize(), 1u);
  EXPECT_TRUE(valueList_match("1-3", VL_STYLE_FLAGS, true, 3, nullptr));
  EXPECT_EQ(valueList_cacheSize(), 2u);
  EXPECT_FALSE(valueList_match("1-3 ", VL_COLOR_FLAGS, true, 4, nullptr));  // another text
  EXPECT_EQ(valueList_cacheSize(), 3u);

  for (int i = 0; i < 1021; ++i) {
    EXPECT_TRUE(valueList_match(std::to_string(i + 100), VL_COLOR_FLAGS, true, i + 100, nullptr));
  }
  EXPECT_EQ(valueList_cacheSize(), VL_CACHE_SIZE);
  EXPECT_EQ(valueList_cacheReplaceIndex(), 0u);
  // Two more texts replace slots 0 and 1; the index moves on.
  EXPECT_TRUE(valueList_match("5000", VL_COLOR_FLAGS, true, 5000, nullptr));
  EXPECT_TRUE(valueList_match("5001", VL_COLOR_FLAGS, true, 5001, nullptr));
  EXPECT_EQ(valueList_cacheSize(), VL_CACHE_SIZE);
  EXPECT_EQ(valueList_cacheReplaceIndex(), 2u);
  // The replaced text still answers correctly (parsed again, into the next slot).
  EXPECT_TRUE(valueList_match("1-3", VL_COLOR_FLAGS, true, 2, nullptr));
  EXPECT_FALSE(valueList_match("1-3", VL_COLOR_FLAGS, true, 4, nullptr));
  EXPECT_EQ(valueList_cacheReplaceIndex(), 3u);
  // Wrap-around.
  for (int i = 0; i < 1021; ++i) {
    EXPECT_FALSE(valueList_match(std::to_string(i + 9000), VL_COLOR_FLAGS, true, 1, nullptr));
  }
  EXPECT_EQ(valueList_cacheReplaceIndex(), 0u);
  valueList_clearCache();
  EXPECT_EQ(valueList_cacheSize(), 0u);
  EXPECT_EQ(valueList_cacheReplaceIndex(), 0u);
}

}  // namespace
}  // namespace kelvara
