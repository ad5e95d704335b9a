// Clearing a set and selecting all its types. Adding, updating, removing and highlighting sets,
// and set names compared without case: the frame SelectionDialogTest rows.
#include "selection/model.h"

#include <gtest/gtest.h>

namespace kelvara {
namespace {

TEST(SelectionModel, ClearKeepsTheNameAndSelectsEveryType) {
  SelectionSet s = emptySelectionSet("KEEP");
  s.levels = "1";
  s.coordinateRange = "0,0,0,1,1,1";
  s.cellElesMustBeOnSeldLevel = 1;
  s.properties = 3;
  s.classes = 1;
  s.database.toggles = 4;
  s.userData.toggles = 2;
  s.lists[ARC_LIST] = std::vector<std::string>{"= 90", "", ""};
  s.levelList = std::vector<std::string>{"Walls"};
  s.typeToggles[3].more = 1;
  clearSelectionSet(s);
  SelectionSet expected = emptySelectionSet("KEEP");
  for (TypeToggle& t : expected.typeToggles) t.selected = 1;
  EXPECT_EQ(s, expected);

  // Select all passes over types whose `selected` is negative.
  s.typeToggles[0].selected = -1;
  s.typeToggles[1].selected = 2;
  selectAllTypes(s);
  EXPECT_EQ(s.typeToggles[0].selected, -1);
  EXPECT_EQ(s.typeToggles[1].selected, 3);
}

}  // namespace
}  // namespace kelvara
