// Fuzz target for the settings file reader: the input is read as a settings file into a
// factory-reset record and compared against it; the record written back must still be one
// line per key, and reading it again must not fail.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/run_settings.h"
#include "settings/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvara;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static RunSettings s;
  SettingsFile file;
  settings_resetToFactory(s, false);
  settings_readText(s, file, text, KeyWalkMode::Read);
  settings_readText(s, file, text, KeyWalkMode::Compare);

  const std::string written = settings_fileText(s, file);
  if (std::count(written.begin(), written.end(), '\n') != SETTINGS_KEY_COUNT) std::abort();
  static RunSettings back;
  settings_resetToFactory(back, false);
  settings_readText(back, file, written, KeyWalkMode::Read);
  if (back.MODEL_NAMES_FILTER.view() != s.MODEL_NAMES_FILTER.view() &&
      (s.MODEL_NAMES_FILTER.view().empty() || s.MODEL_NAMES_FILTER.view().back() != '\r')) {
    std::abort();  // a value that does not end in CR survives writing and reading
  }
  return 0;
}
