#include "host/ui.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "host/state.h"
#include "host/strings.h"
#include "host/types.h"

namespace kelvara {

namespace {

constexpr size_t kMaxFieldText = 4096;

bool validField(int field) {
  return field >= 0 && field < FIELD_COUNT;
}

void setField(int field, std::string_view text) {
  HostState& s = hostState();
  s.fields[static_cast<size_t>(field)].assign(text);
  if (s.ui.showField) s.ui.showField(field, text);
}

const char* fieldName(int field) {
  switch (field) {
    case FIELD_PROMPT:
      return "prompt";
    case FIELD_STATUS:
      return "status";
    case FIELD_ERROR:
      return "error";
    default:
      return "message";
  }
}

}  // namespace

int affirmativeAnswer(MessageBoxButtons buttons) {
  return (buttons == MessageBoxButtons::YesNo || buttons == MessageBoxButtons::YesNoCancel)
             ? ANSWER_YES
             : ANSWER_OK;
}

UiPort setUiPort(UiPort port) {
  return std::exchange(hostState().ui, std::move(port));
}

const UiPort& uiPort() {
  return hostState().ui;
}

UiPort commandLineUi(std::FILE* err, bool drawProgress) {
  if (err == nullptr) err = stderr;
  UiPort port;
  port.infoBox = [err](std::string_view text) {
    std::fprintf(err, "%.*s\n", static_cast<int>(text.size()), text.data());
  };
  port.alert = [err](std::string_view text) {
    std::fprintf(err, "%.*s [OK]\n", static_cast<int>(text.size()), text.data());
    return ANSWER_OK;
  };
  port.messageBox = [err](std::string_view text, MessageBoxButtons buttons) {
    const int answer = affirmativeAnswer(buttons);
    if (buttons == MessageBoxButtons::Ok) {
      std::fprintf(err, "%.*s\n", static_cast<int>(text.size()), text.data());
    } else {
      std::fprintf(err, "%.*s [%s]\n", static_cast<int>(text.size()), text.data(),
                   answer == ANSWER_OK ? "OK" : "Yes");
    }
    return answer;
  };
  // Only the error field is worth a line of its own in an unattended run; the other fields
  // carry transient status that the progress display already shows.
  port.showField = [err](int field, std::string_view text) {
    if (field != FIELD_ERROR || text.empty()) return;
    std::fprintf(err, "%s: %.*s\n", fieldName(field), static_cast<int>(text.size()), text.data());
  };
  if (drawProgress) {
    port.progressOpen = [err](std::string_view title) {
      std::fprintf(err, "%.*s\n", static_cast<int>(title.size()), title.data());
    };
    port.progressUpdate = [err](int percent, std::string_view label) {
      std::fprintf(err, "\r%3d%% %.*s\033[K", percent, static_cast<int>(label.size()),
                   label.data());
      std::fflush(err);
    };
    port.progressClose = [err] { std::fprintf(err, "\r\033[K"); };
  }
  return port;
}

int mdlDialog_openInfoBox(std::string_view text) {
  const UiPort& ui = uiPort();
  if (ui.infoBox) ui.infoBox(text);
  return ANSWER_OK;
}

int mdlDialog_openAlert(std::string_view text) {
  const UiPort& ui = uiPort();
  if (!ui.alert) return ANSWER_OK;
  return ui.alert(text) == ANSWER_OK ? ANSWER_OK : ANSWER_CANCEL;
}

int mdlDialog_openMessageBox(MessageBoxButtons buttons, std::string_view text) {
  const UiPort& ui = uiPort();
  if (!ui.messageBox) return affirmativeAnswer(buttons);
  return ui.messageBox(text, buttons);
}

int mdlOutput_vprintf(int field, const char* format, va_list args) {
  if (!validField(field) || format == nullptr) return ERROR;
  // Room for one more UTF-8 sequence than kept, so that a character crossing the limit is seen
  // whole and dropped whole.
  char buffer[kMaxFieldText + 5];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (n < 0) return ERROR;
  char cut[kMaxFieldText + 1];
  copyCut(cut, sizeof cut, std::string_view(buffer, std::min<size_t>(n, sizeof buffer - 1)));
  setField(field, cut);
  return SUCCESS;
}

int mdlOutput_printf(int field, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int status = mdlOutput_vprintf(field, format, args);
  va_end(args);
  return status;
}

int mdlOutput_prompt(std::string_view text) {
  setField(FIELD_PROMPT, text);
  return SUCCESS;
}

int mdlOutput_error(std::string_view text) {
  setField(FIELD_ERROR, text);
  return SUCCESS;
}

int mdlOutput_errorU(std::wstring_view text) {
  return mdlOutput_error(toNarrow(text));
}

std::string messageFieldText(int field) {
  return validField(field) ? hostState().fields[static_cast<size_t>(field)] : std::string();
}

void progressOpen(std::string_view title) {
  HostState& s = hostState();
  s.progressOpen = true;
  if (s.ui.progressOpen) s.ui.progressOpen(title);
}

void progressUpdate(int percent, std::string_view label) {
  HostState& s = hostState();
  if (!s.progressOpen) return;
  if (s.ui.progressUpdate) s.ui.progressUpdate(std::clamp(percent, 0, 100), label);
}

void progressClose() {
  HostState& s = hostState();
  if (!s.progressOpen) return;
  s.progressOpen = false;
  if (s.ui.progressClose) s.ui.progressClose();
}

bool progressIsOpen() {
  return hostState().progressOpen;
}

void mdlUtil_beep(int count) {
  const UiPort& ui = uiPort();
  if (ui.beep && count > 0) ui.beep(count);
}

UiPort ScriptedUi::port() {
  UiPort p;
  auto ask = [this](UiEventKind kind, std::string_view text, int number, int fallback) {
    int answer = fallback;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    } else {
      ++unscriptedQuestions;
    }
    events.push_back({kind, std::string(text), number, answer});
    return answer;
  };
  p.infoBox = [this](std::string_view text) {
    events.push_back({UiEventKind::InfoBox, std::string(text), 0, 0});
  };
  p.alert = [ask](std::string_view text) { return ask(UiEventKind::Alert, text, 0, ANSWER_OK); };
  p.messageBox = [ask](std::string_view text, MessageBoxButtons buttons) {
    return ask(UiEventKind::MessageBox, text, static_cast<int>(buttons),
               affirmativeAnswer(buttons));
  };
  p.showField = [this](int field, std::string_view text) {
    events.push_back({UiEventKind::Field, std::string(text), field, 0});
  };
  p.progressOpen = [this](std::string_view title) {
    events.push_back({UiEventKind::ProgressOpen, std::string(title), 0, 0});
  };
  p.progressUpdate = [this](int percent, std::string_view label) {
    events.push_back({UiEventKind::ProgressUpdate, std::string(label), percent, 0});
  };
  p.progressClose = [this] { events.push_back({UiEventKind::ProgressClose, "", 0, 0}); };
  p.beep = [this](int count) { events.push_back({UiEventKind::Beep, "", count, 0}); };
  return p;
}

std::vector<std::string> ScriptedUi::texts(UiEventKind kind) const {
  std::vector<std::string> out;
  for (const UiEvent& e : events) {
    if (e.kind == kind) out.push_back(e.text);
  }
  return out;
}

ScopedScriptedUi::ScopedScriptedUi() : previous(setUiPort(script.port())) {}

ScopedScriptedUi::~ScopedScriptedUi() {
  setUiPort(std::move(previous));
}

}  // namespace kelvara
