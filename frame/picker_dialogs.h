// The pickers next to value-list fields: small modal dialogs that show the possible values,
// preselect what the calling field's text names, and on OK write a value-list text back into
// that field (mdlDialog_itemSetValue) and close.
//
// The colour, weight and style pickers are grids of swatches (colours drawn from the active
// file's colour table) with a "ByLevel" toggle, an "<Off>" toggle where the caller allows it,
// and for styles the host's named line styles. The level picker lists the levels of the
// active file, its references and attached level libraries, one row per level (name, code,
// description, library); a list longer than a level field takes is offered to be saved to a
// level list file, which the field then names as "@file". The font picker lists the fonts of
// the active file by number and name and writes the chosen fonts by number; the text style
// picker lists "Style (none)" and the file's text styles and writes them by quoted name; a list
// longer than its field is offered to be saved to a list file as with levels.
#pragma once

#include <functional>

#include "valuelist/list_file.h"
#include "valuelist/number_picker.h"

namespace kelvara {

inline constexpr int COLOR_PICKER_ID = 200300;
inline constexpr int WEIGHT_PICKER_ID = 200301;
inline constexpr int STYLE_PICKER_ID = 200302;
inline constexpr int LEVEL_PICKER_ID = 200303;
inline constexpr int FONT_PICKER_ID = 200304;
inline constexpr int TEXT_STYLE_PICKER_ID = 200305;

// Number picker items.
inline constexpr int NPITEM_GRID = 1;
inline constexpr int NPITEM_BYLEVEL = 2;
inline constexpr int NPITEM_OFF = 3;
inline constexpr int NPITEM_NAMES = 4;  // style picker: the named line styles
// Level, font and text style picker items.
inline constexpr int LPITEM_LIST = 1;
inline constexpr int LPITEM_ADD = 2;     // "b__addSelection"
inline constexpr int LPITEM_REFS = 3;    // "b__displayRefLevels"
inline constexpr int LPITEM_MASTER = 4;  // "b__displayMasterLevels"
inline constexpr int LPITEM_ATTACH = 7;
inline constexpr int LPITEM_DETACH = 8;
// Both kinds.
inline constexpr int PITEM_OK = 5;
inline constexpr int PITEM_CANCEL = 6;

// The field a picker writes into, and what the caller does after the write.
struct PickerTarget {
  int dialogId = 0;
  int itemId = 0;
  std::function<void()> written;
};

// Publishes the pickers' resources, hooks and the level picker's switches; forgets attached
// level libraries.
void definePickerDialogs();

// Opens a picker over the target field. False when the target is not an open dialog's item.
bool openNumberPicker(NumberPickerKind kind, const PickerTarget& target, bool offAllowed);
bool openLevelPicker(const PickerTarget& target);
// The font (ListKind::Fonts) or text style (ListKind::TextStyles) picker over a field that
// takes `capacity` characters.
bool openListPicker(ListKind kind, const PickerTarget& target, size_t capacity);

}  // namespace kelvara
