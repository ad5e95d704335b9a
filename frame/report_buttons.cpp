// The main dialog's report buttons and the report list dialog.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "frame/main_dialog.h"
#include "frame/messages.h"
#include "frame/report_dialogs.h"
#include "host/design.h"
#include "host/documents.h"
#include "host/types.h"
#include "host/ui.h"
#include "lists/working_copy.h"
#include "run/driver.h"
#include "settings/abbreviate.h"
#include "settings/run_settings.h"

extern char** environ;

namespace kelvara {

namespace {

constexpr int HOOK_REPORT_BUTTONS = 330;
constexpr int HOOK_REPORT_SETTINGS_BUTTON = 331;
constexpr int HOOK_REPORT_ROWS = 201;
constexpr int HOOK_REPORT_LIST = 202;
constexpr int MSG_NO_TEXT_REPORT = 41;  // argument: the report's name
constexpr int MSG_TEXT_REPORTS_OFF = 42;
constexpr int MSG_NO_DESIGN_REPORT = 63;  // argument: the report's name
constexpr int MSG_DESIGN_REPORTS_OFF = 64;
constexpr size_t ROW_CHARS = 90;

struct ReportButtonState {
  bool viewing = false;  // a design report is shown instead of the design file
  bool severalDesign = false;
  bool severalText = false;
  bool finishPending = false;  // a run started; its finish is not yet reflected
  std::string noted;           // the design file to return to
  std::string seenActive;      // the active file the buttons were last brought in line with
  int selectedRow = 0;
};

ReportButtonState& state() {
  static ReportButtonState s;
  return s;
}

std::string activeFile() {
  std::string path;
  if (mdlModelRef_getFileName(mdlModelRef_getActive(), &path) != SUCCESS) return "";
  return path;
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// The report named for the active design file by the report settings ("" when none can be).
std::string namedReport(bool text) {
  const RunSettings& s = runSettings();
  const std::string active = activeFile();
  if (active.empty()) return "";
  ReportNaming naming;
  naming.fixedName = text && s.ONE_TEXT_REPORT != 0;
  naming.fileName = s.TEXT_REPORT_FILE_NAME.str();
  naming.extension = text ? s.TEXT_EXTENSION.str() : s.DESIGN_EXTENSION.str();
  naming.appendExtension = (text ? s.TEXT_APPEND_EXT : s.DESIGN_APPEND_EXT) != 0;
  naming.sameDirectory = (text ? s.SAME_DIR_TEXT_REPORT : s.SAME_DIR_DESIGN_REPORT) != 0;
  naming.directory = text ? s.TEXT_REPORT_DIR_NAME.str() : s.DESIGN_REPORT_DIR_NAME.str();
  std::string name;
  return reportName(&name, active, naming, 0, 1) == SUCCESS ? name : "";
}

// The report a button means: the run's only report when it exists, else the one named for the
// active design file.
std::string buttonReport(bool text) {
  DuplicateRun& run = duplicateRun();
  StringList* list = text ? run.textReportList.get() : run.designReportList.get();
  if (list != nullptr && mdlStringList_size(list) == 1) {
    const std::string only = listMember(list, 0);
    if (fileExists(only)) return only;
  }
  return namedReport(text);
}

DialogBox* mainDialog() {
  return mdlDialog_find(MAIN_DIALOG_ID);
}

void setButton(int itemId, bool enabled, const char* label = nullptr) {
  DialogBox* db = mainDialog();
  DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item == nullptr) return;
  if (item->enabled != enabled) (void)mdlDialog_itemSetEnabledState(db, itemId, enabled);
  if (label != nullptr && item->caption != label) {
    item->caption = label;
    noteDialogChange();
  }
}

// A switch of the active design file that the application makes itself: the buttons are not
// brought in line as for a file opened by other means.
bool switchTo(const std::string& file, const std::string& model = "") {
  const bool done = openFileAndModel(file, model) == 0;
  if (!done) (void)mdlOutput_error(lastDesignError());
  state().seenActive = activeFile();
  showActiveFileItem(mainDialog());
  return done;
}

void returnToNoted() {
  if (!state().noted.empty() && switchTo(state().noted)) {
    (void)mdlOutput_printf(FIELD_MESSAGE, "Back to %s", state().noted.c_str());
  }
}

void showDesignReport(const std::string& report) {
  if (switchTo(report)) (void)mdlOutput_printf(FIELD_MESSAGE, "Design report: %s", report.c_str());
}

// Starts the viewer program on the report, without a shell; false when it cannot be started.
bool startViewer(const std::string& program, const std::string& report) {
  if (!fileExists(program) || ::access(program.c_str(), X_OK) != 0) return false;
  const char* argv[] = {program.c_str(), report.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, const_cast<char* const*>(argv),
                  environ) != 0) {
    return false;
  }
  std::thread([pid] { (void)::waitpid(pid, nullptr, 0); }).detach();
  return true;
}

// Shows an existing text report: with the viewer program, or, when there is none or it cannot
// be started (it is then forgotten), in a page of its own when this session wrote the report.
void showTextReport(const std::string& report) {
  RunSettings& s = runSettings();
  if (!s.TEXT_REPORT_EDITOR_NAME.empty()) {
    if (startViewer(s.TEXT_REPORT_EDITOR_NAME.str(), report)) return;
    s.TEXT_REPORT_EDITOR_NAME.clear();
  }
  const std::string key = reportFileKey(report);
  if (!documentAllowed(key)) {
    mdlDialog_openInfoBox("The text report \"" + report +
                          "\" was not written in this session. Name a program that shows text "
                          "reports in the report settings to open it.");
    return;
  }
  requestShowDocument(allowDocument(key));
  (void)mdlOutput_printf(FIELD_MESSAGE, "Text report: %s", report.c_str());
}

void missingReport(bool text, const std::string& name) {
  const RunSettings& s = runSettings();
  if (text) {
    (void)(s.TEXT_REPORT__ != 0 ? showMessage(MSG_NO_TEXT_REPORT, name.c_str())
                                : showMessage(MSG_TEXT_REPORTS_OFF));
  } else {
    (void)(s.DESIGN_REPORT__ != 0 ? showMessage(MSG_NO_DESIGN_REPORT, name.c_str())
                                  : showMessage(MSG_DESIGN_REPORTS_OFF));
  }
}

void openReportList() {
  state().noted = activeFile();
  std::vector<std::string> rows;
  StringList* entries = duplicateRun().entryList.get();
  const long count = entries != nullptr ? mdlStringList_size(entries) : 0;
  for (long i = 0; i < count; ++i) {
    rows.push_back(abbreviateFileName(listMember(entries, i), ROW_CHARS));
  }
  DialogBox* db = mdlDialog_open(REPORT_LIST_DIALOG_ID);
  if (db == nullptr) return;
  (void)mdlDialog_itemSetChoices(db, LITEM_ROWS, std::move(rows));
  (void)mdlDialog_itemSetValue(db, LITEM_ROWS, "0");
  state().selectedRow = 0;
  syncMainDialog();  // the start button waits until the list is closed
}

void designReportButton() {
  ReportButtonState& st = state();
  if (st.severalDesign) return openReportList();
  if (st.viewing) {
    st.viewing = false;
    returnToNoted();
    setButton(ITEM_DESIGN_REPORT, true, LABEL_VIEW_DESIGN_REPORT);
    syncMainDialog();
    return;
  }
  const std::string report = buttonReport(false);
  if (!fileExists(report)) return missingReport(false, report);
  st.noted = activeFile();
  st.viewing = true;
  showDesignReport(report);
  setButton(ITEM_DESIGN_REPORT, true, LABEL_RETURN);
  syncMainDialog();
}

void textReportButton() {
  if (state().severalText) return openReportList();
  const std::string report = buttonReport(true);
  if (!fileExists(report)) return missingReport(true, report);
  showTextReport(report);
}

void reportButtonsHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  if (m.itemId == ITEM_DESIGN_REPORT) designReportButton();
  if (m.itemId == ITEM_TEXT_REPORT) textReportButton();
}

void reportSettingsButtonHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) (void)openReportSettingsDialog();
}

void rowsHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  std::string value;
  (void)mdlDialog_itemGetValue(mdlDialog_find(m.dialogId), LITEM_ROWS, &value);
  state().selectedRow = std::atoi(value.c_str());
}

void closeReportList() {
  returnToNoted();
  if (DialogBox* db = mdlDialog_find(REPORT_LIST_DIALOG_ID)) (void)mdlDialog_closeCommandQueue(db);
  syncMainDialog();
}

void reportListHook(DialogMessage& m) {
  if (m.type == DialogMessageType::CloseRequest) {  // closing the window is the Close button
    return returnToNoted();
  }
  if (m.type != DialogMessageType::Button) return;
  DuplicateRun& run = duplicateRun();
  const int row = state().selectedRow;
  switch (m.itemId) {
    case LITEM_OPEN_FILE: {
      std::string file, model;
      splitEntry(listMember(run.entryList.get(), row), &file, &model);
      if (switchTo(file, model)) (void)mdlOutput_printf(FIELD_MESSAGE, "%s", file.c_str());
      break;
    }
    case LITEM_OPEN_DESIGN_REPORT: {
      const std::string report = listMember(run.designReportList.get(), row);
      if (fileExists(report)) {
        showDesignReport(report);
      } else {
        missingReport(false, report);
      }
      break;
    }
    case LITEM_SHOW_TEXT_REPORT: {
      const std::string report = listMember(run.textReportList.get(), row);
      if (fileExists(report)) {
        showTextReport(report);
      } else {
        missingReport(true, report);
      }
      break;
    }
    case LITEM_RETURN:
      returnToNoted();
      break;
    case LITEM_CLOSE:
      closeReportList();
      break;
    default:
      break;
  }
}

DialogItem button(int id, const char* caption, int hook) {
  DialogItem item = makeItem(id, ItemKind::PushButton, caption);
  item.hookId = hook;
  return item;
}

// The main dialog's line that says where reports go.
void showReportMessage() {
  DialogItem* item = mdlDialog_itemGetById(mainDialog(), ITEM_REPORT_MESSAGE);
  const std::string caption = "Reports: " + runSettings().TEXT_REPORT_MESSAGE.str();
  if (item != nullptr && item->caption != caption) {
    item->caption = caption;
    noteDialogChange();
  }
}

// The new-design-file hook: another file became active by other means than the application's
// own switches.
void newDesignFileOpened() {
  ReportButtonState& st = state();
  st.viewing = false;
  st.severalDesign = false;
  st.severalText = false;
  if (DialogBox* list = mdlDialog_find(REPORT_LIST_DIALOG_ID)) {
    (void)mdlDialog_closeCommandQueue(list);
  }
  setButton(ITEM_DESIGN_REPORT, false, LABEL_VIEW_DESIGN_REPORT);
  setButton(ITEM_TEXT_REPORT, false, LABEL_VIEW_TEXT_REPORT);
  enableReportButtonsByExistence();
  st.seenActive = activeFile();
  showActiveFileItem(mainDialog());
}

// The run has finished: its text reports may be shown in the page, and the buttons show what
// it wrote.
void runFinished() {
  ReportButtonState& st = state();
  DuplicateRun& run = duplicateRun();
  const RunSettings& s = runSettings();
  st.finishPending = false;
  StringList* texts = run.textReportList.get();
  const long textCount = texts != nullptr ? mdlStringList_size(texts) : 0;
  for (long i = 0; i < textCount; ++i) {
    const std::string report = listMember(texts, i);
    if (fileExists(report)) (void)allowDocument(reportFileKey(report));
  }
  if (s.TEXT_REPORT__ != 0) setButton(ITEM_TEXT_REPORT, true);
  if (s.DESIGN_REPORT__ != 0) {
    StringList* designs = run.designReportList.get();
    st.severalDesign = designs != nullptr && mdlStringList_size(designs) > 1;
    st.severalText = s.ONE_TEXT_EACH_REPORT != 0 && textCount > 1;
    setButton(ITEM_DESIGN_REPORT, true,
              st.severalDesign ? LABEL_VIEW_DESIGN_LOG : LABEL_VIEW_DESIGN_REPORT);
    setButton(ITEM_TEXT_REPORT, s.TEXT_REPORT__ != 0,
              st.severalText ? LABEL_VIEW_TEXT_LOG : LABEL_VIEW_TEXT_REPORT);
  }
  st.seenActive = activeFile();
  showActiveFileItem(mainDialog());
}

}  // namespace

void enableReportButtonsByExistence() {
  setButton(ITEM_TEXT_REPORT, fileExists(buttonReport(true)));
  setButton(ITEM_DESIGN_REPORT,
            runSettings().DESIGN_REPORT__ != 0 && fileExists(buttonReport(false)));
}

void defineReportDialogs() {
  state() = {};
  (void)mdlDialog_hookPublish(HOOK_REPORT_BUTTONS, reportButtonsHook);
  (void)mdlDialog_hookPublish(HOOK_REPORT_SETTINGS_BUTTON, reportSettingsButtonHook);
  (void)mdlDialog_hookPublish(HOOK_REPORT_ROWS, rowsHook);
  (void)mdlDialog_hookPublish(HOOK_REPORT_LIST, reportListHook);
  DialogResource list;
  list.id = REPORT_LIST_DIALOG_ID;
  list.title = "Reports of the Last Run";
  list.hookId = HOOK_REPORT_LIST;
  DialogItem rows = makeItem(LITEM_ROWS, ItemKind::ListBox, "Design file, model");
  rows.hookId = HOOK_REPORT_ROWS;
  rows.value = "0";
  DialogItem close = button(LITEM_CLOSE, "Close", HOOK_REPORT_LIST);
  close.isCancel = true;
  list.items = {rows,
                button(LITEM_OPEN_FILE, "Open Design File", HOOK_REPORT_LIST),
                button(LITEM_OPEN_DESIGN_REPORT, "Open Design Report", HOOK_REPORT_LIST),
                button(LITEM_SHOW_TEXT_REPORT, "Show Text Report", HOOK_REPORT_LIST),
                button(LITEM_RETURN, "Return to Original File", HOOK_REPORT_LIST),
                close};
  defineDialogResource(list);
  defineReportSettingsDialog();
}

std::vector<DialogItem> mainDialogReportItems() {
  DialogItem message = makeItem(ITEM_REPORT_MESSAGE, ItemKind::Label, "");
  return {button(ITEM_TEXT_REPORT, LABEL_VIEW_TEXT_REPORT, HOOK_REPORT_BUTTONS),
          button(ITEM_DESIGN_REPORT, LABEL_VIEW_DESIGN_REPORT, HOOK_REPORT_BUTTONS),
          button(ITEM_REPORT_SETTINGS, "Report Settings...", HOOK_REPORT_SETTINGS_BUTTON), message};
}

void initReportButtons(DialogBox*) {
  enableReportButtonsByExistence();
  showReportMessage();
  state().seenActive = activeFile();
}

void reportsRunStarted() {
  state().finishPending = true;
  setButton(ITEM_TEXT_REPORT, false);
  setButton(ITEM_DESIGN_REPORT, false);
}

void syncReportButtons() {
  ReportButtonState& st = state();
  showReportMessage();
  if (mainDialog() == nullptr) return;
  if (duplicateRun().running) {  // also a run started elsewhere than the start button
    if (!st.finishPending) reportsRunStarted();
    return;
  }
  if (st.finishPending) return runFinished();
  if (activeFile() != st.seenActive) newDesignFileOpened();
}

bool reportsHoldStart() {
  return state().viewing || mdlDialog_find(REPORT_LIST_DIALOG_ID) != nullptr;
}

}  // namespace kelvara
