// The text report: a plain 8-bit text file that tells what a run found. It holds a run header
// with the settings in force, a block per processed file and model, one line per reported
// duplicate, the per-file and run totals the driver writes, skip messages and, when the report
// is closed, a technical note. A run writes either one report for the whole run (it stays open
// from the first entry to the end of the run) or one per entry.
//
// The run keeps a `TextReport` (the open stream and its name) and calls, per entry: open for the
// entry, write the file block, write duplicate lines, then end of entry; at the end of the run,
// finish. A report is written to a temporary file beside its final name and moves into place
// when it is closed, so an existing file of that name is replaced only by a complete report.
// Failures come back as the number of the message to show and its argument; showing it is
// the caller's job. Report names are also built here for the design report.
#pragma once

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "engine/pass.h"
#include "host/files.h"
#include "kelvara_version.h"

namespace kelvara {

inline constexpr const char* PRODUCT_NAME = "Kelvara";
// The product version (the project version in CMakeLists.txt), printed by --version too.
inline constexpr const char* PRODUCT_VERSION = KELVARA_PRODUCT_VERSION;
// Longest report path, in bytes.
inline constexpr size_t MAX_REPORT_NAME = 255;
// Report name of an entry for which a report kind is switched off.
inline constexpr const char* NO_REPORT_NAME = "none";

// Numbers of the messages (message list 1) that report failures ask the caller to show.
// Extension of the backups of drawings; no report takes it (it would replace a backup).
inline constexpr const char* BACKUP_EXTENSION = "bak";

inline constexpr int MSG_REPORT_NOT_CREATED = 26;      // argument: the design file
inline constexpr int MSG_TEXT_OVERWRITES_DESIGN = 57;  // the text report would overwrite it
inline constexpr int MSG_DESIGN_OVERWRITES_DESIGN = 58;
inline constexpr int MSG_REPORT_NAME_NOT_BUILT = 74;      // argument: the name
inline constexpr int MSG_DESIGN_REPORT_NOT_CREATED = 82;  // argument: the report name

// Why an operation failed: the message to show (0 = fail silently) and its argument.
struct ReportFailure {
  int message = 0;
  std::string argument;
  std::string detail;  // the system's reason when a file could not be created ("" if none)
};

// ---- Names -----------------------------------------------------------------------------------

// How a report's path follows from a design file's path.
struct ReportNaming {
  bool fixedName = false;        // every report is `fileName` (text reports only)
  std::string fileName;          // the fixed name
  std::string extension;         // the report's extension, without the point
  bool appendExtension = false;  // keep the design file's extension before the report's
  bool sameDirectory = false;    // beside the design file; else in `directory`
  std::string directory;
  // The report files the run has used so far (reportFileKey of each), or null. A name built
  // for a design file that is among them gets "_2", "_3", ... before its extension, the first
  // that is not; a fixed name is taken as it is.
  const std::set<std::string>* taken = nullptr;
};

// A path split as the host does: device (always empty here), directory with its trailing
// separator, name, extension (after the last point of the last component, without it).
struct PathParts {
  std::string device;
  std::string directory;
  std::string name;
  std::string extension;
};
PathParts parseFileName(std::string_view path);
// Joins the parts again; a point stands before a non-empty extension and a separator is
// added after a directory that lacks one.
std::string buildFileName(const PathParts& parts);
// Path equality without regard to the case of ASCII letters.
bool samePathIgnoringCase(std::string_view a, std::string_view b);
// True when two paths name the same file: equal without regard to case, or equal once both
// are made absolute with "." and ".." and symbolic links resolved. False for an empty path.
bool sameFileName(std::string_view a, std::string_view b);

// A path made absolute and normalised (as written, links not followed): the key under which
// a report file is recorded in ReportNaming::taken, and the name the summary prints.
std::string reportFileKey(std::string_view path);

// The report path for designFile: the fixed name, or the design file's name (with entryIndex
// appended when entryCount is 2 or more) and the report extension in the chosen directory,
// made unique among the names already taken.
// ERROR when the path would be longer than MAX_REPORT_NAME bytes (*out is still filled).
[[nodiscard]] int reportName(std::string* out, std::string_view designFile,
                             const ReportNaming& naming, int entryIndex, int entryCount);

// ---- Settings and run facts the report prints ------------------------------------------------

struct TextReportOptions {
  bool enabled = true;    // text reports are written at all
  ReportNaming naming;    // fixedName = one report under a fixed name
  bool perEntry = false;  // closed at the end of every entry (one report per entry)
  bool wordWrap = false;
  int wrapColumn = 80;
};

// "Level, Color, Weight, Style" for the lists of a rule group in use (flag on and list not
// empty), in this order; "" when none is. The header's restrictions block.
std::string restrictionText(const RuleGroup& group);

struct RunHeader {
  std::string secondTitle;  // message 3: the header's second title line
  std::string date;         // currentDateText() (settings/date_text.h) in a run
  bool batchMode = false;
  std::string reportMessage;  // the description of where reports go
  bool reportOnly = false;
  bool interactive = false;
  bool removeAllSelected = false;  // remove every element the selection set admits
  bool removeSelectedDuplicates = false;
  bool fence = false;
  std::string criteriaName, criteriaDescription;  // the selection file and its sets
  RuleGroup removed, compared;                    // the REMOVE and COMPARED rule groups
};

// The run header's text (title lines, settings, empty line). reportName is printed when the
// report spans the run.
std::string runHeaderText(const RunHeader& header, const TextReportOptions& options,
                          std::string_view reportName);

// ---- The report of a run ---------------------------------------------------------------------

struct TextReport {
  std::FILE* stream = nullptr;         // open report, or null
  std::string name;                    // its path (also the name recorded for the entry)
  std::shared_ptr<StreamedFile> file;  // what the stream writes, until it is closed
  std::string error;                   // why the last close failed ("" when it did not)
  size_t headerBytes = 0;              // length of the header the report begins with

  TextReport() = default;
  // A report has one owner: moving hands the open stream over, copying is not allowed.
  TextReport(TextReport&& other) noexcept;
  TextReport& operator=(TextReport&& other) noexcept;
  TextReport(const TextReport&) = delete;
  TextReport& operator=(const TextReport&) = delete;
  // A report still open when its record goes (a run abandoned at exit) is abandoned: the
  // stream is closed and its temporary file removed; nothing replaces a file of its name.
  ~TextReport();
};

// Opens the report for an entry (after the design report is set up). A report that is already
// open (one report for the run) stays open and the entry's lines follow. Refuses (message 57)
// when the report would overwrite the design file or the entry's design report; a report that
// cannot be created gives message 26 with the design file; an over-long name message 74.
[[nodiscard]] int textReport_openForEntry(TextReport& report, const TextReportOptions& options,
                                          const RunHeader& header, std::string_view designFile,
                                          std::string_view designReportName, int entryIndex,
                                          int entryCount, ReportFailure* failure);

// Opens a report under `name` that begins with `text`, a header written by another process of
// the run (headerBytes is its length). False when the file cannot be created (errno says why).
[[nodiscard]] bool textReport_resume(TextReport& report, const std::string& name,
                                     std::string_view text);

// The file block: file, text report (per-entry reports), design report, model, empty line.
void textReport_writeFileBlock(TextReport& report, const TextReportOptions& options,
                               std::string_view file, std::string_view designReportName,
                               std::string_view modelName);

// One reported duplicate's description line, wrapped with indents 2 and 4.
void textReport_writeDuplicate(TextReport& report, const TextReportOptions& options,
                               std::string_view line);

// Any text, wrapped with the given indents (a line break is added at its end).
void textReport_writeWrapped(TextReport& report, const TextReportOptions& options,
                             std::string_view text, int firstIndent, int nextIndent);
// Text as it stands (the driver's per-file and total lines). Write errors are ignored.
void textReport_write(TextReport& report, std::string_view text);

// The technical note that ends every report.
void textReport_writeTechnicalNote(TextReport& report, const TextReportOptions& options);

// Closes the report and moves it to its name. ERROR when it could not be written completely
// (`error` says why, and nothing replaces a file of that name); the name is kept for the run's
// list. Nothing happens when no report is open.
int textReport_close(TextReport& report);

// End of an entry (per-model close): with one report per entry, the technical note and close.
// The result of the close (SUCCESS when nothing was closed).
[[nodiscard]] int textReport_endEntry(TextReport& report, const TextReportOptions& options);
// End of the run (Finish): a report still open gets the technical note and is closed. The
// result of the close (SUCCESS when nothing was open).
[[nodiscard]] int textReport_finish(TextReport& report, const TextReportOptions& options);

// ---- Skipped entries -------------------------------------------------------------------------

// Setup outcome of a skipped entry -> the message written for it ("" for other outcomes).
std::string skipMessage(int outcome, std::string_view file);

// Records a skipped or failed entry, also when text reports are off. entryText is the whole
// entry string ("file,model"): the report name is built from it. Without an open report, one
// is created: with one report per entry, or with text reports off, a short report (title lines
// and its name), else the run's report with its full header; unless it is per entry it stays
// open so that later entries follow. The skip message of `outcome` is written; a per-entry
// report is then closed. ERROR when no report could be opened: message 74 for a name that
// cannot be built, else 26 (a report over the entry's file or under the backup extension is
// refused like one that cannot be created).
[[nodiscard]] int textReport_recordSkip(TextReport& report, const TextReportOptions& options,
                                        const RunHeader& header, std::string_view entryText,
                                        std::string_view file, int outcome, int entryIndex,
                                        int entryCount, ReportFailure* failure);

// What names an entry that failed without a skip message of its own (its worker process died).
struct FailedEntryLines {
  std::string_view file;
  std::string_view model;
  std::string_view designReportName;  // "N/A": the entry has none
  std::string_view failure;           // the line that names the failure on standard error
};
// Records such an entry as textReport_recordSkip records a skip (the same report, opened the
// same way): its file block, then the failure line. Errors as textReport_recordSkip.
[[nodiscard]] int textReport_recordFailedEntry(TextReport& report, const TextReportOptions& options,
                                               const RunHeader& header, std::string_view entryText,
                                               const FailedEntryLines& lines, int entryIndex,
                                               int entryCount, ReportFailure* failure);

}  // namespace kelvara
