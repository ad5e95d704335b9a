// The web layer of the interactive application: a local HTTP server that shows the host's
// dialogs in the user's browser.
//
// The server listens on 127.0.0.1 only, every route under a random 128-bit token
// (http://127.0.0.1:PORT/TOKEN/). It serves the page (embedded in the program), the state of
// the open dialogs and message fields as JSON (GET TOKEN/api/state, as the host thread has it
// after the events before), takes one user event at a
// time (POST TOKEN/api/event) and pushes every change of the state over Server-Sent Events
// (GET TOKEN/api/events, event "changed"), and the help text as a page of its own (GET
// TOKEN/help). Requests whose Host is not 127.0.0.1:PORT or
// localhost:PORT, or whose Origin is present and not the server's own, get 403; a wrong token
// 404; malformed events 400 without any change.
//
// HTTP handler threads never touch host or application state: they post tasks to the host
// thread (host/host_loop.h) and wait for the state the task leaves. The host thread runs the
// host loop; its turn hook (installed by startWebServer) publishes the new state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "host/ui.h"

namespace kelvara {

struct WebServerOptions {
  int port = 0;                   // 0: any free port
  std::string token;              // "": a random one (32 hex digits)
  size_t maxPayload = 64 * 1024;  // larger request bodies get 413
  int maxEventStreams = 8;        // open SSE streams at once; more get 503
  std::string helpText;           // the help page (TOKEN/help); "": none (404)
};

struct WebServer;  // the running server (web/server.cpp)

struct WebServerDeleter {
  void operator()(WebServer* server) const;  // stops the server first
};
using WebServerHandle = std::unique_ptr<WebServer, WebServerDeleter>;

// Binds 127.0.0.1 and starts serving on a thread of its own; installs the host turn hook that
// publishes the state. Call on the host thread. nullptr with *error set when the port cannot
// be bound.
WebServerHandle startWebServer(const WebServerOptions& options, std::string* error);

// The port bound and the page's address "http://127.0.0.1:PORT/TOKEN/".
int webServerPort(const WebServer& server);
std::string webServerUrl(const WebServer& server);
const std::string& webServerToken(const WebServer& server);

// Host thread: takes the state as it is now, pushes it to the event streams when it changed
// and answers the events waiting for it. The turn hook that startWebServer installs calls
// this; an application that installs its own turn hook calls it at the end of that hook.
void publishWebState(WebServer& server);

// Stops serving (open event streams end) and joins the server thread; removes the turn hook.
// Harmless when repeated.
void stopWebServer(WebServer& server);

// The user-interface port of the interactive application: message boxes, alerts and info
// boxes are modal dialogs of the dialog manager (the host loop runs nested until they are
// answered), the progress display is a dialog with a Cancel button that interrupts the run,
// and message fields are shown beside the dialogs.
UiPort webUi();

// The beeps the port has sounded so far (the page sounds the new ones).
uint64_t webBeepCount();

// Dialog ids of the boxes webUi opens.
inline constexpr int BOX_DIALOG_ID = 100;
inline constexpr int PROGRESS_DIALOG_ID = 101;

}  // namespace kelvara
