// The wrapped writer: indents, wrap column, leading and inner line breaks, long words.
#include "report/wrap.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace kelvara {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

struct WrapCase {
  const char* name;
  std::string text;
  int first, next, column;
  std::string expected;
};

TEST(WrapText, LaysOutWordsByTheRules) {
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
  };
  for (const WrapCase& c : cases)
    EXPECT_EQ(wrapText(c.text, c.first, c.next, c.column), c.expected) << c.name;
}

TEST(WrapText, TheWriterWritesWhatTheLayoutGives) {
  const std::vector<std::string> texts = {
      "",
      "   ",
      "one two",
      "  padded  ",
      "aaaa bbbb cccc dddd",
      "\nTitle",
      "first\nsecond",
      "Lv 1, Co 3, Wt 0, St 0, type 3 (line) element was duplicate. Deleted."};
  for (const std::string& text : texts) {
    for (int column : {8, 20, 40, WRAP_OFF_COLUMN}) {
      std::FILE* f = std::tmpfile();
      ASSERT_NE(f, nullptr);
      writeWrapped(f, text, 2, 4, column);
      std::rewind(f);
      std::string written;
      for (int c; (c = std::fgetc(f)) != EOF;) written += static_cast<char>(c);
      std::fclose(f);
      EXPECT_EQ(written, wrapText(text, 2, 4, column)) << '"' << text << "\" at " << column;
    }
  }
}

TEST(WrapText, WrapAtFortyKeepsEveryLineWithinTheColumn) {
  // A duplicate line of about 100 characters, as the report writes it.
  const std::string line =
      "Lv Walls, Co 3, Wt ByLevel, St 0, type 4 (line string) element was duplicate. Deleted. "
      "(part of complex element)";
  const std::string out = wrapText(line, 2, 4, wrapColumnFor(true, 40));
  const std::vector<std::string> lines = linesOf(out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 3), "  L");
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), 40u) << lines[i];
    if (i > 0) {
      EXPECT_EQ(lines[i].substr(0, 4), "    ") << lines[i];
      EXPECT_NE(lines[i][4], ' ') << lines[i];
    }
  }
  // Nothing is lost or reordered: joining the words gives the text back.
  std::string joined;
  for (const std::string& l : lines) {
    std::istringstream words(l);
    std::string w;
    while (words >> w) joined += (joined.empty() ? "" : " ") + w;
  }
  EXPECT_EQ(joined, line);
}

TEST(WrapText, WrapOffNeverBreaksALine) {
  std::string line;
  for (int i = 0; i < 400; ++i) line += "word ";
  EXPECT_EQ(wrapColumnFor(false, 40), WRAP_OFF_COLUMN);
  const std::string out = wrapText(line, 2, 4, wrapColumnFor(false, 40));
  EXPECT_EQ(linesOf(out).size(), 1u);
}

TEST(WrapText, LongWordsAreCutAndContinue) {
  const std::string word(250, 'x');
  const std::vector<std::string> lines = linesOf(wrapText(word, 0, 0, 80));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 120u);
  EXPECT_EQ(lines[1].size(), 120u);
  EXPECT_EQ(lines[2].size(), 10u);
}

}  // namespace
}  // namespace kelvara
