// The interactive host loop: tasks posted from other threads, timers, and nested loops.
//
// In the interactive application one thread, the host thread, owns all host and application
// state. Other threads (the web server's) never touch that state: they post tasks, which the
// host thread runs in order between timer callbacks. runHostLoopUntil is the loop: it runs
// posted tasks and armed timers until its condition holds, and sleeps when there is nothing to
// do. It may be entered again from inside a task or timer (a modal box waits for its answer
// this way while the page stays live and a running pass can still be cancelled).
//
// After each round of posted tasks, before the loop sleeps after timers ran, and every few
// milliseconds while timers keep it busy, the loop calls the turn hook: the place where the web
// layer sends the new state out.
#pragma once

#include <chrono>
#include <functional>

namespace kelvara {

using HostTask = std::function<void()>;

// Queues a task for the host thread and wakes the loop. Safe from any thread.
void postHostTask(HostTask task);

// Runs posted tasks and timers on the calling thread (the host thread) until `done()` is
// true (checked after every task and timer callback) or stopHostLoops() was called.
void runHostLoopUntil(const std::function<bool()>& done);

// Makes every running host loop return and new ones return at once. Safe from any thread.
void stopHostLoops();

// True once stopHostLoops was called (until resetHostLoop).
bool hostLoopsStopped();

// The turn hook (host thread only); empty: none.
void setHostTurnHook(std::function<void()> hook);

// Calls the turn hook now (host thread only): a long task that shows something the user should
// see before it ends (a status while loading) sends it out this way. hostTurnIfDue does so
// only when the last turn, whoever made it, is at least `interval` ago.
void hostTurnNow();
void hostTurnIfDue(std::chrono::milliseconds interval);

// Forgets posted tasks, the stop and the turn hook (tests).
void resetHostLoop();

}  // namespace kelvara
