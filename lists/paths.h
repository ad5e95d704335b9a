// Where the application finds its folders: paths read from configuration variables, the
// temporary folder, the folder of settings (which holds the settings file and the trace log)
// and the default settings file name.
//
// Paths use this platform's separator `/`. The folder of settings lies under the value of
// "APPDATA" (the host answers it from $XDG_CONFIG_HOME or $HOME/.config when it is not set):
// APPDATA/Tarvo/kelvara/, or APPDATA/Tarvo/<tag>/kelvara/ when the program directory names a
// host version (v7, v8 or v10, found ignoring case; the tag is V7, V8 or V10).
#pragma once

#include <string>
#include <string_view>

#include "settings/settings_file.h"

namespace kelvara {

inline constexpr const char* APPLICATION_NAME = "kelvara";
inline constexpr const char* SETTINGS_FILE_NAME = "kelvara.ini";
inline constexpr const char* TRACE_LOG_FILE_NAME = "diff_log.txt";

// The value of configuration variable `name`, with a `/` appended when `addSeparator` is set
// and the value does not end with one. ERROR, with *out empty, when it is not defined.
[[nodiscard]] int pathFromCfgVar(std::string* out, std::string_view name, bool addSeparator);

// The first defined of "TEMP", "TMP", "MS_TMP" and this platform's "TMPDIR", with a trailing
// `/`. ERROR, with *folder empty, when none is defined.
[[nodiscard]] int temporaryFolder(std::string* folder);

// The directory of the application's own program file, taken at start-up.
void setProgramDirectory(std::string_view directory);
const std::string& programDirectory();

// "V7", "V8", "V10" or "" for a program directory (see above).
std::string hostVersionTag(std::string_view programDir);

// The folder of settings for `programDir`, with its trailing `/`; "" when "APPDATA" is not
// available.
std::string settingsFolder(std::string_view programDir);
std::string settingsFolder();  // for programDirectory()

// The default settings file: kelvara.ini in the folder of settings (a leading "-i", the
// command-line form of a settings argument, removed). The companion name is empty and the
// file is never fixed.
void v_settingDllIniFileName(std::string_view appName, std::string_view programDir,
                             std::string* fileName, std::string* datFile, bool* fixed);

// The default settings file name for programDirectory().
std::string defaultSettingsFileName();

// Fills fileName, datFile, fileFixed and defaultFileName of `file` with the defaults.
void initSettingsFileNames(SettingsFile& file);

// The trace log file: diff_log.txt in the folder of settings ("" without one).
std::string traceLogFileName();

}  // namespace kelvara
