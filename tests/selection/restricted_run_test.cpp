// A run restricted by selection sets, through the engine's set-up hooks: the selection file is
// loaded before the model's elements, only admitted elements are loaded, and duplicates
// outside the admitted sets are left alone. An unreadable or unsuitable selection file fails
// the model with its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "engine/load.h"
#include "host/design.h"
#include "host/state.h"
#include "host/ui.h"
#include "selection/admit.h"
#include "selection/file.h"
#include "tests/support/deleted_flags.h"
#include "tests/support/parse_errors.h"

namespace kelvara {
namespace {

struct RestrictedRun : ::testing::Test {
  test::ScratchDir scratch;
  const std::string dir = scratch.path();
  const std::string drawingPath = scratch.file("drawing.dgn");
  test::DesignBuilder drawing;

  void SetUp() override {
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
    return test::deletedFlags(drawing, drawingPath);
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

// The selection file's errors reach the installed sink (by default the host's boxes): for a
// file that fails the check, the check's reason and then that the file is not a selection file.
TEST_F(RestrictedRun, UnreadableOrUnsuitableSelectionFileFailsTheModel) {
  static std::vector<ParseError> reported;
  const ParseErrorSink saved =
      setParseErrorSink([](const ParseError& e) { reported.push_back(e); });
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  const std::string file = dir + "/sets.sel";
  const ParseError unsuitable{SEL_ERR_UNSUITABLE, unsuitableSelectionFileMessage(file), file, 1};
  const ParseError newer{SEL_ERR_NEXT_VERSION, std::string(SEL_MSG_NEXT_VERSION), file, 3};
  ParseError newerSummary = unsuitable;
  newerSummary.line = 3;
  struct Case {
    const char* name;
    std::optional<std::string> content;  // none: no file
    std::vector<ParseError> reported;
  };
  const std::vector<Case> cases = {
      {"no file",
       std::nullopt,
       {{SEL_ERR_UNREADABLE, unreadableSelectionFileMessage(file), file, 0}}},
      {"another kind of file", "[Some Other File]\n", {unsuitable, unsuitable}},
      {"from the next version",
       "[Tarvo Selection File]\n[Select version = 3:2:4:1]\n[Minor version = 9:0]\n"
       "[Major version = 9:0]\n",
       {newer, newerSummary}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reported.clear();
    std::filesystem::remove(file);
    if (c.content) std::ofstream(file) << *c.content;
    EXPECT_FALSE(run(restricted("RED")));
    EXPECT_EQ(reported, c.reported);
    // Nothing was deleted: the drawing is as written.
    const std::vector<uint8_t> bytes = drawing.bytes();
    EXPECT_EQ(test::readText(drawingPath), std::string(bytes.begin(), bytes.end()));
  }
  (void)setParseErrorSink(saved);
}

}  // namespace
}  // namespace kelvara
