#include "settings/run_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/config.h"
#include "host/design.h"
#include "host/state.h"
#include "lists/paths.h"
#include "settings/abbreviate.h"
#include "settings/date_text.h"
#include "support/dgn_builder.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class ResetTest : public ::testing::Test {
 protected:
  test::ScratchDir scratch;
  const fs::path dir = scratch.path();
  void SetUp() override {
    resetHostState();
    resetDesignState();
    if (std::getenv("windir") != nullptr) GTEST_SKIP() << "windir is set in the environment";
    fs::create_directories(dir / "Sub");
  }
  void TearDown() override {
    resetDesignState();
    resetHostState();
  }
  void activate(const fs::path& path) {
    ASSERT_TRUE(test::DesignBuilder{}.write(path.string()));
    ASSERT_EQ(mdlSystem_newDesignFile(path.string()), SUCCESS);
  }
};

TEST_F(ResetTest, FactoryValuesAndWhatAResetKeeps) {
  RunSettings s;
  settings_resetToFactory(s, true);
  // Stored keys' factory values: SettingsFileTest.FreshRecordWritesEightyNineLinesInOrder.
  EXPECT_EQ(s.mainChoice[0], 1);
  EXPECT_EQ(s.mainChoice[1], 0);
  EXPECT_EQ(s.modelSaveMissingSide, 1);
  EXPECT_EQ(s.modelRowDisplay[4], 12);
  EXPECT_EQ(s.attributeOptions[1], 2);
  EXPECT_EQ(s.reportSymbology[REPORT_FOURTH].colorValue, 3);
  EXPECT_EQ(s.reportSymbology[REPORT_FOURTH].levelValue.view(), "");

  // Set everything a reset must touch or keep.
  s.FILE_MODE = 1;
  s.BATCH_FILE.assign("/lists/a.lst");
  s.activeFileName.assign("/old/active.dgn");
  s.TEXT_REPORT_EDITOR_NAME.assign("/usr/bin/less");
  s.CRITERIA_NAME_.assign("/sel/a.sel");
  s.TEXT_REPORT_DIR_NAME.assign("/reports/");
  s.DESIGN_REPORT_DIR_NAME.assign("/reports/");
  s.deleteMode = 2;
  s.TOLERANCE.assign("0.5");

  RunSettings fromCommand = s;
  settings_resetToFactory(fromCommand, false);
  EXPECT_EQ(fromCommand.FILE_MODE, 1);
  EXPECT_EQ(fromCommand.BATCH_FILE.view(), "/lists/a.lst");
  EXPECT_EQ(fromCommand.activeFileName.view(), "/old/active.dgn");
  EXPECT_EQ(fromCommand.TEXT_REPORT_EDITOR_NAME.view(), "/usr/bin/less");
  EXPECT_EQ(fromCommand.CRITERIA_NAME_.view(), "");
  EXPECT_EQ(fromCommand.TEXT_REPORT_DIR_NAME.view(), "");
  EXPECT_EQ(fromCommand.DESIGN_REPORT_DIR_NAME.view(), "");
  EXPECT_EQ(fromCommand.deleteMode, 0);
  EXPECT_EQ(fromCommand.TOLERANCE.view(), "1.0");

  activate(dir / "Sub" / "Plan.DGN");
  RunSettings fromHost = s;
  settings_resetToFactory(fromHost, true);
  EXPECT_EQ(fromHost.FILE_MODE, 0);
  EXPECT_EQ(fromHost.BATCH_FILE.view(), "");
  EXPECT_EQ(fromHost.TEXT_REPORT_EDITOR_NAME.view(), "/usr/bin/less");
  std::string lower = (dir / "sub" / "plan.dgn").string();
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_EQ(fromHost.activeFileName.view(), lower);
}

TEST_F(ResetTest, DefaultTextReportNameFollowsTheActiveFile) {
  RunSettings s;
  settings_resetToFactory(s, true);
  EXPECT_EQ(s.TEXT_REPORT_FILE_NAME.view(), "kelvara.trf");
  activate(dir / "a.dgn");
  settings_resetToFactory(s, true);
  EXPECT_EQ(s.TEXT_REPORT_FILE_NAME.view(), (dir / "kelvara.trf").string());
  activate(dir / "Sub" / "b.dgn");
  settings_resetToFactory(s, false);
  EXPECT_EQ(s.TEXT_REPORT_FILE_NAME.view(), (dir / "Sub" / "kelvara.trf").string());
  EXPECT_EQ(activeFileDirectory(), (dir / "Sub").string() + "/");
  EXPECT_EQ(defaultTextReportName("log"), (dir / "Sub" / "kelvara.log").string());
}

TEST_F(ResetTest, EditorFollowsWindirWhenDefined) {
  ASSERT_EQ(mdlSystem_defineCfgVar("windir", "/opt/win"), SUCCESS);
  RunSettings s;
  settings_resetToFactory(s, true);
  EXPECT_EQ(s.TEXT_REPORT_EDITOR_NAME.view(), "/opt/win/notepad.exe");
}

TEST(FixedText, LongerTextsAreCutToTheCapacity) {
  FixedText<8> ext;
  ext.assign("x\xC3\xA9yzuvw");  // a two-byte character must not be split at the end
  EXPECT_EQ(ext.view(), "x\xC3\xA9yzuv");
  ext.assign("abcdef\xC3\xA9");
  EXPECT_EQ(ext.view(), "abcdef");
}

TEST(ReportMessage, DescribesWhereReportsGo) {
  struct Case {
    const char* name;
    int text, sameText, diffText, design, sameDesign, diffDesign;
    const char* expected;
  };
  const Case cases[] = {
      {"one text report", 1, 0, 0, 1, 1, 0, "/r/kelvara.trf"},
      {"text beside design files", 1, 1, 0, 1, 1, 0,
       "Text reports will be generated in directories with corresponding design files."},
      {"text in a folder", 1, 0, 1, 0, 0, 0, "Directory for text reports: /t/."},
      {"design beside design files", 0, 0, 0, 1, 1, 0,
       "<Design report files placed in same directory as design files.>"},
      {"design in a folder", 0, 0, 0, 1, 0, 1, "<Design report files placed in /d/.>"},
      {"no report", 0, 0, 0, 0, 0, 0, "<No report mode specified.>"},
  };
  for (const Case& c : cases) {
    RunSettings s;
    s.TEXT_REPORT__ = c.text;
    s.SAME_DIR_TEXT_REPORT = c.sameText;
    s.DIFF_DIR_TEXT_REPORT = c.diffText;
    s.DESIGN_REPORT__ = c.design;
    s.SAME_DIR_DESIGN_REPORT = c.sameDesign;
    s.DIFF_DIR_DESIGN_REPORT = c.diffDesign;
    s.TEXT_REPORT_FILE_NAME.assign("/r/kelvara.trf");
    s.TEXT_REPORT_DIR_NAME.assign("/t/");
    s.DESIGN_REPORT_DIR_NAME.assign("/d/");
    settings_rebuildReportMessage(s);
    EXPECT_EQ(s.TEXT_REPORT_MESSAGE.view(), c.expected) << c.name;
  }
  RunSettings s;
  s.TEXT_REPORT__ = 1;
  s.TEXT_REPORT_FILE_NAME.assign("/home/someone/projects/2026/road-works/reports/kelvara.trf");
  EXPECT_EQ(reportMessageText(s), "/home/.../projects/2026/road-works/reports/kelvara.trf");
}

TEST(Abbreviate, MiddleFoldersGiveWayFirst) {
  struct Case {
    const char* path;
    size_t max;
    const char* expected;
  };
  const Case cases[] = {
      {"/a/b/c.trf", 56, "/a/b/c.trf"},
      {"/home/user/very/long/folder/file.trf", 24, "/home/.../file.trf"},
      {"/home/user/very/long/folder/file.trf", 28, "/home/.../folder/file.trf"},
      {"/home/x/averyveryverylongfilename.trf", 20, "...ylongfilename.trf"},
      {"relative/dir/sub/name.trf", 20, ".../dir/sub/name.trf"},
  };
  for (const Case& c : cases) {
    const std::string got = abbreviateFileName(c.path, c.max);
    EXPECT_LE(got.size(), c.max) << c.path;
    EXPECT_EQ(got, c.expected) << c.path;
  }
}

TEST(DateText, TwelveHourClockWithEnglishNames) {
  struct Case {
    int wday, mday, mon, year, hour, min;
    const char* expected;
  };
  const Case cases[] = {
      {0, 6, 11, 2026, 22, 19, "Sunday, 6 December 2026 at 10:19 pm"},
      {1, 7, 11, 2026, 0, 5, "Monday, 7 December 2026 at 12:05 am"},
      {2, 8, 0, 2027, 12, 0, "Tuesday, 8 January 2027 at 12:00 pm"},
      {3, 9, 5, 2027, 13, 7, "Wednesday, 9 June 2027 at 1:07 pm"},
      {6, 31, 6, 2027, 11, 59, "Saturday, 31 July 2027 at 11:59 am"},
      {4, 1, 8, 2027, 1, 0, "Thursday, 1 September 2027 at 1:00 am"},
  };
  for (const Case& c : cases) {
    std::tm t{};
    t.tm_wday = c.wday, t.tm_mday = c.mday, t.tm_mon = c.mon, t.tm_year = c.year - 1900;
    t.tm_hour = c.hour, t.tm_min = c.min;
    EXPECT_EQ(formatDateText(t), c.expected);
  }
}

// ---- Folders -------------------------------------------------------------------------------

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override { resetHostState(); }
  void TearDown() override {
    resetHostState();
    setProgramDirectory("");
  }
};

TEST_F(PathsTest, SettingsFolderUnderAppDataWithTheHostVersionTag) {
  ASSERT_EQ(mdlSystem_defineCfgVar("APPDATA", "/cfg"), SUCCESS);
  struct Case {
    const char* programDir;
    const char* folder;
  };
  const Case cases[] = {
      {"/opt/kelvara/bin", "/cfg/Tarvo/kelvara/"},
      {"/opt/Bentley/V8i/bin", "/cfg/Tarvo/V8/kelvara/"},
      {"/opt/ustn-v7/", "/cfg/Tarvo/V7/kelvara/"},
      {"/opt/ustn-V10/", "/cfg/Tarvo/V10/kelvara/"},
      {"/opt/v10-and-v8/", "/cfg/Tarvo/V8/kelvara/"},  // v7, then v8, then v10
  };
  for (const Case& c : cases) EXPECT_EQ(settingsFolder(c.programDir), c.folder) << c.programDir;

  setProgramDirectory("/opt/kelvara/bin");
  EXPECT_EQ(defaultSettingsFileName(), "/cfg/Tarvo/kelvara/kelvara.ini");
  EXPECT_EQ(traceLogFileName(), "/cfg/Tarvo/kelvara/diff_log.txt");
  SettingsFile file;
  file.fileFixed = true;
  initSettingsFileNames(file);
  EXPECT_EQ(file.fileName, "/cfg/Tarvo/kelvara/kelvara.ini");
  EXPECT_EQ(file.defaultFileName, file.fileName);
  EXPECT_FALSE(file.fileFixed);

  ASSERT_EQ(mdlSystem_defineCfgVar("APPDATA", "/cfg/"), SUCCESS);  // no doubled separator
  EXPECT_EQ(settingsFolder("/x"), "/cfg/Tarvo/kelvara/");
}

TEST_F(PathsTest, TemporaryFolderIsTheFirstDefinedVariable) {
  std::string folder;
  for (const char* name : {"TEMP", "TMP", "MS_TMP", "TMPDIR"}) {
    if (std::getenv(name) != nullptr) GTEST_SKIP() << name << " is set in the environment";
  }
  EXPECT_EQ(temporaryFolder(&folder), ERROR);
  EXPECT_EQ(folder, "");
  ASSERT_EQ(mdlSystem_defineCfgVar("MS_TMP", "/ms"), SUCCESS);
  EXPECT_EQ(temporaryFolder(&folder), SUCCESS);
  EXPECT_EQ(folder, "/ms/");
  ASSERT_EQ(mdlSystem_defineCfgVar("TMP", "/tmp2/"), SUCCESS);
  EXPECT_EQ(temporaryFolder(&folder), SUCCESS);
  EXPECT_EQ(folder, "/tmp2/");
  ASSERT_EQ(mdlSystem_defineCfgVar("TEMP", "/t"), SUCCESS);
  EXPECT_EQ(temporaryFolder(&folder), SUCCESS);
  EXPECT_EQ(folder, "/t/");
  EXPECT_EQ(pathFromCfgVar(&folder, "TEMP", false), SUCCESS);
  EXPECT_EQ(folder, "/t");
  EXPECT_EQ(pathFromCfgVar(&folder, "KELVARA_UNDEFINED_VARIABLE", true), ERROR);
  EXPECT_EQ(folder, "");
}

}  // namespace
}  // namespace kelvara
