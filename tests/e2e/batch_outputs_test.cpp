// What a batch writes: every entry's reports under names of their own, and read-only drawings
// audited by report-only runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "e2e/harness.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// With the entry index in the names, `s1.dgn` as entry 1 and `s.dgn` as entry 11 both give
// `s11`: the later entry's reports take `s11_2`, and no report of the run replaces another.
TEST(BatchOutputs, EveryEntryWritesReportsOfItsOwn) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    const char* textExtension;  // per-entry text reports; null: one report for the run
  };
  const std::vector<Case> cases = {
      {"one text report", {}, nullptr},
      {"a text report per entry",
       {"ONE_TEXT_REPORT=0", "ONE_TEXT_EACH_REPORT=1", "SAME_DIR_TEXT_REPORT=1"},
       "trf"},
  };
  // Entry i is drawing names[i]; its reports are reports[i] with the design or text extension.
  std::vector<std::string> names = {"a.dgn", "s1.dgn"};
  for (int i = 2; i <= 10; ++i) names.push_back("d" + std::to_string(i) + ".dgn");
  names.push_back("s.dgn");
  std::vector<std::string> reports = {"a0", "s11"};
  for (int i = 2; i <= 10; ++i) reports.push_back("d" + std::to_string(i) + std::to_string(i));
  reports.push_back("s11_2");
  for (const Case& c : cases) {
    Scratch s("report_names");
    for (size_t i = 0; i < names.size(); ++i)
      ASSERT_TRUE(drawingWith(static_cast<int>(i)).write(s.path(names[i])));
    const RunResult r = runKelvara(s, withSettings(c.settings, names));
    ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
    std::string allText;
    const size_t firstSize = dumpElements(s, s.path(reports[0] + ".drf")).size();
    for (size_t i = 0; i < names.size(); ++i) {
      const std::string design = reports[i] + ".drf";
      // Each design report is its own entry's: drawing i has i more elements than the first.
      EXPECT_EQ(dumpElements(s, s.path(design)).size(), firstSize + i) << c.name << ": " << design;
      EXPECT_EQ(count(r.out, s.path(design) + "\n"), 1u) << c.name << ": " << design;
      if (c.textExtension != nullptr) {
        const std::string text = reports[i] + "." + c.textExtension;
        const std::string report = readFile(s.path(text));
        EXPECT_TRUE(contains(report, "File:                " + names[i] + "\n"))
            << c.name << ": " << text << "\n"
            << report;
        allText += report;
      }
    }
    if (c.textExtension == nullptr) allText = readFile(s.path("kelvara.trf"));
    // The text reports name every design report once.
    for (const std::string& report : reports)
      EXPECT_EQ(count(allText, "Design Report:       " + report + ".drf\n"), 1u)
          << c.name << ": " << report;
  }
}

// A report-only run reads a read-only drawing: its duplicates are reported and it is neither
// written nor backed up. Any other run skips it (its message and the missing design report:
// FailureReport's "read-only drawing" row).
TEST(BatchOutputs, ReadOnlyDrawingsAreAuditedByReportOnlyRuns) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    int status;
    bool reported;
  };
  const std::vector<Case> cases = {
      {"report-only run", {"REPORT_ONLY=1"}, 0, true},
      {"delete run", {}, 1, false},
  };
  for (const Case& c : cases) {
    Scratch s("read_only_audit");
    ASSERT_TRUE(drawingWith(1).write(s.path("archive.dgn")));
    ASSERT_EQ(::chmod(s.path("archive.dgn").c_str(), 0444), 0);
    const std::string original = readFile(s.path("archive.dgn"));
    const RunResult r = runKelvara(s, withSettings(c.settings, {"archive.dgn"}));
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    EXPECT_EQ(readFile(s.path("archive.dgn")), original) << c.name;
    struct stat st {};
    ASSERT_EQ(::stat(s.path("archive.dgn").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u) << c.name;
    EXPECT_FALSE(fs::exists(s.path("archive.bak"))) << c.name;
    const std::string report = readFile(s.path("kelvara.trf"));
    if (c.reported) {
      EXPECT_TRUE(r.err.empty()) << c.name << "\n" << r.err;
      EXPECT_TRUE(contains(r.out,
                           "1 duplicate element was found.\nFile was read-only. Duplicate "
                           "elements have been reported but not removed.\n"))
          << c.name << "\n"
          << r.out;
      EXPECT_TRUE(contains(report, "Mode:                Report only - Non-interactive\n"));
      EXPECT_TRUE(contains(report, "type 3 (line) element is duplicate.")) << report;
      EXPECT_TRUE(
          contains(report, "File archive.dgn is read-only. No changes were made to this file."))
          << report;
      EXPECT_TRUE(fs::exists(s.path("archive.drf"))) << c.name;
    }
  }
}

}  // namespace
}  // namespace kelvara::e2e
