#include "host/parse_error.h"

#include "host/ui.h"

namespace kelvara {

namespace {
ParseErrorSink g_sink = nullptr;
}  // namespace

void showParseError(const ParseError& error) {
  if (error.alert) {
    (void)mdlDialog_openAlert(error.text);
  } else {
    (void)mdlDialog_openInfoBox(error.text);
  }
}

ParseErrorSink setParseErrorSink(ParseErrorSink sink) {
  const ParseErrorSink previous = g_sink;
  g_sink = sink;
  return previous;
}

void reportParseError(const ParseError& error) {
  (g_sink ? g_sink : &showParseError)(error);
}

}  // namespace kelvara
