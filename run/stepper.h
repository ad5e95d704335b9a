// The compare stepper: advances the comparison of one model in slices on the host's event loop.
//
// A model's comparison never runs in one call. The stepper runs its first step at once, then
// arms a one-tick host timer; each tick runs up to 256 steps while they return 0 and re-arms
// the timer, so the host stays responsive between slices. When a step returns a non-zero code
// (-3 the model's comparison has ended, -4 a pause for the review) the progress display is
// closed and the completion callback receives the code. Between steps the stepper polls the
// host for abort keys (x, X, Esc), and the host's interrupt (Ctrl-C) asks the same cancel
// question: confirmed, the current model is closed and the run finished without a summary.
//
// The progress text, time estimate and bar percentage follow fixed rules (the pure functions
// below). The display is brought up to date once per slice with the values of the slice's last
// step: the host draws only between ticks, so nothing in between could be seen.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kelvara {

inline constexpr int STEP_GO_ON = 0;
inline constexpr int STEP_ENDED = -3;
inline constexpr int STEP_PAUSE = -4;
inline constexpr int STEPS_PER_TICK = 256;
inline constexpr const char* CANCEL_QUESTION = "Are you sure you wish to stop processing?";
inline constexpr const char* COMPARE_PROGRESS_TITLE = "Comparing Elements";

// What the stepper drives. The step and the counters belong to the comparison pass.
struct StepperClient {
  std::function<int()> step;                 // one step of the pass: 0, -3, -4 or another code
  std::function<uint32_t()> processed;       // entries done in this model
  std::function<uint32_t()> total;           // entries loaded for this model
  std::function<void(int code)> completion;  // the model's comparison ended or paused
  std::function<void()> cancelRun;  // the cancel was confirmed: close the model, finish the run
};

// The process-wide stepper state.
struct StepperState {
  StepperClient client;
  std::string question;
  bool running = false;  // between start and the completion callback (or a confirmed cancel)
  bool paused = false;
  bool cancelled = false;  // the last run of the stepper was cancelled
  int timerId = 0;
  int lastPercent = -1;
  int64_t startTime = 0;  // host time value (seconds) when the pass started
};
StepperState& stepperState();

// Seconds since the epoch; replaceable so that tests can drive the time estimate.
using ClockFunction = int64_t (*)();
void setStepperClock(ClockFunction clock);  // nullptr restores the wall clock
int64_t stepperNow();

// ---- the stepper ---------------------------------------------------------------------------

// Starts the stepper on a model: runs the first step at once; when it already ends or pauses,
// calls the completion callback with its code. Otherwise opens the progress display at 0 %
// with the counter text, arms a one-tick timer and clears message field 1.
void startStepper(StepperClient client, const std::string& question);

// The timer function: runs up to 256 steps (see above).
void stepperTick();

// Asks the cancel question. Confirmed: closes the progress display, disarms the timer and calls
// the client's cancelRun; returns true. Declined: the comparison goes on with the same entry
// (the progress display is reopened when `reopenProgress`); returns false.
bool askCancelQuestion(bool reopenProgress);

// Disarms the stepper's timer when it is armed (the driver does so before the next entry).
void cancelStepperTimer();

// Cancels the running comparison without asking, as a confirmed cancel does: closes the
// progress dialog and calls the client's cancelRun. False (and nothing done) when no comparison
// runs.
bool cancelStepper();

// True when the stepper's timer is armed.
bool stepperTimerArmed();

// ---- texts and numbers ---------------------------------------------------------------------

// "%lu/%lu      " of processed and total (six blanks at the end).
std::string progressText(uint32_t processed, uint32_t total);
// The progress text with the remaining-time estimate appended when there is one.
std::string progressWithEstimate(uint32_t processed, uint32_t total, int64_t elapsedSeconds);
// processed * 100 / total, truncated; 100 when total is 0.
int progressPercent(uint32_t processed, uint32_t total);
// Whether a bar at `percent` is drawn after `lastPercent` (clamped; forced always draws).
bool barNeedsDrawing(int percent, int lastPercent, bool force);
// Draws the bar: clamps the percent, applies the redraw rule, records it and shows the label.
void drawBar(int percent, const std::string& label, bool force);

}  // namespace kelvara
