// Whether named selection sets admit elements built as in a drawing: type toggles, per-type
// constraints, symbology and level criteria (cells included), the coordinate box, graphic
// groups and linkages, and selecting the admitted elements of the active model.
#include "selection/admit.h"

#include <gtest/gtest.h>

#include <functional>

#include "host/design.h"
#include "host/selection.h"
#include "host/state.h"
#include "host/ui.h"
#include "selection/file.h"
#include "selection/labels.h"
#include "tests/support/dgn_builder.h"
#include "tests/support/parse_errors.h"
#include "tests/support/scratch.h"
#include "valuelist/valuelist.h"

namespace kelvara {
namespace {

using test::Element;
using test::Symb;

ElmDscrPtr dscr(const Element& e, bool is3d = false) {
  ElmDscrPtr d;
  EXPECT_EQ(mdlElmdscr_new(&d, dgn::Bytes(e.data(), e.size()), is3d), SUCCESS);
  return d;
}

test::TextSpec textSpec(const std::string& chars, int justification = 2, int font = 1) {
  test::TextSpec t;
  t.chars = chars;
  t.justification = justification;
  t.font = font;
  return t;
}

// A set that admits only the given types.
SelectionSet setFor(std::initializer_list<int> types, const std::string& name = "S") {
  SelectionSet s = emptySelectionSet(name);
  for (int t : types) toggleOf(s, t)->selected = 1;
  return s;
}

struct Fixture : ::testing::Test {
  ScopedScriptedUi ui;
  void SetUp() override {
    resetDesignState();
    valueList_clearCache();
  }
  void TearDown() override { resetDesignState(); }
  bool admits(const SelectionSet& set, const Element& e, bool is3d = false) {
    SelectionSetList list;
    list.sets = {set};
    return admittedBy(list, *dscr(e, is3d), set.name);
  }
};

using SelectionAdmit = Fixture;

TEST_F(SelectionAdmit, TypeToggleDecidesFirst) {
  SelectionSet lines = setFor({3});
  const Element l = test::line({0, 0}, {10, 0});
  const Element a = test::arc({0, 0}, 10, 10, 0, 0, 90);
  EXPECT_TRUE(admits(lines, l));
  EXPECT_FALSE(admits(lines, a));
  toggleOf(lines, 3)->selected = 2;  // only bit 0 counts
  EXPECT_FALSE(admits(lines, l));
  // A type outside the element type table is never admitted, whatever the set says.
  SelectionSet all = setFor({});
  selectAllTypes(all);
  const Element pole = test::poles({{0, 0}, {5, 5}});
  EXPECT_FALSE(admits(all, pole));
  EXPECT_TRUE(admits(all, l));
}

// Types are listed, and their sections written, in the byte order of their names; the
// dimension types skip 10 and end with the ordinates.
TEST(SelectionTypeTable, NamesInByteOrder) {
  const auto& table = elementTypeTable();
  for (size_t i = 1; i < table.size(); ++i) {
    EXPECT_LT(std::string_view(table[i - 1].name), std::string_view(table[i].name));
  }
  EXPECT_EQ(dimensionTypeTable()[9], 11);
  EXPECT_EQ(dimensionTypeTable()[21], 53);
}

TEST_F(SelectionAdmit, ColoursWeightsAndStyles) {
  SelectionSet s = setFor({2, 3});
  s.colors = "2-4";
  const Element red = test::line({0, 0}, {10, 0}, {.colour = 3});
  const Element blue = test::line({0, 0}, {10, 0}, {.colour = 5});
  EXPECT_TRUE(admits(s, red));
  EXPECT_FALSE(admits(s, blue));
  s.colors.clear();
  s.weights = "0:1";
  s.styles = "3";
  EXPECT_FALSE(admits(s, test::line({0, 0}, {1, 0}, {.weight = 2, .style = 3})));
  EXPECT_TRUE(admits(s, test::line({0, 0}, {1, 0}, {.weight = 1, .style = 3})));
}

// A colour, weight or style list, each on its own, never admits a cell or a shared cell, even
// when the list names the header's own values; without lists they are admitted.
TEST_F(SelectionAdmit, SymbologyListsRefuseCells) {
  const Element cell =
      test::cell("DOOR", {0, 0}, {test::line({0, 0}, {1, 0}, {.colour = 3, .weight = 1})});
  const Element shared = test::opaque(35, {0, 0, 0, 0});
  struct Case {
    const char* list;
    std::string SelectionSet::*field;
  };
  for (const Case& c :
       {Case{"colours", &SelectionSet::colors}, Case{"weights", &SelectionSet::weights},
        Case{"styles", &SelectionSet::styles}}) {
    SCOPED_TRACE(c.list);
    SelectionSet s = setFor({2, 35});
    EXPECT_TRUE(admits(s, cell));
    EXPECT_TRUE(admits(s, shared));
    s.*c.field = "0-31";
    EXPECT_FALSE(admits(s, cell));
    EXPECT_FALSE(admits(s, shared));
  }
}

TEST_F(SelectionAdmit, PerTypeConstraints) {
  using test::cell;
  using test::line;
  struct Case {
    const char* what;
    int type;
    ConstraintKind list;
    std::vector<std::string> members;
    Element element;
    bool expected;
    bool is3d = false;
  };
  const Element node = test::textNode(textSpec(""), {"XYZ", "ABC"}, 4);
  const Element four = test::lineString({{0, 0}, {1, 0}, {2, 0}, {3, 0}});
  const Element arcBack = test::arc({0, 0}, 10, 10, 0, 0, -90);
  const Element arcTall = test::arc({0, 0}, 10, 20, 0, 0, 45);
  const Element filled = test::withFill(test::ellipse({0, 0}, 10, 5, 0), 3);
  const Element unfilled = test::ellipse({0, 0}, 10, 5, 0);
  const Element square = test::shape({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}});
  const Element chain = test::complexChain({line({0, 0}, {10, 0}), line({10, 0}, {10, 10})});
  // A line of 10 and a whole circle of radius 10 stored with a sweep of 0: 72.83 long.
  const Element ring =
      test::complexChain({line({0, 0}, {10, 0}), test::arc({20, 0}, 10, 10, 0, 180, 0)});
  const Element points = test::pointString({{0, 0}, {1, 1}}, {.properties = 0x8000});
  const Element turned = cell("A", {0, 0}, {line({0, 0}, {1, 0})}, {}, false, 30, 2);
  const Element pointCell = cell("A", {0, 0}, {line({0, 0}, {1, 0})}, {.properties = 0x4000});
  const Element cone = test::cone({0, 0, 0}, 3, {0, 0, 10}, 2);
  const Element text = test::text(textSpec("ABC", 2));
  const Element font4 = test::text(textSpec("ABC", 2, 4));
  const Element style0 = test::text(textSpec("ABC"));
  const Element dim = test::opaque(33, {0, 0, 0, 0});
  const Element shared = test::opaque(35, {0, 0, 0, 0});
  const auto cellOf = [](const char* name) { return cell(name, {0, 0}, {line({0, 0}, {1, 0})}); };
  using Row = std::vector<std::string>;
  const Row unnamed = {"", "Unnamed Cell", "Wildcard", "", "", ""};
  const auto nodeRow = [](std::string size, std::string chars, std::string format) {
    return Row{"", "", "", "", "", "", "", size, chars, format};
  };
  const Case cases[] = {
      // Lengths 100.409 and 101.116: only the first is within 1.0 of 100.
      {"line length near 100", 3, LINE_LIST, {"= 100"}, line({0, 0}, {71, 71}), true},
      {"line length past 101", 3, LINE_LIST, {"= 100"}, line({0, 0}, {71, 72}), false},
      {"line: any member", 3, LINE_LIST, {"< 5", "> 50"}, line({0, 0}, {100, 0}), true},
      {"line: only empty members", 3, LINE_LIST, {"", ""}, line({0, 0}, {9, 0}), false},
      {"line: no members", 3, LINE_LIST, {}, line({0, 0}, {9, 0}), true},
      {"vertices high-low", 4, LINE_STRING_LIST, {"", "= 5:3"}, four, false},
      {"vertices not high-low", 4, LINE_STRING_LIST, {"", "!= 5:3"}, four, true},
      {"length and vertices", 4, LINE_STRING_LIST, {"> 2", "= 4"}, four, true},
      {"second row admits", 4, LINE_STRING_LIST, {"> 20", "", "< 20", "= 4"}, four, true},
      {"negative sweep measures positive", 16, ARC_LIST, {"= 90", "", ""}, arcBack, true},
      {"arc axes: larger is primary", 16, ARC_LIST, {"", "= 20", "= 10"}, arcTall, true},
      {"ellipse filled", 15, ELLIPSE_LIST, {"Filled", "3", "", ""}, filled, true},
      {"ellipse fill colour", 15, ELLIPSE_LIST, {"Filled", "4", "", ""}, filled, false},
      {"ellipse not filled", 15, ELLIPSE_LIST, {"Not filled", "", "", ""}, unfilled, true},
      {"filled label, unfilled", 15, ELLIPSE_LIST, {"Filled", "", "", ""}, unfilled, false},
      {"shape perimeter, vertices", 6, SHAPE_LIST, {"Any", "", "= 40", "= 5"}, square, true},
      {"complex string length", 12, COMPLEX_STRING_LIST, {"= 20"}, chain, true},
      {"whole-circle arc in a chain", 12, COMPLEX_STRING_LIST, {"= 72.83"}, ring, true},
      {"point string disjoint", 22, POINT_STRING_LIST, {"Disjoint", ""}, points, true},
      {"point string continuous", 22, POINT_STRING_LIST, {"Continuous", ""}, points, false},
      {"unnamed cell", 2, CELL_LIST, unnamed, cellOf(""), true},
      {"named cell is not unnamed", 2, CELL_LIST, unnamed, cellOf("DOOR"), false},
      {"cell wildcard, any case", 2, CELL_LIST, {"Any", "do*", "Wildcard"}, cellOf("DOOR1"), true},
      {"cell regex", 2, CELL_LIST, {"", "DO+R[0-9]", "Regex"}, cellOf("DOOR1"), true},
      {"cell rotation and scale", 2, CELL_LIST, {"", "", "", "= 30", "= 2", "= 2"}, turned, true},
      {"graphic label, point cell", 2, CELL_LIST, {"Graphic cell"}, pointCell, false},
      {"cone", 23, CONE_LIST, {"= 10", "= 3", "= 2"}, cone, true, true},
      {"height, justification",
       17,
       TEXT_LIST,
       {"", "", "LC, LB", "= 6", "", "AB*", "Wildcard"},
       text,
       true},
      {"justification not listed", 17, TEXT_LIST, {"", "", "CC"}, text, false},
      {"text font number", 17, TEXT_LIST, {"", "3-5"}, font4, true},
      {"text font by the host's name", 17, TEXT_LIST, {"", "newz*"}, font4, true},
      {"text style none", 17, TEXT_LIST, {"\"Style (none)\""}, style0, true},
      {"node, empty format", 7, TEXT_NODE_LIST, nodeRow("", "AB*", ""), node, false},
      {"node component", 7, TEXT_NODE_LIST, nodeRow("= 4", "AB*", "Wildcard"), node, true},
      {"node regex", 7, TEXT_NODE_LIST, nodeRow("", "X.Z", "Regex"), node, true},
      {"node other format", 7, TEXT_NODE_LIST, nodeRow("", "X*", "Glob"), node, false},
      {"dimension type list", 33, DIMENSION_TYPE_LIST, {"0,1"}, dim, false},
      {"shared cell name", 35, SHARED_CELL_LIST, {"DOOR*", "Wildcard", "", "", ""}, shared, false},
  };
  for (const Case& c : cases) {
    SelectionSet s = setFor({c.type});
    s.lists[c.list] = c.members;
    const size_t width = rowWidth(c.list);  // a row above may leave out its trailing blanks
    s.lists[c.list]->resize((c.members.size() + width - 1) / width * width);
    EXPECT_EQ(admits(s, c.element, c.is3d), c.expected) << c.what;
  }
}

TEST_F(SelectionAdmit, TwoSetsOfOneNameAreAlternatives) {
  SelectionSetList list;
  list.sets = {setFor({3}, "Doors"), setFor({3}, "DOORS"), setFor({3}, "OTHER")};
  list.sets[0].colors = "1";
  list.sets[1].colors = "2";
  list.sets[2].colors = "3";
  const auto c1 = dscr(test::line({0, 0}, {1, 0}, {.colour = 1}));
  const auto c2 = dscr(test::line({0, 0}, {1, 0}, {.colour = 2}));
  const auto c3 = dscr(test::line({0, 0}, {1, 0}, {.colour = 3}));
  EXPECT_TRUE(admittedBy(list, *c1, "doors"));
  EXPECT_TRUE(admittedBy(list, *c2, "doors"));
  EXPECT_FALSE(admittedBy(list, *c3, "doors"));
  EXPECT_TRUE(admittedBy(list, *c3, "doors,,OTHER"));
  EXPECT_FALSE(admittedBy(list, *c3, "doors, OTHER"));  // names are not trimmed here
  EXPECT_FALSE(admittedBy(list, *c1, "NOSUCH"));
}

TEST_F(SelectionAdmit, CellComponentLevels) {
  const Element twoLevels = test::cell(
      "C", {0, 0},
      {test::line({0, 0}, {1, 0}, {.level = 1}), test::line({0, 0}, {2, 0}, {.level = 2})});
  const Element nested =
      test::cell("N", {0, 0},
                 {test::cell("I", {0, 0}, {test::line({0, 0}, {1, 0}, {.level = 2})}),
                  test::line({0, 0}, {2, 0}, {.level = 1})});
  const Element allOnOne = test::cell(
      "D", {0, 0},
      {test::line({0, 0}, {1, 0}, {.level = 1}), test::line({0, 0}, {2, 0}, {.level = 1})});
  SelectionSet s = setFor({2, 3});
  s.levels = "1";
  s.cellElesMustBeOnSeldLevel = 0;
  EXPECT_TRUE(admits(s, twoLevels));
  EXPECT_TRUE(admits(s, nested));
  EXPECT_TRUE(admits(s, allOnOne));
  s.cellElesMustBeOnSeldLevel = 1;
  EXPECT_FALSE(admits(s, twoLevels));
  EXPECT_FALSE(admits(s, nested));  // the nested cell's component is on level 2
  EXPECT_TRUE(admits(s, allOnOne));
  EXPECT_TRUE(admits(s, test::line({0, 0}, {1, 0}, {.level = 1})));
  EXPECT_FALSE(admits(s, test::line({0, 0}, {1, 0}, {.level = 2})));
}

TEST_F(SelectionAdmit, GraphicGroupsClassesAndLinkages) {
  SelectionSet s = setFor({3});
  s.graphicGroups = "5-9";
  EXPECT_TRUE(admits(s, test::line({0, 0}, {1, 0}, {.graphicGroup = 7})));
  EXPECT_FALSE(admits(s, test::line({0, 0}, {1, 0}, {.graphicGroup = 4})));
  s.graphicGroups = "five";  // not an integer list: admits nothing
  EXPECT_FALSE(admits(s, test::line({0, 0}, {1, 0}, {.graphicGroup = 7})));
  s.graphicGroups.clear();
  s.classes = 1u << 2;
  EXPECT_TRUE(admits(s, test::line({0, 0}, {1, 0}, {.properties = 2})));
  EXPECT_FALSE(admits(s, test::line({0, 0}, {1, 0}, {.properties = 0})));
  s.classes = 0;
  s.database.dmrsWord1 = "8";
  EXPECT_TRUE(admits(s, test::withDmrs(test::line({0, 0}, {1, 0}), 8, 1)));
  EXPECT_FALSE(admits(s, test::withDmrs(test::line({0, 0}, {1, 0}), 9, 1)));
  EXPECT_FALSE(admits(s, test::line({0, 0}, {1, 0})));  // no attribute data
}

// A 2D drawing with 1000 UOR per master unit whose origin is at (0, 0), opened as the active
// design file.
struct DrawingFixture : Fixture {
  test::ScratchDir scratch;
  const std::string dir = scratch.path();
  test::DesignBuilder drawing;
  void TearDown() override {
    resetHostState();
    Fixture::TearDown();
  }
  void open() {
    ASSERT_TRUE(drawing.write(dir + "/drawing.dgn"));
    ASSERT_EQ(mdlSystem_newDesignFile(dir + "/drawing.dgn"), SUCCESS);
  }
  ElmDscrPtr read(size_t n) {
    ElmDscrPtr d;
    EXPECT_EQ(mdlElmdscr_read(&d, drawing.positionOf(n), mdlModelRef_getActive()), SUCCESS);
    return d;
  }
};

using SelectionInDrawing = DrawingFixture;

TEST_F(SelectionInDrawing, DistancesAndBoxInWorkingUnits) {
  drawing.add(test::line({100, 100}, {1500, 1500}));  // inside 0..2 master units
  drawing.add(test::line({100, 100}, {2500, 1500}));  // leaves the box in X
  drawing.add(test::line({0, 0}, {100400, 0}));       // 100.4 master units long
  open();
  SelectionSet s = setFor({3});
  s.coordinateRange = "2,2,0,0,0,0";
  EXPECT_TRUE(passes(*read(0), s));
  EXPECT_FALSE(passes(*read(1), s));
  s.coordinateRange = "1,2,3";  // sets no test, and reports so once
  static std::vector<ParseError> reported;
  reported.clear();
  const ParseErrorSink saved =
      setParseErrorSink([](const ParseError& e) { reported.push_back(e); });
  EXPECT_TRUE(passes(*read(1), s));
  EXPECT_TRUE(passes(*read(0), s));
  unloadRunList();  // forgets what was said
  EXPECT_TRUE(passes(*read(0), s));
  (void)setParseErrorSink(saved);
  const ParseError sixNumbers{SEL_ERR_RANGE_NOT_SIX_NUMBERS, std::string(SEL_MSG_SIX_NUMBERS), "",
                              0};
  EXPECT_EQ(reported, (std::vector<ParseError>{sixNumbers, sixNumbers}));
  EXPECT_TRUE(ui.script.events.empty());
  s.coordinateRange.clear();
  s.lists[LINE_LIST] = std::vector<std::string>{"= 100.4"};
  EXPECT_TRUE(passes(*read(2), s));
  s.lists[LINE_LIST] = std::vector<std::string>{"= 100.3"};  // 100 UOR away
  EXPECT_FALSE(passes(*read(2), s));
}

TEST_F(SelectionInDrawing, SelectAdmittedThroughANamedGroup) {
  drawing.add(test::line({0, 0}, {10, 0}, {.colour = 1}));
  drawing.add(test::line({0, 0}, {10, 0}, {.colour = 2}));
  drawing.add(test::arc({0, 0}, 10, 10, 0, 0, 90, {.colour = 1}));
  drawing.add(test::line({0, 0}, {20, 0}, {.colour = 1}));
  open();
  ParseError error;
  EXPECT_EQ(selectAdmitted("RED", nullptr, &error), ERROR);  // no run list loaded
  SelectionSetList list;
  list.sets = {setFor({3}, "RED")};
  list.sets[0].colors = "1";
  const std::string sel = dir + "/sets.sel";
  ASSERT_EQ(writeSelectionFile(sel, list), SUCCESS);
  ASSERT_EQ(loadRunList(dir + "/sets", &error), SEL_READ_OK);
  ASSERT_TRUE(runListLoaded());
  EXPECT_EQ(selectAdmitted(" red ", nullptr, &error), SUCCESS);
  const ModelRef model = mdlModelRef_getActive();
  EXPECT_EQ(mdlSelect_members(), (std::vector<SelectedElement>{{model, drawing.positionOf(0)},
                                                               {model, drawing.positionOf(3)}}));
  EXPECT_EQ(selectAdmitted("RED,BLUE", nullptr, &error), SEL_SELECT_NAME_MISSING);
  EXPECT_EQ(error, (ParseError{SEL_ERR_SET_MISSING, missingSelectionSetMessage("BLUE"), "", 0}));
  EXPECT_TRUE(ui.script.texts(UiEventKind::InfoBox).empty());
  // The dialog list can be used instead of the run list.
  mdlSelect_freeAll();
  SelectionSetList dialog;
  dialog.sets = {setFor({16}, "ARCS")};
  EXPECT_EQ(selectAdmitted("ARCS", &dialog, &error), SUCCESS);
  EXPECT_EQ(mdlSelect_members(), (std::vector<SelectedElement>{{model, drawing.positionOf(2)}}));
  unloadRunList();
  EXPECT_FALSE(runListLoaded());
}

TEST_F(SelectionInDrawing, TagNamesAndValues) {
  drawing.add(test::tagSet(7, "Doors", {"width", "maker"}));
  drawing.add(test::tagValue(0, 7, 1, "Acme"));
  open();
  SelectionSet s = setFor({37});
  auto row = [](std::string set, std::string tag, std::string type, std::string value,
                std::string format) {
    return std::vector<std::string>{"", "", "", "", set, tag, type, value, format};
  };
  const auto tag = read(1);
  struct Case {
    std::vector<std::string> row;
    bool expected;
  };
  const Case cases[] = {
      {row("DOORS", "", "", "", ""), true},  // both sides lower-cased
      {row("win.*", "", "", "", ""), false},
      {row("", "WIDTH", "", "", ""), true},  // tag index 1: the first tag of the set
      {row("", "maker", "", "", ""), false},
      {row("", "", "Character", "ac*", "Wildcard"), true},
      {row("", "", "Integer", "", ""), false},
      {row("", "", "", "A.m[eE]", "Regex"), true},
      {row("", "", "", "A.M[eE]", "Regex"), false},  // case as written
      {row("", "", "", "B*", "Wildcard"), false},
  };
  for (const Case& c : cases) {
    s.lists[TAG_LIST] = c.row;
    EXPECT_EQ(passes(*tag, s), c.expected) << c.row[4] << "|" << c.row[6] << "|" << c.row[7];
  }
}

}  // namespace
}  // namespace kelvara
