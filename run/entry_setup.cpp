#include "run/entry_setup.h"

#include <sys/stat.h>

#include <ctime>

#include "engine/load.h"
#include "host/design.h"
#include "host/file_identity.h"
#include "host/files.h"
#include "report/description.h"
#include "run/driver.h"
#include "run/outcome.h"
#include "run/stepper.h"
#include "run/trace_hook.h"
#include "selection/admit.h"
#include "settings/date_text.h"

namespace kelvara {

namespace {

int entryCountOf(const DuplicateRun& run) {
  return static_cast<int>(mdlStringList_size(run.entryList.get()));
}

// Shows the message of a failure of the entry's set-up and keeps it as the entry's reason.
void showEntryFailure(int number, const std::string& argument, const std::string& detail = "") {
  if (number == 0) return;
  (void)runMessage(number, argument.c_str());
  noteEntryFailure(number, argument, detail);
}

void showFailure(const ReportFailure& failure) {
  showEntryFailure(failure.message, failure.argument, failure.detail);
}

// ---- set-up hooks ---------------------------------------------------------------------------

void resetCounters(void*) {
  DuplicateRun& run = duplicateRun();
  run.modelDuplicates = 0;
  run.modelNotDeleted = 0;
  run.modelElements = 0;
}

int backupHook(void*) {
  return backupActiveFile(duplicateRun());
}

int openReportsHook(void*) {
  DuplicateRun& run = duplicateRun();
  const RunSettings& s = runSettings();
  Engine& e = engine();
  const int count = entryCountOf(run);
  ReportFailure failure;
  if (designReport_open(run.designReport, run.designOptions, run.currentFile, run.workingFile,
                        e.activeModel, run.entryIndex, count, &failure) != SUCCESS) {
    showFailure(failure);
    return ERROR;
  }
  if (s.TEXT_REPORT__) {
    // A report created for this entry carries the date of its own creation.
    if (run.textReport.stream == nullptr) run.header.date = reportDateNow();
    if (textReport_openForEntry(run.textReport, run.textOptions, run.header, run.currentFile,
                                run.designReport.name, run.entryIndex, count,
                                &failure) != SUCCESS) {
      showFailure(failure);
      designReport_discard(run.designReport);
      return ERROR;
    }
  }
  run.entryStartTime = stepperNow();
  if (run.designReport.name != NO_REPORT_NAME)
    run.reportFiles.insert(reportFileKey(run.designReport.name));
  if (s.TEXT_REPORT__) run.reportFiles.insert(reportFileKey(run.textReport.name));
  // With text reports off, a report kept open for skip records does not belong to this entry.
  appendToList(run.textReportList.get(), s.TEXT_REPORT__ ? run.textReport.name : NO_REPORT_NAME);
  appendToList(run.designReportList.get(), run.designReport.name);
  run.namesRecorded = true;
  if (s.TEXT_REPORT__) {
    std::string model;
    (void)mdlModelRef_getModelName(e.activeModel, &model);
    textReport_writeFileBlock(run.textReport, run.textOptions, run.currentFile,
                              run.designReport.name, model);
  }
  return SUCCESS;
}

void showMessageHook(int number, const std::string& argument, void*) {
  showEntryFailure(number, argument);
}

// ---- pass hooks -----------------------------------------------------------------------------

// What became of a reported entry of status 21 or 23.
ListOutcome reportedOutcome(const Engine& e, const ElementEntry& entry, bool deleted) {
  if (deleted) return ListOutcome::Removed;
  const bool reviewed = e.settings.interactive && e.step.reportOnlyFromHere == 0 &&
                        entry.filePosition >= e.step.reviewLimit && !e.settings.reportOnly;
  return reviewed ? ListOutcome::KeptInReview : ListOutcome::ReportedOnly;
}

void addListRecord(DuplicateRun& run, const ElementEntry& entry, const MSElementDescr& el,
                   const DescriptionFields& fields, NodeId partner, MatchReason reason,
                   ListOutcome outcome) {
  const Engine& e = engine();
  const ElementEntry* partnerEntry = partner == kNoNode ? nullptr : &entryOf(e.table, partner);
  DuplicateRecords& list = run.listRecords;
  makeListRoom(list, e.table.elementCount);
  addDuplicateRecord(list, entry, el, fields, partnerEntry, reason, outcome).entryIndex =
      run.entryIndex;
}

// The duplicates list and the text report describe a reported element alike: its element and
// description fields are taken once for both.
void reportEntryHook(const ElementEntry& entry, bool deleted, bool component, void*) {
  DuplicateRun& run = duplicateRun();
  const RunSettings& s = runSettings();
  // A deletion the drawing refused (an entity something points at) is reported with the reason.
  std::string why;
  const bool refused = !deleted && engine().step.deleteFailed != 0 &&
                       elementDeletionRefusal(&why, entry.filePosition, entry.modelRef);
  if (refused) ++run.modelNotDeleted;
  const bool list = !runSession().duplicatesList.empty();
  const bool text = s.TEXT_REPORT__ && run.textReport.stream != nullptr;
  ElmDscrPtr read;
  const MSElementDescr* el = list || text ? entryElement(entry, &read) : nullptr;
  if (el != nullptr) {
    const DescriptionFields fields =
        descriptionFields(*el, entry.modelRef, entry.filePosition, entry.status);
    if (list) {
      const Engine& e = engine();
      addListRecord(run, entry, *el, fields, e.matchedCandidate, e.matchedReason,
                    refused ? ListOutcome::NotDeleted : reportedOutcome(e, entry, deleted));
    }
    if (text) {
      textReport_writeDuplicate(
          run.textReport, run.textOptions,
          formatDescription(fields, deleted, component, s.FILEPOS_IN_REPORT != 0) +
              (refused ? " Not deleted: " + why + "." : std::string()));
    }
  }
  if (s.DESIGN_REPORT__ && run.designReport.file != 0) {
    (void)designReport_writeEntry(run.designReport, run.designOptions, entry, entry.status);
  }
}

// The list's record of an element a keep rule or the "Elements Compared" group kept.
// Out of line: the hook runs for every single element, most of which are not kept.
[[gnu::noinline]] void addKeptRecord(DuplicateRun& run, const ElementEntry& entry) {
  const Engine& e = engine();
  ElmDscrPtr read;
  const MSElementDescr* el = entryElement(entry, &read);
  if (el == nullptr) return;
  addListRecord(run, entry, *el,
                descriptionFields(*el, entry.modelRef, entry.filePosition, entry.status),
                e.refusedCandidate, e.refusedReason, ListOutcome::KeptByRule);
}

void designSingleHook(const ElementEntry& entry, int reportClass, void*) {
  DuplicateRun& run = duplicateRun();
  if (entry.status == STATUS_REJECTED && !runSession().duplicatesList.empty()) {
    addKeptRecord(run, entry);
  }
  if (run.designReport.file == 0) return;
  (void)designReport_writeEntry(run.designReport, run.designOptions, entry,
                                static_cast<uint32_t>(reportClass));
}

void consoleHook(const std::string& text, void*) {
  runTrace("%s", text.c_str());
}

void designTrace(const char* line) {
  runTrace("%s", line);
}

}  // namespace

void takeRunOptions(DuplicateRun& run, const RunSettings& s) {
  TextReportOptions& t = run.textOptions;
  t = TextReportOptions{};
  t.enabled = s.TEXT_REPORT__ != 0;
  t.naming.fixedName = s.ONE_TEXT_REPORT != 0;
  t.naming.fileName = s.TEXT_REPORT_FILE_NAME.str();
  t.naming.extension = s.TEXT_EXTENSION.str();
  t.naming.appendExtension = s.TEXT_APPEND_EXT != 0;
  t.naming.sameDirectory = s.SAME_DIR_TEXT_REPORT != 0;
  t.naming.directory = s.TEXT_REPORT_DIR_NAME.str();
  t.perEntry = s.ONE_TEXT_EACH_REPORT != 0;
  t.wordWrap = s.USE_WORD_WRAP_TEXT_REPORT != 0;
  t.wrapColumn = s.WORP_WRAP_POS_TEXT_REPORT;
  t.naming.taken = &run.reportFiles;

  DesignReportOptions& d = run.designOptions;
  d = DesignReportOptions{};
  d.enabled = s.DESIGN_REPORT__ != 0;
  d.naming.extension = s.DESIGN_EXTENSION.str();
  d.naming.appendExtension = s.DESIGN_APPEND_EXT != 0;
  d.naming.sameDirectory = s.SAME_DIR_DESIGN_REPORT != 0;
  d.naming.directory = s.DESIGN_REPORT_DIR_NAME.str();
  d.naming.taken = &run.reportFiles;
  for (int g = 0; g < REPORT_SYMBOLOGY_COUNT; ++g) d.groups[g] = s.reportSymbology[g];
  run.designReport.trace = designTrace;

  RunHeader& h = run.header;
  h = RunHeader{};
  h.secondTitle = runMessageText(MSG_SECOND_TITLE);
  h.date = reportDateNow();
  h.batchMode = runSession().batchMode;
  h.reportMessage = s.TEXT_REPORT_MESSAGE.str();
  h.reportOnly = s.REPORT_ONLY != 0;
  h.interactive = s.INTERACTIVE != 0;
  h.removeAllSelected = s.REMOVE_ALL_SEL != 0;
  h.removeSelectedDuplicates = s.REMOVE_SEL_DUP != 0;
  h.fence = s.FENCE != 0;
  h.criteriaName = s.CRITERIA_NAME_.str();
  h.criteriaDescription = s.CRITERIA_DESCRPT_.str();
  h.removed = ruleGroupFrom(s.rules[RULE_REMOVE]);
  h.compared = ruleGroupFrom(s.rules[RULE_COMPARED]);
}

std::string reportDateNow() {
  const std::time_t now = static_cast<std::time_t>(stepperNow());
  std::tm local{};
  localtime_r(&now, &local);
  return formatDateText(local);
}

void installEntryHooks() {
  SetupHooks& hooks = setupHooks();
  hooks.resetModelCounters = resetCounters;
  hooks.backup = backupHook;
  hooks.openReports = openReportsHook;
  hooks.showMessage = showMessageHook;
  hooks.loadSelectionFile = loadRunListForRun;
  hooks.admitted = admittedForRun;
  hooks.context = nullptr;
  PassReportHooks& report = engine().report;
  report.reportEntry = reportEntryHook;
  report.designReportSingle = designSingleHook;
  report.console = consoleHook;
  // The sampled overlap test writes three lines per comparison: only hand it the log when the
  // log is on, so that a run without it formats nothing there.
  report.trace = runTraceOn() ? designTrace : nullptr;
  report.context = nullptr;
}

std::string backupName(const std::string& designFile) {
  PathParts parts = parseFileName(designFile);
  parts.extension = BACKUP_EXTENSION;
  return buildFileName(parts);
}

int backupActiveFile(DuplicateRun& run) {
  std::string active;
  if (mdlModelRef_getFileName(mdlModelRef_getActive(), &active) != SUCCESS) {
    showEntryFailure(MSG_BACKUP_FAILED, run.currentFile);
    return ERROR;
  }
  const std::string backup = backupName(active);
  // Once per file, whatever name the entry gives it (relative, absolute, through a link). A
  // backup left pending stays so when the file comes again in this run: what the run changes
  // in it, it changed the first time.
  for (const std::string& done : run.backedUp)
    if (sameFile(done, active)) return SUCCESS;
  struct stat st {};
  if (::stat(backup.c_str(), &st) == 0) {
    // An earlier backup is replaced only when this run changes the drawing. One that could
    // not be replaced fails the entry now, before anything changes; a report-only run never
    // replaces it.
    if (!engine().settings.reportOnly && (!S_ISREG(st.st_mode) || isReadOnlyPath(backup))) {
      showEntryFailure(MSG_BACKUP_FAILED, active,
                       backup + ": the backup exists and cannot be replaced");
      return ERROR;
    }
    if (registerPendingBackup(backup, mdlModelRef_getActive()) != SUCCESS) {
      showEntryFailure(MSG_BACKUP_FAILED, active);
      return ERROR;
    }
    run.backedUp.insert(active);
    return SUCCESS;
  }
  if (backupDesignFile(backup, mdlModelRef_getActive()) != SUCCESS) {
    showEntryFailure(MSG_BACKUP_FAILED, active);
    return ERROR;
  }
  run.backedUp.insert(active);
  return SUCCESS;
}

}  // namespace kelvara
