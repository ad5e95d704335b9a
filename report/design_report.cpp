// The design report: naming, creation from the active model, report symbology, writing.
#include "report/design_report.h"

#include <algorithm>

#include "engine/element_table.h"
#include "host/design.h"
#include "host/files.h"

namespace kelvara {

namespace {

constexpr int kSharedCellInstance = 35;

// The level name of a group: its value without the surrounding double quotes.
std::string levelNameOf(const ReportSymbology& group) {
  std::string name = group.levelValue.str();
  if (!name.empty() && name.front() == '"') {
    name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
  }
  return name;
}

// Gives the report the drawing's level names and the report groups' named levels.
int prepareLevels(DesignReport& report, const DesignReportOptions& options, ModelRef source) {
  bool changed = false;
  for (int l = 1; l <= MAX_LEVEL; ++l) {
    std::string name;
    if (mdlLevel_getName(&name, source, l) != SUCCESS) continue;
    if (mdlLevel_getName(nullptr, report.file, l) == SUCCESS) continue;
    if (mdlLevel_getIdFromName(nullptr, report.file, name) == SUCCESS) continue;
    if (mdlLevel_setName(report.file, l, name) != SUCCESS) return ERROR;
    changed = true;
  }
  // The fourth group is never written, so only the three written groups get levels.
  for (int g : {REPORT_SINGLE, REPORT_DUPLICATE, REPORT_MATCHED}) {
    const ReportSymbology& group = options.groups[g];
    report.levels[g] = 0;
    if (!group.useLevel) continue;
    const std::string name = levelNameOf(group);
    if (name.empty()) continue;  // no level named: elements keep their own
    int level = 0;
    if (mdlLevel_getIdFromName(&level, report.file, name) != SUCCESS) {
      if (mdlLevel_create(&level, report.file, name) != SUCCESS) return ERROR;
      changed = true;
    }
    report.levels[g] = level;
  }
  if (changed && mdlLevelTable_rewrite(report.file) != SUCCESS) return ERROR;
  return SUCCESS;
}

// Shared cell definitions of `model`, so that shared cell instances read from it resolve.
int copySharedCellDefinitions(DesignReport& report, ModelRef model) {
  if (!report.definitionsFrom.insert(model).second) return SUCCESS;
  return mdlSharedCell_copyDefinitions(report.file, model);
}

// The report starts from the seed's header elements, shows the default colours, has the named
// levels, and holds every element of the model in the single group's symbology.
int prepare(DesignReport& report, const DesignReportOptions& options, ModelRef source) {
  if (mdlColor_attachDefaultColorTable(report.file) != SUCCESS) return ERROR;
  if (prepareLevels(report, options, source) != SUCCESS) return ERROR;
  const SymbologyChange single =
      reportSymbologyChange(options.groups[REPORT_SINGLE], report.levels[REPORT_SINGLE]);
  if (mdlWorkDgn_streamElements(report.file, source, single) != SUCCESS) return ERROR;
  report.definitionsFrom.insert(source);
  return SUCCESS;
}

// How a DXF design report shows the elements of group g.
DrawingLook drawingLook(const DesignReportOptions& options, int g) {
  const ReportSymbology& group = options.groups[g];
  return {group.useLevel ? levelNameOf(group) : std::string(), reportSymbologyChange(group, 0)};
}

// The report group of a class; -1 for a class no group shows, which the trace is told.
int groupShowing(const DesignReport& report, uint32_t reportClass) {
  const int g = reportGroupOfClass(reportClass);
  if (g < 0 && report.trace) report.trace(DESIGN_REPORT_BAD_CLASS_TRACE);
  return g;
}

// Shows the element at filePos of model in its class's group in a DXF drawing's report.
int markInDrawing(DesignReport& report, const DesignReportOptions& options, ModelRef model,
                  uint32_t filePos, uint32_t reportClass) {
  const int g = groupShowing(report, reportClass);
  if (g < 0) return ERROR;
  if (g == REPORT_SINGLE && model == report.source) return SUCCESS;  // shown so already
  return mdlWorkDxf_markElement(report.file, model, filePos, drawingLook(options, g));
}

}  // namespace

int reportGroupOfClass(uint32_t reportClass) {
  switch (reportClass) {
    case STATUS_UNIQUE:
      return REPORT_SINGLE;
    case STATUS_DUPLICATE:
      return REPORT_DUPLICATE;
    case STATUS_REMOVED_ALL:
      return REPORT_MATCHED;
    default:
      return -1;
  }
}

SymbologyChange reportSymbologyChange(const ReportSymbology& group, int level) {
  SymbologyChange change;
  change.level = level;
  if (group.useColor) change.colour = static_cast<uint32_t>(std::max<int>(group.colorValue, 0));
  if (group.useWeight) change.weight = static_cast<uint32_t>(std::max<int>(group.weightValue, 0));
  if (group.useStyle) change.style = static_cast<int32_t>(group.styleValue);
  return change;
}

int designReport_open(DesignReport& report, const DesignReportOptions& options,
                      std::string_view designFile, std::string_view workingFile,
                      ModelRef activeModel, int entryIndex, int entryCount,
                      ReportFailure* failure) {
  ReportFailure ignored;
  if (!failure) failure = &ignored;
  *failure = ReportFailure{};
  if (report.file != 0) (void)designReport_close(report);
  report.levels = {};
  report.definitionsFrom.clear();
  report.drawing = false;
  report.source = activeModel;
  if (!options.enabled) {
    report.name = NO_REPORT_NAME;
    return SUCCESS;
  }
  ReportNaming naming = options.naming;
  naming.fixedName = false;
  const std::string design(designFile);
  if (naming.sameDirectory && !naming.appendExtension &&
      samePathIgnoringCase(parseFileName(designFile).extension, naming.extension)) {
    *failure = {MSG_DESIGN_OVERWRITES_DESIGN, design, {}};
    return ERROR;
  }
  std::string name;
  const int named = reportName(&name, designFile, naming, entryIndex, entryCount);
  report.name = name;
  if (sameFileName(name, designFile) || sameFileName(name, workingFile)) {
    *failure = {MSG_DESIGN_OVERWRITES_DESIGN, design, {}};
    return ERROR;
  }
  // A report under a backup's extension would replace the backup of a drawing: refused like a
  // report that cannot be created.
  if (named != SUCCESS || samePathIgnoringCase(parseFileName(name).extension, BACKUP_EXTENSION)) {
    *failure = {MSG_DESIGN_REPORT_NOT_CREATED, name, {}};
    return ERROR;
  }
  if (mdlModelRef_getFileName(activeModel, nullptr) != SUCCESS) {
    *failure = {MSG_REPORT_NOT_CREATED, design, {}};
    return ERROR;
  }
  if (mdlModelRef_isDxf(activeModel)) {
    // A drawing's report is a drawing: its entities shown in the groups' looks in place.
    report.drawing = true;
    if (mdlWorkDxf_createReport(&report.file, name, activeModel,
                                drawingLook(options, REPORT_SINGLE)) != SUCCESS) {
      report.file = 0;
      *failure = {MSG_DESIGN_REPORT_NOT_CREATED, name, {}};
      return ERROR;
    }
    return SUCCESS;
  }
  if (mdlWorkDgn_createFile(&report.file, name, activeModel, mdlModelRef_is3D(activeModel)) !=
      SUCCESS) {
    report.file = 0;
    *failure = {MSG_DESIGN_REPORT_NOT_CREATED, name, {}};
    return ERROR;
  }
  // The report is written once, when it is closed; it can always be made again, so its save
  // does not wait for the disk.
  (void)mdlWorkDgn_setDurability(report.file, Durability::NotSynced);
  if (prepare(report, options, activeModel) != SUCCESS) {
    // The report could not be begun: an earlier one of its name stays as it was.
    (void)mdlWorkDgn_discardFile(report.file);
    report.file = 0;
    *failure = {MSG_REPORT_NOT_CREATED, design, lastDesignError()};
    return ERROR;
  }
  return SUCCESS;
}

int designReport_write(DesignReport& report, const DesignReportOptions& options,
                       const MSElementDescr& element, uint32_t reportClass) {
  if (report.file == 0) return ERROR;
  if (report.drawing)
    return markInDrawing(report, options, element.modelRef, element.filePosition, reportClass);
  const int g = groupShowing(report, reportClass);
  if (g < 0) return ERROR;
  if (g == REPORT_SINGLE && element.modelRef == report.source) return SUCCESS;
  if (element.is3d != mdlModelRef_is3D(report.file)) return ERROR;
  ElmDscrPtr copy;
  if (mdlElmdscr_duplicate(&copy, element) != SUCCESS) return ERROR;
  const ReportSymbology& group = options.groups[g];
  const SymbologyChange change = reportSymbologyChange(group, report.levels[g]);
  if (change.level > 0 && mdlElmdscr_setProperties(copy.get(), &change.level) != SUCCESS)
    return ERROR;
  if (mdlElmdscr_setSymbology(copy.get(), change.colour ? &*change.colour : nullptr,
                              change.weight ? &*change.weight : nullptr,
                              change.style ? &*change.style : nullptr) != SUCCESS)
    return ERROR;
  if (mdlElement_getType(element) == kSharedCellInstance &&
      copySharedCellDefinitions(report, element.modelRef) != SUCCESS)
    return ERROR;
  return mdlElmdscr_copy(*copy, report.file) != 0 ? SUCCESS : ERROR;
}

int designReport_writeEntry(DesignReport& report, const DesignReportOptions& options,
                            const ElementEntry& entry, uint32_t reportClass) {
  // A drawing's report shows the entity where it is: nothing to read.
  if (report.file != 0 && report.drawing)
    return markInDrawing(report, options, entry.modelRef, entry.filePosition, reportClass);
  if (entry.descriptor) return designReport_write(report, options, *entry.descriptor, reportClass);
  // The copied model's single elements are in the report already: nothing to read.
  if (report.file != 0 && reportGroupOfClass(reportClass) == REPORT_SINGLE &&
      entry.modelRef == report.source)
    return SUCCESS;
  ElmDscrPtr d;
  if (mdlElmdscr_read(&d, entry.filePosition, entry.modelRef) != SUCCESS) return ERROR;
  return designReport_write(report, options, *d, reportClass);
}

int designReport_close(DesignReport& report, std::string* error) {
  if (report.file == 0) return SUCCESS;
  const int rc = mdlWorkDgn_closeFile(report.file);
  report.file = 0;
  if (rc != SUCCESS && error) *error = lastDesignError();
  return rc;
}

void designReport_discard(DesignReport& report) {
  if (report.file == 0) return;
  (void)mdlWorkDgn_discardFile(report.file);
  report.file = 0;
  // An earlier report of this name would pass for this run's (which records none): it goes.
  (void)fileSystem().unlink(writeTargetOf(report.name).c_str());
}

}  // namespace kelvara
