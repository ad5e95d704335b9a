// The design report: a design file that shows the duplicates in place. It is a copy of the
// processed model in which every element carries the symbology of the single group, and every
// reported duplicate is written into it again, on top, in the symbology of the duplicate group
// (or of the matched group for elements removed because the selection set admits them).
//
// One report is written per entry. The run keeps a `DesignReport` and calls, per entry:
// designReport_open (before the text report is opened), designReport_write for every element
// the pass reports, and designReport_close at the end of the entry (and at the end of the run).
// The report is a work file of the host made from the active model as seed, so it has the
// model's units and dimension. The copy of the model goes to the report's temporary file when
// the report is opened, without a second image of the drawing in memory; the elements written
// later are kept in memory and follow the copy when the report is closed, which gives the file
// its name. An entry that fails discards its report instead: nothing is left on disk.
// Report symbology levels are named levels of the report file, created there when missing.
//
// The report of a DXF drawing's model is a DXF drawing of the same version: the drawing with
// the model's entities shown in place in the single group's symbology and the reported ones in
// their group's (levels are layers, by name); nothing is written on top.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/element.h"
#include "report/text_report.h"
#include "settings/run_settings.h"

namespace kelvara {

struct ElementEntry;

// Report class of the elements that are not duplicates (handed over by the comparison pass).
inline constexpr int REPORT_CLASS_SINGLE_ELEMENT = 22;
// Trace line for a report class that has no group.
inline constexpr const char* DESIGN_REPORT_BAD_CLASS_TRACE = "Prog error report 2222\n";

struct DesignReportOptions {
  bool enabled = true;  // design reports are written at all
  ReportNaming naming;  // fixedName is not used: every entry has its own report
  std::array<ReportSymbology, REPORT_SYMBOLOGY_COUNT> groups;  // REPORT_SINGLE ... REPORT_FOURTH
};

// The design report of the current entry.
struct DesignReport {
  ModelRef file = 0;                                 // the open report (a host work file), or 0
  std::string name;                                  // its path; "none" when design reports are off
  ModelRef source = 0;                               // the model the report was copied from
  std::array<int, REPORT_SYMBOLOGY_COUNT> levels{};  // each group's level in the report (0: keep)
  std::set<ModelRef> definitionsFrom;         // models whose shared cell definitions were copied
  bool drawing = false;                       // the report of a DXF drawing's model
  void (*trace)(const char* line) = nullptr;  // receives DESIGN_REPORT_BAD_CLASS_TRACE
};

// The group of a report class: 22 single, 23 duplicate, 21 matched; -1 for any other class.
int reportGroupOfClass(uint32_t reportClass);

// Opens the report for an entry whose model is `activeModel` (the open design file of the
// entry; workingFile is the path really opened). With design reports off, the name becomes
// "none" and nothing else happens. Refusals: message 58 when the report would overwrite the
// design file (or its working copy); message 82 with the report name when the file cannot be
// created (a read-only file of that name is never replaced, nor a backup: a report name with
// the extension "bak" is refused); message 26 with the design file
// when it cannot be prepared. An existing report of the same name is replaced.
[[nodiscard]] int designReport_open(DesignReport& report, const DesignReportOptions& options,
                                    std::string_view designFile, std::string_view workingFile,
                                    ModelRef activeModel, int entryIndex, int entryCount,
                                    ReportFailure* failure);

// Writes one reported element into the open report in the symbology of its class's group:
// duplicates (23) and selected elements (21) are written again on top of the copy; single
// elements (22) of the copied model are already in it and are not written twice, single
// elements of reference attachments are added. Deleted and complex-component flags are
// cleared on the copy; a shared cell instance brings the shared cell definitions of its
// model along. ERROR when no report is open, the class has no group or the write fails.
[[nodiscard]] int designReport_write(DesignReport& report, const DesignReportOptions& options,
                                     const MSElementDescr& element, uint32_t reportClass);
// The same for a table entry: its loaded descriptor, or the element read from its model when
// it is to be written (never for the copied model's single elements).
// Reported duplicates pass the entry's status as the class; the pass hands single elements
// over with REPORT_CLASS_SINGLE_ELEMENT whatever their status.
[[nodiscard]] int designReport_writeEntry(DesignReport& report, const DesignReportOptions& options,
                                          const ElementEntry& entry, uint32_t reportClass);

// Writes the report under its name and closes it; the name stays for the run's list. An
// earlier file of that name stays as it was until the finished report replaces it, and also
// when writing the report fails: then ERROR, with the reason in *error. SUCCESS when none is
// open.
int designReport_close(DesignReport& report, std::string* error = nullptr);
// Closes the report of an entry that failed without writing it: no file is left under its name
// (an earlier report of that name is removed, so that it does not pass for this run's).
void designReport_discard(DesignReport& report);

// The change a group makes to an element: its level (when level > 0) and the colour, weight and
// style its flags choose (the host clamps them to their ranges; negative values count as 0).
SymbologyChange reportSymbologyChange(const ReportSymbology& group, int level);

}  // namespace kelvara
