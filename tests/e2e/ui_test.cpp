// `kelvara --ui`: the interactive application driven through its HTTP interface, as the page
// drives it, from start-up to the exit that closing the main dialog brings.
#include <fcntl.h>
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
#include <thread>

#include "e2e/harness.h"

namespace kelvara::e2e {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr int kMain = 200002;
constexpr int kStart = 200006;
constexpr int kReview = 200069;
constexpr int kBox = 100;

// A running `kelvara --ui --no-browser ARG...` in a scratch folder: its first stdout line,
// its exit status once it ends.
struct UiProcess {
  pid_t pid = -1;
  int out = -1;
  std::string firstLine;

  // `browser`: no --no-browser, and PATH is `path` (where xdg-open is looked up).
  UiProcess(const Scratch& scratch, const std::vector<std::string>& args, bool browser = false,
            const std::string& path = "") {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return;
    const char* bin = std::getenv("KELVARA_BIN");
    pid = ::fork();
    if (pid == 0) {
      if (::chdir(scratch.dir.c_str()) != 0) ::_exit(120);
      ::dup2(pipeFds[1], 1);
      ::close(pipeFds[0]);
      ::setenv("APPDATA", scratch.path("appdata").c_str(), 1);
      ::setenv("HOME", scratch.dir.c_str(), 1);
      if (browser) ::setenv("PATH", path.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(bin), const_cast<char*>("--ui")};
      if (!browser) argv.push_back(const_cast<char*>("--no-browser"));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(bin, argv.data());
      ::_exit(127);
    }
    ::close(pipeFds[1]);
    out = pipeFds[0];
    char c = 0;
    while (::read(out, &c, 1) == 1 && c != '\n') firstLine += c;
  }
  ~UiProcess() {
    if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    if (out >= 0) ::close(out);
  }
  // The exit status, waiting at most `seconds`; -1 when it has not ended by then.
  int exitStatus(int seconds) {
    for (int i = 0; i < seconds * 100; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }
};

const json* findDialog(const json& state, int id) {
  for (const json& d : state["dialogs"]) {
    if (d["id"] == id) return &d;
  }
  return nullptr;
}

const json* findItem(const json& dialog, int id) {
  for (const json& i : dialog["items"]) {
    if (i["id"] == id) return &i;
  }
  return nullptr;
}

TEST(InteractiveApplication, ServesTheMainDialogRunsTheActiveFileAndEndsWhenClosed) {
  Scratch s("ui");
  fs::copy_file(std::string(KELVARA_SOURCE_DIR) + "/examples/sample.dgn", s.path("sample.dgn"));
  UiProcess ui(s, {"sample.dgn"});
  std::smatch m;
  ASSERT_TRUE(
      std::regex_match(ui.firstLine, m, std::regex(R"(http://127\.0\.0\.1:(\d+)(/[0-9a-f]{32}/))")))
      << ui.firstLine;
  httplib::Client http("127.0.0.1", std::stoi(m[1]));
  http.set_read_timeout(10);
  const std::string prefix = m[2];
  auto state = [&] {
    auto res = http.Get(prefix + "api/state");
    return res ? json::parse(res->body, nullptr, false) : json();
  };
  auto post = [&](const std::string& body) {
    auto res = http.Post(prefix + "api/event", body, "application/json");
    return res ? res->status : -1;
  };
  auto waitFor = [&](const std::function<bool(const json&)>& seen) {
    for (int i = 0; i < 500; ++i) {
      const json now = state();
      if (!now.is_discarded() && now.contains("dialogs") && seen(now)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  };

  auto page = http.Get(prefix);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("app.js"), std::string::npos);

  const json first = state();
  const json* main = findDialog(first, kMain);
  ASSERT_NE(main, nullptr) << first.dump();
  EXPECT_EQ((*main)["title"], "Kelvara");
  EXPECT_EQ((*findItem(*main, 200017))["caption"], "Design file: sample.dgn");
  EXPECT_EQ(first["fields"]["status"], "Kelvara 10.0b");

  // A run without review over the active file: progress, the summary box, then Start again.
  EXPECT_EQ(post(R"({"dialog":200002,"item":200069,"kind":"change","value":false})"), 200);
  EXPECT_EQ((*findItem(*findDialog(state(), kMain), kReview))["value"], "0");
  EXPECT_EQ(post(R"({"dialog":200002,"item":200006,"kind":"button"})"), 200);
  std::string summary;
  ASSERT_TRUE(waitFor([&](const json& now) {
    const json* box = findDialog(now, kBox);
    if (box == nullptr) return false;
    summary = (*box)["items"][0]["caption"];
    return true;
  }));
  EXPECT_NE(summary.find("5 duplicate elements were found."), std::string::npos) << summary;
  EXPECT_EQ(post(R"({"dialog":100,"item":3,"kind":"button"})"), 200);
  EXPECT_TRUE(waitFor([&](const json& now) {
    const json* d = findDialog(now, kMain);
    return findDialog(now, kBox) == nullptr && d != nullptr && (*findItem(*d, kStart))["enabled"];
  }));
  EXPECT_TRUE(fs::exists(s.path("sample.bak")));
  EXPECT_TRUE(fs::exists(s.path("kelvara.trf")));

  // An open event stream does not hold the program up: it ends with the program.
  std::thread listener([&] {
    httplib::Client stream("127.0.0.1", std::stoi(m[1]));
    stream.set_read_timeout(20);
    stream.Get(prefix + "api/events", [](const char*, size_t) { return true; });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto closing = std::chrono::steady_clock::now();
  EXPECT_EQ(post(R"({"dialog":200002,"kind":"close"})"), 200);
  EXPECT_EQ(ui.exitStatus(10), 0);
  listener.join();
  EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(3));
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
    UiProcess ui(s, {}, true, path);
    ASSERT_EQ(ui.firstLine.rfind("http://127.0.0.1:", 0), 0u) << path;
    const std::string port = ui.firstLine.substr(17, ui.firstLine.find('/', 17) - 17);
    httplib::Client http("127.0.0.1", std::stoi(port));
    const std::string prefix = ui.firstLine.substr(ui.firstLine.find('/', 17));
    auto res =
        http.Post(prefix + "api/event", R"({"dialog":200002,"kind":"close"})", "application/json");
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(ui.exitStatus(10), 0) << path;
    if (path == s.path("bin")) {
      // xdg-open runs beside the program: wait for it to have written its argument.
      for (int i = 0; i < 500 && readFile(s.path("opened.txt")).empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
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
  EXPECT_NE(r.err.find("cannot listen on 127.0.0.1 port " + std::to_string(port)),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace kelvara::e2e
