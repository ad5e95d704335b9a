// The web layer through plain HTTP: refusals, security headers and the documents it serves. An
// event's round trip, the page's files and the modal boxes: the browser tests drive them.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
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

// A server on a free port over one dialog with a toggle bound to s__sarnex; the host loop runs
// on a thread of its own, as in the application.
struct WebServerTest : ::testing::Test {
  int32_t flag = 0;
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
    DialogResource main;
    main.id = kDialog;
    main.title = "Kelvara";
    main.items = {makeItem(kToggle, ItemKind::Toggle, "Fence", "s__sarnex.FENCE")};
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
