// Where reported parse errors go: the installed sink, else the host's box for them.
#include "host/parse_error.h"

#include <gtest/gtest.h>

#include <vector>

#include "host/ui.h"
#include "support/parse_errors.h"

namespace kelvara {
namespace {

std::vector<ParseError> received;

TEST(ParseErrorTest, ReportedErrorsGoToTheSinkElseToTheirBox) {
  const ParseError note{1, "a note", "f.lst", 2};
  const ParseError alert{2, "an alert", "f.sel", 3, true};
  {
    ScopedScriptedUi ui;
    reportParseError(note);
    reportParseError(alert);
    EXPECT_EQ(ui.script.texts(UiEventKind::InfoBox), std::vector<std::string>{"a note"});
    EXPECT_EQ(ui.script.texts(UiEventKind::Alert), std::vector<std::string>{"an alert"});
  }
  ScopedScriptedUi ui;
  received.clear();
  EXPECT_EQ(setParseErrorSink([](const ParseError& e) { received.push_back(e); }), nullptr);
  reportParseError(note);
  reportParseError(alert);
  EXPECT_NE(setParseErrorSink(nullptr), nullptr);
  EXPECT_EQ(received, (std::vector<ParseError>{note, alert}));
  EXPECT_TRUE(ui.script.events.empty());
}

}  // namespace
}  // namespace kelvara
