// The pickers through the dialog manager: what they preselect from the calling field, what
// OK writes back (ranges collapsed, ByLevel, <Off>, named levels), Cancel, and a level list too
// long for its field going to a level list file.
#include "frame/picker_dialogs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "host/design.h"
#include "host/dialogs.h"
#include "host/file_picker.h"
#include "host/host_loop.h"
#include "host/types.h"
#include "host/ui.h"
#include "support/dgn_builder.h"
#include "support/dialog_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using test::change;
using test::press;

constexpr int kCaller = 9100;
constexpr int kField = 1;

struct PickerTest : ::testing::Test {
  ScopedScriptedUi ui;
  test::ScratchDir dir;
  void SetUp() override {
    test::resetDialogHost();
    ASSERT_TRUE(test::openBlankDesign(dir.file("plan.dgn")));
    DesignFile* f = designFileOf(mdlModelRef_getActive());
    ASSERT_NE(f, nullptr);
    f->levelNames[3] = "A-DOOR";
    f->levelNames[4] = "A-WALL";
    f->levelNames[5] = "S-BEAM";
    definePickerDialogs();
    DialogResource caller;
    caller.id = kCaller;
    caller.title = "Caller";
    caller.items = {makeItem(kField, ItemKind::Text, "List")};
    defineDialogResource(caller);
    ASSERT_NE(mdlDialog_open(kCaller), nullptr);
  }
  void TearDown() override { test::resetDialogHost(); }
  static std::string value(int dialog, int item) {
    std::string v;
    EXPECT_EQ(mdlDialog_itemGetValue(mdlDialog_find(dialog), item, &v), SUCCESS);
    return v;
  }
  static std::string field() { return value(kCaller, kField); }
};

struct NumberCase {
  const char* name;
  NumberPickerKind kind;
  bool offAllowed;
  const char* fieldText;
  const char* preselected;  // the grid's value when it opens
  const char* toggles;      // ByLevel and <Off> as they open, "00".."11"
  const char* choose;       // the grid's value set before OK, nullptr: left as it is
  int toggleOn;             // 0 none, else the toggle item switched on before OK
  const char* written;      // the field after OK
};

const NumberCase kNumberCases[] = {
    {"colours 0, 1 and 2 collapse into a range", NumberPickerKind::Color, false, "", "", "00",
     "0,1,2", 0, "0:2"},
    {"two colours stay two", NumberPickerKind::Color, false, "", "", "00", "0,1", 0, "0,1"},
    {"nothing but ByLevel", NumberPickerKind::Color, false, "", "", "00", nullptr, NPITEM_BYLEVEL,
     "ByLevel"},
    {"a weight range preselects its cells", NumberPickerKind::Weight, false, "3-5", "3,4,5", "00",
     "3,4,5,9", 0, "3:5,9"},
    {"a colon range and ByLevel read back unchanged", NumberPickerKind::Color, false,
     "bylevel, 7:9", "7,8,9", "10", nullptr, 0, "7:9,ByLevel"},
    {"<Off> where allowed", NumberPickerKind::Style, true, "<off>,1", "1", "01", nullptr, 0,
     "1,<Off>"},
    {"<Off> where not allowed is dropped", NumberPickerKind::Style, false, "<Off>,2:3", "2,3", "00",
     nullptr, 0, "2,3"},
    {"values outside the grid are dropped", NumberPickerKind::Weight, false, "30:40", "30,31", "00",
     nullptr, 0, "30,31"},
};

TEST_F(PickerTest, NumberPickersPreselectAndWriteBack) {
  const int ids[] = {COLOR_PICKER_ID, WEIGHT_PICKER_ID, STYLE_PICKER_ID};
  for (const NumberCase& c : kNumberCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kCaller), kField, c.fieldText), SUCCESS);
    int writes = 0;
    ASSERT_TRUE(openNumberPicker(c.kind, {kCaller, kField, [&writes] { ++writes; }}, c.offAllowed));
    const int id = ids[static_cast<int>(c.kind)];
    EXPECT_EQ(value(id, NPITEM_GRID), c.preselected);
    EXPECT_EQ(value(id, NPITEM_BYLEVEL) + value(id, NPITEM_OFF), c.toggles);
    EXPECT_EQ(mdlDialog_itemGetById(mdlDialog_find(id), NPITEM_OFF)->visible, c.offAllowed);
    if (c.choose) {
      EXPECT_EQ(change(id, NPITEM_GRID, c.choose), EventResult::Done);
    }
    if (c.toggleOn) {
      EXPECT_EQ(change(id, c.toggleOn, "1"), EventResult::Done);
    }
    EXPECT_EQ(press(id, PITEM_OK), EventResult::Done);
    EXPECT_EQ(mdlDialog_find(id), nullptr);
    EXPECT_EQ(field(), c.written);
    EXPECT_EQ(writes, 1);
  }
}

TEST_F(PickerTest, ColourSwatchesComeFromTheFileAndCancelWritesNothing) {
  ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kCaller), kField, "5"), SUCCESS);
  ASSERT_TRUE(openNumberPicker(NumberPickerKind::Color, {kCaller, kField, {}}, false));
  const DialogItem* grid = mdlDialog_itemGetById(mdlDialog_find(COLOR_PICKER_ID), NPITEM_GRID);
  ASSERT_EQ(grid->cellColors.size(), 256u);
  EXPECT_EQ(grid->gridColumns, 16);
  const RgbColor red = defaultColorTable()[3];
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02x%02x%02x", red.red, red.green, red.blue);
  EXPECT_EQ(grid->cellColors[3], hex);
  // The modal picker takes the events; the caller refuses them meanwhile.
  EXPECT_EQ(change(kCaller, kField, "9"), EventResult::Refused);
  EXPECT_EQ(change(COLOR_PICKER_ID, NPITEM_GRID, "1,2"), EventResult::Done);
  EXPECT_EQ(press(COLOR_PICKER_ID, PITEM_CANCEL), EventResult::Done);
  EXPECT_EQ(mdlDialog_find(COLOR_PICKER_ID), nullptr);
  EXPECT_EQ(field(), "5");
}

struct LevelCase {
  const char* name;
  const char* fieldText;
  const char* preselected;  // rows (0-based: row n is level n + 1)
  bool addSelection;
  const char* choose;
  const char* written;
};

const LevelCase kLevelCases[] = {
    {"names are written quoted, unnamed levels by code", "", "", false, "1,2,4",
     "2,\"A-DOOR\",\"S-BEAM\""},
    {"a pattern and a code range preselect rows", "A-*, 6:7", "2,3,5,6", false, "2", "\"A-DOOR\""},
    {"adding skips the levels the field covers", "a-door", "2", true, "2,3,4",
     "a-door,\"A-WALL\",\"S-BEAM\""},
};

TEST_F(PickerTest, LevelPickerPreselectsAndWritesNames) {
  for (const LevelCase& c : kLevelCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kCaller), kField, c.fieldText), SUCCESS);
    ASSERT_TRUE(openLevelPicker({kCaller, kField, {}}));
    EXPECT_EQ(value(LEVEL_PICKER_ID, LPITEM_LIST), c.preselected);
    const DialogItem* list = mdlDialog_itemGetById(mdlDialog_find(LEVEL_PICKER_ID), LPITEM_LIST);
    ASSERT_EQ(list->choices.size(), 63u);
    EXPECT_EQ(list->choices[2], "A-DOOR\t003\t\t");
    EXPECT_EQ(change(LEVEL_PICKER_ID, LPITEM_ADD, c.addSelection ? "1" : "0"), EventResult::Done);
    EXPECT_EQ(change(LEVEL_PICKER_ID, LPITEM_LIST, c.choose), EventResult::Done);
    EXPECT_EQ(press(LEVEL_PICKER_ID, PITEM_OK), EventResult::Done);
    EXPECT_EQ(mdlDialog_find(LEVEL_PICKER_ID), nullptr);
    EXPECT_EQ(field(), c.written);
  }
}

TEST_F(PickerTest, TooLongLevelListGoesToAListFileOrLeavesTheField) {
  DesignFile* f = designFileOf(mdlModelRef_getActive());
  for (int level = 10; level < 40; ++level) {
    f->levelNames[level] = "LONG-LEVEL-NAME-" + std::to_string(level);  // 30 x 21 characters
  }
  std::string all;
  for (int row = 9; row < 39; ++row) all += (all.empty() ? "" : ",") + std::to_string(row);
  const std::string listFile = dir.file("levels.lst");
  for (const int answer : {ANSWER_CANCEL, ANSWER_OK}) {
    SCOPED_TRACE(answer);
    ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kCaller), kField, "1"), SUCCESS);
    ui.script.answers = {answer};
    if (answer == ANSWER_OK) {
      postHostTask([&] {
        EXPECT_EQ(change(FILE_PICKER_DIALOG_ID, PICKER_NAME, listFile), EventResult::Done);
        EXPECT_EQ(press(FILE_PICKER_DIALOG_ID, PICKER_OK), EventResult::Done);
      });
    }
    ASSERT_TRUE(openLevelPicker({kCaller, kField, {}}));
    ASSERT_EQ(change(LEVEL_PICKER_ID, LPITEM_LIST, all), EventResult::Done);
    EXPECT_EQ(press(LEVEL_PICKER_ID, PITEM_OK), EventResult::Done);
    EXPECT_EQ(mdlDialog_find(LEVEL_PICKER_ID), nullptr);
    ASSERT_FALSE(ui.script.texts(UiEventKind::Alert).empty());
    EXPECT_NE(ui.script.texts(UiEventKind::Alert).back().find("maximum of 255 characters"),
              std::string::npos);
    if (answer == ANSWER_CANCEL) {
      EXPECT_EQ(field(), "1");
      continue;
    }
    EXPECT_EQ(field(), "@" + listFile);
    std::ifstream in(listFile);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line.substr(0, 22), "\"LONG-LEVEL-NAME-10\",\"");
    EXPECT_GT(line.size(), 255u);
  }
}

}  // namespace
}  // namespace kelvara
