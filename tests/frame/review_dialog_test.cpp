// The interactive review driven through the dialog manager on a drawing with three duplicate
// lines: each row presses the review buttons at the pauses and checks what the pass and the
// text report make of it.
#include "frame/review_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/pass.h"
#include "frame/main_dialog_host.h"
#include "host/config.h"
#include "host/state.h"
#include "host/timers.h"
#include "host/ui.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

// What a row does at a pause: press `button` (answering a question with `answer` when it asks
// one) and expect the event's result.
struct Press {
  int button;
  EventResult result = EventResult::Done;
  int answer = 0;
};

struct ReviewCase {
  const char* name;
  bool reportOnly;
  std::vector<std::vector<Press>> pauses;  // the presses at each pause, in order
  int deletedLines;                        // "Deleted." lines in the text report
  int keptLines;                           // duplicates reported as kept
  bool cancelled = false;
};

// Three pairs of equal lines and a single one: the later line of each pair is the duplicate.
test::DesignBuilder threeDuplicates() {
  test::DesignBuilder d;
  for (double y : {0.0, 500.0, 900.0}) {
    d.add(test::line({0, y}, {1000, y}));
    d.add(test::line({0, y}, {1000, y}));
  }
  d.add(test::line({0, 1500}, {1000, 1500}));
  return d;
}

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class Review : public ::testing::TestWithParam<ReviewCase> {
 protected:
  void SetUp() override {
    resetHostState();
    test::resetMainDialogHost();
    ui.emplace();
    ASSERT_EQ(mdlSystem_defineCfgVar("TEMP", dir.path()), SUCCESS);
    RunSettings& s = runSettings();
    settings_resetToFactory(s, false);
    s.INTERACTIVE = 1;
    s.REPORT_ONLY = GetParam().reportOnly ? 1 : 0;
    s.deleteMode = 0;
    s.BACKUP = 0;
    s.DESIGN_REPORT__ = 0;
    s.TEXT_REPORT__ = 1;
    s.TEXT_REPORT_FILE_NAME.assign(dir.file("review.trf"));
    settings_rebuildReportMessage(s);
    ASSERT_TRUE(threeDuplicates().write(drawing));
    ASSERT_EQ(mdlSystem_newDesignFile(drawing), SUCCESS);
    ASSERT_NE(test::openMainDialog(), nullptr);
    defineReviewDialog();
  }
  void TearDown() override {
    (void)closeAllDesignFiles();
    test::resetMainDialogHost();
    ui.reset();
    resetHostState();
  }

  // The review dialog when it is shown (the pass waits), else nullptr.
  static DialogBox* shownReview() {
    DialogBox* db = mdlDialog_find(REVIEW_DIALOG_ID);
    return db != nullptr && !db->hidden ? db : nullptr;
  }

  std::optional<ScopedScriptedUi> ui;
  test::ScratchDir dir;
  std::string drawing = dir.file("plan.dgn");
};

TEST_P(Review, ButtonsDecideWhatBecomesOfEachDuplicate) {
  const ReviewCase& c = GetParam();
  ASSERT_EQ(test::press(MAIN_DIALOG_ID, ITEM_START), EventResult::Done);
  for (size_t pause = 0; pause < c.pauses.size(); ++pause) {
    (void)runEventLoop();
    DialogBox* db = shownReview();
    ASSERT_NE(db, nullptr) << "pause " << pause;
    for (int item : {RITEM_DELETE, RITEM_DELETE_CONTINUE}) {
      EXPECT_EQ(mdlDialog_itemGetById(db, item)->enabled, !c.reportOnly) << item;
    }
    for (const Press& p : c.pauses[pause]) {
      if (p.answer != 0) ui->script.answers.push_back(p.answer);
      ASSERT_EQ(test::press(REVIEW_DIALOG_ID, p.button), p.result)
          << "pause " << pause << " " << p.button;
      if (p.button == RITEM_DELETE && p.result == EventResult::Done) {
        // The toggle's label says what the next press does.
        const bool deleted = engine().step.deletedFlag != 0;
        EXPECT_EQ(mdlDialog_itemGetById(db, RITEM_DELETE)->caption,
                  deleted ? "Undelete" : "Delete");
        EXPECT_EQ(mdlDialog_itemGetById(db, RITEM_DELETE_CONTINUE)->caption,
                  deleted ? "Undelete and Continue" : "Delete and Continue");
      }
    }
  }
  (void)runEventLoop();
  EXPECT_FALSE(duplicateRun().running) << "the run waits for more than the row pressed";
  EXPECT_EQ(duplicateRun().cancelled, c.cancelled);
  EXPECT_EQ(mdlDialog_find(REVIEW_DIALOG_ID), nullptr);
  ASSERT_NE(mdlDialog_find(MAIN_DIALOG_ID), nullptr);
  EXPECT_FALSE(mdlDialog_find(MAIN_DIALOG_ID)->hidden);
  const std::string report = test::readText(dir.file("review.trf"));
  EXPECT_EQ(count(report, "Deleted."), c.deletedLines) << report;
  EXPECT_EQ(count(report, "is duplicate"), c.keptLines) << report;
}

// Each pair's first line waits first; kept, its partner waits next as the duplicate of the
// kept one. Delete, restore, delete and go on, keep, report the rest, the list of reviewed lines,
// the main dialog hidden meanwhile and the view going to each duplicate: the browser's review
// story.
// clang-format off
const ReviewCase kCases[] = {
    // Deleting and restoring twice leaves the element, reported without the remark.
    {"RestoredTwiceIsKept", false,
     {{{RITEM_DELETE}, {RITEM_DELETE}, {RITEM_DELETE}, {RITEM_DELETE}, {RITEM_NEXT}},
      {{RITEM_DELETE_CONTINUE}},
      {{RITEM_FLASH}, {RITEM_DELETE}, {RITEM_NEXT}},
      {{RITEM_REPORT_REST}}},
     2, 3},
    // Report only: the delete buttons refuse, every duplicate is reported and kept.
    {"ReportOnlyRefusesDeletes", true,
     {{{RITEM_DELETE, EventResult::Refused}, {RITEM_DELETE_CONTINUE, EventResult::Refused},
       {RITEM_NEXT}},
      {{RITEM_NEXT}}, {{RITEM_REPORT_REST}}},
     0, 6},
    // The raised review limit reports the rest of the model without a pause, and keeps it.
    {"RaisedLimitStopsThePauses", false, {{{RITEM_RAISE_LIMIT}, {RITEM_NEXT}}}, 0, 6},
    // Stop, declined and then confirmed, ends the run without a summary.
    {"StopEndsTheRun", false,
     {{{RITEM_DELETE}, {RITEM_STOP, EventResult::Done, ANSWER_CANCEL},
       {RITEM_STOP, EventResult::Done, ANSWER_OK}}},
     0, 0, true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, Review, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvara
