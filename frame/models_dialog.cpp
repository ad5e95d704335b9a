// The "Input Files and Models" dialog, its minimised form and the main dialog's model list.
#include "frame/models_dialog.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "frame/list_items.h"
#include "frame/main_dialog.h"
#include "frame/report_dialogs.h"
#include "host/design.h"
#include "host/file_picker.h"
#include "host/parse_error.h"
#include "host/types.h"
#include "host/ui.h"
#include "lists/file_lists.h"
#include "run/driver.h"
#include "settings/run_settings.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

constexpr int HOOK_DIALOG = 8;
constexpr int HOOK_ROWS = 203;
constexpr int HOOK_FILTERS = 253;
constexpr int HOOK_BUTTONS = 308;
constexpr int HOOK_MINIMISED = 309;
constexpr int HOOK_OPEN = 310;

struct ModelsDialogState {
  int mode = MODEL_LIST_SELECTED_FILES;
  ModelPairList list;
};

ModelsDialogState& state() {
  static ModelsDialogState st;
  return st;
}

// The active design file's full name.
std::string activeFile() {
  std::string path;
  if (mdlModelRef_getFileName(mdlModelRef_getActive(), &path) != SUCCESS || path.empty()) return "";
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

std::string activeModel() {
  std::string name;
  if (mdlModelRef_getModelName(mdlModelRef_getActive(), &name) != SUCCESS) return "";
  return name;
}

// The files of the design file picker, or the active file when none are picked.
std::vector<std::string> leftFiles() {
  if (!pickedDesignFiles().empty()) return pickedDesignFiles();
  const std::string active = activeFile();
  return active.empty() ? std::vector<std::string>{} : std::vector<std::string>{active};
}

// Lists both sides afresh by the mode; the rows pair them by position (the active model of
// mode 0 pairs with every right-hand model). A text file's rows come only from loading it.
void listByMode() {
  ModelsDialogState& st = state();
  const RunSettings& s = runSettings();
  const std::string_view filter = s.MODEL_NAMES_FILTER.view();
  st.list = ModelPairList();
  ModelPairList& l = st.list;
  switch (st.mode) {
    case MODEL_LIST_ACTIVE_WITH_SELECTED:
      if (!activeFile().empty()) (void)listFileModels(activeFile(), activeModel(), 0, l.left);
      break;
    case MODEL_LIST_SELECTED_FILES:
      (void)listSelectedFileModels(leftFiles(), filter, s.MODEL_TYPES, l.left);
      break;
    case MODEL_LIST_ACTIVE_FILE_WITH_SELECTED:
      if (!activeFile().empty()) (void)listFileModels(activeFile(), filter, s.MODEL_TYPES, l.left);
      break;
    default:
      return;
  }
  (void)listSelectedFileModels(secondDesignFiles(), filter, s.MODEL_TYPES, l.right);
  const int nl = static_cast<int>(l.left.size());
  const int nr = static_cast<int>(l.right.size());
  if (st.mode == MODEL_LIST_ACTIVE_WITH_SELECTED) {
    for (int r = 0; r < nr; ++r) l.rows.push_back({nl > 0 ? 0 : -1, r, false});
    if (nr == 0 && nl > 0) l.rows.push_back({0, -1, false});
    return;
  }
  for (int i = 0; i < std::max(nl, nr); ++i)
    l.rows.push_back({i < nl ? i : -1, i < nr ? i : -1, false});
}

// Reads each record of a table again (times and sizes change with a run); a model that is gone
// keeps its record.
void rereadTable(ModelTable& table) {
  for (ModelRecord& record : table) {
    ModelTable fresh;
    if (listFileModels(record.fileName, record.modelName, MODEL_TYPES_ALL, fresh) < 0) continue;
    for (const ModelRecord& f : fresh)
      if (f.modelName == record.modelName) record = f;
  }
}

std::string sideCells(const ModelTable& table, int index) {
  if (index < 0 || static_cast<size_t>(index) >= table.size()) return "\t\t";
  const ModelRecord& r = table[static_cast<size_t>(index)];
  const std::string active = activeFile();
  const std::string file = displayedFileName(r.fileName, active);
  return (file == r.fileName ? r.shortName : file) + "\t" +
         displayedModelName(r, active, activeModel()) + "\t" + r.modifiedText;
}

// Redraws the title, the mode and the rows, keeping the rows chosen.
void redraw(DialogBox* db) {
  if (db == nullptr) return;
  const ModelsDialogState& st = state();
  mdlWindow_titleSet(db, modelListDialogTitle(st.mode));
  (void)mdlDialog_itemSetValue(db, MITEM_MODE, std::to_string(st.mode));
  std::vector<std::string> rows;
  for (const ModelPairRow& row : st.list.rows) {
    rows.push_back(std::string(row.tagged ? TAG_MARK : "") + "\t" +
                   sideCells(st.list.left, row.left) + "\t" + sideCells(st.list.right, row.right));
  }
  std::string chosen;
  (void)mdlDialog_itemGetValue(db, MITEM_ROWS, &chosen);
  const bool same = mdlDialog_itemGetById(db, MITEM_ROWS)->choices.size() == rows.size();
  (void)mdlDialog_itemSetChoices(db, MITEM_ROWS, std::move(rows));
  (void)mdlDialog_itemSetValue(db, MITEM_ROWS, same ? chosen : "");
  const bool selectedFiles = st.mode != MODEL_LIST_TEXT_FILE;
  (void)mdlDialog_itemSetEnabledState(db, MITEM_LEFT_FILES, st.mode == MODEL_LIST_SELECTED_FILES);
  (void)mdlDialog_itemSetEnabledState(db, MITEM_RIGHT_FILES, selectedFiles);
}

void relist() {
  listByMode();
  redraw(mdlDialog_find(MODELS_DIALOG_ID));
  refreshMainModelList(mdlDialog_find(MAIN_DIALOG_ID));
}

// Tags the chosen rows; when all of them carry the tag already, takes it off.
void tagChosen(DialogBox* db) {
  std::string value;
  (void)mdlDialog_itemGetValue(db, MITEM_ROWS, &value);
  const std::vector<int> chosen = listBoxSelection(*mdlDialog_itemGetById(db, MITEM_ROWS), value);
  auto& rows = state().list.rows;
  const bool allTagged = std::all_of(chosen.begin(), chosen.end(), [&](int r) {
    return static_cast<size_t>(r) < rows.size() && rows[static_cast<size_t>(r)].tagged;
  });
  for (int r : chosen)
    if (static_cast<size_t>(r) < rows.size()) rows[static_cast<size_t>(r)].tagged = !allTagged;
}

FilePickerRequest listFileRequest(const ModelsListFileDialog& d) {
  return {d.title, d.description + "\n" + d.filter + "\n", d.folder, "", false};
}

void saveTagged(DialogBox* db) {
  std::string incomplete;
  (void)mdlDialog_itemGetValue(db, MITEM_INCOMPLETE, &incomplete);
  std::vector<std::string> lines;
  ParseError error;
  if (modelsListLines(state().list, true, incomplete == "1", &lines, &error) != SUCCESS)
    return showParseError(error);
  std::string path;
  if (mdlDialog_fileCreate(&path, listFileRequest(saveModelsListDialog())) != SUCCESS) return;
  std::string notice;
  if (writeModelsList(path, lines, &notice, &error) != SUCCESS) return showParseError(error);
  (void)mdlDialog_openInfoBox(notice);
}

void loadList() {
  std::vector<std::string> chosen;
  if (mdlDialog_fileOpen(&chosen, listFileRequest(loadModelsListDialog())) != SUCCESS) return;
  std::string notice;
  ParseError error;
  const int result =
      loadModelsList(chosen.front(), runSettings().MODEL_TYPES, state().list, &notice, &error);
  if (result == SUCCESS) state().mode = MODEL_LIST_TEXT_FILE;
  redraw(mdlDialog_find(MODELS_DIALOG_ID));
  if (result != SUCCESS) return showParseError(error);
  (void)mdlDialog_openInfoBox(notice);
}

void dialogHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  switch (m.type) {
    case DialogMessageType::Init:
      listByMode();
      redraw(db);
      break;
    case DialogMessageType::Destroy:
      if (DialogBox* mini = mdlDialog_find(MODELS_MINIMISED_DIALOG_ID))
        (void)mdlDialog_closeCommandQueue(mini);
      if (DialogBox* main = mdlDialog_find(MAIN_DIALOG_ID)) {
        (void)mdlDialog_show(main);
        refreshMainModelList(main);
      }
      break;
    default:
      break;
  }
}

void filtersHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  if (m.itemId == MITEM_MODE) {
    std::string value;
    (void)mdlDialog_itemGetValue(mdlDialog_find(m.dialogId), MITEM_MODE, &value);
    state().mode = std::clamp(std::atoi(value.c_str()), 0, 3);
  }
  relist();
}

void buttonsHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  DialogBox* db = mdlDialog_find(MODELS_DIALOG_ID);
  switch (m.itemId) {
    case MITEM_LEFT_FILES:
      selectDesignFilesCommand();
      return relist();
    case MITEM_RIGHT_FILES:
      return selectSecondDesignFilesCommand();
    case MITEM_TAG:
      tagChosen(db);
      break;
    case MITEM_TAG_ALL:
    case MITEM_UNTAG_ALL:
      tagAllRows(state().list, m.itemId == MITEM_TAG_ALL);
      break;
    case MITEM_SAVE:
      return saveTagged(db);
    case MITEM_LOAD:
      return loadList();
    case MITEM_START:
      return startRunFromDialogs();
    case MITEM_MINIMISE:
      return modelListWindowCommand("MIN");
    case MITEM_CLOSE:
      (void)mdlDialog_closeCommandQueue(db);
      return;
    default:
      return;
  }
  redraw(db);
}

void minimisedHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) modelListWindowCommand("MAX");
}

void openHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) (void)openModelsDialog();
}

DialogItem hooked(int id, ItemKind kind, const char* caption, int hook,
                  const std::string& binding = "") {
  DialogItem item = makeItem(id, kind, caption, binding);
  item.hookId = hook;
  return item;
}

// Appends each (file, model) of `record` once.
void appendEntry(StringList* entries, std::set<std::string>& seen, const ModelRecord* record) {
  if (record == nullptr) return;
  const std::string entry = runEntryText(*record, runSettings().MODEL_TYPES);
  if (seen.insert(toLowerAscii(entry)).second) appendToList(entries, entry);
}

}  // namespace

ModelPairList& modelsDialogList() {
  return state().list;
}

int modelsDialogMode() {
  return state().mode;
}

std::vector<std::string>& secondDesignFiles() {
  static std::vector<std::string> files;
  return files;
}

void defineModelsDialog() {
  state() = {};
  secondDesignFiles().clear();
  (void)mdlDialog_hookPublish(HOOK_DIALOG, dialogHook);
  (void)mdlDialog_hookPublish(HOOK_FILTERS, filtersHook);
  (void)mdlDialog_hookPublish(HOOK_ROWS, [](DialogMessage&) {});
  (void)mdlDialog_hookPublish(HOOK_BUTTONS, buttonsHook);
  (void)mdlDialog_hookPublish(HOOK_MINIMISED, minimisedHook);
  (void)mdlDialog_hookPublish(HOOK_OPEN, openHook);
  DialogResource r;
  r.id = MODELS_DIALOG_ID;
  r.title = modelListDialogTitle(state().mode);
  r.hookId = HOOK_DIALOG;
  DialogItem mode = hooked(MITEM_MODE, ItemKind::Option, "Compare", HOOK_FILTERS);
  for (int i = 0; i < 4; ++i) {
    const std::string title = modelListDialogTitle(i);
    mode.choices.push_back(title.substr(title.find(" - ") + 3));
  }
  mode.value = std::to_string(state().mode);
  DialogItem types = hooked(MITEM_MODEL_TYPES, ItemKind::Option, "Model types", HOOK_FILTERS,
                            "s__sarnex.MODEL_TYPES");
  types.choices = {"Every model", "The default model", "Models that are not sheets", "Sheet models",
                   "The default model, as the active model"};
  DialogItem rows = hooked(MITEM_ROWS, ItemKind::ListBox, "Models", HOOK_ROWS);
  rows.multiSelect = true;
  rows.columns = {"Tag",        "Left file",   "Left model",    "Left modified",
                  "Right file", "Right model", "Right modified"};
  rows.activateItemId = MITEM_TAG;
  DialogItem incomplete =
      hooked(MITEM_INCOMPLETE, ItemKind::Toggle, "Save rows with one side missing", HOOK_BUTTONS);
  incomplete.value = "1";
  DialogItem start = hooked(MITEM_START, ItemKind::PushButton, "Start", HOOK_BUTTONS);
  start.isDefault = true;
  DialogItem close = hooked(MITEM_CLOSE, ItemKind::PushButton, "Close", HOOK_BUTTONS);
  close.isCancel = true;
  r.items = {mode,
             hooked(MITEM_LEFT_FILES, ItemKind::PushButton, "Left files...", HOOK_BUTTONS),
             hooked(MITEM_RIGHT_FILES, ItemKind::PushButton, "Right files...", HOOK_BUTTONS),
             types,
             hooked(MITEM_NAME_FILTER, ItemKind::Text, "Model names (* and ?)", HOOK_FILTERS,
                    "s__sarnex.MODEL_NAMES_FILTER"),
             rows,
             hooked(MITEM_TAG, ItemKind::PushButton, "Tag / untag", HOOK_BUTTONS),
             hooked(MITEM_TAG_ALL, ItemKind::PushButton, "Tag all", HOOK_BUTTONS),
             hooked(MITEM_UNTAG_ALL, ItemKind::PushButton, "Untag all", HOOK_BUTTONS),
             incomplete,
             hooked(MITEM_SAVE, ItemKind::PushButton, "Save tagged...", HOOK_BUTTONS),
             hooked(MITEM_LOAD, ItemKind::PushButton, "Load list...", HOOK_BUTTONS),
             start,
             hooked(MITEM_MINIMISE, ItemKind::PushButton, "Minimise", HOOK_BUTTONS),
             close};
  defineDialogResource(r);

  DialogResource mini;
  mini.id = MODELS_MINIMISED_DIALOG_ID;
  mini.title = "Kelvara - Input Files and Models";
  mini.items = {hooked(MINI_RESTORE, ItemKind::PushButton, "Restore", HOOK_MINIMISED)};
  defineDialogResource(mini);
}

std::vector<DialogItem> mainDialogModelItems() {
  DialogItem list = makeItem(ITEM_MODEL_LIST, ItemKind::ListBox, "Models a run covers");
  list.columns = {"File", "Model", "Modified"};
  list.value = "-1";
  return {list,
          hooked(ITEM_OPEN_MODELS, ItemKind::PushButton, "Input Files and Models...", HOOK_OPEN)};
}

void refreshMainModelList(DialogBox* main) {
  if (main == nullptr || mdlDialog_itemGetById(main, ITEM_MODEL_LIST) == nullptr) return;
  const RunSettings& s = runSettings();
  const bool shown = s.FILE_MODE == 0;
  for (int id : {ITEM_MODEL_LIST, ITEM_OPEN_MODELS})
    (void)(shown ? mdlDialog_itemShow(main, id) : mdlDialog_itemHide(main, id));
  if (!shown) return;
  ModelTable table;
  (void)listSelectedFileModels(leftFiles(), s.MODEL_NAMES_FILTER.view(), s.MODEL_TYPES, table);
  std::vector<std::string> rows;
  for (const ModelRecord& r : table) {
    const bool asActive = s.MODEL_TYPES == MODEL_TYPES_ACTIVE;
    rows.push_back(r.shortName + "\t" + (asActive ? ACTIVE_MODEL_ENTRY : r.modelName) + "\t" +
                   r.modifiedText);
  }
  if (mdlDialog_itemGetById(main, ITEM_MODEL_LIST)->choices != rows)
    (void)mdlDialog_itemSetChoices(main, ITEM_MODEL_LIST, std::move(rows));
}

DialogBox* openModelsDialog() {
  if (DialogBox* main = mdlDialog_find(MAIN_DIALOG_ID)) (void)mdlDialog_hide(main);
  DialogBox* db = mdlDialog_open(MODELS_DIALOG_ID);
  if (db == nullptr) {
    if (DialogBox* main = mdlDialog_find(MAIN_DIALOG_ID)) (void)mdlDialog_show(main);
  }
  return db;
}

void selectSecondDesignFilesCommand() {
  if (pickDesignFiles(secondDesignFiles(), activeFile())) relist();
}

void modelListWindowCommand(const std::string& argument) {
  DialogBox* db = mdlDialog_find(MODELS_DIALOG_ID);
  if (db == nullptr) return;
  const std::string word = toLowerAscii(argument);
  if (word == "max" || (word != "min" && db->hidden)) {
    (void)mdlDialog_show(db);
    if (DialogBox* mini = mdlDialog_find(MODELS_MINIMISED_DIALOG_ID))
      (void)mdlDialog_closeCommandQueue(mini);
    return;
  }
  (void)mdlDialog_hide(db);
  (void)mdlDialog_open(MODELS_MINIMISED_DIALOG_ID);
}

bool appendModelsDialogEntries(StringList* entries) {
  const ModelPairList& list = state().list;
  if (mdlDialog_find(MODELS_DIALOG_ID) == nullptr || list.rows.empty()) return false;
  const bool anyTagged =
      std::any_of(list.rows.begin(), list.rows.end(), [](const auto& r) { return r.tagged; });
  std::set<std::string> seen;
  for (size_t i = 0; i < list.rows.size(); ++i) {
    if (anyTagged && !list.rows[i].tagged) continue;
    const ModelRecord* left = nullptr;
    const ModelRecord* right = nullptr;
    ParseError error;
    if (selectedRowRecords(list, i, &left, &right, &error) != SUCCESS) {
      showParseError(error);
      continue;
    }
    appendEntry(entries, seen, left);
    appendEntry(entries, seen, right);
  }
  return true;
}

bool appendMainModelEntries(StringList* entries) {
  const std::vector<std::string> files = leftFiles();
  if (files.empty()) return false;
  const RunSettings& s = runSettings();
  ModelTable table;
  for (const std::string& file : files) {
    if (!mdlFile_validDesignFile(file)) {
      appendToList(entries, file);  // the run names it as skipped
      continue;
    }
    const size_t first = table.size();
    (void)listFileModels(file, s.MODEL_NAMES_FILTER.view(), s.MODEL_TYPES, table);
    for (size_t i = first; i < table.size(); ++i)
      appendToList(entries, runEntryText(table[i], s.MODEL_TYPES));
  }
  return true;
}

bool showModelsDialogAtFinish() {
  DialogBox* db = mdlDialog_find(MODELS_DIALOG_ID);
  if (db == nullptr) return false;
  rereadTable(state().list.left);
  rereadTable(state().list.right);
  redraw(db);
  modelListWindowCommand("MAX");
  return true;
}

void syncModelsDialog() {
  DialogBox* db = mdlDialog_find(MODELS_DIALOG_ID);
  if (db == nullptr) return;
  const bool idle = !duplicateRun().running && !reportsHoldStart();
  if (mdlDialog_itemGetById(db, MITEM_START)->enabled != idle)
    (void)mdlDialog_itemSetEnabledState(db, MITEM_START, idle);
}

}  // namespace kelvara
