// End-to-end runs of the kelvara executable on generated drawings: reports line by line (dates
// excepted), the summary, the cleaned file read back with our reader and with ogrinfo, report
// naming, word wrap, comparison lists, patterns, empty arguments, a cancelled run and the trace
// log. Backups: backup_test.cpp; skipped and failed entries: failure_report_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "e2e/harness.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using test::DesignBuilder;
using test::Symb;

// Two planted duplicates: elements 0 and 3 are removed (each is processed before its twin).
// Element 5 differs from 0 and 1 by colour only and element 6 is element 2 reversed: neither
// counts with the default settings.
DesignBuilder plantedDrawing(double dx = 0) {
  DesignBuilder d;
  d.add(test::line({dx, 0}, {dx + 10000, 0}));
  d.add(test::line({dx, 0}, {dx + 10000, 0}));
  d.add(test::lineString({{dx, 5000}, {dx + 5000, 5000}, {dx + 5000, 9000}},
                         {.level = 2, .colour = 3}));
  d.add(test::shape({{dx + 20000, 0}, {dx + 30000, 0}, {dx + 30000, 10000}, {dx + 20000, 0}},
                    {.level = 3}));
  d.add(test::shape({{dx + 20000, 0}, {dx + 30000, 0}, {dx + 30000, 10000}, {dx + 20000, 0}},
                    {.level = 3}));
  d.add(test::line({dx, 0}, {dx + 10000, 0}, {.colour = 5}));
  d.add(test::lineString({{dx + 5000, 9000}, {dx + 5000, 5000}, {dx, 5000}},
                         {.level = 2, .colour = 3}));
  return d;
}

std::string pos(const DesignBuilder& d, size_t n) {
  return std::to_string(d.positionOf(n));
}

// The report without its date line (the third line of the title block), and with "S" for the
// seconds a model took (whole seconds of the clock: a short run that crosses one takes 1).
std::vector<std::string> reportWithoutDate(const std::string& path) {
  std::vector<std::string> lines = readLines(path);
  if (lines.size() > 2) lines.erase(lines.begin() + 2);
  for (std::string& line : lines) {
    const size_t in = line.find(" processed in ");
    const size_t end = line.rfind(" seconds.");
    if (in != std::string::npos && end != std::string::npos && end > in + 14)
      line.replace(in + 14, end - in - 14, "S");
  }
  return lines;
}

const std::vector<std::string> kTechnicalNote = {
    "",
    "",
    "Technical Note (Experts Only)",
    "When \"Interactive processing\" is turned off, Kelvara will report only the first element "
    "in each pair of duplicates.",
    "",
    "When \"Interactive processing\" is turned on, if the user chooses to ignore the first "
    "element in a pair of duplicates, Kelvara will then report the second element in that "
    "pair as well. This may result in more duplicate elements being reported than would be "
    "reported when \"Interactive processing\" is turned off.",
    "",
};

TEST(EndToEnd, DeleteRunWithDefaultSettings) {
  Scratch s("delete");
  const DesignBuilder d = plantedDrawing();
  ASSERT_TRUE(d.write(s.path("plan.dgn")));
  const std::string original = readFile(s.path("plan.dgn"));
  const RunResult r = runKelvara(s, {"plan.dgn"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Processing complete.\n\n1 model processed.\n2 duplicate elements were found.\n\n"
            "See \"" +
                s.path("kelvara.trf") + "\" text report file for details.\n" +
                "Design report: " + s.path("plan.drf") + "\nBackup: " + s.path("plan.bak") + "\n");
  EXPECT_EQ(r.err, "");
  // The cleaned file: exactly the first of each pair is gone.
  EXPECT_EQ(deletedPositions(s, s.path("plan.dgn")),
            (std::vector<std::string>{pos(d, 0), pos(d, 3)}));
  // The backup is the file as it was.
  EXPECT_EQ(readFile(s.path("plan.bak")), original);
  if (ogrinfoAvailable()) {
    EXPECT_EQ(ogrFeatureCount(s.path("plan.bak")), 7);
    EXPECT_EQ(ogrFeatureCount(s.path("plan.dgn")), 5);
    // GDAL reads the design report too: the copy of the 7 elements and the 2 duplicates.
    EXPECT_EQ(ogrFeatureCount(s.path("plan.drf")), 9);
  }
  std::vector<std::string> expected = {
      "Kelvara 10.0b",
      "Finds and removes duplicate elements in design files",
      "",
      "Text Report:         kelvara.trf",
      "Run in batch mode.",
      "Report Mode:         kelvara.trf",
      "Mode:                Delete - Non-interactive",
      "Fence:               OFF",
      "Selection Criteria:  ALL ELEMENTS",
      "",
      "File:                plan.dgn",
      "Design Report:       plan.drf",
      "Model:               Default",
      "",
      "  Lv 1, Co 0, Wt 0, St 0, type 3 (line) element was duplicate. Deleted.",
      "  Lv 3, Co 0, Wt 0, St 0, type 6 (shape) element was duplicate. Deleted.",
      "",
      "Kelvara found 2 duplicate elements in this file.",
      "7 elements processed in S seconds.",
      "",
      "",
      "Kelvara found a total of 2 duplicate elements in 1 model.",
  };
  expected.insert(expected.end(), kTechnicalNote.begin(), kTechnicalNote.end());
  EXPECT_EQ(reportWithoutDate(s.path("kelvara.trf")), expected);
}

TEST(EndToEnd, OneReportPerEntryWithEntryIndexesAndWordWrap) {
  Scratch s("perentry");
  for (const char* name : {"a.dgn", "b.dgn", "c.dgn"}) {
    ASSERT_TRUE(plantedDrawing().write(s.path(name)));
  }
  ASSERT_TRUE(plantedDrawing().write(s.path("old.bak")));
  std::ofstream(s.path("three.lst")) << "a.dgn\nb.dgn|c.dgn\nold.bak\n";
  const RunResult r =
      runKelvara(s, {"--set", "ONE_TEXT_REPORT=0", "--set", "ONE_TEXT_EACH_REPORT=1", "--set",
                     "SAME_DIR_TEXT_REPORT=1", "--set", "TEXT_EXTENSION=txt", "--set",
                     "USE_WORD_WRAP_TEXT_REPORT=1", "--set", "WORP_WRAP_POS_TEXT_REPORT=40",
                     "--set", "FILEPOS_IN_REPORT=1", "three.lst"});
  EXPECT_EQ(r.status, 3) << r.err;  // old.bak was skipped
  EXPECT_NE(r.out.find("3 models processed.\n1 model could not be processed.\n"
                       "6 duplicate elements were found.\n0 read-only files were encountered.\n"),
            std::string::npos)
      << r.out;
  const char* reports[] = {"a0.txt", "b1.txt", "c2.txt"};
  for (int i = 0; i < 3; ++i) {
    const std::vector<std::string> lines = reportWithoutDate(s.path(reports[i]));
    ASSERT_GT(lines.size(), 12u) << reports[i];
    // Per-entry reports name themselves in the file block, not in the run header.
    EXPECT_EQ(lines[3], "Run in batch mode.");
    EXPECT_EQ(lines[4],
              "Report Mode:         Text reports will be generated in directories with "
              "corresponding design files.");
    EXPECT_EQ(lines[9], std::string("File:                ") + "abc"[i] + ".dgn");
    EXPECT_EQ(lines[10], std::string("Text Report:         ") + reports[i]);
    // Duplicate lines and the technical note wrap at column 40: duplicate lines are indented
    // 2, their continuation lines 4.
    size_t wrapped = 0;
    bool note = false;
    for (size_t n = 12; n < lines.size(); ++n) {
      note = note || lines[n] == "Technical Note (Experts Only)";
      if (note || lines[n].rfind("  ", 0) == 0) {
        EXPECT_LE(lines[n].size(), 40u) << lines[n];
      }
      if (lines[n].rfind("  ", 0) == 0 && contains(lines[n], "ID=")) {
        ++wrapped;
        ASSERT_LT(n + 1, lines.size());
        EXPECT_EQ(lines[n + 1].rfind("    ", 0), 0u) << lines[n + 1];
      }
    }
    EXPECT_EQ(wrapped, 2u) << reports[i];
  }
  EXPECT_TRUE(fs::exists(s.path("c2.drf")));
  // The skipped entry has a short report of its own: title lines, its name, the message.
  const std::vector<std::string> skipped = reportWithoutDate(s.path("old3.txt"));
  EXPECT_EQ(skipped,
            (std::vector<std::string>{"Kelvara 10.0b",
                                      "Finds and removes duplicate elements in design "
                                      "files",
                                      "", "Text report file name:old3.txt",
                                      "old.bak is a backup file and has been skipped.", ""}));
  EXPECT_FALSE(fs::exists(s.path("old3.drf")));
}

TEST(EndToEnd, PatternMatchingANonDesignFile) {
  Scratch s("pattern");
  ASSERT_TRUE(plantedDrawing().write(s.path("a.dgn")));
  std::ofstream(s.path("notes.dgn")) << "plain text\n";
  const RunResult r = runKelvara(s, {s.path("*.dgn")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("\"" + s.path("notes.dgn") + "\" is not a design file."), std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("1 model processed."), std::string::npos);
  EXPECT_EQ(deletedPositions(s, s.path("a.dgn")).size(), 2u);
}

// Usage errors: CommandLine.UsageErrorsSayWhatIsExpectedAndTouchNothing.
TEST(EndToEnd, NothingMatchedEndsWithStatusOne) {
  Scratch s("empty");
  const RunResult r = runKelvara(s, {"nothing*.dgn"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(contains(r.err, "Argument \"nothing*.dgn\" not valid.")) << r.err;
  EXPECT_TRUE(contains(r.err, "No matching design files found")) << r.err;
}

TEST(EndToEnd, InterruptedRunClosesTheModelWithoutSummary) {
  Scratch s("cancel");
  ASSERT_TRUE(manyLines(200000).write(s.path("big.dgn")));
  const RunResult r = runKelvara(s, {"big.dgn"}, s.path("big.bak"));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, "");  // no summary
  EXPECT_NE(r.err.find("Are you sure you wish to stop processing?"), std::string::npos) << r.err;
  // The model was closed with its line, then finish closed the report with its technical note;
  // the drawing is still readable.
  const std::string report = readFile(s.path("kelvara.trf"));
  EXPECT_TRUE(contains(report, "Kelvara found 0 duplicate elements in this file.\n")) << report;
  EXPECT_NE(report.find("Technical Note (Experts Only)"), std::string::npos);
  EXPECT_EQ(report.find("Kelvara found a total of"), std::string::npos);
  EXPECT_EQ(dumpElements(s, s.path("big.dgn")).size(), 200001u);  // with the header element
}

TEST(EndToEnd, TraceLogAndAModelWithoutElements) {
  Scratch s("trace");
  DesignBuilder empty;
  ASSERT_TRUE(empty.write(s.path("empty.dgn")));
  ASSERT_TRUE(plantedDrawing().write(s.path("plan.dgn")));
  const RunResult r = runKelvara(s, {"empty.dgn", "plan.dgn"}, "", {"TRV_COMPARE_LOG=2"});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.out.find("1 model processed.\n1 model could not be processed.\n"
                       "2 duplicate elements were found.\n"),
            std::string::npos)
      << r.out;
  // The empty model fails without a skip message in the report (its reason is on standard
  // error); the run goes on with the next file.
  EXPECT_NE(r.err.find("error: empty.dgn: The elements of the model could not be loaded"),
            std::string::npos)
      << r.err;
  const std::string report = readFile(s.path("kelvara.trf"));
  EXPECT_NE(report.find("File:                empty.dgn\n"), std::string::npos);
  EXPECT_NE(report.find("File:                plan.dgn\n"), std::string::npos);
  // The trace log lies in the folder of settings under APPDATA.
  const std::string log = traceLog(s);
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.find(": process_startAllV8Files started (intercative = 0)\n"), std::string::npos);
  EXPECT_NE(log.find(": process_nextFil: 1 of 2\n"), std::string::npos);
  EXPECT_NE(log.find(": ......j_getTotals started for 23\n"), std::string::npos);
  EXPECT_NE(log.find(": process_startAllV8Files finished\n"), std::string::npos);
}

// The sampled overlap test traces its start, and on a match the two lines before it ends. The
// first pair is the same line twice; the second pair differs by 300 UOR at one end.
TEST(EndToEnd, TraceLogOfTheSampledOverlapTest) {
  Scratch s("overlap_trace");
  DesignBuilder d;
  d.add(test::line({0, 0}, {10000, 0})).add(test::line({0, 0}, {10000, 0}));
  d.add(test::line({50000, 0}, {60000, 0})).add(test::line({50000, 0}, {60000, 300}));
  ASSERT_TRUE(d.write(s.path("plan.dgn")));
  const RunResult r = runKelvara(s, {"--set", "OVERLAP=1", "--set", "TOLERANCE=0.01", "plan.dgn"},
                                 "", {"TRV_COMPARE_LOG=2"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string log = traceLog(s);
  std::vector<std::string> traced;
  for (const std::string& line : splitLines(log)) {
    const size_t at = line.find(": b_commonOverlappedElements");
    if (at != std::string::npos) traced.push_back(line.substr(at + 2));
  }
  EXPECT_EQ(traced,
            (std::vector<std::string>{
                "b_commonOverlappedElements started", "b_commonOverlappedElements before free",
                "b_commonOverlappedElements end", "b_commonOverlappedElements started"}))
      << log;
}

TEST(EndToEnd, BundledSampleWithNearDuplicateOptions) {
  Scratch s("sample");
  fs::copy_file(std::string(KELVARA_SOURCE_DIR) + "/examples/sample.dgn", s.path("sample.dgn"));
  const RunResult r = runKelvara(s, {"--set", "ALLOW_REVERSED=1", "--set", "ALLOW_UNDERLAP=1",
                                     "--set", "OVERLAP=1", "--set", "TOLERANCE=0.5", "sample.dgn"});
  EXPECT_EQ(r.status, 0) << r.err;
  // Every planted duplicate of every family is found; the copy in another colour is not.
  EXPECT_NE(r.out.find("9 duplicate elements were found."), std::string::npos) << r.out;
  const std::string report = readFile(s.path("kelvara.trf"));
  for (const char* type :
       {"type 3 (line)", "type 4 (line string)", "type 6 (shape)", "type 15 (ellipse)",
        "type 17 (text)", "type 2 (cell (complex))", "type 12 (connected string (complex))"}) {
    EXPECT_NE(report.find(type), std::string::npos) << type;
  }
  EXPECT_EQ(report.find("Lv 1, Co 5"), std::string::npos);
}

}  // namespace
}  // namespace kelvara::e2e
