#include "frame/list_items.h"

#include <algorithm>

#include "frame/messages.h"
#include "frame/models_dialog.h"
#include "host/design.h"
#include "host/file_picker.h"
#include "host/types.h"
#include "lists/comparison_editor.h"
#include "lists/file_lists.h"
#include "run/driver.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

constexpr int HOOK_PAIRS = 3;
constexpr int HOOK_LIST_BUTTONS = 300;
constexpr int HOOK_PICK_FILES = 306;
constexpr int HOOK_CREATE_LIST = 403;
constexpr int HOOK_CREATE_LIST_AS = 404;
constexpr int MSG_SELECT_LIST_TITLE = 95;
constexpr int MSG_SELECT_LIST_FILTER = 96;
constexpr const char* kDesignFilter =
    "MicroStation files (*.dgn;*.cel)\n*.dgn;*.cel\nAutoCAD files (*.dwg;*.dxf)\n*.dwg;*.dxf\n"
    "All files (*.*)\n*.*";

constexpr int kFileItems[] = {ITEM_FILE_LABEL, ITEM_PICKED_FILES, ITEM_PICK_FILES};
constexpr int kEditorItems[] = {ITEM_SELECT_LIST, ITEM_NEWER_FILE,  ITEM_OLDER_FILE,
                                ITEM_PAIRS,       ITEM_ADD_PAIR,    ITEM_DELETE_PAIR,
                                ITEM_CHANGE_PAIR, ITEM_CREATE_LIST, ITEM_CREATE_LIST_AS};

std::string activeFile() {
  std::string path;
  if (mdlModelRef_getFileName(mdlModelRef_getActive(), &path) != SUCCESS) return "";
  return path;
}

DialogItem listItem(int id, ItemKind kind, std::string caption, int hook, std::string field = "") {
  DialogItem item =
      makeItem(id, kind, std::move(caption), field.empty() ? "" : "s__sarnex." + field);
  item.hookId = hook;
  return item;
}

void redraw() {
  refreshListItems(mdlDialog_find(200002));
}

void pairsHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  std::string value;
  (void)mdlDialog_itemGetValue(mdlDialog_find(m.dialogId), m.itemId, &value);
  comparisonEditor().selected = std::atoi(value.c_str());
}

void listButtonsHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  ComparisonEditor& editor = comparisonEditor();
  RunSettings& s = runSettings();
  switch (m.itemId) {
    case ITEM_SELECT_LIST:
      (void)editor_selectListFile(s, messageText(MSG_SELECT_LIST_TITLE),
                                  messageText(MSG_SELECT_LIST_FILTER));
      break;
    case ITEM_ADD_PAIR:
      editor_addPair(editor, s);
      break;
    case ITEM_DELETE_PAIR:
      editor_deletePair(editor);
      break;
    case ITEM_CHANGE_PAIR:
      editor_changePair(editor, s);
      break;
    default:
      return;
  }
  redraw();
}

void createListHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  (void)editor_createBatchFile(comparisonEditor(), runSettings(), m.itemId == ITEM_CREATE_LIST_AS);
  redraw();
}

void listFileNameHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  RunSettings& s = runSettings();
  s.BATCH_FILE.assign(withListExtension(s.BATCH_FILE.str()));
  noteDialogChange();
}

void pickFilesHook(DialogMessage& m) {
  if (m.type == DialogMessageType::Button) selectDesignFilesCommand();
}

}  // namespace

std::vector<std::string>& pickedDesignFiles() {
  static std::vector<std::string> files;
  return files;
}

void defineListItemHooks() {
  (void)mdlDialog_hookPublish(HOOK_PAIRS, pairsHook);
  (void)mdlDialog_hookPublish(HOOK_LIST_BUTTONS, listButtonsHook);
  (void)mdlDialog_hookPublish(HOOK_PICK_FILES, pickFilesHook);
  (void)mdlDialog_hookPublish(HOOK_CREATE_LIST, createListHook);
  (void)mdlDialog_hookPublish(HOOK_CREATE_LIST_AS, createListHook);
  (void)mdlDialog_hookPublish(HOOK_LIST_FILE_NAME, listFileNameHook);
}

void insertListItems(std::vector<DialogItem>& items, int fileItemId, int listItemId) {
  const auto after = [&](int id) {
    const auto it = std::find_if(items.begin(), items.end(),
                                 [id](const DialogItem& item) { return item.id == id; });
    return it == items.end() ? items.end() : it + 1;
  };
  DialogItem picked = listItem(ITEM_PICKED_FILES, ItemKind::ListBox, "Design files picked", 0);
  picked.value = "-1";
  items.insert(after(fileItemId), {picked, listItem(ITEM_PICK_FILES, ItemKind::PushButton,
                                                    "Select design files...", HOOK_PICK_FILES)});
  DialogItem pairs = listItem(ITEM_PAIRS, ItemKind::ListBox, "Pairs", HOOK_PAIRS);
  pairs.columns = {"Newer file", "Older file"};
  pairs.value = "-1";
  items.insert(
      after(listItemId),
      {listItem(ITEM_SELECT_LIST, ItemKind::PushButton, "Select list...", HOOK_LIST_BUTTONS),
       listItem(ITEM_NEWER_FILE, ItemKind::Text, "Newer file", 0, "newerFileName"),
       listItem(ITEM_OLDER_FILE, ItemKind::Text, "Older file", 0, "olderFileName"),
       listItem(ITEM_ADD_PAIR, ItemKind::PushButton, "Add pair", HOOK_LIST_BUTTONS), pairs,
       listItem(ITEM_DELETE_PAIR, ItemKind::PushButton, "Delete pair", HOOK_LIST_BUTTONS),
       listItem(ITEM_CHANGE_PAIR, ItemKind::PushButton, "Change pair", HOOK_LIST_BUTTONS),
       listItem(ITEM_CREATE_LIST, ItemKind::PushButton, "Create list", HOOK_CREATE_LIST),
       listItem(ITEM_CREATE_LIST_AS, ItemKind::PushButton, "Create list as...",
                HOOK_CREATE_LIST_AS)});
}

void showListItems(DialogBox* db, bool fromList) {
  for (int id : kFileItems)
    (void)(fromList ? mdlDialog_itemHide(db, id) : mdlDialog_itemShow(db, id));
  for (int id : kEditorItems)
    (void)(fromList ? mdlDialog_itemShow(db, id) : mdlDialog_itemHide(db, id));
  if (pickedDesignFiles().empty()) (void)mdlDialog_itemHide(db, ITEM_PICKED_FILES);
}

std::string designFileCaption(const std::string& active) {
  const size_t picked = pickedDesignFiles().size();
  if (picked > 0) return "Design files: " + std::to_string(picked) + " picked";
  return "Design file: " + (active.empty() ? "(none open)" : active);
}

void refreshListItems(DialogBox* db) {
  if (db == nullptr) return;
  const auto& picked = pickedDesignFiles();
  if (DialogItem* label = mdlDialog_itemGetById(db, ITEM_FILE_LABEL)) {
    label->caption = designFileCaption(activeFile());
  }
  (void)mdlDialog_itemSetChoices(db, ITEM_PICKED_FILES, picked);
  const ComparisonEditor& editor = comparisonEditor();
  std::vector<std::string> rows;
  for (const FilePair& pair : editor.rows) rows.push_back(pair.first + "\t" + pair.second);
  (void)mdlDialog_itemSetChoices(db, ITEM_PAIRS, std::move(rows));
  (void)mdlDialog_itemSetValue(db, ITEM_PAIRS, std::to_string(editor.selected));
  showListItems(db, runSettings().FILE_MODE != 0);
  refreshMainModelList(db);
}

bool pickDesignFiles(std::vector<std::string>& files, const std::string& activePath) {
  std::string dir = directoryPart(files.empty() ? activePath : files.front());
  if (!dir.empty() && dir.back() != '/') dir += '/';
  FilePickerRequest request{"Select Design Files", kDesignFilter, dir, "", true};
  std::vector<std::string> chosen;
  if (mdlDialog_fileOpen(&chosen, request) != SUCCESS) return false;
  files = std::move(chosen);
  return true;
}

void selectDesignFilesCommand() {
  if (pickDesignFiles(pickedDesignFiles(), activeFile())) redraw();
}

}  // namespace kelvara
