// Value-list expressions: the one-line texts with which the user restricts elements by level,
// colour, line weight or line style, such as `1-3, 7, "Walls", v-fuel*, bylevel`.
//
// A text is parsed into a `ValueList` (numeric ranges, quoted names, unquoted patterns and the
// keyword bylevel, as far as the caller's flags admit them), tested against a number and an
// optional name, and validated for a dialog against numeric bounds. A process-wide cache of
// up to 1024 parsed lists, keyed by text and flags, spares a run from parsing the same text
// once per element. Every failure leaves its message in the last error text.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

// ---- Item kinds admitted (bits of `flags`) -------------------------------------------------

inline constexpr uint32_t VL_NUMBERS = 1;   // numbers and numeric ranges
inline constexpr uint32_t VL_NAMES = 2;     // quoted names and unquoted patterns
inline constexpr uint32_t VL_LISTFILE = 4;  // `@file`: the items are read from that file
inline constexpr uint32_t VL_BYLEVEL = 8;   // the keyword bylevel

inline constexpr uint32_t VL_LEVEL_FLAGS = VL_NUMBERS | VL_NAMES | VL_LISTFILE;  // 7
inline constexpr uint32_t VL_COLOR_FLAGS = VL_NUMBERS | VL_BYLEVEL;              // 9
inline constexpr uint32_t VL_WEIGHT_FLAGS = VL_NUMBERS | VL_BYLEVEL;             // 9
inline constexpr uint32_t VL_STYLE_FLAGS = VL_NUMBERS | VL_NAMES | VL_BYLEVEL;   // 11

inline constexpr int VL_MAX_RANGES = 64;
inline constexpr size_t VL_CACHE_SIZE = 1024;

// The number that stands for "by level" in colour and weight lists, and in style lists.
inline constexpr double VL_BYLEVEL_COLOR = -1.0;
inline constexpr double VL_BYLEVEL_STYLE = 2147483647.0;

// ---- Parsed expression ---------------------------------------------------------------------

struct ValueRange {
  double low = 0.0;
  double high = 0.0;
};

enum class NameKind : int { Normal = 0, Wildcard = 1 };

struct ValueName {
  std::string text;  // Normal: as written between the quotes; Wildcard: lower case
  NameKind kind = NameKind::Normal;
  // Wildcard items: the item compiled as a regular expression on first use (empty when it is
  // not a valid expression). Kept with the item so that a cached list compiles it once.
  mutable std::optional<std::optional<std::regex>> compiled;
};

struct ValueList {
  std::string source;  // the expression, character for character
  uint32_t flags = 0;
  bool byLevel = false;
  std::array<ValueRange, VL_MAX_RANGES> ranges{};
  int rangeCount = 0;
  std::vector<ValueName> names;  // stays empty unless `flags` has VL_NAMES
};

// Called by valueList_validate for each name item: (item text, kind, error text to fill).
using NameCheck = std::function<int(const std::string& item, NameKind kind, std::string& error)>;

// ---- Operations ----------------------------------------------------------------------------

// Parses `text` with the item kinds of `flags`. An empty text gives no list (*list null) and
// SUCCESS. Otherwise *list receives the list and the result is SUCCESS, or ERROR when an item
// (or, for a list file, a line) failed; with `stopAtFirstError` parsing stops there, without
// it the other items are still parsed. Items parsed before a failure stay in the list.
[[nodiscard]] int valueList_parse(std::unique_ptr<ValueList>* list, std::string_view text,
                                  uint32_t flags, bool stopAtFirstError);

// True when the expression admits `number` or `name` (name may be absent). An empty text and
// a list without any item admit everything. Parse errors are not reported: the items that did
// parse are used. With `useCache` the parsed list is kept for the next call with the same text
// and flags.
bool valueList_match(std::string_view text, uint32_t flags, bool useCache, double number,
                     const std::string* name);

// The same test against an already parsed list (null admits everything).
bool valueList_matchList(const ValueList* list, double number, const std::string* name);

// Checks a text for a dialog: it must parse without error and, when numbers are admitted,
// every range must lie within [lower, upper]. `nameCheck`, when given, is called for each name
// item; its result does not change the status. SUCCESS or ERROR (message in the last error).
[[nodiscard]] int valueList_validate(std::string_view text, uint32_t flags, double lower,
                                     double upper, const NameCheck& nameCheck = {});

// The message of the latest failure.
const std::string& valueList_lastError();

// Releases every cached list.
void valueList_clearCache();

// Number of lists in the cache and the slot the next replacement takes (for tests).
size_t valueList_cacheSize();
size_t valueList_cacheReplaceIndex();

// True when `item` is numeric (an integer written in its shortest form, optionally followed by
// `-` or `:` and a second one); fills the range with the smaller value as `low`.
bool valueList_parseRange(std::string_view item, ValueRange* range);

}  // namespace kelvara
