#include "frame/settings_listing.h"

#include <filesystem>
#include <fstream>
#include <string>

#include "host/types.h"
#include "lists/paths.h"
#include "settings/key_guide.h"
#include "settings/run_settings.h"
#include "settings/settings_file.h"

namespace kelvara {

namespace {

// The value of key number `index` in `s`, as the settings file would hold it.
std::string valueOf(RunSettings& s, int index) {
  const std::string key = settings_keyName(index);
  SettingsFile scratch;
  std::string line;
  if (settings_keyWalk(s, scratch, &line, KeyWalkMode::Write, index) != SUCCESS) return "";
  return line.substr(key.size() + 1);
}

// The DATE_CREATED value of the settings file at path ("" when it has none).
std::string dateInFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string prefix = "DATE_CREATED=";
  std::string text;
  while (std::getline(in, text)) {
    if (text.compare(0, prefix.size(), prefix) != 0) continue;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text.substr(prefix.size());
  }
  return "";
}

}  // namespace

int listSettings(const CommandLine& line, std::FILE* out, std::FILE* err) {
  RunSettings& s = runSettings();
  SettingsFile& file = settingsFile();
  initSettingsFileNames(file);
  std::error_code ec;
  std::string note;
  if (!line.arguments.empty()) {
    for (const std::string& ini : line.arguments) {
      if (!std::filesystem::is_regular_file(ini, ec)) {
        std::fprintf(err, "kelvara: settings file \"%s\" not found\n", ini.c_str());
        return 1;
      }
      file.fileName = ini;
      (void)settings_load(s, file, true, KeyWalkMode::Read);
    }
  } else if (std::filesystem::is_regular_file(file.defaultFileName, ec)) {
    (void)settings_startupLoad(s, file);
  } else {
    // Listing never creates the file; the first run does.
    file.fileName = file.defaultFileName;
    settings_resetToFactory(s, true);
    note = " (not created yet: the first run creates it with the factory values)";
  }
  for (const SettingOverride& setting : line.overrides) (void)applySettingOverride(setting);

  RunSettings factory;
  settings_resetToFactory(factory, true);
  std::fprintf(out, "Settings file: %s%s\n", file.fileName.c_str(), note.c_str());
  if (!line.overrides.empty()) std::fputs("(values include the --set changes)\n", out);
  std::fputs("\nKEY=VALUE  (factory: value)\n    meaning\n\n", out);
  for (int i = 0; settings_keyName(i) != nullptr; ++i) {
    const std::string key = settings_keyName(i);
    const KeyGuide guide = settings_keyGuide(key);
    if (guide.kind == KeyValueKind::Written) {
      const std::string value = key == "DATE_CREATED" ? dateInFile(file.fileName) : valueOf(s, i);
      std::fprintf(out, "%s=%s  (written by kelvara)\n    %s\n", key.c_str(), value.c_str(),
                   guide.meaning.c_str());
      continue;
    }
    std::fprintf(out, "%s=%s  (factory: %s)\n    %s\n", key.c_str(), valueOf(s, i).c_str(),
                 valueOf(factory, i).c_str(), guide.meaning.c_str());
  }
  return std::fflush(out) == 0 ? 0 : 1;
}

}  // namespace kelvara
