// The Element Selection dialog through the dialog manager: the name and list fields, add,
// update, remove, select, the type list, the closing questions and modes, and the files it
// writes as the selection file reader reads them back.
#include "frame/selection_dialog.h"

#include <gtest/gtest.h>

#include <fstream>

#include "frame/picker_dialogs.h"
#include "host/config.h"
#include "host/file_picker.h"
#include "host/selection.h"
#include "host/ui.h"
#include "selection/file.h"
#include "support/dialog_host.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using test::line;

enum class Do { Change, Press, Box, Bound, FileName, CloseWindow };

struct Step {
  Do what;
  int item = 0;            // Box: the unsaved box's item
  std::string value = "";  // Change, Bound (field of "s__select"=value), FileName (in scratch)
};

struct Case {
  const char* name;
  bool modeFlag;
  bool withFile;  // opened on a file holding DOORS (colours 3, levels 3)
  std::vector<Step> steps;
  std::deque<int> answers;  // to alerts and message boxes
  const char* outcome;      // "open", "accepted", "cancelled", "processed"
  const char* sets;         // the dialog list, or the accepted file's sets: NAME:colours:levels
  const char* shown = "";   // a text the last box showed
  const char* file = "";    // the accepted file (in scratch), "" for none
};

const char* const kNoSets = "There are no Selection Sets defined.";

// clang-format off
const std::vector<Case> kCases = {
    {"add, highlight, update and remove", true, false,
     {{Do::Change, SEL_NAME, "walls"}, {Do::Change, SEL_COLORS, "3"}, {Do::Press, SEL_ADD},
      {Do::Change, SEL_NAME, "doors"}, {Do::Change, SEL_COLORS, "4"}, {Do::Press, SEL_ADD},
      {Do::Change, SEL_SETS, "0"}, {Do::Change, SEL_LEVELS, "5"}, {Do::Press, SEL_UPDATE},
      {Do::Change, SEL_NAME, "GONE"}, {Do::Press, SEL_ADD}, {Do::Press, SEL_REMOVE}},
     {}, "open", "WALLS:3:5 DOORS:4:"},
    {"Add refuses a colour out of range and keeps the list", true, false,
     {{Do::Press, SEL_ADD}, {Do::Bound, 0, "colors=300"}, {Do::Press, SEL_ADD}}, {}, "open",
     "DEFAULT::", "An error was detected in the text item \"Colors\":\n"},
    {"closing without sets: OK returns to the dialog", true, false, {{Do::Press, SEL_CLOSE}},
     {ANSWER_OK}, "open", "", kNoSets},
    {"closing without sets: Cancel closes", true, false, {{Do::Press, SEL_CLOSE}},
     {ANSWER_CANCEL}, "cancelled", "", kNoSets},
    {"unsaved sets without a file: Save as writes and closes", true, false,
     {{Do::Press, SEL_ADD}, {Do::Press, SEL_CLOSE}, {Do::FileName, 0, "new.sel"},
      {Do::Box, UNSAVED_SAVE_AS}},
     {}, "accepted", "DEFAULT::", "", "new.sel"},
    {"unsaved sets: returning keeps the dialog", true, false,
     {{Do::Press, SEL_ADD}, {Do::Press, SEL_CLOSE}, {Do::Box, UNSAVED_RETURN}}, {}, "open",
     "DEFAULT::"},
    {"with a file and the mode flag: Save stores the working copy into its set", true, true,
     {{Do::Change, SEL_COLORS, "7"}, {Do::Press, SEL_REMOVE}, {Do::Change, SEL_NAME, "B"},
      {Do::Press, SEL_ADD}, {Do::Change, SEL_COLORS, "8"}, {Do::Press, SEL_CLOSE},
      {Do::Box, UNSAVED_SAVE}},
     {ANSWER_NO}, "accepted", "B:8:3", "", "doors.sel"},
    {"changed criteria: the warning stores them, unsaved sets go to the temporary file", false,
     true, {{Do::Change, SEL_COLORS, "5"}, {Do::Press, SEL_CLOSE}}, {ANSWER_YES}, "accepted",
     "DOORS:5:3", "DOORS", "t$e$m$p$.sel"},
    {"the warning switched off: the saved file is kept as it is", false, true,
     {{Do::Bound, 0, "cfg"}, {Do::Change, SEL_COLORS, "5"}, {Do::Press, SEL_CLOSE}}, {},
     "accepted", "DOORS:3:3", "", "doors.sel"},
    {"processing with unsaved sets asks: Cancel returns, OK goes on without saving", true, false,
     {{Do::Press, SEL_ADD}, {Do::Press, SEL_PROCESS}, {Do::Press, SEL_PROCESS}},
     {ANSWER_CANCEL, ANSWER_OK}, "processed", "",
     "One or more unsaved Selection Sets have been detected. \n\nThe list of Selection Sets must "
     "be saved to a file to be used in design file processing."},
    {"closing the window is a cancel", true, true, {{Do::CloseWindow}}, {}, "cancelled", ""},
};
// clang-format on

struct SelectionDialogTest : ::testing::Test {
  ScopedScriptedUi ui;
  test::ScratchDir dir;
  std::string outcome;
  std::string acceptedFile;

  void SetUp() override {
    test::resetDialogHost();
    (void)mdlSystem_undefineCfgVar("TRV_SELECTION_UPDATEDESCRIPTIONWARNING");
    test::DesignBuilder d;
    for (int i = 0; i < 5; ++i) d.add(line({0, i * 100.0}, {1000, i * 100.0}, {.level = 3}));
    d.add(line({0, 0}, {500, 500}, {.level = 4, .colour = 2}));
    const std::string design = dir.file("plan.dgn");
    ASSERT_TRUE(d.write(design));
    ASSERT_EQ(mdlSystem_newDesignFile(design), SUCCESS);
    definePickerDialogs();
    defineSelectionDialog();
    defaultSelectionDirectory() = dir.file("");
  }
  void TearDown() override {
    test::resetDialogHost();
    (void)mdlSystem_undefineCfgVar("TRV_SELECTION_UPDATEDESCRIPTIONWARNING");
  }

  bool open(bool modeFlag, const std::string& initialFile) {
    SelectionDialogOpener opener;
    opener.modeFlag = modeFlag;
    opener.initialFile = initialFile;
    opener.accept = [this](const std::string& file, const std::string&) {
      outcome = "accepted";
      acceptedFile = file;
    };
    opener.cancel = [this] { outcome = "cancelled"; };
    opener.process = [this] { outcome = outcome == "accepted" ? "processed" : "out of order"; };
    return openSelectionDialog(std::move(opener));
  }
  static EventResult change(int item, const std::string& value) {
    return test::change(SELECTION_DIALOG_ID, item, value);
  }
  static EventResult press(int item) { return test::press(SELECTION_DIALOG_ID, item); }
  static std::string itemValue(int item) {
    std::string v;
    (void)mdlDialog_itemGetValue(mdlDialog_find(SELECTION_DIALOG_ID), item, &v);
    return v;
  }
  static std::string describe(const SelectionSetList& list) {
    std::string out;
    for (const SelectionSet& s : list.sets) {
      out += (out.empty() ? "" : " ") + s.name + ":" + s.colors + ":" + s.levels;
    }
    return out;
  }
  // A file holding the set DOORS (colours 3, levels 3).
  std::string doorsFile() {
    SelectionSetList list;
    SelectionSet doors = emptySelectionSet("DOORS");
    selectAllTypes(doors);
    doors.colors = "3";
    doors.levels = "3";
    addSet(list, doors);
    const std::string path = dir.file("doors.sel");
    EXPECT_EQ(writeSelectionFile(path, list), SUCCESS);
    return path;
  }
  void apply(const Step& step) {
    switch (step.what) {
      case Do::Change:
        EXPECT_EQ(change(step.item, step.value), EventResult::Done) << step.value;
        break;
      case Do::Press:
        EXPECT_EQ(press(step.item), EventResult::Done) << step.item;
        break;
      case Do::CloseWindow:
        EXPECT_EQ(test::closeWindow(SELECTION_DIALOG_ID), EventResult::Done);
        break;
      case Do::Box:
        EXPECT_EQ(test::press(SELECTION_UNSAVED_BOX_ID, step.item), EventResult::Done);
        break;
      case Do::Bound:
        if (step.value == "cfg") {
          ASSERT_EQ(mdlSystem_defineCfgVar("TRV_SELECTION_UPDATEDESCRIPTIONWARNING", "No"),
                    SUCCESS);
        } else {
          const size_t eq = step.value.find('=');
          ASSERT_TRUE(
              writeBoundValue("s__select." + step.value.substr(0, eq), step.value.substr(eq + 1)));
        }
        break;
      case Do::FileName:
        postHostTask([this, name = step.value] {
          EXPECT_EQ(test::change(FILE_PICKER_DIALOG_ID, PICKER_NAME, dir.file(name)),
                    EventResult::Done);
          EXPECT_EQ(test::press(FILE_PICKER_DIALOG_ID, PICKER_OK), EventResult::Done);
        });
        break;
    }
  }
};

TEST_F(SelectionDialogTest, ListCommandsAndClosing) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    outcome = "open";
    acceptedFile.clear();
    ui.script.events.clear();
    ui.script.answers = c.answers;
    (void)mdlSystem_undefineCfgVar("TRV_SELECTION_UPDATEDESCRIPTIONWARNING");
    const std::string initial = c.withFile ? doorsFile() : "";
    ASSERT_TRUE(open(c.modeFlag, initial));
    if (c.withFile) {
      EXPECT_EQ(mdlDialog_find(SELECTION_DIALOG_ID)->title, "Tarvo Element Selection - " + initial);
    }
    for (const Step& step : c.steps) apply(step);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(ui.script.unscriptedQuestions, 0);
    std::string shown;
    for (const UiEvent& e : ui.script.events) {
      if (e.kind == UiEventKind::InfoBox || e.kind == UiEventKind::Alert ||
          e.kind == UiEventKind::MessageBox) {
        shown = e.text;
      }
    }
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    if (outcome == "open") {
      EXPECT_EQ(describe(selectionDialogList()), c.sets);
      (void)press(SEL_CANCEL);
      continue;
    }
    EXPECT_EQ(mdlDialog_find(SELECTION_DIALOG_ID), nullptr);
    EXPECT_EQ(acceptedFile, *c.file ? dir.file(c.file) : "");
    if (*c.file) {
      SelectionSetList read;
      ParseError error;
      ASSERT_EQ(readSelectionFile(acceptedFile, read, &error), SUCCESS) << error.text;
      EXPECT_EQ(describe(read), c.sets);
    }
  }
}

// What a field shows after a value is typed into it, and whether it was taken.
struct FieldCase {
  int item;
  const char* typed;
  EventResult result;
  const char* shown;
};

const FieldCase kFieldCases[] = {
    {SEL_NAME, "doors", EventResult::Done, "DOORS"},
    {SEL_NAME, "", EventResult::Done, "DEFAULT"},
    {SEL_NAME, "   ", EventResult::BadValue, "DEFAULT"},
    {SEL_COLORS, "300", EventResult::BadValue, ""},
    {SEL_WEIGHTS, "31", EventResult::Done, "31"},
    {SEL_STYLES, "8", EventResult::BadValue, ""},
    {SEL_GROUPS, "1 : 3,, 7", EventResult::Done, "1-3,7"},
    {SEL_GROUPS, "70000", EventResult::BadValue, "1-3,7"},
    {SEL_REGION, "1,2,3", EventResult::BadValue, ""},
    {SEL_REGION, "0 0 0 1 1 1", EventResult::Done, "0 0 0 1 1 1"},
};

TEST_F(SelectionDialogTest, FieldsTakeOnlyWhatTheirChecksPass) {
  ASSERT_TRUE(open(true, ""));
  for (const FieldCase& c : kFieldCases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(change(c.item, c.typed), c.result);
    EXPECT_EQ(itemValue(c.item), c.shown);
  }
  EXPECT_EQ(ui.script.texts(UiEventKind::InfoBox), std::vector<std::string>{"Enter six numbers."});
}

// The message after Select, a set selecting its elements in the drawing and the type button's
// first caption: the browser's selection dialog story.
TEST_F(SelectionDialogTest, TypeListAndSelectInTheDrawing) {
  ASSERT_TRUE(open(true, ""));
  const DialogItem* button =
      mdlDialog_itemGetById(mdlDialog_find(SELECTION_DIALOG_ID), SEL_TYPE_BUTTON);
  EXPECT_EQ(itemValue(SEL_TYPES), "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21");
  ASSERT_EQ(press(SEL_TYPE_BUTTON), EventResult::Done);
  EXPECT_EQ(button->caption, "Select All Types");
  EXPECT_EQ(itemValue(SEL_TYPES), "");
  ASSERT_EQ(change(SEL_TYPES, "10"), EventResult::Done);  // lines only
  ASSERT_EQ(change(SEL_LEVELS, "3"), EventResult::Done);
  ASSERT_EQ(press(SEL_ADD), EventResult::Done);
  ASSERT_EQ(change(SEL_NAME, "RED"), EventResult::Done);
  ASSERT_EQ(change(SEL_LEVELS, ""), EventResult::Done);
  ASSERT_EQ(change(SEL_COLORS, "2"), EventResult::Done);
  ASSERT_EQ(press(SEL_ADD), EventResult::Done);
  for (auto [rows, count] : {std::pair{"0", 5u}, {"0,1", 6u}}) {
    ASSERT_EQ(change(SEL_SETS, rows), EventResult::Done);
    ASSERT_EQ(press(SEL_ACTIVATE), EventResult::Done);
    EXPECT_EQ(mdlSelect_count(), count) << rows;
  }
  // Each Select replaces the one group it selects through.
  EXPECT_EQ(namedGroupNames(mdlModelRef_getActive()), std::vector<std::string>{"Selection"});
  ASSERT_EQ(change(SEL_SETS, "0,1"), EventResult::Done);
  EXPECT_FALSE(mdlDialog_itemGetById(mdlDialog_find(SELECTION_DIALOG_ID), SEL_UPDATE)->enabled);
}

}  // namespace
}  // namespace kelvara
