// The fixed label lists that constraint rows are written with, and the justification names.
//
// A numeric constraint member reads as an operator label directly followed by a value or a
// LOW:HIGH range ("<= 12.5", "= 3:7"); every operator label therefore has no inner blank and
// ends with one blank. Fill, point string display and cell kind labels share index 0, the any
// label. The order of each list is what the criteria rely on; the texts are this
// application's own.
#pragma once

#include <array>
#include <string_view>

namespace kelvara {

// Operators, by index: 0 equal, 1 less than, 2 less or equal, 3 greater or equal, 4 greater
// than, 5 not equal.
enum Operator : int { OP_EQ, OP_LT, OP_LE, OP_GE, OP_GT, OP_NE, OP_COUNT };
const std::array<std::string_view, OP_COUNT>& operatorLabels();
// The operator whose label equals `label` exactly, or -1.
int operatorIndex(std::string_view label);

// Fill labels: 0 any, 1 filled, 2 not filled.
const std::array<std::string_view, 3>& fillLabels();
// Point string display labels: 0 any, 1 disjoint, 2 continuous.
const std::array<std::string_view, 3>& displayLabels();
// Cell kind labels: 0 any, 1 graphic cell, 2 point cell.
const std::array<std::string_view, 3>& cellKindLabels();
// Open/closed labels of B-spline curves; label 1 is the open label.
const std::array<std::string_view, 2>& openClosedLabels();

inline constexpr std::string_view TAG_TYPE_CHARACTER = "Character";
inline constexpr std::string_view TAG_TYPE_INTEGER = "Integer";
inline constexpr std::string_view TAG_TYPE_REAL = "Real";
inline constexpr std::string_view FORMAT_WILDCARD = "Wildcard";
inline constexpr std::string_view FORMAT_REGEX = "Regex";
inline constexpr std::string_view UNNAMED_CELL = "Unnamed Cell";
inline constexpr std::string_view NO_TEXT_STYLE = "Style (none)";

// A justification name with its host justification value.
struct JustificationName {
  std::string_view name;
  int value;
};
// Names for text elements (the nine justifications text can have).
const std::array<JustificationName, 9>& textJustifications();
// Names for text nodes (all fifteen, margin justifications included).
const std::array<JustificationName, 15>& textNodeJustifications();

}  // namespace kelvara
