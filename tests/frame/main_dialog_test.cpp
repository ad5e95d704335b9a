// The main dialog through the dialog manager: a comparison list turns the fence off and its name
// takes the list extension, a delete mode shows its help, Start checks before it runs, and Close
// waits for a run.
#include "frame/main_dialog.h"

#include <gtest/gtest.h>

#include "frame/list_items.h"
#include "frame/main_dialog_host.h"
#include "frame/messages.h"
#include "host/state.h"
#include "host/ui.h"

namespace kelvara {
namespace {

struct MainDialogTest : ::testing::Test {
  ScopedScriptedUi ui;
  DialogBox* db = nullptr;

  void SetUp() override {
    test::resetMainDialogHost();
    db = test::openMainDialog();
    ASSERT_NE(db, nullptr);
  }
  void TearDown() override { test::resetMainDialogHost(); }
  static EventResult change(int item, const std::string& value) {
    return test::change(MAIN_DIALOG_ID, item, value);
  }
  static EventResult press(int item) { return test::press(MAIN_DIALOG_ID, item); }
};

// Items bound to the settings record, refused values naming their item in the error field, and
// the run-scope choice showing its items: the browser's main dialog and file list stories.

TEST_F(MainDialogTest, AComparisonListTurnsTheFenceOffAndItsNameTakesTheExtension) {
  runSettings().FENCE = 1;
  ASSERT_EQ(change(ITEM_FILE_MODE, "1"), EventResult::Done);
  EXPECT_EQ(runSettings().FENCE, 0);
  ASSERT_EQ(change(ITEM_BATCH_FILE, " plans"), EventResult::Done);
  EXPECT_EQ(runSettings().BATCH_FILE.str(), "plans.lst");
}

TEST_F(MainDialogTest, ADeleteModeShowsItsHelpText) {
  ASSERT_EQ(change(ITEM_DELETE_MODE, "3"), EventResult::Done);
  EXPECT_EQ(messageFieldText(FIELD_MESSAGE), messageText(51));
}

TEST_F(MainDialogTest, StartRefusesWhatCannotRunAndAsksBeforeDeleting) {
  RunSettings& s = runSettings();
  // Without an active design file there is nothing to run.
  s.INTERACTIVE = 0;
  ASSERT_EQ(press(ITEM_START), EventResult::Done);
  EXPECT_EQ(ui.script.texts(UiEventKind::InfoBox).back(),
            "There is no active design file to process.");
  // With a comparison list: no report switched on, a delete mode's question.
  s.FILE_MODE = 1;
  s.TEXT_REPORT__ = 0;
  s.DESIGN_REPORT__ = 0;
  ui.script.answers = {ANSWER_OK};
  ASSERT_EQ(press(ITEM_START), EventResult::Done);
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox).back(), messageText(23));
  s.TEXT_REPORT__ = 1;
  s.deleteMode = 2;
  ui.script.answers = {ANSWER_CANCEL};
  ASSERT_EQ(press(ITEM_START), EventResult::Done);
  EXPECT_EQ(ui.script.texts(UiEventKind::MessageBox).back(), messageText(45));
  EXPECT_FALSE(duplicateRun().running);
  EXPECT_TRUE(mdlDialog_itemGetById(db, ITEM_START)->enabled);
  EXPECT_EQ(ui.script.unscriptedQuestions, 0);
}

TEST_F(MainDialogTest, ClosingIsRefusedWhileARunGoesAndEndsTheApplicationOtherwise) {
  duplicateRun().running = true;
  EXPECT_EQ(test::closeWindow(MAIN_DIALOG_ID), EventResult::Refused);
  EXPECT_FALSE(interactiveEnded());
  syncMainDialog();
  EXPECT_FALSE(mdlDialog_itemGetById(db, ITEM_START)->enabled);
  duplicateRun().running = false;
  syncMainDialog();
  EXPECT_TRUE(mdlDialog_itemGetById(db, ITEM_START)->enabled);
  EXPECT_EQ(press(ITEM_CLOSE), EventResult::Done);
  EXPECT_EQ(mdlDialog_find(MAIN_DIALOG_ID), nullptr);
  EXPECT_TRUE(interactiveEnded());
}

}  // namespace
}  // namespace kelvara
