// The Element Selection dialog: edits the dialog list of selection sets around a working copy,
// loads it from and saves it to a selection file, and selects the elements the highlighted
// sets admit in the active model.
//
// The working copy's texts, name, cell-components flag and levels mode are published as
// "s__select" (structure "t_selection") and the text items bind to them. The set list shows
// the dialog list; highlighting one row loads that set into the working copy. Add and Update
// take the working copy once its lists pass their checks; the type list, classes and
// properties edit the working copy directly; each type's constraints are edited in its
// constraint dialog. Closing with the close button keeps the changes (asking about unsaved
// sets as the opener's mode says) and hands the file to the opener's accept callback; Cancel
// drops them and runs the cancel callback. The processing command leaves the dialog as the
// close button does, after asking whether to go on without saving unsaved sets, and then
// starts the opener's processing.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "selection/model.h"

namespace kelvara {

inline constexpr int SELECTION_DIALOG_ID = 200400;
inline constexpr int SELECTION_UNSAVED_BOX_ID = 200401;

// Element Selection dialog items.
inline constexpr int SEL_OPEN = 200410;
inline constexpr int SEL_SAVE = 200411;
inline constexpr int SEL_SAVE_AS = 200412;
inline constexpr int SEL_NAME = 200413;
inline constexpr int SEL_SETS = 200414;
inline constexpr int SEL_ADD = 200415;
inline constexpr int SEL_UPDATE = 200416;
inline constexpr int SEL_REMOVE = 200417;
inline constexpr int SEL_ACTIVATE = 200418;
inline constexpr int SEL_CLEAR = 200419;
inline constexpr int SEL_TYPES = 200420;
inline constexpr int SEL_TYPE_BUTTON = 200421;
inline constexpr int SEL_CONSTRAINT_TYPE = 200422;
inline constexpr int SEL_CONSTRAINTS = 200423;
inline constexpr int SEL_LEVELS = 200424;  // then its picker button, +1
inline constexpr int SEL_COLORS = 200426;
inline constexpr int SEL_WEIGHTS = 200428;
inline constexpr int SEL_STYLES = 200430;
inline constexpr int SEL_REGION = 200432;
inline constexpr int SEL_GROUPS = 200433;
inline constexpr int SEL_CLASSES = 200434;
inline constexpr int SEL_PROPERTIES = 200435;
inline constexpr int SEL_CLOSE = 200436;  // close keeping the changes
inline constexpr int SEL_CANCEL = 200437;
inline constexpr int SEL_USER_DATA = 200438;
inline constexpr int SEL_DATABASE = 200439;
inline constexpr int SEL_PROCESS = 200440;  // close keeping the changes and start processing
// Items of the box about unsaved sets.
inline constexpr int UNSAVED_SAVE = 1;
inline constexpr int UNSAVED_SAVE_AS = 2;
inline constexpr int UNSAVED_DISCARD = 3;
inline constexpr int UNSAVED_RETURN = 4;

// What the opener keeps while the dialog is open.
struct SelectionDialogOpener {
  // Called with the working copy and the element type names whenever a set is highlighted.
  std::function<void(const SelectionSet& working, const std::vector<std::string>& types)> highlight;
  // Called when the dialog closes keeping its changes: the current file and the set's name.
  std::function<void(const std::string& file, const std::string& name)> accept;
  std::function<void()> cancel;
  // The processing the dialog's processing command starts once the dialog has closed keeping
  // its changes (after the accept callback); the command is offered only when it is set.
  std::function<void()> process;
  bool modeFlag = false;    // unsaved sets are asked about instead of going to a temporary file
  std::string initialFile;  // read when it passes the header check
  bool modal = false;
};

// Publishes the dialog's resources, hooks and "s__select".
void defineSelectionDialog();

// Opens the dialog (see SelectionDialogOpener). False when it cannot be opened.
bool openSelectionDialog(SelectionDialogOpener opener);

// What the dialog holds, for the opener and for tests.
const SelectionSetList& selectionDialogList();
const SelectionSet& selectionWorkingCopy();
const std::string& selectionDialogFile();
bool selectionDialogSaved();
// The folder new and temporary selection files go to.
std::string& defaultSelectionDirectory();

}  // namespace kelvara
