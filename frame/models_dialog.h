// The "Input Files and Models" dialog (200012) and the main dialog's model list.
//
// The dialog shows two sides of model records in one list: the left side (the active model,
// the active file's models or the models of the files of the design file picker, by mode) and
// the right side (the models of the files of the second design file picker), or the rows of a
// models list file. The user tags rows, saves the tagged rows to a models list file and loads
// one. While the dialog is open, a run covers the models of its rows (the tagged ones when any
// row is tagged). Its minimised form (200013) stands in for it while it is hidden.
//
// The main dialog's model list shows the (file, model) entries a run from the main dialog covers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/dialogs.h"
#include "host/strings.h"
#include "lists/models_list_file.h"

namespace kelvara {

inline constexpr int MODELS_DIALOG_ID = 200012;
inline constexpr int MODELS_MINIMISED_DIALOG_ID = 200013;

// Commands: the model list window ("MIN", "MAX", other arguments toggle) and the second design
// file picker.
inline constexpr uint64_t CMD_MODEL_LIST_WINDOW = 0x0101010000000000ULL;
inline constexpr uint64_t CMD_SELECT_SECOND_FILES = 0x0103000000000000ULL;

// Items of the dialog.
inline constexpr int MITEM_MODE = 200100;
inline constexpr int MITEM_LEFT_FILES = 200101;
inline constexpr int MITEM_RIGHT_FILES = 200102;
inline constexpr int MITEM_MODEL_TYPES = 200103;
inline constexpr int MITEM_NAME_FILTER = 200104;
inline constexpr int MITEM_ROWS = 200105;
inline constexpr int MITEM_TAG = 200106;  // tags the chosen rows, or takes the tag off them
inline constexpr int MITEM_TAG_ALL = 200107;
inline constexpr int MITEM_UNTAG_ALL = 200108;
inline constexpr int MITEM_INCOMPLETE = 200109;  // rows with one side missing are saved too
inline constexpr int MITEM_SAVE = 200110;
inline constexpr int MITEM_LOAD = 200111;
inline constexpr int MITEM_START = 200112;
inline constexpr int MITEM_MINIMISE = 200113;
inline constexpr int MITEM_CLOSE = 200114;
inline constexpr int MINI_RESTORE = 200120;  // the minimised form's button

// The main dialog's model items.
inline constexpr int ITEM_MODEL_LIST = 200090;
inline constexpr int ITEM_OPEN_MODELS = 200091;

// What the first cell of a tagged row shows.
inline constexpr const char* TAG_MARK = "\xE2\x9C\x93";  // a check mark

// Publishes the hooks and resources of the dialog and its minimised form.
void defineModelsDialog();

// The main dialog's model items (the list and the button that opens the dialog).
std::vector<DialogItem> mainDialogModelItems();

// Refills the main dialog's model list from the picked files (or the active file).
void refreshMainModelList(DialogBox* main);

// Opens the dialog (the main dialog is hidden while it is open). Null when it cannot open.
DialogBox* openModelsDialog();

// The dialog's list as data (its rows and both tables) and its mode.
ModelPairList& modelsDialogList();
int modelsDialogMode();

// The files of the second design file picker.
std::vector<std::string>& secondDesignFiles();

// The command CMD_SELECT_SECOND_FILES.
void selectSecondDesignFilesCommand();

// The command CMD_MODEL_LIST_WINDOW: does nothing unless the dialog is open.
void modelListWindowCommand(const std::string& argument);

// The run's entries from the dialog's rows ("file,model" each once, left before right, the
// tagged rows when any row is tagged). False when the dialog is not open or has no rows.
bool appendModelsDialogEntries(StringList* entries);

// The run's entries from the main dialog: every listed model of the picked files (or of the
// active file); a picked file that is not a design file is entered alone so that the run names
// it. False when there is nothing to run.
bool appendMainModelEntries(StringList* entries);

// Finish: when the dialog is open its records are read again and it is shown (true); else
// false.
bool showModelsDialogAtFinish();

// Host turn: the dialog's start button follows the run.
void syncModelsDialog();

}  // namespace kelvara
