// The HTTP server: checks, routes, the state published by the host thread, event streams.
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "host/design.h"
#include "host/documents.h"
#include "host/drawing.h"
#include "host/host_loop.h"
#include "host/view_display.h"
#include "web/drawing.h"
#include "web/page_assets.h"
#include "web/state_json.h"
#include "web/web.h"

namespace kelvara {

namespace {

constexpr int kHttpThreads = 16;  // the event streams and a few requests beside them
constexpr auto kStreamKeepAlive = std::chrono::seconds(15);  // a comment line on idle streams
constexpr time_t kIoTimeoutSeconds = 5;
constexpr int kDrawingTimeoutSeconds = 30;  // a drawing of millions of elements takes a while

// A POST waiting for the state its event leaves.
struct Reply {
  std::mutex mutex;
  std::condition_variable ready;
  bool done = false;
  EventResult result = EventResult::Done;
  std::string state = "null";
};

std::string randomToken() {
  std::random_device device;
  std::string token;
  static const char* hex = "0123456789abcdef";
  for (int i = 0; i < 4; ++i) {
    uint32_t word = device();
    for (int n = 0; n < 8; ++n, word >>= 4) token += hex[word & 15];
  }
  return token;
}

const char* resultName(EventResult result) {
  switch (result) {
    case EventResult::Done:
      return "done";
    case EventResult::Refused:
      return "refused";
    case EventResult::UnknownDialog:
      return "unknown dialog";
    case EventResult::UnknownItem:
      return "unknown item";
    case EventResult::BadValue:
      return "bad value";
  }
  return "";
}

}  // namespace

struct WebServer {
  WebServerOptions options;
  httplib::Server http;
  std::thread thread;
  int port = 0;
  std::string prefix;  // "/TOKEN/"

  // The state last published by the host thread, its version, the same state as sent (with
  // its version, so that the page can drop an older state arriving after a newer one over
  // another connection), and the open streams.
  std::mutex mutex;
  std::condition_variable changed;
  std::string state;
  uint64_t version = 0;
  std::string sent;
  bool stopping = false;
  std::atomic<bool> stopRequested{false};  // read by waiting handler threads
  int streams = 0;

  // Host thread only: POSTs whose events ran, waiting for the next publication.
  std::vector<std::shared_ptr<Reply>> replies;
};

namespace {

// A state object with its version as its first member.
std::string withVersion(const std::string& state, uint64_t version) {
  return "{\"version\":" + std::to_string(version) + "," + state.substr(1);
}

// Host thread: takes the state now; wakes streams when it changed and answers waiting POSTs.
void publish(WebServer& server) {
  std::string now = webStateJson();
  {
    std::lock_guard lock(server.mutex);
    if (now != server.state) {
      server.state = std::move(now);
      ++server.version;
      server.sent = withVersion(server.state, server.version);
    }
    now = server.sent;
  }
  server.changed.notify_all();
  for (const auto& reply : server.replies) {
    {
      std::lock_guard lock(reply->mutex);
      reply->state = now;
      reply->done = true;
    }
    reply->ready.notify_all();
  }
  server.replies.clear();
}

bool hostAllowed(const WebServer& server, const std::string& host) {
  const std::string port = ":" + std::to_string(server.port);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

bool originAllowed(const WebServer& server, const std::string& origin) {
  const std::string port = ":" + std::to_string(server.port);
  return origin == "http://127.0.0.1" + port || origin == "http://localhost" + port;
}

void plain(httplib::Response& res, int status, const char* text) {
  res.status = status;
  res.set_content(text, "text/plain; charset=utf-8");
}

// Waits until the host thread has answered (true), the time limit has passed or the server
// stops (false).
bool waitForReply(WebServer& server, Reply& reply, int seconds = kIoTimeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::unique_lock lock(reply.mutex);
  while (!reply.done) {
    if (std::chrono::steady_clock::now() >= deadline || server.stopRequested) return false;
    reply.ready.wait_for(lock, std::chrono::milliseconds(50));
  }
  return true;
}

// The state as the host thread has it once the tasks posted before are done; the state last
// published when the host thread does not answer in time.
std::string currentState(WebServer& server) {
  auto reply = std::make_shared<Reply>();
  WebServer* s = &server;
  postHostTask([s, reply] { s->replies.push_back(reply); });
  if (waitForReply(server, *reply) && reply->state != "null") return reply->state;
  std::lock_guard stateLock(server.mutex);
  return server.sent;
}

void handleEvent(WebServer& server, const httplib::Request& req, httplib::Response& res) {
  DialogEvent event;
  if (!parseDialogEvent(req.body, &event)) return plain(res, 400, "malformed event\n");
  auto reply = std::make_shared<Reply>();
  WebServer* s = &server;
  postHostTask([s, reply, event] {
    // Registered first: a modal box the event opens publishes (and answers this) while the
    // event's hook still waits for it.
    s->replies.push_back(reply);
    const EventResult result = dialogs_handleEvent(event);
    std::lock_guard lock(reply->mutex);
    if (!reply->done) reply->result = result;
  });
  if (!waitForReply(server, *reply)) return plain(res, 503, "the application is busy\n");
  std::lock_guard lock(reply->mutex);
  const EventResult result = reply->result;
  if (result != EventResult::Done && result != EventResult::Refused) {
    res.status = 400;
  }
  res.set_content(
      std::string("{\"result\":\"") + resultName(result) + "\",\"state\":" + reply->state + "}",
      "application/json");
}

// A view request (pan, zoom, identify) runs on the host thread and is answered as an event is.
void handleView(WebServer& server, const httplib::Request& req, httplib::Response& res) {
  auto reply = std::make_shared<Reply>();
  WebServer* s = &server;
  postHostTask([s, reply, body = req.body] {
    s->replies.push_back(reply);
    const bool applied = applyViewRequest(body);
    std::lock_guard lock(reply->mutex);
    reply->result = applied ? EventResult::Done : EventResult::BadValue;
  });
  if (!waitForReply(server, *reply)) return plain(res, 503, "the application is busy\n");
  std::lock_guard lock(reply->mutex);
  if (reply->result != EventResult::Done) res.status = 400;
  res.set_content(std::string("{\"result\":\"") + resultName(reply->result) +
                      "\",\"state\":" + reply->state + "}",
                  "application/json");
}

// A binary body made on the host thread: the active model's drawing or its selected elements.
void handleHostBinary(WebServer& server, httplib::Response& res,
                      std::function<std::string()> make) {
  auto reply = std::make_shared<Reply>();
  postHostTask([reply, make = std::move(make)] {
    std::string body = make();
    {
      std::lock_guard lock(reply->mutex);
      reply->state = std::move(body);
      reply->done = true;
    }
    reply->ready.notify_all();
  });
  if (!waitForReply(server, *reply, kDrawingTimeoutSeconds)) {
    return plain(res, 503, "the application is busy\n");
  }
  std::lock_guard lock(reply->mutex);
  res.set_content(reply->state, "application/octet-stream");
}

void handleStream(WebServer& server, httplib::Response& res) {
  {
    std::lock_guard lock(server.mutex);
    if (server.streams >= server.options.maxEventStreams) {
      return plain(res, 503, "too many event streams\n");
    }
    ++server.streams;
  }
  WebServer* s = &server;
  auto sent = std::make_shared<uint64_t>(0);
  res.set_chunked_content_provider(
      "text/event-stream",
      [s, sent](size_t, httplib::DataSink& sink) {
        std::unique_lock lock(s->mutex);
        s->changed.wait_for(lock, kStreamKeepAlive,
                            [&] { return s->stopping || s->version != *sent; });
        if (s->stopping) return false;
        std::string chunk = ":\n\n";
        if (s->version != *sent) {
          *sent = s->version;
          chunk = "event: changed\ndata: " + s->sent + "\n\n";
        }
        lock.unlock();
        return sink.write(chunk.data(), chunk.size());
      },
      [s](bool) {
        std::lock_guard lock(s->mutex);
        --s->streams;
      });
}

void servePage(WebServer& server, const httplib::Request& req, httplib::Response& res) {
  std::string name = req.path.substr(server.prefix.size());
  if (name.empty()) name = "index.html";
  const PageAsset* asset = findPageAsset(name);
  if (asset == nullptr) return plain(res, 404, "not found\n");
  res.set_content(reinterpret_cast<const char*>(asset->data), asset->size, asset->mimeType);
}

// An allowed document (host/documents.h) as plain text; 404 for any other number and for a
// document that no longer exists.
void serveDocument(const httplib::Request& req, httplib::Response& res) {
  const std::string number = req.matches.size() > 1 ? req.matches[1].str() : "";
  const std::string path = number.size() > 9 ? "" : allowedDocument(std::atoi(number.c_str()));
  std::error_code error;
  if (path.empty() || !std::filesystem::is_regular_file(path, error)) {
    return plain(res, 404, "not found\n");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return plain(res, 404, "not found\n");
  std::ostringstream text;
  text << in.rdbuf();
  res.set_content(text.str(), "text/plain; charset=utf-8");
}

// The help text as a page: preformatted, escaped.
std::string helpPage(const std::string& text) {
  std::string page =
      "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<title>Kelvara help</title></head><body><pre>";
  for (const char c : text) {
    switch (c) {
      case '<':
        page += "&lt;";
        break;
      case '>':
        page += "&gt;";
        break;
      case '&':
        page += "&amp;";
        break;
      default:
        page += c;
    }
  }
  return page + "</pre></body></html>\n";
}

void setUpRoutes(WebServer& server) {
  httplib::Server& http = server.http;
  http.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
  // Only SO_REUSEADDR: the library's default also sets SO_REUSEPORT, which would let a
  // second server share the port instead of failing to bind it.
  http.set_socket_options([](socket_t sock) {
    int yes = 1;
    (void)setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  http.set_tcp_nodelay(true);  // small answers go out at once, not after a delayed ACK
  http.set_keep_alive_timeout(1);
  http.set_read_timeout(kIoTimeoutSeconds);
  http.set_write_timeout(kIoTimeoutSeconds);
  http.set_payload_max_length(server.options.maxPayload);
  http.set_default_headers({{"Content-Security-Policy", "default-src 'self'"},
                            {"X-Content-Type-Options", "nosniff"},
                            {"Referrer-Policy", "no-referrer"},
                            {"Cache-Control", "no-store"}});
  WebServer* s = &server;
  http.set_pre_routing_handler([s](const httplib::Request& req, httplib::Response& res) {
    using R = httplib::Server::HandlerResponse;
    if (!hostAllowed(*s, req.get_header_value("Host"))) {
      plain(res, 403, "forbidden host\n");
      return R::Handled;
    }
    if (req.has_header("Origin") && !originAllowed(*s, req.get_header_value("Origin"))) {
      plain(res, 403, "forbidden origin\n");
      return R::Handled;
    }
    if (req.path.compare(0, s->prefix.size(), s->prefix) != 0) {
      plain(res, 404, "not found\n");
      return R::Handled;
    }
    return R::Unhandled;
  });
  const std::string api = s->prefix + "api/";
  http.Get(api + "state", [s](const httplib::Request&, httplib::Response& res) {
    res.set_content(currentState(*s), "application/json");
  });
  http.Post(api + "event", [s](const httplib::Request& req, httplib::Response& res) {
    handleEvent(*s, req, res);
  });
  http.Get(api + "drawing", [s](const httplib::Request& req, httplib::Response& res) {
    handleHostBinary(*s, res,
                     [since = req.get_param_value("since"), edits = req.get_param_value("edits")] {
                       return drawingAnswer(since, edits);
                     });
  });
  http.Get(api + "selection", [s](const httplib::Request&, httplib::Response& res) {
    handleHostBinary(*s, res, encodeSelection);
  });
  http.Post(api + "view",
            [s](const httplib::Request& req, httplib::Response& res) { handleView(*s, req, res); });
  http.Get(api + "events",
           [s](const httplib::Request&, httplib::Response& res) { handleStream(*s, res); });
  http.Get(s->prefix + R"(reports/(\d+))", serveDocument);
  http.Get(s->prefix + "help", [s](const httplib::Request&, httplib::Response& res) {
    if (s->options.helpText.empty()) return plain(res, 404, "not found\n");
    res.set_content(helpPage(s->options.helpText), "text/html; charset=utf-8");
  });
  // The page, registered last: everything else under the token.
  http.Get(".*",
           [s](const httplib::Request& req, httplib::Response& res) { servePage(*s, req, res); });
}

}  // namespace

void WebServerDeleter::operator()(WebServer* server) const {
  if (server == nullptr) return;
  stopWebServer(*server);
  delete server;
}

WebServerHandle startWebServer(const WebServerOptions& options, std::string* error) {
  WebServerHandle server(new WebServer);
  server->options = options;
  if (server->options.token.empty()) server->options.token = randomToken();
  server->prefix = "/" + server->options.token + "/";
  setUpRoutes(*server);
  if (options.port == 0) {
    server->port = server->http.bind_to_any_port("127.0.0.1");
  } else if (server->http.bind_to_port("127.0.0.1", options.port)) {
    server->port = options.port;
  } else {
    server->port = -1;
  }
  if (server->port <= 0) {
    if (error) *error = "cannot listen on 127.0.0.1 port " + std::to_string(options.port);
    return nullptr;
  }
  WebServer* s = server.get();
  s->state = webStateJson();
  s->sent = withVersion(s->state, s->version);
  setHostTurnHook([s] { publish(*s); });
  s->thread = std::thread([s] { (void)s->http.listen_after_bind(); });
  return server;
}

int webServerPort(const WebServer& server) {
  return server.port;
}

std::string webServerUrl(const WebServer& server) {
  return "http://127.0.0.1:" + std::to_string(server.port) + server.prefix;
}

void publishWebState(WebServer& server) {
  publish(server);
}

const std::string& webServerToken(const WebServer& server) {
  return server.options.token;
}

void stopWebServer(WebServer& server) {
  {
    std::lock_guard lock(server.mutex);
    if (server.stopping) return;
  }
  publish(server);  // the last state goes out, to the streams and the waiting POSTs
  {
    std::lock_guard lock(server.mutex);
    server.stopping = true;
  }
  server.stopRequested = true;
  setHostTurnHook(nullptr);
  server.changed.notify_all();
  for (const auto& reply : server.replies) {
    {
      std::lock_guard lock(reply->mutex);
      reply->done = true;
    }
    reply->ready.notify_all();
  }
  server.replies.clear();
  server.http.stop();
  if (server.thread.joinable()) server.thread.join();
}

}  // namespace kelvara
