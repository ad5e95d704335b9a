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
    DesignBuilder d;
    d.add(test::line({0, 0}, {10000, 0}));
    d.add(test::line({0, 0}, {c.duplicate ? 10000.0 : 20000.0, 0}));
    d.add(test::line({0, 5000}, {10000, 5000}));
    ASSERT_TRUE(d.write(s.path("plan.dgn")));
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
    DesignBuilder d;
    d.add(test::line({0, 0}, {10000, 0}));
    d.add(test::line({0, 0}, {10000, 0}));
    d.add(test::line({0, 5000}, {10000, 5000}));
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
    DesignBuilder d;
    d.add(test::line({0, 0}, {10000, 0}));
    d.add(test::line({0, 0}, {10000, 0}));
    ASSERT_TRUE(d.write(s.path("plan.dgn")));
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

// Names are case-sensitive: `A.dgn` and `a.dgn` are two drawings and each gets its backup. One
// drawing named several ways in a comparison list is backed up once, before it is first
// changed.
TEST(Backup, OncePerFileWhateverItsName) {
  struct Case {
    const char* name;
    std::vector<std::string> drawings;   // written with a duplicate each, different contents
    std::vector<std::string> listLines;  // the comparison list; "@" stands for the folder
  };
  const std::vector<Case> cases = {
      {"names that differ in case", {"A.dgn", "a.dgn"}, {"A.dgn", "a.dgn"}},
      {"one file named three ways", {"a.dgn"}, {"a.dgn", "./a.dgn", "@/a.dgn"}},
  };
  for (const Case& c : cases) {
    Scratch s("backup_names");
    std::vector<std::string> originals;
    for (size_t i = 0; i < c.drawings.size(); ++i) {
      DesignBuilder d;
      d.add(test::line({0, 0}, {10000, 0}));
      d.add(test::line({0, 0}, {10000, 0}));
      d.add(test::line({0, 5000}, {10000.0 + 1000.0 * static_cast<double>(i), 5000}));
      ASSERT_TRUE(d.write(s.path(c.drawings[i])));
      originals.push_back(readFile(s.path(c.drawings[i])));
    }
    {
      std::ofstream list(s.path("run.lst"));
      for (std::string line : c.listLines) {
        if (line[0] == '@') line = s.dir.string() + line.substr(1);
        list << line << "\n";
      }
    }
    const RunResult r = runKelvara(s, {"run.lst"});
    ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
    for (size_t i = 0; i < c.drawings.size(); ++i) {
      const std::string backup = s.path(c.drawings[i].substr(0, 1) + ".bak");
      EXPECT_TRUE(readFile(backup) == originals[i]) << c.name << ": " << backup;
      EXPECT_EQ(deletedPositions(s, s.path(c.drawings[i])).size(), 1u) << c.name;
    }
  }
}

}  // namespace
}  // namespace kelvara::e2e
