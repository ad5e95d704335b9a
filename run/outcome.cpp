#include "run/outcome.h"

#include <algorithm>
#include <filesystem>
#include <thread>

#include "host/design.h"
#include "host/ui.h"
#include "run/driver.h"
#include "run/entry_setup.h"
#include "run/totals.h"
#include "run/trace_hook.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

// Full paths of the members of a name list, once each, without the placeholders and the lost.
std::vector<std::string> writtenNames(const DuplicateRun& run, StringList* list) {
  std::vector<std::string> out;
  for (long i = 0; i < mdlStringList_size(list); ++i) {
    const std::string name = listMember(list, i);
    if (name.empty() || name == NOT_AVAILABLE || name == NO_REPORT_NAME) continue;
    if (std::find(run.lostFiles.begin(), run.lostFiles.end(), name) != run.lostFiles.end())
      continue;
    const std::string full = reportFileKey(name);
    if (std::find(out.begin(), out.end(), full) == out.end()) out.push_back(full);
  }
  return out;
}

}  // namespace

// Names a skipped or failed entry in the error field with its reason (the skip message, else
// the message shown for it) and the error beneath, and counts it.
void reportFailedEntry(DuplicateRun& run, int outcome) {
  std::string reason = skipMessage(outcome, run.currentFile);
  std::string detail;
  if (!reason.empty()) {
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    if (outcome == SETUP_OPEN_FAILED || outcome == SETUP_NOT_DESIGN_FILE)
      detail = lastDesignError();
  } else {
    reason = run.entryFailure.empty() ? runMessageText(MSG_NOT_PROCESSED, run.currentFile.c_str())
                                      : run.entryFailure;
    detail = run.entryFailureDetail;
  }
  (void)mdlOutput_error(entryFailureLine(run.currentFile, reason, detail));
  ++run.failedEntries;
  if (outcome == SETUP_READ_ONLY) ++run.readOnlySkipped;
}

// A report that could not be written: named in the error field and left out of the summary.
void reportLostFile(DuplicateRun& run, const std::string& name, const char* what,
                    const std::string& detail) {
  run.lostFiles.push_back(name);
  (void)mdlOutput_error(
      entryFailureLine(name, std::string("The ") + what + " could not be written.", detail));
}

// Closes what stays open for the whole run (the run's text report, a design report, the
// duplicates list), checking that each was written. The run is over, so the list's records are
// final: it is written on a thread of its own while the reports are finished.
void closeRunReports(DuplicateRun& run) {
  const std::string& listName = runSession().duplicatesList;
  std::jthread listWriter;  // joined on the way out, whatever happens
  int listWritten = SUCCESS;
  std::string listError;
  if (!listName.empty() && !run.listClosed) {
    run.listClosed = true;
    listWriter = std::jthread(
        [&] { listWritten = writeDuplicatesList(listName, run.listRecords, &listError); });
  }
  const std::string textName = run.textReport.name;
  if (textReport_finish(run.textReport, run.textOptions) != SUCCESS) {
    run.runFailed = true;
    reportLostFile(run, textName, "text report", run.textReport.error);
  }
  const std::string designName = run.designReport.name;
  if (designReport_close(run.designReport) != SUCCESS) {
    run.runFailed = true;
    reportLostFile(run, designName, "design report", lastDesignError());
  }
  if (!listWriter.joinable()) return;
  listWriter.join();
  if (listWritten != SUCCESS) {
    run.runFailed = true;
    reportLostFile(run, listName, "duplicates list", listError);
  }
  run.listRecords = {};
}

void showSummary(DuplicateRun& run) {
  const RunSettings& s = runSettings();
  SummaryInputs in;
  in.models = static_cast<int>(mdlStringList_size(run.entryList.get()));
  in.processed = run.processedEntries;
  in.failed = run.failedEntries;
  in.totalDuplicates = run.totalDuplicates;
  in.notDeleted = run.totalNotDeleted;
  in.readOnlyFiles = run.readOnlyFiles;
  in.readOnlySkipped = run.readOnlySkipped;
  in.unattended = runSession().unattended;
  if (s.TEXT_REPORT__) in.textReports = writtenNames(run, run.textReportList.get());
  in.designReports = writtenNames(run, run.designReportList.get());
  for (const std::string& drawing : run.backedUp)
    in.backups.push_back(reportFileKey(backupName(drawing)));
  const std::string& list = runSession().duplicatesList;
  if (!list.empty() && run.listClosed &&
      std::find(run.lostFiles.begin(), run.lostFiles.end(), list) == run.lostFiles.end()) {
    in.duplicatesList = reportFileKey(list);
  }
  const std::string text = summaryText(in);
  const RunSession& session = runSession();
  if (session.showSummary) {
    session.showSummary(text);
  } else {
    (void)mdlDialog_openMessageBox(MessageBoxButtons::Ok, text);
  }
}

void noteEntryFailure(int number, const std::string& argument, const std::string& detail) {
  DuplicateRun& run = duplicateRun();
  if (!run.entryFailure.empty()) return;
  run.entryFailure = runMessageText(number, argument.c_str());
  run.entryFailureDetail = detail.empty() ? lastDesignError() : detail;
}

}  // namespace kelvara
