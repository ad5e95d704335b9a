#include "report/description.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "host/design.h"
#include "host/state.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

TEST(ElementTypeName, NamedAndUnnamedTypes) {
  std::set<int> unnamed = {13, 20, 88, 89};
  for (int t = 29; t <= 32; ++t) unnamed.insert(t);
  for (int t = 38; t <= 65; ++t) unnamed.insert(t);
  for (int t = 67; t <= 86; ++t) unnamed.insert(t);
  std::string name = "stale";
  for (int t : unnamed) {
    EXPECT_EQ(elementTypeName(&name, t), 0) << t;
    EXPECT_EQ(name, "") << t;
  }
  int named = 0;
  for (int t = 0; t < 256; ++t) named += elementTypeName(&name, t);
  EXPECT_EQ(named, 37);
  struct Case {
    int type;
    const char* name;
  };
  const Case cases[] = {{2, "Cell (complex)"},
                        {4, "Line String"},
                        {12, "Connected String (complex)"},
                        {35, "Shared Cell Element"},
                        {66, "MicroStation Application"},
                        {91, "Raster Refererence Component"},
                        {94, "Raster Frame Element"}};
  for (const Case& c : cases) {
    EXPECT_EQ(elementTypeName(&name, c.type), 1);
    EXPECT_EQ(name, c.name);
  }
}

TEST(FormatDescription, RendersByLevelNamesAndStatus) {
  DescriptionFields walls;
  walls.level = 5;
  walls.levelName = "Walls";
  walls.colour = 3;
  walls.weight = 0xFFFFFFFFu;
  walls.style = 0;
  walls.type = 3;
  walls.status = STATUS_DUPLICATE;
  walls.filePosition = 1536;
  walls.id = 0x100000600ull;

  struct Case {
    const char* name;
    std::function<void(DescriptionFields&)> edit;
    bool deleted, component, filePos;
    const char* expected;
  };
  const Case cases[] = {
      {"deleted duplicate on a named level", [](DescriptionFields&) {}, true, false, false,
       "Lv Walls, Co 3, Wt ByLevel, St 0, type 3 (line) element was duplicate. Deleted."},
      {"named line style", [](DescriptionFields& f) { f.styleName = "DASHED"; }, false, false,
       false, "Lv Walls, Co 3, Wt ByLevel, St DASHED, type 3 (line) element is duplicate."},
      {"style by level wins over a name",
       [](DescriptionFields& f) {
         f.style = 2147483647;
         f.styleName = "DASHED";
       },
       false, false, false,
       "Lv Walls, Co 3, Wt ByLevel, St ByLevel, type 3 (line) element is duplicate."},
      {"colour by level, weight by cell stays a number",
       [](DescriptionFields& f) {
         f.colour = 0xFFFFFFFFu;
         f.weight = 0xFFFFFFFEu;
       },
       false, false, false,
       "Lv Walls, Co ByLevel, Wt -2, St 0, type 3 (line) element is duplicate."},
      {"level without a name prints its number", [](DescriptionFields& f) { f.levelName.reset(); },
       false, false, false, "Lv 5, Co 3, Wt ByLevel, St 0, type 3 (line) element is duplicate."},
      {"type without a name", [](DescriptionFields& f) { f.type = 13; }, false, false, false,
       "Lv Walls, Co 3, Wt ByLevel, St 0, type 13 () element is duplicate."},
      {"selection set status", [](DescriptionFields& f) { f.status = STATUS_REMOVED_ALL; }, false,
       false, false,
       "Lv Walls, Co 3, Wt ByLevel, St 0, type 3 (line) element is in selection set."},
      {"other status has no word", [](DescriptionFields& f) { f.status = STATUS_UNIQUE; }, false,
       false, false, "Lv Walls, Co 3, Wt ByLevel, St 0, type 3 (line) element is ."},
      {"file position and the low 32 bits of the ID", [](DescriptionFields& f) { f.type = 4; },
       false, false, true,
       "1536, ID=1536 -- Lv Walls, Co 3, Wt ByLevel, St 0, type 4 (line string) element is "
       "duplicate."},
      {"component of a cell", [](DescriptionFields&) {}, true, true, false,
       "Lv Walls, Co 3, Wt ByLevel, St 0, type 3 (line) element was duplicate. Deleted. (part "
       "of complex element)"},
  };
  for (const Case& c : cases) {
    DescriptionFields f = walls;
    c.edit(f);
    EXPECT_EQ(formatDescription(f, c.deleted, c.component, c.filePos), c.expected) << c.name;
  }
}

class DescribeEntryTest : public ::testing::Test {
 protected:
  test::ScratchDir scratch;
  test::DesignBuilder design;
  void SetUp() override {
    resetHostState();
    resetDesignState();
    design.add(test::line({0, 0}, {1000, 0}, {.level = 2, .colour = 3, .weight = 2, .style = 1}));
    design.add(test::cell("DOOR", {0, 0}, {test::line({0, 0}, {10, 0}, {.level = 7})},
                          {.level = 7, .colour = 4}));
    const std::string path = scratch.file("plan.dgn");
    ASSERT_TRUE(design.write(path));
    ASSERT_EQ(mdlSystem_newDesignFile(path), SUCCESS);
    int level = 0;
    ASSERT_EQ(mdlLevel_create(&level, mdlModelRef_getActive(), "Walls"), SUCCESS);
    ASSERT_EQ(level, 1);
    ASSERT_EQ(mdlLevel_create(&level, mdlModelRef_getActive(), "Doors"), SUCCESS);
    ASSERT_EQ(level, 2);
  }
  void TearDown() override { resetDesignState(); }
};

TEST_F(DescribeEntryTest, ReadsTheElementThroughTheHost) {
  ElementEntry entry;
  entry.modelRef = mdlModelRef_getActive();
  entry.filePosition = design.positionOf(0);
  entry.status = STATUS_DUPLICATE;
  std::string line;
  ASSERT_EQ(describeEntry(&line, entry, false, false, false), SUCCESS);
  EXPECT_EQ(line, "Lv Doors, Co 3, Wt 2, St 1, type 3 (line) element is duplicate.");

  entry.filePosition = design.positionOf(1);
  ASSERT_EQ(describeEntry(&line, entry, true, false, true), SUCCESS);
  EXPECT_EQ(line, std::to_string(design.positionOf(1)) +
                      ", ID=" + std::to_string(design.positionOf(1)) +
                      " -- Lv 7, Co 4, Wt 0, St 0, type 2 (cell (complex)) element was "
                      "duplicate. Deleted.");

  // A descriptor already held by the entry is used as it is.
  ASSERT_EQ(mdlElmdscr_read(&entry.descriptor, design.positionOf(0), entry.modelRef), SUCCESS);
  entry.filePosition = 12345;  // not read again from here
  ASSERT_EQ(describeEntry(&line, entry, false, true, false), SUCCESS);
  EXPECT_EQ(line,
            "Lv Doors, Co 3, Wt 2, St 1, type 3 (line) element is duplicate. (part of complex "
            "element)");

  entry.descriptor.reset();
  EXPECT_EQ(describeEntry(&line, entry, false, false, false), ERROR);
  EXPECT_EQ(line, "");
}

}  // namespace
}  // namespace kelvara
