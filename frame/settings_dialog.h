// The settings dialog: edits the settings record in place through the published "s__sarnex".
//
// Opening takes a snapshot of the record; OK keeps the edits once its checks pass, Cancel (or
// closing the window) copies the snapshot back. A page choice shows one page of items at a
// time; the three symbology rule pages share their items, bound to the group named by
// "i__currentSymbology", and the report symbology page binds to the record named by
// "i__rptSym". Items are enabled by the flags they depend on, and the underlap switch also
// sets overlap, reversal and the tolerance (undone when it is switched off again).
#pragma once

#include <string>
#include <vector>

namespace kelvara {

inline constexpr int SETTINGS_DIALOG_ID = 200100;
// Settings dialog items.
inline constexpr int SITEM_PAGE = 200101;
inline constexpr int SITEM_RULE_FIRST =
    200110;  // use flag, value list: level, colour, weight, style
// Picker buttons next to the four lists: level, colour, weight, style.
inline constexpr int SITEM_RULE_PICKER_FIRST = 200170;
inline constexpr int SITEM_OVERLAP = 200120;
inline constexpr int SITEM_TOLERANCE = 200121;
inline constexpr int SITEM_UNIT_LABEL = 200122;
inline constexpr int SITEM_ROTATION = 200123;
inline constexpr int SITEM_ROT_TOLERANCE = 200124;
inline constexpr int SITEM_REVERSED = 200125;
inline constexpr int SITEM_UNDERLAP = 200126;
inline constexpr int SITEM_INTERACTIVE = 200130;
inline constexpr int SITEM_DELETE_MODE = 200131;
inline constexpr int SITEM_REMOVE_ALL_DUP = 200134;
inline constexpr int SITEM_REMOVE_SEL_DUP = 200135;
inline constexpr int SITEM_REMOVE_ALL_SEL = 200136;
inline constexpr int SITEM_CRITERIA = 200137;
inline constexpr int SITEM_SELECTION = 200142;  // opens the Element Selection dialog
inline constexpr int SITEM_FENCE = 200138;      // enabled only while FILE_MODE is 0
inline constexpr int SITEM_REPORT_CATEGORY = 200150;
inline constexpr int SITEM_SYMBOLOGY_FIRST =
    200151;  // use flag, value: level, colour, weight, style
inline constexpr int SITEM_OK = 200160;
inline constexpr int SITEM_CANCEL = 200161;

// Pages of the page choice (0-based rows); rows 0, 3 and 4 are the IGNORE, REMOVE and COMPARED
// symbology rules.
inline constexpr int PAGE_RULES_IGNORE = 0;
inline constexpr int PAGE_COMPARISON = 1;
inline constexpr int PAGE_RUN = 2;
inline constexpr int PAGE_RULES_REMOVE = 3;
inline constexpr int PAGE_RULES_COMPARED = 4;
inline constexpr int PAGE_REPORT_SYMBOLOGY = 5;

// Publishes the settings dialog's resource, hooks and its two index variables; forgets the
// underlap memory (as when the application is loaded).
void defineSettingsDialog();

// Opens the settings dialog (snapshot, report category DUPLICATE, title with the settings file).
bool openSettingsDialog();

// The report symbology record (1..4) that a row of the report category option (0-based) shows,
// and the option's rows.
int reportCategoryRecord(int row);
const std::vector<std::string>& reportCategoryChoices();

// The smallest tolerance of the active model: one unit of resolution in master units, as text.
std::string smallestTolerance();

}  // namespace kelvara
