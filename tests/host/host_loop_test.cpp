// The interactive host loop: tasks from other threads, timers between them, nested loops.
#include "host/host_loop.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/state.h"
#include "host/timers.h"

namespace kelvara {
namespace {

struct HostLoopTest : ::testing::Test {
  void SetUp() override {
    resetHostState();
    resetHostLoop();
  }
  void TearDown() override {
    resetHostLoop();
    resetHostState();
  }
};

TEST_F(HostLoopTest, TasksFromAnotherThreadRunOnTheLoopThreadInOrder) {
  std::vector<int> ran;
  const auto loopThread = std::this_thread::get_id();
  bool sameThread = true;
  std::thread poster([&] {
    for (int i = 1; i <= 3; ++i) {
      postHostTask([&, i] {
        sameThread = sameThread && std::this_thread::get_id() == loopThread;
        ran.push_back(i);
      });
    }
  });
  runHostLoopUntil([&] { return ran.size() == 3; });
  poster.join();
  EXPECT_TRUE(sameThread);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(HostLoopTest, ANestedLoopKeepsTimersAndTasksGoingUntilItsConditionHolds) {
  // A chain of timers (a running pass) and, inside a task, a modal wait for an answer that a
  // later task gives: the chain goes on while the modal wait lasts.
  int ticks = 0;
  std::function<void()> tick = [&] {
    if (++ticks < 1000) (void)mdlSystem_setTimerFunction(nullptr, 1, tick);
  };
  ASSERT_EQ(mdlSystem_setTimerFunction(nullptr, 1, tick), 0);
  bool answered = false;
  int ticksWhileWaiting = 0;
  postHostTask([&] {
    const int before = ticks;
    postHostTask([&] { answered = true; });
    runHostLoopUntil([&] { return answered && ticks > before; });
    ticksWhileWaiting = ticks - before;
  });
  runHostLoopUntil([&] { return ticks == 1000; });
  EXPECT_TRUE(answered);
  EXPECT_GT(ticksWhileWaiting, 0);
}

TEST_F(HostLoopTest, StopEndsEveryLoopAndTheTurnHookRunsBeforeSleeping) {
  int turns = 0;
  setHostTurnHook([&] { ++turns; });
  std::thread stopper([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stopHostLoops();
  });
  runHostLoopUntil([] { return false; });
  stopper.join();
  EXPECT_TRUE(hostLoopsStopped());
  EXPECT_GE(turns, 1);
}

}  // namespace
}  // namespace kelvara
