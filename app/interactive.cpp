#include "app/interactive.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>

#include "frame/command_line.h"
#include "frame/main_dialog.h"
#include "host/design.h"
#include "host/host_loop.h"
#include "host/types.h"
#include "web/web.h"

extern char** environ;

namespace kelvara {

namespace {

// Opens the page in the user's browser; a missing or failing xdg-open is not an error (the
// address is printed anyway). Returns the child's id, 0 when none was started.
pid_t openBrowser(const std::string& url) {
  pid_t pid = 0;
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int status =
      posix_spawnp(&pid, "xdg-open", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  return status == 0 ? pid : 0;
}

}  // namespace

int runInteractive(const CommandLine& line, std::FILE* out, std::FILE* err) {
  (void)setUiPort(webUi());
  WebServerOptions options;
  options.port = line.port;
  std::string error;
  WebServerHandle server = startWebServer(options, &error);
  if (!server) {
    std::fprintf(err, "kelvara: %s\n", error.c_str());
    return EXIT_RUN_FAILED;
  }
  const std::string url = webServerUrl(*server);
  std::fprintf(out, "%s\n", url.c_str());
  std::fflush(out);
  const pid_t browser = line.noBrowser ? 0 : openBrowser(url);

  const std::string file = line.arguments.empty() ? "" : line.arguments.front();
  if (!startInteractive(file)) {
    std::fprintf(err, "kelvara: the main dialog could not be opened\n");
    return EXIT_RUN_FAILED;
  }
  WebServer* web = server.get();
  setHostTurnHook([web] {
    syncMainDialog();
    publishWebState(*web);
  });
  runHostLoopUntil(interactiveEnded);
  const bool saved = closeAllDesignFiles() == SUCCESS;
  stopWebServer(*server);
  if (browser > 0) (void)waitpid(browser, nullptr, WNOHANG);
  return saved ? EXIT_RUN_COMPLETED : EXIT_RUN_FAILED;
}

}  // namespace kelvara
