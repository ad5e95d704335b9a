// Model set-up, loading and the scan that admits elements.
#include "engine/load.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <variant>

#include "host/design.h"
#include "host/dgn/image.h"
#include "host/fence.h"
#include "host/geometry.h"
#include "host/selection.h"
#include "host/ui.h"
#include "host/view.h"

namespace kelvara {

namespace {

constexpr int kScanBatch = 4096;
constexpr uint32_t kLoadMessageStep = 10001;
constexpr const char* kActiveModelName = "<ActiveModel>";

// Messages shown when no hook shows them.
std::string defaultMessageText(int number, const std::string& argument) {
  switch (number) {
    case MSG_NOT_DESIGN_FILE:
      return argument + " is not a valid design file";
    case MSG_BACKUP_FAILED:
      return "Unable to create backup file " + argument;
    case MSG_NO_ELEMENTS:
      return "No elements loaded from " + argument;
    case MSG_SELECTION_FILE:
      return "Unable to load selection file " + argument;
    case MSG_NO_ADMISSION_TEST:
      return "No selection-set test is set up for " + argument;
    default:
      return "Message " + std::to_string(number) + " " + argument;
  }
}

void showMessage(int number, const std::string& argument) {
  const SetupHooks& h = setupHooks();
  if (h.showMessage) {
    h.showMessage(number, argument, h.context);
  } else {
    (void)mdlOutput_error(defaultMessageText(number, argument));
  }
}

// The extension of a path's file part ("" when it has none).
std::string extensionOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

uint32_t mix32(uint64_t v) {
  v ^= v >> 33;
  v *= 0xff51afd7ed558ccdull;
  v ^= v >> 33;
  v *= 0xc4ceb9fe1a85ec53ull;
  v ^= v >> 33;
  return static_cast<uint32_t>(v);
}

constexpr uint32_t kSequenceFactor = 0x01000193u;

uint32_t pointHash(int32_t x, int32_t y, int32_t z) {
  const uint64_t xy =
      (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) | static_cast<uint32_t>(y);
  return mix32(xy ^ mix32(static_cast<uint32_t>(z)) * 0x9E3779B97F4A7C15ull);
}

// The union of the ranges of the drawn elements of a model (for fitting view 1).
bool modelRange(ModelRef model, DRange3d& out, bool& any) {
  const DesignFile* f = designFileOf(model);
  if (!f) return false;
  const dgn::DesignImage& img = f->image;
  for (uint32_t slot : img.topLevel) {
    const dgn::Bytes el = dgn::slotBytes(img, slot);
    if (el.size() < dgn::HEADER_BYTES || dgn::isDeletedBit(el.data()) ||
        !dgn::isGraphicType(dgn::typeOf(el.data()))) {
      continue;
    }
    const DRange3d r = dgn::decodeHeader(el).range;
    if (!any) {
      out = r;
      any = true;
      continue;
    }
    out.xLow = std::min(out.xLow, r.xLow), out.yLow = std::min(out.yLow, r.yLow);
    out.zLow = std::min(out.zLow, r.zLow), out.xHigh = std::max(out.xHigh, r.xHigh);
    out.yHigh = std::max(out.yHigh, r.yHigh), out.zHigh = std::max(out.zHigh, r.zHigh);
  }
  return true;
}

// Turns view 1 on with every level displayed, and for 3D designs fits it to the master file's
// model and its attachments.
void prepareView(const Engine& e) {
  (void)mdlView_turnOn(0);
  for (uint32_t level = 1; level <= static_cast<uint32_t>(MAX_LEVEL); ++level) {
    setModelLevelDisplay(level, true);
    (void)mdlView_setLevelDisplay(0, level, true);
  }
  if (!e.is3d) return;
  DRange3d range;
  bool any = false;
  (void)modelRange(e.activeModel, range, any);
  ModelRefIterator it;
  if (mdlModelRefIterator_create(&it, e.activeModel, 2, -1) == SUCCESS) {
    for (ModelRef m = mdlModelRefIterator_getNext(&it); m != 0;
         m = mdlModelRefIterator_getNext(&it)) {
      (void)modelRange(m, range, any);
    }
    mdlModelRefIterator_free(&it);
  }
  if (any) (void)mdlView_fitToRange(0, range);
}

// Opens the working file as the active design file and checks the model.
bool openFileAndModel(Engine& e, const std::string& workingFile, const std::string& modelName) {
  if (mdlSystem_newDesignFile(workingFile) != SUCCESS) return false;
  std::string name = modelName;
  if (name == kActiveModelName) {
    if (mdlModelRef_getModelName(mdlModelRef_getActive(), &name) != SUCCESS) return false;
  }
  ModelRef model = 0;
  if (mdlModelRef_createWorkingByName(&model, workingFile, name) != SUCCESS) return false;
  if (mdlModelRef_activateAndDisplay(model) != SUCCESS) return false;
  e.activeModel = mdlModelRef_getActive();
  return e.activeModel != 0;
}

// Whether an attachment is scanned, by the incRefFiles setting.
bool attachmentScanned(ModelRef ref, int incRefFiles) {
  if (incRefFiles == 0) return true;
  const int parameter = incRefFiles == 1 ? 1 : incRefFiles == 2 ? 3 : 0;
  if (parameter == 0) return false;
  bool value = false;
  return mdlRefFile_getBooleanParameters(&value, parameter, ref) == SUCCESS && value;
}

void storeKey(Engine& e, NodeId node, const EntryKey& key) {
  if (e.keys.size() <= node) e.keys.resize(static_cast<size_t>(node) + 1);
  e.keys[node] = key;
}

}  // namespace

RuleGroup ruleGroupFrom(const SymbologyRule& r) {
  RuleGroup g;
  g.useLevel = r.useLevel != 0;
  g.useColor = r.useColor != 0;
  g.useWeight = r.useWeight != 0;
  g.useStyle = r.useStyle != 0;
  g.level = r.level.str();
  g.color = r.color.str();
  g.weight = r.weight.str();
  g.style = r.style.str();
  return g;
}

EngineSettings engineSettingsFrom(const RunSettings& s) {
  EngineSettings e;
  e.interactive = s.INTERACTIVE != 0;
  e.reportOnly = s.REPORT_ONLY != 0;
  e.removeSelDup = s.REMOVE_SEL_DUP != 0;
  e.removeAllSel = s.REMOVE_ALL_SEL != 0;
  e.backup = s.BACKUP != 0;
  e.fence = s.FENCE != 0;
  e.overlap = s.OVERLAP != 0;
  e.tolerance = s.TOLERANCE.str();
  e.allowRotation = s.ALLOW_ROTATION != 0;
  e.rotTolerance = s.ROT_TOLERANCE.str();
  e.allowReversed = s.ALLOW_REVERSED != 0;
  e.allowUnderlap = s.ALLOW_UNDERLAP != 0;
  e.keepWider = s.KEEP_WIDER_ELEMENT != 0;
  e.keepSolid = s.KEEP_SOLID_LINESTYLE_ELEMENT != 0;
  e.incRefFiles = s.INC_REF_FILES;
  e.criteriaName = s.CRITERIA_NAME_.str();
  e.criteriaDescrpt = s.CRITERIA_DESCRPT_.str();
  e.designExtension = s.DESIGN_EXTENSION.str();
  e.ignore = ruleGroupFrom(s.rules[RULE_IGNORE]);
  e.remove = ruleGroupFrom(s.rules[RULE_REMOVE]);
  e.compared = ruleGroupFrom(s.rules[RULE_COMPARED]);
  return e;
}

SetupHooks& setupHooks() {
  static SetupHooks hooks;
  return hooks;
}

EntryKey entryKeyOf(const uint8_t* p, uint32_t size, bool is3d) {
  EntryKey key;
  if (size < dgn::HEADER_BYTES) return key;
  const int type = dgn::typeOf(p);
  const uint32_t step = is3d ? 12 : 8;
  uint32_t first = 0, count = 0;
  switch (type) {
    case 3:
      first = 36, count = 2;
      break;
    case 4:
    case 6:
    case 11:
    case 22:
      if (size < 38) return key;
      first = 38, count = dgn::readU16(p + 36);
      break;
    default:
      return key;
  }
  if (count == 0 || count > UINT16_MAX || first + count * step > size) return key;
  auto coord = [&](uint32_t i, int axis) {
    return dgn::readInt32(p + first + i * step + 4 * axis);
  };
  auto hashAt = [&](uint32_t i) {
    return pointHash(coord(i, 0), coord(i, 1), is3d ? coord(i, 2) : 0);
  };
  double length = 0.0;
  for (uint32_t i = 1; i < count; ++i) {
    const double dx = double(coord(i, 0)) - coord(i - 1, 0);
    const double dy = double(coord(i, 1)) - coord(i - 1, 1);
    const double dz = is3d ? double(coord(i, 2)) - coord(i - 1, 2) : 0.0;
    length += std::sqrt(dx * dx + dy * dy + dz * dz);
  }
  key.vertexCount = static_cast<uint16_t>(count);
  key.length = static_cast<float>(length);
  const bool closed = count >= 2 && coord(0, 0) == coord(count - 1, 0) &&
                      coord(0, 1) == coord(count - 1, 1) &&
                      (!is3d || coord(0, 2) == coord(count - 1, 2));
  uint32_t forward = 0, backward = 0, ring = 0;
  for (uint32_t i = 0; i < count; ++i) {
    forward = forward * kSequenceFactor + hashAt(i);
    backward = backward * kSequenceFactor + hashAt(count - 1 - i);
    if (i + 1 < count) ring += hashAt(i);
  }
  key.sequenceHash = forward;
  key.shapeHash = closed ? ring : std::min(forward, backward);
  key.flags = KEY_VERTICES | (closed ? KEY_CLOSED : 0);
  return key;
}

std::vector<uint32_t> collectFilePositions(ModelRef model, bool expandComplex) {
  std::vector<uint32_t> positions(1, 0);
  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  // Only graphic elements count: every design file holds its header elements, so a model
  // "without elements" is one without graphic elements.
  mdlScan_setDrawnElements(&sc, true);
  sc.includeComponents = expandComplex;
  uint32_t batch[kScanBatch];
  for (;;) {
    int count = 0;
    const int status = mdlScan_file(batch, &count, kScanBatch, &sc);
    if (status == ERROR) break;
    positions.insert(positions.end(), batch, batch + count);
    if (status != SUCCESS) break;
  }
  return positions;
}

bool elementInsideFence(const MSElementDescr& el) {
  Fence fence;
  if (mdlClip_getFence(&fence) != SUCCESS) return false;
  struct Walk {
    const Fence& fence;
    bool operator()(const MSElementDescr& d) const {
      const int type = mdlElement_getType(d);
      if (const auto* lin = std::get_if<dgn::LinearRecord>(&d.record)) {
        if (type == 22) return fenceContainsPoints(fence, lin->points);
        return fenceContainsPath(fence, lin->points, type == 6);
      }
      if (const auto* arc = std::get_if<dgn::ArcRecord>(&d.record)) {
        ArcGeometry g;
        g.centre = arc->centre;
        g.primary = arc->primary;
        g.secondary = arc->secondary;
        g.rotation = arc->rotMatrix;
        g.start = arc->start;
        g.sweep = arc->sweep;
        std::vector<DPoint3d> points;
        strokeArc(g, kStrokeTolerance, kMaxStrokePoints, points);
        return fenceContainsPath(fence, points, false);
      }
      // Complex elements lie inside when all their parts do; B-spline curves and everything
      // else by their range, which holds the whole element.
      if (type != 27 && !d.components.empty()) {
        for (const MSElementDescr& c : d.components) {
          if (!(*this)(c)) return false;
        }
        return true;
      }
      return fenceContainsRange(fence, mdlElement_getRange(d));
    }
  };
  return Walk{fence}(el);
}

int scanModelRef(Engine& e, ModelRef model, bool useSelection, const std::string& selectionFile,
                 const std::string& selectionSets, bool expandComplex, StatusPair initial) {
  (void)selectionFile;  // loaded into the run's list by loadModelElements
  const std::vector<uint32_t> all = collectFilePositions(model, expandComplex);
  const uint32_t total = static_cast<uint32_t>(all.size());
  std::string fileName;
  (void)mdlModelRef_getFileName(model, &fileName);
  if (total <= 1) {
    showMessage(MSG_NO_ELEMENTS, fileName);
    return ERROR;
  }
  const DesignFile* file = designFileOf(model);
  if (!file) return ERROR;
  const dgn::DesignImage& img = file->image;
  const SetupHooks& hooks = setupHooks();
  const bool checkFence = e.settings.fence && fenceIsDefined();
  if (useSelection && hooks.admitted == nullptr) {
    showMessage(MSG_NO_ADMISSION_TEST, fileName);
    return ERROR;
  }
  // The nodes and keys are filled once from start to end: large pages spare the page faults.
  e.table.list.reserve(e.table.list.nodes.size() + total);
  e.keys.reserve(e.table.list.nodes.size() + total);
  dgn::adviseLargePages(e.table.list.nodes.data(),
                        e.table.list.nodes.capacity() * sizeof(ElementNode));
  dgn::adviseLargePages(e.keys.data(), e.keys.capacity() * sizeof(EntryKey));

  ScanCriteria sc;
  mdlScan_initialize(&sc, model);
  mdlScan_setDrawnElements(&sc, true);
  sc.includeComponents = expandComplex;
  uint32_t loaded = 1, lastShown = 1;
  uint32_t batch[kScanBatch];
  for (;;) {
    int count = 0;
    const int status = mdlScan_file(batch, &count, kScanBatch, &sc);
    if (status == ERROR) break;
    for (int k = 0; k < count; ++k) {
      const uint32_t pos = batch[k];
      if (pos == 0) continue;
      const long slot = dgn::findSlot(img, pos);
      if (slot < 0) continue;  // cannot be read
      const uint8_t* p = img.bytes.data() + pos;
      const uint32_t size = dgn::sizeOf(p);
      const int type = dgn::typeOf(p);
      // The element's header tells visibility, type and range; the whole descriptor is read
      // only for the tests that look further into it.
      if (size < dgn::HEADER_BYTES || dgn::isDeletedBit(p) || !dgn::isGraphicType(type)) continue;
      ElementSummary summary;
      if (useSelection || checkFence || type == 2) {
        ElmDscrPtr d;
        if (mdlElmdscr_read(&d, pos, model) != SUCCESS || !d) continue;
        if (!mdlElement_isVisible(*d)) continue;
        if (useSelection && !hooks.admitted(*d, model, selectionSets, hooks.context)) continue;
        if (checkFence && !elementInsideFence(*d)) continue;
        summary = summarizeElement(*d);
      } else {
        summary.elementType = static_cast<uint32_t>(type);
        summary.range = dgn::decodeHeader(dgn::Bytes(p, size)).range;
        summary.isComplexComponent = img.slots[static_cast<size_t>(slot)].parent != 0;
      }
      if (expandComplex) {
        switch (summary.elementType) {
          case 2:
          case 12:
          case 14:
          case 21:
          case 25:
          case 26:
          case 28:
            continue;
          default:
            break;
        }
      }
      const NodeId node = appendElement(e.table, model, initial, pos, summary);
      if (node == kNoNode) {
        showMessage(MSG_NO_ELEMENTS, fileName);
        continue;
      }
      EntryKey key = entryKeyOf(p, size, img.is3d);
      key.slot = static_cast<uint32_t>(slot);
      storeKey(e, node, key);
      ++loaded;
    }
    if (loaded - lastShown >= kLoadMessageStep) {
      (void)mdlOutput_printf(FIELD_MESSAGE, "%d elements loaded out of %d",
                             static_cast<int>(loaded), static_cast<int>(total));
      lastShown = loaded;
    }
    if (status != SUCCESS) break;
  }
  (void)mdlOutput_printf(FIELD_MESSAGE, "%s", "");
  return SUCCESS;
}

int loadModelElements(Engine& e, const std::string& fileName, const std::string& modelName,
                      bool useSelection, const std::string& selectionFile,
                      const std::string& selectionSets) {
  (void)modelName;
  bool is3d = false;
  if (mdlFile_checkDesignFile(fileName, &is3d) != SUCCESS) {
    showMessage(MSG_NOT_DESIGN_FILE, fileName);
    return ERROR;
  }
  const SetupHooks& hooks = setupHooks();
  if (useSelection && hooks.admitted == nullptr) {
    showMessage(MSG_NO_ADMISSION_TEST, fileName);
    return ERROR;
  }
  if (useSelection && hooks.loadSelectionFile &&
      hooks.loadSelectionFile(selectionFile, hooks.context) != SUCCESS) {
    showMessage(MSG_SELECTION_FILE, selectionFile);
    return ERROR;
  }
  const StatusPair initial{STATUS_LOADED, 1};
  progressUpdate(0, "Loading elements from " + fileName);
  if (scanModelRef(e, e.activeModel, useSelection, selectionFile, selectionSets, e.expandComplex,
                   initial) != SUCCESS) {
    return ERROR;
  }
  ModelRefIterator it;
  if (mdlModelRefIterator_create(&it, e.activeModel, 2, -1) != SUCCESS) return SUCCESS;
  int result = SUCCESS;
  for (ModelRef ref = mdlModelRefIterator_getNext(&it); ref != 0;
       ref = mdlModelRefIterator_getNext(&it)) {
    if (!attachmentScanned(ref, e.settings.incRefFiles)) continue;
    std::string refName;
    (void)mdlModelRef_getFileName(ref, &refName);
    progressUpdate(0, "Loading elements from " + refName);
    // An attachment without elements adds nothing: it is passed over (and left attached)
    // rather than failing the whole model.
    if (collectFilePositions(ref, e.expandComplex).size() <= 1) continue;
    if (scanModelRef(e, ref, useSelection, selectionFile, selectionSets, e.expandComplex,
                     initial) != SUCCESS) {
      result = ERROR;
      break;
    }
  }
  mdlModelRefIterator_free(&it);
  return result;
}

int setUpModel(Engine& e, void* reviewDialog, const std::string& entryFile,
               const std::string& entryModel, const std::string& workingFile, bool fileChanged) {
  if (entryFile.empty() || workingFile.empty()) return ERROR;
  const SetupHooks& hooks = setupHooks();
  if (hooks.resetModelCounters) hooks.resetModelCounters(hooks.context);
  e.setupOutcome = SETUP_BEGUN;
  e.cachedModel = 0;
  e.cachedFile = nullptr;
  e.matchedCandidate = kNoNode;
  e.refusedCandidate = kNoNode;
  e.lookahead = kNoNode;
  if (mdlFile_checkDesignFile(workingFile, &e.is3d) != SUCCESS) {
    e.setupOutcome = SETUP_NOT_DESIGN_FILE;
    return ERROR;
  }
  uint32_t attributes = 0;
  // A report-only run reads a read-only drawing like any other: it is never written, so it
  // needs no backup.
  const bool readOnly = mdlFile_getFileAttributes(workingFile, &attributes) == SUCCESS &&
                        (attributes & FILE_ATTR_READONLY) != 0;
  if (readOnly && !e.settings.reportOnly) {
    e.setupOutcome = SETUP_READ_ONLY;
    return ERROR;
  }
  const std::string extension = extensionOf(workingFile);
  if (extension == e.settings.designExtension) {
    e.setupOutcome = SETUP_DESIGN_REPORT;
    return ERROR;
  }
  if (extension == "bak") {
    e.setupOutcome = SETUP_BACKUP_FILE;
    return ERROR;
  }
  if (!openFileAndModel(e, workingFile, entryModel)) {
    e.setupOutcome = SETUP_OPEN_FAILED;
    return ERROR;
  }
  if (!e.settings.reportOnly) prepareDeletions(e.activeModel);
  (void)mdlSelect_freeAll();
  clearTable(e.table);
  e.keys.clear();
  e.probedModel = 0;
  prepareView(e);
  if (hooks.openReports && hooks.openReports(hooks.context) != SUCCESS) return ERROR;

  e.table.reader = &mdlElmdscr_read;
  const NodeId sentinel = appendSentinel(e.table);
  storeKey(e, sentinel, EntryKey{});
  e.table.processedCount = 0;
  const bool useSelection = e.settings.removeSelDup || e.settings.removeAllSel;
  // Loading a large model takes a while: the status dialog names the file being loaded, and
  // stays open through the sort.
  progressOpen("Kelvara");
  const int loaded = loadModelElements(e, workingFile, entryModel, useSelection,
                                       e.settings.criteriaName, e.settings.criteriaDescrpt);
  if (loaded != SUCCESS) {
    progressClose();
    return loaded;
  }
  // The backup comes once nothing else can fail the set-up: an entry that fails leaves no
  // backup behind, and nothing has changed the drawing before the pass.
  if (e.settings.backup && fileChanged && !readOnly) {
    if (hooks.backup == nullptr) {
      progressClose();
      showMessage(MSG_BACKUP_FAILED, workingFile);
      return ERROR;
    }
    if (hooks.backup(hooks.context) != SUCCESS) {
      progressClose();
      return ERROR;
    }
  }
  // A model none of whose elements was admitted still goes through the pass, which then ends
  // at its first step: the driver sees the model processed with nothing to report.

  progressOpen("Kelvara");
  progressUpdate(0, "Performing Quick sort");
  buildOrderings(e.table, e.settings.allowUnderlap);
  progressClose();

  e.step = StepContext{};
  e.step.reviewDialog = reviewDialog;
  e.step.total = e.table.elementCount - 1;
  e.step.startTime = static_cast<double>(std::time(nullptr));
  e.table.current = sentinel;
  e.step.current = sentinel;
  (void)startPass(e, reviewDialog, false);
  return SUCCESS;
}

}  // namespace kelvara
