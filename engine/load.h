// Setting a model up for the comparison: the checks on its file, the loading of its elements
// (and of its reference attachments') into the element table, and the sorted orderings.
//
// Loading admits an element when it can be read, is visible, is admitted by the selection sets
// (when the run is restricted to them), lies inside the fence (when the fence option is on) and,
// when complex elements are expanded, is not a complex header. Entries keep only the range and
// a few fields; descriptors are read again by file position during the pass.
//
// The steps that belong to the run (resetting its counters, the backup copy, the reports,
// showing numbered messages, loading the selection file, the selection-set test) are reached
// through SetupHooks. The two safety steps fail closed: without a backup hook a file that is to
// be backed up is not processed (message 25), and without an admission hook a model restricted
// to selection sets is not loaded (message 29). Any other unset hook does nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/pass.h"
#include "settings/run_settings.h"

namespace kelvara {

// Numbered messages the set-up and loading show.
inline constexpr int MSG_NOT_DESIGN_FILE = 24;
inline constexpr int MSG_BACKUP_FAILED = 25;
inline constexpr int MSG_NO_ELEMENTS = 27;
inline constexpr int MSG_SELECTION_FILE = 28;
inline constexpr int MSG_NO_ADMISSION_TEST = 29;

struct SetupHooks {
  void (*resetModelCounters)(void* context) = nullptr;
  // Copies the active design file to its backup; ERROR stops the set-up (the hook shows the
  // message). Required when BACKUP is on.
  int (*backup)(void* context) = nullptr;
  // Opens the entry's reports (and writes the text report's file block); ERROR ends the set-up
  // at once, before anything is loaded (the hook shows the message).
  int (*openReports)(void* context) = nullptr;
  // Shows numbered message `number` with its argument (default: in the error field).
  void (*showMessage)(int number, const std::string& argument, void* context) = nullptr;
  // Loads the selection file into the run's list; ERROR when it cannot be loaded.
  int (*loadSelectionFile)(const std::string& path, void* context) = nullptr;
  // True when one of the named selection sets admits the element. Required when the run is
  // restricted to selection sets.
  bool (*admitted)(const MSElementDescr& element, ModelRef model, const std::string& setNames,
                   void* context) = nullptr;
  void* context = nullptr;
};

// The process-wide hooks.
SetupHooks& setupHooks();

// A rule group of the settings as the engine and the report header read it.
RuleGroup ruleGroupFrom(const SymbologyRule& rule);

// The engine's copy of the run settings it reads.
EngineSettings engineSettingsFrom(const RunSettings& settings);

// Sets a model up and starts its pass: 0 when the pass has been started, ERROR when the model is
// skipped or failed (e.setupOutcome says why). `fileChanged` asks for the backup copy.
[[nodiscard]] int setUpModel(Engine& e, void* reviewDialog, const std::string& entryFile,
                             const std::string& entryModel, const std::string& workingFile,
                             bool fileChanged);

// Loads the active model's elements and those of its reference attachments (by incRefFiles)
// into the table, after the sentinel.
[[nodiscard]] int loadModelElements(Engine& e, const std::string& fileName,
                                    const std::string& modelName, bool useSelection,
                                    const std::string& selectionFile,
                                    const std::string& selectionSets);

// Loads one model reference's admitted elements with the given initial status pair.
[[nodiscard]] int scanModelRef(Engine& e, ModelRef model, bool useSelection,
                               const std::string& selectionFile, const std::string& selectionSets,
                               bool expandComplex, StatusPair initial);

// The file positions of the model's graphic elements in file order, 1-based: [0] is unused, so the
// result's size is 1 + the number of positions (1 when the model has none or is unknown).
std::vector<uint32_t> collectFilePositions(ModelRef model, bool expandComplex = false);

// True when the element lies inside the fence (every part of its outline).
[[nodiscard]] bool elementInsideFence(const MSElementDescr& element);

// The cheap-rejection facts of an element (from its bytes as stored in the file).
EntryKey entryKeyOf(const uint8_t* element, uint32_t size, bool is3d);

}  // namespace kelvara
