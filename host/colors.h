// The colours of a design file: the colour table an element's colour index (0-255) is drawn
// with. A file's own colour table (type 5 level 1 element; the last one that is not deleted
// wins, as other DGN readers take it) gives colours 0-254 and the background as 255; a file
// without one is drawn with the host's default table.
#pragma once

#include <array>
#include <cstdint>

#include "host/element.h"

namespace kelvara {

struct RgbColor {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const RgbColor&, const RgbColor&) = default;
};

using ColorTable = std::array<RgbColor, 256>;

// The host's default colour table: 0 white, 1 blue, 2 green, 3 red, 4 yellow, 5 violet,
// 6 orange, 7 cyan, then bands of graded hues, 255 black (the background).
const ColorTable& defaultColorTable();

// The colour table model's elements are drawn with (its file's own, else the default).
// SUCCESS, or ERROR for an unknown model (the table is then the default one).
[[nodiscard]] int mdlColor_getColorTable(ColorTable* table, ModelRef model);

}  // namespace kelvara
