#include "run/stepper.h"

#include <cstdio>
#include <ctime>

#include "host/timers.h"
#include "host/ui.h"

namespace kelvara {

namespace {

constexpr double kPerSixty = 0.016666666666666666;
constexpr int kKeyEscape = 27;
// Internal step result: the cancel question was confirmed inside a step.
constexpr int kStepCancelled = 1;

ClockFunction g_clock = nullptr;

int64_t wallClock() {
  return static_cast<int64_t>(std::time(nullptr));
}

std::string format(const char* fmt, auto... args) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, fmt, args...);
  return buffer;
}

void armTimer() {
  StepperState& s = stepperState();
  if (s.timerId != 0 && timerIsArmed(s.timerId)) return;
  int id = 0;
  if (mdlSystem_setTimerFunction(&id, 1, stepperTick) == 0) s.timerId = id;
}

// Brings the display up to date after a slice: the progress text with its time estimate, the
// bar and the message field.
void showProgress() {
  StepperState& s = stepperState();
  const uint32_t processed = s.client.processed ? s.client.processed() : 0;
  const uint32_t total = s.client.total ? s.client.total() : 0;
  const std::string text = progressWithEstimate(processed, total, stepperNow() - s.startTime);
  drawBar(progressPercent(processed, total), text, true);
  (void)mdlOutput_printf(1, "%s Press <Cancel> to exit.", text.c_str());
}

// One step: the abort-key poll, then the pass's own step.
int runOneStep() {
  StepperState& s = stepperState();
  if (mdlSystem_checkExtendedAbort(4, 10) != 0) {
    const int key = mdlSystem_getChar();
    if (key == 'x' || key == 'X' || key == kKeyEscape) {
      if (askCancelQuestion(false)) return kStepCancelled;
    }
  }
  return s.client.step ? s.client.step() : STEP_ENDED;
}

void complete(int code) {
  StepperState& s = stepperState();
  progressClose();
  s.running = false;
  if (s.client.completion) s.client.completion(code);
}

}  // namespace

StepperState& stepperState() {
  static StepperState state;
  return state;
}

void setStepperClock(ClockFunction clock) {
  g_clock = clock;
}

int64_t stepperNow() {
  return g_clock ? g_clock() : wallClock();
}

void startStepper(StepperClient client, const std::string& question) {
  StepperState& s = stepperState();
  cancelStepperTimer();
  s.client = std::move(client);
  s.question = question;
  s.running = true;
  s.paused = false;
  s.cancelled = false;
  s.lastPercent = -1;
  s.startTime = stepperNow();
  setInterruptCallback([] {
    if (stepperState().running) (void)askCancelQuestion(true);
  });
  const int code = runOneStep();
  if (code == kStepCancelled) return;
  if (code != STEP_GO_ON) {
    complete(code);
    return;
  }
  progressOpen(COMPARE_PROGRESS_TITLE);
  const uint32_t processed = s.client.processed ? s.client.processed() : 0;
  const uint32_t total = s.client.total ? s.client.total() : 0;
  drawBar(
      0,
      format("%lu/%lu", static_cast<unsigned long>(processed), static_cast<unsigned long>(total)),
      true);
  armTimer();
  (void)mdlOutput_printf(1, "%s", "");
}

void stepperTick() {
  StepperState& s = stepperState();
  s.timerId = 0;
  if (s.paused || !s.running) return;
  int code = STEP_GO_ON;
  for (int n = 0; n < STEPS_PER_TICK && code == STEP_GO_ON; ++n) code = runOneStep();
  if (code == kStepCancelled) return;
  if (code == STEP_GO_ON) {
    showProgress();
    armTimer();
    return;
  }
  complete(code);
}

bool askCancelQuestion(bool reopenProgress) {
  StepperState& s = stepperState();
  s.paused = true;
  const int answer = mdlDialog_openAlert(s.question);
  if (answer == ANSWER_OK) {
    cancelStepper();
    return true;
  }
  if (reopenProgress && !progressIsOpen()) {
    progressOpen(COMPARE_PROGRESS_TITLE);
    drawBar(0, "", true);
  }
  s.paused = false;
  if (s.running) armTimer();
  return false;
}

bool cancelStepper() {
  StepperState& s = stepperState();
  if (!s.running) return false;
  progressClose();
  cancelStepperTimer();
  s.running = false;
  s.paused = false;
  s.cancelled = true;
  if (s.client.cancelRun) s.client.cancelRun();
  return true;
}

void cancelStepperTimer() {
  StepperState& s = stepperState();
  if (s.timerId != 0) (void)mdlSystem_cancelTimer(s.timerId);
  s.timerId = 0;
}

bool stepperTimerArmed() {
  const StepperState& s = stepperState();
  return s.timerId != 0 && timerIsArmed(s.timerId);
}

std::string progressText(uint32_t processed, uint32_t total) {
  return format("%lu/%lu      ", static_cast<unsigned long>(processed),
                static_cast<unsigned long>(total));
}

std::string progressWithEstimate(uint32_t processed, uint32_t total, int64_t elapsedSeconds) {
  const std::string text = progressText(processed, total);
  const double elapsed = static_cast<double>(elapsedSeconds);
  double remaining = 0.0;
  if (processed > 0 && elapsed > 5.0) {
    const double left = total >= processed ? static_cast<double>(total - processed) : 0.0;
    remaining = left * elapsed / static_cast<double>(processed);
  }
  if (remaining <= 4.0) return text;
  if (remaining < 60.0) return format("%s  %.0f seconds remaining.", text.c_str(), remaining);
  const double minutes = remaining * kPerSixty;
  if (minutes < 60.0) return format("%s  %.1f minutes remaining.", text.c_str(), minutes);
  const double hours = minutes * kPerSixty;
  if (hours < 500.0) return format("%s  %.1f hours remaining.", text.c_str(), hours);
  return text;
}

int progressPercent(uint32_t processed, uint32_t total) {
  if (total == 0) return 100;
  return static_cast<int>(static_cast<uint64_t>(processed) * 100u / total);
}

bool barNeedsDrawing(int percent, int lastPercent, bool force) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (force) return true;
  const int diff = percent > lastPercent ? percent - lastPercent : lastPercent - percent;
  return !(percent > 0 && percent < 100 && diff <= 1);
}

void drawBar(int percent, const std::string& label, bool force) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  StepperState& s = stepperState();
  if (!barNeedsDrawing(percent, s.lastPercent, force)) return;
  s.lastPercent = percent;
  if (!progressIsOpen()) return;
  progressUpdate(percent, label);
}

}  // namespace kelvara
