// Start-up and run invocation: MdlMain and the load arguments.
//
// The host (here: the command line) calls MdlMain once with the load arguments; the first is
// the application's own name. MdlMain loads the settings, plugs the trace log and the numbered
// messages into the run, and hands the arguments to the load-argument handling, which builds
// the run's entry list from settings files (.ini), a comparison list (.lst) and design file
// names or wildcard patterns, and starts an unattended run. The run itself then proceeds on
// the host's event loop.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "lists/paths.h"

namespace kelvara {

inline constexpr const char* BATCH_ARGUMENT = "MS_INITAPPS";

// One settings change given on the command line: key and value.
using SettingOverride = std::pair<std::string, std::string>;

// What MdlMain did with the arguments.
enum class StartResult {
  RunStarted,   // a run was started from the arguments (it goes on in the event loop)
  NothingToDo,  // no design file matched (batch mode: the host ends)
  NoArguments,  // not a batch start and no run: start-up would go on with the main dialog
};

// True when `key` is a key of the settings file.
bool isSettingsKey(const std::string& key);

// Applies one KEY=VALUE line to the run's settings with the settings file's reading rules and
// rebuilds the report description. False when the key is not a settings key.
bool applySettingOverride(const SettingOverride& setting);

// The load arguments: builds the entry list and starts the run. `overrides` are applied after
// the settings files among the arguments are loaded and before the run starts.
StartResult handleLoadArguments(const std::vector<std::wstring>& args,
                                const std::vector<SettingOverride>& overrides);

// The application's entry: settings, trace and messages, then the load arguments.
StartResult MdlMain(const std::vector<std::wstring>& args,
                    const std::vector<SettingOverride>& overrides = {});

}  // namespace kelvara
