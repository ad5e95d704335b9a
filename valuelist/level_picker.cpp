#include "valuelist/level_picker.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "host/config.h"
#include "host/design.h"
#include "valuelist/text.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

std::string toUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// The first line of a file, without its line break; "" when it cannot be read.
std::string firstLineOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The level list file a field's text names: the rest of a text longer than two characters
// that begins with "@" (leading blanks removed); "" otherwise.
std::string listFileOf(std::string_view text) {
  text = trimStart(text);
  if (text.size() > 2 && text.front() == '@') return std::string(text.substr(1));
  return {};
}

void appendLevelsOf(std::vector<LevelRow>& rows, ModelRef model, const std::string& library) {
  for (int code = 1; code <= MAX_LEVEL; ++code) {
    LevelRow row;
    row.code = code;
    row.library = library;
    if (mdlLevel_getName(&row.name, model, code) != SUCCESS) row.name.clear();
    rows.push_back(std::move(row));
  }
}

std::string formatted(const char* format, const std::string& value) {
  std::vector<char> buffer(value.size() + std::char_traits<char>::length(format) + 1);
  std::snprintf(buffer.data(), buffer.size(), format, value.c_str());
  return buffer.data();
}

}  // namespace

std::string pc_levelCodeText(int code) {
  char text[24];
  std::snprintf(text, sizeof text, "%03ld", static_cast<long>(code));
  return text;
}

std::vector<LevelRow> levelPickerRows(ModelRef active, const LevelPickerSwitches& switches,
                                      const LevelLibraries& libraries) {
  std::vector<LevelRow> all;
  if (switches.displayMasterLevels) appendLevelsOf(all, active, "");
  if (switches.displayRefLevels) {
    ModelRefIterator it;
    if (mdlModelRefIterator_create(&it, active, 2, -1) == SUCCESS) {
      while (ModelRef ref = mdlModelRefIterator_getNext(&it)) appendLevelsOf(all, ref, "");
      mdlModelRefIterator_free(&it);
    }
  }
  for (const LevelLibrary& lib : libraries.attached)
    all.insert(all.end(), lib.levels.begin(), lib.levels.end());
  std::vector<LevelRow> rows;
  for (LevelRow& row : all)
    if (std::find(rows.begin(), rows.end(), row) == rows.end()) rows.push_back(std::move(row));
  return rows;
}

LevelMatcher levelMatcher_make(std::string_view fieldText) {
  std::string text(trim(fieldText));
  if (!text.empty() && text.front() == '@') text = firstLineOf(text.substr(1));
  // Outside double quotes ":" becomes "-" and blanks go; the quotes go; doubled commas go.
  std::string normal;
  bool quoted = false;
  for (char c : text) {
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && isBlank(c)) continue;
    if (!quoted && c == ':') c = '-';
    if (c == ',' && !normal.empty() && normal.back() == ',') continue;
    normal += c;
  }
  normal += ',';
  LevelMatcher matcher;
  size_t start = 0;
  for (size_t comma = normal.find(','); comma != std::string::npos;
       start = comma + 1, comma = normal.find(',', start)) {
    const std::string_view item = std::string_view(normal).substr(start, comma - start);
    if (item.empty()) continue;
    ValueRange range;
    if (item.find(':') == std::string_view::npos && valueList_parseRange(item, &range)) {
      matcher.codes.push_back(range);
    } else {
      matcher.patterns.push_back(toUpperAscii(item));
    }
  }
  return matcher;
}

bool b_levelCovered(const LevelMatcher& matcher, int code, std::string_view name) {
  for (const ValueRange& r : matcher.codes)
    if (r.low <= code && code <= r.high) return true;
  const std::string upper = toUpperAscii(name);
  for (const std::string& pattern : matcher.patterns)
    if (wildcardMatch(pattern, upper)) return true;
  return false;
}

LevelPreselection picker_readLevelText(const std::vector<LevelRow>& rows,
                                       std::string_view fieldText) {
  LevelPreselection pre;
  const LevelMatcher matcher = levelMatcher_make(fieldText);
  pre.selected.resize(rows.size());
  for (size_t i = 0; i < rows.size(); ++i)
    pre.selected[i] = b_levelCovered(matcher, rows[i].code, rows[i].name);
  auto coversSomeRow = [&](const LevelMatcher& one) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](const LevelRow& r) { return b_levelCovered(one, r.code, r.name); });
  };
  for (const ValueRange& r : matcher.codes) {
    if (coversSomeRow({{r}, {}})) continue;
    char text[80];
    std::snprintf(text, sizeof text, r.low == r.high ? "%.0f" : "%.0f-%.0f", r.low, r.high);
    pre.unshown.push_back(text);
  }
  for (const std::string& p : matcher.patterns)
    if (!coversSomeRow({{}, {p}})) pre.unshown.push_back(p);
  return pre;
}

std::string pc_levelItemText(const LevelRow& row) {
  if (row.name.empty() || row.name.find_first_of(",\"") != std::string::npos)
    return std::to_string(row.code);
  return "\"" + row.name + "\"";
}

LevelPickerOk picker_levelPickerOk(std::string_view fieldText, const std::vector<LevelRow>& rows,
                                   const std::vector<bool>& chosen, bool addSelection) {
  LevelPickerOk ok;
  const std::string_view field = trimStart(fieldText.substr(0, LEVEL_FIELD_READ_LIMIT));
  ok.listFile = listFileOf(field);
  if (addSelection) {
    if (ok.listFile.empty()) {
      ok.text = std::string(field);
    } else {
      ok.text = firstLineOf(ok.listFile);
      if (ok.text.size() > LEVEL_FILE_LINE_LIMIT) ok.text.clear();
    }
  }
  const LevelMatcher existing = levelMatcher_make(addSelection ? field : std::string_view());
  std::vector<std::string> written;
  for (size_t i = 0; i < rows.size() && i < chosen.size(); ++i) {
    if (!chosen[i]) continue;
    if (addSelection && b_levelCovered(existing, rows[i].code, rows[i].name)) continue;
    std::string item = pc_levelItemText(rows[i]);
    if (std::find(written.begin(), written.end(), item) != written.end()) continue;
    if (!ok.text.empty()) ok.text += ',';
    ok.text += item;
    written.push_back(std::move(item));
  }
  ok.fits = ok.text.size() <= LEVEL_LIST_LIMIT;
  if (ok.fits) return ok;
  ok.question = pc_listTooLongQuestion(ListKind::Levels, LEVEL_LIST_LIMIT);
  ok.dialog = listFileDialog(ListKind::Levels, ok.listFile);
  return ok;
}

std::string pc_levelLibraryStartFolder() {
  std::string folder;
  if (mdlSystem_getCfgVar(&folder, "MS_DGNLIBLIST") == SUCCESS && !folder.empty()) return folder;
  (void)mdlSystem_getCfgVar(&folder, "_USTN_SITE");
  return folder + "dgnlib/";
}

int picker_attachLevelLibrary(LevelLibraries* libraries, const std::string& path,
                              std::string* message) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto samePath = [&](const LevelLibrary& lib) {
    return lib.path == path || fs::equivalent(lib.path, path, ec);
  };
  const std::string name = fs::path(path).filename().string();
  if (std::any_of(libraries->attached.begin(), libraries->attached.end(), samePath)) {
    *message = formatted("Level library \"%s\" already loaded.", name);
    return ERROR;
  }
  if (!mdlFile_validDesignFile(path)) {
    *message = "ERROR: Not a valid design file !";
    return ERROR;
  }
  ModelRef model = 0;
  if (mdlWorkDgn_openFile(&model, path, true) != SUCCESS) {
    *message = "Failed to attach level library!";
    return ERROR;
  }
  LevelLibrary lib{path, name, {}};
  for (int code = 1; code <= MAX_LEVEL; ++code) {
    std::string levelName;
    if (mdlLevel_getName(&levelName, model, code) == SUCCESS)
      lib.levels.push_back({levelName, code, "", name});
  }
  (void)mdlWorkDgn_discardFile(model);
  libraries->attached.push_back(std::move(lib));
  return SUCCESS;
}

int picker_detachLevelLibrary(LevelLibraries* libraries, const std::string& path) {
  auto& attached = libraries->attached;
  const auto it = std::find_if(attached.begin(), attached.end(),
                               [&](const LevelLibrary& lib) { return lib.path == path; });
  if (it == attached.end()) return ERROR;
  attached.erase(it);
  return SUCCESS;
}

}  // namespace kelvara
