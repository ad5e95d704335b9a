// Files that a run shares with other names and other processes: drawings and reports named
// through symbolic links, and two runs at once in one folder with one settings folder and one
// temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "e2e/harness.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;

// `count` distinct lines, every `duplicateEvery`-th one drawn twice.
DesignBuilder linesWithDuplicates(int count, int duplicateEvery, double shift) {
  DesignBuilder d;
  for (int i = 0; i < count; ++i) {
    const double x = 100.0 * i, y = x + shift;
    d.add(test::line({x, y}, {x + 80, y + 30}));
    if (i % duplicateEvery == 0) d.add(test::line({x, y}, {x + 80, y + 30}));
  }
  return d;
}

TEST(SymbolicLinks, TheLinksTargetIsCleanedAndTheLinkStays) {
  Scratch s("symlinks");
  fs::create_directories(s.path("store"));
  const DesignBuilder d = linesWithDuplicates(3, 2, 0);  // two duplicates
  ASSERT_TRUE(d.write(s.path("store/plan.dgn")));
  const std::string original = readFile(s.path("store/plan.dgn"));
  // The drawing and both reports are named through links into the store.
  fs::create_symlink("store/plan.dgn", s.path("link.dgn"));
  fs::create_symlink("store/plan.drf", s.path("link.drf"));
  fs::create_symlink(s.path("store/run.trf"), s.path("run.trf"));
  { std::ofstream(s.path("store/plan.drf")) << "an earlier design report"; }

  const RunResult r = runKelvara(s, {"--set", "TEXT_REPORT_FILE_NAME=run.trf", "link.dgn"});
  ASSERT_EQ(r.status, 0) << r.err;

  for (const auto& [link, target] :
       std::vector<std::pair<std::string, std::string>>{{"link.dgn", "store/plan.dgn"},
                                                        {"link.drf", "store/plan.drf"},
                                                        {"run.trf", s.path("store/run.trf")}}) {
    ASSERT_TRUE(fs::is_symlink(s.path(link))) << link << " was replaced by a plain file";
    EXPECT_EQ(fs::read_symlink(s.path(link)).string(), target);
  }
  // The drawing behind the link is cleaned; its backup stands beside the link's name.
  EXPECT_EQ(deletedPositions(s, s.path("store/plan.dgn")).size(), 2u);
  EXPECT_EQ(readFile(s.path("link.bak")), original);
  EXPECT_FALSE(fs::exists(s.path("store/plan.bak")));
  // The reports went where the links lead.
  EXPECT_GT(dumpElements(s, s.path("store/plan.drf")).size(),
            dumpElements(s, s.path("store/plan.dgn")).size());
  EXPECT_TRUE(contains(readFile(s.path("store/run.trf")), "File:                link.dgn"));
  EXPECT_TRUE(temporaryLeftovers(s.dir).empty());
}

// What one run leaves: its drawings, backups and design reports byte for byte, and its text
// report masked.
std::vector<std::string> outcomeOf(const Scratch& s, const std::vector<std::string>& drawings,
                                   const std::string& textReport) {
  std::vector<std::string> files;
  for (const std::string& name : drawings) {
    const std::string stem = name.substr(0, name.size() - 4);
    for (const char* ext : {".dgn", ".bak", ".drf"}) files.push_back(readFile(s.path(stem + ext)));
  }
  files.push_back(maskedReport(readFile(s.path(textReport))));
  return files;
}

TEST(TwoRunsAtOnce, InOneFolderBothFinishCompleteAndCorrect) {
  struct Side {
    std::vector<std::string> drawings;
    std::string textReport;
    double shift;
  };
  const std::vector<Side> sides = {{{"a1.dgn", "a2.dgn", "a3.dgn"}, "first.trf", 0},
                                   {{"b1.dgn", "b2.dgn", "b3.dgn"}, "second.trf", 50}};
  auto write = [&](const Scratch& s, const Side& side) {
    for (size_t i = 0; i < side.drawings.size(); ++i)
      ASSERT_TRUE(linesWithDuplicates(20000, 7 + static_cast<int>(i), side.shift)
                      .write(s.path(side.drawings[i])));
  };
  auto args = [](const Side& side) {
    std::vector<std::string> a = {"--set", "TEXT_REPORT_FILE_NAME=" + side.textReport};
    a.insert(a.end(), side.drawings.begin(), side.drawings.end());
    return a;
  };
  const std::vector<std::string> tracing = {"TRV_COMPARE_LOG=2"};

  // Each run alone, in a folder of its own: what each must leave.
  std::vector<std::vector<std::string>> expected;
  for (const Side& side : sides) {
    Scratch alone("alone");
    write(alone, side);
    const RunResult r = runKelvara(alone, args(side), "", tracing);
    ASSERT_EQ(r.status, 0) << r.err;
    expected.push_back(outcomeOf(alone, side.drawings, side.textReport));
  }

  // Both at once in one folder, with one settings folder (no settings file yet: both make it),
  // one temporary folder (both take placeholders there) and one trace log.
  Scratch s("two_runs");
  for (const Side& side : sides) write(s, side);
  std::vector<StartedRun> started;
  for (const Side& side : sides) started.push_back(startKelvara(s, args(side), tracing));
  for (size_t i = 0; i < sides.size(); ++i) {
    const RunResult r = waitForKelvara(started[i]);
    EXPECT_EQ(r.status, 0) << sides[i].textReport << "\n" << r.err;
    EXPECT_TRUE(contains(r.out, "3 models processed.")) << r.out;
    EXPECT_TRUE(outcomeOf(s, sides[i].drawings, sides[i].textReport) == expected[i])
        << sides[i].textReport;
  }

  // The settings file is whole, every trace line of both runs is whole, nothing temporary is
  // left and one placeholder serves both.
  const fs::path settings = s.dir / "appdata/Tarvo/kelvara";
  EXPECT_EQ(readLines((settings / "kelvara.ini").string()).size(), 89u);
  const std::vector<std::string> trace = splitLines(traceLog(s));
  const std::regex traceLine(R"(\d{1,2}\.\d{1,2}\.\d{4} \d{1,2}:\d\d: \S.*)");
  size_t starts = 0;
  for (const std::string& line : trace) {
    EXPECT_TRUE(std::regex_match(line, traceLine)) << line;
    starts += contains(line, "process_startAllV8Files started");
  }
  EXPECT_EQ(starts, 2u);
  EXPECT_TRUE(temporaryLeftovers(s.dir).empty());
  EXPECT_TRUE(fs::exists(s.path("tmp/cmptmp0.dgn")));
  EXPECT_FALSE(fs::exists(s.path("tmp/cmptmp1.dgn")));
}

}  // namespace
}  // namespace kelvara::e2e
