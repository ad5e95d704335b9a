#include "settings/key_guide.h"

#include <charconv>
#include <climits>
#include <map>

#include "host/types.h"
#include "settings/settings_file.h"

namespace kelvara {

namespace {

using Kind = KeyValueKind;

std::map<std::string, KeyGuide, std::less<>> buildGuides() {
  std::map<std::string, KeyGuide, std::less<>> g;
  auto flag = [&g](const std::string& key, std::string meaning) {
    g[key] = {Kind::Switch, 0, 1, std::move(meaning)};
  };
  auto whole = [&g](const std::string& key, int32_t low, int32_t high, std::string meaning) {
    g[key] = {Kind::Whole, low, high, std::move(meaning)};
  };
  auto text = [&g](const std::string& key, std::string meaning) {
    g[key] = {Kind::Text, 0, 0, std::move(meaning)};
  };
  auto distance = [&g](const std::string& key, std::string meaning) {
    g[key] = {Kind::Distance, 0, 0, std::move(meaning)};
  };
  auto written = [&g](const std::string& key, std::string meaning) {
    g[key] = {Kind::Written, 0, 0, std::move(meaning)};
  };

  written(SETTINGS_VERSION_KEY, "layout version of the settings file");
  written("DATE_CREATED", "when the settings file was written");
  flag("FILE_MODE", "1: take the design files from the comparison list BATCH_FILE");
  text("BATCH_FILE", "comparison list (.lst) used when FILE_MODE is 1");
  flag("INTERACTIVE", "show each duplicate for review (command-line runs never do)");
  flag("REPORT_ONLY", "1: report duplicates, change no drawing");
  flag("AUTOSAVE_SETTTINGS", "save the settings without asking when the main dialog closes");
  flag("BACKUP", "copy each drawing to NAME.bak before its first change");
  whole("INC_REF_FILES", 0, 3,
        "references processed too: 0 all, 1 or 2 by reference flag 1 or 3, 3 none");
  flag("FILEPOS_IN_REPORT", "write element file positions into the text report");
  flag("REMOVE_ALL_DUP", "remove every duplicate of the model");
  flag("REMOVE_SEL_DUP", "remove duplicates among the elements the selection file admits");
  flag("REMOVE_ALL_SEL", "remove every element the selection file admits (no comparison)");
  text("CRITERIA_NAME_", "selection file (.sel) whose selection sets restrict the run");
  text("CRITERIA_DESCRPT_", "names of the selection sets of that file, joined by commas");

  const char* parts[] = {"LEVEL", "COLOR", "WEIGHT", "STYLE"};
  const char* partNames[] = {"level", "colour", "weight", "line style"};
  const char* partLists[] = {"levels", "colours", "weights", "line styles"};
  for (int i = 0; i < 4; ++i) {
    const std::string p = parts[i];
    const std::string list = partLists[i];
    flag("IGNORE_USE_" + p, std::string("duplicates may differ in ") + partNames[i]);
    flag("REMOVE_USE_" + p, "only elements with REMOVE_" + p + " " + list + " may be removed");
    text("REMOVE_" + p, "value list of " + list + " whose elements may be removed (e.g. 1-5,7)");
    flag("COMPARED_USE_" + p,
         "a duplicate counts only when its match has COMPARED_" + p + " " + list);
    text("COMPARED_" + p, "value list of " + list + " a match must have");
  }
  flag("KEEP_WIDER_ELEMENT", "of a duplicate pair, keep the element with the greater weight");
  flag("KEEP_SOLID_LINESTYLE_ELEMENT", "of a duplicate pair, keep the element with solid style");
  flag("OVERLAP", "near copies and overlapping linear elements count (within TOLERANCE)");
  distance("TOLERANCE", "distance tolerance in master units, used with OVERLAP=1");
  flag("ALLOW_ROTATION", "rotated copies count as duplicates (within ROT_TOLERANCE)");
  distance("ROT_TOLERANCE", "rotation tolerance, used with ALLOW_ROTATION=1");
  flag("ALLOW_REVERSED", "reversed copies, and closed figures started elsewhere, count");
  flag("ALLOW_UNDERLAP", "a linear element lying on a longer one counts as its duplicate");

  const char* groups[] = {"SINGLE", "DUPLICATE", "MATCHED"};
  const char* groupNames[] = {"all elements", "duplicates", "selection removals"};
  for (int i = 0; i < 3; ++i) {
    const std::string p = std::string("REPORT_SYM_") + groups[i];
    const std::string who = std::string("design report: ") + groupNames[i];
    flag(p + "_USE_LEVEL", who + " go on level " + p + "_LEVEL_VALUE");
    text(p + "_LEVEL_VALUE", who + ": level name");
    flag(p + "_USE_COLOR", who + " take colour " + p + "_COLOR_VALUE");
    whole(p + "_COLOR_VALUE", 0, 255, who + ": colour index");
    flag(p + "_USE_WEIGHT", who + " take weight " + p + "_WEIGHT_VALUE");
    whole(p + "_WEIGHT_VALUE", 0, 31, who + ": line weight");
    flag(p + "_USE_STYLE", who + " take line style " + p + "_STYLE_VALUE");
    whole(p + "_STYLE_VALUE", 0, 7, who + ": line style");
  }

  written("TEXT_REPORT_MESSAGE", "where the reports go, in words (made from the report keys)");
  flag("TEXT_REPORT__", "write a text report");
  text("TEXT_EXTENSION", "extension of text reports, without the point");
  flag("USE_WORD_WRAP_TEXT_REPORT", "wrap long text report lines");
  whole("WORP_WRAP_POS_TEXT_REPORT", 1, INT32_MAX, "column at which text report lines wrap");
  flag("ONE_TEXT_REPORT", "one text report for the whole run: TEXT_REPORT_FILE_NAME");
  text("TEXT_REPORT_FILE_NAME", "the run's one text report (relative: to the current folder)");
  flag("ONE_TEXT_EACH_REPORT", "one text report per design file");
  flag("TEXT_APPEND_EXT", "report names keep the drawing's extension (a.dgn.trf)");
  flag("SAME_DIR_TEXT_REPORT", "per-file text reports go beside their design files");
  flag("DIFF_DIR_TEXT_REPORT", "per-file text reports go into TEXT_REPORT_DIR_NAME");
  text("TEXT_REPORT_DIR_NAME", "folder for per-file text reports");
  text("TEXT_REPORT_EDITOR_NAME", "program that shows a text report (interactive use)");
  flag("DESIGN_REPORT__", "write a design report (a DGN file showing the duplicates)");
  text("DESIGN_EXTENSION", "extension of design reports, without the point");
  flag("DESIGN_APPEND_EXT", "design report names keep the drawing's extension (a.dgn.drf)");
  flag("SAME_DIR_DESIGN_REPORT", "design reports go beside their design files");
  flag("DIFF_DIR_DESIGN_REPORT", "design reports go into DESIGN_REPORT_DIR_NAME");
  text("DESIGN_REPORT_DIR_NAME", "folder for design reports");
  flag("FENCE", "only elements inside the active fence (interactive use)");
  whole("MODEL_TYPES", 0, INT32_MAX, "filter on model types for the model list");
  text("MODEL_NAMES_FILTER", "filter on model names for the model list");
  return g;
}

const std::map<std::string, KeyGuide, std::less<>>& guides() {
  static const auto table = buildGuides();
  return table;
}

// The longest value the settings record keeps for a text key: what survives storing a value
// longer than any field.
size_t textCapacity(std::string_view key) {
  RunSettings probe;
  SettingsFile file;
  std::string line = std::string(key) + "=" + std::string(4096, 'x');
  if (settings_keyWalk(probe, file, &line, KeyWalkMode::Read, 0) != SUCCESS) return 0;
  for (int i = 0; settings_keyName(i) != nullptr; ++i) {
    if (key != settings_keyName(i)) continue;
    if (settings_keyWalk(probe, file, &line, KeyWalkMode::Write, i) != SUCCESS) return 0;
    return line.size() - key.size() - 1;
  }
  return 0;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits, optionally with one decimal point among or after them: "2", "0.5", "1.", ".25".
bool isPlainDecimal(std::string_view v) {
  bool digits = false;
  bool point = false;
  for (const char c : v) {
    if (isDigit(c)) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

}  // namespace

KeyGuide settings_keyGuide(std::string_view name) {
  const auto it = guides().find(name);
  return it == guides().end() ? KeyGuide{} : it->second;
}

std::string settings_checkStrictValue(std::string_view key, std::string_view value) {
  const KeyGuide guide = settings_keyGuide(key);
  switch (guide.kind) {
    case Kind::Switch:
      return value == "0" || value == "1" ? "" : "a switch: 0 or 1";
    case Kind::Whole: {
      int64_t n = 0;
      const char* end = value.data() + value.size();
      const auto [ptr, ec] = std::from_chars(value.data(), end, n);
      const bool ok =
          !value.empty() && ec == std::errc() && ptr == end && n >= guide.low && n <= guide.high;
      if (ok) return "";
      if (guide.high == INT32_MAX) return "a whole number of at least " + std::to_string(guide.low);
      return "a whole number from " + std::to_string(guide.low) + " to " +
             std::to_string(guide.high);
    }
    case Kind::Distance:
      if (isPlainDecimal(value) && value.size() <= textCapacity(key)) return "";
      return "a number that is not negative, written with a decimal point (e.g. 0.5), "
             "not a comma";
    case Kind::Text: {
      const size_t capacity = textCapacity(key);
      if (value.size() <= capacity) return "";
      return "a text of at most " + std::to_string(capacity) + " bytes";
    }
    case Kind::Written:
      return "no value: it is written by kelvara itself";
  }
  return "";
}

}  // namespace kelvara
