#include "settings/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/config.h"
#include "host/design.h"
#include "host/files.h"
#include "host/state.h"
#include "settings/run_settings.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

// Every line of a freshly reset settings file with no active design file and no "windir",
// except DATE_CREATED (second line), whose value is the time of writing.
const char* const kFactoryLines[] = {
    "kelvara=6",
    "DATE_CREATED=",
    "FILE_MODE=0",
    "BATCH_FILE=",
    "INTERACTIVE=1",
    "REPORT_ONLY=0",
    "AUTOSAVE_SETTTINGS=0",
    "BACKUP=1",
    "INC_REF_FILES=3",
    "FILEPOS_IN_REPORT=0",
    "REMOVE_ALL_DUP=1",
    "REMOVE_SEL_DUP=0",
    "REMOVE_ALL_SEL=0",
    "CRITERIA_NAME_=",
    "CRITERIA_DESCRPT_=",
    "IGNORE_USE_LEVEL=0",
    "IGNORE_USE_COLOR=0",
    "IGNORE_USE_WEIGHT=0",
    "IGNORE_USE_STYLE=0",
    "KEEP_WIDER_ELEMENT=0",
    "KEEP_SOLID_LINESTYLE_ELEMENT=0",
    "REMOVE_USE_LEVEL=0",
    "REMOVE_USE_COLOR=0",
    "REMOVE_USE_WEIGHT=0",
    "REMOVE_USE_STYLE=0",
    "REMOVE_LEVEL=",
    "REMOVE_COLOR=",
    "REMOVE_WEIGHT=",
    "REMOVE_STYLE=",
    "COMPARED_USE_LEVEL=0",
    "COMPARED_USE_COLOR=0",
    "COMPARED_USE_WEIGHT=0",
    "COMPARED_USE_STYLE=0",
    "COMPARED_LEVEL=",
    "COMPARED_COLOR=",
    "COMPARED_WEIGHT=",
    "COMPARED_STYLE=",
    "OVERLAP=0",
    "TOLERANCE=1.0",
    "ALLOW_ROTATION=0",
    "ROT_TOLERANCE=1.0",
    "ALLOW_REVERSED=0",
    "ALLOW_UNDERLAP=0",
    "REPORT_SYM_SINGLE_USE_LEVEL=1",
    "REPORT_SYM_SINGLE_LEVEL_VALUE=Kelvara Non-Duplicate",
    "REPORT_SYM_SINGLE_USE_COLOR=1",
    "REPORT_SYM_SINGLE_COLOR_VALUE=0",
    "REPORT_SYM_SINGLE_USE_WEIGHT=1",
    "REPORT_SYM_SINGLE_WEIGHT_VALUE=0",
    "REPORT_SYM_SINGLE_USE_STYLE=0",
    "REPORT_SYM_SINGLE_STYLE_VALUE=0",
    "REPORT_SYM_DUPLICATE_USE_LEVEL=1",
    "REPORT_SYM_DUPLICATE_LEVEL_VALUE=Kelvara Duplicate",
    "REPORT_SYM_DUPLICATE_USE_COLOR=1",
    "REPORT_SYM_DUPLICATE_COLOR_VALUE=2",
    "REPORT_SYM_DUPLICATE_USE_WEIGHT=1",
    "REPORT_SYM_DUPLICATE_WEIGHT_VALUE=3",
    "REPORT_SYM_DUPLICATE_USE_STYLE=0",
    "REPORT_SYM_DUPLICATE_STYLE_VALUE=0",
    "REPORT_SYM_MATCHED_USE_LEVEL=1",
    "REPORT_SYM_MATCHED_LEVEL_VALUE=Kelvara Selected",
    "REPORT_SYM_MATCHED_USE_COLOR=1",
    "REPORT_SYM_MATCHED_COLOR_VALUE=4",
    "REPORT_SYM_MATCHED_USE_WEIGHT=1",
    "REPORT_SYM_MATCHED_WEIGHT_VALUE=2",
    "REPORT_SYM_MATCHED_USE_STYLE=0",
    "REPORT_SYM_MATCHED_STYLE_VALUE=0",
    "TEXT_REPORT_MESSAGE=kelvara.trf",
    "TEXT_REPORT__=1",
    "TEXT_EXTENSION=trf",
    "USE_WORD_WRAP_TEXT_REPORT=0",
    "WORP_WRAP_POS_TEXT_REPORT=80",
    "ONE_TEXT_REPORT=1",
    "TEXT_REPORT_FILE_NAME=kelvara.trf",
    "ONE_TEXT_EACH_REPORT=0",
    "TEXT_APPEND_EXT=0",
    "SAME_DIR_TEXT_REPORT=0",
    "DIFF_DIR_TEXT_REPORT=0",
    "TEXT_REPORT_DIR_NAME=",
    "TEXT_REPORT_EDITOR_NAME=c:\\windows\\notepad.exe",
    "DESIGN_REPORT__=1",
    "DESIGN_EXTENSION=drf",
    "DESIGN_APPEND_EXT=0",
    "SAME_DIR_DESIGN_REPORT=1",
    "DIFF_DIR_DESIGN_REPORT=0",
    "DESIGN_REPORT_DIR_NAME=",
    "FENCE=0",
    "MODEL_TYPES=0",
    "MODEL_NAMES_FILTER=",
};

using test::readText;

std::vector<std::string> splitLines(const std::string& text) {
  return test::split(text, '\n');
}

std::vector<std::string> withoutDate(const std::string& text) {
  std::vector<std::string> lines = splitLines(text);
  if (lines.size() > 1) lines.erase(lines.begin() + 1);
  return lines;
}

// A fresh record and file state, no active design file, no "windir", and a private folder.
class SettingsFileTest : public ::testing::Test {
 protected:
  RunSettings s;
  SettingsFile file;
  test::ScratchDir scratch;
  const fs::path dir = scratch.path();

  void SetUp() override {
    resetHostState();
    resetDesignState();
    if (std::getenv("windir") != nullptr) GTEST_SKIP() << "windir is set in the environment";
    file.defaultFileName = (dir / "cfg" / "kelvara.ini").string();
    settings_resetToFactory(s, true);
  }
  void TearDown() override { resetHostState(); }
  std::string write(const std::string& name, const std::string& content) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }
  RunSettings loaded(const std::string& text) {
    RunSettings r;
    settings_resetToFactory(r, true);
    settings_readText(r, file, text, KeyWalkMode::Read);
    return r;
  }
  // A key's value as the record would write it.
  std::string valueOf(RunSettings r, const std::string& key) {
    for (const std::string& line : splitLines(settings_fileText(r, file)))
      if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return "?";
  }
};

// ---- Writing -------------------------------------------------------------------------------

TEST_F(SettingsFileTest, FreshRecordWritesEightyNineLinesInOrder) {
  const std::vector<std::string> lines = splitLines(settings_fileText(s, file));
  ASSERT_EQ(lines.size(), std::size(kFactoryLines));
  EXPECT_EQ(lines[1].rfind("DATE_CREATED=", 0), 0u);
  EXPECT_GT(lines[1].size(), std::string("DATE_CREATED=").size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 1) continue;
    EXPECT_EQ(lines[i], kFactoryLines[i]) << "line " << i + 1;
  }
  std::string line;
  EXPECT_EQ(settings_keyWalk(s, file, &line, KeyWalkMode::Write, 89), ERROR);
  EXPECT_EQ(settings_keyWalk(s, file, &line, KeyWalkMode::Write, -1), ERROR);
}

TEST_F(SettingsFileTest, EveryStoredValueSurvivesSaveAndLoadEvenAtFullCapacity) {
  s.FILE_MODE = 1;
  s.BATCH_FILE.assign("/data/list.lst");
  s.rules[RULE_IGNORE].useStyle = 1;
  s.rules[RULE_REMOVE].level.assign(std::string(511, 'L'));
  s.rules[RULE_COMPARED].color.assign("bylevel, 0:3");
  s.rules[RULE_COMPARED].style.assign(" \"Dashed\" ");
  s.TOLERANCE.assign("0.500");
  s.WORP_WRAP_POS_TEXT_REPORT = -7;
  s.reportSymbology[REPORT_DUPLICATE].levelValue.assign(std::string(512, 'D'));
  s.reportSymbology[REPORT_MATCHED].styleValue = 6;
  s.MODEL_NAMES_FILTER.assign(std::string(511, 'm'));
  s.FENCE = 1;
  s.TEXT_REPORT_EDITOR_NAME.assign("/usr/bin/less");
  s.reportSymbology[REPORT_FOURTH].colorValue = 99;  // never stored

  file.fileName = (dir / "mine.ini").string();
  ASSERT_EQ(settings_save(s, file), SUCCESS);
  const std::string written = settings_fileText(s, file);

  RunSettings back;
  ASSERT_EQ(settings_load(back, file, true, KeyWalkMode::Read), SUCCESS);
  EXPECT_EQ(back.rules[RULE_REMOVE].level.view(), std::string(511, 'L'));
  EXPECT_EQ(back.reportSymbology[REPORT_DUPLICATE].levelValue.view(), std::string(512, 'D'));
  EXPECT_EQ(back.MODEL_NAMES_FILTER.view(), std::string(511, 'm'));
  EXPECT_EQ(back.rules[RULE_COMPARED].style.view(), " \"Dashed\" ");
  EXPECT_EQ(back.reportSymbology[REPORT_FOURTH].colorValue, 3);  // factory value
  // Same lines apart from the date.
  EXPECT_EQ(withoutDate(written), withoutDate(settings_fileText(back, file)));
  EXPECT_FALSE(settings_changed(back, file));
}

// ---- Reading rules -------------------------------------------------------------------------

TEST_F(SettingsFileTest, ReadingRules) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::pair<const char*, std::string>> values;  // keys as then written
  };
  const Case cases[] = {
      {"blank before the equals sign is not the key", "FENCE =1\n", {{"FENCE", "0"}}},
      {"int value stops at the first non-digit", "FENCE=1 and some text\n", {{"FENCE", "1"}}},
      {"int value with blanks and sign",
       "WORP_WRAP_POS_TEXT_REPORT=  -42x\n",
       {{"WORP_WRAP_POS_TEXT_REPORT", "-42"}}},
      {"int value without digits is 0", "INC_REF_FILES=abc\n", {{"INC_REF_FILES", "0"}}},
      {"int value beyond 32 bits saturates",
       "MODEL_TYPES=99999999999\n",
       {{"MODEL_TYPES", "2147483647"}}},
      {"empty text value empties the field", "REMOVE_LEVEL=\n", {{"REMOVE_LEVEL", ""}}},
      {"text keeps leading and trailing blanks",
       "BATCH_FILE=  a b  \n",
       {{"BATCH_FILE", "  a b  "}}},
      {"last line without a line break", "OVERLAP=1\nTOLERANCE=2.50", {{"TOLERANCE", "2.50"}}},
      {"CR LF line breaks",
       "TOLERANCE=1.5\r\nBACKUP=0\r\n",
       {{"TOLERANCE", "1.5"}, {"BACKUP", "0"}}},
      {"keys are case-sensitive", "fence=1\nFence=1\n", {{"FENCE", "0"}}},
      {"the last of repeated keys wins",
       "FENCE=1\nFENCE=0\nMODEL_TYPES=3\nMODEL_TYPES=5\n",
       {{"FENCE", "0"}, {"MODEL_TYPES", "5"}}},
      {"version and date are consumed without effect",
       "kelvara=99\nDATE_CREATED=FENCE=1\n",
       {{"FENCE", "0"}}},
      {"text longer than its field is cut",
       "TEXT_EXTENSION=abcdefghij\n",
       {{"TEXT_EXTENSION", "abcdefg"}}},
      {"an equals sign inside a value stays", "BATCH_FILE=a=b\n", {{"BATCH_FILE", "a=b"}}},
      {"blank, unknown and malformed lines are ignored",
       "\n\n[section]\nFENCE\n=1\nUNKNOWN=1\n#FENCE=1\nOVERLAP=1\n",
       {{"FENCE", "0"}, {"OVERLAP", "1"}}},
      {"misspelt keys are the real ones",
       "AUTOSAVE_SETTTINGS=1\nAUTOSAVE_SETTINGS=0\n",
       {{"AUTOSAVE_SETTTINGS", "1"}}},
      {"a piece of an over-long line is read as a line of its own",
       "MODEL_NAMES_FILTER=" + std::string(SETTINGS_LINE_PIECE - 19, 'x') + "FENCE=1\n",
       {{"MODEL_NAMES_FILTER", std::string(511, 'x')}, {"FENCE", "1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunSettings r = loaded(c.text);
    for (const auto& [key, value] : c.values) EXPECT_EQ(valueOf(r, key), value) << key;
  }
}

TEST_F(SettingsFileTest, MissingKeyKeepsFactoryValueAndIsNeverChanged) {
  s.MODEL_NAMES_FILTER.assign("old*");
  file.fileName = write("partial.ini", "FENCE=1\nTOLERANCE=2.0\n");
  ASSERT_EQ(settings_load(s, file, true, KeyWalkMode::Read), SUCCESS);
  EXPECT_EQ(s.MODEL_NAMES_FILTER.view(), "");
  EXPECT_EQ(s.INC_REF_FILES, 3);
  EXPECT_EQ(s.FENCE, 1);
  s.MODEL_NAMES_FILTER.assign("walls*");
  s.INC_REF_FILES = 0;
  EXPECT_FALSE(settings_changed(s, file));
  EXPECT_EQ(s.MODEL_NAMES_FILTER.view(), "walls*");  // the record is left as it was
}

// ---- Compare -------------------------------------------------------------------------------

TEST_F(SettingsFileTest, CompareFlagsComparedKeysOnly) {
  file.fileName = (dir / "cmp.ini").string();
  ASSERT_EQ(settings_save(s, file), SUCCESS);
  struct Case {
    const char* name;
    std::function<void(RunSettings&)> edit;
    bool changed;
  };
  const Case cases[] = {
      {"nothing", [](RunSettings&) {}, false},
      {"report folders, report message and an unstored field",
       [](RunSettings& r) {
         r.TEXT_REPORT_DIR_NAME.assign("/x/");
         r.DESIGN_REPORT_DIR_NAME.assign("/y/");
         r.TEXT_REPORT_MESSAGE.assign("elsewhere");
         r.deleteMode = 3;
       },
       false},
      {"tolerance with one more zero", [](RunSettings& r) { r.TOLERANCE.assign("1.00"); }, true},
      {"fence", [](RunSettings& r) { r.FENCE = 1; }, true},
      {"remove level list", [](RunSettings& r) { r.rules[RULE_REMOVE].level.assign("1"); }, true},
      {"ignore group flag", [](RunSettings& r) { r.rules[RULE_IGNORE].useColor = 1; }, true},
      {"ignore group list (not stored)",
       [](RunSettings& r) { r.rules[RULE_IGNORE].color.assign("5"); }, false},
      {"report symbology", [](RunSettings& r) { r.reportSymbology[REPORT_SINGLE].colorValue = 9; },
       true},
      {"editor", [](RunSettings& r) { r.TEXT_REPORT_EDITOR_NAME.assign("vi"); }, true},
  };
  for (const Case& c : cases) {
    RunSettings edited = s;
    c.edit(edited);
    RunSettings before = edited;
    EXPECT_EQ(settings_changed(edited, file), c.changed) << c.name;
    EXPECT_EQ(file.changed, c.changed) << c.name;
    // The record is left exactly as it was.
    EXPECT_EQ(withoutDate(settings_fileText(edited, file)),
              withoutDate(settings_fileText(before, file)))
        << c.name;
    EXPECT_EQ(edited.deleteMode, before.deleteMode) << c.name;
    EXPECT_EQ(edited.rules[RULE_IGNORE].color, before.rules[RULE_IGNORE].color) << c.name;
  }
}

TEST_F(SettingsFileTest, CompareCutsFileValuesAsLoadingWould) {
  file.fileName = write("long.ini", "TEXT_EXTENSION=trfxxxxxxxx\n");
  RunSettings r;
  ASSERT_EQ(settings_load(r, file, true, KeyWalkMode::Read), SUCCESS);
  EXPECT_EQ(r.TEXT_EXTENSION.view(), "trfxxxx");
  EXPECT_FALSE(settings_changed(r, file));
}

// ---- Load fallbacks and save ---------------------------------------------------------------
// The first start creating the default file and the second reading it: the end-to-end command
// line tests; Save As and the menu's label: the browser's settings menu story.

// Another run that makes the default file between this run's look and its write: the file it
// made is kept. The other run is played by the host's temporary-file call, which writes the
// user's file just before this run's temporary file is made.
std::string racingSettingsFile;
int mkstempAfterAnotherRunSaved(char* pattern) {
  std::ofstream(racingSettingsFile) << "FENCE=1\n";
  return systemFileSystem().mkstemp(pattern);
}

TEST_F(SettingsFileTest, FirstStartNeverOverwritesADefaultFileAnotherRunJustMade) {
  racingSettingsFile = file.defaultFileName;
  FileSystem racing = systemFileSystem();
  racing.mkstemp = &mkstempAfterAnotherRunSaved;
  setFileSystem(racing);
  EXPECT_EQ(settings_startupLoad(s, file), ERROR);
  setFileSystem(systemFileSystem());
  EXPECT_EQ(readText(file.defaultFileName), "FENCE=1\n");
  for (const auto& entry : fs::directory_iterator(fs::path(file.defaultFileName).parent_path()))
    EXPECT_EQ(entry.path().filename(), "kelvara.ini");  // nothing temporary is left
}

TEST_F(SettingsFileTest, MissingNamedFileNeverOverwritesAnExistingDefaultFile) {
  fs::create_directories(fs::path(file.defaultFileName).parent_path());
  std::ofstream(file.defaultFileName) << "FENCE=1\n";
  file.fileName = (dir / "gone.ini").string();
  EXPECT_EQ(settings_load(s, file, false, KeyWalkMode::Read), ERROR);
  EXPECT_EQ(file.fileName, file.defaultFileName);
  EXPECT_EQ(readText(file.defaultFileName), "FENCE=1\n");
  // The compare pass with an unreadable file answers "not changed" and writes nothing.
  file.fileName = (dir / "gone.ini").string();
  s.FENCE = 1;
  EXPECT_FALSE(settings_changed(s, file));
  EXPECT_EQ(readText(file.defaultFileName), "FENCE=1\n");
}

TEST_F(SettingsFileTest, ReadOnlyFileIsNeverReplacedAndTheUserIsAskedForAnother) {
  const std::string locked = write("locked.ini", "FENCE=1\n");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  file.fileName = locked;
  std::vector<std::string> asked;
  const std::string other = (dir / "other.ini").string();
  file.chooseSaveAs = [&](const std::string& start) -> std::optional<std::string> {
    asked.push_back(start);
    if (asked.size() == 1) return other;
    return std::nullopt;
  };
  EXPECT_EQ(settings_save(s, file), SUCCESS);
  EXPECT_EQ(readText(locked), "FENCE=1\n");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], locked);
  EXPECT_EQ(file.fileName, other);
  EXPECT_EQ(splitLines(readText(other)).size(), 89u);

  // Cancelled: nothing written, ERROR.
  file.fileName = locked;
  EXPECT_EQ(settings_save(s, file), ERROR);
  EXPECT_EQ(readText(locked), "FENCE=1\n");
  // Without a chooser (unattended) it simply fails.
  file.chooseSaveAs = nullptr;
  EXPECT_EQ(settings_save(s, file), ERROR);
}

TEST_F(SettingsFileTest, FactoryDefaultsKeepTheFileMode) {
  s.FILE_MODE = 1;
  s.FENCE = 1;
  settings_factoryDefaults(s);
  EXPECT_EQ(s.FILE_MODE, 1);
  EXPECT_EQ(s.FENCE, 0);
}

TEST_F(SettingsFileTest, FailedSaveLeavesNoFileBehind) {
  file.fileName = (dir / "no-such-folder" / "x.ini").string();
  EXPECT_EQ(settings_save(s, file), ERROR);
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
}

}  // namespace
}  // namespace kelvara
