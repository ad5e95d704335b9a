#include "host/fonts.h"

#include <set>

#include "host/design.h"
#include "host/dgn/records.h"
#include "host/types.h"

namespace kelvara {

namespace {

// The font numbers of the usual V7 font library that have names (the numbers GDAL's DGN
// reader names too).
const std::vector<FontEntry>& standardTable() {
  static const std::vector<FontEntry> table = {
      {0, "STANDARD"},
      {1, "WORKING"},
      {2, "FANCY"},
      {3, "ENGINEERING"},
      {4, "NEWZERO"},
      {5, "STENCEL"},
      {6, "USTN_FANCY"},
      {7, "COMPRESSED"},
      {8, "STENCEQ"},
      {10, "hand"},
      {11, "ARCH"},
      {12, "ARCHB"},
      {15, "IGES1001"},
      {16, "IGES1002"},
      {17, "IGES1003"},
      {18, "CENTB"},
      {19, "MICROS"},
      {22, "ISOFRACTIONS"},
      {23, "ITALICS"},
      {24, "ISO30"},
      {26, "GREEK"},
      {27, "ISOREC"},
      {28, "Isoeq"},
      {30, "ISO_FONTLEFT"},
      {31, "ISO_FONTRIGHT"},
      {32, "INTL_ENGINEERING"},
      {33, "INTL_WORKING"},
      {34, "ISOITEQ"},
      {36, "USTN FONT 26"},
      {41, "ARCHITECTURAL"},
      {42, "BLOCK_OUTLINE"},
      {43, "LOW_RES_FILLED"},
      {50, "UPPERCASE"},
      {60, "FONT060"},
      {61, "din"},
      {62, "dinit"},
      {63, "helvl"},
      {64, "HELVLIT"},
      {65, "helv"},
      {66, "HELVIT"},
      {67, "cent"},
      {68, "CENTIT"},
      {69, "SCRIPT"},
      {76, "MICROQ"},
      {77, "dotfont"},
      {78, "DOTIT"},
      {92, "FONT092"},
      {94, "FONT094"},
      {100, "ANSI_SYMBOLS"},
      {101, "FEATURE_CONTROL_SYSMBOLS"},
      {102, "SYMB_FAST"},
      {105, "INTL_ISO"},
      {106, "INTL_ISO_EQUAL"},
      {107, "INTL_ISO_ITALIC"},
      {108, "INTL_ISO_ITALIC_EQUAL"},
  };
  return table;
}

// The font numbers the text elements and text nodes of a file use.
std::set<int> fontsUsed(const dgn::DesignImage& img) {
  std::set<int> used;
  for (size_t i = 0; i < img.slots.size(); ++i) {
    const dgn::Bytes e = dgn::slotBytes(img, i);
    if (e.size() < dgn::HEADER_BYTES || dgn::isDeletedBit(e.data())) continue;
    const int type = dgn::typeOf(e.data());
    if (type == 17) {
      dgn::TextRecord text;
      if (dgn::decodeText(e, img.is3d, text)) used.insert(text.font);
    } else if (type == 7) {
      dgn::TextNodeRecord node;
      if (dgn::decodeTextNode(e, img.is3d, node)) used.insert(node.font);
    }
  }
  return used;
}

}  // namespace

const std::vector<FontEntry>& standardFonts() {
  return standardTable();
}

std::string pc_fontName(int number) {
  if (number < 0 || number > MAX_FONT_NUMBER) return "";
  for (const FontEntry& f : standardTable()) {
    if (f.number == number) return f.name;
  }
  return "Font " + std::to_string(number);
}

int mdlFont_getFontList(std::vector<FontEntry>* fonts, ModelRef model) {
  *fonts = standardTable();
  const DesignFile* f = designFileOf(model);
  if (f == nullptr) return ERROR;
  std::set<int> numbers;
  for (const FontEntry& entry : *fonts) numbers.insert(entry.number);
  for (int used : fontsUsed(f->image)) {
    if (used >= 0 && used <= MAX_FONT_NUMBER) numbers.insert(used);
  }
  fonts->clear();
  for (int number : numbers) fonts->push_back({number, pc_fontName(number)});
  return SUCCESS;
}

int mdlTextStyle_getNames(std::vector<std::string>* names, ModelRef model) {
  names->clear();
  return designFileOf(model) == nullptr ? ERROR : SUCCESS;
}

}  // namespace kelvara
