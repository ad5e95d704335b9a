// Pattern comparisons on names: the wildcard matcher and the regular-expression matcher.
//
// Wildcards: `*` matches any run of characters (also none), `?` any one character, every
// other character itself. Regular expressions use the ECMAScript syntax of std::regex and must
// match the whole text. Both compare bytes exactly; callers lower-case or upper-case both sides
// first when case is not to count.
#pragma once

#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace kelvara {

// True when `text` matches the wildcard `pattern` as a whole. Runs in O(|pattern| * |text|)
// time without recursion, so hostile patterns cannot exhaust the stack.
bool wildcardMatch(std::string_view pattern, std::string_view text);

// The wildcard comparison with the host library's argument order (pattern, text, case flag):
// nonzero on a match. With `ignoreCase` nonzero ASCII letters compare without case.
int b_wild(std::string_view pattern, std::string_view text, int ignoreCase);

// The pattern comparison with (text, pattern): 1 when `pattern`, read as an ECMAScript regular
// expression, matches the whole of `text`; 0 when it does not or is not a valid expression.
int j_trvrexCompare(std::string_view text, std::string_view pattern);

// `pattern` compiled as an ECMAScript regular expression; nothing when it is not a valid or
// admissible expression (back-references, too many states).
std::optional<std::regex> compileRegexPattern(std::string_view pattern);

// True when the compiled expression matches the whole of `text`.
bool regexMatchesWhole(const std::regex& re, std::string_view text);

// ASCII lower case of `text`; other bytes are kept.
std::string toLowerAscii(std::string_view text);

}  // namespace kelvara
