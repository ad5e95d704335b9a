// Small text helpers that the value-list parser and the pickers share: blanks as the parser
// reads them, and trimming.
#pragma once

#include <string_view>

namespace kelvara {

// Space, tab, and the line and page breaks.
inline bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline std::string_view trimStart(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

inline std::string_view trim(std::string_view s) {
  s = trimStart(s);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace kelvara
