// The report settings dialog: where text and design reports go and how design report elements
// look. Its choices keep the dependent settings consistent; OK keeps the edits once the two
// extensions differ, Cancel (or closing the window) restores the record as it was on opening.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame/messages.h"
#include "frame/report_dialogs.h"
#include "frame/settings_dialog.h"
#include "host/dialogs.h"
#include "host/file_picker.h"
#include "host/types.h"
#include "host/ui.h"
#include "lists/file_lists.h"
#include "settings/run_settings.h"

namespace kelvara {

namespace {

constexpr int HOOK_DIALOG = 7;
constexpr int HOOK_CHOICE = 506;
constexpr int HOOK_PICK = 507;
constexpr int MSG_SAME_EXTENSIONS = 62;
constexpr const char* BAD_EXTENSION = "First character must be alpahnumeric";

struct ReportSettingsState {
  RunSettings snapshot;
  int record = 2;  // the report symbology record the symbology items show
};

ReportSettingsState& dlg() {
  static ReportSettingsState st;
  return st;
}

const char* const SYMBOLOGY_FIELDS[] = {"useLevel",  "levelValue",  "useColor", "colorValue",
                                        "useWeight", "weightValue", "useStyle", "styleValue"};

// The items that the enabling rules switch on and off.
const int DEPENDENT[] = {RITEM_TEXT_EXTENSION,      RITEM_WORD_WRAP,
                         RITEM_WRAP_COLUMN,         RITEM_ONE_REPORT,
                         RITEM_REPORT_FILE,         RITEM_ONE_EACH,
                         RITEM_TEXT_APPEND_EXT,     RITEM_TEXT_SAME_DIR,
                         RITEM_TEXT_DIFF_DIR,       RITEM_TEXT_DIR,
                         RITEM_DESIGN_EXTENSION,    RITEM_DESIGN_APPEND_EXT,
                         RITEM_DESIGN_SAME_DIR,     RITEM_DESIGN_DIFF_DIR,
                         RITEM_DESIGN_DIR,          RITEM_CATEGORY,
                         RITEM_PICK_DESIGN_DIR,     RITEM_PICK_TEXT_DIR,
                         RITEM_PICK_REPORT_FILE,    RITEM_SYMBOLOGY_FIRST,
                         RITEM_SYMBOLOGY_FIRST + 1, RITEM_SYMBOLOGY_FIRST + 2,
                         RITEM_SYMBOLOGY_FIRST + 3, RITEM_SYMBOLOGY_FIRST + 4,
                         RITEM_SYMBOLOGY_FIRST + 5, RITEM_SYMBOLOGY_FIRST + 6,
                         RITEM_SYMBOLOGY_FIRST + 7};

// Sets the dependent items' enabled states by the report settings (and settles the two choices
// that must hold a value while their group is on).
void applyEnablingRules(DialogBox* db) {
  RunSettings& s = runSettings();
  std::vector<int> on;
  if (s.TEXT_REPORT__ != 0) {
    on.insert(on.end(), {RITEM_TEXT_EXTENSION, RITEM_WORD_WRAP, RITEM_ONE_REPORT, RITEM_ONE_EACH});
    if (s.USE_WORD_WRAP_TEXT_REPORT != 0) on.push_back(RITEM_WRAP_COLUMN);
    if (s.ONE_TEXT_EACH_REPORT == 0) s.ONE_TEXT_REPORT = 1;
    if (s.ONE_TEXT_REPORT != 0) {
      on.insert(on.end(), {RITEM_REPORT_FILE, RITEM_PICK_REPORT_FILE});
    } else {
      on.insert(on.end(), {RITEM_TEXT_APPEND_EXT, RITEM_TEXT_SAME_DIR, RITEM_TEXT_DIFF_DIR});
      if (s.DIFF_DIR_TEXT_REPORT != 0) on.insert(on.end(), {RITEM_TEXT_DIR, RITEM_PICK_TEXT_DIR});
    }
  }
  if (s.DESIGN_REPORT__ != 0) {
    on.insert(on.end(), {RITEM_DESIGN_EXTENSION, RITEM_DESIGN_APPEND_EXT, RITEM_DESIGN_SAME_DIR,
                         RITEM_DESIGN_DIFF_DIR, RITEM_CATEGORY});
    if (s.DIFF_DIR_DESIGN_REPORT != 0) {
      on.insert(on.end(), {RITEM_DESIGN_DIR, RITEM_PICK_DESIGN_DIR});
    } else {
      s.SAME_DIR_DESIGN_REPORT = 1;
    }
    const ReportSymbology& r = s.reportSymbology[dlg().record - 1];
    const int32_t flags[] = {r.useLevel, r.useColor, r.useWeight, r.useStyle};
    for (int i = 0; i < 4; ++i) {
      on.push_back(RITEM_SYMBOLOGY_FIRST + 2 * i);
      if (flags[i] != 0) on.push_back(RITEM_SYMBOLOGY_FIRST + 2 * i + 1);
    }
  }
  for (int id : DEPENDENT) {
    const bool enabled = std::find(on.begin(), on.end(), id) != on.end();
    const DialogItem* item = mdlDialog_itemGetById(db, id);
    if (item != nullptr && item->enabled != enabled) {
      (void)mdlDialog_itemSetEnabledState(db, id, enabled);
    }
  }
  noteDialogChange();  // the record may have changed behind the items
}

void showRecord(DialogBox* db, int record) {
  dlg().record = record;
  runSettings().currentReportCategory = record;
  (void)writeBoundValue("i__rptSym.value", std::to_string(record));
  const std::string prefix = "s__sarnex.reportSymbology[" + std::to_string(record) + "].";
  for (int i = 0; i < 8; ++i) {
    if (DialogItem* item = mdlDialog_itemGetById(db, RITEM_SYMBOLOGY_FIRST + i)) {
      item->binding = prefix + SYMBOLOGY_FIELDS[i];
    }
  }
}

// An extension must begin with a letter or digit; else the host beeps, says so and the
// extension goes back to its factory value.
template <size_t N>
void checkExtension(FixedText<N>& extension, const char* factory) {
  if (std::isalnum(static_cast<unsigned char>(extension.data[0])) != 0) return;
  mdlUtil_beep(1);
  (void)mdlOutput_error(BAD_EXTENSION);
  extension.assign(factory);
}

// A report's same-folder and other-folder choices exclude each other: after one of them changed
// the other takes the opposite value, and the folder name is the active file's folder while the
// other folder is chosen, empty otherwise.
void settleFolderChoice(bool sameChanged, int32_t& same, int32_t& other, FixedText<256>& dir,
                        const std::string& defaultDir) {
  if (sameChanged) {
    other = same == 0 ? 1 : 0;
  } else {
    same = other == 0 ? 1 : 0;
  }
  dir.assign(other != 0 ? defaultDir : std::string());
}

// Adjusts the settings that depend on the choice just changed.
void adjustDependents(int itemId) {
  RunSettings& s = runSettings();
  const std::string defaultDir = activeFileDirectory();
  auto defaultName = [&s] { return defaultTextReportName(s.TEXT_EXTENSION.view()); };
  switch (itemId) {
    case RITEM_TEXT_REPORT:
      if (s.TEXT_REPORT__ != 0) s.TEXT_EXTENSION.assign("trf");
      s.ONE_TEXT_REPORT = s.TEXT_REPORT__ != 0 ? 1 : 0;
      s.TEXT_REPORT_FILE_NAME.assign(s.TEXT_REPORT__ != 0 ? defaultName() : "");
      s.ONE_TEXT_EACH_REPORT = s.TEXT_APPEND_EXT = s.SAME_DIR_TEXT_REPORT = 0;
      s.DIFF_DIR_TEXT_REPORT = s.USE_WORD_WRAP_TEXT_REPORT = 0;
      s.TEXT_REPORT_DIR_NAME.clear();
      break;
    case RITEM_ONE_REPORT:
      if (s.ONE_TEXT_REPORT != 0) s.TEXT_APPEND_EXT = 0;
      s.TEXT_REPORT_FILE_NAME.assign(s.ONE_TEXT_REPORT != 0 ? defaultName() : "");
      s.DIFF_DIR_TEXT_REPORT = 0;
      s.SAME_DIR_TEXT_REPORT = s.ONE_TEXT_REPORT == 0 ? 1 : 0;
      s.TEXT_REPORT_DIR_NAME.clear();
      s.ONE_TEXT_EACH_REPORT = s.ONE_TEXT_REPORT == 0 ? 1 : 0;
      break;
    case RITEM_ONE_EACH:
      if (s.ONE_TEXT_REPORT == 0) s.TEXT_APPEND_EXT = 0;
      s.TEXT_REPORT_FILE_NAME.assign(s.ONE_TEXT_REPORT == 0 ? defaultName() : "");
      s.DIFF_DIR_TEXT_REPORT = 0;
      s.SAME_DIR_TEXT_REPORT = s.ONE_TEXT_REPORT;
      s.TEXT_REPORT_DIR_NAME.clear();
      s.ONE_TEXT_REPORT = s.ONE_TEXT_EACH_REPORT == 0 ? 1 : 0;
      break;
    case RITEM_TEXT_SAME_DIR:
    case RITEM_TEXT_DIFF_DIR:
      settleFolderChoice(itemId == RITEM_TEXT_SAME_DIR, s.SAME_DIR_TEXT_REPORT,
                         s.DIFF_DIR_TEXT_REPORT, s.TEXT_REPORT_DIR_NAME, defaultDir);
      break;
    case RITEM_TEXT_EXTENSION:
      checkExtension(s.TEXT_EXTENSION, "trf");
      if (s.ONE_TEXT_REPORT != 0) s.TEXT_REPORT_FILE_NAME.assign(defaultName());
      break;
    case RITEM_DESIGN_REPORT:
      if (s.DESIGN_REPORT__ != 0) s.DESIGN_EXTENSION.assign("drf");
      s.SAME_DIR_DESIGN_REPORT = s.DESIGN_REPORT__;
      s.DESIGN_APPEND_EXT = s.DIFF_DIR_DESIGN_REPORT = 0;
      s.DESIGN_REPORT_DIR_NAME.clear();
      break;
    case RITEM_DESIGN_SAME_DIR:
    case RITEM_DESIGN_DIFF_DIR:
      settleFolderChoice(itemId == RITEM_DESIGN_SAME_DIR, s.SAME_DIR_DESIGN_REPORT,
                         s.DIFF_DIR_DESIGN_REPORT, s.DESIGN_REPORT_DIR_NAME, defaultDir);
      break;
    case RITEM_DESIGN_EXTENSION:
      checkExtension(s.DESIGN_EXTENSION, "drf");
      break;
    default:
      break;
  }
}

bool sameExtensions() {
  std::string text = runSettings().TEXT_EXTENSION.str();
  std::string design = runSettings().DESIGN_EXTENSION.str();
  for (std::string* t : {&text, &design}) {
    for (char& c : *t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text == design;
}

void dialogHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  switch (m.type) {
    case DialogMessageType::Init:
      showRecord(db, dlg().record);
      applyEnablingRules(db);
      break;
    case DialogMessageType::Button:
      if (m.itemId == RITEM_OK) {
        if (sameExtensions()) {
          (void)showMessage(MSG_SAME_EXTENSIONS, nullptr, true);
          return;
        }
        (void)mdlDialog_closeCommandQueue(db);
      } else if (m.itemId == RITEM_CANCEL) {
        runSettings() = dlg().snapshot;
        (void)mdlDialog_closeCommandQueue(db);
      }
      break;
    case DialogMessageType::CloseRequest:
      runSettings() = dlg().snapshot;  // closing the window is a cancel
      break;
    case DialogMessageType::Destroy:
      settings_rebuildReportMessage(runSettings());
      enableReportButtonsByExistence();
      noteDialogChange();
      break;
    case DialogMessageType::Create:
    case DialogMessageType::FocusIn:
    case DialogMessageType::ItemChanged:
      break;
  }
}

void choiceHook(DialogMessage& m) {
  if (m.type != DialogMessageType::ItemChanged) return;
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (m.itemId == RITEM_CATEGORY) {
    std::string row;
    (void)mdlDialog_itemGetValue(db, RITEM_CATEGORY, &row);
    showRecord(db, reportCategoryRecord(std::atoi(row.c_str())));
  }
  adjustDependents(m.itemId);
  applyEnablingRules(db);
}

// `name` with its extension (after the last '.' of its file part) replaced by `extension`.
std::string withExtension(const std::string& name, const std::string& extension) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExt ? name.substr(0, dot) : name) + "." + extension;
}

// The folder to start a dialog in: `path`'s own folder, or the active design file's.
std::string startFolder(const std::string& path, bool isFolder) {
  const std::string folder = isFolder ? path : directoryPart(path);
  return folder.empty() ? activeFileDirectory() : folder;
}

void pickHook(DialogMessage& m) {
  if (m.type != DialogMessageType::Button) return;
  RunSettings& s = runSettings();
  std::string chosen;
  std::vector<std::string> files;
  switch (m.itemId) {
    case RITEM_PICK_DESIGN_DIR:
    case RITEM_PICK_TEXT_DIR: {
      const bool design = m.itemId == RITEM_PICK_DESIGN_DIR;
      auto& field = design ? s.DESIGN_REPORT_DIR_NAME : s.TEXT_REPORT_DIR_NAME;
      const FilePickerRequest request{
          design ? "Select design report directory" : "Select text report directory", "",
          startFolder(field.str(), true), "", false};
      if (mdlDialog_folderOpen(&chosen, request) != SUCCESS) return;
      field.assign(chosen);
      break;
    }
    case RITEM_PICK_VIEWER: {
      const FilePickerRequest request{
          "Select text file viewer", "Text File Viewer\n*.exe\nAll files (*.*)\n*.*\n",
          startFolder(s.TEXT_REPORT_EDITOR_NAME.str(), false), "", false};
      if (mdlDialog_fileOpen(&files, request) != SUCCESS) return;
      s.TEXT_REPORT_EDITOR_NAME.assign(files.front());
      break;
    }
    case RITEM_PICK_REPORT_FILE: {
      const std::string ext = s.TEXT_EXTENSION.str();
      const std::string current = s.TEXT_REPORT_FILE_NAME.str();
      const std::string proposed = current.empty() ? "" : withExtension(current, ext);
      const FilePickerRequest request{"Name text report", "Text Report File\n*." + ext + "\n",
                                      startFolder(current, false),
                                      proposed.substr(proposed.find_last_of('/') + 1), false};
      if (mdlDialog_fileCreate(&chosen, request) != SUCCESS) return;
      s.TEXT_REPORT_FILE_NAME.assign(chosen);
      break;
    }
    default:
      return;
  }
  noteDialogChange();
}

DialogItem item(int id, ItemKind kind, const char* caption, const char* field = nullptr,
                bool choice = false) {
  DialogItem it = makeItem(id, kind, caption, field ? std::string("s__sarnex.") + field : "");
  if (choice) it.hookId = HOOK_CHOICE;
  return it;
}

}  // namespace

void defineReportSettingsDialog() {
  dlg() = {};
  (void)mdlDialog_hookPublish(HOOK_DIALOG, dialogHook);
  (void)mdlDialog_hookPublish(HOOK_CHOICE, choiceHook);
  (void)mdlDialog_hookPublish(HOOK_PICK, pickHook);
  const auto pick = [](int id, const char* caption) {
    DialogItem it = makeItem(id, ItemKind::PushButton, caption);
    it.hookId = HOOK_PICK;
    return it;
  };
  DialogResource r;
  r.id = REPORT_SETTINGS_DIALOG_ID;
  r.title = "Report Settings";
  r.hookId = HOOK_DIALOG;
  r.modal = true;
  const bool choice = true;
  r.items = {
      item(200080, ItemKind::Group, "Text report"),
      item(RITEM_TEXT_REPORT, ItemKind::Toggle, "Write a text report", "TEXT_REPORT__", choice),
      item(RITEM_TEXT_EXTENSION, ItemKind::Text, "Extension", "TEXT_EXTENSION", choice),
      item(RITEM_ONE_REPORT, ItemKind::Toggle, "One report for the whole run", "ONE_TEXT_REPORT",
           choice),
      item(RITEM_REPORT_FILE, ItemKind::Text, "Report file", "TEXT_REPORT_FILE_NAME"),
      pick(RITEM_PICK_REPORT_FILE, "Name report file..."),
      item(RITEM_ONE_EACH, ItemKind::Toggle, "One report per design file and model",
           "ONE_TEXT_EACH_REPORT", choice),
      item(RITEM_TEXT_APPEND_EXT, ItemKind::Toggle, "Keep the design file's extension in its name",
           "TEXT_APPEND_EXT"),
      item(RITEM_TEXT_SAME_DIR, ItemKind::Toggle, "Beside each design file", "SAME_DIR_TEXT_REPORT",
           choice),
      item(RITEM_TEXT_DIFF_DIR, ItemKind::Toggle, "In one folder", "DIFF_DIR_TEXT_REPORT", choice),
      item(RITEM_TEXT_DIR, ItemKind::Text, "Text report folder", "TEXT_REPORT_DIR_NAME"),
      pick(RITEM_PICK_TEXT_DIR, "Choose text report folder..."),
      item(RITEM_WORD_WRAP, ItemKind::Toggle, "Wrap long lines", "USE_WORD_WRAP_TEXT_REPORT",
           choice),
      item(RITEM_WRAP_COLUMN, ItemKind::Number, "Wrap at column", "WORP_WRAP_POS_TEXT_REPORT"),
      item(RITEM_VIEWER, ItemKind::Text, "Program that shows text reports (empty: the browser)",
           "TEXT_REPORT_EDITOR_NAME"),
      pick(RITEM_PICK_VIEWER, "Choose viewer program..."),
      item(200081, ItemKind::Group, "Design report"),
      item(RITEM_DESIGN_REPORT, ItemKind::Toggle, "Write a design report", "DESIGN_REPORT__",
           choice),
      item(RITEM_DESIGN_EXTENSION, ItemKind::Text, "Extension", "DESIGN_EXTENSION", choice),
      item(RITEM_DESIGN_APPEND_EXT, ItemKind::Toggle,
           "Keep the design file's extension in its name", "DESIGN_APPEND_EXT"),
      item(RITEM_DESIGN_SAME_DIR, ItemKind::Toggle, "Beside each design file",
           "SAME_DIR_DESIGN_REPORT", choice),
      item(RITEM_DESIGN_DIFF_DIR, ItemKind::Toggle, "In one folder", "DIFF_DIR_DESIGN_REPORT",
           choice),
      item(RITEM_DESIGN_DIR, ItemKind::Text, "Design report folder", "DESIGN_REPORT_DIR_NAME"),
      pick(RITEM_PICK_DESIGN_DIR, "Choose design report folder..."),
  };
  DialogItem category = item(RITEM_CATEGORY, ItemKind::Option, "Symbology of", nullptr, choice);
  category.choices = reportCategoryChoices();
  category.value = "0";
  r.items.push_back(category);
  const char* captions[] = {"Put on a level", "Level name",  "Give a colour", "Colour index",
                            "Give a weight",  "Line weight", "Give a style",  "Line style number"};
  for (int i = 0; i < 8; ++i) {
    const ItemKind kind =
        i % 2 == 0 ? ItemKind::Toggle : (i == 1 ? ItemKind::Text : ItemKind::Number);
    r.items.push_back(item(RITEM_SYMBOLOGY_FIRST + i, kind, captions[i], nullptr, i % 2 == 0));
  }
  DialogItem ok = item(RITEM_OK, ItemKind::PushButton, "OK");
  ok.isDefault = true;
  DialogItem cancel = item(RITEM_CANCEL, ItemKind::PushButton, "Cancel");
  cancel.isCancel = true;
  r.items.push_back(ok);
  r.items.push_back(cancel);
  defineDialogResource(r);
}

bool openReportSettingsDialog() {
  dlg().snapshot = runSettings();
  dlg().record = reportCategoryRecord(0);
  DialogBox* db = mdlDialog_open(REPORT_SETTINGS_DIALOG_ID);
  if (db == nullptr) return false;
  (void)mdlDialog_itemSetValue(db, RITEM_CATEGORY, "0");
  return true;
}

}  // namespace kelvara
