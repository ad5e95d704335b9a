// The interactive application's main dialog: start-up without load arguments.
//
// startInteractive publishes the settings record as "s__sarnex" (structure "t_sarnex") so that
// dialog items bind to its fields by name, publishes the hooks, shows the product in the status
// field and opens the main dialog (200002). From the main dialog the user chooses what a run
// covers (the active design file or the files of a comparison list), adjusts the settings it
// shows and starts a run on the host's event loop; progress and questions go through the
// user-interface port. The report items are in frame/report_dialogs.h. Closing the main dialog ends
// the application.
#pragma once

#include <string>

#include "host/dialogs.h"

namespace kelvara {

struct DialogBox;

inline constexpr int MAIN_DIALOG_ID = 200002;
// Main dialog items.
inline constexpr int ITEM_START = 200006;
inline constexpr int ITEM_FILE_LIST = 200017;  // the file a run covers (shown with FILE_MODE off)
inline constexpr int ITEM_FILE_MODE = 200031;
inline constexpr int ITEM_BATCH_FILE = 200032;  // the comparison list (shown with FILE_MODE on)
inline constexpr int ITEM_DELETE_MODE = 200033;
inline constexpr int ITEM_CLOSE = 200040;
inline constexpr int ITEM_SETTINGS = 200041;  // opens the settings dialog

// Shows the product and version in the status field and the application's title beside it,
// and clears the prompt and error fields (the main and review dialogs do so on focus).
void showProductFields();

// What the message field shows once a run from the main dialog was cancelled.
inline constexpr const char* RUN_CANCELLED_TEXT = "Processing cancelled.";

// Publishes the settings record as "s__sarnex" of "t_sarnex".
void publishSettingsRecord();

// Shows the file-list items or the comparison-list items of the main dialog by FILE_MODE.
void showFileModeItems(DialogBox* db);

// Publishes the main dialog's resource and hooks.
void defineMainDialog();

// Start-up without load arguments: loads the settings (MdlMain), makes `designFile` the active
// design file when not empty (an info box names a file that cannot be opened), publishes the
// record and hooks, shows the product in the status field and opens the main dialog. False
// when the main dialog could not be opened.
bool startInteractive(const std::string& designFile);

// True once the main dialog has been closed (the application ends).
bool interactiveEnded();

// Starts a run from the main dialog or the "Input Files and Models" dialog: over the rows of the
// latter while it is open, else over the models of the picked files (or the active file), or
// over the comparison list with FILE_MODE on.
void startRunFromDialogs();

// Shows the active design file in the main dialog's file item.
void showActiveFileItem(DialogBox* db);

// Brings the main dialog in line with the run: the start button is enabled while no run goes.
// The host loop's turn hook calls it.
void syncMainDialog();

}  // namespace kelvara
