#include "valuelist/level_picker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "host/config.h"
#include "host/design.h"
#include "host/types.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"
#include "valuelist/list_file.h"
#include "valuelist/valuelist.h"

namespace kelvara {
namespace {

using test::ScratchDir;

// Writes a design file whose levels carry the given names.
void writeNamedDesign(const std::string& path,
                      const std::vector<std::pair<int, std::string>>& names,
                      test::DesignBuilder builder = {}) {
  ASSERT_TRUE(builder.write(path));
  ModelRef model = 0;
  ASSERT_EQ(mdlWorkDgn_openFile(&model, path, false), SUCCESS);
  for (const auto& [level, name] : names) ASSERT_EQ(mdlLevel_setName(model, level, name), SUCCESS);
  ASSERT_EQ(mdlLevelTable_rewrite(model), SUCCESS);
  ASSERT_EQ(mdlWorkDgn_closeFile(model), SUCCESS);
}

std::vector<LevelRow> namedRows(const std::vector<std::pair<int, std::string>>& levels) {
  std::vector<LevelRow> rows;
  for (const auto& [code, name] : levels) rows.push_back({name, code, "", ""});
  return rows;
}

// Which levels a field's text covers, by code and by name.
TEST(LevelMatcher, NormalisedItemsCoverCodesAndNamesWithoutCase) {
  struct Case {
    const char* text;
    int code;
    const char* name;
    bool covered;
  };
  // The colon inside quotes stays, so "\"1:3\"" is a pattern, not a range; blanks outside quotes
  // go, so "A B" is the pattern AB.
  // clang-format off
  const Case cases[] = {
      {"5", 5, "Walls", true},      {"5", 6, "Walls", false},       {" 3 - 7 ", 7, "", true},
      {"10:12", 11, "", true},      {"12:10", 10, "", true},        {"\"1:3\"", 2, "", false},
      {"\"1:3\"", 2, "1:3", true},  {"walls", 9, "WALLS", true},    {"\"Walls\"", 9, "walls", true},
      {"\"A B\"", 9, "A B", true},  {"A B", 9, "A B", false},       {"A B", 9, "AB", true},
      {"v-*", 9, "V-FUEL", true},   {"v-*", 9, "X-FUEL", false},    {"d?or", 9, "DOOR", true},
      {"d?or", 9, "DOOOR", false},  {"1,,,\"Doors\"", 9, "doors", true},
      {"", 9, "Walls", false},      {"1.5", 1, "", false},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(b_levelCovered(levelMatcher_make(c.text), c.code, c.name), c.covered)
        << c.text << " / " << c.code << " " << c.name;
  }
}

TEST(LevelMatcher, ListFileReferenceReadsTheFilesFirstLine) {
  ScratchDir dir;
  const std::string file = dir.file("levels.lst");
  ASSERT_TRUE(writeFileAtomically(file, bytesOf("\"Walls\",4-6\r\n\"Roads\"\n"), nullptr) ==
              SUCCESS);
  const LevelMatcher m = levelMatcher_make("  @" + file + " ");
  EXPECT_TRUE(b_levelCovered(m, 1, "walls"));
  EXPECT_TRUE(b_levelCovered(m, 5, ""));
  EXPECT_FALSE(b_levelCovered(m, 2, "Roads"));  // second line
  EXPECT_FALSE(b_levelCovered(levelMatcher_make("@" + dir.file("none.lst")), 1, "walls"));
}

struct LevelPickerTest : ::testing::Test {
  ScratchDir dir;
  void SetUp() override { resetDesignState(); }
  void TearDown() override {
    resetDesignState();
    mdlSystem_undefineCfgVar("_USTN_OUT");
  }
};

// The rows: the active file's levels, its references' levels, and attached libraries' levels.
TEST_F(LevelPickerTest, RowsListTheFilesReferencesAndLibrariesLevelsOnce) {
  writeNamedDesign(dir.file("ref.dgn"), {{3, "Roads"}, {4, "Walls"}});
  writeNamedDesign(dir.file("lib.dgn"), {{7, "V-FUEL"}});
  test::DesignBuilder master;
  master.add(test::reference("ref.dgn", "r"));
  writeNamedDesign(dir.file("master.dgn"), {{4, "Walls"}, {12, "Doors"}}, master);
  ASSERT_EQ(mdlSystem_newDesignFile(dir.file("master.dgn")), SUCCESS);
  const ModelRef active = mdlModelRef_getActive();

  LevelLibraries libs;
  std::string message;
  ASSERT_EQ(picker_attachLevelLibrary(&libs, dir.file("lib.dgn"), &message), SUCCESS) << message;

  std::vector<LevelRow> rows = levelPickerRows(active, {false, false, true}, {});
  ASSERT_EQ(rows.size(), 63u);  // levels 1-63 of the active file
  EXPECT_EQ(rows[3], (LevelRow{"Walls", 4, "", ""}));
  EXPECT_EQ(rows[11], (LevelRow{"Doors", 12, "", ""}));
  EXPECT_EQ(rows[0], (LevelRow{"", 1, "", ""}));
  EXPECT_EQ(pc_levelCodeText(rows[11].code), "012");

  rows = levelPickerRows(active, {false, true, true}, libs);
  // Walls on 4 is the same row in both files; Roads on 3 and the unnamed 12 of the reference
  // are rows of their own; the library's one named level comes last.
  ASSERT_EQ(rows.size(), 63u + 2u + 1u);
  EXPECT_EQ(rows[63], (LevelRow{"Roads", 3, "", ""}));
  EXPECT_EQ(rows[64], (LevelRow{"", 12, "", ""}));
  EXPECT_EQ(rows[65], (LevelRow{"V-FUEL", 7, "", "lib.dgn"}));

  rows = levelPickerRows(active, {false, true, false}, {});
  EXPECT_EQ(rows.size(), 63u);
  EXPECT_EQ(rows[2].name, "Roads");
}

TEST_F(LevelPickerTest, LevelLibrariesAttachOnceDetachAndRefuseOtherFiles) {
  writeNamedDesign(dir.file("lib.dgn"), {{2, "A"}, {9, "B"}});
  ASSERT_TRUE(writeFileAtomically(dir.file("notes.txt"), bytesOf("not a drawing"), nullptr) ==
              SUCCESS);
  LevelLibraries libs;
  std::string message;
  ASSERT_EQ(picker_attachLevelLibrary(&libs, dir.file("lib.dgn"), &message), SUCCESS);
  ASSERT_EQ(libs.attached.size(), 1u);
  EXPECT_EQ(libs.attached[0].levels,
            (std::vector<LevelRow>{{"A", 2, "", "lib.dgn"}, {"B", 9, "", "lib.dgn"}}));
  EXPECT_EQ(picker_attachLevelLibrary(&libs, dir.path() + "/./lib.dgn", &message), ERROR);
  EXPECT_EQ(message, "Level library \"lib.dgn\" already loaded.");
  EXPECT_EQ(picker_attachLevelLibrary(&libs, dir.file("notes.txt"), &message), ERROR);
  EXPECT_EQ(message, "ERROR: Not a valid design file !");
  EXPECT_EQ(picker_attachLevelLibrary(&libs, dir.file("none.dgn"), &message), ERROR);
  EXPECT_EQ(message, "ERROR: Not a valid design file !");
  EXPECT_EQ(libs.attached.size(), 1u);
  EXPECT_TRUE(designState().files.empty());  // the library's file is not kept open

  EXPECT_EQ(picker_detachLevelLibrary(&libs, dir.file("lib.dgn")), SUCCESS);
  EXPECT_TRUE(libs.attached.empty());
  EXPECT_EQ(picker_detachLevelLibrary(&libs, dir.file("lib.dgn")), ERROR);

  ASSERT_EQ(mdlSystem_defineCfgVar("MS_DGNLIBLIST", "/libs/"), SUCCESS);
  EXPECT_EQ(pc_levelLibraryStartFolder(), "/libs/");
  mdlSystem_undefineCfgVar("MS_DGNLIBLIST");
  ASSERT_EQ(mdlSystem_defineCfgVar("_USTN_SITE", "/site/"), SUCCESS);
  EXPECT_EQ(pc_levelLibraryStartFolder(), "/site/dgnlib/");
  mdlSystem_undefineCfgVar("_USTN_SITE");
}

TEST(LevelPickerRead, FieldTextPreselectsTheRowsItCovers) {
  const std::vector<LevelRow> rows =
      namedRows({{1, "Walls"}, {2, "V-FUEL"}, {3, "V-RAIL"}, {4, "Doors"}, {5, ""}});
  struct Case {
    const char* text;
    std::vector<bool> selected;
    std::vector<std::string> unshown;
  };
  const Case cases[] = {
      {"\"Walls\", v-*", {true, true, true, false, false}, {}},
      {"4-5", {false, false, false, true, true}, {}},
      {"walls, 9, roads*, 20:30", {true, false, false, false, false}, {"9", "20-30", "ROADS*"}},
      {"", {false, false, false, false, false}, {}},
  };
  for (const Case& c : cases) {
    const LevelPreselection pre = picker_readLevelText(rows, c.text);
    EXPECT_EQ(pre.selected, c.selected) << c.text;
    EXPECT_EQ(pre.unshown, c.unshown) << c.text;
  }
}

// OK: the chosen rows written back, alone or added to the field's text.
TEST(LevelPickerOk, ChosenRowsAreQuotedInListOrderAndAddedOnlyWhenNotCovered) {
  const std::vector<LevelRow> rows =
      namedRows({{1, "Walls"}, {2, "V-FUEL"}, {3, "V-RAIL"}, {4, "Doors"}, {5, ""}, {6, "a,b"}});
  struct Case {
    const char* field;
    std::vector<bool> chosen;
    bool add;
    const char* text;
  };
  const Case cases[] = {
      {"", {true, false, false, true, false, false}, false, "\"Walls\",\"Doors\""},
      {"9, x", {false, true, false, false, false, false}, false, "\"V-FUEL\""},
      {"", {false, false, false, false, true, true}, false, "5,6"},
      {"", {false, false, false, false, false, false}, false, ""},
      {"  9, v-*", {true, true, true, false, false, false}, true, "9, v-*,\"Walls\""},
      {"4", {false, false, false, true, true, false}, true, "4,5"},
      {"", {true, false, false, false, false, false}, true, "\"Walls\""},
  };
  for (const Case& c : cases) {
    const LevelPickerOk ok = picker_levelPickerOk(c.field, rows, c.chosen, c.add);
    EXPECT_TRUE(ok.fits) << c.field;
    EXPECT_EQ(ok.text, c.text) << c.field;
    // The written text admits the chosen levels, read by the value-list parser as a level list.
    for (size_t i = 0; i < rows.size(); ++i) {
      if (!c.chosen[i]) continue;
      EXPECT_TRUE(valueList_match(ok.text, VL_LEVEL_FLAGS, false, rows[i].code, &rows[i].name))
          << ok.text << " " << rows[i].code;
    }
  }
}

TEST_F(LevelPickerTest, AddingToAListFileStartsWithItsFirstLine) {
  const std::vector<LevelRow> rows = namedRows({{1, "Walls"}, {2, "Roads"}});
  const std::string file = dir.file("old.lst");
  ASSERT_TRUE(writeFileAtomically(file, bytesOf("\"Walls\",7\nignored\n"), nullptr) == SUCCESS);
  LevelPickerOk ok = picker_levelPickerOk(" @" + file, rows, {true, true}, true);
  EXPECT_EQ(ok.listFile, file);
  EXPECT_EQ(ok.text, "\"Walls\",7,\"Roads\"");
  // Without adding, the chosen rows replace the reference.
  ok = picker_levelPickerOk("@" + file, rows, {false, true}, false);
  EXPECT_EQ(ok.text, "\"Roads\"");
  // A first line longer than 4090 characters counts as empty.
  std::string longLine(4091, 'x');
  ASSERT_TRUE(writeFileAtomically(file, bytesOf(longLine), nullptr) == SUCCESS);
  ok = picker_levelPickerOk("@" + file, rows, {false, true}, true);
  EXPECT_EQ(ok.text, "\"Roads\"");
  longLine.pop_back();
  ASSERT_TRUE(writeFileAtomically(file, bytesOf(longLine), nullptr) == SUCCESS);
  ok = picker_levelPickerOk("@" + file, rows, {false, true}, true);
  EXPECT_EQ(ok.text, longLine + ",\"Roads\"");
}

// 255 characters fit; one more leads to the question, and saving puts the whole list into a
// file that the field then names, which the value-list parser reads as the same levels.
TEST_F(LevelPickerTest, LongListOverflowsIntoALevelListFileTheParserReadsBack) {
  // 20 names of 10 characters: each item "NAME-xxxxx" quoted is 12, joined by commas.
  std::vector<LevelRow> rows;
  for (int i = 0; i < 21; ++i) rows.push_back({"LEVEL-" + std::to_string(1000 + i), i + 1, "", ""});
  std::vector<bool> chosen(rows.size(), true);
  chosen[20] = false;
  LevelPickerOk ok = picker_levelPickerOk("", rows, chosen, false);
  ASSERT_EQ(ok.text.size(), 20u * 12u + 19u);  // 259
  EXPECT_FALSE(ok.fits);

  // A text of exactly 255 characters still fits.
  rows[0].name = "LEVEL-";
  ok = picker_levelPickerOk("", rows, chosen, false);
  EXPECT_EQ(ok.text.size(), 255u);
  EXPECT_TRUE(ok.fits);
  EXPECT_TRUE(ok.question.empty());
  rows[0].name = "LEVEL-1";
  ASSERT_EQ(mdlSystem_defineCfgVar("_USTN_OUT", dir.path()), SUCCESS);
  ok = picker_levelPickerOk("", rows, chosen, false);
  EXPECT_EQ(ok.text.size(), 256u);
  EXPECT_FALSE(ok.fits);
  // The question's and the dialog's own texts are each list kind's, checked in list_file_test.
  EXPECT_EQ(ok.question, pc_listTooLongQuestion(ListKind::Levels, LEVEL_LIST_LIMIT));
  EXPECT_EQ(ok.dialog.startFolder, dir.path());

  const std::string file = dir.file("MyLevels.lst");
  std::string field = "unchanged", message;
  ASSERT_EQ(picker_saveListFile(&field, &message, ok.text, file, LEVEL_LIST_LIMIT), SUCCESS)
      << message;
  EXPECT_EQ(field, "@" + file);
  EXPECT_EQ(test::readText(file), ok.text);  // one line, no line break
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(valueList_match(field, VL_LEVEL_FLAGS, false, 100, &rows[i].name),
              static_cast<bool>(chosen[i]))
        << rows[i].name;
  }
  EXPECT_EQ(valueList_validate(field, VL_LEVEL_FLAGS, 0, 63), SUCCESS) << valueList_lastError();

  // Opening the picker on the reference preselects the levels the file holds; adding one more
  // starts from the file's line and proposes that file again.
  EXPECT_EQ(picker_readLevelText(rows, field).selected, chosen);
  chosen.assign(rows.size(), false);
  chosen[20] = true;
  ok = picker_levelPickerOk(field, rows, chosen, true);
  EXPECT_FALSE(ok.fits);
  EXPECT_EQ(ok.dialog.proposed, file);
  EXPECT_EQ(ok.text, test::readText(file) + ",\"LEVEL-1020\"");
}

TEST_F(LevelPickerTest, ListFileThatCannotBeWrittenLeavesTheFieldAsItWas) {
  // A name too long for the field is refused the same way for every list: list_file_test.
  std::string field = "\"Walls\"", message;
  const std::string missingFolder = dir.file("no/such/levels.lst");
  EXPECT_EQ(picker_saveListFile(&field, &message, "\"A\"", missingFolder, LEVEL_LIST_LIMIT), ERROR);
  EXPECT_EQ(message, "Unable to open output file \"" + missingFolder + "\" for writing.");

  const std::string readOnly = dir.file("ro.lst");
  ASSERT_TRUE(writeFileAtomically(readOnly, bytesOf("1"), nullptr) == SUCCESS);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  EXPECT_EQ(picker_saveListFile(&field, &message, "\"A\"", readOnly, LEVEL_LIST_LIMIT), ERROR);
  EXPECT_EQ(test::readText(readOnly), "1");
  EXPECT_EQ(field, "\"Walls\"");
}

}  // namespace
}  // namespace kelvara
