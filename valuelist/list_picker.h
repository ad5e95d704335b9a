// The font and text style pickers' text rules, apart from any dialog: which rows a field's
// text preselects, and the list text a choice writes back (a text longer than its field goes
// to a list file, valuelist/list_file.h).
//
// A field's text is read as the level picker reads it (levelMatcher_make): "@file" stands for
// the first line of that file; an item that is a number or a range written with "-" or ":"
// selects the rows whose number lies in it; any other item is a wildcard pattern (`*`, `?`) on
// the row's name, without case, quotes removed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "valuelist/list_file.h"

namespace kelvara {

struct ListPickerRow {
  int number = -1;   // a font's number; -1 for a row named only (a text style)
  std::string name;  // as the host names it
  friend bool operator==(const ListPickerRow&, const ListPickerRow&) = default;
};

// One flag per row: the rows the field's text names.
std::vector<bool> picker_readListText(const std::vector<ListPickerRow>& rows,
                                      std::string_view fieldText);

// The chosen rows in row order, joined by ",": fonts by number, text styles by name in double
// quotes.
std::string pc_listPickerText(ListKind kind, const std::vector<ListPickerRow>& rows,
                              const std::vector<bool>& chosen);

// The list file a field's text names: the rest of a text longer than two characters that
// begins with "@" (leading blanks removed); "" otherwise.
std::string pc_namedListFile(std::string_view fieldText);

}  // namespace kelvara
