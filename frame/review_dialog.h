// The interactive review: the dialog that shows each duplicate of an interactive run and lets
// the user delete or keep it.
//
// At run start the review dialog (200007) is opened hidden. When the pass waits at a duplicate
// the dialog is shown, view 1 is zoomed to the element and the element flashed, and its
// description line is appended to the dialog's list of reviewed elements. The pass goes on
// only on the user's command: next duplicate, report the rest of the model only, delete (or
// restore) and continue, or stop the run. While the comparison runs every button but stop
// does nothing.
#pragma once

namespace kelvara {

inline constexpr int REVIEW_DIALOG_ID = 200007;
inline constexpr int REVIEW_LIMIT_DIALOG_ID = 200008;
// Review dialog items.
inline constexpr int RITEM_LINES = 200001;  // description lines of the reviewed elements
inline constexpr int RITEM_STOP = 200002;
inline constexpr int RITEM_FLASH = 200013;
inline constexpr int RITEM_REPORT_REST = 200014;
inline constexpr int RITEM_NEXT = 200015;
inline constexpr int RITEM_RAISE_LIMIT = 200016;
inline constexpr int RITEM_CLOSE = 200017;
inline constexpr int RITEM_DELETE = 200018;
inline constexpr int RITEM_DELETE_CONTINUE = 200019;
inline constexpr int RITEM_ZOOM_IN = 200020;
inline constexpr int RITEM_ZOOM_OUT = 200021;

// The review limit that button RITEM_RAISE_LIMIT sets: duplicates at lower file positions are
// reported without a pause.
inline constexpr unsigned REVIEW_LIMIT_RAISED = 4000000;

// Publishes the review dialogs' resources and hooks and installs the run's review callbacks
// (pause, and the dialogs brought back at Finish).
void defineReviewDialog();

// Run start of an interactive run: opens the review dialog hidden (emptied of earlier lines).
void openReviewDialogHidden();

// The pause at a duplicate: shows the review dialog, zooms view 1 to the element, flashes it,
// appends its description line, sets the delete buttons for an entry not yet deleted.
void reviewPause();

}  // namespace kelvara
