#include "valuelist/number_picker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/design.h"
#include "host/types.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"
#include "valuelist/valuelist.h"

namespace kelvara {
namespace {

uint32_t flagsOf(NumberPickerKind kind) {
  switch (kind) {
    case NumberPickerKind::Color:
      return VL_COLOR_FLAGS;
    case NumberPickerKind::Weight:
      return VL_WEIGHT_FLAGS;
    case NumberPickerKind::Style:
      return VL_STYLE_FLAGS;
  }
  return 0;
}

NumberChoice choiceOf(const std::vector<int>& values, bool byLevel = false, bool off = false,
                      std::vector<std::string> names = {}) {
  NumberChoice c;
  for (int v : values) pickerChooseValue(&c, v, true);
  c.byLevel = byLevel;
  c.off = off;
  c.styleNames = std::move(names);
  return c;
}

std::vector<int> chosenValues(const NumberChoice& c, int count) {
  std::vector<int> values;
  for (int v = 0; v < count; ++v)
    if (pickerValueChosen(c, v)) values.push_back(v);
  return values;
}

std::vector<int> range(int from, int to) {
  std::vector<int> v;
  for (int i = from; i <= to; ++i) v.push_back(i);
  return v;
}

const std::vector<std::string> kHostStyles = {"ByLevel", "Dashed", "<Off>", "Center"};

// Choices written back into a field: the exact text, which the value-list parser then reads
// as the same values, and which the picker reads back as the same choice.
TEST(NumberPickerWrite, RunsToggleAndNamesRoundTripThroughTheValueListParser) {
  struct Case {
    NumberPickerKind kind;
    NumberChoice choice;
    bool offAllowed;
    const char* text;
  };
  const auto C = NumberPickerKind::Color, W = NumberPickerKind::Weight;
  const auto S = NumberPickerKind::Style;
  // clang-format off
  const Case cases[] = {
      {C, choiceOf({0, 1, 2}), false, "0:2"},
      {C, choiceOf({0, 1}), false, "0,1"},
      {C, choiceOf({254, 255}), false, "254,255"},  // a pair at the grid's end
      {C, choiceOf({}, true), false, "ByLevel"},
      {C, choiceOf({1, 2, 3, 7, 9, 10}), false, "1:3,7,9,10"},
      {C, choiceOf(range(0, 255)), false, "0:255"},
      {C, choiceOf({0, 2, 3, 4, 5, 255}, true), false, "0,2:5,255,ByLevel"},
      {C, choiceOf({3}, true, true), true, "3,ByLevel,<Off>"},
      {C, choiceOf({3}, false, true), false, "3"},
      {C, choiceOf({}), false, ""},
      {W, choiceOf({3, 4, 5, 31}), false, "3:5,31"},
      {W, choiceOf({30, 31}, true), false, "30,31,ByLevel"},
      {S, choiceOf({0, 1, 2, 3, 4, 5, 6, 7}), false, "0:7"},
      {S, choiceOf({1}, false, false, {"Dashed", "Center"}), false, "1,\"Dashed\",\"Center\""},
      {S, choiceOf({}, true, false, {"Center"}), false, "ByLevel,\"Center\""},
  };
  // clang-format on
  for (const Case& c : cases) {
    const int count = numberPickerGrid(c.kind).count;
    const uint32_t flags = flagsOf(c.kind);
    std::string text, error;
    ASSERT_EQ(picker_writeNumberText(&text, &error, c.kind, c.choice, c.offAllowed), SUCCESS);
    EXPECT_EQ(text, c.text);
    if (text.empty()) continue;

    // The value-list parser admits exactly the chosen values of the grid.
    if (!c.choice.off || !c.offAllowed) {
      EXPECT_EQ(valueList_validate(text, flags, 0, count - 1), SUCCESS)
          << text << ": " << valueList_lastError();
    }
    for (int v = 0; v <= count; ++v) {
      EXPECT_EQ(valueList_match(text, flags, false, v, nullptr), pickerValueChosen(c.choice, v))
          << text << " value " << v;
    }
    const double byLevel = c.kind == NumberPickerKind::Style ? VL_BYLEVEL_STYLE : VL_BYLEVEL_COLOR;
    EXPECT_EQ(valueList_match(text, flags, false, byLevel, nullptr), c.choice.byLevel) << text;
    for (const std::string& name : c.choice.styleNames)
      EXPECT_TRUE(valueList_match(text, flags, false, -1, &name)) << text << " " << name;

    // Opening the picker on the written text shows the same choice.
    const NumberPreselection back = picker_readNumberText(c.kind, text, c.offAllowed, kHostStyles);
    EXPECT_EQ(chosenValues(back.choice, count), chosenValues(c.choice, count)) << text;
    EXPECT_EQ(back.choice.byLevel, c.choice.byLevel) << text;
    EXPECT_EQ(back.choice.off, c.choice.off && c.offAllowed) << text;
    EXPECT_EQ(back.choice.styleNames, c.choice.styleNames) << text;
    EXPECT_TRUE(back.unshown.empty()) << text;
  }
}

TEST(NumberPickerWrite, MoreRunsThanAValueListHoldsAreRefusedWithTheParsersMessage) {
  NumberChoice even;
  for (int v = 0; v < 256; v += 2) pickerChooseValue(&even, v, true);  // 128 single runs
  std::string text, error;
  EXPECT_EQ(picker_writeNumberText(&text, &error, NumberPickerKind::Color, even, false), ERROR);
  EXPECT_EQ(error, "Too many numeric values. Only 64 values are supported.");
  EXPECT_EQ(valueList_validate(text, VL_COLOR_FLAGS, 0, 255), ERROR);
  EXPECT_EQ(valueList_lastError(), error);

  // 64 items exactly: 32 runs of two values each are written "a,b", 64 items in all.
  NumberChoice pairs;
  for (int v = 0; v < 32 * 3; v += 3) {
    pickerChooseValue(&pairs, v, true);
    pickerChooseValue(&pairs, v + 1, true);
  }
  EXPECT_EQ(picker_writeNumberText(&text, &error, NumberPickerKind::Color, pairs, false), SUCCESS);
  EXPECT_EQ(valueList_validate(text, VL_COLOR_FLAGS, 0, 255), SUCCESS) << valueList_lastError();
  pickerChooseValue(&pairs, 200, true);  // the 65th item
  EXPECT_EQ(picker_writeNumberText(&text, &error, NumberPickerKind::Color, pairs, false), ERROR);
  EXPECT_EQ(valueList_validate(text, VL_COLOR_FLAGS, 0, 255), ERROR);
}

// A field's text opening a picker: the cells, toggles and named rows it preselects, and the
// items the picker cannot show.
TEST(NumberPickerRead, FieldTextPreselectsCellsTogglesAndNamedStyles) {
  struct Case {
    NumberPickerKind kind;
    const char* text;
    bool offAllowed;
    std::vector<int> values;
    bool byLevel;
    bool off;
    std::vector<std::string> names;
    std::vector<std::string> unshown;
  };
  const auto W = NumberPickerKind::Weight, C = NumberPickerKind::Color;
  const auto S = NumberPickerKind::Style;
  // clang-format off
  const Case cases[] = {
      {W, "3-5", false, {3, 4, 5}, false, false, {}, {}},
      {W, " 5:3 ,, 9 ", false, {3, 4, 5, 9}, false, false, {}, {}},
      {C, "bylevel, 7", false, {7}, true, false, {}, {}},
      {C, "BYLEVEL,<off>", true, {}, true, true, {}, {}},
      {C, "<Off>, 1", false, {1}, false, false, {}, {"<Off>"}},
      {C, "250-300", false, {250, 251, 252, 253, 254, 255}, false, false, {}, {"250-300"}},
      {W, "-2-1, 40", false, {0, 1}, false, false, {}, {"-2-1", "40"}},
      {C, "red, 05, 1.5", false, {}, false, false, {}, {"red", "05", "1.5"}},
      {S, "\"dashed\", Center, 2", false, {2}, false, false, {"Dashed", "Center"}, {}},
      {S, "Center,\"Dashed\" x,\"Center\"", false, {}, false, false, {"Dashed", "Center"}, {}},
      {S, "dash*, \"Dotted\", \"open", false, {}, false, false, {},
       {"dash*", "\"Dotted\"", "\"open"}},
      {S, "9, <Off>", true, {}, false, true, {}, {"9"}},
      {C, "", false, {}, false, false, {}, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const NumberPreselection pre = picker_readNumberText(c.kind, c.text, c.offAllowed, kHostStyles);
    EXPECT_EQ(chosenValues(pre.choice, 256), c.values) << c.text;
    EXPECT_EQ(pre.choice.byLevel, c.byLevel) << c.text;
    EXPECT_EQ(pre.choice.off, c.off) << c.text;
    EXPECT_EQ(pre.choice.styleNames, c.names) << c.text;
    EXPECT_EQ(pre.unshown, c.unshown) << c.text;
  }
}

TEST(NumberPickerRows, StyleRowsAreTheHostsNamedStylesWithoutByLevelAndOff) {
  EXPECT_EQ(pickerStyleNames({"ByLevel", "Dashed", "<off>", "Center", "bylevel"}),
            (std::vector<std::string>{"Dashed", "Center"}));
}

// The grids: value n in row n / columns, column n % columns; colour swatches in the colours of
// the file being edited.
TEST(NumberPickerGrid, CellsInValueOrderWithTheFilesOwnColours) {
  struct Case {
    NumberPickerKind kind;
    int count, columns, rows;
  };
  for (const Case& c :
       {Case{NumberPickerKind::Color, 256, 16, 16}, Case{NumberPickerKind::Weight, 32, 8, 4},
        Case{NumberPickerKind::Style, 8, 4, 2}}) {
    const std::vector<PickerCell> cells = pickerGridCells(c.kind, choiceOf({1, c.count - 1}));
    ASSERT_EQ(static_cast<int>(cells.size()), c.count);
    EXPECT_EQ(numberPickerGrid(c.kind).rows, c.rows);
    for (const PickerCell& cell : cells) {
      EXPECT_EQ(cell.row * c.columns + cell.column, cell.value);
      EXPECT_LT(cell.column, c.columns);
      EXPECT_LT(cell.row, c.rows);
      EXPECT_EQ(cell.chosen, cell.value == 1 || cell.value == c.count - 1);
    }
  }

  test::ScratchDir dir;
  resetDesignState();
  // A file with two colour tables, the later one deleted: the first one is the file's.
  test::DesignBuilder withTable;
  withTable.add(test::colourTable(10, 20, 30));
  withTable.add(test::deleted(test::colourTable(99, 99, 99)));
  ASSERT_TRUE(withTable.write(dir.file("table.dgn")));
  ASSERT_TRUE(test::DesignBuilder{}.write(dir.file("plain.dgn")));
  test::DesignBuilder twoTables;  // the last one wins
  twoTables.add(test::colourTable(1, 2, 3));
  twoTables.add(test::colourTable(4, 5, 6));
  ASSERT_TRUE(twoTables.write(dir.file("two.dgn")));

  ColorTable colours;
  ASSERT_EQ(mdlSystem_newDesignFile(dir.file("table.dgn")), SUCCESS);
  ASSERT_EQ(mdlColor_getColorTable(&colours, mdlModelRef_getActive()), SUCCESS);
  // The builder's table holds colour i as (i, 255 - i, (i + 1) * 7 mod 256), background last.
  // The cell's swatch checks colour 17 as read; where the cell sits, the loop above.
  EXPECT_EQ(colours[0], (RgbColor{0, 255, 7}));
  EXPECT_EQ(colours[255], (RgbColor{10, 20, 30}));
  const std::vector<PickerCell> cells = pickerGridCells(NumberPickerKind::Color, {}, colours);
  EXPECT_EQ(cells[17].color, (RgbColor{17, 238, 126}));

  ASSERT_EQ(mdlSystem_newDesignFile(dir.file("two.dgn")), SUCCESS);
  ASSERT_EQ(mdlColor_getColorTable(&colours, mdlModelRef_getActive()), SUCCESS);
  EXPECT_EQ(colours[255], (RgbColor{4, 5, 6}));

  ASSERT_EQ(mdlSystem_newDesignFile(dir.file("plain.dgn")), SUCCESS);
  ASSERT_EQ(mdlColor_getColorTable(&colours, mdlModelRef_getActive()), SUCCESS);
  EXPECT_EQ(colours, defaultColorTable());
  EXPECT_EQ(colours[0], (RgbColor{255, 255, 255}));
  EXPECT_EQ(colours[3], (RgbColor{255, 0, 0}));
  EXPECT_EQ(mdlColor_getColorTable(&colours, 987654), ERROR);
  resetDesignState();
}

}  // namespace
}  // namespace kelvara
