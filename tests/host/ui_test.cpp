// The user-interface port: scripted answers, message fields, progress, the command-line filling.
#include "host/ui.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "host/types.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

struct Ui : test::FreshHost {};

// Everything written to a FILE* during the test.
std::string contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string out;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  return out;
}

TEST_F(Ui, ScriptedAnswersComeFromTheQueueThenDefaultAffirmative) {
  ScopedScriptedUi ui;
  ui.script.answers = {ANSWER_CANCEL, ANSWER_NO, ANSWER_OK};
  EXPECT_EQ(mdlDialog_openAlert("Stop?"), ANSWER_CANCEL);
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::YesNo, "Replace?"), ANSWER_NO);
  EXPECT_EQ(mdlDialog_openInfoBox("Done"), ANSWER_OK);  // an info box takes no answer
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::OkCancel, "Go?"), ANSWER_OK);
  EXPECT_EQ(ui.script.unscriptedQuestions, 0);
  // Queue empty: the affirmative answer of each box, counted as unscripted.
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::YesNoCancel, "Save?"), ANSWER_YES);
  EXPECT_EQ(mdlDialog_openAlert("Sure?"), ANSWER_OK);
  EXPECT_EQ(ui.script.unscriptedQuestions, 2);

  const std::vector<UiEvent> expected = {
      {UiEventKind::Alert, "Stop?", 0, ANSWER_CANCEL},
      {UiEventKind::MessageBox, "Replace?", static_cast<int>(MessageBoxButtons::YesNo), ANSWER_NO},
      {UiEventKind::InfoBox, "Done", 0, 0},
      {UiEventKind::MessageBox, "Go?", static_cast<int>(MessageBoxButtons::OkCancel), ANSWER_OK},
      {UiEventKind::MessageBox, "Save?", static_cast<int>(MessageBoxButtons::YesNoCancel),
       ANSWER_YES},
      {UiEventKind::Alert, "Sure?", 0, ANSWER_OK},
  };
  EXPECT_EQ(ui.script.events, expected);
}

TEST_F(Ui, AlertAnswersOnlyOkOrCancel) {
  ScopedScriptedUi ui;
  ui.script.answers = {ANSWER_YES};
  EXPECT_EQ(mdlDialog_openAlert("Stop?"), ANSWER_CANCEL);
}

TEST_F(Ui, ScopedPortRestoresThePreviousOne) {
  ScriptedUi outer;
  setUiPort(outer.port());
  {
    ScopedScriptedUi inner;
    mdlUtil_beep(2);
    EXPECT_EQ(inner.script.events.size(), 1u);
  }
  mdlUtil_beep(1);
  ASSERT_EQ(outer.events.size(), 1u);
  EXPECT_EQ(outer.events[0], (UiEvent{UiEventKind::Beep, "", 1, 0}));
}

TEST_F(Ui, MessageFieldsKeepTheirLastText) {
  ScopedScriptedUi ui;
  EXPECT_EQ(mdlOutput_printf(FIELD_MESSAGE, "%s Press <Cancel> to exit.", "3/10"), SUCCESS);
  EXPECT_EQ(mdlOutput_printf(FIELD_STATUS, "%s %s", "Kelvara", "10.0b"), SUCCESS);
  EXPECT_EQ(mdlOutput_prompt("Pick"), SUCCESS);
  EXPECT_EQ(mdlOutput_errorU(L"Unable to open resource file \u00E4"), SUCCESS);
  EXPECT_EQ(messageFieldText(FIELD_MESSAGE), "3/10 Press <Cancel> to exit.");
  EXPECT_EQ(messageFieldText(FIELD_STATUS), "Kelvara 10.0b");
  EXPECT_EQ(messageFieldText(FIELD_PROMPT), "Pick");
  EXPECT_EQ(messageFieldText(FIELD_ERROR), "Unable to open resource file \xC3\xA4");
  EXPECT_EQ(mdlOutput_prompt(""), SUCCESS);
  EXPECT_EQ(messageFieldText(FIELD_PROMPT), "");

  EXPECT_EQ(mdlOutput_printf(FIELD_COUNT, "x"), ERROR);
  EXPECT_EQ(mdlOutput_printf(-1, "x"), ERROR);
  EXPECT_EQ(messageFieldText(FIELD_COUNT), "");
  EXPECT_EQ(ui.script.events.size(), 5u) << "invalid fields show nothing";
  EXPECT_EQ(ui.script.events[0],
            (UiEvent{UiEventKind::Field, "3/10 Press <Cancel> to exit.", FIELD_MESSAGE, 0}));
}

TEST_F(Ui, LongFieldTextIsCutOnACharacterBoundary) {
  const std::string longText = std::string(4095, 'a') + "\xC3\xA4" + "tail";
  ASSERT_EQ(mdlOutput_printf(FIELD_MESSAGE, "%s", longText.c_str()), SUCCESS);
  EXPECT_EQ(messageFieldText(FIELD_MESSAGE), std::string(4095, 'a'));
  const std::string exact(4096, 'b');
  ASSERT_EQ(mdlOutput_printf(FIELD_MESSAGE, "%sc", exact.c_str()), SUCCESS);
  EXPECT_EQ(messageFieldText(FIELD_MESSAGE), exact);
}

TEST_F(Ui, ProgressOnlyWhileOpenAndClamped) {
  ScopedScriptedUi ui;
  progressUpdate(10, "ignored");
  progressClose();
  EXPECT_TRUE(ui.script.events.empty());
  progressOpen("Comparing");
  EXPECT_TRUE(progressIsOpen());
  progressUpdate(-5, "a");
  progressUpdate(250, "b");
  progressClose();
  progressClose();
  EXPECT_FALSE(progressIsOpen());
  const std::vector<UiEvent> expected = {
      {UiEventKind::ProgressOpen, "Comparing", 0, 0},
      {UiEventKind::ProgressUpdate, "a", 0, 0},
      {UiEventKind::ProgressUpdate, "b", 100, 0},
      {UiEventKind::ProgressClose, "", 0, 0},
  };
  EXPECT_EQ(ui.script.events, expected);
}

TEST_F(Ui, CommandLineFillingPrintsAndAnswersAffirmatively) {
  std::FILE* err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  setUiPort(commandLineUi(err, false));
  EXPECT_EQ(mdlDialog_openInfoBox("No matching design files found"), ANSWER_OK);
  EXPECT_EQ(mdlDialog_openAlert("Are you sure you wish to stop processing?"), ANSWER_OK);
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::OkCancel, "Continue?"), ANSWER_OK);
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::YesNo, "Overwrite?"), ANSWER_YES);
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::Ok, "Summary"), ANSWER_OK);
  (void)mdlOutput_printf(FIELD_MESSAGE, "transient");
  (void)mdlOutput_error("bad file");
  progressOpen("Comparing");
  progressUpdate(50, "5/10");
  progressClose();
  EXPECT_EQ(contents(err),
            "No matching design files found\n"
            "Are you sure you wish to stop processing? [OK]\n"
            "Continue? [OK]\n"
            "Overwrite? [Yes]\n"
            "Summary\n"
            "error: bad file\n");
  std::fclose(err);
}

TEST_F(Ui, CommandLineFillingDrawsProgressWhenAsked) {
  std::FILE* err = std::tmpfile();
  ASSERT_NE(err, nullptr);
  setUiPort(commandLineUi(err, true));
  progressOpen("Comparing");
  progressUpdate(7, "7/100");
  progressClose();
  const std::string out = contents(err);
  EXPECT_NE(out.find("Comparing\n"), std::string::npos);
  EXPECT_NE(out.find("\r  7% 7/100"), std::string::npos);
  std::fclose(err);
}

TEST_F(Ui, EmptyPortAnswersAffirmatively) {
  setUiPort(UiPort{});
  EXPECT_EQ(mdlDialog_openAlert("?"), ANSWER_OK);
  EXPECT_EQ(mdlDialog_openMessageBox(MessageBoxButtons::YesNo, "?"), ANSWER_YES);
  EXPECT_EQ(mdlOutput_printf(FIELD_MESSAGE, "kept"), SUCCESS);
  EXPECT_EQ(messageFieldText(FIELD_MESSAGE), "kept");
}

}  // namespace
}  // namespace kelvara
