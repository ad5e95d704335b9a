#include "frame/settings_dialog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "frame/main_dialog.h"
#include "frame/messages.h"
#include "frame/picker_dialogs.h"
#include "frame/selection_dialog.h"
#include "host/design.h"
#include "host/dialogs.h"
#include "host/types.h"
#include "host/ui.h"
#include "selection/file.h"
#include "settings/abbreviate.h"
#include "settings/run_settings.h"
#include "settings/settings_file.h"

namespace kelvara {

namespace {

// The settings dialog's hooks are 405..412; 400..404 belong to the main dialog's items.
constexpr int HOOK_SETTINGS = 405;
constexpr int HOOK_PAGE = 406;
constexpr int HOOK_ENABLE = 407;
constexpr int HOOK_UNDERLAP = 408;
constexpr int HOOK_SCOPE = 409;
constexpr int HOOK_FILE_MODE_ITEM = 410;
constexpr int HOOK_RULE_PICKER = 411;
constexpr int HOOK_SELECTION_BUTTON = 412;
constexpr int MSG_UNREADABLE_SELECTION = 28;
constexpr int MSG_SAME_EXTENSIONS = 62;
constexpr int MSG_NO_SELECTION_FILE = 76;

struct UnderlapMemory {
  int32_t overlap = 0;
  int32_t reversed = 0;
  std::string tolerance;
  bool switchedOn = false;  // a switch-on happened since the application was loaded
};

struct SettingsDialogState {
  RunSettings snapshot;
  ReportSymbology symbologySnapshot[REPORT_SYMBOLOGY_COUNT];
  int32_t currentSymbology = 1;  // "i__currentSymbology": 1 IGNORE, 2 REMOVE, 3 COMPARED
  int32_t rptSym = 1;            // "i__rptSym": ReportSymbology record 1..4
  UnderlapMemory underlap;
};

SettingsDialogState& dlgState() {
  static SettingsDialogState state;
  return state;
}

const char* const RULE_FIELDS[] = {"useLevel",  "level",  "useColor", "color",
                                   "useWeight", "weight", "useStyle", "style"};
const char* const SYMBOLOGY_FIELDS[] = {"useLevel",  "levelValue",  "useColor", "colorValue",
                                        "useWeight", "weightValue", "useStyle", "styleValue"};

std::vector<int> pageItems(int page) {
  std::vector<int> ids;
  auto range = [&ids](int first, int count) {
    for (int i = 0; i < count; ++i) ids.push_back(first + i);
  };
  switch (page) {
    case PAGE_RULES_IGNORE:
    case PAGE_RULES_REMOVE:
    case PAGE_RULES_COMPARED:
      range(SITEM_RULE_FIRST, 8);
      range(SITEM_RULE_PICKER_FIRST, 4);
      break;
    case PAGE_COMPARISON:
      range(SITEM_OVERLAP, 9);
      break;
    case PAGE_RUN:
      range(SITEM_INTERACTIVE, 13);
      break;
    case PAGE_REPORT_SYMBOLOGY:
      range(SITEM_REPORT_CATEGORY, 9);
      break;
    default:
      break;
  }
  return ids;
}

int itemValue(DialogBox* db, int itemId) {
  std::string value;
  if (mdlDialog_itemGetValue(db, itemId, &value) != SUCCESS) return 0;
  return std::atoi(value.c_str());
}

void setEnabled(DialogBox* db, int itemId, bool enabled) {
  const DialogItem* item = mdlDialog_itemGetById(db, itemId);
  if (item != nullptr && item->enabled != enabled) {
    (void)mdlDialog_itemSetEnabledState(db, itemId, enabled);
  }
}

void rebind(DialogBox* db, int firstItem, const char* const* fields, const std::string& prefix) {
  for (int i = 0; i < 8; ++i) {
    DialogItem* item = mdlDialog_itemGetById(db, firstItem + i);
    if (item != nullptr) item->binding = prefix + fields[i];
  }
  noteDialogChange();
}

// Enables every item by the flags it depends on.
void applyEnablingRules(DialogBox* db) {
  const RunSettings& s = runSettings();
  const SettingsDialogState& st = dlgState();
  if (st.currentSymbology != 1) {  // the IGNORE group's lists stay as they are
    for (int i = 0; i < 8; i += 2) {
      const bool used = itemValue(db, SITEM_RULE_FIRST + i) != 0;
      setEnabled(db, SITEM_RULE_FIRST + i + 1, used);
      setEnabled(db, SITEM_RULE_PICKER_FIRST + i / 2, used);
    }
  }
  setEnabled(db, SITEM_TOLERANCE, s.OVERLAP != 0);
  setEnabled(db, SITEM_ROT_TOLERANCE, s.ALLOW_ROTATION != 0);
  for (int i = 0; i < 8; i += 2) {
    setEnabled(db, SITEM_SYMBOLOGY_FIRST + i + 1, itemValue(db, SITEM_SYMBOLOGY_FIRST + i) != 0);
  }
  setEnabled(db, SITEM_DELETE_MODE, s.INTERACTIVE == 0);
  setEnabled(db, SITEM_FENCE, s.FILE_MODE == 0);
}

void showPage(DialogBox* db, int page) {
  for (int p : {PAGE_RULES_IGNORE, PAGE_COMPARISON, PAGE_RUN, PAGE_REPORT_SYMBOLOGY}) {
    for (int id : pageItems(p)) (void)mdlDialog_itemHide(db, id);
  }
  if (page == PAGE_RULES_IGNORE) dlgState().currentSymbology = 1;
  if (page == PAGE_RULES_REMOVE) dlgState().currentSymbology = 2;
  if (page == PAGE_RULES_COMPARED) dlgState().currentSymbology = 3;
  rebind(db, SITEM_RULE_FIRST, RULE_FIELDS,
         "s__sarnex.rules[" + std::to_string(dlgState().currentSymbology) + "].");
  for (int id : pageItems(page)) (void)mdlDialog_itemShow(db, id);
  applyEnablingRules(db);
}

void showReportRecord(DialogBox* db) {
  rebind(db, SITEM_SYMBOLOGY_FIRST, SYMBOLOGY_FIELDS,
         "s__sarnex.reportSymbology[" + std::to_string(dlgState().rptSym) + "].");
  applyEnablingRules(db);
}

void restoreSnapshot() {
  RunSettings& s = runSettings();
  s = dlgState().snapshot;
  std::copy(std::begin(dlgState().symbologySnapshot), std::end(dlgState().symbologySnapshot),
            std::begin(s.reportSymbology));
}

std::string unitLabel() {
  dgn::TcbRecord tcb;
  if (mdlModelRef_getUnits(mdlModelRef_getActive(), &tcb) != SUCCESS || tcb.masterName.empty()) {
    return "master units";
  }
  return "master units (" + tcb.masterName + ")";
}

// OK's checks: true when the dialog may close.
bool okChecksPass() {
  const RunSettings& s = runSettings();
  if (s.REMOVE_SEL_DUP != 0 || s.REMOVE_ALL_SEL != 0) {
    if (s.CRITERIA_NAME_.empty()) {
      (void)showMessage(MSG_NO_SELECTION_FILE, nullptr, true);
      return false;
    }
    char names[sizeof s.CRITERIA_DESCRPT_.data] = {};
    const int rc = collectSetNames(s.CRITERIA_NAME_.data, names, sizeof names);
    if (rc != 0 && rc != -7) {  // -7: readable, only the names do not all fit
      (void)showMessage(MSG_UNREADABLE_SELECTION, s.CRITERIA_NAME_.data, true);
      return false;
    }
  }
  std::string text = s.TEXT_EXTENSION.str();
  std::string design = s.DESIGN_EXTENSION.str();
  auto lower = [](std::string& t) {
    for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  lower(text);
  lower(design);
  if (text == design) {
    (void)showMessage(MSG_SAME_EXTENSIONS, nullptr, true);
    return false;
  }
  return true;
}

void settingsHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  switch (m.type) {
    case DialogMessageType::Init: {
      if (DialogItem* label = mdlDialog_itemGetById(db, SITEM_UNIT_LABEL)) {
        label->caption = "Distances are in " + unitLabel();
      }
      showPage(db, itemValue(db, SITEM_PAGE));
      showReportRecord(db);
      break;
    }
    case DialogMessageType::Button:
      if (m.itemId == SITEM_OK) {
        if (!okChecksPass()) return;
        (void)mdlDialog_closeCommandQueue(db);
        syncMainDialog();
      } else if (m.itemId == SITEM_CANCEL) {
        restoreSnapshot();
        (void)mdlDialog_closeCommandQueue(db);
      }
      break;
    case DialogMessageType::CloseRequest:
      restoreSnapshot();  // closing the window is a cancel
      break;
    case DialogMessageType::ItemChanged:
      applyEnablingRules(db);
      break;
    case DialogMessageType::Create:
    case DialogMessageType::FocusIn:
    case DialogMessageType::Destroy:
      break;
  }
}

void pageHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.itemId == SITEM_PAGE) {
    showPage(db, itemValue(db, SITEM_PAGE));
  } else if (m.itemId == SITEM_REPORT_CATEGORY) {
    const int row = itemValue(db, SITEM_REPORT_CATEGORY);
    const int record = reportCategoryRecord(row);
    runSettings().currentReportCategory = record;
    if (record != dlgState().rptSym) {
      dlgState().rptSym = record;
      showReportRecord(db);
    }
  }
}

void enableHook(DialogMessage& m) {
  if (m.type == DialogMessageType::ItemChanged) applyEnablingRules(mdlDialog_find(m.dialogId));
}

void underlapHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  RunSettings& s = runSettings();
  UnderlapMemory& memory = dlgState().underlap;
  const std::string smallest = smallestTolerance();
  if (s.ALLOW_UNDERLAP != 0) {
    const bool overlapWasOn = s.OVERLAP != 0;
    memory.overlap = s.OVERLAP;
    memory.reversed = s.ALLOW_REVERSED;
    memory.tolerance = s.TOLERANCE.str();
    memory.switchedOn = true;
    s.OVERLAP = 1;
    s.ALLOW_REVERSED = 1;
    if (!overlapWasOn) s.TOLERANCE.assign(smallest);
  } else if (memory.switchedOn) {
    s.OVERLAP = memory.overlap;
    s.ALLOW_REVERSED = memory.reversed;
    if (s.TOLERANCE.str() == smallest) s.TOLERANCE.assign(memory.tolerance);
  }
  noteDialogChange();
  applyEnablingRules(mdlDialog_find(m.dialogId));
}

// The three scopes exclude each other: the one switched on switches the others off.
void scopeHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  RunSettings& s = runSettings();
  int32_t* flags[] = {&s.REMOVE_ALL_DUP, &s.REMOVE_SEL_DUP, &s.REMOVE_ALL_SEL};
  const int chosen = m.itemId - SITEM_REMOVE_ALL_DUP;
  if (chosen < 0 || chosen > 2) return;
  if (*flags[chosen] != 0) {
    for (int i = 0; i < 3; ++i) *flags[i] = i == chosen ? 1 : 0;
  } else {
    *flags[chosen] = 1;  // one scope is always chosen
  }
  noteDialogChange();
}

// The picker buttons open the level, colour, weight or style picker over their list.
void rulePickerHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  const int which = m.itemId - SITEM_RULE_PICKER_FIRST;
  const PickerTarget target{SETTINGS_DIALOG_ID, SITEM_RULE_FIRST + 2 * which + 1, {}};
  const NumberPickerKind kinds[] = {NumberPickerKind::Color, NumberPickerKind::Weight,
                                    NumberPickerKind::Style};
  if (which == 0) {
    (void)openLevelPicker(target);
  } else if (which > 0 && which < 4) {
    (void)openNumberPicker(kinds[which - 1], target, false);
  }
}

void collectCriteriaNames() {
  RunSettings& s = runSettings();
  char names[sizeof s.CRITERIA_DESCRPT_.data] = {};
  (void)collectSetNames(s.CRITERIA_NAME_.data, names, sizeof names);
  s.CRITERIA_DESCRPT_.assign(names);
}

// Opens the Element Selection dialog on the selection file the settings name. It is modal
// here because the settings dialog is: it must take events while the settings stay open.
void selectionButtonHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  collectCriteriaNames();
  SelectionDialogOpener opener;
  opener.initialFile = runSettings().CRITERIA_NAME_.str();
  opener.modeFlag = true;
  opener.modal = true;
  opener.accept = [](const std::string& file, const std::string&) {
    runSettings().CRITERIA_NAME_.assign(file);
    collectCriteriaNames();
    noteDialogChange();
  };
  opener.cancel = [] {
    RunSettings& s = runSettings();
    s.REMOVE_SEL_DUP = 0;
    s.REMOVE_ALL_SEL = 0;
    s.REMOVE_ALL_DUP = 1;
    s.CRITERIA_NAME_.assign("");
    s.CRITERIA_DESCRPT_.assign("");
    if (DialogBox* db = mdlDialog_find(SETTINGS_DIALOG_ID)) applyEnablingRules(db);
    noteDialogChange();
  };
  // Processing from the Element Selection dialog leaves the settings dialog through OK first.
  opener.process = [] {
    (void)dialogs_handleEvent({SETTINGS_DIALOG_ID, SITEM_OK, DialogEventKind::Button, ""});
    if (mdlDialog_find(SETTINGS_DIALOG_ID) == nullptr) startRunFromDialogs();
  };
  (void)openSelectionDialog(std::move(opener));
}

DialogItem item(int id, ItemKind kind, const char* caption, const char* field = nullptr,
                int hook = 0) {
  DialogItem it = makeItem(id, kind, caption, field ? std::string("s__sarnex.") + field : "");
  it.hookId = hook;
  return it;
}

}  // namespace

int reportCategoryRecord(int row) {
  constexpr int CATEGORY_RECORD[7] = {2, 4, 2, 3, 3, 1, 1};
  return CATEGORY_RECORD[std::clamp(row, 0, 6)];
}

const std::vector<std::string>& reportCategoryChoices() {
  static const std::vector<std::string> choices = {
      "Removed duplicates", "Other elements",  "Duplicates reported",     "Matched originals",
      "Originals reported", "Single elements", "Single elements reported"};
  return choices;
}

std::string smallestTolerance() {
  dgn::TcbRecord tcb;
  double uorPerMaster = 1.0;
  if (mdlModelRef_getUnits(mdlModelRef_getActive(), &tcb) == SUCCESS && tcb.uorPerMaster() > 0) {
    uorPerMaster = tcb.uorPerMaster();
  }
  char text[64];
  std::snprintf(text, sizeof text, "%f", 1.0 / uorPerMaster);
  std::string result = text;
  while (result.size() > 4 && result.back() == '0') result.pop_back();
  return result;
}

void defineSettingsDialog() {
  dlgState() = {};
  (void)mdlDialog_publishComplexVariable("int", "i__currentSymbology",
                                         {intField("value", &dlgState().currentSymbology)});
  (void)mdlDialog_publishComplexVariable("int", "i__rptSym",
                                         {intField("value", &dlgState().rptSym)});
  (void)mdlDialog_hookPublish(HOOK_SETTINGS, settingsHook);
  (void)mdlDialog_hookPublish(HOOK_PAGE, pageHook);
  (void)mdlDialog_hookPublish(HOOK_ENABLE, enableHook);
  (void)mdlDialog_hookPublish(HOOK_UNDERLAP, underlapHook);
  (void)mdlDialog_hookPublish(HOOK_SCOPE, scopeHook);
  (void)mdlDialog_hookPublish(HOOK_FILE_MODE_ITEM, enableHook);
  (void)mdlDialog_hookPublish(HOOK_RULE_PICKER, rulePickerHook);
  (void)mdlDialog_hookPublish(HOOK_SELECTION_BUTTON, selectionButtonHook);
  definePickerDialogs();
  defineSelectionDialog();

  DialogResource r;
  r.id = SETTINGS_DIALOG_ID;
  r.title = "Kelvara Settings";
  r.hookId = HOOK_SETTINGS;
  r.modal = true;
  DialogItem page = item(SITEM_PAGE, ItemKind::Option, "Page", nullptr, HOOK_PAGE);
  page.choices = {"Symbology to ignore", "Comparison",           "Run and scope",
                  "Symbology to remove", "Symbology to compare", "Report symbology"};
  page.value = "1";
  r.items.push_back(page);

  // Symbology rules: bound to the group the page names.
  const char* ruleCaptions[] = {"Levels take part",       "Levels (list)",
                                "Colours take part",      "Colours (list)",
                                "Line weights take part", "Line weights (list)",
                                "Line styles take part",  "Line styles (list)"};
  for (int i = 0; i < 8; ++i) {
    r.items.push_back(item(SITEM_RULE_FIRST + i, i % 2 == 0 ? ItemKind::Toggle : ItemKind::Text,
                           ruleCaptions[i], nullptr, i % 2 == 0 ? HOOK_ENABLE : 0));
    const char* pickerCaptions[] = {"Levels...", "Colours...", "Line weights...", "Line styles..."};
    if (i % 2 == 1) {
      r.items.push_back(item(SITEM_RULE_PICKER_FIRST + i / 2, ItemKind::PushButton,
                             pickerCaptions[i / 2], nullptr, HOOK_RULE_PICKER));
    }
  }

  // Comparison.
  r.items.push_back(item(SITEM_OVERLAP, ItemKind::Toggle,
                         "Near copies and overlapping linear elements count", "OVERLAP",
                         HOOK_ENABLE));
  r.items.push_back(item(SITEM_TOLERANCE, ItemKind::Number, "Distance tolerance", "TOLERANCE"));
  r.items.push_back(item(SITEM_UNIT_LABEL, ItemKind::Label, "Distances are in master units"));
  r.items.push_back(item(SITEM_ROTATION, ItemKind::Toggle, "Rotated copies count", "ALLOW_ROTATION",
                         HOOK_ENABLE));
  r.items.push_back(
      item(SITEM_ROT_TOLERANCE, ItemKind::Number, "Rotation tolerance (degrees)", "ROT_TOLERANCE"));
  r.items.push_back(
      item(SITEM_REVERSED, ItemKind::Toggle, "Reversed linear elements count", "ALLOW_REVERSED"));
  r.items.push_back(item(SITEM_UNDERLAP, ItemKind::Toggle,
                         "An element lying on a longer one counts (sets overlap and reversal)",
                         "ALLOW_UNDERLAP", HOOK_UNDERLAP));
  r.items.push_back(
      item(200127, ItemKind::Toggle, "Keep the element with the wider line", "KEEP_WIDER_ELEMENT"));
  r.items.push_back(item(200128, ItemKind::Toggle, "Keep the element with the solid line style",
                         "KEEP_SOLID_LINESTYLE_ELEMENT"));

  // Run and scope.
  r.items.push_back(item(SITEM_INTERACTIVE, ItemKind::Toggle,
                         "Review each duplicate before it is removed", "INTERACTIVE", HOOK_ENABLE));
  DialogItem deleteMode =
      item(SITEM_DELETE_MODE, ItemKind::Option, "Without review, delete mode", "deleteMode");
  deleteMode.choices = {"0: start at once", "1: confirm first", "2: confirm first",
                        "3: confirm first", "4: confirm first"};
  r.items.push_back(deleteMode);
  r.items.push_back(
      item(200132, ItemKind::Toggle, "Report only: change no drawing", "REPORT_ONLY"));
  r.items.push_back(
      item(200133, ItemKind::Toggle, "Back the drawing up before changing it", "BACKUP"));
  r.items.push_back(item(SITEM_REMOVE_ALL_DUP, ItemKind::Toggle, "Scope: every duplicate",
                         "REMOVE_ALL_DUP", HOOK_SCOPE));
  r.items.push_back(item(SITEM_REMOVE_SEL_DUP, ItemKind::Toggle,
                         "Scope: duplicates among the selected elements", "REMOVE_SEL_DUP",
                         HOOK_SCOPE));
  r.items.push_back(item(SITEM_REMOVE_ALL_SEL, ItemKind::Toggle, "Scope: every selected element",
                         "REMOVE_ALL_SEL", HOOK_SCOPE));
  r.items.push_back(
      item(SITEM_CRITERIA, ItemKind::Text, "Selection file (.sel)", "CRITERIA_NAME_"));
  r.items.push_back(item(SITEM_SELECTION, ItemKind::PushButton, "Element Selection...", nullptr,
                         HOOK_SELECTION_BUTTON));
  r.items.push_back(item(SITEM_FENCE, ItemKind::Toggle,
                         "Only elements inside the fence (not with a comparison list)", "FENCE",
                         HOOK_FILE_MODE_ITEM));
  DialogItem refs = item(200139, ItemKind::Option, "Reference files processed", "INC_REF_FILES");
  refs.choices = {"Every reference", "References with flag 1 on", "References with flag 3 on",
                  "None"};
  r.items.push_back(refs);
  r.items.push_back(item(200140, ItemKind::Toggle, "Write element file positions in the report",
                         "FILEPOS_IN_REPORT"));
  r.items.push_back(item(200141, ItemKind::Toggle, "Save the settings on exit without asking",
                         "AUTOSAVE_SETTTINGS"));

  // Report symbology: bound to the record the category names.
  DialogItem category = item(SITEM_REPORT_CATEGORY, ItemKind::Option,
                             "Elements of the design report", nullptr, HOOK_PAGE);
  category.choices = reportCategoryChoices();
  category.value = "0";
  r.items.push_back(category);
  const char* symCaptions[] = {
      "Put the copy on a level", "Level name",  "Give the copy a colour", "Colour index",
      "Give the copy a weight",  "Line weight", "Give the copy a style",  "Line style number"};
  for (int i = 0; i < 8; ++i) {
    const ItemKind kind =
        i % 2 == 0 ? ItemKind::Toggle : (i == 1 ? ItemKind::Text : ItemKind::Number);
    r.items.push_back(item(SITEM_SYMBOLOGY_FIRST + i, kind, symCaptions[i], nullptr,
                           i % 2 == 0 ? HOOK_ENABLE : 0));
  }

  DialogItem ok = item(SITEM_OK, ItemKind::PushButton, "OK");
  ok.isDefault = true;
  DialogItem cancel = item(SITEM_CANCEL, ItemKind::PushButton, "Cancel");
  cancel.isCancel = true;
  r.items.push_back(ok);
  r.items.push_back(cancel);
  defineDialogResource(r);
}

bool openSettingsDialog() {
  SettingsDialogState& st = dlgState();
  RunSettings& s = runSettings();
  st.snapshot = s;
  std::copy(std::begin(s.reportSymbology), std::end(s.reportSymbology),
            std::begin(st.symbologySnapshot));
  s.currentReportCategory = 2;
  st.rptSym = 2;
  DialogBox* db = mdlDialog_open(SETTINGS_DIALOG_ID);
  if (db == nullptr) return false;
  const std::string file = settingsFile().fileName;
  mdlWindow_titleSet(db, file.empty() ? std::string("Kelvara Settings")
                                      : "Kelvara Settings - " + abbreviateFileName(file, 32));
  return true;
}

}  // namespace kelvara
