// The user-interface port: everything the system shows to the user or asks of the user.
//
// No module prints on its own. Information boxes, alerts, message boxes, the message fields,
// the progress display and the beep all go through one replaceable record of callbacks,
// `UiPort`, kept in the host state. Three fillings exist:
//   - commandLineUi(): prints to standard error and answers as an unattended run must (every
//     question gets its affirmative answer: OK, or Yes); progress is drawn only when standard
//     error is a terminal;
//   - ScriptedUi: for tests; records everything shown and answers from a queue;
//   - the web interface's real dialogs (later).
// Answer codes follow the host: 3 OK, 4 Cancel, 6 Yes, 7 No.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvara {

// ---- Answer codes and message box kinds ----------------------------------------------------

inline constexpr int ANSWER_OK = 3;
inline constexpr int ANSWER_CANCEL = 4;
inline constexpr int ANSWER_YES = 6;
inline constexpr int ANSWER_NO = 7;

// SaveChanges asks what to do with unsaved changes: OK saves them, Yes saves them under another
// name, No discards them, Cancel goes back.
enum class MessageBoxButtons { Ok, OkCancel, YesNo, YesNoCancel, SaveChanges };

// The affirmative answer for a box with these buttons: OK for Ok, OkCancel and SaveChanges, Yes
// otherwise.
int affirmativeAnswer(MessageBoxButtons buttons);

// ---- Message fields ------------------------------------------------------------------------

// The host's message fields. Field numbers are the ones the application passes to
// mdlOutput_printf; the prompt and error fields have their own calls.
inline constexpr int FIELD_MESSAGE = 1;
inline constexpr int FIELD_PROMPT = 2;
inline constexpr int FIELD_STATUS = 3;
inline constexpr int FIELD_KEYIN = 4;
inline constexpr int FIELD_ERROR = 5;
inline constexpr int FIELD_COUNT = 6;  // valid fields are 0..FIELD_COUNT-1

// ---- The port ------------------------------------------------------------------------------

// One record of callbacks. An unset callback is treated as "show nothing, answer OK/Yes".
struct UiPort {
  std::function<void(std::string_view text)> infoBox;
  std::function<int(std::string_view text)> alert;  // 3 OK or 4 Cancel
  std::function<int(std::string_view text, MessageBoxButtons buttons)> messageBox;
  std::function<void(int field, std::string_view text)> showField;  // "" clears the field
  std::function<void(std::string_view title)> progressOpen;
  std::function<void(int percent, std::string_view label)> progressUpdate;  // percent 0..100
  std::function<void()> progressClose;
  std::function<void(int count)> beep;
};

// Replaces the port in the host state; returns the previous one.
UiPort setUiPort(UiPort port);

// The port in the host state.
const UiPort& uiPort();

// The command-line filling. Writes to `err` (standard error when nullptr); draws progress only
// when `drawProgress` is true (the caller passes isatty(2)).
UiPort commandLineUi(std::FILE* err = nullptr, bool drawProgress = false);

// ---- Host calls ----------------------------------------------------------------------------

// Shows an information box with OK. Always 3.
int mdlDialog_openInfoBox(std::string_view text);

// Shows an alert with OK and Cancel; 3 when confirmed, 4 when declined.
int mdlDialog_openAlert(std::string_view text);

// Shows a message box with the given buttons; the button pressed (3, 4, 6 or 7).
int mdlDialog_openMessageBox(MessageBoxButtons buttons, std::string_view text);

// Formats with printf rules and shows the text in message field `field` (0..FIELD_COUNT-1;
// other fields are ignored, ERROR). Text beyond 4096 bytes is cut.
int mdlOutput_printf(int field, const char* format, ...) __attribute__((format(printf, 2, 3)));
int mdlOutput_vprintf(int field, const char* format, va_list args);

// Shows `text` in the prompt field / the error field ("" clears it). Always SUCCESS.
int mdlOutput_prompt(std::string_view text);
int mdlOutput_error(std::string_view text);
int mdlOutput_errorU(std::wstring_view text);

// The text last shown in a field ("" for a cleared or invalid field).
std::string messageFieldText(int field);

// Progress display: open with a title, update with percent (clamped to 0..100) and label, close.
// Updates and closes while the display is not open are ignored.
void progressOpen(std::string_view title);
void progressUpdate(int percent, std::string_view label);
void progressClose();
bool progressIsOpen();

// Sounds the beep `count` times.
void mdlUtil_beep(int count);

// ---- Scripted filling for tests ------------------------------------------------------------

enum class UiEventKind {
  InfoBox,
  Alert,
  MessageBox,
  Field,
  ProgressOpen,
  ProgressUpdate,
  ProgressClose,
  Beep
};

struct UiEvent {
  UiEventKind kind;
  std::string text;  // box text, field text, progress title or label
  int number = 0;    // field number, percent, beep count or message box buttons
  int answer = 0;    // the answer given to a question, 0 for others
  friend bool operator==(const UiEvent&, const UiEvent&) = default;
};

// Records every event and answers questions (alerts and message boxes) from `answers` in
// order; when the queue is empty it answers affirmatively and counts an unscripted question.
struct ScriptedUi {
  std::vector<UiEvent> events;
  std::deque<int> answers;
  int unscriptedQuestions = 0;

  // A port whose callbacks record into this object (which must outlive the port's use).
  UiPort port();
  // The texts of the recorded events of one kind, in order.
  std::vector<std::string> texts(UiEventKind kind) const;
};

// Installs a scripted port for the lifetime of this object and restores the previous port
// afterwards.
struct ScopedScriptedUi {
  ScriptedUi script;
  UiPort previous;
  ScopedScriptedUi();
  ~ScopedScriptedUi();
  ScopedScriptedUi(const ScopedScriptedUi&) = delete;
  ScopedScriptedUi& operator=(const ScopedScriptedUi&) = delete;
};

}  // namespace kelvara
