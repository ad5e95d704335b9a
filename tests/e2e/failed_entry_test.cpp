// Entries that fail after their design report was begun leave no design report behind: the
// run records "N/A" for them, so a file under the report's name would be read as a report of
// this run. Drawings themselves stay as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "e2e/harness.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;

DesignBuilder twoEqualLines() {
  DesignBuilder d;
  d.add(test::line({0, 0}, {10000, 0}));
  d.add(test::line({0, 0}, {10000, 0}));
  d.add(test::line({0, 5000}, {10000, 5000}));
  return d;
}

TEST(FailedEntry, LeavesNoDesignReportBehind) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;  // --set values
    std::vector<std::string> files;     // drawings of the run, in entry order
    std::vector<std::string> reports;   // the design report names the entries would have had
    int status;
  };
  const std::vector<Case> cases = {
      {"the selection file cannot be loaded",
       {"REMOVE_SEL_DUP=1", "CRITERIA_NAME_=missing.sel"},
       {"a.dgn", "b.dgn"},
       {"a0.drf", "b1.drf"},
       1},  // nothing could be processed
      {"the text report cannot be created",
       {"ONE_TEXT_REPORT=0", "ONE_TEXT_EACH_REPORT=1", "SAME_DIR_TEXT_REPORT=0",
        "DIFF_DIR_TEXT_REPORT=1", "TEXT_REPORT_DIR_NAME=no/such/folder"},
       {"a.dgn"},
       {"a.drf"},
       1},
  };
  for (const Case& c : cases) {
    Scratch s("failed_entry");
    std::vector<std::string> args;
    for (const std::string& setting : c.settings) {
      args.push_back("--set");
      args.push_back(setting);
    }
    for (const std::string& file : c.files) {
      ASSERT_TRUE(twoEqualLines().write(s.path(file)));
      args.push_back(file);
    }
    // A report of an earlier run under the same name does not pass for this run's report.
    std::ofstream(s.path(c.reports[0])) << "an earlier report";
    const std::string original = readFile(s.path(c.files[0]));
    const RunResult r = runKelvara(s, args);
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    for (const std::string& report : c.reports)
      EXPECT_FALSE(fs::exists(s.path(report))) << c.name << ": " << report;
    for (const std::string& file : c.files) EXPECT_EQ(readFile(s.path(file)), original) << c.name;
    // Nothing half-written is left under another name either.
    for (const auto& entry : fs::directory_iterator(s.dir))
      EXPECT_EQ(entry.path().filename().string().find("kvtmp"), std::string::npos)
          << c.name << ": " << entry.path();
  }
}

}  // namespace
}  // namespace kelvara::e2e
