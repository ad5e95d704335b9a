// The settings file: the settings record saved as plain `KEY=value` lines, one per key, in a
// fixed order of 89 keys (misspellings included: they are part of the format).
//
// One walk over the key table serves three purposes: writing the file, reading it into the
// record, and comparing it with the record to learn whether the user changed anything since
// the last save. Saving goes through a temporary file beside the target that replaces it only
// when complete, so a failed write never leaves half a settings file; a read-only settings
// file is never replaced. Reading is forgiving: unknown keys, malformed lines and blank lines
// are ignored, and a key missing from the file keeps its factory value.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings/run_settings.h"

namespace kelvara {

inline constexpr int SETTINGS_KEY_COUNT = 89;
// Longest piece of a line that reading handles as one line; longer lines are read in pieces
// of this length, each handled as a line of its own. Every line that Save writes fits.
inline constexpr size_t SETTINGS_LINE_PIECE = 1023;
inline constexpr const char* SETTINGS_VERSION_KEY = "kelvara";
inline constexpr const char* SETTINGS_VERSION = "6";

enum class KeyWalkMode { Read, Write, Compare };

// What the settings subsystem keeps beside the record.
struct SettingsFile {
  std::string fileName;         // full path of the current settings file; "" when none chosen
  std::string datFile;          // companion name that goes with the default file name
  bool fileFixed = false;       // the user may not change the settings file
  bool changed = false;         // result of the last compare pass
  std::string defaultFileName;  // the default settings file (set at start-up)
  // Asks the user for another file when the settings file cannot be written ("Save settings
  // as", starting from the given path); nothing when the user cancels. Unset: never asks.
  std::function<std::optional<std::string>(const std::string& start)> chooseSaveAs;
};

// The application's settings file state.
SettingsFile& settingsFile();

// ---- Key walk ------------------------------------------------------------------------------

// Write: fills *line with the line of key number `index` (0-based, without line break) and
// returns SUCCESS, or ERROR when index is past the last key. Read: offers *line (without its
// line break) to the keys in order; the first that matches stores its value; SUCCESS when a
// key matched, ERROR when none did (nothing changes). Compare: as Read, but sets
// `file.changed` when a compared key's value differs from the record instead of storing it.
[[nodiscard]] int settings_keyWalk(RunSettings& s, SettingsFile& file, std::string* line,
                                   KeyWalkMode mode, int index);

// The key names in file order.
const char* settings_keyName(int index);

// ---- File operations -----------------------------------------------------------------------

// Writes the record to file.fileName (the default name first when it is empty). When the file
// cannot be written, asks chooseSaveAs for another name and tries again; SUCCESS when a file
// was written, ERROR when none was (cancelled, or no chooser), with the reason the last write
// failed in *error. A file that could not be written stays as it was.
[[nodiscard]] int settings_save(RunSettings& s, SettingsFile& file, std::string* error = nullptr);

// Reads file.fileName through the key walk. In Read mode the record is first reset to factory
// values (with `fromHost`). When the file cannot be read, file.fileName becomes the default
// name and, when no file exists there yet, the record is saved there (a first start creates
// a settings file of factory values). TEXT_REPORT_MESSAGE is rebuilt. SUCCESS when the named
// file was read.
int settings_load(RunSettings& s, SettingsFile& file, bool fromHost, KeyWalkMode mode);

// The load at start-up: the default file, reset from the host, read mode.
int settings_startupLoad(RunSettings& s, SettingsFile& file);

// Whether the record differs from the settings file (compare pass). The record is left as it
// was; file.changed holds the answer too. Keys missing from the file and the not-compared keys
// never count as changed.
bool settings_changed(RunSettings& s, SettingsFile& file);

// Saves under a name the user chose ("Save Settings" with a chooser): the name becomes the
// settings file and the record is saved there (see settings_save).
[[nodiscard]] int settings_saveAs(RunSettings& s, SettingsFile& file, const std::string& chosen);

// The settings menu's label: "Settings File: " and the file name shortened to 36 characters,
// or "Settings File: None".
std::string settingsMenuLabel(const SettingsFile& file);

// Factory defaults command: resets with fromHost false; the settings file name stays.
void settings_factoryDefaults(RunSettings& s);

// The settings file's text for the record, lines joined with "\n" (what Save writes).
std::string settings_fileText(RunSettings& s, SettingsFile& file);

// Reads settings lines from `text` as Load does from a file (tests and fuzzing).
void settings_readText(RunSettings& s, SettingsFile& file, std::string_view text, KeyWalkMode mode);

}  // namespace kelvara
