// The lines written about the counters: per-file lines, elapsed time, run total, summary. The
// counts themselves are those of every run through the executable (EndToEnd).
#include "run/totals.h"

#include <gtest/gtest.h>

namespace kelvara {
namespace {

TEST(Totals, ElapsedTime) {
  const struct {
    int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "0 seconds"},    {59, "59 seconds"},       {60, "1.0 minutes"},
      {90, "1.5 minutes"}, {3599, "60.0 minutes"},   {3600, "1.0 hours"},
      {5400, "1.5 hours"}, {1800000, "500.0 hours"}, {1800060, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(elapsedText(c.seconds), c.text) << c.seconds;
}

TEST(Totals, PerFileAndElapsedLines) {
  EXPECT_EQ(perFileResultText(0), "Kelvara found 0 duplicate elements in this file.\n");
  EXPECT_EQ(perFileResultText(1), "\nKelvara found 1 duplicate element in this file.\n");
  EXPECT_EQ(perFileResultText(12), "\nKelvara found 12 duplicate elements in this file.\n");
  EXPECT_EQ(elapsedLineText(0, 5), "");
  EXPECT_EQ(elapsedLineText(1, 5), "1 element processed in 5 seconds.\n\n");
  EXPECT_EQ(elapsedLineText(10, 60), "10 elements processed in 1.0 minutes.\n\n");
  EXPECT_EQ(elapsedLineText(10, 2000000), "");  // more than 500 hours
  EXPECT_EQ(readOnlySentence("/d/a.dgn"),
            "File /d/a.dgn is read-only. No changes were made to this file.");
}

TEST(Totals, RunTotalLine) {
  EXPECT_EQ(runTotalText(1, 1), "\nKelvara found a total of 1 duplicate element in 1 model.\n");
  EXPECT_EQ(runTotalText(0, 3), "\nKelvara found a total of 0 duplicate elements in 3 models.\n");
}

// One model, a batch, a read-only file skipped and text reports off are checked through the
// executable (EndToEnd, FailureReport).
TEST(Totals, Summary) {
  struct Case {
    const char* name;
    SummaryInputs in;
    std::string expected;
  };
  SummaryInputs readOnly;
  readOnly.models = readOnly.processed = readOnly.totalDuplicates = readOnly.readOnlyFiles = 1;
  SummaryInputs batch{.models = 3,
                      .processed = 2,
                      .failed = 1,
                      .readOnlyFiles = 1,
                      .unattended = true,
                      .textReports = {"/r/a0.trf", "/r/b1.trf"},
                      .designReports = {"/r/a0.drf", "/r/b1.drf"},
                      .backups = {"/r/a.bak", "/r/b.bak"},
                      .duplicatesList = "/r/dups.csv"};
  SummaryInputs nothingWritten;
  nothingWritten.models = nothingWritten.processed = 2;
  nothingWritten.unattended = true;
  SummaryInputs onlyAList = nothingWritten;
  onlyAList.duplicatesList = "/r/dups.geojson";
  const std::vector<Case> cases = {
      {"one read-only model, reported", readOnly,
       "Processing complete.\n\n1 model processed.\n1 duplicate element was found.\n"
       "File was read-only. Duplicate elements have been reported but not removed.\n"
       "\nClick the <View Text Report> button for details.\n"},
      {"a batch with a failed entry", batch,
       "Processing complete.\n\n2 models processed.\n1 model could not be processed.\n"
       "0 duplicate elements were found.\n1 read-only file was encountered.\n\n"
       "See the text report files for details:\n  /r/a0.trf\n  /r/b1.trf\n"
       "Design reports:\n  /r/a0.drf\n  /r/b1.drf\nBackups:\n  /r/a.bak\n  /r/b.bak\n"
       "Duplicates list: /r/dups.csv\n"},
      {"nothing written", nothingWritten,
       "Processing complete.\n\n2 models processed.\n0 duplicate elements were found.\n"
       "0 read-only files were encountered.\n"},
      {"only a duplicates list", onlyAList,
       "Processing complete.\n\n2 models processed.\n0 duplicate elements were found.\n"
       "0 read-only files were encountered.\n\nDuplicates list: /r/dups.geojson\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(summaryText(c.in), c.expected) << c.name;
}

TEST(Totals, EntryFailureLine) {
  EXPECT_EQ(entryFailureLine("a.dgn", "a.dgn is a read-only file and has been skipped.", ""),
            "a.dgn is a read-only file and has been skipped.");
  EXPECT_EQ(entryFailureLine("a.dgn", "The model has no elements.", "a.dgn: no such file"),
            "a.dgn: The model has no elements. (a.dgn: no such file)");
}

}  // namespace
}  // namespace kelvara
