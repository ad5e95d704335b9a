// The fonts and text styles of a design file, as the font and text style pickers list them.
//
// A DGN V7 text element (type 17) and text node (type 7) name their font by number, 0-255, and
// the file keeps no font table of its own: the fonts are those of the host's font library. The
// font table of a file is the host's standard V7 font set (the numbers the usual font library
// names) together with every other number a text element or text node of the file uses, named
// "Font N". V7 files have no text styles: the text style table of a file is empty.
#pragma once

#include <string>
#include <vector>

#include "host/element.h"

namespace kelvara {

inline constexpr int MAX_FONT_NUMBER = 255;

struct FontEntry {
  int number = 0;
  std::string name;
  friend bool operator==(const FontEntry&, const FontEntry&) = default;
};

// The standard V7 fonts, in number order.
const std::vector<FontEntry>& standardFonts();

// The name of a font number: its standard name, else "Font N". "" outside 0-255.
std::string pc_fontName(int number);

// The fonts of model's file in number order: the standard set and the numbers its text
// elements and text nodes use (deleted elements left out). ERROR for an unknown model (*fonts
// then holds the standard set).
[[nodiscard]] int mdlFont_getFontList(std::vector<FontEntry>* fonts, ModelRef model);

// The names of the text styles of model's file, in the file's order: none in a V7 file.
// ERROR for an unknown model.
[[nodiscard]] int mdlTextStyle_getNames(std::vector<std::string>* names, ModelRef model);

}  // namespace kelvara
