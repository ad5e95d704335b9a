// Number encodings, element header and linkages against bytes written by other tools.
#include "host/dgn/codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace kelvara::dgn {
namespace {

// A point written by GDAL 3.6.2 at byte 9130 of a 2D file (type 3, level 1, colour 1, one
// ODBC linkage), byte for byte.
const uint8_t kGdalPoint[68] = {
    0x01, 0x03, 0x20, 0x00, 0x00, 0x00, 0x18, 0x04, 0x00, 0x00, 0x00, 0x08, 0x00, 0x80,
    0x00, 0x00, 0x00, 0x00, 0x18, 0x04, 0x00, 0x00, 0x00, 0x08, 0x00, 0x80, 0x00, 0x00,
    0x00, 0x00, 0x0a, 0x00, 0x00, 0x08, 0x00, 0x01, 0x00, 0x80, 0x18, 0x04, 0x00, 0x80,
    0x00, 0x08, 0x00, 0x80, 0x18, 0x04, 0x00, 0x80, 0x00, 0x08, 0x07, 0x10, 0x62, 0x5e,
    0x81, 0x0f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(Int32, MiddleEndianTable) {
  struct Case {
    uint8_t bytes[4];
    int32_t value;
  } cases[] = {
      {{0x00, 0x00, 0x01, 0x00}, 1},           {{0x01, 0x00, 0x00, 0x00}, 0x10000},
      {{0x34, 0x12, 0x78, 0x56}, 0x12345678},  {{0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {{0x00, 0x80, 0x18, 0x04}, -2147482600}, {{0x00, 0x80, 0x00, 0x00}, INT32_MIN},
      {{0xFF, 0x7F, 0xFF, 0xFF}, INT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readInt32(c.bytes), c.value);
    uint8_t out[4] = {};
    writeInt32(out, c.value);
    EXPECT_EQ(0, std::memcmp(out, c.bytes, 4)) << c.value;
  }
}

TEST(Int32, RangeIsOffsetBinary) {
  // The same value is 00 80 18 04 in the body and 00 00 18 04 in the range block.
  const uint8_t range[4] = {0x00, 0x00, 0x18, 0x04};
  EXPECT_EQ(readRange32(range), -2147482600);
  const int32_t values[] = {0, 1, -1, INT32_MIN, INT32_MAX, 123456789};
  for (int32_t v : values) {
    uint8_t b[4];
    writeRange32(b, v);
    EXPECT_EQ(readRange32(b), v);
    EXPECT_EQ(b[1] & 0x80, v >= 0 ? 0x80 : 0) << v;  // unsigned order follows signed order
  }
  const uint8_t zero[4] = {0x00, 0x80, 0x00, 0x00};
  EXPECT_EQ(readRange32(zero), 0);
}

TEST(VaxD, KnownBytes) {
  struct Case {
    uint8_t bytes[8];
    double value;
  } cases[] = {
      {{0xFF, 0xCF, 0xFF, 0xFF, 0x00, 0xA0, 0x00, 0x00}, -2147483600.0},
      {{0x80, 0x40, 0, 0, 0, 0, 0, 0}, 1.0},
      {{0x80, 0xC0, 0, 0, 0, 0, 0, 0}, -1.0},
      {{0x00, 0x41, 0, 0, 0, 0, 0, 0}, 2.0},
      {{0x00, 0x40, 0, 0, 0, 0, 0, 0}, 0.5},
      {{0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readVaxD(c.bytes), c.value);
    uint8_t out[8] = {};
    writeVaxD(out, c.value);
    EXPECT_EQ(0, std::memcmp(out, c.bytes, 8)) << c.value;
  }
}

TEST(VaxD, RoundTripsWithinPrecisionAndSaturates) {
  const double values[] = {3.141592653589793, -1e-30, 1e30, 123456.789, 6.02e23};
  for (double v : values) {
    uint8_t b[8];
    writeVaxD(b, v);
    EXPECT_EQ(readVaxD(b), v);  // IEEE -> VAX keeps all 52 bits
  }
  uint8_t b[8];
  writeVaxD(b, 1e300);
  EXPECT_GT(readVaxD(b), 1.6e38);
  EXPECT_LT(readVaxD(b), 1.8e38);
  writeVaxD(b, -1e300);
  EXPECT_LT(readVaxD(b), -1.6e38);
  writeVaxD(b, 1e-300);
  EXPECT_EQ(readVaxD(b), 0.0);
  writeVaxD(b, std::nan(""));
  EXPECT_EQ(readVaxD(b), 0.0);
  // An exponent of 0 is zero whatever the fraction and sign say.
  const uint8_t dirtyZero[8] = {0x7F, 0x80, 0xFF, 0xFF, 0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(readVaxD(dirtyZero), 0.0);
  // The 3 fraction bits IEEE cannot hold become a sticky lowest bit.
  const uint8_t low[8] = {0x80, 0x40, 0, 0, 0, 0, 0x01, 0x00};  // 1.0 plus 1 in the last bit
  EXPECT_EQ(readVaxD(low), std::nextafter(1.0, 2.0));
}

TEST(Radix50, EncodeDecodeTable) {
  struct Case {
    const char* text;
    uint16_t word;
  } cases[] = {{"ABC", 1683}, {"A1.", 2868}, {"   ", 0}, {"Z$9", 26 * 1600 + 27 * 40 + 39}};
  for (const Case& c : cases) {
    EXPECT_EQ(radix50Encode(c.text), c.word) << c.text;
    EXPECT_EQ(radix50Decode(c.word), c.text);
  }
  EXPECT_EQ(radix50Encode("ab"), radix50Encode("AB "));
  EXPECT_EQ(radix50Decode(64000), "???");
  uint8_t name[4];
  radix50EncodeName(name, 2, "DOOR1");
  EXPECT_EQ(radix50DecodeName(name, 2), "DOOR1");
  radix50EncodeName(name, 2, "");
  EXPECT_EQ(radix50DecodeName(name, 2), "");
  radix50EncodeName(name, 2, "LONGNAME");
  EXPECT_EQ(radix50DecodeName(name, 2), "LONGNA");
}

TEST(Header, GdalPoint) {
  const ElementHeader h = decodeHeader(Bytes(kGdalPoint, sizeof kGdalPoint));
  EXPECT_EQ(h.type, 3);
  EXPECT_EQ(h.level, 1);
  EXPECT_FALSE(h.complex);
  EXPECT_FALSE(h.deleted);
  EXPECT_EQ(h.size, 68u);
  EXPECT_EQ(h.range.xLow, -2147482600);
  EXPECT_EQ(h.range.yLow, -2147481600);
  EXPECT_EQ(h.range.zLow, 0);
  EXPECT_EQ(h.range.xHigh, -2147482600);
  EXPECT_EQ(h.attindx, 10);
  EXPECT_EQ(h.properties, PROP_ATTRIBUTES);
  EXPECT_EQ(colourOf(h.symbology), 1);
  EXPECT_EQ(linkageStart(Bytes(kGdalPoint, 68)), 52u);
  const auto db = databaseLinkages(Bytes(kGdalPoint, 68));
  ASSERT_EQ(db.size(), 1u);
  EXPECT_EQ(db[0].kind, LINKAGE_ID_ODBC);
  EXPECT_EQ(db[0].mslink, 0u);
  EXPECT_FALSE(fillColour(Bytes(kGdalPoint, 68), nullptr));
}

TEST(Header, FlagsAndSymbology) {
  uint8_t e[36] = {};
  e[0] = 0x80 | 17;  // complex component, level 17
  e[1] = 0x80 | 6;   // deleted shape
  e[2] = 16;
  e[34] = 0x11;  // weight 2, style 1
  e[35] = 0x04;  // colour 4
  const ElementHeader h = decodeHeader(Bytes(e, 36));
  EXPECT_EQ(h.type, 6);
  EXPECT_EQ(h.level, 17);
  EXPECT_TRUE(h.complex);
  EXPECT_TRUE(h.deleted);
  EXPECT_EQ(colourOf(h.symbology), 4);
  EXPECT_EQ(weightOf(h.symbology), 2);
  EXPECT_EQ(styleOf(h.symbology), 1);
  EXPECT_EQ(makeSymbology(4, 2, 1), h.symbology);
  // Types without a display header read no symbology, and a short span reads zeros.
  e[1] = 10;
  EXPECT_FALSE(decodeHeader(Bytes(e, 36)).hasDisplayHeader);
  EXPECT_EQ(decodeHeader(Bytes(e, 36)).symbology, 0);
  EXPECT_EQ(decodeHeader(Bytes(e, 3)).type, 0);
}

TEST(Linkages, WalkStopsAtUnknownOrTruncated) {
  std::vector<uint8_t> e(36, 0);
  e[1] = 3;
  writeU16(e.data() + 30, 2);  // linkages at 36
  auto fill = makeFillLinkage(9);
  auto dmrs = makeDatabaseLinkage(0, 7, 0x123456);
  auto odbc = makeDatabaseLinkage(LINKAGE_ID_ORACLE, 3, 4000000000u);
  e.insert(e.end(), fill.begin(), fill.end());
  e.insert(e.end(), dmrs.begin(), dmrs.end());
  e.insert(e.end(), odbc.begin(), odbc.end());
  const size_t validEnd = e.size();
  e.push_back(0x34);  // neither DMRS nor user linkage: the walk stops
  e.push_back(0x12);
  e.push_back(0);
  e.push_back(0);
  const Bytes b(e.data(), e.size());
  const auto all = linkages(b);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].id, LINKAGE_ID_FILL);
  EXPECT_TRUE(all[1].dmrs);
  EXPECT_EQ(all[2].offset + all[2].size, validEnd);
  int colour = -1;
  EXPECT_TRUE(fillColour(b, &colour));
  EXPECT_EQ(colour, 9);
  const auto db = databaseLinkages(b);
  ASSERT_EQ(db.size(), 2u);
  EXPECT_EQ(db[0].kind, 0);
  EXPECT_EQ(db[0].entity, 7);
  EXPECT_EQ(db[0].mslink, 0x123456u);
  EXPECT_EQ(db[1].kind, LINKAGE_ID_ORACLE);
  EXPECT_EQ(db[1].mslink, 4000000000u);
  // A user linkage claiming more words than the element holds is not returned.
  std::vector<uint8_t> cut(e.begin(), e.begin() + 36 + 10);
  EXPECT_TRUE(linkages(Bytes(cut.data(), cut.size())).empty());
  // attindx pointing past the end means no linkages.
  writeU16(e.data() + 30, 0x7FFF);
  EXPECT_TRUE(linkages(Bytes(e.data(), e.size())).empty());
}

}  // namespace
}  // namespace kelvara::dgn
