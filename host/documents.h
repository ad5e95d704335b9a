// Documents the application lets the user's page show, and its requests to show one.
//
// The page may read a file only when the application has allowed it here (its own reports,
// written in this session). Each allowed file gets a number; the web layer serves it under that
// number and refuses every other one. A show request asks the page to open an allowed document
// in a window of its own: the requests are counted, and the page opens the last one when the
// count has grown since it last looked.
//
// The registry is guarded by a mutex: the web layer's handler threads read it while the host
// thread adds to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvara {

// Allows the page to show the file at `path` (an absolute path); its number, the same number
// for a path allowed before. 0 for an empty path.
int allowDocument(std::string_view path);

// The file allowed under `number`; "" when none is.
std::string allowedDocument(int number);

// True when `path` has been allowed.
bool documentAllowed(std::string_view path);

// Asks the page to show the allowed document `number` in a window of its own.
void requestShowDocument(int number);

struct ShowRequest {
  uint64_t serial = 0;  // how many requests were made; 0: none yet
  int number = 0;       // the document of the last request
};
ShowRequest lastShowRequest();

// Forgets every allowed document and request.
void resetDocuments();

}  // namespace kelvara
