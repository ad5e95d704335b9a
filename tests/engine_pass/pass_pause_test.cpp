// Where the pass stops and what it puts back: an entry that cannot be read pauses it, view 1
// goes back to its area before each duplicate of a 3D design, and rule groups name levels.
#include "host/design.h"
#include "host/dgn/build.h"
#include "host/state.h"
#include "host/ui.h"
#include "host/view.h"
#include "tests/engine_pass/pass_fixture.h"

namespace kelvara::test {
namespace {

class PassPause : public ::testing::Test {
 protected:
  void TearDown() override {
    clearTable(engine().table);
    resetDesignState();
  }
  // Writes the drawing and sets it up with the given settings.
  void setUp(const DesignBuilder& drawing, const EngineSettings& settings) {
    ASSERT_EQ(setUpDrawing(drawing, dir.file("pause.dgn"), settings), SUCCESS);
  }
  ScratchDir dir;
  ScopedScriptedUi ui;
};

TEST_F(PassPause, UnreadableEntryPausesWithTheEntryCurrent) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0})).add(line({0, 0}, {1000, 0})).add(line({0, 9000}, {500, 9000}));
  setUp(d, unattended());
  Engine& e = engine();
  ASSERT_EQ(passStep(e), PASS_CONTINUE);  // the first line: a duplicate, deleted
  const NodeId second = e.step.current;
  ElementEntry& entry = entryOf(e.table, second);
  const uint32_t position = entry.filePosition;
  entry.filePosition = position + 2;  // no element starts there
  EXPECT_EQ(passStep(e), PASS_REVIEW);
  EXPECT_EQ(passStep(e), PASS_REVIEW);  // and stays paused
  EXPECT_EQ(e.step.current, second);
  EXPECT_EQ(e.step.processed, 1u);
  EXPECT_EQ(entry.status, STATUS_LOADED);
  // Readable again, the pass goes on from the same entry.
  entry.filePosition = position;
  EXPECT_EQ(runPassToEnd(e), PASS_ENDED);
  EXPECT_EQ(e.step.processed, 3u);
  EXPECT_EQ(entry.status, STATUS_UNIQUE);
}

// In an interactive run the review resumes a pause for an unreadable entry: the entry counts as
// processed (without a report) and the pass goes on with the next one.
TEST_F(PassPause, ResumingPastAnUnreadableEntryCountsIt) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0})).add(line({0, 5000}, {500, 5000})).add(line({0, 9000}, {9, 9000}));
  EngineSettings s = unattended();
  s.interactive = true;
  setUp(d, s);
  Engine& e = engine();
  ASSERT_EQ(passStep(e), PASS_CONTINUE);
  const NodeId second = e.step.current;
  entryOf(e.table, second).filePosition += 2;  // no element starts there
  EXPECT_EQ(passStep(e), PASS_REVIEW);
  EXPECT_EQ(e.step.processed, 1u);
  EXPECT_EQ(startPass(e, nullptr, false), PASS_CONTINUE);
  EXPECT_EQ(e.step.processed, 2u);
  EXPECT_NE(e.step.current, second);
  EXPECT_EQ(runPassToEnd(e), PASS_ENDED);
  EXPECT_EQ(e.step.processed, 3u);
  EXPECT_EQ(entryOf(e.table, second).status, STATUS_LOADED);  // never decided
}

TEST_F(PassPause, View1IsPutBackBeforeEachDuplicateOnlyIn3D) {
  for (const bool is3d : {true, false}) {
    SCOPED_TRACE(is3d ? "3D" : "2D");
    DesignBuilder d;
    d.is3d = is3d;
    d.add(line({0, 0, 0}, {1000, 0, 0}, {}, is3d)).add(line({0, 0, 0}, {1000, 0, 0}, {}, is3d));
    EngineSettings s = unattended();
    s.interactive = true;
    setUp(d, s);
    // The area at the start of the pass (the set-up fits a 3D design's view 1 to its model).
    DPoint3d started, startedDelta, centre;
    RotMatrix rotation;
    ASSERT_EQ(mdlView_getParameters(&started, &centre, &startedDelta, &rotation, 0), SUCCESS);
    // The review zooms elsewhere between duplicates.
    const DPoint3d reviewOrigin{7, 8, 9}, reviewDelta{10, 10, 10};
    ASSERT_EQ(mdlView_setArea(0, reviewOrigin, reviewDelta), SUCCESS);
    EXPECT_EQ(runPassToEnd(engine()), PASS_REVIEW);
    DPoint3d origin, delta;
    ASSERT_EQ(mdlView_getParameters(&origin, &centre, &delta, &rotation, 0), SUCCESS);
    const DPoint3d& wantOrigin = is3d ? started : reviewOrigin;
    const DPoint3d& wantDelta = is3d ? startedDelta : reviewDelta;
    EXPECT_EQ(origin, wantOrigin);
    EXPECT_EQ(delta, wantDelta);
    if (is3d) {
      EXPECT_EQ(delta.x, 1000.0);  // the fitted area, not the review's
    }
    clearTable(engine().table);
    resetDesignState();
  }
}

TEST(PassLevels, RuleGroupsMatchALevelByItsName) {
  std::array<std::string, 64> names{};
  names[2] = "WALLS";
  names[3] = "DOORS";
  DesignBuilder d;
  for (auto& e : dgn::makeLevelNameElements(names)) d.add(std::move(e));
  const size_t first = d.elements.size();
  d.add(line({0, 0}, {1000, 0}, {.level = 2}))
      .add(line({0, 0}, {1000, 0}, {.level = 2}))
      .add(line({0, 5000}, {1000, 5000}, {.level = 3}))
      .add(line({0, 5000}, {1000, 5000}, {.level = 3}));
  struct Case {
    const char* list;
    uint32_t wallsStatus, doorsStatus;
  };
  for (const Case& c : {Case{"WALLS", 23, 25}, Case{"walls", 23, 25}, Case{"\"Walls\"", 23, 25},
                        Case{"DOOR", 25, 25}, Case{"WAL*", 23, 25}, Case{"DOORS,2", 23, 23}}) {
    SCOPED_TRACE(c.list);
    EngineSettings s = unattended();
    s.remove.useLevel = true;
    s.remove.level = c.list;
    const PassRun run = runPass(d, s);
    ASSERT_EQ(run.setupResult, SUCCESS);
    EXPECT_EQ(run.status[first], c.wallsStatus);
    EXPECT_EQ(run.status[first + 2], c.doorsStatus);
  }
}

}  // namespace
}  // namespace kelvara::test
