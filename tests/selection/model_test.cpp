// Set and list operations as the Element Selection dialog drives them.
#include "selection/model.h"

#include <gtest/gtest.h>

namespace kelvara {
namespace {

std::vector<std::string> namesOf(const SelectionSetList& list) {
  std::vector<std::string> names;
  for (const SelectionSet& s : list.sets) names.push_back(s.name);
  return names;
}

TEST(SelectionModel, ListOperations) {
  SelectionSetList list;
  SelectionSet working = emptySelectionSet("DOORS");
  working.colors = "1";
  working.lists[CELL_LIST] = std::vector<std::string>{"Any", "D*", "Wildcard", "", "", ""};
  addSet(list, working);
  working.name = "doors";
  addSet(list, working);
  working.name = "DOORS";
  addSet(list, working);
  // The set owns a copy: changing the working copy leaves it alone.
  (*working.lists[CELL_LIST])[1] = "X*";
  EXPECT_EQ((*list.sets[0].lists[CELL_LIST])[1], "D*");

  EXPECT_TRUE(updateSet(list, 1, working));
  EXPECT_EQ((*list.sets[1].lists[CELL_LIST])[1], "X*");
  EXPECT_EQ(list.sets[1].name, "DOORS");
  EXPECT_FALSE(updateSet(list, 3, working));

  // Remove takes the first set of exactly that name.
  list.sets[1].name = "doors";
  EXPECT_TRUE(removeSet(list, "doors"));
  EXPECT_EQ(namesOf(list), (std::vector<std::string>{"DOORS", "DOORS"}));
  EXPECT_FALSE(removeSet(list, "Doors"));

  SelectionSet highlighted;
  EXPECT_TRUE(highlightSet(list, 0, highlighted));
  EXPECT_EQ(highlighted, list.sets[0]);
  EXPECT_FALSE(highlightSet(list, 5, highlighted));

  EXPECT_TRUE(removeSet(list, "DOORS"));
  EXPECT_TRUE(removeSet(list, "DOORS"));
  EXPECT_TRUE(list.sets.empty());
  addSet(list, working);
  freeSets(list);
  EXPECT_TRUE(list.sets.empty());
}

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

TEST(SelectionModel, RowWidthsAndListsOfTypes) {
  struct Case {
    int type;
    ConstraintKind kind;
    int width;
  };
  // clang-format off
  const Case cases[] = {
      {16, ARC_LIST, 3}, {15, ELLIPSE_LIST, 4}, {3, LINE_LIST, 1}, {4, LINE_STRING_LIST, 2},
      {11, CURVE_LIST, 2}, {36, MULTILINE_LIST, 2}, {12, COMPLEX_STRING_LIST, 1},
      {14, COMPLEX_SHAPE_LIST, 3}, {6, SHAPE_LIST, 4}, {22, POINT_STRING_LIST, 2},
      {2, CELL_LIST, 6}, {35, SHARED_CELL_LIST, 5}, {23, CONE_LIST, 3}, {17, TEXT_LIST, 7},
      {7, TEXT_NODE_LIST, 10}, {37, TAG_LIST, 9}, {27, BSPLINE_CURVE_LIST, 5}};
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(constraintKindOf(c.type), c.kind) << c.type;
    EXPECT_EQ(rowWidth(c.kind), c.width) << c.type;
  }
  EXPECT_EQ(rowWidth(DIMENSION_TEXT_LIST), 5);
  EXPECT_EQ(rowWidth(DIMENSION_TYPE_LIST), 1);
  for (int type : {24, 87, 19, 18, 33, 5}) {
    EXPECT_EQ(constraintKindOf(type), CONSTRAINT_LIST_COUNT) << type;
  }
}

TEST(SelectionModel, SetNamesCompareWithoutCase) {
  EXPECT_TRUE(sameSetName("Doors", "DOORS"));
  EXPECT_FALSE(sameSetName("DOORS", "DOORS "));
  EXPECT_FALSE(sameSetName("DOOR", "DOORS"));
}

}  // namespace
}  // namespace kelvara
