// The pass paused for the review: restoring the current entry, and refusing deletion in a
// report-only run. Deleting, keeping and reporting the rest are walked through in the browser
// (review.test.mjs).
#include "host/design.h"
#include "host/fence.h"
#include "host/state.h"
#include "host/ui.h"
#include "tests/engine_pass/pass_fixture.h"

namespace kelvara::test {
namespace {

class Review : public ::testing::Test {
 protected:
  void SetUp() override {
    drawing.add(line({0, 0}, {1000, 0}))
        .add(line({0, 0}, {1000, 0}))
        .add(line({0, 4000}, {1000, 4000}))
        .add(line({0, 4000}, {1000, 4000}));
    EngineSettings s = unattended();
    s.interactive = true;
    ASSERT_EQ(setUpDrawing(drawing, dir.file("review.dgn"), s), SUCCESS);
  }
  void TearDown() override {
    clearTable(engine().table);
    resetDesignState();
  }
  uint32_t currentPosition() { return entryOf(engine().table, engine().step.current).filePosition; }
  bool deletedInImage(uint32_t pos) {
    const dgn::Bytes el = dgn::elementAt(designFileOf(mdlModelRef_getActive())->image, pos);
    return !el.empty() && dgn::isDeletedBit(el.data());
  }

  ScratchDir dir;
  DesignBuilder drawing;
};

TEST_F(Review, RestoreAddsTheElementBackLive) {
  Engine& e = engine();
  EXPECT_EQ(runPassToEnd(e), PASS_REVIEW);
  EXPECT_EQ(deleteCurrent(e), SUCCESS);
  EXPECT_EQ(restoreCurrent(e), SUCCESS);
  const uint32_t restored = currentPosition();
  EXPECT_GT(restored, drawing.positionOf(3));
  EXPECT_FALSE(deletedInImage(restored));
  EXPECT_TRUE(deletedInImage(drawing.positionOf(0)));
}

TEST_F(Review, ReportOnlySettingRefusesDeletion) {
  Engine& e = engine();
  e.settings.reportOnly = true;
  EXPECT_EQ(runPassToEnd(e), PASS_REVIEW);
  EXPECT_EQ(deleteCurrent(e), ERROR);
  EXPECT_FALSE(deletedInImage(drawing.positionOf(0)));
}

// Loading reads only element headers unless a test needs the whole element; both ways must
// give the same table.
TEST(Loading, HeaderPathAgreesWithDescriptorPath) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}))
      .add(lineString({{-500, 20}, {700, 900}, {1200, -40}}, Symb{.level = 7}))
      .add(deleted(line({5, 5}, {6, 6})))
      .add(arc({100, 100}, 50, 30, 15, 0, 90))
      .add(complexShape({lineString({{0, 0}, {10, 0}, {10, 10}}), line({10, 10}, {0, 0})}))
      .add(cell("DOOR", {0, 0}, {line({0, 0}, {10, 10})}))
      .add(text(TextSpec{.chars = "A", .origin = {3, 3}}));
  struct Row {
    uint32_t pos, type, complex;
    int64_t xLow, yLow, xHigh, yHigh;
    bool operator==(const Row&) const = default;
  };
  auto load = [&](bool withFence, bool expand) {
    ScratchDir dir;
    resetDesignState();
    resetHostState();
    const std::string path = dir.file("l.dgn");
    EXPECT_TRUE(d.write(path));
    Engine& e = engine();
    e.settings = unattended();
    e.settings.fence = withFence;
    e.expandComplex = expand;
    if (withFence) {
      const std::vector<DPoint3d> all{{-1e6, -1e6}, {1e6, -1e6}, {1e6, 1e6}, {-1e6, 1e6}};
      EXPECT_EQ(mdlFence_define(all), SUCCESS);
    }
    EXPECT_EQ(setUpModel(e, nullptr, path, "Default", path, false), SUCCESS);
    std::vector<Row> rows;
    for (NodeId n = nextNode(e.table, e.table.head, LoadOrder); n != kNoNode;
         n = nextNode(e.table, n, LoadOrder)) {
      const ElementEntry& x = entryOf(e.table, n);
      rows.push_back(
          {x.filePosition, x.elementType, x.isComplexComponent, x.xLow, x.yLow, x.xHigh, x.yHigh});
    }
    clearTable(e.table);
    e.expandComplex = false;
    resetDesignState();
    resetHostState();
    return rows;
  };
  for (bool expand : {false, true}) {
    const std::vector<Row> fast = load(false, expand);
    // The deleted line is never loaded; expanded, the two complex headers give way to their
    // three components.
    EXPECT_EQ(fast.size(), expand ? 7u : 6u);
    EXPECT_TRUE(fast == load(true, expand)) << "expand " << expand;
  }
}

}  // namespace
}  // namespace kelvara::test
