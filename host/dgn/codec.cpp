// DGN V7 number encodings, element header and linkage walk.
#include "host/dgn/codec.h"

#include <cmath>
#include <cstring>

namespace kelvara::dgn {

uint16_t readU16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void writeU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

uint32_t readU32LE(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void writeU32LE(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t readInt32(const uint8_t* p) {
  const uint32_t u =
      (uint32_t(p[1]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[3]) << 8) | uint32_t(p[2]);
  return static_cast<int32_t>(u);
}

void writeInt32(uint8_t* p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u >> 16);
  p[1] = static_cast<uint8_t>(u >> 24);
  p[2] = static_cast<uint8_t>(u);
  p[3] = static_cast<uint8_t>(u >> 8);
}

int32_t readRange32(const uint8_t* p) {
  const uint32_t u = static_cast<uint32_t>(readInt32(p)) ^ 0x80000000u;
  return static_cast<int32_t>(u);
}

void writeRange32(uint8_t* p, int32_t v) {
  writeInt32(p, static_cast<int32_t>(static_cast<uint32_t>(v) ^ 0x80000000u));
}

// VAX D layout as a 64-bit value: sign (bit 63), exponent (62-55, excess 128), fraction
// (54-0, hidden leading 1 above it). Stored as four 16-bit little-endian words, high first.
double readVaxD(const uint8_t* p) {
  uint64_t v = 0;
  for (int w = 0; w < 4; ++w) v = (v << 16) | readU16(p + 2 * w);
  const uint64_t sign = v >> 63;
  const uint64_t exp = (v >> 55) & 0xFF;
  if (exp == 0) return 0.0;
  const uint64_t frac = v & ((uint64_t(1) << 55) - 1);
  uint64_t mant = frac >> 3;
  if (frac & 7) mant |= 1;  // keep the dropped bits as a sticky lowest bit
  const uint64_t ieee = (sign << 63) | ((exp + 894) << 52) | mant;
  double d;
  std::memcpy(&d, &ieee, sizeof d);
  return d;
}

void writeVaxD(uint8_t* p, double d) {
  uint64_t ieee;
  std::memcpy(&ieee, &d, sizeof ieee);
  const uint64_t sign = ieee >> 63;
  const int64_t exp = static_cast<int64_t>((ieee >> 52) & 0x7FF);
  const uint64_t mant = ieee & ((uint64_t(1) << 52) - 1);
  uint64_t v = 0;
  if (std::isnan(d) || exp == 0) {
    v = 0;  // NaN, zero and IEEE subnormals have no VAX counterpart: 0
  } else if (exp == 0x7FF || exp - 894 > 255) {
    v = (sign << 63) | (uint64_t(255) << 55) | ((uint64_t(1) << 55) - 1);  // saturate
  } else if (exp - 894 < 1) {
    v = 0;
  } else {
    v = (sign << 63) | (uint64_t(exp - 894) << 55) | (mant << 3);
  }
  for (int w = 3; w >= 0; --w) {
    writeU16(p + 2 * w, static_cast<uint16_t>(v & 0xFFFF));
    v >>= 16;
  }
}

namespace {
char radixChar(unsigned code) {
  if (code == 0 || code == 29) return ' ';
  if (code <= 26) return static_cast<char>('A' + code - 1);
  if (code == 27) return '$';
  if (code == 28) return '.';
  if (code >= 30 && code <= 39) return static_cast<char>('0' + code - 30);
  return '?';
}

unsigned radixCode(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A' + 1);
  if (c == '$') return 27;
  if (c == '.') return 28;
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0' + 30);
  return 0;
}
}  // namespace

std::string radix50Decode(uint16_t word) {
  std::string s(3, '?');
  if (word >= 40 * 40 * 40) return s;
  s[0] = radixChar(word / 1600);
  s[1] = radixChar((word / 40) % 40);
  s[2] = radixChar(word % 40);
  return s;
}

uint16_t radix50Encode(std::string_view three) {
  unsigned v = 0;
  for (size_t i = 0; i < 3; ++i) v = v * 40 + (i < three.size() ? radixCode(three[i]) : 0);
  return static_cast<uint16_t>(v);
}

std::string radix50DecodeName(const uint8_t* p, size_t words) {
  std::string s;
  for (size_t w = 0; w < words; ++w) s += radix50Decode(readU16(p + 2 * w));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void radix50EncodeName(uint8_t* p, size_t words, std::string_view name) {
  for (size_t w = 0; w < words; ++w) {
    const std::string_view part = 3 * w < name.size() ? name.substr(3 * w, 3) : std::string_view();
    writeU16(p + 2 * w, radix50Encode(part));
  }
}

bool hasDisplayHeader(int type) {
  switch (type) {
    case 0:
    case 1:
    case 9:
    case 10:
    case 32:
    case 44:
    case 48:
    case 49:
    case 50:
    case 51:
    case 57:
    case 60:
    case 61:
    case 62:
    case 63:
      return false;
    default:
      return true;
  }
}

bool isGraphicType(int type) {
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 6:
    case 7:
    case 11:
    case 12:
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 22:
    case 23:
    case 24:
    case 27:
    case 33:
    case 35:
    case 36:
    case 37:
    case 87:
    case 94:
      return true;
    default:
      return false;
  }
}

bool isComplexHeaderType(int type) {
  switch (type) {
    case 2:
    case 7:
    case 12:
    case 14:
    case 18:
    case 19:
    case 24:
    case 27:
    case 34:
    case 87:
      return true;
    default:
      return false;
  }
}

ElementHeader decodeHeader(Bytes e) {
  ElementHeader h;
  if (e.size() < 4) return h;
  const uint8_t* p = e.data();
  h.type = typeOf(p);
  h.level = levelOf(p);
  h.complex = isComplexBit(p);
  h.deleted = isDeletedBit(p);
  h.wordsToFollow = readU16(p + 2);
  h.size = sizeOf(p);
  if (e.size() >= RANGE_END) {
    h.range.xLow = readRange32(p + 4);
    h.range.yLow = readRange32(p + 8);
    h.range.zLow = readRange32(p + 12);
    h.range.xHigh = readRange32(p + 16);
    h.range.yHigh = readRange32(p + 20);
    h.range.zHigh = readRange32(p + 24);
  }
  h.hasDisplayHeader = hasDisplayHeader(h.type) && e.size() >= HEADER_BYTES;
  if (e.size() >= 32) {
    h.graphicGroup = readU16(p + 28);
    h.attindx = readU16(p + 30);
  }
  if (h.hasDisplayHeader) {
    h.properties = readU16(p + 32);
    h.symbology = readU16(p + 34);
  }
  return h;
}

namespace {
int32_t clampRange(int64_t v) {
  if (v < INT32_MIN) return INT32_MIN;
  if (v > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(v);
}
}  // namespace

void writeRange(uint8_t* e, const DRange3d& r) {
  const int64_t v[6] = {r.xLow, r.yLow, r.zLow, r.xHigh, r.yHigh, r.zHigh};
  for (int i = 0; i < 6; ++i) writeRange32(e + 4 + 4 * i, clampRange(v[i]));
}

size_t linkageStart(Bytes e) {
  if (e.size() < HEADER_BYTES || !hasDisplayHeader(typeOf(e.data()))) return e.size();
  const size_t start = 32 + 2 * size_t(readU16(e.data() + 30));
  return start <= e.size() ? start : e.size();
}

std::vector<Linkage> linkages(Bytes e) {
  std::vector<Linkage> out;
  size_t pos = linkageStart(e);
  while (pos + 4 <= e.size()) {
    const uint16_t head = readU16(e.data() + pos);
    Linkage l;
    l.header = head;
    l.id = readU16(e.data() + pos + 2);
    l.offset = static_cast<uint32_t>(pos);
    if ((head & LINKAGE_USER_BIT) == 0) {
      if (head != 0x0000 && head != 0x8000) break;
      l.dmrs = true;
      l.size = 8;
    } else {
      if (head & 0x0F00) break;  // scaled lengths are not used by V7 files
      l.size = 2 * ((head & 0xFF) + 1u);
    }
    if (pos + l.size > e.size()) break;
    out.push_back(l);
    pos += l.size;
  }
  return out;
}

bool fillColour(Bytes e, int* colour) {
  for (const Linkage& l : linkages(e)) {
    if (!l.dmrs && l.id == LINKAGE_ID_FILL && l.size >= 10) {
      if (colour) *colour = e[l.offset + 8];
      return true;
    }
  }
  return false;
}

namespace {
bool isDatabaseId(uint16_t id) {
  return id == LINKAGE_ID_ODBC || id == LINKAGE_ID_ORACLE || id == LINKAGE_ID_XBASE ||
         id == LINKAGE_ID_INFORMIX || id == LINKAGE_ID_RIS || id == LINKAGE_ID_SYBASE;
}
}  // namespace

std::vector<DatabaseLinkage> databaseLinkages(Bytes e) {
  std::vector<DatabaseLinkage> out;
  for (const Linkage& l : linkages(e)) {
    const uint8_t* p = e.data() + l.offset;
    if (l.dmrs) {
      out.push_back(
          {0, readU16(p + 2), uint32_t(p[4]) | (uint32_t(p[5]) << 8) | (uint32_t(p[6]) << 16)});
    } else if (isDatabaseId(l.id) && l.size >= 12) {
      out.push_back({l.id, readU16(p + 6), readU32LE(p + 8)});
    }
  }
  return out;
}

std::vector<uint8_t> makeFillLinkage(int colour) {
  std::vector<uint8_t> l(16, 0);
  writeU16(l.data(), 0x1007);
  writeU16(l.data() + 2, LINKAGE_ID_FILL);
  l[4] = 0x02;
  l[5] = 0x08;
  l[6] = 0x01;
  l[8] = static_cast<uint8_t>(colour);
  return l;
}

std::vector<uint8_t> makeDatabaseLinkage(uint16_t kind, uint16_t entity, uint32_t mslink) {
  if (kind == 0) {
    std::vector<uint8_t> l(8, 0);
    writeU16(l.data() + 2, entity);
    l[4] = static_cast<uint8_t>(mslink);
    l[5] = static_cast<uint8_t>(mslink >> 8);
    l[6] = static_cast<uint8_t>(mslink >> 16);
    l[7] = 0x01;
    return l;
  }
  std::vector<uint8_t> l(16, 0);
  writeU16(l.data(), 0x1007);
  writeU16(l.data() + 2, kind);
  writeU16(l.data() + 4, 0x0F81);
  writeU16(l.data() + 6, entity);
  writeU32LE(l.data() + 8, mslink);
  return l;
}

}  // namespace kelvara::dgn
