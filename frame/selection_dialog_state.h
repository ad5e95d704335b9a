// What the Element Selection dialog's two source files share: its state, the published
// record and the steps one file asks of the other.
#pragma once

#include <cstdint>
#include <string>

#include "frame/selection_dialog.h"
#include "host/dialogs.h"

namespace kelvara {

inline constexpr const char* SELECTION_DIALOG_TITLE = "Tarvo Element Selection";

// "s__select" of the structure "t_selection", in its published order.
struct SelectRecord {
  char colors[SEL_TEXT_CAPACITY] = {};
  char weights[SEL_TEXT_CAPACITY] = {};
  char styles[SEL_TEXT_CAPACITY] = {};
  char levels[SEL_LEVELS_CAPACITY] = {};
  char graphicGroups[SEL_TEXT_CAPACITY] = {};
  char coordinateRange[SEL_TEXT_CAPACITY] = {};
  int32_t cellElesMustBeOnSeldLevel = 0;
  char name[SEL_DIALOG_NAME_CAPACITY] = {};
  int32_t levelsMode = 0;
};

struct SelectionDialogState {
  SelectionDialogOpener opener;
  SelectionSet working = emptySelectionSet("DEFAULT");
  SelectRecord record;
  SelectionSetList list;
  std::string currentFile;
  bool saved = true;
  bool modified = false;
  int highlighted = -1;  // the one highlighted row of the set list, -1 for none or several
  bool allTypes = true;  // the type button clears all types
};

SelectionDialogState& selDialog();

void publishSelectRecord();
void recordFromWorking();  // the working copy's texts into the record
void workingFromRecord();  // and back

// selection_dialog.cpp
void refillSetList(DialogBox* db);
void loadFirstSet(DialogBox* db);
void showWorkingCopy(DialogBox* db);

// selection_dialog_file.cpp
void selectionDialogCreated(DialogBox* db);
// Open, Save, Save as, Close and Cancel.
void selectionFileCommand(DialogBox* db, int itemId);
void defineUnsavedBox();

}  // namespace kelvara
