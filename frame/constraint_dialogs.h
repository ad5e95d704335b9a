// The constraint dialogs: one generic dialog, built from an element type's row layout, that
// edits the rows of that type's constraint list in the working copy.
//
// Each column of the layout gets an input: an operator choice with a value text for numeric
// columns, a choice for label columns (fill, display, cell kind, tag type, string format), a
// text for list and expression columns (fill colours with a colour picker). Add appends the
// row the inputs make (enabled only when some input is set and the row is new), Remove
// deletes the highlighted row, OK hands the rows to the working copy and Cancel restores the
// inputs as they were when the dialog opened. Each type's inputs are published under its own
// name ("s__selectEllipse" of "t_select_ellipse" and so on) and kept between openings.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "selection/model.h"

namespace kelvara {

inline constexpr int CONSTRAINT_DIALOG_ID = 200500;
// Items: the row list and the buttons; inputs are CITEM_INPUT + column, operator choices
// CITEM_OPERATOR + column and picker buttons CITEM_PICKER + column.
inline constexpr int CITEM_ROWS = 1;
inline constexpr int CITEM_ADD = 2;
inline constexpr int CITEM_REMOVE = 3;
inline constexpr int CITEM_OK = 4;
inline constexpr int CITEM_CANCEL = 5;
inline constexpr int CITEM_CELL_LEVELS = 6;      // all components of cells on selected levels
inline constexpr int CITEM_DIMENSION_TYPES = 7;  // dimensions: the types chosen
inline constexpr int CITEM_INPUT = 100;
inline constexpr int CITEM_OPERATOR = 200;
inline constexpr int CITEM_PICKER = 300;

// Publishes the dialog's hook (the resource is built when a type's dialog opens).
void defineConstraintDialogs();

// Empties every type's inputs (as when the Element Selection dialog opens).
void resetConstraintInputs();

// Opens the constraint dialog of a host element type over the working copy. Types without
// constraints show the message saying so (surfaces show nothing); false then. `closedWithOk`
// runs after OK has handed the rows over, told whether rows were added or removed.
bool openConstraintDialog(int elementType, SelectionSet* working,
                          std::function<void(bool changed)> closedWithOk);

// The row the inputs of the open dialog make (empty when none is open).
std::vector<std::string> constraintInputRow();

}  // namespace kelvara
