// The design report: naming, creation from the active model, report symbology, writing.
#include "report/design_report.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "engine/element_table.h"
#include "host/design.h"
#include "host/dgn/build.h"
#include "host/dgn/codec.h"
#include "host/dgn/image.h"

namespace kelvara {

namespace {

constexpr int kColourTableType = 5;
constexpr int kColourTableLevel = 1;
constexpr int kSharedCellDefinition = 34;
constexpr int kSharedCellInstance = 35;

// Calls fn(element, size) for every element of a run (header and components in file order).
template <typename Fn>
void forEachElement(std::vector<uint8_t>& run, Fn fn) {
  size_t at = 0;
  while (at + 4 <= run.size()) {
    const size_t size = dgn::sizeOf(run.data() + at);
    if (size < 4 || at + size > run.size()) return;
    fn(run.data() + at, size);
    at += size;
  }
}

// The level name of a group: its value without the surrounding double quotes.
std::string levelNameOf(const ReportSymbology& group) {
  std::string name = group.levelValue.str();
  if (!name.empty() && name.front() == '"') {
    name.erase(0, 1);
    if (!name.empty() && name.back() == '"') name.pop_back();
  }
  return name;
}

// The report starts from the seed's header elements; a colour table among them is removed so
// that report colours are the default colours.
int removeColourTables(ModelRef report) {
  ScanCriteria sc;
  mdlScan_initialize(&sc, report);
  std::vector<uint32_t> tables;
  uint32_t positions[64];
  for (;;) {
    int count = 0;
    const int rc = mdlScan_file(positions, &count, 64, &sc);
    if (rc == ERROR) return ERROR;
    for (int i = 0; i < count; ++i) {
      ElmDscrPtr d;
      if (mdlElmdscr_read(&d, positions[i], report) != SUCCESS) return ERROR;
      if (mdlElement_getType(*d) == kColourTableType &&
          dgn::levelOf(d->bytes.data()) == kColourTableLevel)
        tables.push_back(positions[i]);
    }
    if (rc == END_OF_DGN) break;
  }
  for (uint32_t pos : tables)
    if (mdlElement_undoableDelete(pos, report) != SUCCESS) return ERROR;
  return SUCCESS;
}

// Gives the report the drawing's level names and the report groups' named levels.
int prepareLevels(DesignReport& report, const DesignReportOptions& options,
                  const DesignFile& source) {
  DesignFile* target = designFileOf(report.file);
  if (!target) return ERROR;
  bool changed = false;
  for (int l = 1; l <= MAX_LEVEL; ++l) {
    const std::string& name = source.levelNames[l];
    if (name.empty() || !target->levelNames[l].empty()) continue;
    if (mdlLevel_getIdFromName(nullptr, report.file, name) == SUCCESS) continue;
    target->levelNames[l] = name;
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

bool isReferenceAttachment(int type, int level) {
  return (type == 5 && level == 9) || (type == 66 && level == 5);
}

// Non-graphic elements that follow the first graphic element are carried over (shared cell
// definitions, tag sets, application data) except those the report keeps for itself.
bool carriedOver(const uint8_t* p, size_t size) {
  const int type = dgn::typeOf(p);
  const int level = dgn::levelOf(p);
  if (isReferenceAttachment(type, level)) return false;
  if (type == kColourTableType && level == kColourTableLevel) return false;
  if (type == 8 || type == 9 || type == 10) return false;
  std::array<std::string, MAX_LEVEL + 1> names;
  if (dgn::readLevelNameElement(dgn::Bytes(p, size), names)) return false;
  return true;
}

std::vector<uint8_t> runAt(const dgn::DesignImage& img, uint32_t slot) {
  const dgn::ElementSlot& s = img.slots[slot];
  return std::vector<uint8_t>(img.bytes.begin() + s.offset, img.bytes.begin() + s.extentEnd);
}

// Copies every element of the source model after its header block: graphic elements in the
// single group's symbology, the rest as they are. The header block itself (everything before
// the first graphic element) came with the seed.
int copyModel(DesignReport& report, const DesignReportOptions& options, const DesignFile& source) {
  const dgn::DesignImage& img = source.image;
  const ReportSymbology& single = options.groups[REPORT_SINGLE];
  bool pastHeader = false;
  std::vector<uint8_t> run;  // reused: one allocation for the whole model
  for (uint32_t slot : img.topLevel) {
    const uint8_t* p = img.bytes.data() + img.slots[slot].offset;
    const int type = dgn::typeOf(p);
    const bool graphic = dgn::isGraphicType(type);
    pastHeader = pastHeader || graphic;
    if (!pastHeader || dgn::isDeletedBit(p)) continue;
    if (!graphic && !carriedOver(p, dgn::sizeOf(p))) continue;
    const dgn::ElementSlot& s = img.slots[slot];
    run.assign(img.bytes.begin() + s.offset, img.bytes.begin() + s.extentEnd);
    if (graphic) applyReportSymbology(run, single, report.levels[REPORT_SINGLE]);
    if (mdlElement_add(run, report.file) == 0) return ERROR;
  }
  return SUCCESS;
}

// Shared cell definitions of `model`, so that shared cell instances read from it resolve.
int copySharedCellDefinitions(DesignReport& report, ModelRef model) {
  if (!report.definitionsFrom.insert(model).second) return SUCCESS;
  const DesignFile* f = designFileOf(model);
  if (!f) return ERROR;
  const dgn::DesignImage& img = f->image;
  for (uint32_t slot : img.topLevel) {
    const uint8_t* p = img.bytes.data() + img.slots[slot].offset;
    if (dgn::typeOf(p) != kSharedCellDefinition || dgn::isDeletedBit(p)) continue;
    if (mdlElement_add(runAt(img, slot), report.file) == 0) return ERROR;
  }
  return SUCCESS;
}

int prepare(DesignReport& report, const DesignReportOptions& options, const DesignFile& source) {
  if (removeColourTables(report.file) != SUCCESS) return ERROR;
  if (prepareLevels(report, options, source) != SUCCESS) return ERROR;
  if (copyModel(report, options, source) != SUCCESS) return ERROR;
  report.definitionsFrom.insert(source.model);
  return mdlWorkDgn_saveChanges(report.file);
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

void applyReportSymbology(std::vector<uint8_t>& run, const ReportSymbology& group, int level) {
  forEachElement(run, [&](uint8_t* p, size_t size) {
    if (level > 0)
      p[0] = static_cast<uint8_t>((p[0] & ~dgn::LEVEL_MASK) | (level & dgn::LEVEL_MASK));
    if (!dgn::hasDisplayHeader(dgn::typeOf(p)) || size < dgn::HEADER_BYTES) return;
    const uint16_t symbology = dgn::readU16(p + 34);
    int colour = dgn::colourOf(symbology);
    int weight = dgn::weightOf(symbology);
    int style = dgn::styleOf(symbology);
    if (group.useColor) colour = std::clamp<int>(group.colorValue, 0, 255);
    if (group.useWeight) weight = std::clamp<int>(group.weightValue, 0, 31);
    if (group.useStyle) style = std::clamp<int>(group.styleValue, 0, 7);
    dgn::writeU16(p + 34, dgn::makeSymbology(colour, weight, style));
  });
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
    *failure = {MSG_DESIGN_OVERWRITES_DESIGN, design};
    return ERROR;
  }
  std::string name;
  const int named = reportName(&name, designFile, naming, entryIndex, entryCount);
  report.name = name;
  if (sameFileName(name, designFile) || sameFileName(name, workingFile)) {
    *failure = {MSG_DESIGN_OVERWRITES_DESIGN, design};
    return ERROR;
  }
  struct stat st {};
  const bool exists = ::stat(name.c_str(), &st) == 0;
  if (named != SUCCESS || (exists && (!S_ISREG(st.st_mode) || dgn::isReadOnlyPath(name)))) {
    *failure = {MSG_DESIGN_REPORT_NOT_CREATED, name};
    return ERROR;
  }
  const DesignFile* source = designFileOf(activeModel);
  if (!source) {
    *failure = {MSG_REPORT_NOT_CREATED, design};
    return ERROR;
  }
  if (mdlWorkDgn_createFile(&report.file, name, activeModel, source->image.is3d) != SUCCESS) {
    report.file = 0;
    *failure = {MSG_DESIGN_REPORT_NOT_CREATED, name};
    return ERROR;
  }
  if (prepare(report, options, *source) != SUCCESS) {
    (void)designReport_close(report);
    *failure = {MSG_REPORT_NOT_CREATED, design};
    return ERROR;
  }
  return SUCCESS;
}

int designReport_write(DesignReport& report, const DesignReportOptions& options,
                       const MSElementDescr& element, uint32_t reportClass) {
  if (report.file == 0) return ERROR;
  const int g = reportGroupOfClass(reportClass);
  if (g < 0) {
    if (report.trace) report.trace(DESIGN_REPORT_BAD_CLASS_TRACE);
    return ERROR;
  }
  if (g == REPORT_SINGLE && element.modelRef == report.source) return SUCCESS;
  if (element.is3d != mdlModelRef_is3D(report.file)) return ERROR;
  std::vector<uint8_t> run = elementRun(element);
  if (run.size() < 4) return ERROR;
  forEachElement(run, [](uint8_t* p, size_t) { p[1] &= 0x7F; });  // not deleted
  if (element.isComponent || mdlElement_isComplexComponent(element))
    run[0] &= static_cast<uint8_t>(~dgn::COMPLEX_BIT);
  applyReportSymbology(run, options.groups[g], report.levels[g]);
  if (mdlElement_getType(element) == kSharedCellInstance &&
      copySharedCellDefinitions(report, element.modelRef) != SUCCESS)
    return ERROR;
  return mdlElement_add(run, report.file) != 0 ? SUCCESS : ERROR;
}

int designReport_writeEntry(DesignReport& report, const DesignReportOptions& options,
                            const ElementEntry& entry, uint32_t reportClass) {
  if (entry.descriptor) return designReport_write(report, options, *entry.descriptor, reportClass);
  ElmDscrPtr d;
  if (mdlElmdscr_read(&d, entry.filePosition, entry.modelRef) != SUCCESS) return ERROR;
  return designReport_write(report, options, *d, reportClass);
}

int designReport_close(DesignReport& report) {
  if (report.file == 0) return SUCCESS;
  const int rc = mdlWorkDgn_closeFile(report.file);
  report.file = 0;
  return rc;
}

}  // namespace kelvara
