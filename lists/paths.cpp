#include "lists/paths.h"

#include "host/config.h"
#include "host/types.h"

namespace kelvara {

namespace {

std::string& programDirectoryStore() {
  static std::string dir;
  return dir;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    bool same = true;
    for (size_t j = 0; j < part.size() && same; ++j) {
      char a = text[i + j];
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      same = a == part[j];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

int pathFromCfgVar(std::string* out, std::string_view name, bool addSeparator) {
  if (mdlSystem_getCfgVar(out, name) != SUCCESS) {
    out->clear();
    return ERROR;
  }
  if (addSeparator && (out->empty() || out->back() != '/')) out->push_back('/');
  return SUCCESS;
}

int temporaryFolder(std::string* folder) {
  for (const char* name : {"TEMP", "TMP", "MS_TMP", "TMPDIR"}) {
    if (pathFromCfgVar(folder, name, true) == SUCCESS) return SUCCESS;
  }
  folder->clear();
  return ERROR;
}

void setProgramDirectory(std::string_view directory) {
  programDirectoryStore() = std::string(directory);
}

const std::string& programDirectory() {
  return programDirectoryStore();
}

std::string hostVersionTag(std::string_view programDir) {
  // "v10" is looked for last, as the host versions are tried in this order.
  for (const char* tag : {"v7", "v8", "v10"}) {
    if (containsIgnoringCase(programDir, tag)) {
      std::string upper(tag);
      upper[0] = 'V';
      return upper;
    }
  }
  return {};
}

std::string settingsFolder(std::string_view programDir) {
  std::string base;
  if (pathFromCfgVar(&base, "APPDATA", true) != SUCCESS) return {};
  const std::string tag = hostVersionTag(programDir);
  std::string folder = base + "Tarvo/";
  if (!tag.empty()) folder += tag + "/";
  folder += APPLICATION_NAME;
  folder += "/";
  return folder;
}

std::string settingsFolder() {
  return settingsFolder(programDirectory());
}

void v_settingDllIniFileName(std::string_view appName, std::string_view programDir,
                             std::string* fileName, std::string* datFile, bool* fixed) {
  std::string name;
  const std::string folder = settingsFolder(programDir);
  if (!folder.empty()) name = folder + std::string(appName) + ".ini";
  if (name.rfind("-i", 0) == 0) name.erase(0, 2);
  *fileName = name;
  datFile->clear();
  *fixed = false;
}

std::string defaultSettingsFileName() {
  std::string name, dat;
  bool fixed = false;
  v_settingDllIniFileName(APPLICATION_NAME, programDirectory(), &name, &dat, &fixed);
  return name;
}

void initSettingsFileNames(SettingsFile& file) {
  v_settingDllIniFileName(APPLICATION_NAME, programDirectory(), &file.fileName, &file.datFile,
                          &file.fileFixed);
  file.defaultFileName = file.fileName;
}

std::string traceLogFileName() {
  const std::string folder = settingsFolder();
  return folder.empty() ? std::string() : folder + TRACE_LOG_FILE_NAME;
}

}  // namespace kelvara
