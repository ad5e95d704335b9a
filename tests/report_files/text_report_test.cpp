// The text report: names, dates, the run header, whole reports of a run line by line, skipped
// entries and refusals.
#include "report/text_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "engine/element_table.h"
#include "host/types.h"
#include "tests/support/scratch.h"

namespace kelvara {
namespace {

using test::readLines;
using test::readText;
using test::ScratchDir;

// ---- names -----------------------------------------------------------------------------------

struct NameCase {
  const char* name;
  std::string designFile;
  ReportNaming naming;
  int index, count;
  std::string expected;
};

TEST(ReportName, FollowsTheNamingSettings) {
  const ReportNaming fixed{true, "/out/kelvara.trf", "trf", false, false, ""};
  const ReportNaming sameDir{false, "", "trf", false, true, ""};
  const ReportNaming appendExt{false, "", "trf", true, true, ""};
  const ReportNaming otherDir{false, "", "txt", false, false, "/reports"};
  const ReportNaming otherDirSlash{false, "", "txt", false, false, "/reports/"};
  const std::vector<NameCase> cases = {
      {"fixed name for every file", "/p/a.dgn", fixed, 1, 3, "/out/kelvara.trf"},
      {"one entry: no index", "/p/plan.dgn", sameDir, 0, 1, "/p/plan.trf"},
      {"entry 0 of 3", "/p/plan.dgn", sameDir, 0, 3, "/p/plan0.trf"},
      {"entry 2 of 3", "/p/plan.dgn", sameDir, 2, 3, "/p/plan2.trf"},
      {"design extension kept", "/p/plan.dgn", appendExt, 1, 2, "/p/plan1.dgn.trf"},
      {"other directory", "/p/plan.dgn", otherDir, 0, 1, "/reports/plan.txt"},
      {"other directory with separator", "/p/plan.dgn", otherDirSlash, 0, 1, "/reports/plan.txt"},
      {"file without directory", "plan.dgn", sameDir, 0, 1, "plan.trf"},
      {"file without extension", "/p/plan", sameDir, 0, 1, "/p/plan.trf"},
      {"points in folder names stay", "/p.v2/plan.dgn", sameDir, 0, 1, "/p.v2/plan.trf"},
      // A skipped entry's name is built from the whole entry string.
      {"entry string, extension replaced", "/p/plan.dgn,Default", sameDir, 0, 1, "/p/plan.trf"},
      {"entry string, extension kept", "/p/plan.dgn,Default", appendExt, 0, 1,
       "/p/plan.dgn,Default.trf"},
  };
  for (const NameCase& c : cases) {
    std::string out;
    EXPECT_EQ(reportName(&out, c.designFile, c.naming, c.index, c.count), SUCCESS) << c.name;
    EXPECT_EQ(out, c.expected) << c.name;
  }
}

TEST(ReportName, RefusesNamesLongerThan255Bytes) {
  const ReportNaming sameDir{false, "", "trf", false, true, ""};
  std::string out;
  const std::string fits = "/" + std::string(250, 'd') + ".dgn";  // report name: 255 bytes
  EXPECT_EQ(reportName(&out, fits, sameDir, 0, 1), SUCCESS);
  EXPECT_EQ(out.size(), 255u);
  EXPECT_EQ(reportName(&out, "/" + std::string(251, 'd') + ".dgn", sameDir, 0, 1), ERROR);
}

// ---- header ----------------------------------------------------------------------------------

RunHeader plainHeader() {
  RunHeader h;
  h.secondTitle = "Duplicate element report";
  h.date = "Monday, 7 December 2026 at 11:05 pm";
  return h;
}

TEST(RunHeader, PrintsTheSettingsInForce) {
  RunHeader h = plainHeader();
  h.batchMode = true;
  h.reportMessage =
      "Text reports will be generated in directories with corresponding design files.";
  h.removed.useLevel = true;
  h.removed.level = "1-5";
  h.removed.useStyle = true;
  h.removed.style = "0";
  h.removed.useColor = true;  // in use but with an empty list: not a restriction
  TextReportOptions perRun;
  EXPECT_EQ(runHeaderText(h, perRun, "/r/kelvara.trf"),
            "Kelvara 10.0b\n"
            "Duplicate element report\n"
            "Monday, 7 December 2026 at 11:05 pm\n"
            "\n"
            "Text Report:         /r/kelvara.trf\n"
            "Run in batch mode.\n"
            "Report Mode:         Text reports will be generated in directories with "
            "corresponding design files.\n"
            "Mode:                Delete - Non-interactive\n"
            "Fence:               OFF\n"
            "Selection Criteria:  ALL ELEMENTS\n"
            "Restrictions:\n"
            "  Elements Removed:  ON - Level, Style\n"
            "  Elements Compared: OFF\n"
            "\n");
}

TEST(RunHeader, ModeSelectionAndRestrictionVariants) {
  TextReportOptions perEntry;
  perEntry.perEntry = true;
  RunHeader h = plainHeader();
  h.reportOnly = true;
  h.interactive = true;
  h.fence = true;
  h.removeSelectedDuplicates = true;
  h.criteriaName = "/sel/walls.sel";
  h.criteriaDescription = "Walls,Doors";
  h.compared.useWeight = true;
  h.compared.weight = "2";
  h.compared.useColor = true;
  h.compared.color = "1,3";
  EXPECT_EQ(runHeaderText(h, perEntry, "unused"),
            "Kelvara 10.0b\nDuplicate element report\nMonday, 7 December 2026 at 11:05 pm\n\n"
            "Mode:                Report only - Interactive\n"
            "Fence:               ON\n"
            "Selection Criteria:  /sel/walls.sel - Walls,Doors\n"
            "Restrictions:\n"
            "  Elements Removed:  OFF\n"
            "  Elements Compared: ON - Color, Weight\n"
            "\n");
  // Removing every selected element never prints restrictions.
  h.removeSelectedDuplicates = false;
  h.removeAllSelected = true;
  const std::string text = runHeaderText(h, perEntry, "unused");
  EXPECT_NE(text.find("Mode:                Report only - Interactive - Remove selected "
                      "elements\n"),
            std::string::npos);
  EXPECT_EQ(text.find("Restrictions"), std::string::npos);
  EXPECT_NE(text.find("Selection Criteria:  /sel/walls.sel - Walls,Doors\n"), std::string::npos);
}

// ---- whole reports ---------------------------------------------------------------------------

const std::vector<std::string> kNoteLines = {
    "",
    "",
    "Technical Note (Experts Only)",
    "When \"Interactive processing\" is turned off, Kelvara will report only the first element "
    "in each pair of duplicates.",
    "",
    "When \"Interactive processing\" is turned on, if the user chooses to ignore the first "
    "element in a pair of duplicates, Kelvara will then report the second element in that pair "
    "as well. This may result in more duplicate elements being reported than would be reported "
    "when \"Interactive processing\" is turned off.",
    "",
};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(TextReportRun, OneReportForTheRunHoldsEveryEntryInOrder) {
  ScratchDir dir;
  TextReportOptions options;
  options.naming = {true, dir.file("kelvara.trf"), "trf", false, false, ""};
  const RunHeader header = plainHeader();
  TextReport report;
  ReportFailure failure;
  const std::string a = dir.file("a.dgn"), b = dir.file("b.dgn");

  ASSERT_EQ(textReport_openForEntry(report, options, header, a, dir.file("a0.drf"), 0, 2, &failure),
            SUCCESS);
  textReport_writeFileBlock(report, options, a, dir.file("a0.drf"), "Default");
  textReport_writeDuplicate(report, options,
                            "Lv 1, Co 0, Wt 0, St 0, type 3 (line) element was "
                            "duplicate. Deleted.");
  textReport_write(report, "\nKelvara found 1 duplicate element in this file.\n");
  EXPECT_EQ(textReport_endEntry(report, options), SUCCESS);  // the run's report stays open
  ASSERT_NE(report.stream, nullptr);
  EXPECT_FALSE(test::exists(dir.file("kelvara.trf")));  // moves into place when complete

  ASSERT_EQ(textReport_openForEntry(report, options, header, b, "none", 1, 2, &failure), SUCCESS);
  textReport_writeFileBlock(report, options, b, "none", "Default");
  textReport_write(report, "Kelvara found 0 duplicate elements in this file.\n");
  EXPECT_EQ(textReport_endEntry(report, options), SUCCESS);
  EXPECT_EQ(textReport_finish(report, options), SUCCESS);
  EXPECT_EQ(report.stream, nullptr);
  EXPECT_EQ(report.name, dir.file("kelvara.trf"));

  const std::vector<std::string> expected =
      concat({"Kelvara 10.0b",
              "Duplicate element report",
              "Monday, 7 December 2026 at 11:05 pm",
              "",
              "Text Report:         " + dir.file("kelvara.trf"),
              "Mode:                Delete - Non-interactive",
              "Fence:               OFF",
              "Selection Criteria:  ALL ELEMENTS",
              "",
              "File:                " + a,
              "Design Report:       " + dir.file("a0.drf"),
              "Model:               Default",
              "",
              "  Lv 1, Co 0, Wt 0, St 0, type 3 (line) element was duplicate. Deleted.",
              "",
              "Kelvara found 1 duplicate element in this file.",
              "File:                " + b,
              "Design Report:       none",
              "Model:               Default",
              "",
              "Kelvara found 0 duplicate elements in this file."},
             kNoteLines);
  EXPECT_EQ(readLines(dir.file("kelvara.trf")), expected);
  // No temporary file is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(TextReportRun, OneReportPerEntryNamedWithTheEntryIndex) {
  ScratchDir dir;
  TextReportOptions options;
  options.perEntry = true;
  options.wordWrap = true;
  options.wrapColumn = 40;
  options.naming = {false, "", "trf", false, true, ""};
  const RunHeader header = plainHeader();
  TextReport report;
  const std::vector<std::string> files = {dir.file("a.dgn"), dir.file("b.dgn"), dir.file("a.dgn")};
  for (int i = 0; i < 3; ++i) {
    ReportFailure failure;
    ASSERT_EQ(textReport_openForEntry(report, options, header, files[i], "none", i, 3, &failure),
              SUCCESS);
    textReport_writeFileBlock(report, options, files[i], "none", "Default");
    textReport_writeDuplicate(report, options,
                              "Lv 12, Co 3, Wt ByLevel, St 0, type 4 (line string) element is "
                              "duplicate.");
    EXPECT_EQ(textReport_endEntry(report, options), SUCCESS);
    EXPECT_EQ(report.stream, nullptr) << "closed at the end of its entry";
  }
  const std::vector<std::string> names = {dir.file("a0.trf"), dir.file("b1.trf"),
                                          dir.file("a2.trf")};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(names[i]);
    const std::vector<std::string> lines = readLines(names[i]);
    const std::vector<std::string> head = {
        "Kelvara 10.0b",
        "Duplicate element report",
        "Monday, 7 December 2026 at 11:05 pm",
        "",
        "Mode:                Delete - Non-interactive",
        "Fence:               OFF",
        "Selection Criteria:  ALL ELEMENTS",
        "",
        "File:                " + files[i],
        "Text Report:         " + names[i],
        "Design Report:       none",
        "Model:               Default",
        "",
        "  Lv 12, Co 3, Wt ByLevel, St 0, type 4",
        "    (line string) element is duplicate.",
        "",
        "",
        "Technical Note (Experts Only)",
        "When \"Interactive processing\" is turned",
        "off, Kelvara will report only the first",
        "element in each pair of duplicates.",
    };
    ASSERT_GE(lines.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + head.size()), head);
    // Header lines are written as they stand; everything from the duplicate lines on wraps.
    for (size_t l = 13; l < lines.size(); ++l) EXPECT_LE(lines[l].size(), 40u) << lines[l];
    EXPECT_EQ(lines.back(), "");
  }
}

// ---- skipped entries -------------------------------------------------------------------------

TEST(TextReportSkip, SkipMessagesByOutcome) {
  EXPECT_EQ(skipMessage(SETUP_NOT_DESIGN_FILE, "x.txt"),
            "x.txt is not a design file and has been skipped.\n\n");
  EXPECT_EQ(skipMessage(SETUP_READ_ONLY, "r.dgn"),
            "r.dgn is a read-only file and has been skipped.\n\n");
  EXPECT_EQ(skipMessage(SETUP_DESIGN_REPORT, "a.drf"),
            "a.drf is a design report file and has been skipped.\n\n");
  EXPECT_EQ(skipMessage(SETUP_BACKUP_FILE, "a.bak"),
            "a.bak is a backup file and has been skipped.\n\n");
  EXPECT_EQ(skipMessage(SETUP_OPEN_FAILED, "m.dgn"),
            "Unable to open m.dgn. File has been skipped.\n\n");
  EXPECT_EQ(skipMessage(SETUP_BEGUN, "m.dgn"), "");
}

TEST(TextReportSkip, ASkippedEntryKeepsTheEarlierLinesOfTheRunsReport) {
  ScratchDir dir;
  TextReportOptions options;
  options.naming = {true, dir.file("kelvara.trf"), "trf", false, false, ""};
  const RunHeader header = plainHeader();
  TextReport report;
  ReportFailure failure;
  const std::string a = dir.file("a.dgn"), bad = dir.file("b.bak"), c = dir.file("c.dgn");
  // The first entry is skipped before any report was open: the run's report starts there.
  ASSERT_EQ(textReport_recordSkip(report, options, header, bad + ",Default", bad, SETUP_BACKUP_FILE,
                                  0, 3, &failure),
            SUCCESS);
  ASSERT_EQ(textReport_openForEntry(report, options, header, a, "none", 1, 3, &failure), SUCCESS);
  textReport_writeFileBlock(report, options, a, "none", "Default");
  textReport_write(report, "first entry's lines\n");
  EXPECT_EQ(textReport_endEntry(report, options), SUCCESS);
  // A skip in the middle of the run goes into the same report.
  ASSERT_EQ(textReport_recordSkip(report, options, header, c + ",Default", c, SETUP_READ_ONLY, 2, 3,
                                  &failure),
            SUCCESS);
  EXPECT_NE(report.stream, nullptr);
  EXPECT_EQ(textReport_finish(report, options), SUCCESS);

  const std::vector<std::string> lines = readLines(dir.file("kelvara.trf"));
  const std::vector<std::string> expected = concat(
      {"Kelvara 10.0b", "Duplicate element report", "Monday, 7 December 2026 at 11:05 pm", "",
       "Text Report:         " + dir.file("kelvara.trf"),
       "Mode:                Delete - Non-interactive", "Fence:               OFF",
       "Selection Criteria:  ALL ELEMENTS", "", bad + " is a backup file and has been skipped.", "",
       "File:                " + a, "Design Report:       none", "Model:               Default", "",
       "first entry's lines", c + " is a read-only file and has been skipped.", ""},
      kNoteLines);
  EXPECT_EQ(lines, expected);
}

TEST(TextReportSkip, PerEntrySkipWritesAShortReportOfItsOwn) {
  ScratchDir dir;
  TextReportOptions options;
  options.perEntry = true;
  options.naming = {false, "", "trf", false, true, ""};
  TextReport report;
  ReportFailure failure;
  const std::string file = dir.file("plan.dgn");
  ASSERT_EQ(textReport_recordSkip(report, options, plainHeader(), file + ",Default", file,
                                  SETUP_OPEN_FAILED, 1, 2, &failure),
            SUCCESS);
  EXPECT_EQ(report.stream, nullptr);
  EXPECT_EQ(report.name, dir.file("plan1.trf"));
  EXPECT_EQ(readText(dir.file("plan1.trf")),
            "Kelvara 10.0b\nDuplicate element report\nMonday, 7 December 2026 at 11:05 pm\n\n"
            "Text report file name:" +
                dir.file("plan1.trf") + "\nUnable to open " + file +
                ". File has been skipped.\n\n");
}

// With text reports off a skipped entry is still recorded, in the short form: one report per
// entry, or one for the run that later skips follow. A name under the backup extension is
// refused on this path too, and nothing is created for it.
TEST(TextReportSkip, TextReportsOffStillRecordTheSkip) {
  ScratchDir dir;
  const std::string a = dir.file("a.dgn"), b = dir.file("b.dgn");
  const std::string title =
      "Kelvara 10.0b\nDuplicate element report\nMonday, 7 December 2026 at 11:05 pm\n\n";
  {
    TextReportOptions perEntry;
    perEntry.enabled = false;
    perEntry.perEntry = true;
    perEntry.naming = {false, "", "trf", false, true, ""};
    TextReport report;
    ASSERT_EQ(textReport_recordSkip(report, perEntry, plainHeader(), a + ",Default", a,
                                    SETUP_READ_ONLY, 0, 1, nullptr),
              SUCCESS);
    EXPECT_EQ(report.stream, nullptr);
    EXPECT_EQ(readText(dir.file("a.trf")), title + "Text report file name:" + dir.file("a.trf") +
                                               "\n" + a +
                                               " is a read-only file and has been skipped.\n\n");
  }
  {
    TextReportOptions runWide;
    runWide.enabled = false;
    runWide.naming = {true, dir.file("run.trf"), "trf", false, false, ""};
    TextReport report;
    ASSERT_EQ(textReport_recordSkip(report, runWide, plainHeader(), a + ",Default", a,
                                    SETUP_READ_ONLY, 0, 2, nullptr),
              SUCCESS);
    ASSERT_EQ(textReport_recordSkip(report, runWide, plainHeader(), b + ",Default", b,
                                    SETUP_BACKUP_FILE, 1, 2, nullptr),
              SUCCESS);
    EXPECT_EQ(textReport_finish(report, runWide), SUCCESS);
    const std::string text = readText(dir.file("run.trf"));
    EXPECT_EQ(text.rfind(title + "Text report file name:" + dir.file("run.trf") + "\n" + a +
                             " is a read-only file and has been skipped.\n\n" + b +
                             " is a backup file and has been skipped.\n\n",
                         0),
              0u)
        << text;
  }
  {
    TextReportOptions backupName;
    backupName.enabled = false;
    backupName.naming = {true, dir.file("log.bak"), "trf", false, false, ""};
    TextReport report;
    ReportFailure failure;
    EXPECT_EQ(textReport_recordSkip(report, backupName, plainHeader(), a + ",Default", a,
                                    SETUP_READ_ONLY, 0, 1, &failure),
              ERROR);
    EXPECT_EQ(failure.message, MSG_REPORT_NOT_CREATED);
    EXPECT_FALSE(std::filesystem::exists(dir.file("log.bak")));
  }
}

// ---- refusals --------------------------------------------------------------------------------

TEST(TextReportRefusal, NeverOverwritesTheDesignFileOrItsDesignReport) {
  ScratchDir dir;
  const RunHeader header = plainHeader();
  struct Case {
    const char* name;
    TextReportOptions options;
    std::string designFile, designReport;
    int message;
  };
  TextReportOptions sameExt;
  sameExt.naming = {false, "", "DGN", false, true, ""};
  TextReportOptions fixedOnDesign;
  fixedOnDesign.naming = {true, dir.file("plan.dgn"), "trf", false, false, ""};
  TextReportOptions onDesignReport;
  onDesignReport.naming = {false, "", "drf", false, true, ""};
  TextReportOptions tooLong;
  tooLong.naming = {false, "", "trf", false, false, "/" + std::string(300, 'x')};
  const std::vector<Case> cases = {
      {"same extension, other case", sameExt, dir.file("plan.dgn"), "none", 57},
      {"fixed name is the design file", fixedOnDesign, dir.file("plan.dgn"), "none", 57},
      {"fixed name is the design file, spelled otherwise", fixedOnDesign,
       dir.path() + "/./sub/../plan.dgn", "none", 57},
      {"name of the design report", onDesignReport, dir.file("plan.dgn"), dir.file("plan.drf"), 57},
      {"name too long", tooLong, dir.file("plan.dgn"), "none", 74},
  };
  for (const Case& c : cases) {
    TextReport report;
    ReportFailure failure;
    EXPECT_EQ(textReport_openForEntry(report, c.options, header, c.designFile, c.designReport, 0, 1,
                                      &failure),
              ERROR)
        << c.name;
    EXPECT_EQ(failure.message, c.message) << c.name;
    EXPECT_EQ(report.stream, nullptr) << c.name;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TextReportRefusal, AReadOnlyReportIsNotReplaced) {
  ScratchDir dir;
  const std::string name = dir.file("plan.trf");
  { std::ofstream(name) << "keep me\n"; }
  ::chmod(name.c_str(), 0444);
  TextReportOptions options;
  options.naming = {false, "", "trf", false, true, ""};
  TextReport report;
  ReportFailure failure;
  EXPECT_EQ(textReport_openForEntry(report, options, plainHeader(), dir.file("plan.dgn"), "none", 0,
                                    1, &failure),
            ERROR);
  EXPECT_EQ(failure.message, 26);
  EXPECT_EQ(failure.argument, dir.file("plan.dgn"));
  EXPECT_EQ(readText(name), "keep me\n");
}

TEST(TextReportRefusal, NeverTakesABackupsName) {
  ScratchDir dir;
  const std::string backup = dir.file("plan.bak");
  { std::ofstream(backup) << "the drawing as it was\n"; }
  TextReportOptions byExtension, fixed;
  byExtension.naming = {false, "", "BAK", false, true, ""};
  fixed.naming = {true, backup, "trf", false, false, ""};
  for (const TextReportOptions& options : {byExtension, fixed}) {
    TextReport report;
    ReportFailure failure;
    EXPECT_EQ(textReport_openForEntry(report, options, plainHeader(), dir.file("plan.dgn"), "none",
                                      0, 1, &failure),
              ERROR);
    EXPECT_EQ(failure.message, 26);
    EXPECT_EQ(report.stream, nullptr);
  }
  EXPECT_EQ(readText(backup), "the drawing as it was\n");
}

}  // namespace
}  // namespace kelvara
