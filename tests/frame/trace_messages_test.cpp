#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "frame/messages.h"
#include "frame/trace.h"
#include "host/config.h"
#include "host/state.h"
#include "host/ui.h"
#include "run/driver.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

namespace fs = std::filesystem;

class TraceTest : public ::testing::Test {
 protected:
  test::ScratchDir dir;
  const std::string log = dir.file("trace.txt");
  std::vector<std::string> console;
  void SetUp() override {
    resetHostState();
    resetTrace();
    if (std::getenv(TRACE_VARIABLE) != nullptr) GTEST_SKIP() << "TRV_COMPARE_LOG is set";
    setTraceFileName(log);
    setTraceConsole([this](const std::string& line) { console.push_back(line); });
  }
  void TearDown() override {
    resetTrace();
    setTraceFileName("");
    setTraceConsole(nullptr);
    resetHostState();
  }
};

// Two processes tracing into one log at once (two runs sharing a folder of settings): every
// line arrives whole, however long it is.
TEST_F(TraceTest, LinesOfTwoProcessesAtOnceNeverMix) {
  ASSERT_EQ(mdlSystem_defineCfgVar(TRACE_VARIABLE, "2"), SUCCESS);
  constexpr int kLines = 300;
  auto traceMany = [](char mark) {
    const std::string text = std::string(20000, mark) + "\n";
    for (int i = 0; i < kLines; ++i) traceText(text);
  };
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    traceMany('b');
    ::_exit(0);
  }
  traceMany('a');
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::ifstream in(log);
  std::map<char, int> whole;
  for (std::string line; std::getline(in, line);) {
    const size_t text = line.find(": ") + 2;
    const std::string body = line.substr(text);
    ASSERT_EQ(body, std::string(20000, body.empty() ? '?' : body[0])) << "a line was split";
    ++whole[body[0]];
  }
  EXPECT_EQ(whole['a'], kLines);
  EXPECT_EQ(whole['b'], kLines);
}

// Loaded anew (resetTrace), the level is read again: the level table below.
TEST_F(TraceTest, UndefinedMeansOffAndIsNotReadAgain) {
  trace("first %d\n", 1);
  EXPECT_EQ(traceLevel(), TRACE_OFF);
  ASSERT_EQ(mdlSystem_defineCfgVar(TRACE_VARIABLE, "2"), SUCCESS);
  trace("second\n");
  EXPECT_EQ(traceLevel(), TRACE_OFF);  // kept until the application is loaded anew
  EXPECT_FALSE(fs::exists(log));
  EXPECT_TRUE(console.empty());
}

// Level 2's lines in the file, each after its time stamp:
// EndToEnd.TraceLogAndAModelWithoutElements. A log that cannot be written loses the line quietly.
TEST_F(TraceTest, LevelOneGoesToTheConsoleOtherLevelsNowhere) {
  struct Case {
    const char* value;
    size_t consoleLines;
    bool file;
    const char* logName = "trace.txt";
  };
  const Case cases[] = {{"1", 1, false}, {"3", 0, false}, {"0", 0, false},
                        {"x", 0, false}, {" 2", 0, true}, {"2", 0, false, "no-such-dir/log.txt"}};
  for (const Case& c : cases) {
    console.clear();
    fs::remove(log);
    resetTrace();
    setTraceFileName(dir.file(c.logName));
    ASSERT_EQ(mdlSystem_defineCfgVar(TRACE_VARIABLE, c.value), SUCCESS);
    trace("line\n");
    EXPECT_EQ(console.size(), c.consoleLines) << c.value;
    EXPECT_EQ(fs::exists(dir.file(c.logName)), c.file) << c.value;
  }
}

TEST(TraceTimestamp, DayMonthYearWithoutLeadingZerosAndTwoDigitMinutes) {
  const auto at = [](int day, int month, int hour, int minute) {
    std::tm t{};
    t.tm_mday = day, t.tm_mon = month - 1, t.tm_year = 2026 - 1900;
    t.tm_hour = hour, t.tm_min = minute;
    return t;
  };
  EXPECT_EQ(traceTimestamp(at(6, 12, 22, 5)), "6.12.2026 22:05");
  EXPECT_EQ(traceTimestamp(at(1, 1, 0, 0)), "1.1.2026 0:00");
}

// ---- Messages ------------------------------------------------------------------------------

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    runSession().unattended = false;
  }
  void TearDown() override {
    runSession().unattended = false;
    resetHostState();
  }
};

TEST_F(MessagesTest, ShownThroughThePortOrNotAtAllWhenUnattended) {
  ScopedScriptedUi ui;
  ui.script.answers = {ANSWER_CANCEL};
  EXPECT_EQ(showMessage(44, nullptr, true), ANSWER_CANCEL);
  EXPECT_EQ(showMessage(24, "%s and %d.dgn"), ANSWER_OK);
  EXPECT_EQ(showListMessage(MESSAGE_LIST, 999, nullptr, false), ERROR);
  ASSERT_EQ(ui.script.events.size(), 2u);
  EXPECT_EQ(ui.script.events[0].kind, UiEventKind::MessageBox);
  EXPECT_EQ(ui.script.events[0].text, messageText(44));
  EXPECT_EQ(ui.script.events[1].kind, UiEventKind::InfoBox);
  EXPECT_NE(ui.script.events[1].text.find("\"%s and %d.dgn\""), std::string::npos);

  runSession().unattended = true;
  EXPECT_EQ(showMessage(44, nullptr, true), ANSWER_OK);  // a confirmation counts as OK
  EXPECT_EQ(showMessage(24, "x.dgn"), ANSWER_OK);
  EXPECT_EQ(showMessage(999), ERROR);
  EXPECT_EQ(ui.script.events.size(), 2u);
}

TEST_F(MessagesTest, LongArgumentsAreCut) {
  const std::string text = messageText(24, std::string(5000, 'a').c_str());
  EXPECT_EQ(text.size(), MAX_MESSAGE_BYTES - 1);
}

}  // namespace
}  // namespace kelvara
