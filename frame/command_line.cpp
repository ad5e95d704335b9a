#include "frame/command_line.h"

#include <unistd.h>

#include "frame/startup.h"
#include "host/strings.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/driver.h"

namespace kelvara {

namespace {

int usageError(std::FILE* err, const std::string& why) {
  std::fprintf(err, "kelvara: %s\n", why.c_str());
  std::fputs("usage: kelvara [--set KEY=VALUE]... ARGUMENT...\n", err);
  return EXIT_USAGE;
}

}  // namespace

int runFromCommandLine(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  std::vector<SettingOverride> overrides;
  std::vector<std::wstring> loadArgs = {toWide(APPLICATION_NAME), toWide(BATCH_ARGUMENT),
                                        toWide(APPLICATION_NAME)};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--set") {
      if (i + 1 >= args.size()) return usageError(err, "--set needs KEY=VALUE");
      const std::string& setting = args[++i];
      const size_t eq = setting.find('=');
      if (eq == std::string::npos || eq == 0) {
        return usageError(err, "--set needs KEY=VALUE, got \"" + setting + "\"");
      }
      const std::string key = setting.substr(0, eq);
      if (!isSettingsKey(key)) return usageError(err, "unknown settings key \"" + key + "\"");
      overrides.emplace_back(key, setting.substr(eq + 1));
      continue;
    }
    if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
      return usageError(err, "unknown option \"" + arg + "\"");
    }
    loadArgs.push_back(toWide(arg));
  }
  if (loadArgs.size() == 3) return usageError(err, "no design file, pattern or list given");

  (void)setUiPort(commandLineUi(err, isatty(fileno(err)) != 0));
  installInterruptHandler();
  DuplicateRun& run = duplicateRun();
  run.showSummary = [out](const std::string& text) {
    std::fputs(text.c_str(), out);
    std::fflush(out);
  };
  const StartResult started = MdlMain(loadArgs, overrides);
  if (started != StartResult::RunStarted) return EXIT_RUN_FAILED;
  (void)runEventLoop();
  if (run.running) finishRun();
  const bool ok = run.completed && !run.cancelled && !run.saveFailed;
  return ok ? EXIT_RUN_COMPLETED : EXIT_RUN_FAILED;
}

}  // namespace kelvara
