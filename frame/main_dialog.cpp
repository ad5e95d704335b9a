#include "frame/main_dialog.h"

#include <algorithm>

#include "frame/list_items.h"
#include "frame/messages.h"
#include "frame/models_dialog.h"
#include "frame/report_dialogs.h"
#include "frame/review_dialog.h"
#include "frame/settings_dialog.h"
#include "frame/settings_menu.h"
#include "frame/startup.h"
#include "frame/trace.h"
#include "host/design.h"
#include "host/dialogs.h"
#include "host/parse_error.h"
#include "host/strings.h"
#include "host/types.h"
#include "host/ui.h"
#include "lists/file_lists.h"
#include "lists/paths.h"
#include "report/text_report.h"
#include "run/driver.h"
#include "settings/key_guide.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

constexpr int HOOK_MAIN = 1;
constexpr int HOOK_START = 304;
constexpr int HOOK_CLOSE = 320;
constexpr int HOOK_MODE = 251;
constexpr int HOOK_OPEN_SETTINGS = 252;
constexpr int MSG_DELETE_MODE_HELP = 48;  // 48..52, one per delete mode
constexpr int MSG_NO_REPORT = 23;
constexpr int MSG_FIRST_DELETE_QUESTION = 44;  // 44..47 for delete modes 1..4
constexpr int MSG_TITLE = 4;

struct MainDialogState {
  bool ended = false;
  bool runSeen = false;  // a run was going at the last sync
  std::string startFile;
};

MainDialogState& mainState() {
  static MainDialogState state;
  return state;
}

std::string activeFileName() {
  std::string path;
  if (mdlModelRef_getFileName(mdlModelRef_getActive(), &path) != SUCCESS) return "";
  return path;
}

}  // namespace

void showProductFields() {
  (void)mdlOutput_printf(FIELD_STATUS, "%s %s", PRODUCT_NAME, PRODUCT_VERSION);
  (void)mdlOutput_printf(FIELD_KEYIN, "%s", messageText(MSG_TITLE).c_str());
  (void)mdlOutput_prompt("");
  (void)mdlOutput_error("");
}

namespace {

void mainHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  switch (m.type) {
    case DialogMessageType::Create:
      mainState().startFile = activeFileName();
      break;
    case DialogMessageType::Init: {
      mdlWindow_titleSet(db, PRODUCT_NAME);
      refreshListItems(db);
      initReportButtons(db);
      showFileModeItems(db);
      syncSettingsMenu(db);
      break;
    }
    case DialogMessageType::FocusIn:
      showProductFields();
      break;
    case DialogMessageType::CloseRequest:
      if (duplicateRun().running) {
        mdlDialog_openInfoBox("A run is in progress. Cancel it before closing Kelvara.");
        m.refuse = true;
      } else if (!settingsCloseCheck()) {
        m.refuse = true;
      }
      break;
    case DialogMessageType::Destroy:
      mainState().ended = true;
      break;
    case DialogMessageType::Button:
    case DialogMessageType::ItemChanged:
      break;
  }
}

// Run pre-check for a run from the dialog: go (true) or no go.
bool runPreCheck() {
  const RunSettings& s = runSettings();
  if (s.TEXT_REPORT__ == 0 && s.DESIGN_REPORT__ == 0) {
    (void)showMessage(MSG_NO_REPORT, nullptr, true);
    return false;
  }
  if (s.deleteMode >= 1 && s.deleteMode <= 4) {
    const std::string question = messageText(MSG_FIRST_DELETE_QUESTION + s.deleteMode - 1);
    return mdlDialog_openMessageBox(MessageBoxButtons::OkCancel, question) == ANSWER_OK;
  }
  return true;
}

void startHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) startRunFromDialogs();
}

void closeHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  DialogEvent close;
  close.dialogId = MAIN_DIALOG_ID;
  close.itemId = m.itemId;
  close.kind = DialogEventKind::Close;
  (void)dialogs_handleEvent(close);  // the close request decides
}

void openSettingsHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) (void)openSettingsDialog();
}

void modeHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  DialogBox* db = mdlDialog_find(m.dialogId);
  RunSettings& s = runSettings();
  if (m.itemId == ITEM_FILE_MODE) {
    if (s.FILE_MODE != 0) s.FENCE = 0;
    showFileModeItems(db);
  } else if (m.itemId == ITEM_DELETE_MODE) {
    (void)mdlOutput_printf(FIELD_MESSAGE, "%s",
                           messageText(MSG_DELETE_MODE_HELP + s.deleteMode).c_str());
  }
}

// An item; one bound to a settings key takes only the values the key takes on the command
// line (a tolerance is a number that is not negative, written with a decimal point).
DialogItem item(int id, ItemKind kind, const char* caption, const char* field = nullptr,
                int hook = 0) {
  DialogItem it = makeItem(id, kind, caption, field ? std::string("s__sarnex.") + field : "");
  it.hookId = hook;
  if (field != nullptr && (kind == ItemKind::Number || kind == ItemKind::Text) &&
      isSettingsKey(field)) {
    const std::string key = field;
    it.check = [key](std::string_view value) { return settings_checkStrictValue(key, value); };
  }
  return it;
}

}  // namespace

void startRunFromDialogs() {
  DuplicateRun& run = duplicateRun();
  if (run.running) return;
  traceText(std::string(64, '*') + "\n");
  run.readOnlyFiles = 0;
  createRunLists();
  const RunSettings& s = runSettings();
  if (s.FILE_MODE == 0) {
    trace("b_compareFillStringLists 1++ (%s, %d)\n", s.MODEL_NAMES_FILTER.data, s.MODEL_TYPES);
    StringList* entries = run.entryList.get();
    if (!appendModelsDialogEntries(entries) && !appendMainModelEntries(entries)) {
      mdlDialog_openInfoBox("There is no active design file to process.");
      return;
    }
    trace("size of input string list = %d\n", static_cast<int>(mdlStringList_size(entries)));
  }
  if (!runPreCheck()) return;
  if (s.FILE_MODE != 0) {
    createRunLists();
    std::vector<ParseError> errors;
    if (!s.BATCH_FILE.empty() &&
        readComparisonList(run.entryList.get(), s.BATCH_FILE.str(), errors, nullptr) != SUCCESS) {
      for (const ParseError& error : errors) showParseError(error);
      return;
    }
    for (const ParseError& error : errors) showParseError(error);
  }
  DialogBox* db = mdlDialog_find(MAIN_DIALOG_ID);
  (void)mdlDialog_itemSetEnabledState(db, ITEM_START, false);
  if (s.INTERACTIVE != 0) {
    (void)mdlDialog_hide(db);
    if (DialogBox* models = mdlDialog_find(MODELS_DIALOG_ID)) (void)mdlDialog_hide(models);
    openReviewDialogHidden();
  }
  reportsRunStarted();
  process_startAllV8Files(db);
  syncMainDialog();
}

void showFileModeItems(DialogBox* db) {
  const bool fromList = runSettings().FILE_MODE != 0;
  showListItems(db, fromList);
  refreshMainModelList(db);
  (void)(fromList ? mdlDialog_itemShow(db, ITEM_BATCH_FILE)
                  : mdlDialog_itemHide(db, ITEM_BATCH_FILE));
}

void publishSettingsRecord() {
  RunSettings& s = runSettings();
#define KV_INT(f) intField(#f, &s.f)
#define KV_TEXT(f) textField(#f, s.f.data, sizeof s.f.data)
  std::vector<PublishedField> fields = {KV_INT(FILE_MODE),
                                        KV_TEXT(activeFileName),
                                        KV_TEXT(BATCH_FILE),
                                        KV_TEXT(newerFileName),
                                        KV_TEXT(olderFileName),
                                        KV_TEXT(TEXT_REPORT_MESSAGE),
                                        KV_INT(INTERACTIVE),
                                        KV_INT(REPORT_ONLY),
                                        KV_INT(deleteMode),
                                        KV_INT(REMOVE_ALL_DUP),
                                        KV_INT(REMOVE_SEL_DUP),
                                        KV_INT(REMOVE_ALL_SEL),
                                        KV_INT(BACKUP),
                                        KV_INT(AUTOSAVE_SETTTINGS),
                                        KV_INT(FILEPOS_IN_REPORT),
                                        KV_INT(OVERLAP),
                                        KV_TEXT(TOLERANCE),
                                        KV_INT(ALLOW_ROTATION),
                                        KV_TEXT(ROT_TOLERANCE),
                                        KV_INT(ALLOW_REVERSED),
                                        KV_INT(ALLOW_UNDERLAP),
                                        KV_INT(TEXT_REPORT__),
                                        KV_TEXT(TEXT_EXTENSION),
                                        KV_INT(ONE_TEXT_REPORT),
                                        KV_TEXT(TEXT_REPORT_FILE_NAME),
                                        KV_INT(DESIGN_REPORT__),
                                        KV_TEXT(DESIGN_EXTENSION),
                                        KV_INT(USE_WORD_WRAP_TEXT_REPORT),
                                        KV_INT(WORP_WRAP_POS_TEXT_REPORT),
                                        KV_INT(ONE_TEXT_EACH_REPORT),
                                        KV_INT(TEXT_APPEND_EXT),
                                        KV_INT(SAME_DIR_TEXT_REPORT),
                                        KV_INT(DIFF_DIR_TEXT_REPORT),
                                        KV_TEXT(TEXT_REPORT_DIR_NAME),
                                        KV_TEXT(TEXT_REPORT_EDITOR_NAME),
                                        KV_INT(DESIGN_APPEND_EXT),
                                        KV_INT(SAME_DIR_DESIGN_REPORT),
                                        KV_INT(DIFF_DIR_DESIGN_REPORT),
                                        KV_TEXT(DESIGN_REPORT_DIR_NAME),
                                        KV_INT(KEEP_WIDER_ELEMENT),
                                        KV_INT(KEEP_SOLID_LINESTYLE_ELEMENT),
                                        KV_INT(INC_REF_FILES),
                                        KV_INT(MODEL_TYPES),
                                        KV_TEXT(MODEL_NAMES_FILTER),
                                        KV_INT(FENCE),
                                        KV_TEXT(CRITERIA_NAME_),
                                        KV_INT(currentReportCategory)};
  // The nested records as "rules[1].useLevel" .. "reportSymbology[4].styleValue" (1-based).
  for (int i = 0; i < RULE_COUNT; ++i) {
    SymbologyRule& r = s.rules[i];
    const std::string p = "rules[" + std::to_string(i + 1) + "].";
    fields.push_back(intField(p + "useLevel", &r.useLevel));
    fields.push_back(intField(p + "useColor", &r.useColor));
    fields.push_back(intField(p + "useWeight", &r.useWeight));
    fields.push_back(intField(p + "useStyle", &r.useStyle));
    fields.push_back(textField(p + "level", r.level.data, sizeof r.level.data));
    fields.push_back(textField(p + "color", r.color.data, sizeof r.color.data));
    fields.push_back(textField(p + "weight", r.weight.data, sizeof r.weight.data));
    fields.push_back(textField(p + "style", r.style.data, sizeof r.style.data));
  }
  for (int i = 0; i < REPORT_SYMBOLOGY_COUNT; ++i) {
    ReportSymbology& r = s.reportSymbology[i];
    const std::string p = "reportSymbology[" + std::to_string(i + 1) + "].";
    fields.push_back(intField(p + "useLevel", &r.useLevel));
    fields.push_back(intField(p + "useColor", &r.useColor));
    fields.push_back(intField(p + "useWeight", &r.useWeight));
    fields.push_back(intField(p + "useStyle", &r.useStyle));
    fields.push_back(textField(p + "levelValue", r.levelValue.data, sizeof r.levelValue.data));
    fields.push_back(intField(p + "colorValue", &r.colorValue));
    fields.push_back(intField(p + "weightValue", &r.weightValue));
    fields.push_back(intField(p + "styleValue", &r.styleValue));
  }
  (void)mdlDialog_publishComplexVariable("t_sarnex", "s__sarnex", std::move(fields));
#undef KV_INT
#undef KV_TEXT
}

void defineMainDialog() {
  (void)mdlDialog_hookPublish(HOOK_MAIN, mainHook);
  (void)mdlDialog_hookPublish(HOOK_START, startHook);
  (void)mdlDialog_hookPublish(HOOK_CLOSE, closeHook);
  (void)mdlDialog_hookPublish(HOOK_MODE, modeHook);
  (void)mdlDialog_hookPublish(HOOK_OPEN_SETTINGS, openSettingsHook);
  defineListItemHooks();
  defineSettingsMenu();
  DialogResource main;
  main.id = MAIN_DIALOG_ID;
  main.title = PRODUCT_NAME;
  main.hookId = HOOK_MAIN;
  DialogItem mode = item(ITEM_FILE_MODE, ItemKind::Option, "Process", "FILE_MODE", HOOK_MODE);
  mode.choices = {"The active design file", "The files of a comparison list"};
  DialogItem deleteMode =
      item(ITEM_DELETE_MODE, ItemKind::Option, "Delete mode", "deleteMode", HOOK_MODE);
  deleteMode.choices = {"0: start at once", "1: confirm first", "2: confirm first",
                        "3: confirm first", "4: confirm first"};
  DialogItem start = item(ITEM_START, ItemKind::PushButton, "Start", nullptr, HOOK_START);
  start.isDefault = true;
  DialogItem close = item(ITEM_CLOSE, ItemKind::PushButton, "Close", nullptr, HOOK_CLOSE);
  close.isCancel = true;
  main.items = {
      item(200050, ItemKind::Group, "Files"),
      mode,
      item(ITEM_FILE_LIST, ItemKind::Label, "Design file"),
      item(ITEM_BATCH_FILE, ItemKind::Text, "Comparison list (.lst)", "BATCH_FILE",
           HOOK_LIST_FILE_NAME),
      item(200051, ItemKind::Group, "Comparison"),
      item(200060, ItemKind::Number, "Tolerance (master units)", "TOLERANCE"),
      item(200061, ItemKind::Toggle, "Near copies and overlapping linear elements count",
           "OVERLAP"),
      item(200062, ItemKind::Toggle, "An element lying on a longer one counts", "ALLOW_UNDERLAP"),
      item(200063, ItemKind::Toggle, "Reversed copies count", "ALLOW_REVERSED"),
      item(200064, ItemKind::Toggle, "Rotated copies count", "ALLOW_ROTATION"),
      item(200052, ItemKind::Group, "Changes and reports"),
      item(200065, ItemKind::Toggle, "Report only: change no drawing", "REPORT_ONLY"),
      item(200069, ItemKind::Toggle, "Review each duplicate before it is removed", "INTERACTIVE"),
      deleteMode,
      item(200066, ItemKind::Toggle, "Back the drawing up before changing it", "BACKUP"),
      item(200067, ItemKind::Toggle, "Write a text report", "TEXT_REPORT__"),
      item(200068, ItemKind::Toggle, "Write a design report", "DESIGN_REPORT__"),
      item(ITEM_SETTINGS, ItemKind::PushButton, "Settings...", nullptr, HOOK_OPEN_SETTINGS),
      start,
      close,
  };
  const auto settings = std::find_if(main.items.begin(), main.items.end(),
                                     [](const DialogItem& it) { return it.id == ITEM_SETTINGS; });
  const std::vector<DialogItem> reports = mainDialogReportItems();
  main.items.insert(settings, reports.begin(), reports.end());
  insertListItems(main.items, ITEM_FILE_LIST, ITEM_BATCH_FILE);
  const auto picker = std::find_if(main.items.begin(), main.items.end(),
                                   [](const DialogItem& it) { return it.id == ITEM_PICK_FILES; });
  const std::vector<DialogItem> models = mainDialogModelItems();
  main.items.insert(picker + 1, models.begin(), models.end());
  std::vector<DialogItem> menus = settingsMenuItems();
  main.items.insert(main.items.begin(), menus.begin(), menus.end());
  defineDialogResource(main);
}

bool startInteractive(const std::string& designFile) {
  mainState() = {};
  (void)MdlMain({toWide(APPLICATION_NAME), toWide(APPLICATION_NAME)});
  if (!designFile.empty() && mdlSystem_newDesignFile(designFile) != SUCCESS) {
    mdlDialog_openInfoBox("Cannot open the design file \"" + designFile + "\".");
  }
  publishSettingsRecord();
  defineMainDialog();
  defineSettingsDialog();
  defineReviewDialog();
  defineReportDialogs();
  defineModelsDialog();
  showProductFields();
  return mdlDialog_open(MAIN_DIALOG_ID) != nullptr;
}

void showActiveFileItem(DialogBox* db) {
  DialogItem* item = mdlDialog_itemGetById(db, ITEM_FILE_LIST);
  if (item == nullptr) return;
  const std::string caption = designFileCaption(activeFileName());
  if (item->caption != caption) {
    item->caption = caption;
    noteDialogChange();
  }
}

bool interactiveEnded() {
  return mainState().ended;
}

void syncMainDialog() {
  DialogBox* db = mdlDialog_find(MAIN_DIALOG_ID);
  if (db == nullptr) return;
  syncReportButtons();
  syncModelsDialog();
  const bool idle = !duplicateRun().running && !reportsHoldStart();
  // A cancelled run shows no summary; the message field says how it ended instead of the
  // progress it showed last.
  const bool running = duplicateRun().running;
  if (!running && mainState().runSeen && duplicateRun().cancelled) {
    (void)mdlOutput_printf(FIELD_MESSAGE, "%s", RUN_CANCELLED_TEXT);
  }
  mainState().runSeen = running;
  DialogItem* start = mdlDialog_itemGetById(db, ITEM_START);
  if (start != nullptr && start->enabled != idle) {
    (void)mdlDialog_itemSetEnabledState(db, ITEM_START, idle);
  }
}

}  // namespace kelvara
