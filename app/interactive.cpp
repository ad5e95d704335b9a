#include "app/interactive.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "frame/command_line.h"
#include "frame/main_dialog.h"
#include "frame/options.h"
#include "host/design.h"
#include "host/host_loop.h"
#include "host/types.h"
#include "host/view_display.h"
#include "report/description.h"
#include "run/driver.h"
#include "run/stepper.h"
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

// Ctrl-C and SIGTERM end the application as closing the main dialog does. The handler only
// counts the signal and writes a byte to a pipe; a watcher thread turns the byte into a host
// task, so the ending happens on the host thread. A second signal exits at once.
volatile sig_atomic_t g_endSignals = 0;
int g_endPipe[2] = {-1, -1};

extern "C" void onEndSignal(int) {
  if (g_endSignals != 0) ::_exit(130);
  g_endSignals = 1;
  const int saved = errno;
  const char byte = 1;
  (void)!::write(g_endPipe[1], &byte, 1);
  errno = saved;
}

struct SignalEnd {
  bool requested = false;
  bool runCancelled = false;
};

SignalEnd& signalEnd() {
  static SignalEnd state;
  return state;
}

// Host thread: cancels a running run through its cancel path and makes every host loop return.
void endOnSignal() {
  SignalEnd& end = signalEnd();
  if (end.requested) return;
  end.requested = true;
  if (duplicateRun().running) {
    if (!cancelStepper()) cancelRun();
    end.runCancelled = true;
  }
  stopHostLoops();
}

// Installs the handlers and starts the watcher; false when the pipe cannot be made.
bool watchEndSignals(std::thread* watcher) {
  if (::pipe2(g_endPipe, O_CLOEXEC) != 0) return false;
  *watcher = std::thread([readFd = g_endPipe[0]] {
    char byte = 0;
    ssize_t got = 0;
    while ((got = ::read(readFd, &byte, 1)) < 0 && errno == EINTR) {
    }
    if (got == 1) postHostTask(endOnSignal);
  });
  struct sigaction action = {};
  action.sa_handler = onEndSignal;
  sigemptyset(&action.sa_mask);
  (void)sigaction(SIGINT, &action, nullptr);
  (void)sigaction(SIGTERM, &action, nullptr);
  return true;
}

// Ends the watcher: a signal from now on still counts (a second one exits at once), but its
// byte goes nowhere.
void stopWatchingEndSignals(std::thread* watcher) {
  if (!watcher->joinable()) return;
  const int writeFd = g_endPipe[1];
  g_endPipe[1] = -1;
  ::close(writeFd);  // the watcher reads end-of-file
  watcher->join();
  ::close(g_endPipe[0]);
  g_endPipe[0] = -1;
}

}  // namespace

int runInteractive(const CommandLine& line, std::FILE* out, std::FILE* err) {
  (void)setUiPort(webUi());
  WebServerOptions options;
  options.port = line.port;
  options.helpText = helpText();
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

  // Watched from here on: a signal during start-up (an info box may wait for its answer)
  // ends the program cleanly too.
  std::thread watcher;
  if (!watchEndSignals(&watcher)) {
    std::fprintf(err, "kelvara: Ctrl-C will end the program without saving\n");
  }
  const std::string file = line.arguments.empty() ? "" : line.arguments.front();
  if (!startInteractive(file)) {
    stopWatchingEndSignals(&watcher);
    std::fprintf(err, "kelvara: the main dialog could not be opened\n");
    return EXIT_RUN_FAILED;
  }
  // A click on an element in the drawing view shows its description line.
  setElementDescriber([](const MSElementDescr& e) {
    const DescriptionFields fields = descriptionFields(e, e.modelRef, e.filePosition, 0);
    return formatDescription(fields, mdlElement_isDeleted(e), e.isComponent, true);
  });
  WebServer* web = server.get();
  setHostTurnHook([web] {
    syncMainDialog();
    publishWebState(*web);
  });
  runHostLoopUntil([] { return interactiveEnded() || signalEnd().requested; });
  const bool saved = closeAllDesignFiles() == SUCCESS;
  stopWebServer(*server);
  stopWatchingEndSignals(&watcher);
  if (browser > 0) (void)waitpid(browser, nullptr, WNOHANG);
  const SignalEnd& end = signalEnd();
  if (end.requested) {
    std::fprintf(err, end.runCancelled ? "kelvara: interrupted: the running run was cancelled\n"
                                       : "kelvara: interrupted: ended with nothing running\n");
  }
  if (!saved || end.runCancelled) return EXIT_RUN_FAILED;
  return EXIT_RUN_COMPLETED;
}

}  // namespace kelvara
