// The comparison pass over a drawing of mixed elements finds the copies of arcs, ellipses,
// texts, text nodes and cells, and only those.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "engine/load.h"
#include "family_cases.h"
#include "host/design.h"
#include "host/state.h"
#include "host/ui.h"

namespace kelvara {
namespace {

using namespace test;
namespace fs = std::filesystem;

TEST(MixedPassTest, CopiesOfEachFamilyAreFoundAndNothingElse) {
  resetDesignState();
  resetHostState();
  (void)setUiPort(UiPort{});
  const Element a = arc({1000, 1000, 0}, 500, 500, 0, 0, 90);
  const Element e = ellipse({5000, 1000, 0}, 800, 300, 15);
  const Element t = text({.chars = "Hall", .origin = {9000, 1000, 0}});
  const Element n = textNode({.chars = "", .origin = {12000, 1000, 0}}, {"A", "B"}, 1);
  const Element c = cell("DOOR", {15000, 1000, 0}, {line({15000, 1000, 0}, {15900, 1000, 0})});
  DesignBuilder d;
  // Originals, then a copy of each, then near misses that must stay.
  for (const Element& x : {a, e, t, n, c}) d.add(x);
  for (const Element& x : {a, e, t, n, c}) d.add(x);
  d.add(arc({1000, 1000, 0}, 500, 500, 0, 90, -90));                          // reversed
  d.add(ellipse({5000, 1000, 0}, 800.3, 300, 15));                            // radius 0.3 larger
  d.add(text({.chars = "HALL", .origin = {9000, 1000, 0}}));                  // other case
  d.add(textNode({.chars = "", .origin = {12000, 1000, 0}}, {"A", "C"}, 1));  // other line
  d.add(cell("DOOR", {15000, 1000, 0}, {line({15000, 1000, 0}, {15900, 1000, 0})}, {}, false,
             30));  // turned 30 deg

  char tmpl[] = "/tmp/kelvara_mixed_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string path = std::string(tmpl) + "/mixed.dgn";
  ASSERT_TRUE(d.write(path));
  Engine& eng = engine();
  eng.settings = EngineSettings{};
  eng.settings.interactive = false;
  eng.settings.backup = false;
  ASSERT_EQ(setUpModel(eng, nullptr, path, "Default", path, false), SUCCESS);
  (void)runPassToEnd(eng);
  std::vector<uint32_t> duplicates;
  for (NodeId node = eng.table.head; node != kNoNode; node = nextNode(eng.table, node, LoadOrder)) {
    const ElementEntry& entry = entryOf(eng.table, node);
    if (entry.status == STATUS_DUPLICATE) duplicates.push_back(entry.filePosition);
  }
  clearTable(eng.table);
  eng.keys = {};
  resetDesignState();
  fs::remove_all(tmpl);
  // Exactly one of each original and copy pair is a duplicate; no near miss is.
  ASSERT_EQ(duplicates.size(), 5u);
  for (uint32_t pos : duplicates) {
    EXPECT_LT(pos, d.positionOf(10)) << "a near miss was taken for a duplicate";
  }
}

}  // namespace
}  // namespace kelvara
