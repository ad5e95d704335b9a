// The comparison-list editor of the main dialog: pairs of a newer and an older design file
// name, built from the dialog's two name fields and written to a comparison list file, one
// pair a line ("newer|older").
//
// The commands work on the editor's rows and on the fields of the settings record that the
// dialog binds (newerFileName, olderFileName, BATCH_FILE); they show their messages through the
// host's boxes and ask for files with the host's file dialog. The dialog only redraws the rows.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/run_settings.h"

namespace kelvara {

using FilePair = std::pair<std::string, std::string>;  // newer, older

struct ComparisonEditor {
  std::vector<FilePair> rows;
  int selected = -1;  // the selected row, -1 for none
};

// The editor of the main dialog.
ComparisonEditor& comparisonEditor();

// A list file name as the main dialog stores it: leading blanks removed, and the extension
// "lst" added to a name that has a file part but no extension.
std::string withListExtension(std::string name);

// Adds the pair in the two fields (expanding a newer name with '*' when the user agrees), then
// clears both fields. Both fields must be filled.
void editor_addPair(ComparisonEditor& editor, RunSettings& s);

// Removes the selected row and clears the selection.
void editor_deletePair(ComparisonEditor& editor);

// Copies the selected row's names into the fields, each only when its file exists.
void editor_changePair(const ComparisonEditor& editor, RunSettings& s);

// Writes the rows whose two files exist to a list file, counting the others. `alwaysAsk`
// false: the target is BATCH_FILE, asked for only when that is empty, and BATCH_FILE takes the
// target after a successful write; true: the target is always asked for. SUCCESS, ACTION_CANCEL
// (of the file dialog) or ERROR (nothing written).
int editor_createBatchFile(const ComparisonEditor& editor, RunSettings& s, bool alwaysAsk);

// Asks for a comparison list with the file dialog (`title`; `filter`, or when empty "*.EXT"
// from the current list's extension) and stores it in BATCH_FILE; a file that is not a .lst
// file is refused. SUCCESS, ACTION_CANCEL or ERROR.
int editor_selectListFile(RunSettings& s, const std::string& title, const std::string& filter);

}  // namespace kelvara
