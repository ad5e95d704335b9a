// The colour, weight and line style pickers' text rules, apart from any dialog: which values a
// picker's grid shows, how a field's value-list text preselects cells and toggles, and how a
// choice is written back into the field as a value-list text that valueList_parse reads.
//
// A grid shows the values 0..count-1 row by row (value n in row n / columns, column
// n % columns). A choice holds one bit per value (bit n % 8 of byte n / 8), the "ByLevel" and
// "<Off>" toggles, and for the style picker the chosen named line styles.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/colors.h"

namespace kelvara {

enum class NumberPickerKind { Color, Weight, Style };

struct NumberPickerGrid {
  int count = 0;    // values 0..count-1
  int columns = 0;  // cells per row
  int rows = 0;
};
// Colours 16 x 16, weights 8 x 4, line styles 4 x 2.
NumberPickerGrid numberPickerGrid(NumberPickerKind kind);

// Texts of the toggles, as they are written into and read from a field. "<Off>" is not an item
// of a value list (valueList_parse refuses it as "Syntax is not recognized."): a caller that
// offers it reads it from the field itself.
inline constexpr const char* PICKER_BYLEVEL = "ByLevel";
inline constexpr const char* PICKER_OFF = "<Off>";

struct NumberChoice {
  std::array<uint8_t, 32> bits{};  // bit n % 8 of byte n / 8 is value n
  bool byLevel = false;
  bool off = false;
  std::vector<std::string> styleNames;  // style picker: chosen named styles, in list order
};
bool pickerValueChosen(const NumberChoice& choice, int value);
// Sets or clears value (0-255; other values are ignored).
void pickerChooseValue(NumberChoice* choice, int value, bool chosen);

// What a picker opens with, read from its field.
struct NumberPreselection {
  NumberChoice choice;
  // Items of the text that the picker cannot show and that writing its choice back drops:
  // numbers outside the grid (a range that reaches outside selects the cells it covers and is
  // listed too), "<Off>" where it is not offered, names that name no row, anything else.
  std::vector<std::string> unshown;
};

// Reads a field's text: the text is cut at commas and each item trimmed; "ByLevel" and, where
// `offAllowed`, "<Off>" (in any case) set their toggles; a number or a range written with `-`
// or `:` selects the cells it covers; for the style picker a quoted or plain name selects the
// named style of that name (compared without case) from `styleNames`, the host's list.
NumberPreselection picker_readNumberText(NumberPickerKind kind, std::string_view text,
                                         bool offAllowed,
                                         const std::vector<std::string>& styleNames = {});

// The chosen values as runs: a run of one value "n", of two "a,b", of three or more "a:b",
// joined by "," in rising order (1, 2, 3, 7, 9, 10 give "1:3,7,9,10"). Values from 0 to
// count-1 are written.
std::string pc_numberListText(const NumberChoice& choice, int count);

// The text the picker writes into its field on OK: the number list, then "ByLevel" when that
// toggle is on, "<Off>" when it is offered and on, and for the style picker each named style in
// double quotes, all separated by ",". SUCCESS, or ERROR when the text holds more numeric items
// than a value list takes (*error then holds the value list's own message and *text the text).
[[nodiscard]] int picker_writeNumberText(std::string* text, std::string* error,
                                         NumberPickerKind kind, const NumberChoice& choice,
                                         bool offAllowed);

// The named line styles a style picker lists: the host's list without its "ByLevel" and
// "<Off>" entries, in the host's order.
std::vector<std::string> pickerStyleNames(const std::vector<std::string>& hostNames);

// ---- What a grid shows -------------------------------------------------------------------------

struct PickerCell {
  int value = 0;
  int row = 0;
  int column = 0;
  RgbColor color;  // colour picker: the swatch's colour from the file's colour table
  bool chosen = false;
};
// The cells of a picker's grid for a choice, in value order. Colour cells take their colour
// from `colors` (the table of the file being edited, mdlColor_getColorTable).
std::vector<PickerCell> pickerGridCells(NumberPickerKind kind, const NumberChoice& choice,
                                        const ColorTable& colors = defaultColorTable());

}  // namespace kelvara
