// The wrapped layout: indents, wrap column, leading and inner line breaks, long words. The
// writer is read back through the executable's reports (EndToEnd).
#include "report/wrap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvara {
namespace {

struct WrapCase {
  const char* name;
  std::string text;
  int first, next, column;
  std::string expected;
};

TEST(WrapText, LaysOutWordsByTheRules) {
  std::string wordsLine;
  for (int i = 0; i < 400; ++i) wordsLine += "word ";
  const std::vector<WrapCase> cases = {
      {"short line", "one two three", 2, 4, 40, "  one two three\n"},
      {"breaks before the word that passes the column", "aaaa bbbb cccc", 0, 2, 9,
       "aaaa bbbb\n  cccc\n"},
      {"a word that ends exactly at the column stays", "aaaa bbbb", 0, 0, 9, "aaaa bbbb\n"},
      {"one character past the column wraps", "aaaa bbbb c", 0, 2, 10, "aaaa bbbb\n  c\n"},
      {"blanks before a wrapped word are dropped", "aaaa     bbbb", 0, 1, 8, "aaaa\n bbbb\n"},
      {"blanks at the start of the first line are dropped", "   aaaa", 3, 0, 40, "   aaaa\n"},
      {"leading line breaks become empty lines", "\n\nTitle here", 0, 0, 80, "\n\nTitle here\n"},
      {"an inner line break ends the line", "first\nsecond", 2, 4, 80, "  first\n    second\n"},
      {"a trailing line break leaves an empty line", "end.\n", 0, 0, 80, "end.\n\n"},
      {"a word longer than the line is written whole", "tiny enormousword", 2, 4, 8,
       "  tiny\n    enormousword\n"},
      {"percent signs are text", "Lv 50%, St %s", 0, 0, 80, "Lv 50%, St %s\n"},
      {"empty text is one empty line", "", 2, 4, 40, "\n"},
      {"blanks only are one empty line", "    ", 2, 4, 40, "\n"},
      {"blanks between words of a line that fits stay", "a   b  c", 1, 4, 40, " a   b  c\n"},
      {"trailing blanks are dropped", "end.   ", 0, 0, 40, "end.\n"},
      {"a line that fits exactly with its indent", "abcdefgh", 2, 0, 10, "  abcdefgh\n"},
      {"a cut word of a line that fits stays whole", std::string(130, 'x'), 0, 0, 4096,
       std::string(130, 'x') + "\n"},
      {"a long word is cut every 120 characters", std::string(250, 'x'), 0, 0, 80,
       std::string(120, 'x') + "\n" + std::string(120, 'x') + "\n" + std::string(10, 'x') + "\n"},
      {"wrap off never breaks a line", wordsLine, 2, 4, wrapColumnFor(false, 40),
       "  " + wordsLine.substr(0, wordsLine.size() - 1) + "\n"},
      {"wrap on takes the column", "aaaa bbbb", 0, 2, wrapColumnFor(true, 8), "aaaa\n  bbbb\n"},
  };
  for (const WrapCase& c : cases)
    EXPECT_EQ(wrapText(c.text, c.first, c.next, c.column), c.expected) << c.name;
}

}  // namespace
}  // namespace kelvara
