// The main dialog's file items: the design files a run covers when FILE_MODE is off (picked
// with the file dialog, or the active design file when none are picked), and, when FILE_MODE is
// on, the comparison list (BATCH_FILE, its file dialog) and the comparison-list editor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/strings.h"

namespace kelvara {

// The command that opens the design file picker.
inline constexpr uint64_t CMD_SELECT_DESIGN_FILES = 0x0115000000000000ULL;

// Main dialog items of the file lists.
inline constexpr int ITEM_FILE_LABEL = 200017;  // the active file, or how many were picked
inline constexpr int ITEM_PICKED_FILES = 200018;
inline constexpr int ITEM_PICK_FILES = 200029;
inline constexpr int ITEM_SELECT_LIST = 200071;
inline constexpr int ITEM_NEWER_FILE = 200072;
inline constexpr int ITEM_OLDER_FILE = 200073;
inline constexpr int ITEM_PAIRS = 200074;
inline constexpr int ITEM_ADD_PAIR = 200075;
inline constexpr int ITEM_DELETE_PAIR = 200076;
inline constexpr int ITEM_CHANGE_PAIR = 200077;
inline constexpr int ITEM_CREATE_LIST = 200078;
inline constexpr int ITEM_CREATE_LIST_AS = 200079;

// The hook of the comparison list's name field (the extension "lst" is applied).
inline constexpr int HOOK_LIST_FILE_NAME = 601;

// Publishes the hooks of the file items.
void defineListItemHooks();

// Inserts the file items into the main dialog's items: the picked files and the picker button
// after `fileItemId`, the editor after `listItemId`.
void insertListItems(std::vector<DialogItem>& items, int fileItemId, int listItemId);

// Shows the items of the design files or of the comparison list.
void showListItems(DialogBox* db, bool fromList);

// The design file label: the active design file, or how many files are picked.
std::string designFileCaption(const std::string& activeFile);

// Redraws the design file label, the picked files and the editor's rows.
void refreshListItems(DialogBox* db);

// The command CMD_SELECT_DESIGN_FILES: the design file picker, started in the folder of the
// first picked file or of the active design file. The files chosen replace the picked ones.
void selectDesignFilesCommand();

// The design file picker, started in the folder of the first of `files` (of `activePath` when
// there are none); the files chosen replace `files`. False when the picker is cancelled.
bool pickDesignFiles(std::vector<std::string>& files, const std::string& activePath);

// The design files picked, in order (none: the run covers the active design file).
std::vector<std::string>& pickedDesignFiles();

}  // namespace kelvara
