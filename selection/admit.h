// Criteria evaluation: whether the selection sets named by a run admit an element, and the
// selection of every admitted element of the active model.
//
// A run restricted by selection sets loads its selection file into the run list before it
// loads the elements of each model (loadRunList), then asks admitted() for every visible
// element; an element that no named set admits is not loaded. All criteria of a set must hold;
// within a constraint list one row suffices; the linkage groups are alternatives.
#pragma once

#include <string>
#include <string_view>

#include "host/element.h"
#include "host/parse_error.h"
#include "selection/criteria.h"
#include "selection/model.h"

namespace kelvara {

// ---- The run list --------------------------------------------------------------------------

// The run list and whether a selection file is loaded into it.
SelectionSetList& runList();
bool runListLoaded();

// Frees the run list and reads the selection file at path into it (path rules of
// readRunList): SEL_READ_OK, SEL_READ_UNREADABLE or SEL_READ_UNSUITABLE, the reason in *error.
// Forgets the parsed lists, patterns and tag sets of the previous run list.
[[nodiscard]] int loadRunList(std::string_view path, ParseError* error);

// Frees the run list; runListLoaded() becomes false.
void unloadRunList();

// ---- Evaluation ----------------------------------------------------------------------------

// The working units of the element's model (or of the active model for elements that are not
// in a file); 1 UOR per master unit when neither is known.
WorkingUnits unitsOf(const MSElementDescr& el);

// The full test of one set, in this order: per-type constraints, colour, weight, style, level,
// coordinate range, graphic group, class and properties, linkages. The set's type toggle is
// not consulted here.
bool passes(const MSElementDescr& el, const SelectionSet& set);
bool passes(const MSElementDescr& el, const SelectionSet& set, const WorkingUnits& units);

// True when a set of `list` named in `names` (comma-separated, not trimmed, empty pieces
// skipped; names compare without regard to case) selects the element's type and passes it.
// Elements whose type is not in the element type table are never admitted.
bool admittedBy(const SelectionSetList& list, const MSElementDescr& el, std::string_view names);

// admittedBy over the run list.
bool admitted(const MSElementDescr& el, std::string_view names);

// ---- Restricted runs ----------------------------------------------------------------------
// Adapters with the signatures of the engine's set-up hooks (SetupHooks::loadSelectionFile and
// SetupHooks::admitted), for the run to install. No caller stands between them and the user,
// so they hand their errors to reportParseError: the coordinate range of a set that is not six
// numbers (SEL_ERR_RANGE_NOT_SIX_NUMBERS, once per text while the run list stays loaded), and a
// selection file that cannot be loaded.

// loadRunList; on failure reports the reason of the check (for a file that fails it), then the
// error for an unreadable or unsuitable file with its path, and returns ERROR.
[[nodiscard]] int loadRunListForRun(const std::string& path, void* context);
// admitted(element, names) over the run list.
bool admittedForRun(const MSElementDescr& element, ModelRef model, const std::string& names,
                    void* context);

// ---- Selecting in the active model ---------------------------------------------------------

inline constexpr int SEL_SELECT_NAME_MISSING = 1;

// Codes of the errors of selection sets' texts and names.
enum SelectionSetError : int {
  SEL_ERR_RANGE_NOT_SIX_NUMBERS = 211,  // SEL_MSG_SIX_NUMBERS
  SEL_ERR_SET_MISSING = 212,            // missingSelectionSetMessage
};

// The text shown when a selection set name is not found.
std::string missingSelectionSetMessage(std::string_view name);

// The named group through which selectAdmitted selects.
inline constexpr const char* ADMITTED_GROUP_NAME = "Selection";

// Adds every element of the active model that the sets named in `names` (comma-separated,
// trimmed) admit to the host's selection, through the model's named group
// ADMITTED_GROUP_NAME (made on first use, its members replaced on every later call). `list` null
// means the run list. SUCCESS; SEL_SELECT_NAME_MISSING when a name is not found
// (SEL_ERR_SET_MISSING in *error) or the group cannot be made; ERROR when the run list is asked for
// and none is loaded.
[[nodiscard]] int selectAdmitted(std::string_view names, const SelectionSetList* list,
                                 ParseError* error);

}  // namespace kelvara
