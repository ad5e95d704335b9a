// The four element tests that apply a value list to an element's level, colour, line weight
// and line style, through the host's element accessors. An empty list passes every element.
#pragma once

#include <cstdint>
#include <string_view>

#include "host/element.h"

namespace kelvara {

// The host's colour or weight value as the number a colour or weight list tests: the by-level
// value (all 32 bits set) becomes -1, so that the keyword bylevel admits it; every other value
// is taken as unsigned.
double hostSymbologyNumber(uint32_t value);

// Types that never pass a non-empty colour or style list: cells (2), shared cells (35),
// raster headers (87).
bool typeIgnoresColorAndStyle(int type);

// Level: the element's level number and, when the level has one, its name (lists of levels).
bool elementLevelPasses(std::string_view list, const MSElementDescr& el);
// Colour index (lists of colours).
bool elementColorPasses(std::string_view list, const MSElementDescr& el);
// Line weight (lists of weights).
bool elementWeightPasses(std::string_view list, const MSElementDescr& el);
// Line style: a named style by its name, else the style number (lists of styles).
bool elementStylePasses(std::string_view list, const MSElementDescr& el);

}  // namespace kelvara
