// Timers and the event loop: order, cancel, re-arming, stop, pause and abort keys. (Long chains
// and interrupts: every end-to-end run, and EndToEnd.InterruptedRunClosesTheModelWithoutSummary.)
#include "host/timers.h"

#include <gtest/gtest.h>

#include <string>

#include "host/types.h"
#include "support/fresh_host.h"

namespace kelvara {
namespace {

struct Timers : test::FreshHost {
  // Arms a timer that appends `tag` to `log` when it runs.
  int arm(long ticks, std::string tag) {
    int id = 0;
    EXPECT_EQ(mdlSystem_setTimerFunction(&id, ticks, [this, tag] { log += tag; }), SUCCESS);
    return id;
  }
  std::string log;
};

TEST_F(Timers, RunByDueTickThenByArmingOrder) {
  arm(5, "e");
  arm(1, "b");
  arm(0, "a");
  arm(1, "c");
  arm(3, "d");
  arm(-4, "A");  // negative counts as now
  EXPECT_EQ(runEventLoop(), 6u);
  EXPECT_EQ(log, "aAbcde");
  EXPECT_EQ(mdlSystem_getTicks(), 5u) << "the clock jumps to the last due tick";
  EXPECT_EQ(armedTimerCount(), 0u);
}

TEST_F(Timers, CancelDisarmsOnceAndIdsAreDistinct) {
  const int a = arm(1, "a");
  const int b = arm(1, "b");
  const int c = arm(2, "c");
  EXPECT_GT(a, 0);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_TRUE(timerIsArmed(b));
  EXPECT_EQ(mdlSystem_cancelTimer(b), SUCCESS);
  EXPECT_FALSE(timerIsArmed(b));
  EXPECT_EQ(mdlSystem_cancelTimer(b), ERROR);
  EXPECT_EQ(mdlSystem_cancelTimer(12345), ERROR);
  EXPECT_EQ(runEventLoop(), 2u);
  EXPECT_EQ(log, "ac");
  EXPECT_EQ(mdlSystem_cancelTimer(a), ERROR) << "a timer that ran is no longer armed";
}

TEST_F(Timers, CallbackCanCancelAnotherAndRearm) {
  int later = arm(2, "x");
  int rounds = 0;
  std::function<void()> tick = [&] {
    log += "t";
    if (++rounds == 1) {
      EXPECT_EQ(mdlSystem_cancelTimer(later), SUCCESS);
    }
    if (rounds < 3) {
      EXPECT_EQ(mdlSystem_setTimerFunction(nullptr, 1, tick), SUCCESS);
    }
  };
  ASSERT_EQ(mdlSystem_setTimerFunction(nullptr, 1, tick), SUCCESS);
  EXPECT_EQ(runEventLoop(), 3u);
  EXPECT_EQ(log, "ttt");
}

TEST_F(Timers, RefusesAnEmptyCallback) {
  int id = -1;
  EXPECT_EQ(mdlSystem_setTimerFunction(&id, 1, TimerCallback()), ERROR);
  EXPECT_EQ(armedTimerCount(), 0u);
}

TEST_F(Timers, StopRequestEndsTheLoopAndIsCleared) {
  std::function<void()> forever = [&] {
    log += "f";
    if (log.size() == 3) requestEventLoopStop();
    (void)mdlSystem_setTimerFunction(nullptr, 1, forever);
  };
  ASSERT_EQ(mdlSystem_setTimerFunction(nullptr, 1, forever), SUCCESS);
  EXPECT_EQ(runEventLoop(), 3u);
  EXPECT_EQ(armedTimerCount(), 1u) << "the re-armed timer stays armed";
  // The stop applied once: the loop runs again.
  requestEventLoopStop();
  EXPECT_EQ(runEventLoop(), 0u);
  log.clear();
  EXPECT_EQ(runEventLoop(), 3u);
}

TEST_F(Timers, PauseAdvancesTheClockWithoutRunningTimers) {
  arm(10, "a");
  mdlSystem_pauseTicks(20);
  EXPECT_EQ(log, "");
  EXPECT_EQ(mdlSystem_getTicks(), 20u);
  arm(1, "b");
  EXPECT_EQ(runEventLoop(), 2u);
  EXPECT_EQ(log, "ab") << "an overdue timer runs first";
}

TEST_F(Timers, AbortKeysAreHandedOutInOrder) {
  EXPECT_EQ(mdlSystem_checkExtendedAbort(4, 10), 0);
  EXPECT_EQ(mdlSystem_getChar(), -1);
  pushKey('x');
  pushKey(27);
  EXPECT_NE(mdlSystem_checkExtendedAbort(4, 10), 0);
  EXPECT_EQ(mdlSystem_getChar(), 'x');
  EXPECT_EQ(mdlSystem_getChar(), 27);
  EXPECT_EQ(mdlSystem_checkExtendedAbort(4, 10), 0);
}

}  // namespace
}  // namespace kelvara
