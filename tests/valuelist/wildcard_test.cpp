#include "valuelist/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvara {
namespace {

TEST(Wildcard, StarIsAnyRunQuestionMarkAnyOneCharacter) {
  struct Case {
    const char* pattern;
    std::string text;
    bool expected;
  };
  // clang-format off
  const Case cases[] = {
      {"*", "", true},          {"*", "abc", true},       {"", "", true},
      {"", "a", false},         {"a*b", "ab", true},      {"a*b", "axxb", true},
      {"a*b", "axxbc", false},  {"a?c", "abc", true},     {"a?c", "ac", false},
      {"?", "", false},         {"*a", "ba", true},       {"a*", "b", false},
      {"**", "x", true},        {"a*b*c", "aXbYc", true}, {"a*b*c", "aXcYb", false},
      {"*ab", "aab", true},     {"*aab", "aaab", true},   {"abc", "ABC", false},
      {"a*a*a*a*a*a*b", std::string(200, 'a'), false},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(wildcardMatch(c.pattern, c.text), c.expected) << c.pattern << " vs " << c.text;
  }
  EXPECT_EQ(b_wild("abc", "ABC", 1), 1);
  EXPECT_EQ(b_wild("abc", "ABC", 0), 0);
}

TEST(Wildcard, RegexComparisonMatchesWholeTextAndRefusesBadExpressions) {
  EXPECT_EQ(j_trvrexCompare("walls", "wall."), 1);
  EXPECT_EQ(j_trvrexCompare("walls2", "wall."), 0);  // whole text, not a search
  EXPECT_EQ(j_trvrexCompare("a7", "a[0-9]+"), 1);
  EXPECT_EQ(j_trvrexCompare("x", "("), 0);
  EXPECT_EQ(j_trvrexCompare("aa", "(a)\\1"), 0);
  EXPECT_EQ(toLowerAscii("AbC-\xC3\x89"), "abc-\xC3\x89");
}

}  // namespace
}  // namespace kelvara
