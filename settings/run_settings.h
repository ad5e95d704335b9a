// The settings record of a run, `RunSettings`, with its rule groups and report symbologies,
// the factory reset, and the texts derived from the record.
//
// Every option of a run lives in this one record: the dialogs edit its fields in place, the
// settings file saves and restores it, and a run reads it. Texts are fixed-capacity fields
// (the capacity counts the terminating NUL, as the dialogs and the settings file rely on);
// a longer text is cut when it is stored. Integer fields are 32-bit; flags hold 0 or 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvara {

// ---- Fixed-capacity text -------------------------------------------------------------------

// A NUL-terminated 8-bit text of at most N-1 bytes. Storing a longer text cuts it (never
// inside a UTF-8 sequence).
template <size_t N>
struct FixedText {
  static constexpr size_t capacity = N;
  char data[N] = {};

  void assign(std::string_view text);
  std::string_view view() const { return std::string_view(data); }
  std::string str() const { return std::string(data); }
  const char* c_str() const { return data; }
  bool empty() const { return data[0] == '\0'; }
  void clear() { data[0] = '\0'; }
  friend bool operator==(const FixedText& a, const FixedText& b) { return a.view() == b.view(); }
};

// Copies `text` into a buffer of `capacity` bytes, cut to fit (see FixedText).
void assignCut(char* buffer, size_t capacity, std::string_view text);

template <size_t N>
void FixedText<N>::assign(std::string_view text) {
  assignCut(data, N, text);
}

// ---- Nested records ------------------------------------------------------------------------

// One rule group of the comparison: which symbology takes part and the value lists for it.
struct SymbologyRule {
  int32_t useLevel = 0;
  int32_t useColor = 0;
  int32_t useWeight = 0;
  int32_t useStyle = 0;
  FixedText<512> level;
  FixedText<256> color;
  FixedText<50> weight;
  FixedText<50> style;
};

inline constexpr int RULE_IGNORE = 0;
inline constexpr int RULE_REMOVE = 1;
inline constexpr int RULE_COMPARED = 2;
inline constexpr int RULE_COUNT = 3;

// The symbology given to element copies in the design report.
struct ReportSymbology {
  int32_t useLevel = 0;
  int32_t useColor = 0;
  int32_t useWeight = 0;
  int32_t useStyle = 0;
  FixedText<513> levelValue;  // level name
  int32_t colorValue = 0;
  int32_t weightValue = 0;
  int32_t styleValue = 0;
};

inline constexpr int REPORT_SINGLE = 0;
inline constexpr int REPORT_DUPLICATE = 1;
inline constexpr int REPORT_MATCHED = 2;
inline constexpr int REPORT_FOURTH = 3;  // never stored in the settings file
inline constexpr int REPORT_SYMBOLOGY_COUNT = 4;

// ---- The record ----------------------------------------------------------------------------

// Every field starts at zero / empty; settings_resetToFactory installs the factory values.
// Field names that are settings file keys keep the key's spelling.
struct RunSettings {
  int32_t FILE_MODE = 0;               // nonzero: the run takes its files from BATCH_FILE
  FixedText<512> activeFileName;       // active design file at the last reset, lower case
  FixedText<256> BATCH_FILE;           // comparison list file (.lst)
  FixedText<512> TEXT_REPORT_MESSAGE;  // where reports go, for the main dialog and batch runs
  FixedText<512> newerFileName;        // comparison-list dialog: the pair being edited
  FixedText<512> olderFileName;
  int32_t INTERACTIVE = 0;
  int32_t REPORT_ONLY = 0;
  int32_t deleteMode = 0;  // 0..4: what a non-interactive run deletes (selects the question)
  int32_t REMOVE_ALL_DUP = 0;
  int32_t REMOVE_SEL_DUP = 0;
  int32_t REMOVE_ALL_SEL = 0;
  int32_t mainChoice[2] = {};  // the main dialog's two exclusive choice buttons
  SymbologyRule rules[RULE_COUNT];
  int32_t BACKUP = 0;
  int32_t AUTOSAVE_SETTTINGS = 0;
  int32_t FILEPOS_IN_REPORT = 0;
  int32_t OVERLAP = 0;
  FixedText<28> TOLERANCE;  // as typed: "1.0" and "1.00" are different texts
  int32_t ALLOW_ROTATION = 0;
  FixedText<28> ROT_TOLERANCE;
  int32_t ALLOW_REVERSED = 0;
  int32_t ALLOW_UNDERLAP = 0;
  int32_t TEXT_REPORT__ = 0;
  FixedText<8> TEXT_EXTENSION;  // without the point
  int32_t USE_WORD_WRAP_TEXT_REPORT = 0;
  int32_t WORP_WRAP_POS_TEXT_REPORT = 0;
  int32_t ONE_TEXT_REPORT = 0;
  FixedText<256> TEXT_REPORT_FILE_NAME;
  int32_t ONE_TEXT_EACH_REPORT = 0;
  int32_t TEXT_APPEND_EXT = 0;
  int32_t SAME_DIR_TEXT_REPORT = 0;
  int32_t DIFF_DIR_TEXT_REPORT = 0;
  FixedText<256> TEXT_REPORT_DIR_NAME;
  FixedText<256> TEXT_REPORT_EDITOR_NAME;
  int32_t DESIGN_REPORT__ = 0;
  FixedText<8> DESIGN_EXTENSION;
  int32_t DESIGN_APPEND_EXT = 0;
  int32_t SAME_DIR_DESIGN_REPORT = 0;
  int32_t DIFF_DIR_DESIGN_REPORT = 0;
  FixedText<256> DESIGN_REPORT_DIR_NAME;
  int32_t KEEP_WIDER_ELEMENT = 0;
  int32_t KEEP_SOLID_LINESTYLE_ELEMENT = 0;
  int32_t INC_REF_FILES = 0;  // 0 every reference, 1/2 by reference flag, 3 none
  FixedText<256> CRITERIA_NAME_;
  FixedText<128> CRITERIA_DESCRPT_;
  int32_t MODEL_TYPES = 0;
  FixedText<512> MODEL_NAMES_FILTER;
  // Model-list dialog state.
  int32_t modelDisplayFilter = 0;
  int32_t modelDialogMode = 0;
  int32_t modelSaveMissingSide = 0;  // rows with a missing side may be saved
  int32_t modelRowDisplay[5] = {};
  int32_t FENCE = 0;
  int32_t attributeOptions[5] = {};  // [0]: describe database linkages in the report
  int32_t currentReportCategory = 0;
  ReportSymbology reportSymbology[REPORT_SYMBOLOGY_COUNT];
};

// The application's one settings record.
RunSettings& runSettings();

// ---- Operations ----------------------------------------------------------------------------

// Installs the factory values. A non-empty TEXT_REPORT_EDITOR_NAME is kept; with `fromHost`
// false FILE_MODE, BATCH_FILE and activeFileName are kept too, with it true activeFileName is
// taken from the host's active design file. TEXT_REPORT_MESSAGE is rebuilt.
void settings_resetToFactory(RunSettings& s, bool fromHost);

// The directory of the active design file, with its trailing separator ("" when the name
// has no separator or no file is active).
std::string activeFileDirectory();

// The default TEXT_REPORT_FILE_NAME for the active design file and `extension`: the file
// kelvara.<extension> beside the active design file.
std::string defaultTextReportName(std::string_view extension);

// Rebuilds TEXT_REPORT_MESSAGE from the report fields.
void settings_rebuildReportMessage(RunSettings& s);

// The report-location description that TEXT_REPORT_MESSAGE holds, from the report fields.
std::string reportMessageText(const RunSettings& s);

}  // namespace kelvara
