// The constraint dialogs, opened from the Element Selection dialog's type list: the rows the
// inputs make, the add button's enabling, remove, OK and Cancel, and the rows as the type's
// constraint list in the working copy.
#include "frame/constraint_dialogs.h"

#include <gtest/gtest.h>

#include "frame/linkage_dialogs.h"
#include "frame/picker_dialogs.h"
#include "frame/selection_dialog.h"
#include "host/ui.h"
#include "support/dialog_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

// An input of the open constraint dialog (or of the picker one of its buttons opened) set to a
// value or pressed (PRESS), or a button ("add", "remove", "ok", "cancel") pressed; `result` is
// what the manager answers.
struct Input {
  int item;
  std::string value;
  EventResult result = EventResult::Done;
  int dialog = CONSTRAINT_DIALOG_ID;
};
constexpr int ADD = -1, REMOVE = -2, OK = -3, CANCEL = -4;
const char* const PRESS = "<press>";

struct Case {
  const char* name;
  int type;  // host element type
  std::vector<Input> inputs;
  std::deque<int> answers;
  std::vector<std::string> list;  // the type's list after the dialog closed ("" members kept)
  int more;                       // the type's `more` afterwards
  bool open = false;              // the dialog is still open at the end
  const char* shown = "";
};

int in(int column) {
  return CITEM_INPUT + column;
}
int op(int column) {
  return CITEM_OPERATOR + column;
}

const Input kAdd{ADD, ""}, kOk{OK, ""};
// clang-format off
const std::vector<Case> kCases = {
    {"an unfilled ellipse row drops its fill colours", 15,
     {{in(0), "2"}, {in(1), "5"}, {op(2), "2"}, {in(2), "10"}, kAdd, kOk}, {},
     {"Not filled", "", "<= 10", ""}, 1},
    {"a cell without a name is an unnamed cell", 2,
     {{in(0), "1"}, {op(3), "0"}, {in(3), "90"}, kAdd, kOk}, {},
     {"Graphic cell", "Unnamed Cell", "Wildcard", "= 90", "", ""}, 1},
    {"text justifications in upper case, the format's label", 17,
     {{in(2), "lt,cc"}, {in(5), "DOOR.*"}, {in(6), "1"}, kAdd, kOk}, {},
     {"", "", "LT,CC", "", "", "DOOR.*", "Regex"}, 1},
    {"the same row cannot be added twice; remove deletes the highlighted row", 3,
     {{op(0), "4"}, {in(0), "2"}, kAdd, {op(0), "4"}, {in(0), "2"},
      {ADD, "", EventResult::Refused}, {in(0), "3"}, kAdd, {CITEM_ROWS, "0"}, {REMOVE, ""}, kOk},
     {}, {"> 3"}, 1},
    {"OK without rows leaves no list", 22, {kOk}, {}, {}, 0},
    {"OK with a row not added asks; No keeps the dialog", 4, {{in(1), "4"}, kOk}, {ANSWER_NO},
     {}, 0, true, "has not been added"},
    {"Cancel hands nothing over", 16, {{in(0), "90"}, kAdd, {CANCEL, ""}}, {}, {}, 0},
    {"dimension types chosen go to the type list; text rows to the text list", 33,
     {{CITEM_DIMENSION_TYPES, "0,11"}, {in(2), "Arial*"}, kAdd, kOk}, {},
     {"", "", "Arial*", "", ""}, 1},
    {"the font picker writes the chosen fonts into a new text row", 17,
     {{CITEM_PICKER + 1, PRESS}, {LPITEM_LIST, "1,3", EventResult::Done, FONT_PICKER_ID},
      {PITEM_OK, PRESS, EventResult::Done, FONT_PICKER_ID}, kAdd, kOk}, {},
     {"", "", "LT,CC", "", "", "DOOR.*", "Regex", "", "1,3", "", "", "", "", "Wildcard"}, 1},
    {"types without constraints say so", 27, {}, {}, {}, 0, false, "no constraints"},
};
// clang-format on

struct ConstraintDialogTest : ::testing::Test {
  ScopedScriptedUi ui;
  test::ScratchDir dir;

  void SetUp() override {
    test::resetDialogHost();
    ASSERT_TRUE(test::openBlankDesign(dir.file("plan.dgn")));
    definePickerDialogs();
    defineSelectionDialog();
    defaultSelectionDirectory() = dir.file("");
    SelectionDialogOpener opener;
    opener.modeFlag = true;
    ASSERT_TRUE(openSelectionDialog(std::move(opener)));
  }
  void TearDown() override { test::resetDialogHost(); }
  // Opens the type's constraint dialog from the type list.
  static void openFor(int type) {
    ASSERT_EQ(
        test::change(SELECTION_DIALOG_ID, SEL_CONSTRAINT_TYPE, std::to_string(typeIndex(type))),
        EventResult::Done);
    ASSERT_EQ(test::press(SELECTION_DIALOG_ID, SEL_CONSTRAINTS), EventResult::Done);
  }
  static EventResult apply(const Input& input) {
    const int buttons[] = {CITEM_ADD, CITEM_REMOVE, CITEM_OK, CITEM_CANCEL};
    if (input.item < 0) {
      return test::press(CONSTRAINT_DIALOG_ID, buttons[-input.item - 1]);
    }
    if (input.value == PRESS) return test::press(input.dialog, input.item);
    return test::change(input.dialog, input.item, input.value);
  }
};

TEST_F(ConstraintDialogTest, RowsBecomeTheTypesConstraintList) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ui.script.events.clear();
    ui.script.answers = c.answers;
    openFor(c.type);
    for (const Input& input : c.inputs) EXPECT_EQ(apply(input), input.result) << input.item;
    EXPECT_EQ(mdlDialog_find(CONSTRAINT_DIALOG_ID) != nullptr, c.open);
    const SelectionSet& w = selectionWorkingCopy();
    const ConstraintKind kind = constraintKindOf(c.type);
    if (kind != CONSTRAINT_LIST_COUNT) {
      EXPECT_EQ(w.lists[kind].value_or(std::vector<std::string>{}), c.list);
      EXPECT_EQ(toggleOf(w, c.type)->more, c.more);
    }
    const std::vector<std::string> infos = ui.script.texts(UiEventKind::InfoBox);
    const std::vector<std::string> asked = ui.script.texts(UiEventKind::MessageBox);
    const std::string shown = !infos.empty() ? infos.back() : !asked.empty() ? asked.back() : "";
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    if (c.type == 33) {
      EXPECT_EQ(w.lists[DIMENSION_TYPE_LIST], std::vector<std::string>{"0,11"});
    }
    if (c.open) (void)apply({CANCEL, ""});
  }
  // The type list marks the types with rows. Saving them: the selection file's round trip
  // (tests/selection) and the dialog's Save (selection_dialog_test).
  const DialogItem* types = mdlDialog_itemGetById(mdlDialog_find(SELECTION_DIALOG_ID), SEL_TYPES);
  EXPECT_EQ(types->choices[static_cast<size_t>(typeIndex(15))], "Ellipse  >");
  EXPECT_EQ(types->choices[static_cast<size_t>(typeIndex(16))], "Arc");
}

// The database and user data dialogs: each field checked with its bounds, OK keeps the
// criteria and marks the button, Cancel gives them back.
struct LinkageCase {
  int button;
  int dialog;
  std::vector<Input> inputs;  // inputs of the linkage dialog, then its closing button last
  uint32_t toggles;
  std::vector<std::string> texts;  // the criteria's texts afterwards, in the dialog's order
  const char* caption;
};

// clang-format off
const LinkageCase kLinkageCases[] = {
    {SEL_DATABASE, DATABASE_DIALOG_ID,
     {{LINK_BIT + 4, "1"}, {LINK_TEXT + 0, "1 : 3"}, {LINK_TEXT + 5, "300", EventResult::BadValue},
      {LINK_TEXT + 7, "16777215"}, {LINK_OK, ""}},
     16, {"1-3", "", "", "", "", "", "", "16777215"}, "* Database..."},
    {SEL_USER_DATA, USER_DATA_DIALOG_ID,
     {{LINK_TEXT + 1, "2", EventResult::BadValue}, {LINK_TEXT + 2, "7"}, {LINK_CANCEL, ""}},
     0, std::vector<std::string>(12), "User data..."},
};
// clang-format on

TEST_F(ConstraintDialogTest, LinkageDialogsCheckTheirFieldsAndMarkTheirButtons) {
  for (const LinkageCase& c : kLinkageCases) {
    SCOPED_TRACE(c.caption);
    ASSERT_EQ(test::press(SELECTION_DIALOG_ID, c.button), EventResult::Done);
    for (const Input& input : c.inputs) {
      const DialogEventKind kind =
          input.item < LINK_BIT ? DialogEventKind::Button : DialogEventKind::Change;
      EXPECT_EQ(dialogs_handleEvent({c.dialog, input.item, kind, input.value}), input.result)
          << input.item;
    }
    EXPECT_EQ(mdlDialog_find(c.dialog), nullptr);
    const SelectionSet& w = selectionWorkingCopy();
    if (c.dialog == DATABASE_DIALOG_ID) {
      const DatabaseCriteria& d = w.database;
      EXPECT_EQ(d.toggles, c.toggles);
      EXPECT_EQ(
          (std::vector<std::string>{d.linkageClass, d.linkageWords, d.linkageWord3, d.linkageKey,
                                    d.dmrsClass, d.dmrsEntity, d.dmrsWord1, d.dmrsKey}),
          c.texts);
    } else {
      EXPECT_EQ(w.userData.toggles, c.toggles);
      EXPECT_EQ(std::vector<std::string>(w.userData.texts.begin(), w.userData.texts.end()),
                c.texts);
    }
    EXPECT_EQ(mdlDialog_itemGetById(mdlDialog_find(SELECTION_DIALOG_ID), c.button)->caption,
              c.caption);
  }
}

}  // namespace
}  // namespace kelvara
