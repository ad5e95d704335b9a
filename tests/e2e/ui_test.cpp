// `kelvara --ui` driven through its HTTP interface: the ends a signal brings, the browser it
// opens, and a port in use. The main dialog, a run and closing are walked through in the browser
// (main_dialog.test.mjs, run.test.mjs, settings_menu.test.mjs).
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <thread>

#include "e2e/harness.h"
#include "support/dgn_builder.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::DesignBuilder;

constexpr int kMain = 200002;
constexpr int kStart = 200006;

// A running `kelvara --ui --no-browser ARG...` in a scratch folder: its first stdout line and
// its exit status once it ends; killed if it still runs at the end of the test.
struct UiProcess {
  StartedRun run;
  std::string firstLine;

  // With `browserPath`: no --no-browser, and PATH is that folder (where xdg-open is looked up).
  UiProcess(const Scratch& scratch, const std::vector<std::string>& args,
            const std::string& browserPath = "") {
    std::vector<std::string> all = {"--ui"};
    if (browserPath.empty()) all.push_back("--no-browser");
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::string> environment;
    if (!browserPath.empty()) environment.push_back("PATH=" + browserPath);
    run = startKelvara(scratch, all, environment);
    for (int i = 0; i < 1000 && run.pid > 0; ++i) {
      const std::string out = readFile(run.outPath);
      if (const size_t end = out.find('\n'); end != std::string::npos) {
        firstLine = out.substr(0, end);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~UiProcess() {
    if (run.pid > 0 && ::waitpid(run.pid, nullptr, WNOHANG) == 0) {
      ::kill(run.pid, SIGKILL);
      ::waitpid(run.pid, nullptr, 0);
    }
  }
  std::string err() const { return readFile(run.errPath); }
  // The exit status, waiting at most `seconds`; -1 when it has not ended by then.
  int exitStatus(int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
      int status = 0;
      if (::waitpid(run.pid, &status, WNOHANG) == run.pid) {
        run.pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
};

const json* findDialog(const json& state, int id) {
  for (const json& d : state["dialogs"])
    if (d["id"] == id) return &d;
  return nullptr;
}

const json* findItem(const json& dialog, int id) {
  for (const json& i : dialog["items"])
    if (i["id"] == id) return &i;
  return nullptr;
}

// The HTTP interface of a running `kelvara --ui`, as the page uses it.
struct UiApi {
  std::string port, prefix;
  httplib::Client http;

  explicit UiApi(const std::smatch& address)
      : port(address[1]), prefix(address[2]), http("127.0.0.1", std::stoi(port)) {
    http.set_read_timeout(10);
  }
  json state() {
    auto res = http.Get(prefix + "api/state");
    return res ? json::parse(res->body, nullptr, false) : json();
  }
  int post(const std::string& body) {
    auto res = http.Post(prefix + "api/event", body, "application/json");
    return res ? res->status : -1;
  }
  bool waitFor(const std::function<bool(const json&)>& seen) {
    for (int i = 0; i < 500; ++i) {
      const json now = state();
      if (!now.is_discarded() && now.contains("dialogs") && seen(now)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
};

bool parseAddress(const std::string& line, std::smatch* m) {
  return std::regex_match(line, *m, std::regex(R"(http://127\.0\.0\.1:(\d+)(/[0-9a-f]{32}/))"));
}

// Ctrl-C or SIGTERM end the program as closing the main dialog does: idle with status 0, during
// a run by cancelling it (status 1), leaving the drawing whole and no temporary files behind.
TEST(InteractiveApplication, CtrlCEndsCleanlyIdleAndDuringARun) {
  Scratch s("ui-signal");
  ASSERT_TRUE(manyLines(200000).write(s.path("big.dgn")));

  for (const int signal : {SIGINT, SIGTERM}) {
    UiProcess ui(s, {"big.dgn"});
    std::smatch m;
    ASSERT_TRUE(parseAddress(ui.firstLine, &m)) << ui.firstLine;
    UiApi api(m);
    ASSERT_TRUE(api.waitFor([](const json& now) { return findDialog(now, kMain) != nullptr; }));
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(ui.run.pid, signal), 0);
    EXPECT_EQ(ui.exitStatus(10), 0) << signal;
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3));
    EXPECT_EQ(ui.err(), "kelvara: interrupted: ended with nothing running\n");
  }
  std::set<std::string> filesBefore;
  for (const auto& e : fs::directory_iterator(s.dir)) filesBefore.insert(e.path().filename());

  UiProcess ui(s, {"big.dgn"});
  std::smatch m;
  ASSERT_TRUE(parseAddress(ui.firstLine, &m)) << ui.firstLine;
  UiApi api(m);
  // A run without review, interrupted while it goes.
  EXPECT_EQ(api.post(R"({"dialog":200002,"item":200069,"kind":"change","value":false})"), 200);
  EXPECT_EQ(api.post(R"({"dialog":200002,"item":200006,"kind":"button"})"), 200);
  ASSERT_TRUE(api.waitFor([](const json& now) {
    const json* d = findDialog(now, kMain);
    return d != nullptr && !(*findItem(*d, kStart))["enabled"].get<bool>();
  }));
  ASSERT_EQ(::kill(ui.run.pid, SIGINT), 0);
  EXPECT_EQ(ui.exitStatus(20), 1);
  EXPECT_EQ(ui.err(), "kelvara: interrupted: the running run was cancelled\n");
  // The drawing is whole: every element still listed, in either its old or its new state.
  EXPECT_EQ(dumpElements(s, s.path("big.dgn")).size(), 200001u);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(s.dir)) {
    const std::string name = e.path().filename().string();
    // (".stdout*" and ".stderr*" are the harness's captures of the processes' output)
    if (!filesBefore.count(name) && name.rfind(".std", 0) != 0) left.insert(name);
  }
  // New beside the drawing: only the backup and the two reports, closed; no temporary file.
  EXPECT_EQ(left, (std::set<std::string>{"big.bak", "big.drf", "kelvara.trf"}));
  EXPECT_TRUE(contains(readFile(s.path("kelvara.trf")), "Technical Note (Experts Only)"));
}

TEST(InteractiveApplication, OpensThePageWithXdgOpenAndGoesOnWithoutIt) {
  Scratch s("ui-browser");
  fs::create_directories(s.path("bin"));
  fs::create_directories(s.path("empty"));
  {
    std::ofstream script(s.path("bin/xdg-open"));
    script << "#!/bin/sh\necho \"$1\" > \"" << s.path("opened.txt") << "\"\n";
  }
  fs::permissions(s.path("bin/xdg-open"), fs::perms::owner_all);
  for (const std::string& path : {s.path("bin"), s.path("empty")}) {
    UiProcess ui(s, {}, path);
    std::smatch m;
    ASSERT_TRUE(parseAddress(ui.firstLine, &m)) << path << ": " << ui.firstLine;
    EXPECT_EQ(UiApi(m).post(R"({"dialog":200002,"kind":"close"})"), 200) << path;
    EXPECT_EQ(ui.exitStatus(10), 0) << path;
    if (path == s.path("bin")) {
      // xdg-open runs beside the program: wait for it to have written its argument.
      for (int i = 0; i < 500 && readFile(s.path("opened.txt")).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      EXPECT_EQ(readFile(s.path("opened.txt")), ui.firstLine + "\n");
    }
  }
}

TEST(InteractiveApplication, APortInUseIsAnErrorThatSaysSo) {
  Scratch s("ui-port");
  httplib::Server other;
  const int port = other.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  const RunResult r = runKelvara(s, {"--ui", "--no-browser", "--port", std::to_string(port)});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(contains(r.err, "cannot listen on 127.0.0.1 port " + std::to_string(port))) << r.err;
}

}  // namespace
}  // namespace kelvara::e2e
