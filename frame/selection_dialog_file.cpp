// The Element Selection dialog's file commands, opening and closing.
#include <filesystem>
#include <functional>

#include "frame/constraint_dialogs.h"
#include "frame/selection_dialog_state.h"
#include "host/config.h"
#include "host/file_picker.h"
#include "host/types.h"
#include "host/ui.h"
#include "selection/file.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

constexpr int HOOK_UNSAVED_BOX = 432;
constexpr const char* TEMP_FILE_NAME = "t$e$m$p$.sel";
constexpr const char* UNSAVED_BEFORE_PROCESSING =
    "One or more unsaved Selection Sets have been detected. \n\nThe list of Selection Sets must "
    "be saved to a file to be used in design file processing. \n\nTo save the Selection Sets to a "
    "file, select the \"Save\" or \n\"Save as...\" options from the \"File\" pulldown menu. "
    "\n\nPress OK to continue without saving the Selection Sets. \nPress CANCEL to return to the "
    "\"Element Selection\" dialog box.";

std::string folderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? folder : folder + "/";
}

void showFileInTitle(DialogBox* db) {
  const std::string& file = selDialog().currentFile;
  mdlWindow_titleSet(db, file.empty() ? std::string(SELECTION_DIALOG_TITLE)
                                      : std::string(SELECTION_DIALOG_TITLE) + " - " + file);
}

// Writes the dialog list to path, which becomes the current file. False when it cannot.
bool writeList(DialogBox* db, const std::string& path) {
  SelectionDialogState& st = selDialog();
  if (writeSelectionFile(path, st.list) != SUCCESS) return false;
  st.currentFile = path;
  st.saved = true;
  showFileInTitle(db);
  return true;
}

bool saveAs(DialogBox* db) {
  const std::string& current = selDialog().currentFile;
  FilePickerRequest request;
  request.title = "Save Selection Sets";
  request.filter = "*." + std::string(SELECTION_FILE_EXTENSION);
  request.startDirectory = current.empty() ? defaultSelectionDirectory() : folderOf(current);
  request.defaultName = std::filesystem::path(current).filename().string();
  std::string path;
  return mdlDialog_fileCreate(&path, request) == SUCCESS && writeList(db, path);
}

bool save(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (st.list.sets.empty()) {
    (void)mdlDialog_openInfoBox("There are no Selection Sets to save.");
    return false;
  }
  return st.currentFile.empty() ? saveAs(db) : writeList(db, st.currentFile);
}

// Reads the dialog list from a file that passed the header check.
bool readList(DialogBox* db, const std::string& path) {
  SelectionDialogState& st = selDialog();
  ParseError error;
  SelectionSetList list;
  if (readSelectionFile(path, list, &error) != SUCCESS) {
    showParseError(error);
    return false;
  }
  st.list = std::move(list);
  st.currentFile = path;
  st.saved = true;
  loadFirstSet(db);
  showFileInTitle(db);
  return true;
}

// The working copy holds criteria that no set of the list holds: offer to store them.
void updateDescriptionWarning(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (!st.modified) return;
  st.modified = false;
  workingFromRecord();
  for (const SelectionSet& set : st.list.sets) {
    SelectionSet named = st.working;
    named.name = set.name;
    named.levelList = set.levelList;
    if (named == set) return;
  }
  std::string setting;
  if (mdlSystem_getCfgVar(&setting, "TRV_SELECTION_UPDATEDESCRIPTIONWARNING") == SUCCESS &&
      setting == "No") {
    return;
  }
  const std::string question = "The criteria of the Selection Set \"" + st.working.name +
                               "\" have changed. Store them in the Selection Set?";
  if (mdlDialog_openMessageBox(MessageBoxButtons::YesNo, question) != ANSWER_YES) return;
  for (size_t i = 0; i < st.list.sets.size(); ++i) {
    if (sameSetName(st.list.sets[i].name, st.working.name)) {
      (void)updateSet(st.list, i, st.working);
      st.saved = false;
      return;
    }
  }
  addSet(st.list, st.working);
  refillSetList(db);
  st.saved = false;
}

void openFile(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  updateDescriptionWarning(db);
  if (!st.saved && mdlDialog_openAlert("Your Selection Sets have not been saved. Open another "
                                       "file anyway?") != ANSWER_OK) {
    return;
  }
  const std::string ext =
      st.currentFile.empty() ? std::string(SELECTION_FILE_EXTENSION)
                             : std::filesystem::path(st.currentFile).extension().string().substr(1);
  FilePickerRequest request;
  request.title = "Open Selection File";
  request.filter = "Select File (." + ext + ")\n*." + ext + "\nAll files (*.*)\n*.*";
  request.startDirectory =
      st.currentFile.empty() ? defaultSelectionDirectory() : folderOf(st.currentFile);
  std::vector<std::string> files;
  if (mdlDialog_fileOpen(&files, request) != SUCCESS || files.empty()) return;
  SelectionFileKind kind;
  ParseError error;
  if (checkSelectionFile(files.front(), &kind, &error) != SUCCESS) {
    showParseError(error);
    return;
  }
  (void)readList(db, files.front());
}

// Frees the list and closes; the accept callback gets the file and the set's name.
void closeKeeping(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  const SelectionDialogOpener opener = st.opener;
  const std::string file = st.currentFile;
  const std::string name = st.working.name;
  freeSets(st.list);
  (void)mdlDialog_closeCommandQueue(db);
  if (opener.accept) opener.accept(file, name);
}

void cancel(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  const SelectionDialogOpener opener = st.opener;
  freeSets(st.list);
  st.opener = {};
  (void)mdlDialog_closeCommandQueue(db);
  if (opener.cancel) opener.cancel();
}

void writeTemporaryFile(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (std::filesystem::path(st.currentFile).filename().string().rfind("temp", 0) != 0) {
    st.currentFile = defaultSelectionDirectory() + TEMP_FILE_NAME;
  }
  (void)writeList(db, st.currentFile);
}

void closeButton(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (st.list.sets.empty()) {
    if (mdlDialog_openAlert("There are no Selection Sets defined. Click <OK> to return to the "
                            "dialog box or <Cancel> to close.") != ANSWER_OK) {
      cancel(db);
    }
    return;
  }
  if (!st.currentFile.empty()) {
    updateDescriptionWarning(db);
    if (st.saved) return closeKeeping(db);
    if (!st.opener.modeFlag) {
      writeTemporaryFile(db);
      return closeKeeping(db);
    }
  }
  DialogBox* box = mdlDialog_open(SELECTION_UNSAVED_BOX_ID);
  if (box != nullptr)
    (void)mdlDialog_itemSetEnabledState(box, UNSAVED_SAVE, !st.currentFile.empty());
}

// Leaving through the processing command: with unsaved sets the user may return to the dialog;
// otherwise it closes keeping its changes and the processing starts.
void processButton(DialogBox* db) {
  SelectionDialogState& st = selDialog();
  if (!st.opener.process) return;
  updateDescriptionWarning(db);
  if (!st.saved && mdlDialog_openAlert(UNSAVED_BEFORE_PROCESSING) != ANSWER_OK) return;
  const std::function<void()> process = st.opener.process;
  closeKeeping(db);
  process();
}

void unsavedBoxHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  DialogBox* box = mdlDialog_find(m.dialogId);
  DialogBox* db = mdlDialog_find(SELECTION_DIALOG_ID);
  SelectionDialogState& st = selDialog();
  bool closes = false;
  switch (m.itemId) {
    case UNSAVED_SAVE:
      workingFromRecord();
      if (st.highlighted >= 0)
        (void)updateSet(st.list, static_cast<size_t>(st.highlighted), st.working);
      closes = writeList(db, st.currentFile);
      break;
    case UNSAVED_SAVE_AS:
      closes = saveAs(db);
      break;
    case UNSAVED_DISCARD:
      closes = true;
      break;
    default:
      break;
  }
  (void)mdlDialog_closeCommandQueue(box);
  if (closes && db != nullptr) closeKeeping(db);
}

}  // namespace

SelectionDialogState& selDialog() {
  static SelectionDialogState state;
  return state;
}

std::string& defaultSelectionDirectory() {
  static std::string folder;
  return folder;
}

void publishSelectRecord() {
  SelectRecord& r = selDialog().record;
  (void)mdlDialog_publishComplexVariable(
      "t_selection", "s__select",
      {textField("colors", r.colors, sizeof r.colors),
       textField("weights", r.weights, sizeof r.weights),
       textField("styles", r.styles, sizeof r.styles),
       textField("levels", r.levels, sizeof r.levels),
       textField("graphicGroups", r.graphicGroups, sizeof r.graphicGroups),
       textField("coordinateRange", r.coordinateRange, sizeof r.coordinateRange),
       intField("cellElesMustBeOnSeldLevel", &r.cellElesMustBeOnSeldLevel),
       textField("name", r.name, sizeof r.name), intField("levelsMode", &r.levelsMode)});
}

void recordFromWorking() {
  SelectionDialogState& st = selDialog();
  SelectRecord& r = st.record;
  const SelectionSet& w = st.working;
  assignCut(r.colors, sizeof r.colors, w.colors);
  assignCut(r.weights, sizeof r.weights, w.weights);
  assignCut(r.styles, sizeof r.styles, w.styles);
  assignCut(r.levels, sizeof r.levels, w.levels);
  assignCut(r.graphicGroups, sizeof r.graphicGroups, w.graphicGroups);
  assignCut(r.coordinateRange, sizeof r.coordinateRange, w.coordinateRange);
  r.cellElesMustBeOnSeldLevel = w.cellElesMustBeOnSeldLevel;
  assignCut(r.name, sizeof r.name, w.name);
  r.levelsMode = w.levelsMode;
  noteDialogChange();
}

void workingFromRecord() {
  SelectionDialogState& st = selDialog();
  const SelectRecord& r = st.record;
  SelectionSet& w = st.working;
  w.colors = r.colors;
  w.weights = r.weights;
  w.styles = r.styles;
  w.levels = r.levels;
  w.graphicGroups = r.graphicGroups;
  w.coordinateRange = r.coordinateRange;
  w.cellElesMustBeOnSeldLevel = static_cast<uint8_t>(r.cellElesMustBeOnSeldLevel);
  w.name = r.name;
  w.levelsMode = r.levelsMode;
}

void selectionDialogCreated(DialogBox* db) {
  showWorkingCopy(db);
  if (!selDialog().currentFile.empty()) {
    const std::string file = selDialog().currentFile;
    if (!readList(db, file)) selDialog().currentFile.clear();
  } else {
    loadFirstSet(db);
  }
}

void selectionFileCommand(DialogBox* db, int itemId) {
  switch (itemId) {
    case SEL_OPEN:
      return openFile(db);
    case SEL_SAVE:
      (void)save(db);
      return;
    case SEL_SAVE_AS:
      (void)saveAs(db);
      return;
    case SEL_CLOSE:
      return closeButton(db);
    case SEL_CANCEL:
      return cancel(db);
    case SEL_PROCESS:
      return processButton(db);
    default:
      return;
  }
}

void defineUnsavedBox() {
  (void)mdlDialog_hookPublish(HOOK_UNSAVED_BOX, unsavedBoxHook);
  DialogResource box;
  box.id = SELECTION_UNSAVED_BOX_ID;
  box.title = SELECTION_DIALOG_TITLE;
  box.hookId = HOOK_UNSAVED_BOX;
  box.modal = true;
  box.items = {makeItem(0, ItemKind::Label, "Your Selection Sets have not been saved."),
               makeItem(UNSAVED_SAVE, ItemKind::PushButton, "Save"),
               makeItem(UNSAVED_SAVE_AS, ItemKind::PushButton, "Save as..."),
               makeItem(UNSAVED_DISCARD, ItemKind::PushButton, "Close without saving"),
               makeItem(UNSAVED_RETURN, ItemKind::PushButton, "Return to the dialog")};
  box.items.back().isCancel = true;
  defineDialogResource(box);
}

bool openSelectionDialog(SelectionDialogOpener opener) {
  SelectionDialogState& st = selDialog();
  if (defaultSelectionDirectory().empty()) {
    defaultSelectionDirectory() = std::filesystem::current_path().string() + "/";
  }
  resetConstraintInputs();
  st.opener = std::move(opener);
  st.working = emptySelectionSet("DEFAULT");
  selectAllTypes(st.working);
  st.allTypes = true;
  st.list = {};
  st.currentFile.clear();
  st.saved = true;
  st.modified = false;
  st.highlighted = -1;
  publishSelectRecord();
  SelectionFileKind kind;
  ParseError error;
  if (!st.opener.initialFile.empty() &&
      checkSelectionFile(st.opener.initialFile, &kind, &error) == SUCCESS) {
    st.currentFile = st.opener.initialFile;
  }
  if (const DialogResource* resource = findDialogResource(SELECTION_DIALOG_ID)) {
    DialogResource copy = *resource;
    copy.modal = st.opener.modal;
    defineDialogResource(copy);
  }
  DialogBox* db = mdlDialog_open(SELECTION_DIALOG_ID);
  if (db == nullptr) return false;
  if (!st.opener.process) (void)mdlDialog_itemHide(db, SEL_PROCESS);
  return true;
}

}  // namespace kelvara
