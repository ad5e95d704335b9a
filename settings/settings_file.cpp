#include "settings/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "host/files.h"
#include "host/types.h"
#include "settings/abbreviate.h"
#include "settings/date_text.h"

namespace kelvara {

namespace {

namespace fs = std::filesystem;

enum class KeyKind { Version, Date, Int, Text };

struct TextRef {
  char* data;
  size_t capacity;
};

template <size_t N>
TextRef ref(FixedText<N>& t) {
  return {t.data, N};
}

struct KeyDef {
  std::string name;
  KeyKind kind;
  bool compared;
  std::function<int32_t&(RunSettings&)> intField;
  std::function<TextRef(RunSettings&)> textField;
};

// The keys in the order in which they are written.
std::vector<KeyDef> buildKeys() {
  std::vector<KeyDef> k;
  auto num = [&k](std::string name, std::function<int32_t&(RunSettings&)> f) {
    k.push_back({std::move(name), KeyKind::Int, true, std::move(f), {}});
  };
  auto text = [&k](std::string name, std::function<TextRef(RunSettings&)> f, bool compared) {
    k.push_back({std::move(name), KeyKind::Text, compared, {}, std::move(f)});
  };
#define KV_INT(field) num(#field, [](RunSettings& s) -> int32_t& { return s.field; })
#define KV_TEXT(field, compared) \
  text(                          \
      #field, [](RunSettings& s) { return ref(s.field); }, compared)

  k.push_back({SETTINGS_VERSION_KEY, KeyKind::Version, false, {}, {}});
  k.push_back({"DATE_CREATED", KeyKind::Date, false, {}, {}});
  KV_INT(FILE_MODE);
  KV_TEXT(BATCH_FILE, true);
  KV_INT(INTERACTIVE);
  KV_INT(REPORT_ONLY);
  KV_INT(AUTOSAVE_SETTTINGS);
  KV_INT(BACKUP);
  KV_INT(INC_REF_FILES);
  KV_INT(FILEPOS_IN_REPORT);
  KV_INT(REMOVE_ALL_DUP);
  KV_INT(REMOVE_SEL_DUP);
  KV_INT(REMOVE_ALL_SEL);
  KV_TEXT(CRITERIA_NAME_, true);
  KV_TEXT(CRITERIA_DESCRPT_, true);

  auto ruleFlags = [&](const char* group, int r) {
    num(std::string(group) + "_USE_LEVEL",
        [r](RunSettings& s) -> int32_t& { return s.rules[r].useLevel; });
    num(std::string(group) + "_USE_COLOR",
        [r](RunSettings& s) -> int32_t& { return s.rules[r].useColor; });
    num(std::string(group) + "_USE_WEIGHT",
        [r](RunSettings& s) -> int32_t& { return s.rules[r].useWeight; });
    num(std::string(group) + "_USE_STYLE",
        [r](RunSettings& s) -> int32_t& { return s.rules[r].useStyle; });
  };
  auto ruleLists = [&](const char* group, int r) {
    text(
        std::string(group) + "_LEVEL", [r](RunSettings& s) { return ref(s.rules[r].level); }, true);
    text(
        std::string(group) + "_COLOR", [r](RunSettings& s) { return ref(s.rules[r].color); }, true);
    text(
        std::string(group) + "_WEIGHT", [r](RunSettings& s) { return ref(s.rules[r].weight); },
        true);
    text(
        std::string(group) + "_STYLE", [r](RunSettings& s) { return ref(s.rules[r].style); }, true);
  };
  ruleFlags("IGNORE", RULE_IGNORE);
  KV_INT(KEEP_WIDER_ELEMENT);
  KV_INT(KEEP_SOLID_LINESTYLE_ELEMENT);
  ruleFlags("REMOVE", RULE_REMOVE);
  ruleLists("REMOVE", RULE_REMOVE);
  ruleFlags("COMPARED", RULE_COMPARED);
  ruleLists("COMPARED", RULE_COMPARED);
  KV_INT(OVERLAP);
  KV_TEXT(TOLERANCE, true);
  KV_INT(ALLOW_ROTATION);
  KV_TEXT(ROT_TOLERANCE, true);
  KV_INT(ALLOW_REVERSED);
  KV_INT(ALLOW_UNDERLAP);

  auto reportSym = [&](const char* category, int r) {
    const std::string p = std::string("REPORT_SYM_") + category;
    num(p + "_USE_LEVEL",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].useLevel; });
    text(
        p + "_LEVEL_VALUE", [r](RunSettings& s) { return ref(s.reportSymbology[r].levelValue); },
        true);
    num(p + "_USE_COLOR",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].useColor; });
    num(p + "_COLOR_VALUE",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].colorValue; });
    num(p + "_USE_WEIGHT",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].useWeight; });
    num(p + "_WEIGHT_VALUE",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].weightValue; });
    num(p + "_USE_STYLE",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].useStyle; });
    num(p + "_STYLE_VALUE",
        [r](RunSettings& s) -> int32_t& { return s.reportSymbology[r].styleValue; });
  };
  reportSym("SINGLE", REPORT_SINGLE);
  reportSym("DUPLICATE", REPORT_DUPLICATE);
  reportSym("MATCHED", REPORT_MATCHED);

  KV_TEXT(TEXT_REPORT_MESSAGE, false);
  KV_INT(TEXT_REPORT__);
  KV_TEXT(TEXT_EXTENSION, true);
  KV_INT(USE_WORD_WRAP_TEXT_REPORT);
  KV_INT(WORP_WRAP_POS_TEXT_REPORT);
  KV_INT(ONE_TEXT_REPORT);
  KV_TEXT(TEXT_REPORT_FILE_NAME, true);
  KV_INT(ONE_TEXT_EACH_REPORT);
  KV_INT(TEXT_APPEND_EXT);
  KV_INT(SAME_DIR_TEXT_REPORT);
  KV_INT(DIFF_DIR_TEXT_REPORT);
  KV_TEXT(TEXT_REPORT_DIR_NAME, false);
  KV_TEXT(TEXT_REPORT_EDITOR_NAME, true);
  KV_INT(DESIGN_REPORT__);
  KV_TEXT(DESIGN_EXTENSION, true);
  KV_INT(DESIGN_APPEND_EXT);
  KV_INT(SAME_DIR_DESIGN_REPORT);
  KV_INT(DIFF_DIR_DESIGN_REPORT);
  KV_TEXT(DESIGN_REPORT_DIR_NAME, false);
  KV_INT(FENCE);
  KV_INT(MODEL_TYPES);
  KV_TEXT(MODEL_NAMES_FILTER, true);
#undef KV_INT
#undef KV_TEXT
  return k;
}

struct KeyTable {
  std::vector<KeyDef> keys = buildKeys();
  std::unordered_map<std::string_view, size_t> byName;
  KeyTable() {
    for (size_t i = 0; i < keys.size(); ++i) byName.emplace(keys[i].name, i);
  }
};

const KeyTable& keyTable() {
  static const KeyTable table;
  return table;
}

// The C library's atoi, without its undefined behaviour: leading blanks, an optional sign, the
// digits up to the first other character; no digits give 0; values beyond 32 bits saturate.
int32_t atoiValue(std::string_view v) {
  size_t i = 0;
  while (i < v.size() && (v[i] == ' ' || (v[i] >= '\t' && v[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < v.size() && (v[i] == '+' || v[i] == '-')) negative = v[i++] == '-';
  int64_t n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > int64_t{INT32_MAX} + 1) n = int64_t{INT32_MAX} + 1;  // saturate, keep going
  }
  if (negative) n = -n;
  if (n > INT32_MAX) n = INT32_MAX;
  if (n < INT32_MIN) n = INT32_MIN;
  return static_cast<int32_t>(n);
}

// The text as a field of `capacity` bytes would store it.
std::string storedText(std::string_view value, size_t capacity) {
  std::string buf(capacity, '\0');
  assignCut(buf.data(), capacity, value);
  return std::string(buf.c_str());
}

// Splits a stream into lines of at most SETTINGS_LINE_PIECE characters (see the header) and
// hands each, without its line break, to `handle`.
template <typename Handle>
void readPieces(std::istream& in, Handle handle) {
  std::string piece;
  int c = 0;
  while (true) {
    piece.clear();
    bool sawBreak = false;
    while (piece.size() < SETTINGS_LINE_PIECE && (c = in.get()) != EOF) {
      if (c == '\n') {
        sawBreak = true;
        break;
      }
      piece.push_back(static_cast<char>(c));
    }
    if (sawBreak && !piece.empty() && piece.back() == '\r') piece.pop_back();
    if (piece.empty() && !sawBreak && c == EOF) return;
    handle(piece);
    if (c == EOF) return;
  }
}

// Writes `content` to `path` atomically (host/files.h): a file that may not be written is never
// replaced, and with Replace::Never no existing file is. The folder of the default settings
// file is created when missing.
int writeWhole(const std::string& path, const std::string& content, bool createFolder,
               Replace replace, std::string* error) {
  if (path.empty()) {
    if (error) *error = "no settings file name";
    return ERROR;
  }
  if (createFolder) {
    std::error_code ec;
    fs::path folder = fs::path(writeTargetOf(path)).parent_path();
    if (!folder.empty() && !fs::exists(folder, ec)) fs::create_directories(folder, ec);
  }
  return writeFileAtomically(path, bytesOf(content), error, Durability::Synced, replace);
}

}  // namespace

SettingsFile& settingsFile() {
  static SettingsFile file;
  return file;
}

const char* settings_keyName(int index) {
  const auto& keys = keyTable().keys;
  return (index >= 0 && static_cast<size_t>(index) < keys.size()) ? keys[index].name.c_str()
                                                                  : nullptr;
}

int settings_keyWalk(RunSettings& s, SettingsFile& file, std::string* line, KeyWalkMode mode,
                     int index) {
  const KeyTable& table = keyTable();
  if (mode == KeyWalkMode::Write) {
    if (index < 0 || static_cast<size_t>(index) >= table.keys.size()) return ERROR;
    const KeyDef& key = table.keys[index];
    *line = key.name + "=";
    switch (key.kind) {
      case KeyKind::Version:
        line->append(SETTINGS_VERSION);
        break;
      case KeyKind::Date:
        line->append(currentDateText());
        break;
      case KeyKind::Int:
        line->append(std::to_string(key.intField(s)));
        break;
      case KeyKind::Text:
        line->append(key.textField(s).data);
        break;
    }
    return SUCCESS;
  }

  const std::string_view text(*line);
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos) return ERROR;
  const auto it = table.byName.find(text.substr(0, eq));
  if (it == table.byName.end()) return ERROR;
  const KeyDef& key = table.keys[it->second];
  const std::string_view value = text.substr(eq + 1);
  switch (key.kind) {
    case KeyKind::Version:
    case KeyKind::Date:
      break;  // matched and consumed; the value is not used
    case KeyKind::Int: {
      int32_t& field = key.intField(s);
      if (mode == KeyWalkMode::Read) {
        field = atoiValue(value);
      } else if (key.compared && field != atoiValue(value)) {
        file.changed = true;
      }
      break;
    }
    case KeyKind::Text: {
      const TextRef field = key.textField(s);
      if (mode == KeyWalkMode::Read) {
        assignCut(field.data, field.capacity, value);
      } else if (key.compared && storedText(value, field.capacity) != field.data) {
        file.changed = true;
      }
      break;
    }
  }
  return SUCCESS;
}

std::string settings_fileText(RunSettings& s, SettingsFile& file) {
  std::string out;
  std::string line;
  for (int i = 0; settings_keyWalk(s, file, &line, KeyWalkMode::Write, i) == SUCCESS; ++i) {
    out += line;
    out += '\n';
  }
  return out;
}

void settings_readText(RunSettings& s, SettingsFile& file, std::string_view text,
                       KeyWalkMode mode) {
  std::istringstream in{std::string(text)};
  readPieces(in, [&](std::string& piece) { (void)settings_keyWalk(s, file, &piece, mode, 0); });
}

int settings_save(RunSettings& s, SettingsFile& file, std::string* error) {
  if (file.fileName.empty()) file.fileName = file.defaultFileName;
  while (true) {
    const bool isDefault = file.fileName == file.defaultFileName;
    if (writeWhole(file.fileName, settings_fileText(s, file), isDefault, Replace::Always, error) ==
        SUCCESS) {
      return SUCCESS;
    }
    if (!file.chooseSaveAs) return ERROR;
    std::string start = file.fileName;
    if (start.empty()) start = fs::path(file.defaultFileName).parent_path().string();
    const std::optional<std::string> chosen = file.chooseSaveAs(start);
    if (!chosen || chosen->empty()) return ERROR;
    file.fileName = *chosen;
  }
}

int settings_load(RunSettings& s, SettingsFile& file, bool fromHost, KeyWalkMode mode) {
  if (mode == KeyWalkMode::Read) settings_resetToFactory(s, fromHost);
  std::ifstream in;
  std::error_code ec;
  if (!file.fileName.empty() && !fs::is_directory(file.fileName, ec)) {
    in.open(file.fileName, std::ios::binary);
  }
  if (!in) {
    // Take the default file; create it when there is none yet. An existing default file is
    // never overwritten here: it may hold the user's own settings, also when another process
    // made it a moment ago.
    file.fileName = file.defaultFileName;
    if (!file.fileName.empty() && !fs::exists(file.fileName, ec)) {
      (void)writeWhole(file.fileName, settings_fileText(s, file), true, Replace::Never, nullptr);
    }
    settings_rebuildReportMessage(s);
    return ERROR;
  }
  readPieces(in, [&](std::string& piece) { (void)settings_keyWalk(s, file, &piece, mode, 0); });
  settings_rebuildReportMessage(s);
  return SUCCESS;
}

int settings_startupLoad(RunSettings& s, SettingsFile& file) {
  file.fileName = file.defaultFileName;
  return settings_load(s, file, true, KeyWalkMode::Read);
}

bool settings_changed(RunSettings& s, SettingsFile& file) {
  const RunSettings saved = s;
  file.changed = false;
  if (file.fileName.empty()) file.fileName = file.defaultFileName;
  (void)settings_load(s, file, false, KeyWalkMode::Compare);
  s = saved;
  return file.changed;
}

int settings_saveAs(RunSettings& s, SettingsFile& file, const std::string& chosen) {
  if (chosen.empty()) return ERROR;
  file.fileName = chosen;
  return settings_save(s, file);
}

std::string settingsMenuLabel(const SettingsFile& file) {
  constexpr size_t kMenuNameWidth = 36;
  if (file.fileName.empty()) return "Settings File: None";
  return "Settings File: " + abbreviateFileName(file.fileName, kMenuNameWidth);
}

void settings_factoryDefaults(RunSettings& s) {
  settings_resetToFactory(s, false);
}

}  // namespace kelvara
