#include "valuelist/wildcard.h"

#include <regex>
#include <string>

namespace kelvara {

namespace {

char lowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Greedy matching with one backtrack point (the last `*` seen): linear in practice and never
// worse than O(|pattern| * |text|).
bool matchWild(std::string_view pattern, std::string_view text, bool ignoreCase) {
  size_t p = 0;
  size_t t = 0;
  size_t starP = std::string_view::npos;
  size_t starT = 0;
  auto same = [ignoreCase](char a, char b) {
    return ignoreCase ? lowerAscii(a) == lowerAscii(b) : a == b;
  };
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view text) {
  return matchWild(pattern, text, false);
}

int b_wild(std::string_view pattern, std::string_view text, int ignoreCase) {
  return matchWild(pattern, text, ignoreCase != 0) ? 1 : 0;
}

std::optional<std::regex> compileRegexPattern(std::string_view pattern) {
#ifdef __GLIBCXX__
  constexpr auto kSyntax = std::regex::ECMAScript | std::regex_constants::__polynomial;
#else
  constexpr auto kSyntax = std::regex::ECMAScript;
#endif
  try {
    return std::regex(pattern.begin(), pattern.end(), kSyntax);
  } catch (const std::regex_error&) {
    return std::nullopt;
  }
}

bool regexMatchesWhole(const std::regex& re, std::string_view text) {
  try {
    return std::regex_match(text.begin(), text.end(), re);
  } catch (const std::regex_error&) {
    return false;  // the library gave up (complexity or stack limits)
  }
}

int j_trvrexCompare(std::string_view text, std::string_view pattern) {
  const auto re = compileRegexPattern(pattern);
  return re && regexMatchesWhole(*re, text) ? 1 : 0;
}

std::string toLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

}  // namespace kelvara
