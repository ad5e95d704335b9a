// The compare stepper: slicing on the event loop, completion, cancel by key and by interrupt,
// and the progress texts, estimate and bar rules.
#include "run/stepper.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/state.h"
#include "host/timers.h"
#include "host/ui.h"

namespace kelvara {
namespace {

struct ProgressCase {
  uint32_t processed, total;
  int64_t elapsed;
  const char* text;
};

TEST(StepperTexts, ProgressAndEstimate) {
  const ProgressCase cases[] = {
      {10, 100, 5, "10/100      "},                           // no estimate in 5 seconds
      {10, 100, 6, "10/100        54 seconds remaining."},    // 90 * 6 / 10
      {3, 5, 6, "3/5      "},                                 // exactly 4 seconds: none
      {99, 100, 60, "99/100      "},                          // 0.6 seconds left
      {10, 100, 10, "10/100        1.5 minutes remaining."},  // 90 seconds
      {50, 100, 60, "50/100        1.0 minutes remaining."},  // exactly 60 seconds
      {1, 100, 61, "1/100        1.7 hours remaining."},      // 6039 seconds
      {1, 1000000, 10, "1/1000000      "},                    // 2777 hours: none
      {0, 100, 100, "0/100      "},                           // nothing processed yet
  };
  for (const ProgressCase& c : cases) {
    EXPECT_EQ(progressWithEstimate(c.processed, c.total, c.elapsed), c.text)
        << c.processed << "/" << c.total << " after " << c.elapsed;
  }
  EXPECT_EQ(progressText(7, 9), "7/9      ");
}

TEST(StepperTexts, PercentAndRedrawRule) {
  EXPECT_EQ(progressPercent(0, 0), 100);
  EXPECT_EQ(progressPercent(1, 3), 33);
  EXPECT_EQ(progressPercent(3, 3), 100);
  EXPECT_EQ(progressPercent(4000000000u, 4294967295u), 93);  // no 32-bit overflow
  struct {
    int percent, last;
    bool force, draw;
  } cases[] = {
      {50, 49, false, false}, {50, 51, false, false}, {50, 48, false, true},
      {50, 49, true, true},   {0, 1, false, true},    {100, 99, false, true},
      {-7, 1, false, true},   {150, 99, false, true}, {2, 0, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(barNeedsDrawing(c.percent, c.last, c.force), c.draw)
        << c.percent << " after " << c.last << (c.force ? " forced" : "");
  }
}

// A pass of `length` steps that counts the calls and what the stepper hands back.
struct FakePass {
  uint32_t steps = 0;
  uint32_t length = 0;
  uint32_t interruptAt = 0;  // raise the interrupt at this step (0: never)
  int completions = 0;
  int lastCode = 0;
  int cancels = 0;

  StepperClient client() {
    StepperClient c;
    c.step = [this] {
      ++steps;
      if (interruptAt != 0 && steps == interruptAt) raiseInterrupt();
      return steps > length ? STEP_ENDED : STEP_GO_ON;
    };
    c.processed = [this] { return steps > length ? length : steps; };
    c.total = [this] { return length; };
    c.completion = [this](int code) {
      ++completions;
      lastCode = code;
    };
    c.cancelRun = [this] { ++cancels; };
    return c;
  }
};

class StepperRun : public ::testing::Test {
 protected:
  void SetUp() override {
    resetHostState();
    scripted.emplace();
    setStepperClock([]() -> int64_t { return 1000; });
  }
  void TearDown() override {
    setStepperClock(nullptr);
    scripted.reset();
    resetHostState();
  }
  std::optional<ScopedScriptedUi> scripted;
  ScriptedUi& ui() { return scripted->script; }
};

TEST_F(StepperRun, SlicesOf256StepsUntilTheEnd) {
  FakePass pass;
  pass.length = 1000;
  startStepper(pass.client(), CANCEL_QUESTION);
  EXPECT_EQ(pass.steps, 1u);  // the first step runs at once
  EXPECT_TRUE(stepperTimerArmed());
  const size_t ticks = runEventLoop();
  EXPECT_EQ(ticks, 4u);  // 1000 more steps and the ending one, 256 per tick
  EXPECT_EQ(pass.steps, 1001u);
  EXPECT_EQ(pass.completions, 1);
  EXPECT_EQ(pass.lastCode, STEP_ENDED);
  EXPECT_FALSE(progressIsOpen());
  const auto opened = ui().texts(UiEventKind::ProgressOpen);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], COMPARE_PROGRESS_TITLE);
  const auto labels = ui().texts(UiEventKind::ProgressUpdate);
  ASSERT_FALSE(labels.empty());
  EXPECT_EQ(labels.front(), "1/1000");
  EXPECT_EQ(labels.back(), "769/1000      ");  // drawn after the third slice
}

TEST_F(StepperRun, FirstStepEndingNeverOpensTheProgress) {
  FakePass pass;
  pass.length = 0;
  startStepper(pass.client(), CANCEL_QUESTION);
  EXPECT_EQ(pass.completions, 1);
  EXPECT_EQ(pass.lastCode, STEP_ENDED);
  EXPECT_FALSE(stepperTimerArmed());
  EXPECT_TRUE(ui().texts(UiEventKind::ProgressOpen).empty());
}

// An abort key or an interrupt asks the question once; the answer cancels the run (between
// slices: the slice that saw the interrupt runs to its end) or lets every step run once.
TEST_F(StepperRun, AbortKeysAndInterruptsAskTheQuestion) {
  struct Case {
    const char* name;
    uint32_t length;
    std::vector<int> keys;
    uint32_t interruptAt;
    int answer;
    bool cancelled;
    uint32_t steps;  // 0: fewer than the pass's length
  };
  const std::vector<Case> cases = {
      {"x", 5000, {'x'}, 0, ANSWER_OK, true, 0},
      {"X", 5000, {'X'}, 0, ANSWER_OK, true, 0},
      {"Escape", 5000, {27}, 0, ANSWER_OK, true, 0},
      {"other keys are ignored, declining goes on",
       3000,
       {'a', 'x'},
       0,
       ANSWER_CANCEL,
       false,
       3001},
      {"interrupt cancels between slices", 100000, {}, 300, ANSWER_OK, true, 513},
      {"interrupt declined resumes", 2000, {}, 10, ANSWER_CANCEL, false, 2001},
  };
  for (const Case& c : cases) {
    ui().events.clear();
    FakePass pass;
    pass.length = c.length;
    pass.interruptAt = c.interruptAt;
    ui().answers.push_back(c.answer);
    startStepper(pass.client(), CANCEL_QUESTION);
    for (const int key : c.keys) pushKey(key);
    (void)runEventLoop();
    EXPECT_EQ(pass.cancels, c.cancelled ? 1 : 0) << c.name;
    EXPECT_EQ(pass.completions, c.cancelled ? 0 : 1) << c.name;
    if (c.steps == 0) {
      EXPECT_LT(pass.steps, c.length) << c.name;
    } else {
      EXPECT_EQ(pass.steps, c.steps) << c.name;
    }
    EXPECT_EQ(ui().texts(UiEventKind::Alert),
              std::vector<std::string>{"Are you sure you wish to stop processing?"})
        << c.name;
    EXPECT_FALSE(progressIsOpen()) << c.name;
    EXPECT_EQ(armedTimerCount(), 0u) << c.name;
  }
}

}  // namespace
}  // namespace kelvara
