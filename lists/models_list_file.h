// The models list file and the list of the "Input Files and Models" dialog as data: two model
// tables (the left and the right side), rows pairing a record of each side, tags, the
// dialog's modes and titles, and saving and loading the rows as a models list file.
//
// A models list file is 8-bit text with one row per line: the left and the right entry joined
// by ';', each entry a file name and a model name joined by ','; a side without a model is a
// lone ','. Reading skips, without a word, every line that lacks a ';' or has an empty file or
// model part. Problems are handed back as ParseError records (never shown here); what the
// user is told on success comes back as text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/parse_error.h"
#include "lists/model_lists.h"

namespace kelvara {

// Codes of the errors of the models list file.
enum ModelsListError : int {
  MODELS_LIST_NOTHING_TAGGED = 111,  // "Make sure that you have tagged at least one component."
  MODELS_LIST_UNWRITABLE = 112,      // "Failed to open \"%s\" for writing. Make sure ..."
  MODELS_LIST_UNREADABLE = 113,      // "Failed to read from file \"%s\"."
  MODELS_LIST_NO_PAIR = 114,         // "Failed to read information about at least single ..."
  MODELS_LIST_ROW_DATA = 115,        // "Internal error: Failed to get row's data (%d)."
};

// Title of the boxes that tell the outcome of saving and loading.
inline constexpr const char* MODELS_LIST_BOX_TITLE = "Information";
// Longest line the reader takes (bytes, without the line break); the rest of a longer line is
// ignored.
inline constexpr size_t MODELS_LIST_LINE_MAX = 1023;

// ---- The dialog's list as data ---------------------------------------------------------------

// One row of the two-sided list: an index into the left and into the right table (-1: that
// side has no model) and whether the row carries the tag.
struct ModelPairRow {
  int left = -1;
  int right = -1;
  bool tagged = false;
  bool operator==(const ModelPairRow&) const = default;
};

struct ModelPairList {
  ModelTable left;
  ModelTable right;
  std::vector<ModelPairRow> rows;
};

// The dialog's modes (what is compared with what).
enum ModelListMode : int {
  MODEL_LIST_ACTIVE_WITH_SELECTED = 0,
  MODEL_LIST_SELECTED_FILES = 1,
  MODEL_LIST_ACTIVE_FILE_WITH_SELECTED = 2,
  MODEL_LIST_TEXT_FILE = 3,
};

// The dialog's title in `mode`: "Kelvara - " and the mode's text ("Kelvara - " alone for a mode
// it does not know).
std::string modelListDialogTitle(int mode);

// How the list shows a file and a model: the active file as "<Active File>", the active model
// (its name in the active file) as "<Active Model>", others as they are.
std::string displayedFileName(const std::string& fileName, const std::string& activeFile);
std::string displayedModelName(const ModelRecord& record, const std::string& activeFile,
                               const std::string& activeModel);

// Tags every row (tag true) or none.
void tagAllRows(ModelPairList& list, bool tag);

// The records of row `row` when the user's selection is taken (null for a side without a
// model). MODELS_LIST_ROW_DATA ("Internal error: Failed to get row's data (3).") when the row
// or one of its indexes does not exist.
[[nodiscard]] int selectedRowRecords(const ModelPairList& list, size_t row,
                                     const ModelRecord** left, const ModelRecord** right,
                                     ParseError* error);

// ---- Writing --------------------------------------------------------------------------------

// The entry of one side: "file,model", or a lone "," for a side without a model.
std::string modelsListEntry(const ModelRecord* record);

// The lines to save, "left;right" each, from the rows in order: with taggedOnly only tagged
// rows; with takeIncomplete a row with one side missing too (that side written as ","), else
// it is left out. A row without any side is never taken. A row whose index lies outside its
// table gives MODELS_LIST_ROW_DATA and nothing. MODELS_LIST_NOTHING_TAGGED when no row is
// taken.
[[nodiscard]] int modelsListLines(const ModelPairList& list, bool taggedOnly, bool takeIncomplete,
                                  std::vector<std::string>* lines, ParseError* error);

// Writes the lines to `path` (each followed by a line break), replacing the file whole. On
// success *notice is "File \"%s\" was successfully created."; else MODELS_LIST_UNWRITABLE.
[[nodiscard]] int writeModelsList(const std::string& path, const std::vector<std::string>& lines,
                                  std::string* notice, ParseError* error);

// ---- Reading --------------------------------------------------------------------------------

// One line of a models list that names a file and a model on both sides.
struct ModelsListLine {
  std::string leftFile, leftModel, rightFile, rightModel;
  int line = 0;  // 1-based
  bool operator==(const ModelsListLine&) const = default;
};

// The usable lines of a models list's content, in order (lines are cut to
// MODELS_LIST_LINE_MAX; a final line without a line break counts).
std::vector<ModelsListLine> parseModelsList(std::string_view content);

// Loads the models list at `path` into `list`: both tables and the rows are emptied, then each
// usable line whose two files are design files has each side's file listed with the side's
// model name as the model-name filter (and `modelTypes`); when both sides give a record, a
// row pairs them (a side already listed by an earlier line pairs its earlier record). On
// success *notice is "Models list was successfully loaded from file \"%s\".". Errors:
// MODELS_LIST_UNREADABLE (the list is left as it was), MODELS_LIST_NO_PAIR.
[[nodiscard]] int loadModelsList(const std::string& path, int32_t modelTypes, ModelPairList& list,
                                 std::string* notice, ParseError* error);

// ---- The file dialogs -----------------------------------------------------------------------

struct ModelsListFileDialog {
  std::string title;
  std::string filter;       // "*.txt"
  std::string description;  // of the filter
  std::string folder;       // start folder: "_USTN_OUT" ("" when not defined)
};
ModelsListFileDialog saveModelsListDialog();
ModelsListFileDialog loadModelsListDialog();

}  // namespace kelvara
