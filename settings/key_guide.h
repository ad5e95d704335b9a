// What each settings key holds and means: a one-line meaning for listings and help, and the
// strict check of a value given on the command line.
//
// The settings file is read leniently (a number is whatever digits begin the value, a text is
// cut to its field); a value typed on the command line is checked strictly instead, so that a
// typing error stops the run rather than silently changing what it does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvara {

enum class KeyValueKind {
  Switch,    // 0 or 1
  Whole,     // a whole number within [low, high]
  Distance,  // a number that is not negative, with a decimal point (never a comma)
  Text,      // any text that fits the field
  Written,   // written by the program itself; not set by hand
};

struct KeyGuide {
  KeyValueKind kind = KeyValueKind::Text;
  int32_t low = 0;
  int32_t high = 0;
  std::string meaning;
};

// The guide of settings key `name`; a guide with an empty meaning when `name` is not a key.
KeyGuide settings_keyGuide(std::string_view name);

// Checks a command-line value for settings key `key` (which must be a key). Returns "" when
// the value is acceptable, else what the key expects, e.g. "a switch: 0 or 1".
std::string settings_checkStrictValue(std::string_view key, std::string_view value);

}  // namespace kelvara
