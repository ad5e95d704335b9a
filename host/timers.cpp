#include "host/timers.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "host/state.h"
#include "host/types.h"

namespace kelvara {

namespace {

volatile std::sig_atomic_t g_interrupt = 0;

extern "C" void onSigint(int) {
  g_interrupt = 1;
}

TimerState& timers() {
  return hostState().timers;
}

// The armed timer that runs next: earliest due tick, then earliest armed.
std::vector<ArmedTimer>::iterator nextDue(std::vector<ArmedTimer>& armed) {
  return std::min_element(armed.begin(), armed.end(), [](const ArmedTimer& a, const ArmedTimer& b) {
    return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
  });
}

// Turns a pending interrupt into the cancel callback (or a stop). True when one was handled.
bool handleInterrupt() {
  if (!g_interrupt) return false;
  g_interrupt = 0;
  TimerCallback cancel = timers().onInterrupt;  // a copy: the callback may replace itself
  if (cancel) {
    cancel();
  } else {
    timers().stopRequested = true;
  }
  return true;
}

}  // namespace

int mdlSystem_setTimerFunction(int* timerId, long ticks, TimerCallback callback) {
  if (!callback) return ERROR;
  TimerState& t = timers();
  ArmedTimer timer;
  timer.id = t.nextId++;
  if (t.nextId <= 0) t.nextId = 1;  // ids stay positive after wrapping
  timer.due = t.now + static_cast<uint64_t>(std::max(ticks, 0L));
  timer.sequence = t.nextSequence++;
  timer.callback = std::move(callback);
  if (timerId) *timerId = timer.id;
  t.armed.push_back(std::move(timer));
  return SUCCESS;
}

int mdlSystem_cancelTimer(int timerId) {
  auto& armed = timers().armed;
  auto it = std::find_if(armed.begin(), armed.end(),
                         [timerId](const ArmedTimer& t) { return t.id == timerId; });
  if (it == armed.end()) return ERROR;
  armed.erase(it);
  return SUCCESS;
}

bool timerIsArmed(int timerId) {
  const auto& armed = timers().armed;
  return std::any_of(armed.begin(), armed.end(),
                     [timerId](const ArmedTimer& t) { return t.id == timerId; });
}

size_t armedTimerCount() {
  return timers().armed.size();
}

uint64_t mdlSystem_getTicks() {
  return timers().now;
}

void mdlSystem_pauseTicks(long ticks) {
  timers().now += static_cast<uint64_t>(std::max(ticks, 0L));
}

bool runNextTimer() {
  if (handleInterrupt()) return true;
  TimerState& t = timers();
  if (t.armed.empty()) return false;
  auto it = nextDue(t.armed);
  // Nothing else waits, so the clock moves straight to the next due timer.
  t.now = std::max(t.now, it->due);
  TimerCallback callback = std::move(it->callback);
  t.armed.erase(it);
  callback();
  return true;
}

size_t runEventLoop() {
  size_t ran = 0;
  TimerState& t = timers();
  while (!t.stopRequested) {
    if (handleInterrupt()) continue;
    if (t.armed.empty()) break;
    (void)runNextTimer();
    ++ran;
  }
  t.stopRequested = false;
  return ran;
}

void requestEventLoopStop() {
  timers().stopRequested = true;
}

void installInterruptHandler() {
  std::signal(SIGINT, onSigint);
}

void raiseInterrupt() {
  g_interrupt = 1;
}

bool interruptPending() {
  return g_interrupt != 0;
}

void clearInterrupt() {
  g_interrupt = 0;
}

void setInterruptCallback(TimerCallback callback) {
  timers().onInterrupt = std::move(callback);
}

void pushKey(int key) {
  timers().keys.push_back(key);
}

int mdlSystem_checkExtendedAbort(int /*kind*/, int /*count*/) {
  return timers().keys.empty() ? 0 : 1;
}

int mdlSystem_getChar() {
  auto& keys = timers().keys;
  if (keys.empty()) return -1;
  const int key = keys.front();
  keys.pop_front();
  return key;
}

}  // namespace kelvara
