// Counters and the lines written about them: per-file lines, elapsed time, run total, summary.
#include "run/totals.h"

#include <gtest/gtest.h>

#include "engine/element_table.h"

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

TEST(Totals, Summary) {
  SummaryInputs one;
  one.models = 1;
  one.totalDuplicates = 1;
  one.readOnlyFiles = 1;
  one.unattended = false;
  EXPECT_EQ(summaryText(one),
            "Processing complete.\n\n1 model processed.\n1 duplicate element was found.\n"
            "File was read-only. Duplicate elements have been reported but not removed.\n"
            "\nClick the <View Text Report> button for details.\n");

  SummaryInputs two;
  two.models = 2;
  two.totalDuplicates = 0;
  two.unattended = true;
  two.sameDirTextReport = true;
  two.textReportMessage =
      "Text reports will be generated in directories with corresponding "
      "design files.";
  EXPECT_EQ(summaryText(two),
            "Processing complete.\n\n2 models processed.\n0 duplicate elements were found.\n"
            "0 read-only files were encountered.\n\nText reports will be generated in "
            "directories with corresponding design files.\n");

  SummaryInputs fixed = two;
  fixed.sameDirTextReport = false;
  fixed.readOnlyFiles = 1;
  fixed.textReportFileName = "/r/kelvara.trf";
  EXPECT_EQ(summaryText(fixed),
            "Processing complete.\n\n2 models processed.\n0 duplicate elements were found.\n"
            "1 read-only file was encountered.\n\nSee \"/r/kelvara.trf\" text report file "
            "for details.\n");

  SummaryInputs dir = fixed;
  dir.diffDirTextReport = true;
  dir.textReportDirName = "/r";
  const std::string expectDir = "\nSee text report files in \"/r\" directory for details.\n";
  EXPECT_NE(summaryText(dir).find(expectDir), std::string::npos);
  dir.sameDirTextReport = true;  // both on: the directory wins over the description
  EXPECT_NE(summaryText(dir).find(expectDir), std::string::npos);

  SummaryInputs none;  // one model, not read-only: no read-only line at all
  none.models = 1;
  none.unattended = true;
  none.textReportFileName = "k.trf";
  EXPECT_EQ(summaryText(none),
            "Processing complete.\n\n1 model processed.\n0 duplicate elements were found.\n"
            "\nSee \"k.trf\" text report file for details.\n");
}

TEST(Totals, CountsByStatus) {
  EXPECT_EQ(j_getTotals(nullptr, STATUS_DUPLICATE), 0);
  ElementTable table;
  EXPECT_EQ(j_getTotals(&table, TOTALS_ALL_ENTRIES), 0);
  (void)appendSentinel(table);
  const uint32_t statuses[] = {STATUS_DUPLICATE, STATUS_UNIQUE, STATUS_DUPLICATE,
                               STATUS_REMOVED_ALL, STATUS_LOADED};
  uint32_t position = 100;
  for (uint32_t status : statuses) {
    ElementSummary element;
    element.elementType = 3;
    ASSERT_NE(appendElement(table, 1, StatusPair{status, 1}, position++, element), kNoNode);
  }
  EXPECT_EQ(j_getTotals(&table, TOTALS_ALL_ENTRIES), 6);  // the sentinel counts
  EXPECT_EQ(j_getTotals(&table, STATUS_DUPLICATE), 2);
  EXPECT_EQ(j_getTotals(&table, STATUS_REMOVED_ALL), 1);
  EXPECT_EQ(j_getTotals(&table, STATUS_REJECTED), 0);
  EXPECT_EQ(j_getTotals(&table, STATUS_SENTINEL), 1);
  clearTable(table);
  EXPECT_EQ(j_getTotals(&table, TOTALS_ALL_ENTRIES), 0);
}

}  // namespace
}  // namespace kelvara
