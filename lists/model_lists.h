// Model lists: the models of design files, filtered by model type and model name, as records
// for the "Input Files and Models" dialog and as the run's entry list ("file,model").
//
// Models come from the host's model directory (host/models.h). A file that cannot be opened,
// or has no model passing the filters, adds nothing and does not stop the listing of the other
// files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/models.h"
#include "host/strings.h"
#include "settings/run_settings.h"

namespace kelvara {

// Most records a model table holds.
inline constexpr size_t MAX_MODEL_RECORDS = 4095;
// Longest model and file name a record keeps (bytes; longer names are cut).
inline constexpr size_t MODEL_NAME_MAX = 511;
inline constexpr size_t MODEL_FILE_NAME_MAX = 511;
inline constexpr size_t MODIFIED_TEXT_MAX = 39;
// The model name of every run entry when MODEL_TYPES is MODEL_TYPES_ACTIVE.
inline constexpr const char* ACTIVE_MODEL_ENTRY = "<ActiveModel>";

// Values of MODEL_TYPES: which models are listed.
enum ModelTypes : int32_t {
  MODEL_TYPES_ALL = 0,         // every model
  MODEL_TYPES_DEFAULT = 1,     // only the default model of each file
  MODEL_TYPES_NOT_SHEETS = 2,  // only models that are not sheets
  MODEL_TYPES_SHEETS = 3,      // only sheet models
  MODEL_TYPES_ACTIVE = 4,      // only the default model, entered as "<ActiveModel>"
};

// One listed model.
struct ModelRecord {
  std::string modelName;     // as the host gives it
  std::string fileName;      // full design file name
  std::string shortName;     // file name and extension without directory
  double modifiedTime = 0;   // the model's time, raised to its latest element time
  std::string modifiedText;  // modifiedTime as the locale's date and time ("%c")
  int64_t elementBytes = 0;  // sum of the sizes of the model's elements
  bool hasElementTimes = false;
  bool operator==(const ModelRecord&) const = default;
};
using ModelTable = std::vector<ModelRecord>;

// True when `modelName` passes the name filter: an empty filter and a filter of exactly `*`
// pass every name; any other filter is a wildcard (`*`, `?`) on the whole name, without case.
bool modelNamePasses(std::string_view filter, std::string_view modelName);

// True when a model passes the model type (a value of ModelTypes; other values list every
// model).
bool modelTypePasses(int32_t modelTypes, const ModelItem& model);

// `time` as display text: the locale's date and time ("%c"), cut to MODIFIED_TEXT_MAX.
std::string modifiedTimeText(double time);

// Appends to `table` the models of design file `fileName` that pass `nameFilter` and
// `modelTypes` and are not in the table yet (same file and model name, ignoring case); stops
// when the table is full. Returns the index of the last record added, or -1 when the file
// cannot be opened, has no models, or adds none.
int listFileModels(const std::string& fileName, std::string_view nameFilter, int32_t modelTypes,
                   ModelTable& table);

// Lists the models of every file of the selection into `table`, in order. Returns the number
// of files.
int listSelectedFileModels(const std::vector<std::string>& files, std::string_view nameFilter,
                           int32_t modelTypes, ModelTable& table);

// The run's entry of a record: "file,model", the model being "<ActiveModel>" with
// MODEL_TYPES_ACTIVE.
std::string runEntryText(const ModelRecord& record, int32_t modelTypes);

// Builds the run's entry list afresh (*entryList is destroyed and replaced) from the models of
// the selected files with the settings' MODEL_NAMES_FILTER and MODEL_TYPES; `table` receives
// the records (the run's own table). Returns 0, or 1 when files were selected and none of them
// gave a model (the list is then empty).
int b_compareFillStringLists(StringList** entryList, const std::vector<std::string>& files,
                             const RunSettings& settings, ModelTable& table);

}  // namespace kelvara
