// A run restricted by selection sets, through the engine's set-up hooks: the selection file is
// loaded before the model's elements, only admitted elements are loaded, and duplicates
// outside the admitted sets are left alone. An unreadable or unsuitable selection file fails
// the model with its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/load.h"
#include "host/design.h"
#include "host/dgn/image.h"
#include "host/state.h"
#include "host/ui.h"
#include "selection/admit.h"
#include "selection/file.h"
#include "tests/support/dgn_builder.h"

namespace kelvara {
namespace {

struct RestrictedRun : ::testing::Test {
  std::string dir;
  std::string drawingPath;
  test::DesignBuilder drawing;

  void SetUp() override {
    char tmpl[] = "/tmp/kelvara_restricted_XXXXXX";
    dir = mkdtemp(tmpl);
    drawingPath = dir + "/drawing.dgn";
    resetDesignState();
    resetHostState();
    setupHooks() = SetupHooks{};
    setupHooks().loadSelectionFile = &loadRunListForRun;
    setupHooks().admitted = &admittedForRun;
  }
  void TearDown() override {
    setupHooks() = SetupHooks{};
    clearTable(engine().table);
    resetDesignState();
    resetHostState();
    unloadRunList();
    std::filesystem::remove_all(dir);
  }

  EngineSettings restricted(const std::string& names, bool removeAll = false) {
    EngineSettings s;
    s.interactive = false;
    s.backup = false;
    s.removeSelDup = !removeAll;
    s.removeAllSel = removeAll;
    s.criteriaName = dir + "/sets";  // ".sel" is added
    s.criteriaDescrpt = names;
    return s;
  }

  // Runs set-up and pass over the drawing; returns the deleted flag of every element in the
  // saved file, or nothing when the set-up failed.
  std::optional<std::vector<bool>> run(const EngineSettings& settings) {
    resetDesignState();
    EXPECT_TRUE(drawing.write(drawingPath));
    Engine& e = engine();
    e.settings = settings;
    e.report = PassReportHooks{};
    const int setup = setUpModel(e, nullptr, drawingPath, "Default", drawingPath, false);
    if (setup != SUCCESS) return std::nullopt;
    loaded.clear();
    for (NodeId n = nextNode(e.table, e.table.head, LoadOrder); n != kNoNode;
         n = nextNode(e.table, n, LoadOrder)) {
      loaded.push_back(entryOf(e.table, n).filePosition);
    }
    (void)runPassToEnd(e);
    clearTable(e.table);
    EXPECT_EQ(closeAllDesignFiles(), SUCCESS);
    std::ifstream in(drawingPath, std::ios::binary);
    const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    dgn::DesignImage img;
    std::string error;
    EXPECT_EQ(dgn::parseImage(bytes, drawingPath, img, &error), SUCCESS) << error;
    std::vector<bool> deleted;
    for (size_t i = 0; i < drawing.elements.size(); ++i) {
      const dgn::Bytes el = dgn::elementAt(img, drawing.positionOf(i));
      deleted.push_back(!el.empty() && dgn::isDeletedBit(el.data()));
    }
    return deleted;
  }
  std::vector<uint32_t> loaded;  // file positions of the loaded entries

  void writeSets() {
    SelectionSetList list;
    SelectionSet red = emptySelectionSet("RED");
    toggleOf(red, 3)->selected = 1;
    red.colors = "1";
    SelectionSet strings = emptySelectionSet("STRINGS");
    toggleOf(strings, 4)->selected = 1;
    list.sets = {red, strings};
    ASSERT_EQ(writeSelectionFile(dir + "/sets.sel", list), SUCCESS);
  }
};

TEST_F(RestrictedRun, DuplicatesOutsideTheAdmittedSetsAreLeftAlone) {
  writeSets();
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));      // 0: duplicate pair, admitted
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));      // 1
  drawing.add(test::line({0, 500}, {1000, 500}, {.colour = 2}));  // 2: pair outside the set
  drawing.add(test::line({0, 500}, {1000, 500}, {.colour = 2}));  // 3
  drawing.add(test::lineString({{0, 0}, {300, 300}, {600, 0}}));  // 4: pair in the other set
  drawing.add(test::lineString({{0, 0}, {300, 300}, {600, 0}}));  // 5

  // One set named: only its duplicate goes (the first loaded of the pair).
  auto deleted = run(restricted("red"));
  ASSERT_TRUE(deleted);
  EXPECT_EQ(*deleted, (std::vector<bool>{true, false, false, false, false, false}));
  EXPECT_EQ(loaded, (std::vector<uint32_t>{drawing.positionOf(0), drawing.positionOf(1)}));

  // Both sets named.
  deleted = run(restricted("RED,STRINGS"));
  ASSERT_TRUE(deleted);
  EXPECT_EQ(*deleted, (std::vector<bool>{true, false, false, false, true, false}));
}

TEST_F(RestrictedRun, RemoveAllSelectedRemovesEveryAdmittedElement) {
  writeSets();
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  drawing.add(test::line({0, 800}, {900, 0}, {.colour = 1}));
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 2}));
  const auto deleted = run(restricted("RED", true));
  ASSERT_TRUE(deleted);
  EXPECT_EQ(*deleted, (std::vector<bool>{true, true, false}));
}

TEST_F(RestrictedRun, UnreadableOrUnsuitableSelectionFileFailsTheModel) {
  ScopedScriptedUi ui;
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  EXPECT_FALSE(run(restricted("RED")));
  const std::string file = dir + "/sets.sel";
  auto infos = ui.script.texts(UiEventKind::InfoBox);
  ASSERT_FALSE(infos.empty());
  EXPECT_EQ(infos.front(), unreadableSelectionFileMessage(file));

  std::ofstream(file) << "[Some Other File]\n";
  EXPECT_FALSE(run(restricted("RED")));
  infos = ui.script.texts(UiEventKind::InfoBox);
  EXPECT_NE(std::find(infos.begin(), infos.end(), unsuitableSelectionFileMessage(file)),
            infos.end());
  // Nothing was deleted: the drawing is as written.
  std::ifstream in(drawingPath, std::ios::binary);
  EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), drawing.bytes());
}

}  // namespace
}  // namespace kelvara
