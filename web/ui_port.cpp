// The interactive application's user-interface port: boxes and progress as dialogs.
#include <string>

#include "host/dialogs.h"
#include "host/host_loop.h"
#include "host/timers.h"
#include "web/web.h"

namespace kelvara {

namespace {

constexpr int kBoxTextItem = 1;
constexpr int kBoxHook = -100;
constexpr int kProgressBarItem = 1;
constexpr int kProgressLabelItem = 2;
constexpr int kProgressCancelItem = 4;
constexpr int kProgressHook = -101;

uint64_t g_beeps = 0;  // beeps sounded since the program started

// The progress display is sent out at once when it opens; while one long task updates it, it
// goes out when the host loop has not sent anything for this long.
constexpr auto kProgressSendInterval = std::chrono::milliseconds(200);

// The answer of each box, by dialog id, 0 while unanswered.
int g_boxDepth = 0;
int g_answers[16] = {};

DialogItem boxButton(int answer, const char* caption, bool isDefault, bool isCancel) {
  DialogItem item = makeItem(answer, ItemKind::PushButton, caption);
  item.isDefault = isDefault;
  item.isCancel = isCancel;
  return item;
}

std::vector<DialogItem> boxButtons(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::Ok:
      return {boxButton(ANSWER_OK, "OK", true, true)};
    case MessageBoxButtons::OkCancel:
      return {boxButton(ANSWER_OK, "OK", true, false),
              boxButton(ANSWER_CANCEL, "Cancel", false, true)};
    case MessageBoxButtons::YesNo:
      return {boxButton(ANSWER_YES, "Yes", true, false), boxButton(ANSWER_NO, "No", false, true)};
    case MessageBoxButtons::YesNoCancel:
      return {boxButton(ANSWER_YES, "Yes", true, false), boxButton(ANSWER_NO, "No", false, false),
              boxButton(ANSWER_CANCEL, "Cancel", false, true)};
    case MessageBoxButtons::SaveChanges:
      return {boxButton(ANSWER_OK, "Save", true, false),
              boxButton(ANSWER_YES, "Save As...", false, false),
              boxButton(ANSWER_NO, "Don't Save", false, false),
              boxButton(ANSWER_CANCEL, "Cancel", false, true)};
  }
  return {};
}

// The answer a box gets when it is closed without a button: Cancel where there is one, else
// No, else OK.
int closeAnswer(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::Ok:
      return ANSWER_OK;
    case MessageBoxButtons::YesNo:
      return ANSWER_NO;
    case MessageBoxButtons::OkCancel:
    case MessageBoxButtons::YesNoCancel:
    case MessageBoxButtons::SaveChanges:
      return ANSWER_CANCEL;
  }
  return ANSWER_CANCEL;
}

// Opens a modal box and runs the host loop until it is answered. When the loops are stopped
// (the application ends) the box counts as closed.
int runBox(const char* title, std::string_view text, MessageBoxButtons buttons) {
  if (g_boxDepth >= static_cast<int>(std::size(g_answers))) return closeAnswer(buttons);
  const int depth = g_boxDepth++;
  const int id = BOX_DIALOG_ID + depth * 1000;
  g_answers[depth] = 0;
  (void)mdlDialog_hookPublish(kBoxHook, [](DialogMessage& m) {
    const int d = (m.dialogId - BOX_DIALOG_ID) / 1000;
    if (d < 0 || d >= static_cast<int>(std::size(g_answers))) return;
    if (m.type == DialogMessageType::Button) {
      g_answers[d] = m.itemId;
      (void)mdlDialog_closeCommandQueue(mdlDialog_find(m.dialogId));
    }
  });
  DialogResource box;
  box.id = id;
  box.title = title;
  box.hookId = kBoxHook;
  box.modal = true;
  box.items.push_back(makeItem(kBoxTextItem, ItemKind::Label, std::string(text)));
  for (DialogItem& button : boxButtons(buttons)) box.items.push_back(std::move(button));
  defineDialogResource(box);
  DialogBox* db = mdlDialog_open(id);
  if (db != nullptr) runHostLoopUntil([id] { return mdlDialog_find(id) == nullptr; });
  if (DialogBox* left = mdlDialog_find(id)) (void)mdlDialog_closeCommandQueue(left);
  const int answer = g_answers[depth] != 0 ? g_answers[depth] : closeAnswer(buttons);
  --g_boxDepth;
  return answer;
}

void defineProgressDialog(std::string_view title) {
  (void)mdlDialog_hookPublish(kProgressHook, [](DialogMessage& m) {
    if (m.type == DialogMessageType::Button && m.itemId == kProgressCancelItem) raiseInterrupt();
    if (m.type == DialogMessageType::CloseRequest) {
      m.refuse = true;  // the run closes it; closing the window asks to cancel
      raiseInterrupt();
    }
  });
  DialogResource progress;
  progress.id = PROGRESS_DIALOG_ID;
  progress.title = std::string(title);
  progress.hookId = kProgressHook;
  DialogItem bar = makeItem(kProgressBarItem, ItemKind::Progress, "");
  bar.value = "0";
  progress.items = {bar, makeItem(kProgressLabelItem, ItemKind::Label, ""),
                    makeItem(kProgressCancelItem, ItemKind::PushButton, "Cancel")};
  progress.items.back().isCancel = true;
  defineDialogResource(progress);
}

}  // namespace

uint64_t webBeepCount() {
  return g_beeps;
}

UiPort webUi() {
  UiPort port;
  port.infoBox = [](std::string_view text) {
    (void)runBox("Kelvara", text, MessageBoxButtons::Ok);
  };
  port.alert = [](std::string_view text) {
    return runBox("Alert", text, MessageBoxButtons::OkCancel);
  };
  port.messageBox = [](std::string_view text, MessageBoxButtons buttons) {
    return runBox("Kelvara", text, buttons);
  };
  port.showField = [](int, std::string_view) { noteDialogChange(); };
  port.progressOpen = [](std::string_view title) {
    defineProgressDialog(title);
    (void)mdlDialog_open(PROGRESS_DIALOG_ID);
    hostTurnNow();
  };
  port.progressUpdate = [](int percent, std::string_view label) {
    DialogBox* db = mdlDialog_find(PROGRESS_DIALOG_ID);
    if (db == nullptr) return;
    (void)mdlDialog_itemSetValue(db, kProgressBarItem, std::to_string(percent));
    DialogItem* item = mdlDialog_itemGetById(db, kProgressLabelItem);
    if (item != nullptr && item->caption != label) {
      item->caption = std::string(label);
      noteDialogChange();
    }
    hostTurnIfDue(kProgressSendInterval);
  };
  port.progressClose = [] {
    if (DialogBox* db = mdlDialog_find(PROGRESS_DIALOG_ID)) (void)mdlDialog_closeCommandQueue(db);
  };
  port.beep = [](int count) {
    g_beeps += static_cast<uint64_t>(count);
    noteDialogChange();
  };
  return port;
}

}  // namespace kelvara
