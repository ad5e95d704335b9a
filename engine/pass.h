// The comparison pass over one model's element table.
//
// Entries are processed one at a time in load order. For each entry a candidate search walks the
// sorted orderings outward from the entry and looks only at entries whose range lies within a
// window of it; a candidate must pass the window, the type gate, the pair comparison, the
// "Elements Compared" rule group and the keep rule. The first candidate accepted decides: the
// entry is a duplicate and is deleted, reported or handed to the review. The pass can be driven
// one entry per step (passStep, as the run's stepper does) or to its end by a plain loop.
//
// Before a candidate's descriptor is read, a few bytes kept per entry (its slot in the file
// image and, for plain vertex elements, the vertex count, the end points' hashes and the
// length) reject pairs that cannot match. These tests only skip comparisons that would fail:
// the statuses and the order of processing are those of the full comparison.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/compare_pair.h"
#include "engine/element_table.h"
#include "host/types.h"

namespace kelvara {

// One rule group of the settings (level, colour, weight, style switches and value lists).
struct RuleGroup {
  bool useLevel = false;
  bool useColor = false;
  bool useWeight = false;
  bool useStyle = false;
  std::string level;
  std::string color;
  std::string weight;
  std::string style;
  bool anySwitch() const { return useLevel || useColor || useWeight || useStyle; }
};

// The settings the engine reads, copied from the run's settings when a model is set up.
struct EngineSettings {
  bool interactive = true;
  bool reportOnly = false;
  bool removeSelDup = false;
  bool removeAllSel = false;
  bool backup = true;
  bool fence = false;
  bool overlap = false;
  std::string tolerance = "1.0";  // master units, as typed
  bool allowRotation = false;
  std::string rotTolerance = "1.0";  // degrees, as typed
  bool allowReversed = false;
  bool allowUnderlap = false;
  bool keepWider = false;
  bool keepSolid = false;
  int incRefFiles = 3;
  std::string criteriaName;     // selection file
  std::string criteriaDescrpt;  // selection set names, joined by commas
  std::string designExtension = "drf";
  RuleGroup ignore, remove, compared;
};

// Search results of candidateSearch.
enum SearchResult : int {
  SEARCH_DUPLICATE = 1,
  SEARCH_NONE = 3,
  SEARCH_NOT_ADMITTED = 5,
  SEARCH_REJECTED = 6,
};

// Step results.
inline constexpr int PASS_CONTINUE = 0;
inline constexpr int PASS_ENDED = -3;
inline constexpr int PASS_REVIEW = -4;

// Design report class with which single (non-duplicate) elements are handed over.
inline constexpr int REPORT_CLASS_SINGLE = 22;

// Where the pass reports. Every pointer may be null (nothing is reported).
struct PassReportHooks {
  // An entry processed to a duplicate outcome (or resumed after the review): the entry, whether
  // it was just deleted and whether it is a complex component. Its descriptor is loaded.
  void (*reportEntry)(const ElementEntry& entry, bool deleted, bool complexComponent,
                      void* context) = nullptr;
  // A single element for the design report (statuses 22, 25 and 26; class 22). Its descriptor
  // may not be loaded: the hook reads the element if it needs it.
  void (*designReportSingle)(const ElementEntry& entry, int reportClass, void* context) = nullptr;
  // A line for the host console ("Programming error ..." texts).
  void (*console)(const std::string& text, void* context) = nullptr;
  // A line for the comparison trace log (the sampled overlap test's lines); null: no trace.
  void (*trace)(const char* line) = nullptr;
  void* context = nullptr;
};

// The step context: the counts of the stepper and the pass's own state.
struct StepContext {
  void* reviewDialog = nullptr;
  int continuing = 0;
  uint32_t processed = 0;
  uint32_t total = 0;
  double startTime = 0.0;  // seconds
  double toleranceUor = 0.0;
  double rotationTolerance = 0.0;
  NodeId current = kNoNode;
  uint32_t reportOnlyFromHere = 0;
  uint8_t deletedFlag = 0;
  uint8_t deleteFailed = 0;  // the host refused the current entry's deletion
  uint32_t reviewLimit = 0;
  DPoint3d savedOrigin, savedDelta;  // view 1's area at the start of the pass (3D designs)
  RotMatrix savedRotation;
};

// Per-entry facts for the cheap rejections (indexed by node). For plain vertex elements (lines,
// line strings, shapes, curves, point strings) they describe the vertices: two elements whose
// vertex lists are equal have equal hashes, so different hashes prove them different.
struct EntryKey {
  uint32_t slot = UINT32_MAX;  // the element's slot in its model's image (UINT32_MAX: unknown)
  uint32_t sequenceHash = 0;   // hash of the vertices in order
  uint32_t shapeHash = 0;      // closed: of the ring's vertices in any order and from any start;
                               // open: the same whichever way the vertices run
  float length = 0.0f;         // length along the vertices
  uint16_t vertexCount = 0;
  uint8_t flags = 0;  // KEY_VERTICES, KEY_CLOSED
};
inline constexpr uint8_t KEY_VERTICES = 1;  // the fields above describe the vertices
inline constexpr uint8_t KEY_CLOSED = 2;    // first vertex equals last

// The engine's per-model state: the table, the pass and what it was set up with. setUpModel
// starts each model afresh; only the report hooks (installed by the run), the scratch buffers
// and the counters for tests and benchmarks outlive a model.
struct Engine {
  ElementTable table;
  std::vector<EntryKey> keys;
  StepContext step;
  EngineSettings settings;
  CompareOptions compare;  // from the settings and the tolerances of startPass
  PassReportHooks report;
  ModelRef activeModel = 0;
  bool is3d = false;
  bool expandComplex = false;  // load the components of complex elements (the run's flag)
  int setupOutcome = 0;
  // The probe's answer per model; cleared when the model changes or its attributes do.
  ModelRef probedModel = 0;
  bool probeWritable = false;
  bool probedReadOnly = false;
  std::chrono::steady_clock::time_point attributesReadAt;
  // The candidate accepted by the last candidate search (kNoNode when none was): the element
  // the review shows beside the duplicate.
  NodeId matchedCandidate = kNoNode;
  MatchReason matchedReason = MatchReason::None;  // which test accepted it (InSelectionSet: none)
  // The first candidate that matched but that the "Elements Compared" group or the keep rule
  // refused, and why it matched (the entry's status is then 26).
  NodeId refusedCandidate = kNoNode;
  MatchReason refusedReason = MatchReason::None;
  // Counters for tests and benchmarks.
  uint64_t candidatesCompared = 0;  // pairs handed to comparePair
  uint64_t descriptorsRead = 0;
  // The entry a few steps ahead of the current one whose neighbours are being fetched.
  NodeId lookahead = kNoNode;
  // Scratch of the indexed underlap search, kept to spare allocations.
  std::vector<NodeId> searchScratch;
  std::vector<std::pair<uint64_t, NodeId>> searchOrder;
  // The open file of the model looked up last (lookups repeat for every candidate).
  ModelRef cachedModel = 0;
  struct DesignFile* cachedFile = nullptr;
};

// False only when the two elements (a under test, b the candidate) cannot match under the
// options: a necessary condition of the linear comparison, read from the keys alone. True
// when either key does not describe vertices.
[[nodiscard]] bool keysMayMatch(const EntryKey& a, const EntryKey& b,
                                const CompareOptions& options);

// The process-wide engine.
Engine& engine();

// ---- the pass --------------------------------------------------------------------------------

// Starts or resumes the pass: sets reportOnlyFromHere from the flag, reports the current entry
// when its descriptor is loaded, counts it as processed unless it is the sentinel, computes
// the tolerances, records the view, and moves to the next entry in load order. Returns
// PASS_CONTINUE, or PASS_ENDED when no entry is left.
int startPass(Engine& e, void* dialog, bool reportOnly);

// One step as the stepper does it: read the current entry's descriptor, process it, count it,
// release the descriptor and advance. PASS_ENDED when no entry is left; PASS_REVIEW when a
// descriptor cannot be read or a duplicate waits for the review (the entry stays current).
int passStep(Engine& e);

// Steps until the pass ends or pauses; returns PASS_ENDED or PASS_REVIEW.
int runPassToEnd(Engine& e);

// Processes the current entry (whose descriptor the caller made readable). 0 to go on,
// PASS_REVIEW to pause for the review.
int processEntry(Engine& e, NodeId node);

// The status and active values written for a search result (status 0 for unknown results).
StatusPair statusForResult(int searchResult, const EngineSettings& settings);

// Searches the candidates of the entry at node: SEARCH_DUPLICATE, SEARCH_NONE,
// SEARCH_NOT_ADMITTED or SEARCH_REJECTED.
int candidateSearch(Engine& e, NodeId node);

// The window of an entry: 1 (plus the tolerance with overlap) plus, for types whose range is
// far from their outline (cells, text nodes, ellipses, arcs, text, cones, shared cells, tags),
// the diagonal of its range.
double searchWindow(const ElementEntry& entry, bool overlap, double toleranceUor);

// The range part of the window test: -1 skip, 0 compare, 1 stop this direction. The test that
// the candidate's element still exists follows in compareCandidate.
int windowTest(const ElementEntry& candidate, const ElementEntry& entry, double window,
               bool allowUnderlap, int direction);

// Tests one candidate for the entry at node. `result` becomes 1 when it is accepted, or 6 when
// it matched but was rejected (and result was 3); `goOn` is cleared when the walk must stop.
void compareCandidate(Engine& e, int& result, bool& goOn, NodeId candidate, NodeId node,
                      double window, int direction);

// The element matches the rule group (a group without switches matches everything).
[[nodiscard]] bool ruleGroupMatch(const MSElementDescr& element, ModelRef model,
                                  const RuleGroup& group);

// True when the current element may be removed in favour of the candidate.
[[nodiscard]] bool keepRule(const MSElementDescr& current, ModelRef currentModel,
                            const MSElementDescr& candidate, ModelRef candidateModel,
                            const EngineSettings& settings);

// True when the active design file accepts changes: its attributes do not say read-only (read
// at most every 50 ms per model) and an append succeeds (probed once per model and attribute
// state; the probe leaves no trace in the file).
[[nodiscard]] bool isWritable(Engine& e);

// Review: delete the current entry (status 21 or 23). ERROR when report-only, not writable or
// another status.
[[nodiscard]] int deleteCurrent(Engine& e);

// Review: add the current entry's element back (status 21 or 23), store its new position and
// display it. ERROR when the add fails or for another status.
[[nodiscard]] int restoreCurrent(Engine& e);

}  // namespace kelvara
