// Host timers, the event loop and the interrupt (Ctrl-C) hook.
//
// mdlSystem_setTimerFunction arms a callback to run after a number of host ticks. Time in the
// loop is the host's own tick counter, not the wall clock: when the next armed timer is not
// yet due and nothing else is waiting, the loop moves the counter straight to it, so a chain
// of one-tick timers runs at full speed. Timers due at the same tick run in the order they were
// armed. The loop also turns an interrupt (SIGINT, or raiseInterrupt) into the cancel callback
// and hands out queued abort keys to mdlSystem_getChar.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace kelvara {

using TimerCallback = std::function<void()>;

struct ArmedTimer {
  int id = 0;
  uint64_t due = 0;  // host tick at which it runs
  uint64_t sequence = 0;
  TimerCallback callback;
};

struct TimerState {
  uint64_t now = 0;  // host tick counter
  uint64_t nextSequence = 0;
  int nextId = 1;
  std::vector<ArmedTimer> armed;
  bool stopRequested = false;
  TimerCallback onInterrupt;  // the cancel callback; none: an interrupt stops the loop
  std::deque<int> keys;       // pending key presses for mdlSystem_getChar
};

// ---- Timers --------------------------------------------------------------------------------

// Arms `callback` to run `ticks` ticks from now (ticks < 0 counts as 0) and stores the new
// timer's id (> 0) in *timerId when not nullptr. ERROR when the callback is empty.
[[nodiscard]] int mdlSystem_setTimerFunction(int* timerId, long ticks, TimerCallback callback);

// Disarms the timer. SUCCESS when it was armed, ERROR otherwise (unknown, ran, or cancelled).
int mdlSystem_cancelTimer(int timerId);

// True when the timer is armed; the number of armed timers.
bool timerIsArmed(int timerId);
size_t armedTimerCount();

// The host tick counter.
uint64_t mdlSystem_getTicks();

// Lets `ticks` ticks pass without running timers (nothing is drawn, so nothing waits).
void mdlSystem_pauseTicks(long ticks);

// ---- Event loop ----------------------------------------------------------------------------

// Runs due timers (and the cancel callback after an interrupt) until no timer is armed or a
// stop is requested. Returns the number of timer callbacks run. The stop request is cleared
// on return.
size_t runEventLoop();

// One step of the loop: turns a pending interrupt into the cancel callback, or else runs the
// next armed timer (moving the tick counter to it). False when there was nothing to do.
bool runNextTimer();

// Makes runEventLoop return after the callback that is running now.
void requestEventLoopStop();

// ---- Interrupt -----------------------------------------------------------------------------

// Installs a SIGINT handler that only sets the interrupt flag.
void installInterruptHandler();

// Sets the interrupt flag, as the SIGINT handler does (safe in a signal handler).
void raiseInterrupt();

// True when an interrupt is pending (not yet turned into the cancel callback).
bool interruptPending();

// Forgets a pending interrupt.
void clearInterrupt();

// The callback the loop calls (once per interrupt) when the flag is found set; empty: the
// loop stops instead.
void setInterruptCallback(TimerCallback callback);

// ---- Abort keys ----------------------------------------------------------------------------

// Queues a key press (for tests and the interactive front end).
void pushKey(int key);

// Non-zero when a key press waits. The arguments are the host's (ignored here).
int mdlSystem_checkExtendedAbort(int kind, int count);

// Takes the next key press; -1 when none waits.
int mdlSystem_getChar();

}  // namespace kelvara
