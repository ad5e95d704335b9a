#include "valuelist/valuelist.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <unordered_map>

#include "host/types.h"
#include "valuelist/text.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

std::string g_lastError;

struct Cache {
  std::vector<std::unique_ptr<ValueList>> slots;
  std::unordered_map<std::string, size_t> index;  // cacheKey -> slot
  size_t replaceIndex = 0;
};

Cache& cache() {
  static Cache c;
  return c;
}

// The flags as four fixed bytes, then the text: unique for every (text, flags) pair.
std::string cacheKey(std::string_view text, uint32_t flags) {
  std::string key(4, '\0');
  for (int i = 0; i < 4; ++i) key[i] = static_cast<char>((flags >> (8 * i)) & 0xFF);
  key.append(text);
  return key;
}

void setError(std::string text) {
  g_lastError = std::move(text);
}

// Whether the list file named after the at sign can be found.
bool listFileExists(const std::string& fileName) {
  std::error_code ec;
  return std::filesystem::is_regular_file(fileName, ec);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads one number from the start of `text` as the C library's atof would, but locale-free and
// finite only (so "inf" and "nan" stay names). It counts when `text` starts with a digit or the
// value is not 0; the result is the length of the value printed back with no decimals ("%.0f"),
// which the caller lines up against `text`; 0 when the text is not numeric or is shorter.
size_t readShortestInteger(std::string_view text, double* value) {
  double v = 0.0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto res = std::from_chars(first, last, v, std::chars_format::general);
  if (res.ec != std::errc() || !std::isfinite(v)) v = 0.0;
  if (text.empty() || (!isDigit(text.front()) && v == 0.0)) return 0;
  char printed[400];
  const int n = std::snprintf(printed, sizeof printed, "%.0f", v);
  if (n <= 0 || static_cast<size_t>(n) > text.size()) return 0;
  *value = v;
  return static_cast<size_t>(n);
}

enum class ItemResult { Ok, Failed };

ItemResult parseItem(ValueList& list, std::string_view item) {
  const uint32_t flags = list.flags;
  ValueRange range;
  if ((flags & VL_NUMBERS) && valueList_parseRange(item, &range)) {
    if (list.rangeCount >= VL_MAX_RANGES) {
      char msg[96];
      std::snprintf(msg, sizeof msg, "Too many numeric values. Only %d values are supported.",
                    VL_MAX_RANGES);
      setError(msg);
      return ItemResult::Failed;
    }
    list.ranges[list.rangeCount++] = range;
    return ItemResult::Ok;
  }
  if ((flags & VL_NAMES) && item.front() == '"') {
    const size_t close = item.find('"', 1);
    if (close == std::string_view::npos) {
      setError("Name is not complete.");
      return ItemResult::Failed;
    }
    if (close == 1) {
      setError("String is empty.");
      return ItemResult::Failed;
    }
    list.names.push_back({std::string(item.substr(1, close - 1)), NameKind::Normal, {}});
    return ItemResult::Ok;
  }
  if ((flags & VL_BYLEVEL) && toLowerAscii(item) == "bylevel") {
    list.byLevel = true;
    return ItemResult::Ok;
  }
  if (!(flags & VL_NAMES)) {
    setError("Syntax is not recognized.");
    return ItemResult::Failed;
  }
  list.names.push_back({toLowerAscii(item), NameKind::Wildcard, {}});
  return ItemResult::Ok;
}

// Parses one item line into `list`. SUCCESS, or ERROR when an item failed.
int parseItemLine(ValueList& list, std::string_view line, bool stopAtFirstError) {
  int status = SUCCESS;
  size_t start = 0;
  while (start <= line.size()) {
    size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) comma = line.size();
    const std::string_view item = trim(line.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) continue;
    if (parseItem(list, item) == ItemResult::Failed) {
      status = ERROR;
      if (stopAtFirstError) break;
    }
  }
  return status;
}

int parseListFile(ValueList& list, const std::string& fileName, bool stopAtFirstError) {
  if (!listFileExists(fileName)) {
    setError("Unable to find file " + fileName);
    return ERROR;
  }
  std::ifstream in(fileName, std::ios::binary);
  if (!in) {
    setError("Unable to open file " + fileName);
    return ERROR;
  }
  int status = SUCCESS;
  std::string line;
  int lineNumber = 0;
  // Whole lines are read, however long: a level list written by the picker is one long line,
  // and cutting it would split a name in two.
  while (std::getline(in, line)) {
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (parseItemLine(list, line, stopAtFirstError) != SUCCESS) {
      status = ERROR;
      if (stopAtFirstError) {
        setError("Error in " + fileName + ", line " + std::to_string(lineNumber) + ": " +
                 g_lastError);
        break;
      }
    }
  }
  return status;
}

bool nameMatches(const ValueName& item, const std::string& lowerName) {
  if (item.kind == NameKind::Normal) return toLowerAscii(item.text) == lowerName;
  if (!item.compiled) item.compiled = compileRegexPattern(item.text);
  if (*item.compiled && regexMatchesWhole(**item.compiled, lowerName)) return true;
  return b_wild(item.text, lowerName, 0) != 0;
}

}  // namespace

bool valueList_parseRange(std::string_view item, ValueRange* range) {
  double a = 0.0;
  const size_t lenA = readShortestInteger(item, &a);
  if (lenA == 0) return false;
  double b = a;
  if (lenA < item.size()) {
    if (item[lenA] != '-' && item[lenA] != ':') return false;
    const std::string_view rest = item.substr(lenA + 1);
    if (readShortestInteger(rest, &b) != rest.size() || rest.empty()) return false;
  }
  range->low = std::min(a, b);
  range->high = std::max(a, b);
  return true;
}

int valueList_parse(std::unique_ptr<ValueList>* list, std::string_view text, uint32_t flags,
                    bool stopAtFirstError) {
  list->reset();
  if (text.empty()) return SUCCESS;
  try {
    auto parsed = std::make_unique<ValueList>();
    parsed->source = std::string(text);
    parsed->flags = flags;
    int status;
    if ((flags & VL_LISTFILE) && text.front() == '@') {
      status = parseListFile(*parsed, std::string(text.substr(1)), stopAtFirstError);
    } else {
      status = parseItemLine(*parsed, text, stopAtFirstError);
    }
    *list = std::move(parsed);
    return status;
  } catch (const std::bad_alloc&) {
    list->reset();
    setError("Not enough memory to process string.");
    return ERROR;
  }
}

bool valueList_matchList(const ValueList* list, double number, const std::string* name) {
  if (list == nullptr) return true;
  if (list->byLevel) {
    if (list->flags == VL_COLOR_FLAGS && number == VL_BYLEVEL_COLOR) return true;
    if (list->flags == VL_STYLE_FLAGS && number == VL_BYLEVEL_STYLE) return true;
  }
  if (list->rangeCount == 0 && list->names.empty() && !list->byLevel) return true;
  for (int i = 0; i < list->rangeCount; ++i) {
    if (list->ranges[i].low <= number && number <= list->ranges[i].high) return true;
  }
  if (name == nullptr) return false;
  const std::string lowerName = toLowerAscii(*name);
  for (const ValueName& item : list->names) {
    if (nameMatches(item, lowerName)) return true;
  }
  return false;
}

bool valueList_match(std::string_view text, uint32_t flags, bool useCache, double number,
                     const std::string* name) {
  if (text.empty()) return true;
  if (!useCache) {
    std::unique_ptr<ValueList> list;
    (void)valueList_parse(&list, text, flags, false);
    return list != nullptr && valueList_matchList(list.get(), number, name);
  }
  Cache& c = cache();
  std::string key = cacheKey(text, flags);
  if (auto it = c.index.find(key); it != c.index.end()) {
    return valueList_matchList(c.slots[it->second].get(), number, name);
  }
  std::unique_ptr<ValueList> list;
  (void)valueList_parse(&list, text, flags, false);
  if (list == nullptr) return false;
  const ValueList* stored = list.get();
  if (c.slots.size() < VL_CACHE_SIZE) {
    c.slots.push_back(std::move(list));
    c.index.emplace(std::move(key), c.slots.size() - 1);
  } else {
    // Full: the entry at the replacement index makes room, and the index moves on.
    const size_t slot = c.replaceIndex;
    const ValueList& old = *c.slots[slot];
    c.index.erase(cacheKey(old.source, old.flags));
    c.slots[slot] = std::move(list);
    c.index.emplace(std::move(key), slot);
    c.replaceIndex = (slot + 1) % VL_CACHE_SIZE;
  }
  return valueList_matchList(stored, number, name);
}

int valueList_validate(std::string_view text, uint32_t flags, double lower, double upper,
                       const NameCheck& nameCheck) {
  std::unique_ptr<ValueList> list;
  const int status = valueList_parse(&list, text, flags, true);
  if (status != SUCCESS) return status;
  if (list == nullptr) return SUCCESS;
  if (flags & VL_NUMBERS) {
    for (int i = 0; i < list->rangeCount; ++i) {
      const ValueRange& r = list->ranges[i];
      if (r.low < lower || r.low > upper || r.high < lower || r.high > upper) {
        char msg[800];
        std::snprintf(msg, sizeof msg, "The number must be within the range of %.0f to %.0f.",
                      lower, upper);
        setError(msg);
        return ERROR;
      }
    }
  }
  if ((flags & VL_NAMES) && nameCheck) {
    for (const ValueName& item : list->names) {
      std::string error;
      (void)nameCheck(item.text, item.kind, error);
    }
  }
  return SUCCESS;
}

const std::string& valueList_lastError() {
  return g_lastError;
}

void valueList_clearCache() {
  Cache& c = cache();
  c.slots.clear();
  c.index.clear();
  c.replaceIndex = 0;
}

size_t valueList_cacheSize() {
  return cache().slots.size();
}
size_t valueList_cacheReplaceIndex() {
  return cache().replaceIndex;
}

}  // namespace kelvara
