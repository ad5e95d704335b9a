// The report buttons of the main dialog, the report list dialog and the report settings dialog.
//
// After a run the text report button shows the run's text report (with the configured viewer
// program, or in a page of its own in the user's browser) and the design report button makes
// the design report the active design file and, pressed again, returns to the file before it.
// A run that wrote several reports offers them in the report list dialog instead, one row per
// entry. The report settings dialog edits where reports go and how design report elements look;
// its choices keep the dependent settings consistent, and Cancel undoes every edit.
#pragma once

#include <vector>

#include "host/dialogs.h"

namespace kelvara {

// Main dialog items.
inline constexpr int ITEM_DESIGN_REPORT = 200007;
inline constexpr int ITEM_TEXT_REPORT = 200008;
inline constexpr int ITEM_REPORT_SETTINGS = 201031;  // opens the report settings dialog
inline constexpr int ITEM_REPORT_MESSAGE = 200070;   // shows TEXT_REPORT_MESSAGE

// The report list dialog and its items.
inline constexpr int REPORT_LIST_DIALOG_ID = 200009;
inline constexpr int LITEM_ROWS = 200021;  // one row per entry of the last run
inline constexpr int LITEM_OPEN_FILE = 200022;
inline constexpr int LITEM_CLOSE = 200023;
inline constexpr int LITEM_OPEN_DESIGN_REPORT = 200025;
inline constexpr int LITEM_RETURN = 200026;
inline constexpr int LITEM_SHOW_TEXT_REPORT = 200027;

// The report settings dialog and its items.
inline constexpr int REPORT_SETTINGS_DIALOG_ID = 200011;
inline constexpr int RITEM_TEXT_REPORT = 200039;
inline constexpr int RITEM_TEXT_EXTENSION = 200022;
inline constexpr int RITEM_WORD_WRAP = 200042;
inline constexpr int RITEM_WRAP_COLUMN = 200043;
inline constexpr int RITEM_ONE_REPORT = 200038;
inline constexpr int RITEM_REPORT_FILE = 200044;
inline constexpr int RITEM_ONE_EACH = 200036;
inline constexpr int RITEM_TEXT_APPEND_EXT = 200045;
inline constexpr int RITEM_TEXT_SAME_DIR = 200040;
inline constexpr int RITEM_TEXT_DIFF_DIR = 200037;
inline constexpr int RITEM_TEXT_DIR = 200046;
inline constexpr int RITEM_VIEWER = 200047;
inline constexpr int RITEM_DESIGN_REPORT = 200033;
inline constexpr int RITEM_DESIGN_EXTENSION = 200019;
inline constexpr int RITEM_DESIGN_APPEND_EXT = 200048;
inline constexpr int RITEM_DESIGN_SAME_DIR = 200034;
inline constexpr int RITEM_DESIGN_DIFF_DIR = 200032;
inline constexpr int RITEM_DESIGN_DIR = 200049;
inline constexpr int RITEM_CATEGORY = 200050;
inline constexpr int RITEM_SYMBOLOGY_FIRST =
    200051;  // use flag, value: level, colour, weight, style
// Pick buttons: the design report folder, the viewer program, the text report folder and the
// text report file, each through the host's file dialog.
inline constexpr int RITEM_PICK_DESIGN_DIR = 201032;
inline constexpr int RITEM_PICK_VIEWER = 201033;
inline constexpr int RITEM_PICK_TEXT_DIR = 201034;
inline constexpr int RITEM_PICK_REPORT_FILE = 201035;
inline constexpr int RITEM_OK = 200060;
inline constexpr int RITEM_CANCEL = 200061;

// Labels of the report buttons.
inline constexpr const char* LABEL_VIEW_DESIGN_REPORT = "View ~Design Report";
inline constexpr const char* LABEL_VIEW_DESIGN_LOG = "View ~Design Log...";
inline constexpr const char* LABEL_RETURN = "Ret~urn to Original File";
inline constexpr const char* LABEL_VIEW_TEXT_REPORT = "View Te~xt Report";
inline constexpr const char* LABEL_VIEW_TEXT_LOG = "View Te~xt Log...";

// Publishes the hooks and resources of the report list and report settings dialogs and the
// hook of the main dialog's report buttons; forgets what the buttons showed before.
void defineReportDialogs();

// The main dialog's report items: the two report buttons, the report settings button and the
// description of where reports go.
std::vector<DialogItem> mainDialogReportItems();

// Main dialog Init: each report button is enabled only when its report exists for the active
// design file (the design report button also only while design reports are on).
void initReportButtons(DialogBox* main);

// A run starts: both report buttons stay disabled until it has finished.
void reportsRunStarted();

// Host turn: once the run has finished, enables and labels the report buttons by the reports
// it wrote; when idle and another design file became active behind the application's back,
// brings the buttons in line with it.
void syncReportButtons();

// True while the start button must stay disabled: a design report is shown or the report list
// dialog is open.
bool reportsHoldStart();

// Opens the report settings dialog (modal) with a snapshot that Cancel restores.
bool openReportSettingsDialog();

// Publishes the report settings dialog's resource and hooks (part of defineReportDialogs).
void defineReportSettingsDialog();

// Enables each report button only when its report exists for the active design file (the
// design report button also only while design reports are on).
void enableReportButtonsByExistence();

}  // namespace kelvara
