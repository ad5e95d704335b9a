// The file dialog: its listing of the current folder, the file-name field and the answer.
#include "host/file_picker.h"

#include <fnmatch.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/dialogs.h"
#include "host/host_loop.h"
#include "host/types.h"
#include "host/ui.h"

namespace kelvara {

namespace {

namespace fs = std::filesystem;

constexpr int kPickerHook = -102;

struct Row {
  std::string name;
  bool folder = false;
};

// The open dialog's state (one file dialog at a time).
struct Picker {
  bool open = false;
  bool create = false;
  bool folders = false;  // the folder form
  FilePickerRequest request;
  std::vector<FileFilter> filters;
  std::string folder;  // absolute, with a trailing '/'
  std::vector<Row> rows;
  int result = ACTION_CANCEL;
  std::vector<std::string> chosen;
};

Picker& picker() {
  static Picker p;
  return p;
}

std::string withSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

bool isFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

// The absolute, normal form of `path` taken from the current folder.
std::string absoluteFrom(const std::string& path) {
  const fs::path p = path.starts_with('/') ? fs::path(path) : fs::path(picker().folder) / path;
  return p.lexically_normal().string();
}

std::vector<std::string> splitPatterns(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(';', start), text.size());
    std::string pattern = text.substr(start, end - start);
    pattern.erase(0, pattern.find_first_not_of(' '));
    pattern.erase(pattern.find_last_not_of(' ') + 1);
    if (!pattern.empty()) out.push_back(pattern);
    start = end + 1;
  }
  return out;
}

// The filter chosen in the dialog.
const FileFilter& chosenFilter(DialogBox* db) {
  std::string value;
  (void)mdlDialog_itemGetValue(db, PICKER_TYPE, &value);
  const auto& filters = picker().filters;
  return filters[std::min<size_t>(std::strtoul(value.c_str(), nullptr, 10), filters.size() - 1)];
}

// Lists the current folder into the dialog's list box.
void refill(DialogBox* db) {
  Picker& p = picker();
  p.rows.clear();
  std::vector<Row> folders;
  std::vector<Row> files;
  std::error_code ec;
  const auto& patterns = chosenFilter(db).patterns;
  for (fs::directory_iterator it(p.folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.starts_with('.')) continue;
    std::error_code kindError;
    if (it->is_directory(kindError)) {
      folders.push_back({name, true});
    } else if (!p.folders && it->is_regular_file(kindError) && fileNameMatches(patterns, name)) {
      files.push_back({name, false});
    }
  }
  if (ec) (void)mdlOutput_error("Cannot list " + p.folder + ": " + ec.message());
  const auto byName = [](const Row& a, const Row& b) { return a.name < b.name; };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(files.begin(), files.end(), byName);
  if (p.folder != "/") p.rows.push_back({"..", true});
  p.rows.insert(p.rows.end(), folders.begin(), folders.end());
  p.rows.insert(p.rows.end(), files.begin(), files.end());
  std::vector<std::string> shown;
  for (const Row& row : p.rows) shown.push_back(row.folder ? row.name + "/" : row.name);
  if (DialogItem* folder = mdlDialog_itemGetById(db, PICKER_FOLDER)) folder->caption = p.folder;
  (void)mdlDialog_itemSetChoices(db, PICKER_LIST, std::move(shown));
  (void)mdlDialog_itemSetValue(db, PICKER_LIST,
                               mdlDialog_itemGetById(db, PICKER_LIST)->multiSelect ? "" : "-1");
}

// The names in the file-name field: one name, or several each in double quotes.
std::vector<std::string> fieldNames(const std::string& text) {
  std::vector<std::string> names;
  if (text.find('"') == std::string::npos) {
    const size_t first = text.find_first_not_of(' ');
    if (first != std::string::npos)
      names.push_back(text.substr(first, text.find_last_not_of(' ') + 1 - first));
    return names;
  }
  for (size_t open = text.find('"'); open != std::string::npos;) {
    const size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    if (close > open + 1) names.push_back(text.substr(open + 1, close - open - 1));
    open = text.find('"', close + 1);
  }
  return names;
}

// Chosen rows go into the file-name field: one folder, or the files among them.
void selectionToField(DialogBox* db) {
  const DialogItem* list = mdlDialog_itemGetById(db, PICKER_LIST);
  std::string value;
  (void)mdlDialog_itemGetValue(db, PICKER_LIST, &value);
  const std::vector<int> rows = listBoxSelection(*list, value);
  std::vector<std::string> files;
  for (int row : rows) {
    const Row& r = picker().rows[static_cast<size_t>(row)];
    if (!r.folder) files.push_back(r.name);
  }
  std::string text;
  if (files.empty() && rows.size() == 1) {
    text = picker().rows[static_cast<size_t>(rows[0])].name + "/";
  } else if (files.size() == 1) {
    text = files[0];
  } else {
    for (const std::string& name : files) text += (text.empty() ? "\"" : " \"") + name + "\"";
  }
  if (!text.empty()) (void)mdlDialog_itemSetValue(db, PICKER_NAME, text);
}

void finish(DialogBox* db, int result, std::vector<std::string> chosen) {
  picker().result = result;
  picker().chosen = std::move(chosen);
  (void)mdlDialog_closeCommandQueue(db);
}

// The create form's extension: the chosen filter's first pattern "*.ext" gives ".ext".
std::string defaultExtension(DialogBox* db) {
  const auto& patterns = chosenFilter(db).patterns;
  if (patterns.empty() || !patterns[0].starts_with("*.")) return "";
  const std::string ext = patterns[0].substr(1);
  return ext.find_first_of("*?") == std::string::npos ? ext : "";
}

// The default button: a folder in the field is opened, files are chosen.
void accept(DialogBox* db) {
  Picker& p = picker();
  std::string text;
  (void)mdlDialog_itemGetValue(db, PICKER_NAME, &text);
  const std::vector<std::string> names = fieldNames(text);
  if (names.empty()) return;
  if (names.size() == 1 && isFolder(absoluteFrom(names[0]))) {
    p.folder = withSlash(absoluteFrom(names[0]));
    (void)mdlDialog_itemSetValue(db, PICKER_NAME, "");
    refill(db);
    return;
  }
  if (p.folders) {
    (void)mdlDialog_openInfoBox("Cannot find the folder \"" + absoluteFrom(names[0]) + "\".");
    return;
  }
  if (names.size() > 1 && (p.create || !p.request.multiple)) {
    (void)mdlDialog_openInfoBox("Choose one file.");
    return;
  }
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    std::string path = absoluteFrom(name);
    if (p.create && fs::path(name).extension().empty()) path += defaultExtension(db);
    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    if (!p.create && !fs::is_regular_file(path, ec)) {
      (void)mdlDialog_openInfoBox("Cannot find the file \"" + path + "\".");
      return;
    }
    if (p.create && exists) {
      if (!fs::is_regular_file(path, ec)) {
        (void)mdlDialog_openInfoBox("\"" + path + "\" is not a file.");
        return;
      }
      const std::string question = "\"" + path + "\" already exists. Do you want to replace it?";
      if (mdlDialog_openMessageBox(MessageBoxButtons::YesNo, question) != ANSWER_YES) return;
    }
    if (p.create && !isFolder(fs::path(path).parent_path().string())) {
      (void)mdlDialog_openInfoBox("The folder of \"" + path + "\" does not exist.");
      return;
    }
    paths.push_back(path);
  }
  finish(db, SUCCESS, std::move(paths));
}

// The folder form's choice: the folder named in the field, else the folder shown.
void useFolder(DialogBox* db) {
  std::string text;
  (void)mdlDialog_itemGetValue(db, PICKER_NAME, &text);
  const std::vector<std::string> names = fieldNames(text);
  std::string folder = picker().folder;
  if (names.size() == 1) {
    if (!isFolder(absoluteFrom(names[0]))) {
      (void)mdlDialog_openInfoBox("Cannot find the folder \"" + absoluteFrom(names[0]) + "\".");
      return;
    }
    folder = withSlash(absoluteFrom(names[0]));
  }
  finish(db, SUCCESS, {folder});
}

void pickerHook(DialogMessage& m) {
  DialogBox* db = mdlDialog_find(m.dialogId);
  if (db == nullptr) return;
  switch (m.type) {
    case DialogMessageType::Init:
      refill(db);
      break;
    case DialogMessageType::ItemChanged:
      if (m.itemId == PICKER_LIST) selectionToField(db);
      if (m.itemId == PICKER_TYPE) refill(db);
      break;
    case DialogMessageType::Button:
      if (m.itemId == PICKER_OK) accept(db);
      if (m.itemId == PICKER_CANCEL) finish(db, ACTION_CANCEL, {});
      if (m.itemId == PICKER_USE_FOLDER) useFolder(db);
      break;
    default:
      break;
  }
}

DialogItem pickerItem(int id, ItemKind kind, std::string caption) {
  return makeItem(id, kind, std::move(caption));
}

int runPicker(const FilePickerRequest& request, bool create, bool folders = false) {
  Picker& p = picker();
  if (p.open) return ERROR;
  p = Picker{};
  p.open = true;
  p.create = create;
  p.folders = folders;
  p.request = request;
  p.filters = parseFileFilter(request.filter);
  std::error_code ec;
  const std::string start =
      isFolder(request.startDirectory) ? request.startDirectory : fs::current_path(ec).string();
  p.folder = withSlash(fs::absolute(start, ec).lexically_normal().string());
  (void)mdlDialog_hookPublish(kPickerHook, pickerHook);
  DialogResource r;
  r.id = FILE_PICKER_DIALOG_ID;
  r.title = request.title;
  r.hookId = kPickerHook;
  r.modal = true;
  DialogItem list = pickerItem(PICKER_LIST, ItemKind::ListBox, "Folders and files");
  list.multiSelect = !create && request.multiple;
  list.activateItemId = PICKER_OK;
  DialogItem name = pickerItem(PICKER_NAME, ItemKind::Text, folders ? "Folder" : "File name");
  name.value = request.defaultName;
  DialogItem type = pickerItem(PICKER_TYPE, ItemKind::Option, "Files of type");
  for (const FileFilter& f : p.filters) type.choices.push_back(f.label);
  type.value = "0";
  DialogItem ok = pickerItem(PICKER_OK, ItemKind::PushButton, create ? "Save" : "Open");
  ok.isDefault = true;
  DialogItem cancel = pickerItem(PICKER_CANCEL, ItemKind::PushButton, "Cancel");
  cancel.isCancel = true;
  r.items = {pickerItem(PICKER_FOLDER, ItemKind::Label, ""), list, name, type, ok, cancel};
  if (folders) {
    r.items.push_back(pickerItem(PICKER_USE_FOLDER, ItemKind::PushButton, "Use this folder"));
    r.items.back().isDefault = true;
    r.items[4].isDefault = false;
    r.items[3].visible = false;  // folders have no type
  }
  defineDialogResource(r);
  if (mdlDialog_open(FILE_PICKER_DIALOG_ID) != nullptr) {
    runHostLoopUntil([] { return mdlDialog_find(FILE_PICKER_DIALOG_ID) == nullptr; });
  }
  if (DialogBox* left = mdlDialog_find(FILE_PICKER_DIALOG_ID)) {
    p.result = ACTION_CANCEL;  // the loops stopped: the application ends
    (void)mdlDialog_closeCommandQueue(left);
  }
  p.open = false;
  return p.result;
}

}  // namespace

std::vector<FileFilter> parseFileFilter(const std::string& filter) {
  std::vector<FileFilter> out;
  if (filter.find('\n') == std::string::npos) {
    const auto patterns = splitPatterns(filter);
    if (!patterns.empty()) out.push_back({filter, patterns});
  } else {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < filter.size()) {
      const size_t end = std::min(filter.find('\n', start), filter.size());
      parts.push_back(filter.substr(start, end - start));
      start = end + 1;
    }
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
      const auto patterns = splitPatterns(parts[i + 1]);
      if (!patterns.empty()) out.push_back({parts[i], patterns});
    }
  }
  if (out.empty()) out.push_back({"All files (*.*)", {"*.*"}});
  return out;
}

bool fileNameMatches(const std::vector<std::string>& patterns, const std::string& name) {
  return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
    const char* glob = pattern == "*.*" ? "*" : pattern.c_str();
    return fnmatch(glob, name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0;
  });
}

int mdlDialog_fileOpen(std::vector<std::string>* chosen, const FilePickerRequest& request) {
  const int result = runPicker(request, false);
  if (result == SUCCESS && chosen != nullptr) *chosen = picker().chosen;
  return result;
}

int mdlDialog_folderOpen(std::string* chosen, const FilePickerRequest& request) {
  const int result = runPicker(request, false, true);
  if (result == SUCCESS && chosen != nullptr) *chosen = picker().chosen.front();
  return result;
}

int mdlDialog_fileCreate(std::string* chosen, const FilePickerRequest& request) {
  const int result = runPicker(request, true);
  if (result == SUCCESS && chosen != nullptr) *chosen = picker().chosen.front();
  return result;
}

}  // namespace kelvara
