// Backups of whole runs: the backup is the drawing as it was before the run, whether the run
// cleaned the drawing or left it as it was, and it never shares its bytes with the drawing
// once the run is over.
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

ino_t inodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A line drawn twice (or, without `duplicate`, a longer line over it) and a line of its own,
// `extra` units longer.
DesignBuilder planWith(bool duplicate, double extra = 0) {
  DesignBuilder d;
  d.add(test::line({0, 0}, {10000, 0}));
  d.add(test::line({0, 0}, {duplicate ? 10000.0 : 20000.0, 0}));
  d.add(test::line({0, 5000}, {10000 + extra, 5000}));
  return d;
}

// A run over plan.dgn, deleting duplicates or only reporting them.
RunResult runOnPlan(const Scratch& s, bool reportOnly) {
  return runKelvara(s, withSettings(reportOnly ? std::vector<std::string>{"REPORT_ONLY=1"}
                                               : std::vector<std::string>{},
                                    {"plan.dgn"}));
}

TEST(Backup, IsTheInputWhetherTheRunCleansTheDrawingOrNot) {
  struct Case {
    const char* name;
    bool reportOnly;
    bool duplicate;  // the drawing holds a duplicate
    bool cleaned;    // the drawing is written again without it
  };
  const std::vector<Case> cases = {
      {"delete run", false, true, true},
      {"report-only run", true, true, false},
      {"delete run without duplicates", false, false, false},
  };
  for (const Case& c : cases) {
    Scratch s("backup");
    ASSERT_TRUE(planWith(c.duplicate).write(s.path("plan.dgn")));
    const std::string original = readFile(s.path("plan.dgn"));
    const RunResult r = runOnPlan(s, c.reportOnly);
    ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
    EXPECT_EQ(readFile(s.path("plan.bak")), original) << c.name;
    if (c.cleaned) {
      EXPECT_NE(readFile(s.path("plan.dgn")), original) << c.name;
      EXPECT_EQ(deletedPositions(s, s.path("plan.dgn")).size(), 1u) << c.name;
    } else {
      EXPECT_EQ(readFile(s.path("plan.dgn")), original) << c.name;
    }
    // Two files: a program that later writes into the drawing leaves the backup alone.
    EXPECT_NE(inodeOf(s.path("plan.bak")), inodeOf(s.path("plan.dgn"))) << c.name;
    EXPECT_TRUE(temporaryLeftovers(s.dir).empty()) << c.name;
  }
}

// A drawing that has a backup already gets a new one only from a run that changes it: the
// backup is then the drawing as that run found it. A run that finds nothing, and a
// report-only run, leave the earlier backup as it was.
TEST(Backup, AnEarlierBackupIsReplacedOnlyByARunThatChangesTheDrawing) {
  struct Case {
    const char* name;
    bool editedBetween;  // a new duplicate is drawn into the cleaned drawing before run two
    bool reportOnly;     // run two only reports
    bool replaced;       // run two's backup is the drawing as run two found it
  };
  const std::vector<Case> cases = {
      {"second run finds nothing", false, false, false},
      {"second run removes a new duplicate", true, false, true},
      {"second run only reports a new duplicate", true, true, false},
  };
  for (const Case& c : cases) {
    Scratch s("backup_again");
    DesignBuilder d = planWith(true);
    ASSERT_TRUE(d.write(s.path("plan.dgn")));
    const std::string original = readFile(s.path("plan.dgn"));
    RunResult r = runOnPlan(s, false);
    ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
    ASSERT_EQ(readFile(s.path("plan.bak")), original) << c.name;
    if (c.editedBetween) {
      d.add(test::line({0, 5000}, {10000, 5000}));
      ASSERT_TRUE(d.write(s.path("plan.dgn")));
    }
    const std::string beforeSecond = readFile(s.path("plan.dgn"));
    r = runOnPlan(s, c.reportOnly);
    ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
    EXPECT_TRUE(readFile(s.path("plan.bak")) == (c.replaced ? beforeSecond : original)) << c.name;
    EXPECT_EQ(readFile(s.path("plan.dgn")) != beforeSecond, c.replaced) << c.name;
    EXPECT_NE(inodeOf(s.path("plan.bak")), inodeOf(s.path("plan.dgn"))) << c.name;
    // The summary names the backup the drawing has.
    EXPECT_TRUE(contains(r.out, "Backup: " + s.path("plan.bak"))) << c.name << r.out;
  }
}

// An earlier backup that cannot be replaced fails the entry before anything changes, unless
// the run only reports.
TEST(Backup, AnEarlierBackupThatCannotBeReplacedFailsTheEntryUnlessReportOnly) {
  for (const bool reportOnly : {false, true}) {
    Scratch s("backup_locked");
    ASSERT_TRUE(planWith(true).write(s.path("plan.dgn")));
    const std::string original = readFile(s.path("plan.dgn"));
    std::ofstream(s.path("plan.bak")) << "kept";
    ASSERT_EQ(::chmod(s.path("plan.bak").c_str(), 0444), 0);
    const RunResult r = runOnPlan(s, reportOnly);
    EXPECT_EQ(r.status, reportOnly ? 0 : 1) << r.err;
    EXPECT_EQ(readFile(s.path("plan.bak")), "kept");
    EXPECT_EQ(readFile(s.path("plan.dgn")), original);
    if (!reportOnly) {
      EXPECT_TRUE(contains(r.err, "plan.bak")) << r.err;
    }
  }
}

// Names are case-sensitive: `A.dgn` and `a.dgn` are two drawings and each gets its backup. (One
// drawing named several ways is one entry: CommandLine.OneFileNamedSeveralWaysIsOneEntry.)
TEST(Backup, OnePerDrawingWhenNamesDifferOnlyInCase) {
  Scratch s("backup_names");
  std::vector<std::string> originals;
  for (const char* name : {"A.dgn", "a.dgn"}) {
    ASSERT_TRUE(planWith(true, name[0] == 'a' ? 1000 : 0).write(s.path(name)));
    originals.push_back(readFile(s.path(name)));
  }
  const RunResult r = runKelvara(s, {"A.dgn", "a.dgn"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(originals[0], originals[1]);
  EXPECT_TRUE(readFile(s.path("A.bak")) == originals[0]);
  EXPECT_TRUE(readFile(s.path("a.bak")) == originals[1]);
  EXPECT_EQ(deletedPositions(s, s.path("A.dgn")).size(), 1u);
  EXPECT_EQ(deletedPositions(s, s.path("a.dgn")).size(), 1u);
}

}  // namespace
}  // namespace kelvara::e2e
