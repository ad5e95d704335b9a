// The command-line filling of the user-interface port (what an unattended run prints on standard
// error), alert answers, progress while open and message fields cut to their capacity. (The
// scripted answer queue and message fields: the frame, e2e and browser tests.)
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

// A scripted answer other than OK or Cancel to an alert reads as Cancel.
TEST_F(Ui, AlertAnswersOnlyOkOrCancel) {
  ScopedScriptedUi ui;
  ui.script.answers = {ANSWER_YES};
  EXPECT_EQ(mdlDialog_openAlert("Stop?"), ANSWER_CANCEL);
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

}  // namespace
}  // namespace kelvara
