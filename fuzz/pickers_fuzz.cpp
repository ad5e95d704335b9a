// Fuzz target for the pickers' reading of a field's text. The input is the field's text. Each
// number picker opens on it and writes its choice back; opening on what it wrote must show the
// same choice, and the value-list parser must admit exactly the chosen values. The level picker
// opens on it over a fixed set of rows and adds the rows to it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/types.h"
#include "valuelist/level_picker.h"
#include "valuelist/number_picker.h"
#include "valuelist/valuelist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvara;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> styles = {"Dashed", "Center", "dash*"};
  for (NumberPickerKind kind :
       {NumberPickerKind::Color, NumberPickerKind::Weight, NumberPickerKind::Style}) {
    const int count = numberPickerGrid(kind).count;
    const uint32_t flags = kind == NumberPickerKind::Style ? VL_STYLE_FLAGS : VL_COLOR_FLAGS;
    for (bool offAllowed : {false, true}) {
      const NumberPreselection pre = picker_readNumberText(kind, text, offAllowed, styles);
      std::string written, error;
      if (picker_writeNumberText(&written, &error, kind, pre.choice, offAllowed) != SUCCESS)
        continue;
      const NumberPreselection again = picker_readNumberText(kind, written, offAllowed, styles);
      if (again.choice.bits != pre.choice.bits || again.choice.byLevel != pre.choice.byLevel ||
          again.choice.off != pre.choice.off || again.choice.styleNames != pre.choice.styleNames ||
          !again.unshown.empty())
        std::abort();
      // "<Off>" is no value-list item: the parser refuses it, so such a text is not checked.
      if (written.empty() || (offAllowed && pre.choice.off)) continue;
      for (int v = 0; v < count; ++v)
        if (valueList_match(written, flags, false, v, nullptr) != pickerValueChosen(pre.choice, v))
          std::abort();
    }
  }
  std::vector<LevelRow> rows;
  for (int code = 1; code <= 8; ++code) rows.push_back({"L" + std::to_string(code), code, "", ""});
  rows.push_back({"", 9, "", ""});
  rows.push_back({"A,B", 10, "", ""});
  const LevelPreselection pre = picker_readLevelText(rows, text);
  if (pre.selected.size() != rows.size()) std::abort();
  const std::vector<bool> all(rows.size(), true);
  const LevelPickerOk ok = picker_levelPickerOk(text, rows, all, false);
  if (ok.fits != (ok.text.size() <= LEVEL_LIST_LIMIT)) std::abort();
  for (const LevelRow& row : rows)
    if (!valueList_match(ok.text, VL_LEVEL_FLAGS, false, row.code, &row.name)) std::abort();
  (void)picker_levelPickerOk(text, rows, pre.selected, true);
  return 0;
}
