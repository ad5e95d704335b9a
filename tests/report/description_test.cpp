// Element descriptions: type names and the description line's corner cases. Lines of whole
// runs (level numbers and names, "Deleted.", file positions with IDs) are checked through the
// executable (EndToEnd, DxfCases).
#include "report/description.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "host/design.h"
#include "host/state.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

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
  // The types of the duplicates the executable reports are named in its reports (EndToEnd,
  // DxfCases).
  const Case cases[] = {{66, "MicroStation Application"},
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

// The complex-component note and a descriptor the entry already holds (the entry's file
// position is not read again); without either the entry cannot be described.
TEST(DescribeEntry, HeldDescriptorAndComponentNote) {
  resetDesignState();
  test::ScratchDir scratch;
  test::DesignBuilder design;
  design.add(test::line({0, 0}, {1000, 0}, {.level = 2, .colour = 3, .weight = 2, .style = 1}));
  ASSERT_TRUE(design.write(scratch.file("plan.dgn")));
  ASSERT_EQ(mdlSystem_newDesignFile(scratch.file("plan.dgn")), SUCCESS);
  ElementEntry entry;
  entry.modelRef = mdlModelRef_getActive();
  entry.status = STATUS_DUPLICATE;
  ASSERT_EQ(mdlElmdscr_read(&entry.descriptor, design.positionOf(0), entry.modelRef), SUCCESS);
  entry.filePosition = 12345;
  std::string line;
  ASSERT_EQ(describeEntry(&line, entry, false, true, false), SUCCESS);
  EXPECT_EQ(line,
            "Lv 2, Co 3, Wt 2, St 1, type 3 (line) element is duplicate. (part of complex "
            "element)");
  entry.descriptor.reset();
  EXPECT_EQ(describeEntry(&line, entry, false, false, false), ERROR);
  EXPECT_EQ(line, "");
  resetDesignState();
}

}  // namespace
}  // namespace kelvara
