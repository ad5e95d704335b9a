#include "valuelist/list_picker.h"

#include "valuelist/level_picker.h"

namespace kelvara {

std::vector<bool> picker_readListText(const std::vector<ListPickerRow>& rows,
                                      std::string_view fieldText) {
  const LevelMatcher matcher = levelMatcher_make(fieldText);
  std::vector<bool> named;
  named.reserve(rows.size());
  // A row without a number (-1) is found by its name only: number items are never negative.
  for (const ListPickerRow& row : rows)
    named.push_back(b_levelCovered(matcher, row.number, row.name));
  return named;
}

std::string pc_listPickerText(ListKind kind, const std::vector<ListPickerRow>& rows,
                              const std::vector<bool>& chosen) {
  std::string text;
  for (size_t i = 0; i < rows.size() && i < chosen.size(); ++i) {
    if (!chosen[i]) continue;
    if (!text.empty()) text.push_back(',');
    text += kind == ListKind::Fonts && rows[i].number >= 0 ? std::to_string(rows[i].number)
                                                           : "\"" + rows[i].name + "\"";
  }
  return text;
}

std::string pc_namedListFile(std::string_view fieldText) {
  while (!fieldText.empty() && (fieldText.front() == ' ' || fieldText.front() == '\t')) {
    fieldText.remove_prefix(1);
  }
  if (fieldText.size() > 2 && fieldText.front() == '@') return std::string(fieldText.substr(1));
  return {};
}

}  // namespace kelvara
