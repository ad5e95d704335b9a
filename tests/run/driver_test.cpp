// The run driven in-process: entry lists with models, backups, report name lists, the autosave
// setting, a cancel through the scripted UI port, and an unreadable element in runs with and
// without review.
#include "run/driver.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "engine/pass.h"
#include "host/config.h"
#include "host/design.h"
#include "host/state.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/stepper.h"
#include "run/trace_hook.h"
#include "settings/run_settings.h"
#include "support/dgn_builder.h"
#include "support/scan.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

test::DesignBuilder twoPairs() {
  test::DesignBuilder d;
  d.add(test::line({0, 0}, {1000, 0}));
  d.add(test::line({0, 0}, {1000, 0}));
  d.add(test::line({0, 500}, {1000, 500}));
  d.add(test::line({0, 500}, {1000, 500}));
  d.add(test::line({0, 900}, {1000, 900}));
  return d;
}

// Once the elements are loaded (the sort's progress display opens next), gives the n-th entry
// in load order a file position that cannot be read.
template <int n>
void makeUnreadableAfterLoading(ScopedScriptedUi& ui) {
  UiPort port = ui.script.port();
  port.progressOpen = [](std::string_view title) {
    if (title != "Kelvara") return;
    ElementTable& table = engine().table;
    NodeId node = table.head;
    for (int i = 0; i < n && node != kNoNode; ++i) node = nextNode(table, node, LoadOrder);
    if (node != kNoNode) entryOf(table, node).filePosition = 3;
  };
  (void)setUiPort(port);
}

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    resetDesignState();
    scripted.emplace();
    fs::create_directories(path("tmp"));
    ASSERT_EQ(mdlSystem_defineCfgVar("TEMP", path("tmp")), SUCCESS);
    RunSettings& s = runSettings();
    settings_resetToFactory(s, false);
    s.INTERACTIVE = 0;
    s.TEXT_REPORT_FILE_NAME.assign(path("run.trf"));
    settings_rebuildReportMessage(s);
    DuplicateRun& run = duplicateRun();
    run = DuplicateRun{};
    RunSession& session = runSession();
    session = RunSession{};
    session.batchMode = true;
    session.unattended = true;
    session.showSummary = [this](const std::string& text) {
      summaries.push_back(text);
      std::string autosave;
      (void)mdlSystem_getCfgVar(&autosave, "MS_DWGAUTOSAVE");
      autosaveDuringRun = autosave;
    };
    createRunLists();
  }
  void TearDown() override {
    (void)closeAllDesignFiles();
    scripted.reset();
    resetHostState();
  }
  std::string path(const std::string& name) const { return scratch.file(name); }
  void runOver(const std::vector<std::string>& entries) {
    for (const std::string& e : entries) appendToList(duplicateRun().entryList.get(), e);
    process_startAllV8Files(nullptr);
    (void)runEventLoop();
  }
  std::vector<std::string> members(StringList* list) {
    std::vector<std::string> out;
    for (long i = 0; i < mdlStringList_size(list); ++i) out.push_back(listMember(list, i));
    return out;
  }
  std::vector<uint32_t> deletedIn(const std::string& file) {
    ModelRef model = 0;
    EXPECT_EQ(mdlWorkDgn_openFile(&model, file, true), SUCCESS);
    std::vector<uint32_t> out;
    for (const auto& e : test::scanModel(model, true, false))
      if (e.descriptor && mdlElement_isDeleted(*e.descriptor)) out.push_back(e.position);
    (void)mdlWorkDgn_closeFile(model);
    return out;
  }
  // The texts shown in the error field, in order.
  std::vector<std::string> errorFields() const {
    std::vector<std::string> out;
    for (const UiEvent& event : scripted->script.events)
      if (event.kind == UiEventKind::Field && event.number == FIELD_ERROR && !event.text.empty())
        out.push_back(event.text);
    return out;
  }
  test::ScratchDir scratch;
  std::optional<ScopedScriptedUi> scripted;
  std::vector<std::string> summaries;
  std::string autosaveDuringRun = "unset";
};

TEST_F(Driver, TwoModelsOfOneFileAreBackedUpOnceBeforeTheFirst) {
  const test::DesignBuilder d = twoPairs();
  ASSERT_TRUE(d.write(path("a.dgn")));
  const std::string before = test::readText(path("a.dgn"));
  runOver({path("a.dgn") + ",Default", path("a.dgn") + ",<ActiveModel>"});
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_NE(summaries[0].find("2 models processed.\n2 duplicate elements were found.\n"),
            std::string::npos)
      << summaries[0];
  EXPECT_EQ(test::readText(path("a.bak")),
            before);  // taken before the first model changed the file
  EXPECT_EQ(members(duplicateRun().entryList.get()),
            (std::vector<std::string>{path("a.dgn") + ",Default", path("a.dgn") + ",Default"}));
  EXPECT_EQ(members(duplicateRun().designReportList.get()),
            (std::vector<std::string>{path("a0.drf"), path("a1.drf")}));
  EXPECT_EQ(members(duplicateRun().textReportList.get()),
            (std::vector<std::string>{path("run.trf"), path("run.trf")}));
  EXPECT_EQ(deletedIn(path("a.dgn")), (std::vector<uint32_t>{d.positionOf(0), d.positionOf(2)}));
}

TEST_F(Driver, SkippedEntriesRecordNotAvailable) {
  ASSERT_TRUE(twoPairs().write(path("a.dgn")));
  ASSERT_TRUE(twoPairs().write(path("b.bak")));
  runOver({path("missing.dgn"), path("b.bak"), path("a.dgn")});
  EXPECT_EQ(members(duplicateRun().designReportList.get()),
            (std::vector<std::string>{"N/A", "N/A", path("a2.drf")}));
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_NE(summaries[0].find("1 model processed.\n2 models could not be processed.\n"
                              "2 duplicate elements were found.\n"),
            std::string::npos)
      << summaries[0];
  // Each skipped entry is named in the error field with its reason.
  EXPECT_EQ(errorFields(),
            (std::vector<std::string>{path("missing.dgn") +
                                          " is not a design file and has been skipped. (" +
                                          path("missing.dgn") + ": cannot open)",
                                      path("b.bak") + " is a backup file and has been skipped."}));
}

// One report per entry: each carries the date it was created, not the run's start (the clock
// moves on an hour at every reading here), skipped entries' short reports included.
TEST_F(Driver, PerEntryReportsCarryTheirOwnDate) {
  RunSettings& s = runSettings();
  s.ONE_TEXT_REPORT = 0;
  s.ONE_TEXT_EACH_REPORT = 1;
  s.SAME_DIR_TEXT_REPORT = 1;
  settings_rebuildReportMessage(s);
  ASSERT_TRUE(twoPairs().write(path("a.dgn")));
  ASSERT_TRUE(twoPairs().write(path("b.dgn")));
  ASSERT_TRUE(twoPairs().write(path("c.bak")));
  setStepperClock([]() -> int64_t {
    static int64_t now = 1796000000;
    return now += 3600;
  });
  runOver({path("a.dgn"), path("b.dgn"), path("c.bak")});
  setStepperClock(nullptr);
  std::vector<std::string> dates;
  for (const char* name : {"a0.trf", "b1.trf", "c2.trf"}) {
    std::ifstream in(path(name));
    std::string line;
    for (int n = 0; n < 3 && std::getline(in, line); ++n) {
    }
    EXPECT_NE(line.find(" at "), std::string::npos) << name << ": " << line;
    dates.push_back(line);
  }
  EXPECT_NE(dates[0], dates[1]);
  EXPECT_NE(dates[1], dates[2]);
}

// A run from the dialog ends by going back to the file that was active when it started, which
// writes the changes of the file the run ended on. When that write fails (here: no file may
// grow beyond 8 KB) the failure is shown and recorded, and the drawing keeps its old bytes.
TEST_F(Driver, FailedWriteOnTheWayBackToTheStartFileIsReported) {
  test::DesignBuilder big = twoPairs();
  for (int i = 0; i < 300; ++i) big.add(test::line({0, 2000.0 + i * 10}, {500, 2000.0 + i * 10}));
  ASSERT_TRUE(big.write(path("big.dgn")));
  ASSERT_TRUE(test::DesignBuilder().write(path("start.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(path("start.dgn")), SUCCESS);
  const std::string before = test::readText(path("big.dgn"));
  RunSettings& s = runSettings();
  s.DESIGN_REPORT__ = 0;
  s.BACKUP = 0;
  runSession().batchMode = false;
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  const rlimit small{8 * 1024, saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  runOver({path("big.dgn")});
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);
  EXPECT_TRUE(duplicateRun().saveFailed);
  const std::vector<std::string> errors = errorFields();
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(),
                          [](const std::string& e) { return e.find("big.dgn") != e.npos; }));
  EXPECT_TRUE(test::readText(path("big.dgn")) == before);
}

// A set autosave interval is replaced during the run and restored after it; an empty one stays.
TEST_F(Driver, AutosaveIsReplacedDuringTheRunAndRestored) {
  ASSERT_TRUE(twoPairs().write(path("a.dgn")));
  for (const auto& [before, during] : {std::pair{"600", "1800"}, std::pair{"", ""}}) {
    SCOPED_TRACE(before);
    createRunLists();
    ASSERT_EQ(mdlSystem_defineCfgVar("MS_DWGAUTOSAVE", before), SUCCESS);
    runOver({path("a.dgn")});
    EXPECT_EQ(autosaveDuringRun, during);
    std::string after;
    EXPECT_EQ(mdlSystem_getCfgVar(&after, "MS_DWGAUTOSAVE"), SUCCESS);
    EXPECT_EQ(after, before);
  }
}

TEST_F(Driver, UnreadableElementWithoutReviewIsPassedOver) {
  const test::DesignBuilder d = twoPairs();
  ASSERT_TRUE(d.write(path("a.dgn")));
  makeUnreadableAfterLoading<5>(*scripted);
  runOver({path("a.dgn")});
  ASSERT_EQ(summaries.size(), 1u);
  EXPECT_NE(summaries[0].find("2 duplicate elements were found."), std::string::npos);
  EXPECT_TRUE(duplicateRun().completed);
  EXPECT_EQ(deletedIn(path("a.dgn")), (std::vector<uint32_t>{d.positionOf(0), d.positionOf(2)}));
}

TEST_F(Driver, UnreadableElementInAnInteractiveRunPausesThePass) {
  runSettings().INTERACTIVE = 1;
  const test::DesignBuilder d = twoPairs();
  ASSERT_TRUE(d.write(path("a.dgn")));
  makeUnreadableAfterLoading<1>(*scripted);  // the pass pauses on it for the review
  runOver({path("a.dgn")});
  EXPECT_TRUE(summaries.empty());
  EXPECT_FALSE(duplicateRun().completed);
  const Engine& e = engine();
  ASSERT_NE(e.step.current, kNoNode);
  EXPECT_EQ(e.step.current, nextNode(e.table, e.table.head, LoadOrder));
  EXPECT_EQ(entryOf(e.table, e.step.current).filePosition, 3u);
  EXPECT_EQ(e.step.processed, 0u);
}

}  // namespace
}  // namespace kelvara
