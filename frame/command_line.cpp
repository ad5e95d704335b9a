#include "frame/command_line.h"

#include <unistd.h>

#include "frame/jobs.h"
#include "frame/startup.h"
#include "host/strings.h"
#include "host/timers.h"
#include "host/ui.h"
#include "run/driver.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

// The run becomes shard index/count: its entries and the name of its one text report.
void takeShard(int index, int count) {
  selectShard(duplicateRun().entryList, index, count);
  RunSettings& s = runSettings();
  s.TEXT_REPORT_FILE_NAME.assign(shardReportName(s.TEXT_REPORT_FILE_NAME.str(), index, count));
  settings_rebuildReportMessage(s);
}

}  // namespace

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
  runSession().startRun = [&line] {
    if (line.shardCount > 0) takeShard(line.shardIndex, line.shardCount);
    if (line.jobs <= 1) process_startAllV8Files(nullptr);
  };
  const StartResult started = MdlMain(loadArgs, overrides);
  if (started != StartResult::RunStarted) return EXIT_RUN_FAILED;
  if (line.jobs > 1) {
    runJobs(line.jobs, out, err);
  } else {
    (void)runEventLoop();
  }
  const DuplicateRun& run = duplicateRun();
  if (run.running) finishRun();
  if (!run.completed || run.cancelled || run.saveFailed || run.runFailed) return EXIT_RUN_FAILED;
  if (run.failedEntries == 0) return EXIT_RUN_COMPLETED;
  return run.processedEntries == 0 ? EXIT_RUN_FAILED : EXIT_SOME_ENTRIES_FAILED;
}

}  // namespace kelvara
