// The web layer through plain HTTP: refusals, security headers, and an event's round trip
// from the request to the bound field and back out as state and as a pushed change.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "host/dialogs.h"
#include "host/documents.h"
#include "host/host_loop.h"
#include "host/state.h"
#include "host/ui.h"
#include "support/scratch.h"
#include "web/web.h"

namespace kelvara {
namespace {

constexpr int kDialog = 200002;
constexpr int kToggle = 10;
constexpr int kAsk = 11;

// A server on a free port over one dialog with a toggle bound to s__sarnex and a button whose
// hook asks a question; the host loop runs on a thread of its own, as in the application.
struct WebServerTest : ::testing::Test {
  int32_t flag = 0;
  std::atomic<int> answer{0};  // written on the host thread
  WebServerHandle server;
  std::thread host;
  std::string prefix;

  void SetUp() override {
    resetHostState();
    resetHostLoop();
    resetDialogManager();
    (void)setUiPort(webUi());
    ASSERT_EQ(mdlDialog_publishComplexVariable("t_sarnex", "s__sarnex", {intField("FENCE", &flag)}),
              0);
    (void)mdlDialog_hookPublish(1, [this](DialogMessage& m) {
      if (m.type == DialogMessageType::Button && m.itemId == kAsk) {
        answer = mdlDialog_openMessageBox(MessageBoxButtons::YesNo, "Go on?");
      }
    });
    DialogResource main;
    main.id = kDialog;
    main.title = "Kelvara";
    main.hookId = 1;
    main.items = {makeItem(kToggle, ItemKind::Toggle, "Fence", "s__sarnex.FENCE"),
                  makeItem(kAsk, ItemKind::PushButton, "Ask")};
    defineDialogResource(main);
    ASSERT_NE(mdlDialog_open(kDialog), nullptr);
    std::string error;
    server = startWebServer({}, &error);
    ASSERT_TRUE(server) << error;
    prefix = "/" + webServerToken(*server) + "/";
    host = std::thread([] { runHostLoopUntil([] { return false; }); });
  }
  void TearDown() override {
    stopHostLoops();
    if (host.joinable()) host.join();
    server.reset();
    resetHostLoop();
    resetDialogManager();
    resetHostState();
  }

  httplib::Client client() {
    httplib::Client c("127.0.0.1", webServerPort(*server));
    c.set_read_timeout(5);
    return c;
  }
  httplib::Result post(const std::string& body, httplib::Headers headers = {}) {
    return client().Post(prefix + "api/event", headers, body, "application/json");
  }
  std::string state() {
    auto res = client().Get(prefix + "api/state");
    return res ? res->body : "";
  }
};

// The value the main dialog's toggle shows in a state text; "?" when it is not there.
std::string toggleShown(const std::string& stateText) {
  const auto j = nlohmann::json::parse(stateText, nullptr, false);
  if (j.is_discarded() || !j.contains("dialogs")) return "?";
  for (const auto& dialog : j["dialogs"]) {
    if (dialog.value("id", 0) != kDialog) continue;
    for (const auto& item : dialog["items"]) {
      if (item.value("id", 0) == kToggle) return item.value("value", "?");
    }
  }
  return "?";
}

// The version a state text carries (states sent over the answer to an event and over the event
// stream can arrive out of order; the page keeps the newest); -1 when it has none.
int64_t versionOf(const std::string& stateText) {
  const auto j = nlohmann::json::parse(stateText, nullptr, false);
  if (j.is_discarded() || !j.contains("version") || !j["version"].is_number_integer()) return -1;
  return j["version"].get<int64_t>();
}

TEST_F(WebServerTest, RefusesForeignHostsOriginsTokensAndBadEvents) {
  const std::string port = std::to_string(webServerPort(*server));
  const std::string before = state();
  ASSERT_EQ(toggleShown(before), "0") << before;
  struct Case {
    const char* what;
    std::string path;
    httplib::Headers headers;
    std::string body;  // "" : GET
    int status;
  };
  const std::string big(70 * 1024, ' ');
  const std::string stateApi = prefix + "api/state", event = prefix + "api/event";
  const std::string change = R"({"dialog":200002,"item":10,"kind":"change","value":)";
  // clang-format off
  const Case cases[] = {
      {"rebinding host", stateApi, {{"Host", "evil.example:" + port}}, "", 403},
      {"host without port", stateApi, {{"Host", "127.0.0.1"}}, "", 403},
      {"foreign origin", event, {{"Origin", "http://evil.example"}}, change + R"("1"})", 403},
      {"origin on another port", prefix, {{"Origin", "http://127.0.0.1:1"}}, "", 403},
      {"wrong token", "/0123456789abcdef0123456789abcdef/api/state", {}, "", 404},
      {"no token", "/", {}, "", 404},
      {"malformed json", event, {}, R"({"dialog":200002,"item":10,)", 400},
      {"wrong types", event, {}, R"({"dialog":"x","item":10,"kind":"change"})", 400},
      {"unknown kind", event, {}, R"({"dialog":200002,"item":10,"kind":"x"})", 400},
      {"bad value", event, {}, change + R"("7"})", 400},
      {"unknown dialog", event, {}, R"({"dialog":5,"item":10,"kind":"button"})", 400},
      {"oversize", event, {}, change + R"("1","pad":")" + big + "\"}", 413},
      {"own origin", stateApi, {{"Origin", "http://localhost:" + port}}, "", 200},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto res = c.body.empty() ? client().Get(c.path, c.headers)
                              : client().Post(c.path, c.headers, c.body, "application/json");
    ASSERT_TRUE(res) << c.what;
    EXPECT_EQ(res->status, c.status) << c.what;
    EXPECT_FALSE(res->has_header("Access-Control-Allow-Origin")) << c.what;
  }
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(state(), before);
}

TEST_F(WebServerTest, EveryResponseCarriesTheSecurityHeaders) {
  for (const std::string& path : {prefix, prefix + "api/state", std::string("/nope")}) {
    auto res = client().Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->get_header_value("Content-Security-Policy"), "default-src 'self'") << path;
    EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << path;
    EXPECT_EQ(res->get_header_value("Referrer-Policy"), "no-referrer") << path;
    EXPECT_EQ(res->get_header_value("Cache-Control"), "no-store") << path;
  }
  auto page = client().Get(prefix);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Type").find("text/html"), std::string::npos);
}

TEST_F(WebServerTest, ThePageIsServedFromTheProgramWithItsTypes) {
  struct Case {
    const char* file;
    const char* type;
    const char* contains;
  };
  for (const Case& c : {Case{"", "text/html", "src=\"app.js\""},
                        Case{"index.html", "text/html", "href=\"style.css\""},
                        Case{"app.js", "text/javascript", "api/events"},
                        Case{"dialogs.js", "text/javascript", "export function renderState"},
                        Case{"style.css", "text/css", ".dialog"}}) {
    auto res = client().Get(prefix + c.file);
    ASSERT_TRUE(res) << c.file;
    EXPECT_EQ(res->status, 200) << c.file;
    EXPECT_EQ(res->get_header_value("Content-Type").rfind(c.type, 0), 0u) << c.file;
    EXPECT_NE(res->body.find(c.contains), std::string::npos) << c.file;
  }
  auto missing = client().Get(prefix + "nothing.js");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

TEST_F(WebServerTest, AToggleChangeReachesTheBoundFieldTheStateAndTheEventStream) {
  const int64_t before = versionOf(state());
  ASSERT_GE(before, 0) << state();
  std::mutex mutex;
  std::string pushed;
  std::atomic<bool> done{false};
  std::thread listener([&] {
    httplib::Client c = client();
    c.Get(prefix + "api/events", [&](const char* data, size_t size) {
      std::lock_guard lock(mutex);
      pushed.append(data, size);
      return !done && pushed.find("\"value\":\"1\"") == std::string::npos;
    });
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the stream is open

  auto res = post(R"({"dialog":200002,"item":10,"kind":"change","value":true})");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200) << res->body;
  EXPECT_EQ(flag, 1);
  EXPECT_NE(res->body.find("\"result\":\"done\""), std::string::npos);
  EXPECT_EQ(toggleShown(state()), "1") << state();
  const auto answer = nlohmann::json::parse(res->body, nullptr, false);
  ASSERT_FALSE(answer.is_discarded()) << res->body;
  EXPECT_GT(versionOf(answer["state"].dump()), before) << res->body;
  EXPECT_EQ(versionOf(answer["state"].dump()), versionOf(state()));

  for (int i = 0; i < 50; ++i) {
    {
      std::lock_guard lock(mutex);
      if (pushed.find("\"value\":\"1\"") != std::string::npos) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  done = true;
  listener.join();
  // The last pushed change carries the new state.
  const size_t last = pushed.rfind("event: changed\ndata: ");
  ASSERT_NE(last, std::string::npos) << pushed;
  const size_t data = last + std::string("event: changed\ndata: ").size();
  const std::string lastState = pushed.substr(data, pushed.find('\n', data) - data);
  EXPECT_EQ(toggleShown(lastState), "1") << pushed;
  EXPECT_EQ(versionOf(lastState), versionOf(state())) << pushed;
}

TEST_F(WebServerTest, AModalBoxIsADialogThePageAnswersWhileTheHookWaits) {
  auto asked = post(R"({"dialog":200002,"item":11,"kind":"button"})");
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->status, 200);
  EXPECT_NE(asked->body.find("Go on?"), std::string::npos) << asked->body;
  EXPECT_EQ(answer.load(), 0);  // the hook still waits

  const std::string answerNo =
      R"({"dialog":)" + std::to_string(BOX_DIALOG_ID) + R"(,"item":7,"kind":"button"})";
  auto answered = post(answerNo);
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->status, 200);
  EXPECT_EQ(answered->body.find("Go on?"), std::string::npos) << answered->body;
  // The box's answer reaches the page first; the hook stores it on the host thread after.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (answer.load() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(answer.load(), ANSWER_NO);
}

TEST_F(WebServerTest, OnlyDocumentsTheApplicationAllowedAreServedAsText) {
  resetDocuments();
  test::ScratchDir dir;
  for (const char* name : {"plan.trf", "gone.trf", "other.trf"}) {
    std::ofstream(dir.file(name)) << "Kelvara report of " << name << "\n";
  }
  const std::string removed = std::to_string(allowDocument(dir.file("gone.trf")));
  const std::string shown = std::to_string(allowDocument(dir.file("plan.trf")));
  std::filesystem::remove(dir.file("gone.trf"));
  struct Case {
    std::string path;
    int status;
  };
  const Case cases[] = {
      {"reports/" + shown, 200},
      {"reports/" + removed, 404},
      {"reports/0", 404},
      {"reports/3", 404},
      {"reports/-1", 404},
      {"reports/99999999999", 404},
      {"reports/" + shown + "/x", 404},
      {"reports/other.trf", 404},
      {"reports/" + dir.file("other.trf"), 404},
      {"reports/..%2F..%2F" + dir.file("other.trf").substr(1), 404},
  };
  for (const Case& c : cases) {
    auto res = client().Get(prefix + c.path);
    ASSERT_TRUE(res) << c.path;
    EXPECT_EQ(res->status, c.status) << c.path;
    EXPECT_EQ(res->body.find("other.trf"), std::string::npos) << c.path;
    if (c.status == 200) {
      EXPECT_EQ(res->get_header_value("Content-Type").rfind("text/plain", 0), 0u);
      EXPECT_EQ(res->body, "Kelvara report of plan.trf\n");
    }
  }
  resetDocuments();
}

}  // namespace
}  // namespace kelvara
