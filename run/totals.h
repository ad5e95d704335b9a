// What a run counts and the lines it writes about the counts: the per-file result lines, the
// elapsed-time line, the run total line and the end-of-run summary.
//
// The counters live in the run state (run/driver.h); the functions here compute and format.
// Every text is built by a pure function so that tests can check it exactly; the writers take
// an open stream (nothing is written without one).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/element_table.h"
#include "report/text_report.h"

namespace kelvara {

inline constexpr uint32_t TOTALS_ALL_ENTRIES = 4;

// Counts the table's entries with `status`; status 4 counts every entry (the sentinel
// included) by following the load order. A null table gives 0. Writes a trace line.
int j_getTotals(const ElementTable* table, uint32_t status);

// "%.0f seconds" / "%.1f minutes" / "%.1f hours" for an elapsed time; "" when above 500 hours.
std::string elapsedText(int64_t seconds);

// The per-file result lines after the read-only sentence (which the caller writes): an empty
// line when there were duplicates, then "Kelvara found N duplicate element(s) in this file.",
// then, when the drawing refused some deletions, "N of them could not be deleted.".
std::string perFileResultText(int modelDuplicates, int notDeleted = 0);

// "N element(s) processed in T.\n\n"; "" when there were no elements or the time is too long.
std::string elapsedLineText(int modelElements, int64_t seconds);

// "\nKelvara found a total of N duplicate element(s) in M model(s).\n".
std::string runTotalText(int totalDuplicates, int models);

// "File %s is read-only. No changes were made to this file."
std::string readOnlySentence(const std::string& file);

// What the summary needs besides the counters.
struct SummaryInputs {
  int models = 0;     // entries of the run
  int processed = 0;  // entries processed to their end
  int failed = 0;     // entries skipped or failed
  int totalDuplicates = 0;
  int notDeleted = 0;  // duplicates whose deletion the drawing refused
  int readOnlyFiles = 0;
  int readOnlySkipped = 0;  // read-only entries skipped, so nothing was reported for them
  bool unattended = false;
  // Full paths of what the run wrote: text reports (none named with text reports off), design
  // reports and backups.
  std::vector<std::string> textReports;
  std::vector<std::string> designReports;
  std::vector<std::string> backups;
  std::string duplicatesList;  // the duplicates list written (--list), "" for none
};

// The end-of-run summary text.
std::string summaryText(const SummaryInputs& in);

// The line that names a skipped or failed entry: the reason (prefixed with the file when it
// does not name it), then the underlying error in parentheses when there is one.
std::string entryFailureLine(const std::string& file, const std::string& reason,
                             const std::string& detail);

}  // namespace kelvara
