#include "valuelist/number_picker.h"

#include <algorithm>
#include <cstdio>

#include "host/types.h"
#include "valuelist/text.h"
#include "valuelist/valuelist.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return toLowerAscii(a) == toLowerAscii(b);
}

// The items of a field's text: cut at commas, trimmed, empty ones left out (as the value-list
// parser cuts a line).
std::vector<std::string_view> itemsOf(std::string_view text) {
  std::vector<std::string_view> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view item = trim(text.substr(start, comma - start));
    if (!item.empty()) items.push_back(item);
    start = comma + 1;
  }
  return items;
}

// Selects the cells a range covers; false when part of it lies outside the grid.
bool chooseRange(NumberChoice& choice, const ValueRange& r, int count) {
  const double low = std::max(r.low, 0.0);
  const double high = std::min(r.high, static_cast<double>(count - 1));
  for (double v = low; v <= high; v += 1.0) pickerChooseValue(&choice, static_cast<int>(v), true);
  return r.low >= 0.0 && r.high <= count - 1;
}

// A style item's name: the text between the first pair of double quotes (the rest ignored, as
// the value-list parser reads it), or the plain item. Empty when the quotes are not closed.
std::string_view styleItemName(std::string_view item) {
  if (item.front() != '"') return item;
  const size_t close = item.find('"', 1);
  if (close == std::string_view::npos) return {};
  return item.substr(1, close - 1);
}

// Calls run(first, last) for each run of chosen values below count, in ascending order.
template <typename Run>
void forEachChosenRun(const NumberChoice& choice, int count, Run run) {
  for (int v = 0; v < count;) {
    if (!pickerValueChosen(choice, v)) {
      ++v;
      continue;
    }
    int end = v;
    while (end + 1 < count && pickerValueChosen(choice, end + 1)) ++end;
    run(v, end);
    v = end + 1;
  }
}

// Number of value-list items a number list text holds (a run of two is two items).
int numericItemCount(const NumberChoice& choice, int count) {
  int items = 0;
  forEachChosenRun(choice, count, [&](int first, int last) { items += last == first + 1 ? 2 : 1; });
  return items;
}

void appendItem(std::string& text, std::string_view item) {
  if (!text.empty()) text += ',';
  text.append(item);
}

}  // namespace

NumberPickerGrid numberPickerGrid(NumberPickerKind kind) {
  switch (kind) {
    case NumberPickerKind::Color:
      return {256, 16, 16};
    case NumberPickerKind::Weight:
      return {32, 8, 4};
    case NumberPickerKind::Style:
      return {8, 4, 2};
  }
  return {};
}

bool pickerValueChosen(const NumberChoice& choice, int value) {
  if (value < 0 || value > 255) return false;
  return (choice.bits[value / 8] >> (value % 8)) & 1;
}

void pickerChooseValue(NumberChoice* choice, int value, bool chosen) {
  if (value < 0 || value > 255) return;
  const uint8_t bit = static_cast<uint8_t>(1u << (value % 8));
  if (chosen) {
    choice->bits[value / 8] |= bit;
  } else {
    choice->bits[value / 8] &= static_cast<uint8_t>(~bit);
  }
}

NumberPreselection picker_readNumberText(NumberPickerKind kind, std::string_view text,
                                         bool offAllowed,
                                         const std::vector<std::string>& styleNames) {
  NumberPreselection pre;
  const int count = numberPickerGrid(kind).count;
  std::vector<size_t> namedRows;  // indexes into styleNames
  for (std::string_view item : itemsOf(text)) {
    ValueRange range;
    if (equalsIgnoringCase(item, PICKER_BYLEVEL)) {
      pre.choice.byLevel = true;
    } else if (offAllowed && equalsIgnoringCase(item, PICKER_OFF)) {
      pre.choice.off = true;
    } else if (valueList_parseRange(item, &range)) {
      if (!chooseRange(pre.choice, range, count)) pre.unshown.emplace_back(item);
    } else {
      const std::string_view name = kind == NumberPickerKind::Style ? styleItemName(item) : "";
      const auto row =
          std::find_if(styleNames.begin(), styleNames.end(),
                       [&](const std::string& s) { return equalsIgnoringCase(s, name); });
      if (name.empty() || row == styleNames.end()) {
        pre.unshown.emplace_back(item);
      } else {
        namedRows.push_back(static_cast<size_t>(row - styleNames.begin()));
      }
    }
  }
  std::sort(namedRows.begin(), namedRows.end());
  namedRows.erase(std::unique(namedRows.begin(), namedRows.end()), namedRows.end());
  for (size_t row : namedRows) pre.choice.styleNames.push_back(styleNames[row]);
  return pre;
}

std::string pc_numberListText(const NumberChoice& choice, int count) {
  std::string text;
  forEachChosenRun(choice, count, [&](int first, int last) {
    char run[32];
    const char* format = last == first ? "%d" : last == first + 1 ? "%d,%d" : "%d:%d";
    std::snprintf(run, sizeof run, format, first, last);
    appendItem(text, run);
  });
  return text;
}

int picker_writeNumberText(std::string* text, std::string* error, NumberPickerKind kind,
                           const NumberChoice& choice, bool offAllowed) {
  const int count = numberPickerGrid(kind).count;
  *text = pc_numberListText(choice, count);
  if (choice.byLevel) appendItem(*text, PICKER_BYLEVEL);
  if (offAllowed && choice.off) appendItem(*text, PICKER_OFF);
  if (kind == NumberPickerKind::Style) {
    for (const std::string& name : choice.styleNames) appendItem(*text, "\"" + name + "\"");
  }
  if (numericItemCount(choice, count) > VL_MAX_RANGES) {
    char msg[96];
    std::snprintf(msg, sizeof msg, "Too many numeric values. Only %d values are supported.",
                  VL_MAX_RANGES);
    if (error) *error = msg;
    return ERROR;
  }
  return SUCCESS;
}

std::vector<std::string> pickerStyleNames(const std::vector<std::string>& hostNames) {
  std::vector<std::string> names;
  for (const std::string& name : hostNames) {
    if (equalsIgnoringCase(name, PICKER_BYLEVEL) || equalsIgnoringCase(name, PICKER_OFF)) continue;
    names.push_back(name);
  }
  return names;
}

std::vector<PickerCell> pickerGridCells(NumberPickerKind kind, const NumberChoice& choice,
                                        const ColorTable& colors) {
  const NumberPickerGrid grid = numberPickerGrid(kind);
  std::vector<PickerCell> cells;
  cells.reserve(grid.count);
  for (int v = 0; v < grid.count; ++v) {
    PickerCell cell;
    cell.value = v;
    cell.row = v / grid.columns;
    cell.column = v % grid.columns;
    if (kind == NumberPickerKind::Color) cell.color = colors[v];
    cell.chosen = pickerValueChosen(choice, v);
    cells.push_back(cell);
  }
  return cells;
}

}  // namespace kelvara
