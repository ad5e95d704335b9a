// Selection files: round trips, version rules, scrambled and old-layout files, tolerant
// section readers, the set-name collector.
#include "selection/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/dgn/image.h"
#include "host/state.h"
#include "host/ui.h"
#include "selection/labels.h"
#include "support/file_faults.h"
#include "support/parse_errors.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

using test::readText;
using TempDir = test::ScratchDir;

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A set with a value in every saved field, distinct per seed.
SelectionSet fullSet(const std::string& name, int seed) {
  SelectionSet s = emptySelectionSet(name);
  const std::string n = std::to_string(seed);
  s.levels = "1-" + n + ", \"Walls\"";
  s.colors = n + ", bylevel";
  s.weights = "0:" + n;
  s.styles = "2";
  s.graphicGroups = "7, 9-" + n;
  s.coordinateRange = "0,0,0," + n + ",10,5";
  s.cellElesMustBeOnSeldLevel = 1;
  s.levelsMode = 3 + seed;
  s.properties = 0x80000001u + seed;  // the high bit is written as a negative number
  s.classes = 0x41;
  for (size_t i = 0; i < s.typeToggles.size(); ++i) {
    s.typeToggles[i].selected = (i + seed) % 2;
    s.typeToggles[i].more = (i + seed) % 3 == 0 ? 1 : 0;
  }
  s.dimensionTypesSelected = 1;
  s.dimensionTextSelected = 0;
  s.dimensionTypesMore = 1;
  s.dimensionTextMore = 1;
  s.database = {0x80000F0Fu, "1", "7-9", "3", "100000", "2", "5", "6", "77"};
  for (size_t i = 0; i < s.userData.texts.size(); ++i) {
    s.userData.texts[i] = i % 3 == 0 ? "" : std::to_string(i + seed);
  }
  s.userData.toggles = 0xB;
  for (int k = 0; k < CONSTRAINT_LIST_COUNT; ++k) {
    const int width = rowWidth(static_cast<ConstraintKind>(k));
    std::vector<std::string> members;
    for (int r = 0; r < 2; ++r) {
      for (int c = 0; c < width; ++c) {
        members.push_back(c == 1 ? "" : "= " + std::to_string(k * 100 + r * 10 + c + seed));
      }
    }
    if (k != SHAPE_LIST) s.lists[k] = members;  // one list stays absent
  }
  s.levelList = std::vector<std::string>{"Walls", "Doors", std::string(40, 'x')};
  return s;
}

TEST(SelectionFile, WriteThenReadGivesBackEverySavedField) {
  ScopedScriptedUi ui;
  TempDir dir;
  SelectionSetList list;
  list.sets = {fullSet("DOORS", 1), fullSet("walls", 2), emptySelectionSet("EMPTY")};
  list.sets[1].levels = std::string(1000, '7');  // longer than a plain reading line
  const std::string path = dir.file("sets.sel");
  ASSERT_EQ(writeSelectionFile(path, list), SUCCESS);
  SelectionSetList back;
  ASSERT_EQ(readSelectionFile(path, back, nullptr), SUCCESS);
  ASSERT_EQ(back.sets.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    SelectionSet expected = list.sets[i];
    // Only bit 0 of `selected` and `more` is written.
    for (TypeToggle& t : expected.typeToggles) {
      t.selected &= 1;
      t.more &= 1;
    }
    // Toggle-only types are always written with More=0.
    for (int type : {24, 87, 19, 18}) toggleOf(expected, type)->more = 0;
    EXPECT_EQ(back.sets[i], expected) << "set " << i;
  }
  // Writing what was read gives the same bytes.
  EXPECT_EQ(formatSelectionText(back), readText(path));
}

TEST(SelectionFile, FileStartsWithHeaderAndVersionsAndWritesSectionsInOrder) {
  SelectionSetList list;
  list.sets = {emptySelectionSet("DOORS")};
  toggleOf(list.sets[0], 2)->selected = 1;
  list.sets[0].lists[SHARED_CELL_LIST] = std::vector<std::string>{"DOOR*", "Wildcard", "", "", ""};
  toggleOf(list.sets[0], 35)->selected = 1;
  toggleOf(list.sets[0], 35)->more = 1;
  const std::string text = formatSelectionText(list);
  const std::string start =
      "[Tarvo Selection File]\n[Select version = 3:2:4:1]\n[Minor version = 3:2:1:0]\n"
      "[Major version = 3:2:4:1]\n[[Name=DOORS]]\n[Arc]\nSelected=0\nMore=0\nSize=0\n"
      "[BSpline curve]\nSelected=0\nMore=0\nSize=0\n[BSpline surface]\nSelected=0\nMore=0\n"
      "Size=0\n[Cell]\nSelected=1\nMore=0\nSize=0\n";
  EXPECT_EQ(text.substr(0, start.size()), start);
  EXPECT_NE(text.find("[Shared cell]\nSelected=1\nMore=1\nSize=5\nDOOR*\nWildcard\n[]\n[]\n[]\n"),
            std::string::npos);
}

std::string versioned(const std::string& select, const std::string& minor, const std::string& major,
                      const std::string& body) {
  return "[Tarvo Selection File]\n[Select version = " + select + "]\n[Minor version = " + minor +
         "]\n[Major version = " + major + "]\n" + body;
}

const char* kTextBody =
    "[[Name=T]]\n[Text]\nSelected=1\nMore=1\nSize=6\n1\n[]\n= 2\n= 3\nABC*\nWildcard\n";

// Readable version lines and whether they mean the old text layout (refused versions:
// HeaderAndFormatFailures).
TEST(SelectionFile, VersionRules) {
  struct Case {
    const char *select, *minor, *major;
    bool oldLayout;
  };
  const Case cases[] = {
      {"0:1", "3:2:4:1", "9:0", false},  // not older than the oldest reader: Select not looked at
      {"1:0", "3:2:1:0", "3:2:4:1", false},  // written by this version: Select not examined
      {"3:1", "3:0", "3:0", true},          {"3:2:1:0", "3:0", "3:0", false},
      {"2:0:1:1", "1:0", "2:5", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.select) + " / " + c.minor + " / " + c.major);
    SelectionFileKind kind;
    ParseError error;
    const std::string text = versioned(c.select, c.minor, c.major, kTextBody);
    EXPECT_EQ(checkSelectionText(text, "x.sel", &kind, &error), SUCCESS);
    EXPECT_EQ(kind.oldLayout, c.oldLayout);
    EXPECT_EQ(error.text, "");
  }
}

TEST(SelectionFile, OldLayoutTextRowsGainLeadingStyleColumn) {
  ScopedScriptedUi ui;
  TempDir dir;
  const std::string path = dir.file("old.sel");
  writeText(path, versioned("3:1", "3:0", "3:0", kTextBody));
  SelectionSetList list;
  ASSERT_EQ(readSelectionFile(path, list, nullptr), SUCCESS);
  ASSERT_EQ(list.sets.size(), 1u);
  EXPECT_EQ(list.sets[0].lists[TEXT_LIST],
            (std::vector<std::string>{"", "1", "", "= 2", "= 3", "ABC*", "Wildcard"}));
  // The same file from this version keeps its rows as written.
  writeText(path, versioned("3:2:4:1", "3:2:1:0", "3:2:4:1", kTextBody));
  ASSERT_EQ(readSelectionFile(path, list, nullptr), SUCCESS);
  EXPECT_EQ(list.sets[0].lists[TEXT_LIST]->size(), 6u);
}

// A refused file comes back as one error: its code and text, the file, and the header or
// version line that failed (counted in lines of the file, whatever their length or line ends).
// Nothing is shown.
TEST(SelectionFile, HeaderAndFormatFailures) {
  const std::string header = "[Tarvo Selection File]\n";
  const ParseError unsuitable{SEL_ERR_UNSUITABLE, unsuitableSelectionFileMessage("x.sel"), "x.sel",
                              1};
  auto invalid = [](int line) {
    return ParseError{SEL_ERR_INVALID_FORMAT, std::string(SEL_MSG_INVALID_FORMAT), "x.sel", line,
                      true};
  };
  const ParseError next{SEL_ERR_NEXT_VERSION, std::string(SEL_MSG_NEXT_VERSION), "x.sel", 3};
  const ParseError old{SEL_ERR_OLD_VERSION, std::string(SEL_MSG_OLD_VERSION), "x.sel", 2};
  struct Case {
    const char* name;
    std::string text;
    ParseError error;
  };
  const Case cases[] = {
      {"another header", "[Other File]\n", unsuitable},
      {"empty", "", unsuitable},
      {"minor version without a value",
       header + "[Select version = 3:2:4:1]\n[Minor]\n[Major version = 3:2:4:1]\n", invalid(3)},
      {"major version missing", header + "[Select version = 3:2:4:1]\n[Minor version = 3:0]\n",
       invalid(4)},
      {"select version without a value, older major",
       header + "[Select]\n[Minor version = 1:0]\n[Major version = 3:0]\n", invalid(2)},
      {"header alone", header, invalid(3)},
      {"a select line longer than the reading buffer",
       header + "[Select version = " + std::string(700, '1') + "]\n[Minor version = 3:0]\n",
       invalid(2)},
      {"from the next version", versioned("3:2:4:1", "3:2:4:2", "3:2:4:2", ""), next},
      {"from the next version, Windows line ends",
       "[Tarvo Selection File]\r\n[Select version = 3:2:4:1]\r\n[Minor version = 3:2:4:2]\r\n"
       "[Major version = 3:2:4:2]\r\n",
       next},
      {"from an old version", versioned("2:0:1:0", "3:0", "3:0", ""), old},
  };
  ScopedScriptedUi ui;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectionFileKind kind;
    ParseError error;
    EXPECT_EQ(checkSelectionText(c.text, "x.sel", &kind, &error), ERROR);
    EXPECT_EQ(error, c.error);
  }
  EXPECT_TRUE(ui.script.events.empty());
}

std::string scramble(const std::string& plain) {
  std::string out;
  for (char c : plain) {
    out.push_back(c == '\n' ? '\n' : static_cast<char>(static_cast<uint8_t>(c) + SCRAMBLE_SHIFT));
  }
  return out;
}

TEST(SelectionFile, ScrambledFileIsReadAndItsCellRowsWidened) {
  ScopedScriptedUi ui;
  TempDir dir;
  const std::string path = dir.file("old.sel");
  writeText(path, scramble("[Tarvo Selection File]\n[[Name=OLD]]\n[Cell]\nSelected=1\nMore=1\n"
                           "Size=4\nAny\nDOOR*\nPoint cell\nWIN?\n[Shared cell]\nSelected=1\n"
                           "More=1\nSize=1\nTREE*\n[Color]\n3\n[Text]\nSelected=1\nMore=0\n"
                           "Size=6\n1\n2\n3\n4\n5\n6\n"));
  SelectionFileKind kind;
  ASSERT_EQ(checkSelectionFile(path, &kind, nullptr), SUCCESS);
  EXPECT_TRUE(kind.scrambled);
  EXPECT_FALSE(kind.oldLayout);
  SelectionSetList list;
  ASSERT_EQ(readSelectionFile(path, list, nullptr), SUCCESS);
  ASSERT_EQ(list.sets.size(), 1u);
  const SelectionSet& s = list.sets[0];
  EXPECT_EQ(s.name, "OLD");
  EXPECT_EQ(s.colors, "3");
  EXPECT_EQ(s.lists[CELL_LIST],
            (std::vector<std::string>{"Any", "DOOR*", "Wildcard", "", "", "", "Point cell", "WIN?",
                                      "Wildcard", "", "", ""}));
  EXPECT_EQ(s.lists[SHARED_CELL_LIST], (std::vector<std::string>{"TREE*", "Wildcard", "", "", ""}));
  // Scrambled files are not of the old text layout.
  EXPECT_EQ(s.lists[TEXT_LIST]->size(), 6u);
}

TEST(SelectionFile, TolerantSectionReaders) {
  ScopedScriptedUi ui;
  const std::string body =
      "stray line before any set\n"
      "[[Name=" +
      std::string(280, 'N') +
      "]]\n"  // longer than a set name holds: cut
      "[Color]\n5\n"
      "[[Name=A]]\n"
      "[Line]\nSelected=1\nMore=0\nSize=2\n[]\nABC\n"
      "[Curve]\nSelected=1\nMore=7\nSize=0\n"
      "[Cone]\nSelected=1\nOops=1\n"  // a missing key ends the section; the line is used up
      "[Color]\n[]\n"
      "[Weight]\n" +
      std::string(300, '4') +
      "\n"  // cut to the field
      "[Class]\n-2147483648\n"
      "[LevelList]\nSize=3\nWalls\n[]\nDoors\n"
      "[[Name=A]]\n"                       // two sets with one name
      "[Database]\nToggles=5\n1\n[]\n3\n"  // ends early at end of file
      ;
  const std::string text = versioned("3:2:4:1", "3:2:1:0", "3:2:4:1", body);
  SelectionFileKind kind;
  ASSERT_EQ(checkSelectionText(text, "x.sel", &kind, nullptr), SUCCESS);
  SelectionSetList list;
  parseSelectionText(text, kind, list);
  ASSERT_EQ(list.sets.size(), 3u);
  EXPECT_EQ(list.sets[0].name, std::string(254, 'N'));
  EXPECT_EQ(list.sets[0].colors, "5");
  const SelectionSet& a = list.sets[1];
  EXPECT_EQ(a.lists[LINE_LIST], (std::vector<std::string>{"", "ABC"}));
  EXPECT_FALSE(a.lists[CURVE_LIST].has_value());  // a size of 0 leaves the list absent
  EXPECT_EQ(toggleOf(a, 11)->more, 7);            // the whole number is stored
  EXPECT_EQ(toggleOf(a, 23)->selected, 1);
  EXPECT_EQ(toggleOf(a, 16)->selected, 0);  // no [Arc] section: not selected
  EXPECT_EQ(a.colors, "");
  EXPECT_EQ(a.weights, std::string(254, '4'));
  EXPECT_EQ(a.classes, 0x80000000u);
  EXPECT_EQ(a.levelList, (std::vector<std::string>{"Walls", "Doors"}));
  const SelectionSet& b = list.sets[2];
  EXPECT_EQ(b.name, "A");
  EXPECT_EQ(b.database.toggles, 5u);
  EXPECT_EQ(b.database.linkageClass, "1");
  EXPECT_EQ(b.database.linkageWords, "");
  EXPECT_EQ(b.database.linkageWord3, "3");
  EXPECT_EQ(b.database.linkageKey, "");
}

TEST(SelectionFile, CompareVersions) {
  const std::string a = "3:2:4:1";
  EXPECT_EQ(compareVersions(&a, nullptr), 0);
  EXPECT_EQ(compareVersions(nullptr, &a), 0);
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"3:2:4:1", "3:2:4:1", 0}, {"3:2:4:1", "9:0", -1},        {"3:2:4:1", "3:0", 1},
      {"3", "3:0:0:0", 0},       {"3:2:4:1:9", "3:2:4:1:1", 0}, {"2:0:1:1", "2:0:1:0", 1},
      {"10:0", "9:9", 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(compareVersions(std::string_view(c.a), std::string_view(c.b)), c.expected)
        << c.a << " vs " << c.b;
    EXPECT_EQ(compareVersions(std::string_view(c.b), std::string_view(c.a)), -c.expected)
        << c.b << " vs " << c.a;
  }
}

TEST(SelectionFile, RunListPathRulesAndResults) {
  ScopedScriptedUi ui;
  TempDir dir;
  EXPECT_EQ(normalizeSelectionPath("  /a  b/sets  "), "/a b/sets.sel");
  EXPECT_EQ(normalizeSelectionPath("/a.d/sets.old"), "/a.d/sets.old");
  EXPECT_EQ(normalizeSelectionPath("/a.d/sets"), "/a.d/sets.sel");

  SelectionSetList list;
  list.sets = {emptySelectionSet("KEEP")};
  writeText(dir.file("good.sel"), versioned("3:2:4:1", "3:2:1:0", "3:2:4:1", "[[Name=X]]\n"));
  writeText(dir.file("bad.sel"), "not a selection file\n");
  ParseError error;
  EXPECT_EQ(readRunList(" " + dir.file("good") + " ", list, &error), SEL_READ_OK);
  ASSERT_EQ(list.sets.size(), 1u);
  EXPECT_EQ(list.sets[0].name, "X");
  EXPECT_EQ(error, ParseError{});
  // Errors name the file as the path rules made it.
  const std::string missing = dir.file("missing.sel");
  EXPECT_EQ(readRunList(dir.file("missing"), list, &error), SEL_READ_UNREADABLE);
  EXPECT_TRUE(list.sets.empty());
  EXPECT_EQ(error,
            (ParseError{SEL_ERR_UNREADABLE, unreadableSelectionFileMessage(missing), missing, 0}));
  const std::string bad = dir.file("bad.sel");
  EXPECT_EQ(readRunList(bad, list, &error), SEL_READ_UNSUITABLE);
  EXPECT_EQ(error, (ParseError{SEL_ERR_UNSUITABLE, unsuitableSelectionFileMessage(bad), bad, 1}));
  EXPECT_EQ(readRunList("", list, &error), SEL_READ_UNREADABLE);
  EXPECT_EQ(error.code, SEL_ERR_UNREADABLE);
  // The dialog's readers give the same errors.
  SelectionFileKind kind;
  EXPECT_EQ(checkSelectionFile(missing, &kind, &error), ERROR);
  EXPECT_EQ(error.code, SEL_ERR_UNREADABLE);
  EXPECT_EQ(error.file, missing);
  EXPECT_EQ(readSelectionFile(bad, list, &error), ERROR);
  EXPECT_EQ(error, (ParseError{SEL_ERR_UNSUITABLE, unsuitableSelectionFileMessage(bad), bad, 1}));
  EXPECT_TRUE(ui.script.events.empty());
}

TEST(SelectionFile, CollectSetNames) {
  TempDir dir;
  const std::string path = dir.file("names.sel");
  writeText(path, versioned("3:2:4:1", "3:2:1:0", "3:2:4:1",
                            "[[Name=DOORS]]\n[Color]\n1\n[[Name=WINDOWS]]\n[[Name=TREES]]\n"));
  char buffer[128];
  EXPECT_EQ(collectSetNames(path.c_str(), buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "DOORS,WINDOWS,TREES");
  // "DOORS,WINDOWS,TREES" needs 20 bytes with the terminator.
  EXPECT_EQ(collectSetNames(path.c_str(), buffer, 20), 0);
  EXPECT_EQ(collectSetNames(path.c_str(), buffer, 19), -7);
  EXPECT_STREQ(buffer, "DOORS,WINDOWS");
  EXPECT_EQ(collectSetNames(path.c_str(), buffer, 5), -7);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(collectSetNames(nullptr, buffer, 10), -1);
  EXPECT_EQ(collectSetNames("", buffer, 10), -2);
  EXPECT_EQ(collectSetNames(path.c_str(), nullptr, 10), -3);
  EXPECT_EQ(collectSetNames(path.c_str(), buffer, 0), -4);
  EXPECT_EQ(collectSetNames(dir.file("none.sel").c_str(), buffer, 10), -5);
  // Scrambled files give their names too.
  writeText(path, scramble("[Tarvo Selection File]\n[[Name=OLD]]\n[[Name=OLDER]]\n"));
  EXPECT_EQ(collectSetNames(path.c_str(), buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "OLD,OLDER");
}

TEST(SelectionFile, FailedWriteLeavesTheOldFile) {
  ScopedScriptedUi ui;
  TempDir dir;
  const std::string path = dir.file("kept.sel");
  writeText(path, "old content\n");
  SelectionSetList list;
  list.sets = {emptySelectionSet("A")};
  // The new content cannot replace the file: the old one stays whole.
  {
    test::FileFault fault(test::FileCall::Rename);
    EXPECT_EQ(writeSelectionFile(path, list), ERROR);
  }
  EXPECT_EQ(readText(path), "old content\n");
  EXPECT_EQ(ui.script.texts(UiEventKind::InfoBox),
            std::vector<std::string>{unwritableSelectionFileMessage(path)});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no leftovers
  if (geteuid() != 0) {  // permissions do not bind root
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(writeSelectionFile(path, list), ERROR);
    EXPECT_EQ(readText(path), "old content\n");
  }
  // A folder that does not exist: the message for a file that cannot be opened.
  const std::string nowhere = dir.file("no/such/dir.sel");
  EXPECT_EQ(writeSelectionFile(nowhere, list), ERROR);
  EXPECT_EQ(ui.script.texts(UiEventKind::InfoBox).back(), unreadableSelectionFileMessage(nowhere));
}

}  // namespace
}  // namespace kelvara
