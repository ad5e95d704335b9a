// The level picker's text rules, apart from any dialog: the rows it lists (the levels of the
// active file, of its references and of attached level libraries), the level matcher that
// tells which levels a field's text already covers, the text written back on OK with its
// 255-character limit, and the overflow of a longer list into a level list file that the field
// then names as "@file".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/element.h"
#include "valuelist/list_file.h"
#include "valuelist/valuelist.h"

namespace kelvara {

inline constexpr size_t LEVEL_LIST_LIMIT = 255;         // longest text a level field takes
inline constexpr size_t LEVEL_FIELD_READ_LIMIT = 4095;  // characters of the field read on OK
inline constexpr size_t LEVEL_FILE_LINE_LIMIT = 4090;   // a longer first line counts as empty

// ---- Rows --------------------------------------------------------------------------------------

struct LevelRow {
  std::string name;         // "" for a level without a name
  int code = 0;             // the level number
  std::string description;  // design files keep none: ""
  std::string library;      // the level library it comes from; "" for a design file's level
  friend bool operator==(const LevelRow&, const LevelRow&) = default;
};
// The code as the picker prints it ("%03ld": level 7 is "007").
std::string pc_levelCodeText(int code);

// Published as "b__addSelection", "b__displayRefLevels", "b__displayMasterLevels".
struct LevelPickerSwitches {
  bool addSelection = false;        // add the chosen levels to the field's text
  bool displayRefLevels = false;    // list the levels of attached references
  bool displayMasterLevels = true;  // list the levels of the active file
};

struct LevelLibrary {
  std::string path;  // as attached
  std::string name;  // the file name shown in the rows
  std::vector<LevelRow> levels;
};
struct LevelLibraries {
  std::vector<LevelLibrary> attached;
};

// The rows, unique, in this order: the active file's levels 1-63 (with the master switch),
// its references' levels (with the reference switch), then each attached library's levels.
std::vector<LevelRow> levelPickerRows(ModelRef active, const LevelPickerSwitches& switches,
                                      const LevelLibraries& libraries);

// ---- The level matcher -------------------------------------------------------------------------

struct LevelMatcher {
  std::vector<ValueRange> codes;      // number and range items
  std::vector<std::string> patterns;  // every other item, upper case
};
// Normalises a field's text and cuts it into items: blanks at both ends go; "@file" is replaced
// by the first line of that file; outside double quotes ":" becomes "-" and blanks go; the
// quotes themselves go; doubled commas become one. An item that is a number or a range joined
// by "-" tests the code, any other is a wildcard pattern (`*`, `?`) on the name, without case.
LevelMatcher levelMatcher_make(std::string_view fieldText);
bool b_levelCovered(const LevelMatcher& matcher, int code, std::string_view name);

// ---- Opening and OK ----------------------------------------------------------------------------

struct LevelPreselection {
  std::vector<bool> selected;        // one per row: the rows the field's text covers
  std::vector<std::string> unshown;  // matcher items that cover no row
};
LevelPreselection picker_readLevelText(const std::vector<LevelRow>& rows,
                                       std::string_view fieldText);

// How a row is written: its name in double quotes; a level without a name, or whose name holds
// a comma or a double quote (which a value list cannot quote), by its code.
std::string pc_levelItemText(const LevelRow& row);

struct LevelPickerOk {
  bool fits = false;      // the text fits the field: write `text` into it and close
  std::string text;       // the whole output
  std::string listFile;   // the level list file the field named ("" when none)
  std::string question;   // when it does not fit: the question to ask (OK saves to a file)
  ListFileDialog dialog;  // and the dialog that asks for the file (picker_saveListFile with
                          // LEVEL_LIST_LIMIT writes it)
};
// Builds the output from the field's text and the rows chosen (in row order). With
// addSelection the output starts with the field's text, or with the first line of the level
// list file it names, and rows that text already covers are skipped.
LevelPickerOk picker_levelPickerOk(std::string_view fieldText, const std::vector<LevelRow>& rows,
                                   const std::vector<bool>& chosen, bool addSelection);

// ---- Level libraries ---------------------------------------------------------------------------

// The folder the "Select Level Library" dialog starts in: "$(MS_DGNLIBLIST)", else
// "$(_USTN_SITE)dgnlib/".
std::string pc_levelLibraryStartFolder();
// Reads the levels of the design file at path into the libraries. ERROR with *message when it
// is attached already, is not a design file, or cannot be read.
[[nodiscard]] int picker_attachLevelLibrary(LevelLibraries* libraries, const std::string& path,
                                            std::string* message);
// Removes the library attached as path; ERROR when none is.
[[nodiscard]] int picker_detachLevelLibrary(LevelLibraries* libraries, const std::string& path);

}  // namespace kelvara
