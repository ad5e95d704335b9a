// The comparison pass: processing entries, the candidate search and the tests on a candidate.
#include "engine/pass.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "engine/type_pairs.h"
#include "host/design.h"
#include "host/dgn/image.h"
#include "host/fence.h"
#include "host/probe.h"
#include "host/view.h"
#include "valuelist/valuelist.h"

namespace kelvara {

// Declared by the loader (engine/load.h); the pass needs only this one.
bool elementInsideFence(const MSElementDescr& element);

namespace {

constexpr std::chrono::milliseconds kAttributeRecheck{50};
constexpr double kPiValue = 3.14159265358979323846;
constexpr const char* kIncompleteSwitch = "Programming error incomplete switch process.cpp 390\n";

// Types whose outline may lie far from their range's corner: their window grows by the
// diagonal of the range.
bool hasRangeMargin(uint32_t type) {
  switch (type) {
    case 2:
    case 7:
    case 15:
    case 16:
    case 17:
    case 23:
    case 35:
    case 37:
      return true;
    default:
      return false;
  }
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

DesignFile* fileOf(Engine& e, ModelRef model) {
  if (model != e.cachedModel || e.cachedFile == nullptr) {
    e.cachedFile = designFileOf(model);
    e.cachedModel = model;
  }
  return e.cachedFile;
}

// Loads the entry's descriptor unless it is loaded. False when it cannot be read.
bool ensureDescriptor(Engine& e, NodeId node) {
  ElementEntry& entry = entryOf(e.table, node);
  if (entry.descriptor) return true;
  if (e.table.reader == nullptr) e.table.reader = &mdlElmdscr_read;
  if (tableOp(e.table, node, ENTRY_READ) == kNoNode) return false;
  ++e.descriptorsRead;
  return true;
}

void releaseDescriptor(Engine& e, NodeId node) {
  (void)tableOp(e.table, node, ENTRY_RELEASE);
}

// The slot of the entry's element in its image, or -1 when no element starts at its position.
long slotOf(Engine& e, NodeId node, const dgn::DesignImage& img) {
  const ElementEntry& entry = entryOf(e.table, node);
  EntryKey& key = e.keys[node];
  if (key.slot < img.slots.size() && img.slots[key.slot].offset == entry.filePosition) {
    return static_cast<long>(key.slot);
  }
  const long slot = dgn::findSlot(img, entry.filePosition);
  key.slot = slot < 0 ? UINT32_MAX : static_cast<uint32_t>(slot);
  return slot;
}

// True when the entry's element can be read at its file position.
bool readable(Engine& e, NodeId node) {
  const ElementEntry& entry = entryOf(e.table, node);
  if (entry.descriptor) return true;
  const DesignFile* f = fileOf(e, entry.modelRef);
  return f != nullptr && slotOf(e, node, f->image) >= 0;
}

// True when the candidate's element is no longer there: it cannot be read at its position, or
// the element there is marked deleted.
bool elementGone(Engine& e, NodeId node) {
  const ElementEntry& entry = entryOf(e.table, node);
  const DesignFile* f = fileOf(e, entry.modelRef);
  if (f == nullptr) return true;
  if (slotOf(e, node, f->image) < 0) return true;
  return dgn::isDeletedBit(f->image.bytes.data() + entry.filePosition);
}

}  // namespace

// Each test mirrors a test of the linear comparison that would fail; pairs it passes are
// compared in full.
bool keysMayMatch(const EntryKey& a, const EntryKey& b, const CompareOptions& o) {
  if ((a.flags & KEY_VERTICES) == 0 || (b.flags & KEY_VERTICES) == 0) return true;
  if (o.overlap) {
    // The sampled test needs the lengths to agree within the tolerance (the first not longer
    // than the second plus it, with underlap). The keys' lengths are single precision: allow
    // for their rounding. Zero-length elements are left to the full test.
    if (a.length <= 0.0f || b.length <= 0.0f) return true;
    const double la = a.length, lb = b.length;
    const double slack = 1e-6 * std::max(la, lb) + 1e-6;
    if (la > lb + o.toleranceUor + slack) return false;
    if (!o.allowUnderlap && la < lb - o.toleranceUor - slack) return false;
    return true;
  }
  if (o.allowUnderlap) {
    if (b.vertexCount < a.vertexCount) return false;
    return o.allowReversed || b.vertexCount != a.vertexCount || a.sequenceHash == b.sequenceHash;
  }
  if (a.vertexCount != b.vertexCount) return false;
  if (!o.allowReversed) return a.sequenceHash == b.sequenceHash;
  // Reversed, or (for a closed second element) rotated: vertices are whole units of
  // resolution, so an element equal to a closed one in any of these ways is closed itself.
  return (a.flags & KEY_CLOSED) == (b.flags & KEY_CLOSED) && a.shapeHash == b.shapeHash;
}

namespace {

void report(Engine& e, NodeId node) {
  const PassReportHooks& h = e.report;
  ElementEntry& entry = entryOf(e.table, node);
  if (h.reportEntry && ensureDescriptor(e, node)) {
    h.reportEntry(entry, e.step.deletedFlag != 0, entry.isComplexComponent != 0, h.context);
  }
  e.step.deletedFlag = 0;
  e.step.deleteFailed = 0;
}

void setStatus(Engine& e, NodeId node, StatusPair pair) {
  (void)tableOp(e.table, node, ENTRY_SET_STATUS, &pair);
}

bool deleteEntryElement(Engine& e, NodeId node) {
  const ElementEntry& entry = entryOf(e.table, node);
  // Point the image's lookup at the element's known slot: the deletion then finds it at once.
  if (DesignFile* f = fileOf(e, entry.modelRef)) {
    const long slot = slotOf(e, node, f->image);
    if (slot >= 0) f->image.lookupHint = static_cast<size_t>(slot);
  }
  if (mdlElement_undoableDelete(entry.filePosition, entry.modelRef) != SUCCESS) {
    e.step.deleteFailed = 1;
    return false;
  }
  e.step.deleteFailed = 0;
  e.step.deletedFlag = 1;
  return true;
}

// The element read back from the file still carries the deleted bits: the copy added anew must
// not.
void clearDeletedBits(MSElementDescr& d) {
  if (d.bytes.size() >= 2) d.bytes[1] &= static_cast<uint8_t>(~0x80u);
  for (MSElementDescr& c : d.components) clearDeletedBits(c);
}

double toleranceInUor(const std::string& text, ModelRef model) {
  dgn::TcbRecord tcb;
  if (mdlModelRef_getUnits(model, &tcb) != SUCCESS) return std::atof(text.c_str());
  return std::atof(text.c_str()) * double(tcb.uorPerSub) * double(tcb.subPerMaster);
}

}  // namespace

Engine& engine() {
  static Engine instance;
  return instance;
}

// ---- rule groups, keep rule, writability -----------------------------------------------------

bool ruleGroupMatch(const MSElementDescr& element, ModelRef model, const RuleGroup& group) {
  if (!group.anySwitch()) return true;
  if (group.useLevel) {
    ElementProperties props;
    (void)mdlElement_getProperties(&props, element);
    std::string name;
    const bool named = mdlLevel_getName(&name, model, props.level) == SUCCESS;
    if (!valueList_match(group.level, VL_LEVEL_FLAGS, true, props.level, named ? &name : nullptr)) {
      return false;
    }
  }
  const int type = mdlElement_getType(element);
  const bool refused = refusedBySymbologyLists(type);
  uint32_t colour = 0, weight = 0;
  int32_t style = 0;
  (void)mdlElement_getSymbology(&colour, &weight, &style, element);
  if (group.useColor && !group.color.empty()) {
    if (refused || !valueList_match(group.color, VL_COLOR_FLAGS, true, colour, nullptr))
      return false;
  }
  if (group.useWeight && !group.weight.empty()) {
    if (refused || !valueList_match(group.weight, VL_WEIGHT_FLAGS, true, weight, nullptr)) {
      return false;
    }
  }
  if (group.useStyle && !group.style.empty()) {
    if (refused) return false;
    std::string name;
    if (mdlElement_getLineStyle(&name, element) == SUCCESS) {
      const size_t b = name.find_first_not_of(" \t");
      const size_t l = name.find_last_not_of(" \t");
      name = b == std::string::npos ? std::string() : name.substr(b, l - b + 1);
      if (!valueList_match(group.style, VL_STYLE_FLAGS, true, -1, &name)) return false;
    } else if (!valueList_match(group.style, VL_STYLE_FLAGS, true, style, nullptr)) {
      return false;
    }
  }
  return true;
}

bool keepRule(const MSElementDescr& current, ModelRef currentModel, const MSElementDescr& candidate,
              ModelRef candidateModel, const EngineSettings& settings) {
  (void)currentModel;
  (void)candidateModel;
  // V7 elements carry their symbology themselves (there is no by-level symbology), so the
  // effective symbology is the element's own.
  uint32_t colourA = 0, weightA = 0, colourB = 0, weightB = 0;
  int32_t styleA = 0, styleB = 0;
  (void)mdlElement_getSymbology(&colourA, &weightA, &styleA, current);
  (void)mdlElement_getSymbology(&colourB, &weightB, &styleB, candidate);
  if (settings.keepWider && weightA > weightB) return false;
  if (settings.keepSolid && styleA == 0 && styleB != 0) return false;
  return true;
}

bool isWritable(Engine& e) {
  const ModelRef model = mdlModelRef_getActive();
  // The file's attributes are read again for a deletion unless they were read for this model
  // within the last kAttributeRecheck: a run that deletes 100,000 elements would otherwise
  // spend most of its time in system calls. Nothing is lost by the delay: changes live in the
  // image, and a file that is read-only by the time it is saved is never written.
  const auto now = std::chrono::steady_clock::now();
  if (e.probedModel != model || now - e.attributesReadAt >= kAttributeRecheck) {
    std::string path;
    if (mdlModelRef_getFileName(model, &path) != SUCCESS) return false;
    uint32_t attributes = 0;
    const bool readOnly = mdlFile_getFileAttributes(path, &attributes) == SUCCESS &&
                          (attributes & FILE_ATTR_READONLY) != 0;
    // The probe's answer cannot change while the model and its file's attributes stay the same.
    if (e.probedModel != model || readOnly != e.probedReadOnly) {
      e.probeWritable = !readOnly && probeAppend(model);
      e.probedModel = model;
      e.probedReadOnly = readOnly;
    }
    e.attributesReadAt = now;
  }
  return e.probeWritable;
}

// ---- the candidate tests ---------------------------------------------------------------------

double searchWindow(const ElementEntry& entry, bool overlap, double toleranceUor) {
  double window = overlap ? toleranceUor + 1.0 : 1.0;
  if (hasRangeMargin(entry.elementType)) {
    const double dx = double(entry.xHigh) - double(entry.xLow);
    const double dy = double(entry.yHigh) - double(entry.yLow);
    const bool flat = entry.zLow == -2147483648LL && entry.zHigh == 2147483647LL;
    const double dz = flat ? 0.0 : double(entry.zHigh) - double(entry.zLow);
    window += std::sqrt(dx * dx + dy * dy + dz * dz);
  }
  return window;
}

int windowTest(const ElementEntry& c, const ElementEntry& e, double w, bool allowUnderlap,
               int direction) {
  if (allowUnderlap) {
    if (double(c.xHigh) < double(e.xLow) - w)
      return direction == -1 && c.filePosition != 0 ? 1 : -1;
    if (double(c.xLow) > double(e.xHigh) + w) return direction == 1 && c.filePosition != 0 ? 1 : -1;
  } else {
    if (double(c.xLow) < double(e.xLow) - w) return direction == -1 ? 1 : -1;
    if (double(c.xLow) > double(e.xLow) + w) return direction == 1 ? 1 : -1;
  }
  // The y test before the active flag: both only skip, and the range is in the node's first
  // cache line.
  if (allowUnderlap) {
    if (!(double(c.yHigh) >= double(e.yLow) - w && double(c.yLow) <= double(e.yHigh) + w))
      return -1;
  } else if (std::fabs(double(c.yLow) - double(e.yLow)) > w) {
    return -1;
  }
  if (c.active == 0) return -1;
  if (c.filePosition == e.filePosition && c.modelRef == e.modelRef) return -1;
  return 0;
}

void compareCandidate(Engine& e, int& result, bool& goOn, NodeId candidate, NodeId node,
                      double window, int direction) {
  if (result == SEARCH_DUPLICATE) return;
  ElementEntry& c = entryOf(e.table, candidate);
  ElementEntry& entry = entryOf(e.table, node);
  const CompareOptions& o = e.compare;
  const int w = windowTest(c, entry, window, o.allowUnderlap, direction);
  if (w == -1) return;
  if (w == 1) {
    goOn = false;
    return;
  }
  if (elementGone(e, candidate)) return;
  if (c.elementType != entry.elementType && !o.overlap && !o.allowUnderlap) return;
  const int32_t code = pairCode(entry.elementType, c.elementType);
  if (code == 0) return;
  if (code == 2 && !equalIgnoringCase(cellNameOf(e.table, entry), cellNameOf(e.table, c))) return;
  if (!keysMayMatch(e.keys[node], e.keys[candidate], o)) return;
  if (!ensureDescriptor(e, node)) return;
  const bool loadedHere = !c.descriptor;
  if (loadedHere && !ensureDescriptor(e, candidate)) return;
  ++e.candidatesCompared;
  const PairElement first{entry.descriptor.get(), entry.modelRef};
  const PairElement second{c.descriptor.get(), c.modelRef};
  MatchReason reason = MatchReason::None;
  if (comparePair(first, second, o, &reason) == COMPARE_DUPLICATE) {
    if (ruleGroupMatch(*c.descriptor, c.modelRef, e.settings.compared) &&
        keepRule(*entry.descriptor, entry.modelRef, *c.descriptor, c.modelRef, e.settings)) {
      result = SEARCH_DUPLICATE;
      e.matchedCandidate = candidate;
      e.matchedReason = reason;
    } else if (result == SEARCH_NONE) {
      result = SEARCH_REJECTED;
      e.refusedCandidate = candidate;
      e.refusedReason = reason;
    }
  }
  if (loadedHere) releaseDescriptor(e, candidate);
}

namespace {

// True when the range index can stand in for the underlap walks for this entry. The walks for
// longer entries reach every entry whose x interval holds this one's only when this one's range
// is not reversed by more than the window; such a damaged entry is searched by the walks.
bool indexCovers(const ElementTable& table, const ElementEntry& entry, double window) {
  const RangeIndex& index = table.index;
  const std::size_t nodes = table.list.nodes.size();
  return index.usable && index.rankLow.size() == nodes && index.rankHigh.size() == nodes &&
         index.rankExtent.size() == nodes && double(entry.xHigh) >= double(entry.xLow) - window;
}

// The underlap search through the range index. The walks of candidateSearch compare every
// entry whose x and y intervals meet the entry's within the window (the forward and backward
// walks those that start or end within it, the walks for longer entries those that hold it),
// and only those can pass the window test. The index finds them at once; they are compared in
// the order in which the walks would first reach them, so the search ends at the same one.
int indexedUnderlapSearch(Engine& e, NodeId node, double window) {
  const ElementEntry& entry = entryOf(e.table, node);
  std::vector<NodeId>& found = e.searchScratch;
  found.clear();
  // Whole-unit bounds one unit wider than the window: the window test decides exactly.
  queryRangeIndex(e.table.index, int64_t(std::floor(double(entry.xLow) - window)) - 1,
                  int64_t(std::ceil(double(entry.xHigh) + window)) + 1,
                  int64_t(std::floor(double(entry.yLow) - window)) - 1,
                  int64_t(std::ceil(double(entry.yHigh) + window)) + 1, found);
  std::vector<std::pair<uint64_t, NodeId>>& order = e.searchOrder;
  order.clear();
  for (const NodeId c : found) {
    if (c == node) continue;
    order.emplace_back(candidateOrderKey(e.table.index, node, c, e.table.largestExtent), c);
  }
  std::sort(order.begin(), order.end());
  int result = SEARCH_NONE;
  bool goOn = true;
  for (const auto& [key, c] : order) {
    compareCandidate(e, result, goOn, c, node, window, 0);
    if (result == SEARCH_DUPLICATE) break;
  }
  return result;
}

}  // namespace

int candidateSearch(Engine& e, NodeId node) {
  ElementEntry& entry = entryOf(e.table, node);
  e.matchedCandidate = kNoNode;
  e.matchedReason = MatchReason::None;
  e.refusedCandidate = kNoNode;
  if (e.settings.remove.anySwitch()) {
    if (!ensureDescriptor(e, node) ||
        !ruleGroupMatch(*entry.descriptor, entry.modelRef, e.settings.remove)) {
      return SEARCH_NOT_ADMITTED;
    }
  }
  const CompareOptions& o = e.compare;
  const double window = searchWindow(entry, o.overlap, o.toleranceUor);
  if (o.allowUnderlap && indexCovers(e.table, entry, window)) {
    return indexedUnderlapSearch(e, node, window);
  }
  int result = SEARCH_NONE;
  const Ordering backOrder = o.allowUnderlap ? ByXHigh : ByXLow;
  NodeId forward = nextNode(e.table, node, ByXLow);
  NodeId backward = prevNode(e.table, node, backOrder);
  bool goForward = true, goBackward = true;
  while (result != SEARCH_DUPLICATE &&
         ((goForward && forward != kNoNode) || (goBackward && backward != kNoNode))) {
    if (goForward && forward != kNoNode) {
      compareCandidate(e, result, goForward, forward, node, window, +1);
      forward = nextNode(e.table, forward, ByXLow);
      if (result == SEARCH_DUPLICATE) break;
    }
    if (goBackward && backward != kNoNode) {
      compareCandidate(e, result, goBackward, backward, node, window, -1);
      backward = prevNode(e.table, backward, backOrder);
    }
  }
  if (!o.allowUnderlap || result == SEARCH_DUPLICATE) return result;

  // Longer entries that may contain this one: back along ByXLow from the entry, and back along
  // ByXExtent from the longest entry, while a long enough entry could still reach it.
  NodeId a = prevNode(e.table, node, ByXLow);
  NodeId b = e.table.largestExtent;
  int64_t lastXLow = 0, lastExtent = 0;
  const double reach = double(entry.xLow) - window;
  bool unused = true;
  while ((a != kNoNode || b != kNoNode) && result != SEARCH_DUPLICATE) {
    if (a != kNoNode) {
      const ElementEntry& ea = entryOf(e.table, a);
      if (double(ea.xHigh) >= reach) compareCandidate(e, result, unused, a, node, window, 0);
      lastXLow = ea.xLow;
      a = prevNode(e.table, a, ByXLow);
    }
    if (b != kNoNode) {
      compareCandidate(e, result, unused, b, node, window, 0);
      lastExtent = entryOf(e.table, b).xExtent;
      b = prevNode(e.table, b, ByXExtent);
    }
    if (result == SEARCH_DUPLICATE) break;
    if (!(double(lastXLow) + double(lastExtent) >= reach &&
          double(lastExtent) >= double(entry.xExtent) - 2.0 * window)) {
      break;
    }
  }
  return result;
}

// ---- processing ------------------------------------------------------------------------------

StatusPair statusForResult(int searchResult, const EngineSettings& s) {
  switch (searchResult) {
    case SEARCH_DUPLICATE:
      return {STATUS_DUPLICATE, s.interactive ? 1u : 0u};
    case SEARCH_NONE:
      return {STATUS_UNIQUE, s.allowUnderlap ? 1u : 0u};
    case SEARCH_NOT_ADMITTED:
      return {STATUS_NOT_ADMITTED, 1};
    case SEARCH_REJECTED:
      return {STATUS_REJECTED, 1};
    default:
      return {STATUS_SENTINEL, 0};
  }
}

int processEntry(Engine& e, NodeId node) {
  ElementEntry& entry = entryOf(e.table, node);
  if (entry.status != STATUS_LOADED) return PASS_CONTINUE;
  if (e.settings.fence && fenceIsDefined()) {
    if (!ensureDescriptor(e, node) || !elementInsideFence(*entry.descriptor)) {
      setStatus(e, node, {STATUS_UNIQUE, 0});
      return PASS_CONTINUE;
    }
  }
  StatusPair status;
  if (e.settings.removeAllSel) {
    status = {STATUS_REMOVED_ALL, 1};
    e.matchedCandidate = kNoNode;
    e.matchedReason = MatchReason::InSelectionSet;
  } else {
    status = statusForResult(candidateSearch(e, node), e.settings);
    if (status.status == STATUS_SENTINEL) {
      if (e.report.console) e.report.console(kIncompleteSwitch, e.report.context);
      return PASS_CONTINUE;
    }
  }
  setStatus(e, node, status);
  if (status.status != STATUS_REMOVED_ALL && status.status != STATUS_DUPLICATE) {
    // The report reads the element only when it needs it: the drawing's own single elements
    // are already in the report, so a million of them cost no descriptor.
    if (e.report.designReportSingle) {
      e.report.designReportSingle(entry, REPORT_CLASS_SINGLE, e.report.context);
    }
    return PASS_CONTINUE;
  }
  if (e.step.reportOnlyFromHere != 0 || entry.filePosition < e.step.reviewLimit) {
    report(e, node);
    return PASS_CONTINUE;
  }
  if (e.is3d) (void)mdlView_setArea(0, e.step.savedOrigin, e.step.savedDelta);
  if (e.settings.interactive) {
    (void)ensureDescriptor(e, node);
    return PASS_REVIEW;
  }
  const bool inReference = entry.modelRef != e.activeModel;
  if (!inReference && entry.isComplexComponent == 0 && !e.settings.reportOnly && isWritable(e)) {
    (void)deleteEntryElement(e, node);
  }
  report(e, node);
  return PASS_CONTINUE;
}

namespace {

// Entries are processed in load order, but their neighbours in the sorted orderings lie anywhere
// in memory. Fetching the neighbours of the entry a few steps ahead hides most of that latency.
constexpr int kLookahead = 8;

void fetchNeighbours(Engine& e) {
  const ElementList& list = e.table.list;
  if (e.lookahead == kNoNode) return;
  e.lookahead = list[e.lookahead].links[LoadOrder].next;
  if (e.lookahead == kNoNode) return;
  const auto& links = list[e.lookahead].links;
  const NodeId ahead = links[ByXLow].next;
  const NodeId behind = links[e.compare.allowUnderlap ? ByXHigh : ByXLow].prev;
  if (ahead != kNoNode) __builtin_prefetch(&list[ahead].record.xLow);
  if (behind != kNoNode) __builtin_prefetch(&list[behind].record.xLow);
}

void startLookahead(Engine& e) {
  NodeId n = e.step.current;
  for (int i = 0; i < kLookahead && n != kNoNode; ++i) n = nextNode(e.table, n, LoadOrder);
  e.lookahead = n;
}

}  // namespace

int startPass(Engine& e, void* dialog, bool reportOnly) {
  e.step.reviewDialog = dialog;
  e.step.reportOnlyFromHere = reportOnly ? 1 : 0;
  NodeId current = e.step.current;
  if (current != kNoNode) {
    // An entry without a descriptor (the sentinel, or an element that could not be read) gives
    // no report; every entry but the sentinel counts as processed.
    if (entryOf(e.table, current).descriptor) report(e, current);
    if (current != e.table.head) ++e.step.processed;
    releaseDescriptor(e, current);
  }
  const ModelRef active = e.activeModel != 0 ? e.activeModel : mdlModelRef_getActive();
  e.step.toleranceUor = toleranceInUor(e.settings.tolerance, active);
  e.step.rotationTolerance = std::atof(e.settings.rotTolerance.c_str()) * kPiValue / 180.0;
  e.compare.overlap = e.settings.overlap;
  e.compare.toleranceUor = e.step.toleranceUor;
  e.compare.allowRotation = e.settings.allowRotation;
  e.compare.rotationTolerance = e.step.rotationTolerance;
  e.compare.allowReversed = e.settings.allowReversed;
  e.compare.allowUnderlap = e.settings.allowUnderlap;
  e.compare.is3d = e.is3d;
  e.compare.ignore = {e.settings.ignore.useLevel, e.settings.ignore.useColor,
                      e.settings.ignore.useWeight, e.settings.ignore.useStyle};
  e.compare.trace = e.report.trace;
  if (e.is3d) {
    DPoint3d centre;
    (void)mdlView_getParameters(&e.step.savedOrigin, &centre, &e.step.savedDelta,
                                &e.step.savedRotation, 0);
  }
  current = current == kNoNode ? kNoNode : nextNode(e.table, current, LoadOrder);
  e.step.current = current;
  e.table.current = current;
  startLookahead(e);
  return current == kNoNode ? PASS_ENDED : PASS_CONTINUE;
}

int passStep(Engine& e) {
  const NodeId node = e.step.current;
  if (node == kNoNode) return PASS_ENDED;
  fetchNeighbours(e);
  // The descriptor is read when a test needs it; here only that it can be read is checked.
  if (!readable(e, node)) return PASS_REVIEW;
  const int result = processEntry(e, node);
  if (result != PASS_CONTINUE) return result;
  ++e.step.processed;
  ++e.table.processedCount;
  releaseDescriptor(e, node);
  e.step.current = nextNode(e.table, node, LoadOrder);
  e.table.current = e.step.current;
  return PASS_CONTINUE;
}

int runPassToEnd(Engine& e) {
  int result = PASS_CONTINUE;
  while (result == PASS_CONTINUE) result = passStep(e);
  return result;
}

// ---- review ----------------------------------------------------------------------------------

int deleteCurrent(Engine& e) {
  const NodeId node = e.step.current;
  if (node == kNoNode) return ERROR;
  const ElementEntry& entry = entryOf(e.table, node);
  if (entry.status != STATUS_REMOVED_ALL && entry.status != STATUS_DUPLICATE) return ERROR;
  // Elements of reference attachments and components of complex elements are never deleted.
  if (entry.modelRef != e.activeModel || entry.isComplexComponent != 0) return ERROR;
  if (e.settings.reportOnly || !isWritable(e)) return ERROR;
  return deleteEntryElement(e, node) ? SUCCESS : ERROR;
}

int restoreCurrent(Engine& e) {
  const NodeId node = e.step.current;
  if (node == kNoNode) return ERROR;
  ElementEntry& entry = entryOf(e.table, node);
  if (entry.status != STATUS_REMOVED_ALL && entry.status != STATUS_DUPLICATE) return ERROR;
  if (!ensureDescriptor(e, node)) return ERROR;
  MSElementDescr copy = *entry.descriptor;
  clearDeletedBits(copy);
  const uint32_t pos = mdlElmdscr_add(&copy, entry.modelRef);
  if (pos == 0) return ERROR;
  entry.filePosition = pos;
  e.keys[node].slot = UINT32_MAX;
  entry.descriptor = std::make_unique<MSElementDescr>(std::move(copy));
  return SUCCESS;
}

}  // namespace kelvara
