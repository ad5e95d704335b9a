// End to end: `kelvara` restricted by a selection file named through the settings removes the
// duplicates that the named sets admit and leaves the others alone.
#include <gtest/gtest.h>

#include <cstdlib>

#include "selection/file.h"
#include "tests/support/deleted_flags.h"
#include "tests/support/scratch.h"

namespace kelvara {
namespace {

TEST(KelvaraRun, RestrictedRunLeavesDuplicatesOutsideTheSetsAlone) {
  const char* bin = std::getenv("KELVARA_BIN");
  if (!bin) GTEST_SKIP() << "KELVARA_BIN is not set";
  test::ScratchDir dir;
  SelectionSetList list;
  list.sets = {emptySelectionSet("RED")};
  toggleOf(list.sets[0], 3)->selected = 1;
  list.sets[0].colors = "1";
  ASSERT_EQ(writeSelectionFile(dir.file("sets.sel"), list), SUCCESS);
  test::DesignBuilder drawing;
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));  // duplicates, admitted
  drawing.add(test::line({0, 0}, {1000, 0}, {.colour = 1}));
  drawing.add(test::line({0, 500}, {1000, 500}, {.colour = 2}));  // duplicates, not admitted
  drawing.add(test::line({0, 500}, {1000, 500}, {.colour = 2}));
  ASSERT_TRUE(drawing.write(dir.file("drawing.dgn")));
  const std::string command = "cd '" + dir.path() + "' && '" + bin +
                              "' --set BACKUP=0 --set REMOVE_ALL_DUP=0 --set REMOVE_SEL_DUP=1 "
                              "--set CRITERIA_NAME_=sets --set CRITERIA_DESCRPT_=RED "
                              "drawing.dgn >out.txt 2>err.txt";
  EXPECT_EQ(std::system(command.c_str()), 0) << test::readText(dir.file("err.txt"));
  EXPECT_EQ(test::deletedFlags(drawing, dir.file("drawing.dgn")),
            (std::vector<bool>{true, false, false, false}));
  // A selection file that cannot be read fails the entry: e2e FailedEntry.
}

}  // namespace
}  // namespace kelvara
