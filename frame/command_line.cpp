#include "frame/command_line.h"

#include <unistd.h>

#include "frame/startup.h"
#include "host/strings.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/driver.h"

namespace kelvara {

int usageError(std::FILE* err, const std::string& why) {
  std::fprintf(err, "kelvara: %s\n", why.c_str());
  std::fputs(usageText(), err);
  return EXIT_USAGE;
}

int runFromCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err) {
  std::vector<std::wstring> loadArgs = {toWide(APPLICATION_NAME), toWide(BATCH_ARGUMENT),
                                        toWide(APPLICATION_NAME)};
  for (const std::string& arg : line.arguments) loadArgs.push_back(toWide(arg));
  const std::vector<SettingOverride>& overrides = line.overrides;

  (void)setUiPort(commandLineUi(err, isatty(fileno(err)) != 0));
  installInterruptHandler();
  runSession().duplicatesList = line.list;
  runSession().showSummary = [out](const std::string& text) {
    std::fputs(text.c_str(), out);
    std::fflush(out);
  };
  const StartResult started = MdlMain(loadArgs, overrides);
  if (started != StartResult::RunStarted) return EXIT_RUN_FAILED;
  (void)runEventLoop();
  const DuplicateRun& run = duplicateRun();
  if (run.running) finishRun();
  if (!run.completed || run.cancelled || run.saveFailed || run.runFailed) return EXIT_RUN_FAILED;
  if (run.failedEntries == 0) return EXIT_RUN_COMPLETED;
  return run.processedEntries == 0 ? EXIT_RUN_FAILED : EXIT_SOME_ENTRIES_FAILED;
}

}  // namespace kelvara
