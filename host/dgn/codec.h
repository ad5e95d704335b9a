// DGN V7 byte codec: the number encodings of the format, the common element header, and the
// attribute linkages at the end of an element.
//
// Everything here works on raw bytes and never allocates except where a result is a list.
// Callers pass spans whose length is the element's real size; a field that does not fit in
// the span reads as zero, so no function here reads outside its input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/types.h"

namespace kelvara::dgn {

using Bytes = std::span<const uint8_t>;

// ---- Limits and fixed sizes ------------------------------------------------------------------
inline constexpr size_t HEADER_BYTES = 36;            // word 0, WTF, range, display header
inline constexpr size_t RANGE_END = 28;               // range block ends here
inline constexpr size_t MAX_ELEMENT_BYTES = 768 * 2;  // one element including its linkages
inline constexpr size_t TCB_BYTES = 1536;             // type 9 design file header
inline constexpr int MAX_LINEAR_VERTICES = 101;       // line string, shape, curve, poles
inline constexpr int MAX_POINT_STRING_VERTICES = 48;  // point string
inline constexpr uint16_t END_OF_DESIGN = 0xFFFF;     // word that ends the element stream

// ---- Plain numbers ---------------------------------------------------------------------------
// Little-endian 16-bit word.
uint16_t readU16(const uint8_t* p);
void writeU16(uint8_t* p, uint16_t v);
// Plain little-endian 32-bit value (tag values, MSLINK of database linkages).
uint32_t readU32LE(const uint8_t* p);
void writeU32LE(uint8_t* p, uint32_t v);
// The format's 32-bit integer: two little-endian words, high word first ("middle-endian").
int32_t readInt32(const uint8_t* p);
void writeInt32(uint8_t* p, int32_t v);
// Range-block value: the middle-endian word order with the sign bit inverted (offset binary).
int32_t readRange32(const uint8_t* p);
void writeRange32(uint8_t* p, int32_t v);
// VAX D-float (8 bytes) to IEEE double; exponent 0 reads as 0. The 3 dropped fraction bits are
// folded into the lowest kept bit.
double readVaxD(const uint8_t* p);
// IEEE double to VAX D-float; values beyond the VAX range saturate, tiny values become 0.
void writeVaxD(uint8_t* p, double v);

// ---- Radix-50 names --------------------------------------------------------------------------
// Three characters from one word (code 0 reads as a space, unknown codes as '?').
std::string radix50Decode(uint16_t word);
// One word from up to three characters (missing characters are code 0; lower case folds to
// upper; characters outside the alphabet become code 0).
uint16_t radix50Encode(std::string_view three);
// A name of `words` words with trailing spaces removed.
std::string radix50DecodeName(const uint8_t* p, size_t words);
void radix50EncodeName(uint8_t* p, size_t words, std::string_view name);

// ---- Common element header -------------------------------------------------------------------
// Word 0 bit fields and the property/symbology bits.
inline constexpr uint16_t LEVEL_MASK = 0x003F;
inline constexpr uint16_t COMPLEX_BIT = 0x0080;
inline constexpr uint16_t DELETED_BIT = 0x8000;
inline constexpr uint16_t PROP_CLASS_MASK = 0x000F;
inline constexpr uint16_t PROP_LOCKED = 0x0100;
inline constexpr uint16_t PROP_NEW = 0x0200;
inline constexpr uint16_t PROP_MODIFIED = 0x0400;
inline constexpr uint16_t PROP_ATTRIBUTES = 0x0800;
inline constexpr uint16_t PROP_VIEW_INDEPENDENT = 0x1000;
inline constexpr uint16_t PROP_NON_PLANAR = 0x2000;
inline constexpr uint16_t PROP_NOT_SNAPPABLE = 0x4000;
inline constexpr uint16_t PROP_HOLE = 0x8000;  // hole / orphan cell / infinite line / disjoint

// The element header as fields. The display-header fields are zero for types without one.
struct ElementHeader {
  int type = 0;          // 0-127
  int level = 0;         // 0-63
  bool complex = false;  // C bit as stored (component of a complex element)
  bool deleted = false;  // D bit
  uint16_t wordsToFollow = 0;
  uint32_t size = 0;  // 4 + 2 * wordsToFollow
  DRange3d range;     // decoded from offset binary, UOR
  bool hasDisplayHeader = false;
  uint16_t graphicGroup = 0;
  uint16_t attindx = 0;  // linkages start at byte 32 + 2 * attindx
  uint16_t properties = 0;
  uint16_t symbology = 0;
};

// Type, level and flags straight from word 0 (p must hold 2 bytes).
inline int typeOf(const uint8_t* p) {
  return p[1] & 0x7F;
}
inline int levelOf(const uint8_t* p) {
  return p[0] & 0x3F;
}
inline bool isComplexBit(const uint8_t* p) {
  return (p[0] & 0x80) != 0;
}
inline bool isDeletedBit(const uint8_t* p) {
  return (p[1] & 0x80) != 0;
}
// Element size in bytes from its first 4 bytes.
inline uint32_t sizeOf(const uint8_t* p) {
  return 4u + 2u * readU16(p + 2);
}

// True for the types that carry graphic group, attindx, properties and symbology at 28-35.
bool hasDisplayHeader(int type);
// True for the element types that are drawn (graphic elements that a scan for drawn
// elements returns).
bool isGraphicType(int type);
// True for types whose header is followed by component elements.
bool isComplexHeaderType(int type);
// Decodes the header of e (fields beyond e.size() read as zero).
ElementHeader decodeHeader(Bytes e);
// Writes the range block of e (e must hold 28 bytes).
void writeRange(uint8_t* e, const DRange3d& r);

// Symbology word fields.
inline int colourOf(uint16_t symb) {
  return symb >> 8;
}
inline int weightOf(uint16_t symb) {
  return (symb >> 3) & 0x1F;
}
inline int styleOf(uint16_t symb) {
  return symb & 0x07;
}
inline uint16_t makeSymbology(int colour, int weight, int style) {
  return static_cast<uint16_t>(((colour & 0xFF) << 8) | ((weight & 0x1F) << 3) | (style & 7));
}

// ---- Attribute linkages ----------------------------------------------------------------------
inline constexpr uint16_t LINKAGE_USER_BIT = 0x1000;
inline constexpr uint16_t LINKAGE_ID_FILL = 0x0041;
inline constexpr uint16_t LINKAGE_ID_ODBC = 0x5E62;
inline constexpr uint16_t LINKAGE_ID_ORACLE = 0x6091;
inline constexpr uint16_t LINKAGE_ID_XBASE = 0x1971;
inline constexpr uint16_t LINKAGE_ID_INFORMIX = 0x3848;
inline constexpr uint16_t LINKAGE_ID_RIS = 0x71FB;
inline constexpr uint16_t LINKAGE_ID_SYBASE = 0x4F58;
inline constexpr uint16_t LINKAGE_ID_ASSOCIATION = 0x7D2F;

// One linkage: its header word, its id (second word; the entity number for DMRS), and where
// its bytes lie inside the element.
struct Linkage {
  uint16_t header = 0;
  uint16_t id = 0;
  bool dmrs = false;  // 4-word database linkage without the user bit
  uint32_t offset = 0;
  uint32_t size = 0;
};

// Byte offset where e's linkage area starts, or e.size() when there is none or attindx points
// outside the element.
size_t linkageStart(Bytes e);
// Walks the linkages of e in order, stopping at the first word that is neither a DMRS nor a
// user linkage, or that would run past the element.
std::vector<Linkage> linkages(Bytes e);
// Fill colour of a shape-fill linkage (0x0041); false when e carries none.
bool fillColour(Bytes e, int* colour);

// A database linkage: DMRS (kind 0) or one of the 16-byte user database linkages (kind = id).
struct DatabaseLinkage {
  uint16_t kind = 0;
  uint16_t entity = 0;
  uint32_t mslink = 0;
};
std::vector<DatabaseLinkage> databaseLinkages(Bytes e);

// 16-byte linkages as written by common writers.
std::vector<uint8_t> makeFillLinkage(int colour);
std::vector<uint8_t> makeDatabaseLinkage(uint16_t kind, uint16_t entity, uint32_t mslink);

}  // namespace kelvara::dgn
