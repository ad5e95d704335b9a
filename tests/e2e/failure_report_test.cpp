// Failures are never reported as success: every entry that is skipped or fails is named on
// standard error with its reason, the summary counts it and says what happened, and the exit
// status tells a completed run (0) from one where some entries failed (3) and from one where
// nothing could be processed or a write at the end failed (1). Files that a failed step would
// have replaced keep their old contents, and a failed entry leaves no backup behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "e2e/harness.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;

// `distinct` lines apart, then `pairs` lines each drawn twice.
DesignBuilder drawing(int distinct, int pairs) {
  DesignBuilder d;
  for (int i = 0; i < distinct; ++i) d.add(test::line({0, i * 100.0}, {5000, i * 100.0 + 50}));
  for (int i = 0; i < pairs; ++i) {
    d.add(test::line({9000, i * 100.0}, {12000, i * 100.0}));
    d.add(test::line({9000, i * 100.0}, {12000, i * 100.0}));
  }
  return d;
}

void expectContains(const std::string& text, const std::vector<std::string>& parts,
                    const std::string& what, const std::string& name) {
  for (const std::string& part : parts)
    EXPECT_NE(text.find(part), std::string::npos)
        << name << ": " << what << " lacks \"" << part << "\"\n"
        << text;
}

TEST(FailureReport, EverySkippedOrFailedEntryIsNamedAndCounted) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    std::vector<std::string> files;  // good.dgn, bad.dgn (the sample cut short), ro.dgn (0444)
    int status;
    std::vector<std::string> errors;   // parts of standard error
    std::vector<std::string> summary;  // parts of the summary ("" alone: no summary at all)
    std::vector<std::string> absent;   // files the run must not leave behind
    std::vector<std::string> report;   // parts of kelvara.trf
    // Reports of an earlier run under the names this run's would have had: the run records
    // "N/A" for a failed entry, so they must not be left to pass for its reports.
    std::vector<std::string> earlier = {};
  };
  const std::vector<Case> cases = {
      {"damaged drawing alone",
       {},
       {"bad.dgn"},
       1,
       {"error: Unable to open bad.dgn. File has been skipped. (bad.dgn: byte "},
       {"0 models processed.\n1 model could not be processed.\n"},
       {"bad.bak", "bad.drf"},
       {}},
      {"damaged drawing in a batch",
       {},
       {"good.dgn", "bad.dgn"},
       3,
       {"error: Unable to open bad.dgn. File has been skipped."},
       {"1 model processed.\n1 model could not be processed.\n1 duplicate element was found.\n"},
       {"bad.bak", "bad1.drf"},
       {}},
      {"read-only drawing",
       {},
       {"ro.dgn"},
       1,
       {"error: ro.dgn is a read-only file and has been skipped.\n"},
       {"File was read-only and has been skipped. Nothing was reported or removed.\n"},
       {"ro.bak", "ro.drf"},
       {"ro.dgn is a read-only file and has been skipped.\n"}},
      {"read-only drawing with text reports off",
       {"TEXT_REPORT__=0"},
       {"good.dgn", "ro.dgn"},
       3,
       {"error: ro.dgn is a read-only file and has been skipped.\n"},
       {"1 model processed.\n1 model could not be processed.\n",
        "encountered.\n\nDesign report"},  // no text report named
       {"ro.bak", "ro1.drf"},
       {"Text report file name:kelvara.trf\nro.dgn is a read-only file and has been skipped.\n"}},
      {"design report folder missing",
       {"SAME_DIR_DESIGN_REPORT=0", "DESIGN_REPORT_DIR_NAME=nofolder"},
       {"good.dgn"},
       1,
       {"error: good.dgn: Unable to create the design report file \"nofolder/good.drf\". "
        "(nofolder/good.drf: cannot create a file there: No such file or directory)"},
       {"0 models processed.\n1 model could not be processed.\n"},
       {"good.bak"},
       {}},
      {"design report extension of the drawing",
       {"DESIGN_EXTENSION=dgn"},
       {"good.dgn"},
       1,
       {"error: good.dgn is a design report file and has been skipped.\n"},
       {"0 models processed.\n"},
       {"good.bak"},
       {}},
      {"design report extension of the backup",
       {"DESIGN_EXTENSION=bak"},
       {"good.dgn"},
       1,
       {"error: good.dgn: Unable to create the design report file \"good.bak\"."},
       {"0 models processed.\n"},
       {"good.bak"},
       {}},
      {"text report in a folder that does not exist",
       {"TEXT_REPORT_FILE_NAME=/nonexistent/r.trf"},
       {"good.dgn"},
       1,
       {"error: Unable to prepare or create the report for \"good.dgn\". The file has not been "
        "processed. (/nonexistent/r.trf: No such file or directory)",
        "error: good.dgn: The run has been stopped"},
       {""},
       {"good.bak", "good.drf"},
       {}},
      {"text report folder missing",
       {"ONE_TEXT_REPORT=0", "SAME_DIR_TEXT_REPORT=0", "DIFF_DIR_TEXT_REPORT=1",
        "TEXT_REPORT_DIR_NAME=nofolder"},
       {"good.dgn"},
       1,
       {"(nofolder/good.trf: No such file or directory)"},
       {""},
       {"good.bak", "good.drf"},
       {},
       {"good.drf"}},
      {"selection file missing",
       {"REMOVE_SEL_DUP=1", "CRITERIA_NAME_=missing.sel"},
       {"good.dgn", "ro.dgn"},
       1,
       {"missing.sel"},
       {"0 models processed.\n2 models could not be processed.\n"},
       {"good.bak", "good0.drf"},
       {},
       {"good0.drf"}},
      {"text report under the backup extension",
       {"TEXT_REPORT_FILE_NAME=log.bak"},
       {"good.dgn"},
       1,
       {"(log.bak: a report is never written under the backup extension)"},
       {""},
       {"good.bak", "good.drf", "log.bak"},
       {}},
  };
  const std::string sample = readFile(std::string(KELVARA_SOURCE_DIR) + "/examples/sample.dgn");
  for (const Case& c : cases) {
    Scratch s("failure_report");
    ASSERT_TRUE(drawing(3, 1).write(s.path("good.dgn")));
    std::ofstream(s.path("bad.dgn"), std::ios::binary) << sample.substr(0, 3000);
    ASSERT_TRUE(drawing(3, 1).write(s.path("ro.dgn")));
    ASSERT_EQ(::chmod(s.path("ro.dgn").c_str(), 0444), 0);
    for (const std::string& file : c.earlier) std::ofstream(s.path(file)) << "an earlier report";
    const std::string good = readFile(s.path("good.dgn"));
    const RunResult r = runKelvara(s, withSettings(c.settings, c.files));
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    expectContains(r.err, c.errors, "standard error", c.name);
    if (c.summary == std::vector<std::string>{""}) {
      EXPECT_EQ(r.out, "") << c.name;
    } else {
      expectContains(r.out, c.summary, "the summary", c.name);
      EXPECT_EQ(r.out.find("have been reported"), std::string::npos) << c.name << "\n" << r.out;
    }
    expectContains(readFile(s.path("kelvara.trf")), c.report, "the text report", c.name);
    for (const std::string& file : c.absent)
      EXPECT_FALSE(fs::exists(s.path(file))) << c.name << ": " << file;
    if (c.status == 1) {
      EXPECT_EQ(readFile(s.path("good.dgn")), good) << c.name;
    }
    EXPECT_TRUE(temporaryLeftovers(s.dir).empty()) << c.name;
  }
}

// Writes at the end of an entry or of the run that fail (here: the files may not grow beyond
// 8 KB) are named on standard error, the run is not reported as a success, and the file of
// that name keeps its old contents.
TEST(FailureReport, WritesThatFailAtTheEndAreReported) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    int distinct, pairs;  // the drawing: big enough for the file that is to fail
    std::string kept;     // a file that exists before the run and keeps its contents
    std::string error;    // part of standard error
  };
  const std::vector<Case> cases = {
      {"the run's text report",
       {"REPORT_ONLY=1", "BACKUP=0", "DESIGN_REPORT__=0"},
       0,
       200,
       "kelvara.trf",
       "kelvara.trf: The text report could not be written. (cannot write: File too large)"},
      {"the design report",
       {"REPORT_ONLY=1", "BACKUP=0", "TEXT_REPORT__=0"},
       0,
       60,  // the drawing just fits, its design report does not
       "plan.drf",
       "plan.drf: The design report could not be written. (plan.drf: cannot write: File too "
       "large)"},
      {"the drawing", {"BACKUP=0", "DESIGN_REPORT__=0"}, 300, 1, "plan.dgn", "File too large"},
  };
  for (const Case& c : cases) {
    Scratch s("failure_writes");
    ASSERT_TRUE(drawing(c.distinct, c.pairs).write(s.path("plan.dgn")));
    if (c.kept != "plan.dgn") std::ofstream(s.path(c.kept)) << "an earlier file";
    const std::string before = readFile(s.path(c.kept));
    const RunResult r = runKelvara(s, withSettings(c.settings, {"plan.dgn"}), "", {}, 8 * 1024);
    EXPECT_EQ(r.status, 1) << c.name << "\n" << r.err;
    expectContains(r.err, {c.error}, "standard error", c.name);
    EXPECT_TRUE(readFile(s.path(c.kept)) == before) << c.name;
    EXPECT_EQ(r.out.find(s.path(c.kept)), std::string::npos) << c.name << "\n" << r.out;
  }
}

}  // namespace
}  // namespace kelvara::e2e
