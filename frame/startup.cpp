#include "frame/startup.h"

#include "frame/messages.h"
#include "frame/trace.h"
#include "host/design.h"
#include "host/parse_error.h"
#include "host/strings.h"
#include "host/ui.h"
#include "lists/file_lists.h"
#include "lists/paths.h"
#include "run/driver.h"
#include "run/trace_hook.h"
#include "settings/run_settings.h"
#include "settings/settings_file.h"

namespace kelvara {

namespace {

constexpr size_t kMaxArgument = 511;

bool endsWith(const std::string& text, const char* tail) {
  const std::string t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

bool hasExtension(const std::string& spec) {
  const std::string name = spec.substr(directoryPart(spec).size());
  return name.find('.') != std::string::npos;
}

void traceSink(const std::string& line) {
  traceText(line);
}

int messageSink(int number, const char* argument) {
  return showMessage(number, argument);
}

std::string messageTextSink(int number, const char* argument) {
  return messageText(number, argument);
}

// Takes the arguments over literally, as 8-bit text of at most 511 characters. (A leading
// "-i" is not the host's key-in prefix here: "-inlet.dgn" names the file -inlet.dgn.)
std::vector<std::string> takeArguments(const std::vector<std::wstring>& args) {
  std::vector<std::string> out;
  for (const std::wstring& arg : args) {
    std::string text = toNarrow(arg);
    if (text.size() > kMaxArgument) text.resize(kMaxArgument);
    out.push_back(text);
  }
  return out;
}

// A design file specification stays when a file matches it, or with ".dgn" appended when it
// has no extension, or when it names a model ("FILE,MODEL") of a file that matches; otherwise
// it is named as not valid.
bool keepDesignArgument(std::string& arg) {
  if (anyFileMatches(arg)) return true;
  const size_t comma = arg.find(',');
  if (comma != std::string::npos && comma + 1 < arg.size() && anyFileMatches(arg.substr(0, comma)))
    return true;
  if (!hasExtension(arg) && anyFileMatches(arg + ".dgn")) {
    arg += ".dgn";
    return true;
  }
  mdlDialog_openInfoBox("Argument \"" + arg + "\" not valid.");
  return false;
}

}  // namespace

bool isSettingsKey(const std::string& key) {
  for (int i = 0; i < SETTINGS_KEY_COUNT; ++i) {
    const char* name = settings_keyName(i);
    if (name != nullptr && key == name) return true;
  }
  return false;
}

bool applySettingOverride(const SettingOverride& setting) {
  if (!isSettingsKey(setting.first)) return false;
  RunSettings& s = runSettings();
  std::string line = setting.first + "=" + setting.second;
  const bool matched = settings_keyWalk(s, settingsFile(), &line, KeyWalkMode::Read, 0) == SUCCESS;
  settings_rebuildReportMessage(s);
  return matched;
}

StartResult handleLoadArguments(const std::vector<std::wstring>& wideArgs,
                                const std::vector<SettingOverride>& overrides) {
  DuplicateRun& run = duplicateRun();
  RunSettings& s = runSettings();
  std::vector<std::string> args = takeArguments(wideArgs);
  if (args.size() > 1 && args[1] == BATCH_ARGUMENT) runSession().batchMode = true;
  const size_t firstFileArgument = runSession().batchMode ? 3 : 2;
  for (size_t i = 0; i < args.size() && i < firstFileArgument; ++i) args[i].clear();

  std::string listFile;
  for (std::string& arg : args) {
    if (arg.empty()) continue;
    if (endsWith(arg, ".ini")) {
      if (anyFileMatches(arg)) {
        settingsFile().fileName = arg;
        (void)settings_load(s, settingsFile(), true, KeyWalkMode::Read);
      } else {
        mdlDialog_openInfoBox("Argument \"" + arg + "\" not valid.");
      }
      arg.clear();
    } else if (endsWith(arg, ".lst")) {
      listFile = arg;
      arg.clear();
    } else if (!keepDesignArgument(arg)) {
      arg.clear();
    }
  }
  for (const SettingOverride& setting : overrides) (void)applySettingOverride(setting);

  createRunLists();
  FileIdentities entryFiles;  // one file named several ways is one entry
  std::vector<ParseError> errors;
  if (!listFile.empty()) {
    (void)readComparisonList(run.entryList.get(), listFile, errors, &entryFiles);
  }
  for (const std::string& arg : args) {
    if (!arg.empty()) (void)addMatchingFiles(run.entryList.get(), arg, errors, &entryFiles);
  }
  for (const ParseError& error : errors) showParseError(error);
  if (mdlStringList_size(run.entryList.get()) > 0) {
    s.INTERACTIVE = 0;
    runSession().unattended = true;
    if (runSession().startRun) {
      runSession().startRun();
    } else {
      process_startAllV8Files(nullptr);
    }
    return StartResult::RunStarted;
  }
  if (!runSession().batchMode) return StartResult::NoArguments;
  mdlDialog_openInfoBox("No matching design files found");
  (void)closeAllDesignFiles();
  run.hostExitRequested = true;
  return StartResult::NothingToDo;
}

StartResult MdlMain(const std::vector<std::wstring>& args,
                    const std::vector<SettingOverride>& overrides) {
  setRunTraceSink(traceSink, [] { return traceLevel() != TRACE_OFF; });
  setRunMessageSink(messageSink);
  setRunMessageTextSink(messageTextSink);
  SettingsFile& file = settingsFile();
  initSettingsFileNames(file);
  (void)settings_startupLoad(runSettings(), file);
  return handleLoadArguments(args, overrides);
}

}  // namespace kelvara
