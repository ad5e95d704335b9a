// Problems that the readers of a user's files and texts find (comparison lists, selection
// files, the texts of selection sets). A reader fills a ParseError and hands it back; it never
// shows it. Its caller decides how: the frame shows it in the host's box for it, which an
// unattended run prints on stderr.
//
// Readers that a run reaches with no caller of the frame in between (the selection file that
// the engine's set-up loads, the coordinate ranges tested while elements are loaded) hand their
// errors to reportParseError, which passes them to the installed sink.
#pragma once

#include <string>

namespace kelvara {

struct ParseError {
  int code = 0;        // the reader's code (listed in its header); 0: no error
  std::string text;    // the message as the user reads it
  std::string file;    // the file being read; "" when the text did not come from a file
  int line = 0;        // 1-based line of `file` the problem is on; 0 when not on one line
  bool alert = false;  // asks to be acknowledged (an alert), not only noted (an information box)
  bool operator==(const ParseError&) const = default;
};

// Shows the error in the host's box for it: an alert or an information box.
void showParseError(const ParseError& error);

using ParseErrorSink = void (*)(const ParseError& error);

// Installs the sink of reportParseError; nullptr restores the default, showParseError.
// Returns the sink that was installed.
ParseErrorSink setParseErrorSink(ParseErrorSink sink);

// Passes the error to the installed sink.
void reportParseError(const ParseError& error);

}  // namespace kelvara
