#include "run/driver.h"

#include "engine/load.h"
#include "engine/pass.h"
#include "host/config.h"
#include "host/design.h"
#include "host/file_identity.h"
#include "host/selection.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/entry_setup.h"
#include "run/outcome.h"
#include "run/stepper.h"
#include "run/totals.h"
#include "run/trace_hook.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

int nextEntryAfter(int finished) {
  const RunSession& session = runSession();
  return session.nextEntry ? session.nextEntry(finished) : finished + 1;
}

long entryCount() {
  return mdlStringList_size(duplicateRun().entryList.get());
}

void showFailure(const ReportFailure& failure) {
  if (failure.message != 0) (void)runMessage(failure.message, failure.argument.c_str());
}

// Records the report names of a skipped or failed entry: its text report and "N/A".
void recordSkippedNames(DuplicateRun& run) {
  if (run.namesRecorded) {
    const long last = mdlStringList_size(run.designReportList.get()) - 1;
    if (last >= 0)
      (void)mdlStringList_setMember(run.designReportList.get(), last, toWide(NOT_AVAILABLE),
                                    nullptr);
    return;
  }
  appendToList(run.textReportList.get(), run.textReport.name);
  appendToList(run.designReportList.get(), NOT_AVAILABLE);
}

// A skipped or failed entry: its design report is dropped, its skip message goes into a text
// report (opened for it when none is open) and its report names are recorded, "N/A" for the
// design report. ERROR when no text report could be opened for it (the run then stops here).
int handleSkippedEntry(DuplicateRun& run, const std::string& entryText) {
  Engine& e = engine();
  reportFailedEntry(run, e.setupOutcome);
  // A failure after the reports were opened: the design report of the entry is dropped (the
  // entry's design report is "N/A").
  designReport_discard(run.designReport);
  clearTable(e.table);
  const int outcome = e.setupOutcome;
  if (run.textReport.stream == nullptr) run.header.date = reportDateNow();
  ReportFailure failure;
  if (textReport_recordSkip(run.textReport, run.textOptions, run.header, entryText, run.currentFile,
                            outcome, run.entryIndex, static_cast<int>(entryCount()),
                            &failure) != SUCCESS) {
    showFailure(failure);
    run.runFailed = true;
    (void)mdlOutput_error(entryFailureLine(
        run.currentFile,
        "The run has been stopped: the skip could not be recorded in a text report.",
        failure.detail));
    return ERROR;
  }
  run.reportFiles.insert(reportFileKey(run.textReport.name));
  recordSkippedNames(run);
  return SUCCESS;
}

// The client the stepper drives for the current model.
StepperClient passClient() {
  StepperClient client;
  client.step = [] {
    Engine& e = engine();
    const int code = passStep(e);
    if (code != PASS_REVIEW || e.settings.interactive) return code;
    // Without a review nothing could resume a pause: an element that cannot be read is
    // passed over and the pass goes on with the next entry.
    const NodeId node = e.step.current;
    runTrace("element at %u cannot be read and has been passed over\n",
             node == kNoNode ? 0u : entryOf(e.table, node).filePosition);
    if (node == kNoNode) return STEP_ENDED;
    (void)tableOp(e.table, node, ENTRY_RELEASE);
    ++e.step.processed;
    e.step.current = nextNode(e.table, node, LoadOrder);
    e.table.current = e.step.current;
    return STEP_GO_ON;
  };
  client.processed = [] { return engine().step.processed; };
  client.total = [] { return engine().step.total; };
  client.completion = compareCompleted;
  client.cancelRun = cancelRun;
  return client;
}

// The per-file result lines (read-only sentence, duplicates found, elapsed time).
void writePerFileLines(DuplicateRun& run) {
  Engine& e = engine();
  const bool open = run.textReport.stream != nullptr;
  std::string activeFile;
  (void)mdlModelRef_getFileName(mdlModelRef_getActive(), &activeFile);
  if (e.activeModel != 0 && !isWritable(e)) {
    if (open) {
      ++run.readOnlyFiles;
      textReport_write(run.textReport, readOnlySentence(activeFile) + "\n");
    }
  }
  if (open)
    textReport_write(run.textReport, perFileResultText(run.modelDuplicates, run.modelNotDeleted));
  if (!open) return;
  textReport_write(run.textReport,
                   elapsedLineText(run.modelElements, stepperNow() - run.entryStartTime));
}

}  // namespace

DuplicateRun& duplicateRun() {
  static DuplicateRun run;
  return run;
}

RunSession& runSession() {
  static RunSession session;
  return session;
}

void appendToList(StringList* list, const std::string& text) {
  long index = -1;
  if (list == nullptr || mdlStringList_insertMember(&index, list, -1, 1) != SUCCESS) return;
  (void)mdlStringList_setMember(list, index, toWide(text), nullptr);
}

std::string listMember(StringList* list, long index) {
  const wchar_t* text = nullptr;
  if (mdlStringList_getMember(&text, nullptr, list, index) != SUCCESS || text == nullptr) {
    return std::string();
  }
  return toNarrow(text);
}

void createRunLists() {
  DuplicateRun& run = duplicateRun();
  run.entryList.reset(mdlStringList_create(0, 1));
  run.textReportList.reset(mdlStringList_create(0, 1));
  run.designReportList.reset(mdlStringList_create(0, 1));
}

void splitEntry(const std::string& entry, std::string* file, std::string* model) {
  const size_t comma = entry.find(',');
  if (comma == std::string::npos) {
    *file = entry;
    model->clear();
    return;
  }
  *file = entry.substr(0, comma);
  *model = entry.substr(comma + 1);
}

void process_startAllV8Files(void* parentDialog) {
  (void)parentDialog;
  DuplicateRun& run = duplicateRun();
  RunSettings& s = runSettings();
  runTrace("process_startAllV8Files started (intercative = %d)\n", s.INTERACTIVE);
  // A fresh record: nothing of an earlier run (cancelled or not) carries over but the entry
  // list filled for this one.
  StringListOwner entries = std::move(run.entryList);
  run = DuplicateRun{};
  run.entryList = std::move(entries);
  run.textReportList.reset(mdlStringList_create(0, 1));
  run.designReportList.reset(mdlStringList_create(0, 1));
  run.running = true;
  if (!runSession().batchMode) {
    (void)mdlSelect_freeAll();
    (void)mdlModelRef_getFileName(mdlModelRef_getActive(), &run.startFile);
  }
  takeRunOptions(run, s);
  installEntryHooks();
  for (WorkingCopySlot& slot : run.slots) prepareSlot(slot);
  run.savedAutosave.clear();
  if (mdlSystem_getCfgVar(&run.savedAutosave, AUTOSAVE_VARIABLE) != SUCCESS) {
    run.savedAutosave.clear();
  }
  if (!run.savedAutosave.empty()) {
    (void)mdlSystem_defineCfgVar(AUTOSAVE_VARIABLE, AUTOSAVE_DURING_RUN);
  }
  run.entryIndex = nextEntryAfter(-1);
  if (process_nextFile(0, nullptr) != SUCCESS) {
    runTrace("process_startAllV8Files next !SUCCESS\n");
    finishRun();
  }
  runTrace("process_startAllV8Files finished\n");
}

int process_nextFile(int /*continuing*/, void* reviewDialog) {
  DuplicateRun& run = duplicateRun();
  Engine& e = engine();
  runTrace("process_nextFile started\n");
  if (run.entryIndex == 0) {
    run.lastFile.clear();
    run.currentFile.clear();
    run.currentModel.clear();
  }
  // Skipped entries go on with the next one in this loop rather than by recursion, so that a
  // long list of skipped files cannot exhaust the stack.
  while (true) {
    runTrace("process_nextFil: %d of %d\n", run.entryIndex, static_cast<int>(entryCount()));
    if (run.entryIndex >= entryCount()) break;
    const wchar_t* member = nullptr;
    if (mdlStringList_getMember(&member, nullptr, run.entryList.get(), run.entryIndex) != SUCCESS) {
      (void)runMessage(MSG_ENTRY_UNREADABLE);
      return ERROR;
    }
    const std::string entryText = toNarrow(member);
    splitEntry(entryText, &run.currentFile, &run.currentModel);
    if (run.entryIndex > 0 && stepperTimerArmed()) cancelStepperTimer();
    run.workingFile = run.currentFile;
    int result = checkOut(run.slots[0], &run.workingFile, 0) == 0 ? SUCCESS : ERROR;
    run.namesRecorded = false;
    run.entryFailure.clear();
    run.entryFailureDetail.clear();
    designState().lastError.clear();
    e.setupOutcome = SETUP_BEGUN;
    if (result == SUCCESS) {
      const bool fileChanged = !sameFile(run.currentFile, run.lastFile);
      const std::string model =
          run.currentModel.empty() ? std::string(ACTIVE_MODEL_NAME) : run.currentModel;
      e.settings = engineSettingsFrom(runSettings());
      result = setUpModel(e, reviewDialog, run.currentFile, model, run.workingFile, fileChanged);
      if (e.setupOutcome == SETUP_READ_ONLY) ++run.readOnlyFiles;
    }
    if (result != ERROR) {
      run.lastFile = run.currentFile;
      std::string modelName;
      if (mdlModelRef_getModelName(mdlModelRef_getActive(), &modelName) == SUCCESS &&
          (run.currentModel.empty() || run.currentModel == ACTIVE_MODEL_NAME)) {
        run.currentModel = modelName;
      }
      (void)mdlStringList_setMember(run.entryList.get(), run.entryIndex,
                                    toWide(run.currentFile + "," + run.currentModel), nullptr);
      runTrace("process_nextFile return (%d)\n", result);
      startStepper(passClient(), CANCEL_QUESTION);
      return SUCCESS;
    }
    if (handleSkippedEntry(run, entryText) != SUCCESS) return ERROR;
    finishSlot(run.slots[0], nullptr);
    run.entryIndex = nextEntryAfter(run.entryIndex);
    runTrace("process_nextFile return (%d)\n", ERROR);
  }
  // The run is over. The reports are closed before the summary, so that it names only what
  // was written.
  if (runSession().runEnding) runSession().runEnding();
  if (run.textReport.stream != nullptr) {
    textReport_write(run.textReport,
                     runTotalText(run.totalDuplicates, static_cast<int>(entryCount())));
  }
  closeRunReports(run);
  showSummary(run);
  run.completed = true;
  finishRun();
  return ERROR;
}

void compareCompleted(int code) {
  DuplicateRun& run = duplicateRun();
  Engine& e = engine();
  if (code != STEP_ENDED && code != STEP_PAUSE) {
    runTrace("Incomplete switch intmode 352\n");
    return;
  }
  mdlUtil_beep(2);
  if (code == STEP_PAUSE) {  // the interactive review takes over from here
    if (runSession().reviewPause) runSession().reviewPause();
    return;
  }
  const RunSettings& s = runSettings();
  run.modelDuplicates =
      j_getTotals(&e.table, s.REMOVE_ALL_SEL ? STATUS_REMOVED_ALL : STATUS_DUPLICATE);
  run.modelElements = j_getTotals(&e.table, TOTALS_ALL_ENTRIES) - 1;
  if (run.modelElements < 0) run.modelElements = 0;
  if (perModelClose()) {
    ++run.processedEntries;
  } else {
    ++run.failedEntries;
  }
  run.entryIndex = nextEntryAfter(run.entryIndex);
  (void)process_nextFile(1, nullptr);
  (void)mdlOutput_prompt("");
}

void resumeComparison(bool reportOnly) {
  if (stepperState().running || !duplicateRun().running) return;
  Engine& e = engine();
  (void)startPass(e, e.step.reviewDialog, reportOnly);
  startStepper(passClient(), CANCEL_QUESTION);
}

bool perModelClose() {
  DuplicateRun& run = duplicateRun();
  const RunSettings& s = runSettings();
  bool written = true;
  finishSlot(run.slots[0], nullptr);
  run.totalDuplicates += run.modelDuplicates;
  run.totalNotDeleted += run.modelNotDeleted;
  if (s.TEXT_REPORT__) writePerFileLines(run);
  if (run.textReport.stream != nullptr && s.ONE_TEXT_EACH_REPORT &&
      textReport_endEntry(run.textReport, run.textOptions) != SUCCESS) {
    written = false;
    reportLostFile(run, run.textReport.name, "text report", run.textReport.error);
  }
  if (run.designReport.file != 0 && designReport_close(run.designReport) != SUCCESS) {
    written = false;
    reportLostFile(run, run.designReport.name, "design report", lastDesignError());
  }
  clearTable(engine().table);
  engine().keys.clear();
  return written;
}

void finishRun() {
  DuplicateRun& run = duplicateRun();
  for (WorkingCopySlot& slot : run.slots) finishSlot(slot, nullptr);
  if (!run.savedAutosave.empty()) {
    (void)mdlSystem_defineCfgVar(AUTOSAVE_VARIABLE, run.savedAutosave);
  }
  closeRunReports(run);
  run.running = false;
  if (runSession().batchMode) {
    if (closeAllDesignFiles() != SUCCESS) {
      run.saveFailed = true;
      const std::string& why = lastDesignError();
      if (!why.empty()) (void)mdlOutput_error(why);
    }
    run.hostExitRequested = true;
    requestEventLoopStop();
    return;
  }
  std::string active;
  (void)mdlModelRef_getFileName(mdlModelRef_getActive(), &active);
  // Going back to the start file writes the changes of the file the run ended on.
  if (!run.startFile.empty() && !sameFile(active, run.startFile) &&
      mdlSystem_newDesignFile(run.startFile) != SUCCESS) {
    run.saveFailed = true;
    (void)mdlOutput_error(lastDesignError());
  }
  (void)mdlOutput_prompt("");
  if (runSession().runFinished) runSession().runFinished();
}

void cancelRun() {
  DuplicateRun& run = duplicateRun();
  run.cancelled = true;
  (void)perModelClose();
  if (runSession().runEnding) runSession().runEnding();
  finishRun();
}

}  // namespace kelvara
