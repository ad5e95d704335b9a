#include "host/host_loop.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "host/timers.h"

namespace kelvara {

namespace {

// While timers keep the loop busy, the turn hook still runs this often.
constexpr auto kBusyTurnInterval = std::chrono::milliseconds(40);

struct LoopState {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<HostTask> tasks;
  bool stopped = false;
  std::function<void()> turnHook;
  std::chrono::steady_clock::time_point lastTurn;  // host thread only
};

LoopState& loop() {
  static LoopState state;
  return state;
}

// Takes the next posted task; false when none waits.
bool takeTask(HostTask* task) {
  std::lock_guard lock(loop().mutex);
  if (loop().tasks.empty()) return false;
  *task = std::move(loop().tasks.front());
  loop().tasks.pop_front();
  return true;
}

void turn() {
  loop().lastTurn = std::chrono::steady_clock::now();
  std::function<void()> hook = loop().turnHook;
  if (hook) hook();
}

}  // namespace

void postHostTask(HostTask task) {
  {
    std::lock_guard lock(loop().mutex);
    loop().tasks.push_back(std::move(task));
  }
  loop().wake.notify_all();
}

void runHostLoopUntil(const std::function<bool()>& done) {
  using Clock = std::chrono::steady_clock;
  bool busySinceTurn = true;  // a loop entered from a task turns before it first sleeps
  while (!hostLoopsStopped() && !done()) {
    bool ranTask = false;
    HostTask task;
    while (!hostLoopsStopped() && !done() && takeTask(&task)) {
      task();
      ranTask = true;
    }
    if (ranTask) {
      turn();
      busySinceTurn = false;
      continue;
    }
    if (runNextTimer()) {
      busySinceTurn = true;
      if (Clock::now() - loop().lastTurn >= kBusyTurnInterval) {
        turn();
        busySinceTurn = false;
      }
      continue;
    }
    if (busySinceTurn) turn();
    busySinceTurn = false;
    std::unique_lock lock(loop().mutex);
    // The interrupt flag is set from a signal handler without a wake-up: look at it now and
    // then.
    loop().wake.wait_for(lock, std::chrono::milliseconds(200), [] {
      return !loop().tasks.empty() || loop().stopped || interruptPending();
    });
  }
}

void stopHostLoops() {
  {
    std::lock_guard lock(loop().mutex);
    loop().stopped = true;
  }
  loop().wake.notify_all();
}

bool hostLoopsStopped() {
  std::lock_guard lock(loop().mutex);
  return loop().stopped;
}

void setHostTurnHook(std::function<void()> hook) {
  loop().turnHook = std::move(hook);
}

void hostTurnNow() {
  turn();
}

void hostTurnIfDue(std::chrono::milliseconds interval) {
  if (std::chrono::steady_clock::now() - loop().lastTurn >= interval) turn();
}

void resetHostLoop() {
  std::lock_guard lock(loop().mutex);
  loop().tasks.clear();
  loop().stopped = false;
  loop().turnHook = nullptr;
}

}  // namespace kelvara
