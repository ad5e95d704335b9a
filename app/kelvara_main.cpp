// kelvara: command-line entry point. The options are read in frame/options.h.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/dump.h"
#include "app/interactive.h"
#include "frame/command_line.h"
#include "frame/options.h"
#include "frame/settings_listing.h"
#include "lists/paths.h"
#include "report/text_report.h"

int main(int argc, char** argv) {
  using namespace kelvara;
  const CommandLine line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  std::error_code ec;
  const auto self = std::filesystem::canonical("/proc/self/exe", ec);
  if (!ec) setProgramDirectory(self.parent_path().string());
  switch (line.action) {
    case CommandAction::UsageError:
      return usageError(stderr, line.error);
    case CommandAction::Help:
      std::fputs(helpText(), stdout);
      return std::fflush(stdout) == 0 ? EXIT_RUN_COMPLETED : EXIT_RUN_FAILED;
    case CommandAction::Version:
      std::printf("%s %s\n", PRODUCT_NAME, PRODUCT_VERSION);
      return std::fflush(stdout) == 0 ? EXIT_RUN_COMPLETED : EXIT_RUN_FAILED;
    case CommandAction::Dump:
      return dumpDesignFile(line.arguments.front(), line.header, stdout, stderr);
    case CommandAction::Settings:
      return listSettings(line, stdout, stderr);
    case CommandAction::Interactive:
      return runInteractive(line);
    case CommandAction::Run:
      break;
  }
  return runFromCommandLine(line);
}
