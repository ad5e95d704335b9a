// How a run went, told to the user: each entry that is skipped or fails and each report that
// cannot be written is named in the error field with its reason and the error beneath, and
// counted; the end-of-run summary gives the counts and the full paths of the reports and
// backups the run wrote.
#pragma once

#include <string>

namespace kelvara {

struct DuplicateRun;

// Keeps the first numbered message shown for the current entry (with its argument) as the
// reason the entry fails, and `detail` (else the host's last design-file error) beneath it.
void noteEntryFailure(int number, const std::string& argument, const std::string& detail);

// Names a skipped or failed entry with its reason (the skip message of `outcome`, else the
// message kept for it, else message 1) and counts it.
void reportFailedEntry(DuplicateRun& run, int outcome);

// A report that could not be written (`what`: "text report" or "design report"): named with
// `detail`, and left out of the summary.
void reportLostFile(DuplicateRun& run, const std::string& name, const char* what,
                    const std::string& detail);

// Closes what stays open for the whole run (the run's text report, a design report), checking
// that each was written; a failure marks the run failed.
void closeRunReports(DuplicateRun& run);

// Shows the end-of-run summary (through run.showSummary, else the host's message box).
void showSummary(DuplicateRun& run);

}  // namespace kelvara
