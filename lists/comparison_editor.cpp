#include "lists/comparison_editor.h"

#include <filesystem>
#include <system_error>

#include "host/design.h"
#include "host/file_picker.h"
#include "host/files.h"
#include "host/types.h"
#include "host/ui.h"
#include "lists/file_lists.h"

namespace kelvara {

namespace {

constexpr const char* kWildcardQuestion =
    "The file name contains a wildcard expression. Do you wish to expand this so that all file "
    "names will be displayed? Click {OK} to expand it or {Cancel} to show the wildcard "
    "expression only.";

bool fileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

bool isDesignFile(const std::string& path) {
  bool is3d = false;
  if (mdlFile_checkDesignFile(path, &is3d) == SUCCESS) return true;
  (void)mdlDialog_openInfoBox("\"" + path + "\" is not a design file.");
  return false;
}

// The full names a name or pattern stands for; an info box when there are none.
std::vector<std::string> expand(const std::string& spec) {
  std::vector<std::string> full;
  for (const std::string& name : findFiles(spec)) full.push_back(directoryPart(spec) + name);
  if (full.empty()) (void)mdlDialog_openInfoBox("No files found matching \"" + spec + "\".");
  return full;
}

std::string fileName(const std::string& path) {
  return path.substr(directoryPart(path).size());
}

// Pairs the files of two patterns: one file each is one pair; otherwise each newer file goes
// with the older file of the same name, when both are design files.
void addExpanded(ComparisonEditor& editor, const std::string& newer, const std::string& older) {
  const std::vector<std::string> newerFiles = expand(newer);
  const std::vector<std::string> olderFiles = expand(older);
  if (newerFiles.empty() || olderFiles.empty()) return;
  if (newerFiles.size() == 1 && olderFiles.size() == 1) {
    editor.rows.emplace_back(newerFiles[0], olderFiles[0]);
    return;
  }
  for (const std::string& n : newerFiles) {
    for (const std::string& o : olderFiles) {
      if (fileName(o) != fileName(n)) continue;
      if (isDesignFile(n) && isDesignFile(o)) editor.rows.emplace_back(n, o);
      break;
    }
  }
}

// The list file the user names in the file dialog; "" when cancelled.
std::string askListTarget(const std::string& current) {
  FilePickerRequest request;
  request.title = "Create A Batch File";
  request.filter = "*.lst";
  request.startDirectory = directoryPart(current);
  request.defaultName = fileName(current);
  std::string chosen;
  return mdlDialog_fileCreate(&chosen, request) == SUCCESS ? chosen : "";
}

}  // namespace

ComparisonEditor& comparisonEditor() {
  static ComparisonEditor editor;
  return editor;
}

std::string withListExtension(std::string name) {
  name.erase(0, name.find_first_not_of(' '));
  const std::string file = fileName(name);
  if (!file.empty() && file.find('.') == std::string::npos) name += ".lst";
  return name;
}

void editor_addPair(ComparisonEditor& editor, RunSettings& s) {
  const std::string newer = s.newerFileName.str();
  const std::string older = s.olderFileName.str();
  if (newer.empty() || older.empty()) {
    (void)mdlDialog_openInfoBox("The newer and older file names must be entered.");
    return;
  }
  if (newer.find('*') != std::string::npos && mdlDialog_openAlert(kWildcardQuestion) == ANSWER_OK) {
    addExpanded(editor, newer, older);
  } else {
    editor.rows.emplace_back(newer, older);
  }
  s.newerFileName.clear();
  s.olderFileName.clear();
}

void editor_deletePair(ComparisonEditor& editor) {
  if (editor.selected >= 0 && editor.selected < static_cast<int>(editor.rows.size())) {
    editor.rows.erase(editor.rows.begin() + editor.selected);
  }
  editor.selected = -1;
}

void editor_changePair(const ComparisonEditor& editor, RunSettings& s) {
  if (editor.selected < 0 || editor.selected >= static_cast<int>(editor.rows.size())) return;
  const FilePair& row = editor.rows[static_cast<size_t>(editor.selected)];
  for (auto [name, field] :
       {std::pair{&row.first, &s.newerFileName}, std::pair{&row.second, &s.olderFileName}}) {
    if (fileExists(*name)) {
      field->assign(*name);
    } else {
      (void)mdlDialog_openInfoBox("Invalid fileName");
    }
  }
}

int editor_createBatchFile(const ComparisonEditor& editor, RunSettings& s, bool alwaysAsk) {
  std::string target = s.BATCH_FILE.str();
  if (alwaysAsk || target.empty()) {
    target = askListTarget(target);
    if (target.empty()) return ACTION_CANCEL;
  }
  std::string content;
  int invalid = 0;
  for (const FilePair& row : editor.rows) {
    if (fileExists(row.first) && fileExists(row.second)) {
      content += row.first + "|" + row.second + "\n";
    } else {
      ++invalid;
    }
  }
  std::string why;
  if (writeFileAtomically(target, bytesOf(content), &why) != SUCCESS) {
    (void)mdlDialog_openInfoBox("Unable to write to " + target + ".");
    return ERROR;
  }
  if (invalid > 0) {
    (void)mdlDialog_openInfoBox(std::to_string(invalid) +
                                " pair(s) contains invalid fileNames (entries not saved)");
  }
  if (!alwaysAsk) s.BATCH_FILE.assign(target);
  return SUCCESS;
}

int editor_selectListFile(RunSettings& s, const std::string& title, const std::string& filter) {
  const std::string current = s.BATCH_FILE.str();
  FilePickerRequest request;
  request.title = title;
  request.filter = filter;
  if (request.filter.empty()) {
    const std::string ext = std::filesystem::path(current).extension().string();
    request.filter = "*." + (ext.empty() ? std::string("lst") : ext.substr(1));
  }
  request.startDirectory = directoryPart(current);
  std::vector<std::string> chosen;
  const int result = mdlDialog_fileOpen(&chosen, request);
  if (result != SUCCESS || chosen.empty()) return result;
  if (!hasListExtension(chosen[0])) {
    (void)mdlDialog_openInfoBox(
        "Please select a file with .lst extension as your comparison list file");
    return ERROR;
  }
  s.BATCH_FILE.assign(chosen[0]);
  return SUCCESS;
}

}  // namespace kelvara
