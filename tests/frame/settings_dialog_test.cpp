// The settings dialog through the dialog manager, opened from the main dialog: closing it undoes
// every edit, OK keeps them once its checks pass, the enabling rules, the pages and the
// underlap switch.
#include "frame/settings_dialog.h"

#include <gtest/gtest.h>

#include "frame/main_dialog_host.h"
#include "frame/messages.h"
#include "frame/picker_dialogs.h"
#include "frame/selection_dialog.h"
#include "host/state.h"
#include "host/ui.h"
#include "selection/file.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

constexpr int kRuleLevelFlag = SITEM_RULE_FIRST;
constexpr int kRuleLevelList = SITEM_RULE_FIRST + 1;
constexpr int kRuleStyleFlag = SITEM_RULE_FIRST + 6;
constexpr int kRuleStyleList = SITEM_RULE_FIRST + 7;
constexpr int kSymLevelFlag = SITEM_SYMBOLOGY_FIRST;
constexpr int kSymLevelName = SITEM_SYMBOLOGY_FIRST + 1;
constexpr int kSymWeightFlag = SITEM_SYMBOLOGY_FIRST + 4;
constexpr int kSymWeight = SITEM_SYMBOLOGY_FIRST + 5;

struct SettingsDialogTest : ::testing::Test {
  ScopedScriptedUi ui;
  test::ScratchDir dir;
  DialogBox* db = nullptr;

  void SetUp() override {
    test::resetMainDialogHost();
    const std::string design = dir.file("plan.dgn");  // 10 sub-units of 100 UOR per master unit
    ASSERT_TRUE(test::DesignBuilder{}.write(design));
    ASSERT_EQ(mdlSystem_newDesignFile(design), SUCCESS);
    ASSERT_NE(test::openMainDialog(), nullptr);
    defineSettingsDialog();
    ASSERT_EQ(test::press(MAIN_DIALOG_ID, ITEM_SETTINGS), EventResult::Done);
    db = mdlDialog_find(SETTINGS_DIALOG_ID);
    ASSERT_NE(db, nullptr);
  }
  void TearDown() override { test::resetMainDialogHost(); }

  static EventResult change(int item, const std::string& value) {
    return test::change(SETTINGS_DIALOG_ID, item, value);
  }
  static EventResult press(int item) { return test::press(SETTINGS_DIALOG_ID, item); }
  bool enabled(int item) { return mdlDialog_itemGetById(db, item)->enabled; }
  static bool open() { return mdlDialog_find(SETTINGS_DIALOG_ID) != nullptr; }
};

// One edit per page: the page row, the item, the value typed, the field it lands in.
struct Edit {
  int page;
  int item;
  const char* value;
  const char* binding;
};

// Cancel in the browser gives a setting back (Cancel and closing the window both restore the
// snapshot taken at opening); these are the edits of the other records it restores (the rules,
// the report symbology) and the underlap switch's side effect.
const Edit kEdits[] = {
    {PAGE_COMPARISON, SITEM_UNDERLAP, "1", "ALLOW_UNDERLAP"},
    {PAGE_RUN, SITEM_CRITERIA, "walls.sel", "CRITERIA_NAME_"},
    {PAGE_RULES_REMOVE, kRuleLevelFlag, "1", "rules[2].useLevel"},
    {PAGE_RULES_REMOVE, kRuleLevelList, "1-5,9", "rules[2].level"},
    {PAGE_RULES_COMPARED, kRuleStyleFlag, "1", "rules[3].useStyle"},
    {PAGE_REPORT_SYMBOLOGY, kSymLevelName, "Doubles", "reportSymbology[2].levelValue"},
};

TEST_F(SettingsDialogTest, ClosingTheWindowRestoresEveryEditedField) {
  const std::string tolerance = runSettings().TOLERANCE.str();
  std::vector<std::string> before;
  for (const Edit& e : kEdits) {
    const std::string binding = std::string("s__sarnex.") + e.binding;
    before.push_back(readBoundValue(binding));
    EXPECT_EQ(change(SITEM_PAGE, std::to_string(e.page)), EventResult::Done);
    EXPECT_EQ(change(e.item, e.value), EventResult::Done) << e.binding;
    EXPECT_EQ(readBoundValue(binding), e.value) << e.binding;
  }
  ASSERT_EQ(test::closeWindow(SETTINGS_DIALOG_ID), EventResult::Done);
  EXPECT_FALSE(open());
  for (size_t i = 0; i < std::size(kEdits); ++i) {
    EXPECT_EQ(readBoundValue(std::string("s__sarnex.") + kEdits[i].binding), before[i])
        << kEdits[i].binding;
  }
  EXPECT_EQ(runSettings().OVERLAP, 0);
  EXPECT_EQ(runSettings().ALLOW_REVERSED, 0);
  EXPECT_EQ(runSettings().TOLERANCE.str(), tolerance);
}

TEST_F(SettingsDialogTest, OkIsRefusedWithTheReasonAndTheEditsStay) {
  RunSettings& s = runSettings();
  // Extensions that differ only in case.
  s.DESIGN_EXTENSION.assign("TRF");
  ASSERT_EQ(press(SITEM_OK), EventResult::Done);
  EXPECT_TRUE(open());
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox).back(), messageText(62));
  EXPECT_EQ(s.DESIGN_EXTENSION.str(), "TRF");
  s.DESIGN_EXTENSION.assign("drf");
  // A scope over the selection sets needs a readable selection file.
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_RUN)), EventResult::Done);
  ASSERT_EQ(change(SITEM_REMOVE_SEL_DUP, "1"), EventResult::Done);
  EXPECT_EQ(s.REMOVE_ALL_DUP, 0);
  ASSERT_EQ(press(SITEM_OK), EventResult::Done);
  EXPECT_TRUE(open());
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox).back(), messageText(76));
  const std::string missing = dir.file("missing.sel");
  ASSERT_EQ(change(SITEM_CRITERIA, missing), EventResult::Done);
  ASSERT_EQ(press(SITEM_OK), EventResult::Done);
  EXPECT_TRUE(open());
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox).back(), messageText(28, missing.c_str()));
  EXPECT_EQ(s.REMOVE_SEL_DUP, 1);
  EXPECT_EQ(s.CRITERIA_NAME_.str(), missing);
}

TEST_F(SettingsDialogTest, ItemsAreEnabledByTheFlagsTheyDependOn) {
  struct Rule {
    int page;
    int flag;       // item switched, or 0 for a record field set directly
    int dependent;  // item whose enabled state follows
    bool enabledWithFlagOn;
  };
  const Rule rules[] = {
      {PAGE_RULES_REMOVE, kRuleLevelFlag, kRuleLevelList, true},
      {PAGE_RULES_COMPARED, kRuleStyleFlag, kRuleStyleList, true},
      {PAGE_RULES_COMPARED, kRuleStyleFlag, SITEM_RULE_PICKER_FIRST + 3, true},
      {PAGE_COMPARISON, SITEM_OVERLAP, SITEM_TOLERANCE, true},
      {PAGE_COMPARISON, SITEM_ROTATION, SITEM_ROT_TOLERANCE, true},
      {PAGE_REPORT_SYMBOLOGY, kSymLevelFlag, kSymLevelName, true},
      {PAGE_REPORT_SYMBOLOGY, kSymWeightFlag, kSymWeight, true},
      {PAGE_RUN, SITEM_INTERACTIVE, SITEM_DELETE_MODE, false},
  };
  for (const Rule& r : rules) {
    ASSERT_EQ(change(SITEM_PAGE, std::to_string(r.page)), EventResult::Done);
    for (const char* value : {"1", "0", "1"}) {
      ASSERT_EQ(change(r.flag, value), EventResult::Done) << r.flag;
      EXPECT_EQ(enabled(r.dependent), (value[0] == '1') == r.enabledWithFlagOn)
          << "item " << r.dependent << " with " << r.flag << " = " << value;
    }
  }
  // The fence item follows FILE_MODE, set from the main dialog.
  EXPECT_TRUE(enabled(SITEM_FENCE));
  runSettings().FILE_MODE = 1;
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_RUN)), EventResult::Done);
  EXPECT_FALSE(enabled(SITEM_FENCE));
  // On the IGNORE page the lists stay as they were.
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_RULES_IGNORE)), EventResult::Done);
  const bool listEnabled = enabled(kRuleLevelList);
  for (const char* value : {"1", "0"}) {
    ASSERT_EQ(change(kRuleLevelFlag, value), EventResult::Done);
    EXPECT_EQ(enabled(kRuleLevelList), listEnabled);
  }
}

TEST_F(SettingsDialogTest, PagesAndReportCategoriesChooseTheRecordTheItemsEdit) {
  const struct {
    int page;
    const char* group;
  } pages[] = {{PAGE_RULES_IGNORE, "1"}, {PAGE_RULES_REMOVE, "2"}, {PAGE_RULES_COMPARED, "3"}};
  for (const auto& p : pages) {
    ASSERT_EQ(change(SITEM_PAGE, std::to_string(p.page)), EventResult::Done);
    EXPECT_EQ(readBoundValue("i__currentSymbology.value"), p.group);
    ASSERT_EQ(change(kRuleLevelFlag, "1"), EventResult::Done);  // enables the list
    ASSERT_EQ(change(kRuleLevelList, std::string("group ") + p.group), EventResult::Done);
  }
  for (int g = 0; g < RULE_COUNT; ++g) {
    EXPECT_EQ(runSettings().rules[g].useLevel, 1);
    EXPECT_EQ(runSettings().rules[g].level.str(), "group " + std::to_string(g + 1));
  }
  // Category rows 1..7 -> records 2, 4, 2, 3, 3, 1, 1; opening shows record 2.
  EXPECT_EQ(runSettings().currentReportCategory, 2);
  EXPECT_EQ(readBoundValue("i__rptSym.value"), "2");
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_REPORT_SYMBOLOGY)), EventResult::Done);
  const int records[] = {2, 4, 2, 3, 3, 1, 1};
  for (int row = 0; row < 7; ++row) {
    ASSERT_EQ(change(SITEM_REPORT_CATEGORY, std::to_string(row)), EventResult::Done);
    EXPECT_EQ(runSettings().currentReportCategory, records[row]) << row;
    EXPECT_EQ(readBoundValue("i__rptSym.value"), std::to_string(records[row]));
    std::string shown;
    ASSERT_EQ(mdlDialog_itemGetValue(db, kSymLevelName, &shown), SUCCESS);
    EXPECT_EQ(shown, runSettings().reportSymbology[records[row] - 1].levelValue.str()) << row;
  }
}

TEST_F(SettingsDialogTest, TheUnderlapSwitchSetsOverlapReversalAndToleranceAndUndoesThem) {
  RunSettings& s = runSettings();
  EXPECT_EQ(smallestTolerance(), "0.001");  // 1 / (100 UOR x 10 sub-units)
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_COMPARISON)), EventResult::Done);
  // Switching off before any switch-on changes nothing.
  s.OVERLAP = 1;
  s.ALLOW_UNDERLAP = 1;
  ASSERT_EQ(change(SITEM_UNDERLAP, "0"), EventResult::Done);
  EXPECT_EQ(s.OVERLAP, 1);
  s.OVERLAP = 0;
  // On with overlap off: overlap and reversal on, the smallest tolerance; off restores all.
  s.TOLERANCE.assign("0.50");
  ASSERT_EQ(change(SITEM_UNDERLAP, "1"), EventResult::Done);
  EXPECT_EQ(s.OVERLAP, 1);
  EXPECT_EQ(s.ALLOW_REVERSED, 1);
  EXPECT_EQ(s.TOLERANCE.str(), "0.001");
  EXPECT_TRUE(enabled(SITEM_TOLERANCE));
  ASSERT_EQ(change(SITEM_UNDERLAP, "0"), EventResult::Done);
  EXPECT_EQ(s.OVERLAP, 0);
  EXPECT_EQ(s.ALLOW_REVERSED, 0);
  EXPECT_EQ(s.TOLERANCE.str(), "0.50");
  EXPECT_FALSE(enabled(SITEM_TOLERANCE));
  // On with overlap already on: the tolerance stays; a tolerance typed meanwhile survives off.
  ASSERT_EQ(change(SITEM_OVERLAP, "1"), EventResult::Done);
  ASSERT_EQ(change(SITEM_UNDERLAP, "1"), EventResult::Done);
  EXPECT_EQ(s.TOLERANCE.str(), "0.50");
  ASSERT_EQ(change(SITEM_TOLERANCE, "0.001"), EventResult::Done);
  ASSERT_EQ(change(SITEM_UNDERLAP, "0"), EventResult::Done);
  EXPECT_EQ(s.TOLERANCE.str(), "0.50");  // equal to the smallest: the saved text comes back
  EXPECT_EQ(s.OVERLAP, 1);
  ASSERT_EQ(change(SITEM_UNDERLAP, "1"), EventResult::Done);
  ASSERT_EQ(change(SITEM_TOLERANCE, "0.2"), EventResult::Done);
  ASSERT_EQ(change(SITEM_UNDERLAP, "0"), EventResult::Done);
  EXPECT_EQ(s.TOLERANCE.str(), "0.2");
}

TEST_F(SettingsDialogTest, ListButtonsOpenPickersAndTheSelectionButtonKeepsOrDropsTheFile) {
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_RULES_REMOVE)), EventResult::Done);
  ASSERT_EQ(change(SITEM_RULE_FIRST + 2, "1"), EventResult::Done);
  ASSERT_EQ(press(SITEM_RULE_PICKER_FIRST + 1), EventResult::Done);
  ASSERT_EQ(test::change(COLOR_PICKER_ID, NPITEM_GRID, "1,2,3"), EventResult::Done);
  ASSERT_EQ(test::press(COLOR_PICKER_ID, PITEM_OK), EventResult::Done);
  EXPECT_EQ(readBoundValue("s__sarnex.rules[2].color"), "1:3");

  SelectionSetList list;
  addSet(list, emptySelectionSet("DOORS"));
  const std::string file = dir.file("doors.sel");
  ASSERT_EQ(writeSelectionFile(file, list), SUCCESS);
  RunSettings& s = runSettings();
  s.CRITERIA_NAME_.assign(file);
  s.REMOVE_ALL_DUP = 0;
  s.REMOVE_SEL_DUP = 1;
  ASSERT_EQ(change(SITEM_PAGE, std::to_string(PAGE_RUN)), EventResult::Done);
  ASSERT_EQ(press(SITEM_SELECTION), EventResult::Done);
  EXPECT_EQ(s.CRITERIA_DESCRPT_.str(), "DOORS");
  ASSERT_EQ(test::change(SELECTION_DIALOG_ID, SEL_NAME, "windows"), EventResult::Done);
  for (int button : {SEL_ADD, SEL_SAVE, SEL_CLOSE})
    ASSERT_EQ(test::press(SELECTION_DIALOG_ID, button), EventResult::Done) << button;
  EXPECT_EQ(s.CRITERIA_NAME_.str(), file);
  EXPECT_EQ(s.CRITERIA_DESCRPT_.str(), "DOORS,WINDOWS");
  EXPECT_EQ(s.REMOVE_SEL_DUP, 1);

  ASSERT_EQ(press(SITEM_SELECTION), EventResult::Done);
  ASSERT_EQ(test::press(SELECTION_DIALOG_ID, SEL_CANCEL), EventResult::Done);
  EXPECT_EQ(s.CRITERIA_NAME_.str(), "");
  EXPECT_EQ(s.CRITERIA_DESCRPT_.str(), "");
  EXPECT_EQ(s.REMOVE_SEL_DUP + s.REMOVE_ALL_SEL, 0);
  EXPECT_EQ(s.REMOVE_ALL_DUP, 1);
  EXPECT_TRUE(open());
}

}  // namespace
}  // namespace kelvara
