// Encoders for the few elements the host itself writes: lines (the writability probe), the
// level-name element, and the header elements of a new design file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/dgn/codec.h"
#include "host/dgn/records.h"

namespace kelvara::dgn {

// Signature word of the level-name element: a type 66, level 20 application element whose
// first body word (byte 36) is 0x4C4B ("KL"). Body: signature, version 1 (u16 @38), entry
// count (u16 @40), then per entry: level (u8), name length (u8), the name's bytes. Several
// such elements may exist when the names do not fit in one.
inline constexpr uint16_t LEVEL_NAMES_SIGNATURE = 0x4C4B;
inline constexpr int LEVEL_NAMES_LEVEL = 20;

// Starts an element of the given type and level with a display header (36 bytes, zero
// range, graphic group 0, symbology 0).
std::vector<uint8_t> beginElement(int type, int level);
// Pads to an even size, sets WTF and points attindx at the end (no linkages).
void finishElement(std::vector<uint8_t>& e);
// Appends linkage bytes after the body, sets attindx to them and the A property bit.
void appendLinkage(std::vector<uint8_t>& e, const std::vector<uint8_t>& linkage);
// Writes an int32 point (rounded and clamped) at offset o.
void putPoint(uint8_t* p, const DPoint3d& pt, bool is3d);
int32_t roundToInt32(double v);

// Type 3 line on level 1, colour 0, with a range around its two points.
std::vector<uint8_t> makeLine(const DPoint3d& a, const DPoint3d& b, bool is3d);

// Level-name elements for names[1..63] ("" entries are left out); none when all are empty.
std::vector<std::vector<uint8_t>> makeLevelNameElements(const std::array<std::string, 64>& names);
// Adds the names carried by e to names when e is a level-name element; false otherwise.
bool readLevelNameElement(Bytes e, std::array<std::string, 64>& names);

// Header elements of a new design file: the design file header (units, origin, dimension)
// and a level symbology element, followed by the end-of-design word.
std::vector<uint8_t> makeEmptyDesign(bool is3d, const TcbRecord& units);

}  // namespace kelvara::dgn
