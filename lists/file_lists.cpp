#include "lists/file_lists.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>

#include "host/design.h"
#include "host/file_identity.h"
#include "host/types.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

bool hasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

bool isRegularFile(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::is_regular_file(p, ec);
}

bool isBlank(const std::string& s) {
  return s.find_first_not_of(" \t") == std::string::npos;
}

FileIdentities identitiesOf(StringList* list) {
  FileIdentities ids;
  for (long i = 0; i < mdlStringList_size(list); ++i) {
    const wchar_t* name = nullptr;
    if (mdlStringList_getMember(&name, nullptr, list, i) != SUCCESS || name == nullptr) continue;
    if (const auto id = fileIdentity(toNarrow(name))) ids.insert(*id);
  }
  return ids;
}

ParseError listError(FileListError code, std::string text, std::string file = {}) {
  return ParseError{code, std::move(text), std::move(file), 0, false};
}

}  // namespace

std::string directoryPart(const std::string& spec) {
  const size_t slash = spec.rfind('/');
  return slash == std::string::npos ? std::string() : spec.substr(0, slash + 1);
}

std::vector<std::string> findFiles(const std::string& spec) {
  std::vector<std::string> names;
  const std::string dir = directoryPart(spec);
  const std::string pattern = spec.substr(dir.size());
  if (pattern.empty()) return names;
  if (!hasWildcard(pattern)) {
    if (isRegularFile(spec)) names.push_back(pattern);
    return names;
  }
  std::error_code ec;
  std::filesystem::directory_iterator it(
      std::filesystem::path(dir.empty() ? std::string(".") : dir), ec);
  if (ec) return names;
  for (const auto& entry : it) {
    const std::string name = entry.path().filename().string();
    if (!wildcardMatch(pattern, name)) continue;
    std::error_code fec;
    if (!entry.is_regular_file(fec)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool anyFileMatches(const std::string& spec) {
  return !findFiles(spec).empty();
}

int addMatchingFiles(StringList* list, const std::string& entrySpec,
                     std::vector<ParseError>& errors, FileIdentities* seen) {
  // "FILE,MODEL" names one model of the files FILE matches (when entrySpec itself names none).
  std::string spec = entrySpec, model;
  std::vector<std::string> names = findFiles(spec);
  const size_t comma = entrySpec.find(',');
  if (names.empty() && comma != std::string::npos && comma + 1 < entrySpec.size()) {
    spec = entrySpec.substr(0, comma);
    model = entrySpec.substr(comma + 1);
    names = findFiles(spec);
  }
  if (names.empty()) {
    errors.push_back(listError(LIST_NO_MATCH, "No files found matching \"" + entrySpec + "\"."));
    return ERROR;
  }
  FileIdentities own;
  if (seen == nullptr) {
    own = identitiesOf(list);
    seen = &own;
  }
  const std::string dir = directoryPart(spec);
  for (const std::string& name : names) {
    const std::string full = dir + name;
    bool is3d = false;
    if (mdlFile_checkDesignFile(full, &is3d) != SUCCESS) {
      std::string text = "\"" + full + "\" is not a design file.";
      if (isDxfDrawingName(full)) text += " " + lastDesignError();
      errors.push_back(listError(LIST_NOT_DESIGN_FILE, text));
      continue;
    }
    const std::wstring wide = toWide(model.empty() ? full : full + "," + model);
    if (mdlStringList_search(list, wide, 0, false) >= 0) continue;
    const auto id = fileIdentity(full);
    if (model.empty() && id && !seen->insert(*id).second) continue;
    long index = -1;
    if (mdlStringList_insertMember(&index, list, -1, 1) != SUCCESS) return ERROR;
    if (mdlStringList_setMember(list, index, wide, nullptr) != SUCCESS) return ERROR;
  }
  return SUCCESS;
}

std::vector<std::string> comparisonListLineNames(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  const size_t bar = line.find('|');
  if (bar == std::string::npos) return {line};
  std::vector<std::string> names;
  size_t start = 0;
  while (true) {
    const size_t end = line.find('|', start);
    std::string side =
        line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!isBlank(side)) names.push_back(side);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return names;
}

int readComparisonList(StringList* list, const std::string& path, std::vector<ParseError>& errors,
                       FileIdentities* seen) {
  FileIdentities own;
  if (seen == nullptr) {
    own = identitiesOf(list);
    seen = &own;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    errors.push_back(listError(LIST_UNREADABLE, "Unable to open " + path + ".", path));
  } else {
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
      ++lineNumber;
      const size_t first = errors.size();
      const std::vector<std::string> names = comparisonListLineNames(line);
      if (names.empty()) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        (void)addMatchingFiles(list, line, errors, seen);
      }
      for (const std::string& name : names) (void)addMatchingFiles(list, name, errors, seen);
      for (size_t i = first; i < errors.size(); ++i) {
        errors[i].file = path;
        errors[i].line = lineNumber;
      }
    }
  }
  if (mdlStringList_size(list) == 0) {
    errors.push_back(listError(LIST_EMPTY, "No valid files found in the comparison list...", path));
    return ERROR;
  }
  return SUCCESS;
}

bool hasListExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  return toLowerAscii(name.substr(dot)) == ".lst";
}

}  // namespace kelvara
