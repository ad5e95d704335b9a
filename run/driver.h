// The run over files and models: a chain of callbacks, not a loop.
//
// process_startAllV8Files starts a run over `entryList`; process_nextFile handles the entry at
// `entryIndex` (sets its model up through the engine, which loads and sorts the elements and
// starts the comparison pass) or, past the last entry, ends the run with the run total line,
// the summary and Finish. The pass runs in slices on the host's event loop (run/stepper.h);
// when it ends, the completion callback counts the model's results, closes the entry and calls
// process_nextFile again. An entry that is skipped (not a design file, read-only, a design
// report, a backup, cannot be opened) or fails after the checks gets its skip message in a
// text report and "N/A" as its design report, is named with its reason in the error field
// (run/outcome.h), and the run goes on.
//
// An entry string is "file,model", split at the first comma; an entry without a comma is all
// file (its default model); the model "<ActiveModel>" or "" stands for the active model.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "host/strings.h"
#include "lists/working_copy.h"
#include "report/design_report.h"
#include "report/duplicates_list.h"
#include "report/text_report.h"

namespace kelvara {

inline constexpr const char* ACTIVE_MODEL_NAME = "<ActiveModel>";
inline constexpr const char* NOT_AVAILABLE = "N/A";
inline constexpr const char* AUTOSAVE_VARIABLE = "MS_DWGAUTOSAVE";
inline constexpr const char* AUTOSAVE_DURING_RUN = "1800";
inline constexpr int MSG_NOT_PROCESSED = 1;  // argument: the design file
inline constexpr int MSG_ENTRY_UNREADABLE = 73;
inline constexpr int MSG_SECOND_TITLE = 3;

// The record of one run. Each run starts from a fresh one (process_startAllV8Files), which
// takes over only the entry list filled for it; what outlives runs is in RunSession. After
// the run it tells how the run went until the next one starts.
struct DuplicateRun {
  StringListOwner entryList;  // the run's input, filled before it starts
  StringListOwner textReportList;
  StringListOwner designReportList;
  int entryIndex = 0;
  std::string currentFile;
  std::string currentModel;
  std::string lastFile;
  std::string startFile;
  std::string workingFile;  // the path really opened for the current entry
  TextReport textReport;
  DesignReport designReport;
  TextReportOptions textOptions;      // taken from the settings at run start
  DesignReportOptions designOptions;  // likewise
  RunHeader header;
  std::string savedAutosave;
  // Counters.
  int totalDuplicates = 0;
  int modelDuplicates = 0;
  int totalNotDeleted = 0;  // duplicates whose deletion the drawing refused
  int modelNotDeleted = 0;
  int modelElements = 0;
  int readOnlyFiles = 0;
  int processedEntries = 0;  // entries processed to their end, reports written
  int failedEntries = 0;     // entries skipped or failed, each named in the error field
  int readOnlySkipped = 0;   // entries skipped as read-only
  int64_t entryStartTime = 0;
  // Why the current entry failed: the first numbered message shown for it and the error
  // beneath (both "" until one is shown).
  std::string entryFailure;
  std::string entryFailureDetail;
  std::vector<std::string> lostFiles;  // reports of this run that could not be written
  // Report files this run has written or opened (full paths), so that no two entries write
  // the same one.
  std::set<std::string> reportFiles;
  // How the run went.
  bool running = false;            // between start and Finish
  bool namesRecorded = false;      // the current entry's report names are in the lists
  bool completed = false;          // the run reached its end and showed the summary
  bool cancelled = false;          // the cancel question was confirmed
  bool hostExitRequested = false;  // batch mode: the host ends after Finish
  bool saveFailed = false;         // closing the design files could not write a change
  bool runFailed = false;          // the run stopped at an entry or lost a run-wide report
  std::set<std::string> backedUp;  // files backed up (or their backup left pending) in this run
  // The duplicates list's records, when the session asks for a list; written when the run's
  // reports are closed (listClosed then).
  DuplicateRecords listRecords;
  bool listClosed = false;
  WorkingCopySlot slots[2];
};

// What outlives a run: how the process was started and where summaries go.
struct RunSession {
  bool batchMode = false;
  bool unattended = false;
  // Shows the end-of-run summary; default: the host's message box with OK.
  std::function<void(const std::string& text)> showSummary;
  // The review of an interactive run: called when the pass waits at a duplicate or at an
  // element that cannot be read. Unset, nothing resumes the pass.
  std::function<void()> reviewPause;
  // Called at the end of Finish when the host goes on (not in batch mode): the application
  // brings its dialogs back.
  std::function<void()> runFinished;
  // Starts an unattended run once its entry list is filled; unset: process_startAllV8Files.
  std::function<void()> startRun;
  // The entry to process after entry `finished` (-1: before the first); unset, the next one.
  // An index past the list ends the run.
  std::function<int(int finished)> nextEntry;
  // Called when the run ends (past its last entry, or cancelled) before the run's reports are
  // closed.
  std::function<void()> runEnding;
  // Where each run writes its duplicates list (.csv or .geojson); "" for none.
  std::string duplicatesList;
};

// The record of the current (or last) run.
DuplicateRun& duplicateRun();
// The process's session.
RunSession& runSession();

// Creates entryList and the two report name lists anew (empty).
void createRunLists();

// Appends one text to a string list.
void appendToList(StringList* list, const std::string& text);
// Member `index` of a list as 8-bit text ("" when out of range).
std::string listMember(StringList* list, long index);

// Splits an entry at its first comma into file and model.
void splitEntry(const std::string& entry, std::string* file, std::string* model);

// Starts a run over entryList (parentDialog: the dialog that started it, null from arguments).
void process_startAllV8Files(void* parentDialog);

// Processes the entry at entryIndex, or ends the run. SUCCESS when the entry's comparison has
// been started; ERROR when it was skipped or failed (the run goes on with the next entry) or
// when the run has ended.
int process_nextFile(int continuing, void* reviewDialog);

// Called by the stepper: -3 the model's comparison has ended, -4 a pause for the review.
void compareCompleted(int code);

// Resumes the pass paused for the review: reports the reviewed entry and goes on with the
// next one (with `reportOnly` the rest of the model is only reported). Nothing happens while
// the comparison runs.
void resumeComparison(bool reportOnly);

// Closes the current entry's working copy and reports and frees its element table. False when
// a report of the entry could not be written (named in the error field).
bool perModelClose();

// Closes the run: restores the autosave setting, closes open reports, and in batch mode closes
// the design files (writing their changes) and asks the host to end. Harmless when repeated.
void finishRun();

// The cancel path: close the current model and finish the run, without a summary.
void cancelRun();

}  // namespace kelvara
