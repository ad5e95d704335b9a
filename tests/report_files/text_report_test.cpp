// The text report: names, the run header, a run-wide report moving into place when complete,
// skip messages, skips with text reports off, and refusals. Whole reports of a run line by line
// are checked through the executable (tests/e2e/run_test.cpp).
#include "report/text_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/element_table.h"
#include "host/types.h"
#include "tests/support/scratch.h"

namespace kelvara {
namespace {

using test::readText;
using test::ScratchDir;

const ReportNaming kSameDir{false, "", "trf", false, true, ""};
const std::string kTitle =
    "Kelvara 10.0b\nDuplicate element report\nMonday, 7 December 2026 at 11:05 pm\n\n";

ReportNaming fixedName(const std::string& name) {
  return {true, name, "trf", false, false, ""};
}

// Entry indexes, fixed names and other folders are run through the executable (EndToEnd,
// BatchOutputs, FailureReport); these are the corner cases of the names.
TEST(ReportName, FollowsTheNamingSettings) {
  const ReportNaming appendExt{false, "", "trf", true, true, ""};
  const ReportNaming otherDirSlash{false, "", "txt", false, false, "/reports/"};
  const std::string fits = "/" + std::string(250, 'd') + ".dgn";  // report name: 255 bytes
  struct Case {
    const char* name;
    std::string designFile;
    ReportNaming naming;
    int index, count;
    std::string expected;  // "": refused as longer than 255 bytes
  };
  const std::vector<Case> cases = {
      {"design extension kept", "/p/plan.dgn", appendExt, 1, 2, "/p/plan1.dgn.trf"},
      {"other directory with separator", "/p/plan.dgn", otherDirSlash, 0, 1, "/reports/plan.txt"},
      {"file without directory", "plan.dgn", kSameDir, 0, 1, "plan.trf"},
      {"file without extension", "/p/plan", kSameDir, 0, 1, "/p/plan.trf"},
      {"points in folder names stay", "/p.v2/plan.dgn", kSameDir, 0, 1, "/p.v2/plan.trf"},
      // A skipped entry's name is built from the whole entry string.
      {"entry string, extension replaced", "/p/plan.dgn,Default", kSameDir, 0, 1, "/p/plan.trf"},
      {"entry string, extension kept", "/p/plan.dgn,Default", appendExt, 0, 1,
       "/p/plan.dgn,Default.trf"},
      {"255 bytes fit", fits, kSameDir, 0, 1, fits.substr(0, fits.size() - 3) + "trf"},
      {"256 bytes do not", "/" + std::string(251, 'd') + ".dgn", kSameDir, 0, 1, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(reportName(&out, c.designFile, c.naming, c.index, c.count),
              c.expected.empty() ? ERROR : SUCCESS)
        << c.name;
    if (!c.expected.empty()) {
      EXPECT_EQ(out, c.expected) << c.name;
    }
  }
}

RunHeader plainHeader() {
  RunHeader h;
  h.secondTitle = "Duplicate element report";
  h.date = "Monday, 7 December 2026 at 11:05 pm";
  return h;
}

// The batch lines, the delete mode, the fence off and ALL ELEMENTS are checked line by line in
// whole reports through the executable (EndToEnd); these are the other modes and restrictions.
TEST(RunHeader, ModeSelectionAndRestrictionVariants) {
  TextReportOptions perEntry;
  perEntry.perEntry = true;
  RunHeader h = plainHeader();
  h.reportOnly = h.interactive = h.fence = h.removeSelectedDuplicates = true;
  h.criteriaName = "/sel/walls.sel";
  h.criteriaDescription = "Walls,Doors";
  h.compared.useWeight = h.compared.useColor = true;
  h.compared.weight = "2";
  h.compared.color = "1,3";
  EXPECT_EQ(runHeaderText(h, perEntry, "unused"),
            kTitle +
                "Mode:                Report only - Interactive\n"
                "Fence:               ON\n"
                "Selection Criteria:  /sel/walls.sel - Walls,Doors\n"
                "Restrictions:\n"
                "  Elements Removed:  OFF\n"
                "  Elements Compared: ON - Color, Weight\n"
                "\n");
  // A group in use with an empty list is no restriction.
  h.compared = {};
  h.compared.useColor = true;
  h.removed.useLevel = h.removed.useStyle = true;
  h.removed.level = "1-5";
  h.removed.style = "0";
  std::string text = runHeaderText(h, perEntry, "unused");
  EXPECT_NE(text.find("Restrictions:\n  Elements Removed:  ON - Level, Style\n"
                      "  Elements Compared: OFF\n"),
            std::string::npos)
      << text;
  // Removing every selected element never prints restrictions.
  h.removeSelectedDuplicates = false;
  h.removeAllSelected = true;
  text = runHeaderText(h, perEntry, "unused");
  EXPECT_NE(text.find("Mode:                Report only - Interactive - Remove selected "
                      "elements\n"),
            std::string::npos);
  EXPECT_EQ(text.find("Restrictions"), std::string::npos);
  EXPECT_NE(text.find("Selection Criteria:  /sel/walls.sel - Walls,Doors\n"), std::string::npos);
}

// The run's report stays open across entries and takes its name only when the run finishes:
// until then no file of that name exists, and after it no temporary file is left beside it.
TEST(TextReportRun, OneReportForTheRunMovesIntoPlaceWhenFinished) {
  ScratchDir dir;
  TextReportOptions options;
  options.naming = fixedName(dir.file("kelvara.trf"));
  TextReport report;
  ReportFailure failure;
  for (int i = 0; i < 2; ++i) {
    const std::string file = dir.file(i == 0 ? "a.dgn" : "b.dgn");
    ASSERT_EQ(textReport_openForEntry(report, options, plainHeader(), file, "none", i, 2, &failure),
              SUCCESS);
    textReport_writeFileBlock(report, options, file, "none", "Default");
    EXPECT_EQ(textReport_endEntry(report, options), SUCCESS);
    ASSERT_NE(report.stream, nullptr);
    EXPECT_FALSE(test::exists(dir.file("kelvara.trf")));
  }
  EXPECT_EQ(textReport_finish(report, options), SUCCESS);
  EXPECT_EQ(report.stream, nullptr);
  const std::string text = readText(dir.file("kelvara.trf"));
  EXPECT_EQ(text.rfind(kTitle + "Text Report:         " + dir.file("kelvara.trf"), 0), 0u);
  EXPECT_NE(text.find("Model:               Default\n\nFile:                " + dir.file("b.dgn") +
                      "\nDesign Report:       none\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Technical Note (Experts Only)"), std::string::npos);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// With text reports off a skipped entry is still recorded, in the short form, in a report of
// its own per entry (the run-wide form: FailureReport's "read-only drawing with text reports
// off" row). A name under the backup extension is refused on this path too.
TEST(TextReportSkip, TextReportsOffStillRecordTheSkip) {
  ScratchDir dir;
  const std::string a = dir.file("a.dgn");
  TextReportOptions perEntry;
  perEntry.enabled = false;
  perEntry.perEntry = true;
  perEntry.naming = kSameDir;
  TextReport report;
  ASSERT_EQ(textReport_recordSkip(report, perEntry, plainHeader(), a + ",Default", a,
                                  SETUP_READ_ONLY, 0, 1, nullptr),
            SUCCESS);
  EXPECT_EQ(report.stream, nullptr);
  EXPECT_EQ(readText(dir.file("a.trf")), kTitle + "Text report file name:" + dir.file("a.trf") +
                                             "\n" + a +
                                             " is a read-only file and has been skipped.\n\n");

  TextReportOptions backupName;
  backupName.enabled = false;
  backupName.naming = fixedName(dir.file("log.bak"));
  ReportFailure failure;
  EXPECT_EQ(textReport_recordSkip(report, backupName, plainHeader(), a + ",Default", a,
                                  SETUP_READ_ONLY, 0, 1, &failure),
            ERROR);
  EXPECT_EQ(failure.message, MSG_REPORT_NOT_CREATED);
  EXPECT_FALSE(test::exists(dir.file("log.bak")));
}

// A report never replaces the design file, its design report, a backup or a read-only file,
// and a name too long is refused; the file that stood there keeps its bytes.
TEST(TextReportRefusal, NeverReplacesWhatItMayNot) {
  ScratchDir dir;
  const std::string plan = dir.file("plan.dgn");
  struct Case {
    const char* name;
    ReportNaming naming;
    std::string designFile, designReport;
    int message;
    std::optional<std::string> existing = {};  // a file that stands under the report's name
    mode_t mode = 0;
  };
  const auto beside = [](const char* ext) { return ReportNaming{false, "", ext, false, true, ""}; };
  const ReportNaming tooLong{false, "", "trf", false, false, "/" + std::string(300, 'x')};
  const std::string bak = dir.file("plan.bak");
  const std::vector<Case> cases = {
      {"same extension, other case", beside("DGN"), plan, "none", 57},
      {"fixed name is the design file", fixedName(plan), plan, "none", 57},
      {"the same, spelled otherwise", fixedName(plan), dir.path() + "/./sub/../plan.dgn", "none",
       57},
      {"name of the design report", beside("drf"), plan, dir.file("plan.drf"), 57},
      {"name too long", tooLong, plan, "none", 74},
      {"read-only report", kSameDir, plan, "none", 26, dir.file("plan.trf"), 0444},
      {"backup extension", beside("BAK"), plan, "none", 26, bak, 0644},
      {"backup as the fixed name", fixedName(bak), plan, "none", 26, bak, 0644},
  };
  for (const Case& c : cases) {
    if (c.existing) {
      std::ofstream(*c.existing) << "keep me\n";
      ::chmod(c.existing->c_str(), c.mode);
    }
    TextReport report;
    ReportFailure failure;
    EXPECT_EQ(textReport_openForEntry(report, {.naming = c.naming}, plainHeader(), c.designFile,
                                      c.designReport, 0, 1, &failure),
              ERROR)
        << c.name;
    EXPECT_EQ(failure.message, c.message) << c.name;
    EXPECT_EQ(report.stream, nullptr) << c.name;
    if (c.existing) {
      EXPECT_EQ(failure.argument, c.designFile) << c.name;
      EXPECT_EQ(readText(*c.existing), "keep me\n") << c.name;
      std::filesystem::remove(*c.existing);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.name;
  }
}

}  // namespace
}  // namespace kelvara
