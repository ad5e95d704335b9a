// The pickers through the dialog manager: what they preselect from the calling field and what
// OK writes back (ByLevel, <Off>, levels added), the colour grid and Cancel, the font and text
// style lists, and a level list too long for its field going to a level list file.
#include "frame/picker_dialogs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "host/file_picker.h"
#include "host/ui.h"
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

// What the dialog adds to the texts it reads and writes: the toggles, <Off> where allowed, the
// grid preselected. The texts themselves: valuelist/number_picker_test; a colour range chosen
// through the dialog: the browser's selection dialog story.
const NumberCase kNumberCases[] = {
    {"nothing but ByLevel", NumberPickerKind::Color, false, "", "", "00", nullptr, NPITEM_BYLEVEL,
     "ByLevel"},
    {"a weight range preselects its cells", NumberPickerKind::Weight, false, "3-5", "3,4,5", "00",
     "3,4,5,9", 0, "3:5,9"},
    {"<Off> where allowed", NumberPickerKind::Style, true, "<off>,1", "1", "01", nullptr, 0,
     "1,<Off>"},
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
  EXPECT_EQ(grid->cellColors[3], "#ff0000");  // colour 3 of a blank design is red
  // The modal picker takes the events; the caller refuses them meanwhile.
  EXPECT_EQ(change(kCaller, kField, "9"), EventResult::Refused);
  EXPECT_EQ(change(COLOR_PICKER_ID, NPITEM_GRID, "1,2"), EventResult::Done);
  EXPECT_EQ(press(COLOR_PICKER_ID, PITEM_CANCEL), EventResult::Done);
  EXPECT_EQ(mdlDialog_find(COLOR_PICKER_ID), nullptr);
  EXPECT_EQ(field(), "5");
}

// The dialog's rows and the wiring of its field, add switch and OK; which rows a text covers and
// what OK writes from them: valuelist/level_picker_test.
TEST_F(PickerTest, LevelPickerPreselectsAndAddsTheNamesTheFieldLacks) {
  ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kCaller), kField, "a-door"), SUCCESS);
  ASSERT_TRUE(openLevelPicker({kCaller, kField, {}}));
  EXPECT_EQ(value(LEVEL_PICKER_ID, LPITEM_LIST), "2");
  const DialogItem* list = mdlDialog_itemGetById(mdlDialog_find(LEVEL_PICKER_ID), LPITEM_LIST);
  ASSERT_EQ(list->choices.size(), 63u);
  EXPECT_EQ(list->choices[2], "A-DOOR\t003\t\t");
  EXPECT_EQ(change(LEVEL_PICKER_ID, LPITEM_ADD, "1"), EventResult::Done);
  EXPECT_EQ(change(LEVEL_PICKER_ID, LPITEM_LIST, "2,3,4"), EventResult::Done);
  EXPECT_EQ(press(LEVEL_PICKER_ID, PITEM_OK), EventResult::Done);
  EXPECT_EQ(mdlDialog_find(LEVEL_PICKER_ID), nullptr);
  EXPECT_EQ(field(), "a-door,\"A-WALL\",\"S-BEAM\"");
}

struct ListCase {
  const char* name;
  ListKind kind;
  size_t capacity;
  const char* fieldText;
  const char* preselected;  // rows
  const char* choose;       // rows chosen before OK, nullptr: left as preselected
  const char* written;      // the field after OK
  const char* asked = "";   // the question asked (answered Cancel)
};

// Font rows: the standard fonts by number (0 STANDARD, 1 WORKING, 2 FANCY, 3 ENGINEERING, ...,
// 108 as row 54), then the fonts the drawing's text (150) and text node (200) use.
const ListCase kListCases[] = {
    {"fonts are written by number", ListKind::Fonts, 255, "", "", "1,3", "1,3"},
    {"a name pattern and a range preselect fonts", ListKind::Fonts, 255, "eng*, 0:1", "0,1,3",
     nullptr, "0,1,3"},
    {"the drawing's own fonts are listed", ListKind::Fonts, 255, "150, \"font 2*\"", "55,56",
     nullptr, "150,200"},
    {"text styles are written by quoted name", ListKind::TextStyles, 255, "\"style (none)\"", "0",
     nullptr, "\"Style (none)\""},
    {"a list longer than the field is asked about", ListKind::Fonts, 10, "9", "", "0,1,2,3,4,5",
     "9", "Sorry, a fonts list is limited to a maximum of 10 characters."},
};

TEST_F(PickerTest, FontAndTextStylePickersPreselectAndWriteBack) {
  test::DesignBuilder d;
  d.add(test::text({.chars = "A", .font = 150}));
  d.add(test::textNode({.chars = "", .font = 200}, {"B"}, 1));
  d.add(test::text({.chars = "C", .font = 180}));
  const std::string plan = dir.file("fonts.dgn");
  ASSERT_TRUE(d.write(plan));
  ASSERT_EQ(mdlSystem_newDesignFile(plan), SUCCESS);
  ASSERT_EQ(mdlElement_undoableDelete(d.positionOf(2), mdlModelRef_getActive()), SUCCESS);
  for (const ListCase& c : kListCases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(mdlDialog_itemSetValue(mdlDialog_find(kCaller), kField, c.fieldText), SUCCESS);
    ui.script.answers = {ANSWER_CANCEL};
    ui.script.events.clear();
    ASSERT_TRUE(openListPicker(c.kind, {kCaller, kField, {}}, c.capacity));
    const int id = c.kind == ListKind::Fonts ? FONT_PICKER_ID : TEXT_STYLE_PICKER_ID;
    const DialogItem* list = mdlDialog_itemGetById(mdlDialog_find(id), LPITEM_LIST);
    EXPECT_EQ(list->choices.size(), c.kind == ListKind::Fonts ? 57u : 1u);
    EXPECT_EQ(list->choices[0], c.kind == ListKind::Fonts
                                    ? "0\tSTANDARD"
                                    : "Style (none)\tRepresents an undefined text style");
    EXPECT_EQ(value(id, LPITEM_LIST), c.preselected);
    if (c.choose) {
      EXPECT_EQ(change(id, LPITEM_LIST, c.choose), EventResult::Done);
    }
    EXPECT_EQ(press(id, PITEM_OK), EventResult::Done);
    EXPECT_EQ(mdlDialog_find(id), nullptr);
    EXPECT_EQ(field(), c.written);
    const std::vector<std::string> alerts = ui.script.texts(UiEventKind::Alert);
    EXPECT_EQ(alerts.empty() ? "" : alerts.back().substr(0, std::strlen(c.asked)), c.asked);
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
