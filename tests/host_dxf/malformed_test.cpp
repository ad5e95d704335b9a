// Value types and numbers; malformed and refused input, each one clear error naming its line;
// and the symbology rules (level codes, weights, by-level and by-cell).
#include <gtest/gtest.h>

#include <algorithm>

#include "host/dxf/dxf.h"

namespace kelvara::dxf {
namespace {

// A drawing of one LINE; `entity` replaces the LINE's tags (lines 5-12).
std::string drawing(const std::string& entity = "0\nLINE\n5\nA1\n8\n0\n10\n1.5\n",
                    const std::string& tail = "0\nENDSEC\n0\nEOF\n") {
  return "0\nSECTION\n2\nENTITIES\n" + entity + tail;
}

// Input refused with `message` at line `line` (0: not a line's fault).
struct Fault {
  const char* what;
  std::string bytes;
  uint32_t line;
  const char* message;
};

void expectFault(const Fault& c, const DxfError& error) {
  EXPECT_EQ(error.line, c.line);
  EXPECT_NE(error.text.find(c.message), std::string::npos) << error.text;
}

TEST(DxfMalformed, EachFaultIsNamedWithItsLine) {
  const Fault cases[] = {
      {"odd pair", drawing("0\nLINE\n5\nA1\n8\n10\n1.5\n"), 11,
       "a group code was expected, found \"1.5\""},
      {"last value missing", drawing("", "0\nENDSEC\n0\n"), 7, "group code 0 has no value line"},
      {"missing EOF", drawing("0\nLINE\n", "0\nENDSEC\n"), 8, "the file ends without EOF"},
      {"section not closed", drawing("0\nLINE\n", "0\nEOF\n"), 7,
       "section ENTITIES opened at line 1 is not closed (ENDSEC)"},
      {"section inside a section", drawing("0\nSECTION\n2\nBLOCKS\n"), 5,
       "section ENTITIES opened at line 1 is not closed (ENDSEC)"},
      {"ENDSEC outside", "0\nENDSEC\n0\nEOF\n", 1, "SECTION or EOF expected, found \"ENDSEC\""},
      {"repeated handle", drawing("0\nLINE\n5\nA1\n0\nCIRCLE\n5\na1\n"), 9,
       "handle A1 is already used by the record at line 5"},
      {"a follower's handle repeated",
       drawing("0\nPOLYLINE\n5\nA1\n66\n1\n0\nVERTEX\n5\nA2\n0\nSEQEND\n5\nB1\n0\nLINE\n5\nb1\n"),
       19, "handle B1 is already used by the record at line 15"},
      {"bad handle", drawing("0\nLINE\n5\nXYZ\n"), 8, "not a handle: \"XYZ\""},
      {"POLYLINE without SEQEND", drawing("0\nPOLYLINE\n66\n1\n0\nVERTEX\n0\nLINE\n"), 5,
       "POLYLINE without SEQEND"},
      {"102 group left open", drawing("0\nLINE\n102\n{ACAD_REACTORS\n330\n1F\n"), 5,
       "a 102 group is not closed"},
      {"BLOCK without ENDBLK", "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n0\nENDSEC\n0\nEOF\n", 5,
       "BLOCK without ENDBLK"},
      {"repeated section",
       drawing("0\nLINE\n5\nA1\n8\n0\n10\n1.5\n",
               "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n"),
       15, "a second ENTITIES section"},
      {"binary DXF", "AutoCAD Binary DXF\r\n\x1a", 0, "binary DXF is not supported"},
      {"DWG", "AC1032\0\0\0", 0, "reading DWG needs a licensed library"},
  };
  for (const Fault& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d;
    DxfError error;
    ASSERT_FALSE(openDrawing(c.bytes, "bad.dxf", d, error));
    expectFault(c, error);
    EXPECT_EQ(error.text.rfind("bad.dxf: ", 0), 0u) << error.text;
    if (c.line != 0) {
      EXPECT_NE(error.text.find("line " + std::to_string(c.line) + ": "), std::string::npos);
    }
  }
}

// A section of several megabytes is indexed from both ends at once: the records, their lines
// and measures, and the faults with their lines are those of one reader. `middle` goes in the
// middle of 100,000 LINEs, `late` near their end.
TEST(DxfMalformed, ALargeSectionIsReadFromBothEnds) {
  const std::string complexes =
      "0\nPOLYLINE\n66\n1\n8\n0\n0\nVERTEX\n10\n1\n0\nVERTEX\n10\n2\n0\nSEQEND\n"
      "0\nINSERT\n66\n1\n2\nB\n0\nATTRIB\n2\nT\n1\nV\n0\nSEQEND\n"
      "0\nLINE\n102\n{ACAD_REACTORS\n330\n1F\n102\n}\n10\n0\n";
  std::string openPolyline = "0\nPOLYLINE\n66\n1\n";
  for (int i = 0; i < 3000; ++i) openPolyline += "0\nVERTEX\n10\n" + std::to_string(i) + "\n";
  struct Case {
    const char* what;
    std::string middle, late;
    const char* mark;  // the fault's line is where `mark` first starts in the section
    const char* message;
    std::string tail = "0\nENDSEC\n0\nEOF\n";
  } cases[] = {
      {"well-formed", complexes, "0\nLINE\n10\n987654.25\n30\n-3.5\n", nullptr, nullptr},
      {"odd pair late", "", "0\nLINE\n8\n10\nodd\n", "odd",
       "a group code was expected, found \"odd\""},
      {"odd pair in the middle", "0\nLINE\n8\n10\nodd\n", "", "odd",
       "a group code was expected, found \"odd\""},
      {"POLYLINE open across the middle", openPolyline, "", "0\nPOLYLINE",
       "POLYLINE without SEQEND"},
      {"a section opens late", "", "0\nSECTION\n2\nX\n", "0\nSECTION\n2\nX",
       "section ENTITIES opened at line 7 is not closed (ENDSEC)"},
      {"a handle of the first half repeated in the second", "0\nLINE\n5\nABC\n",
       "0\nCIRCLE\n5\nABC\n", "0\nCIRCLE\n5", "is already used by the record at line "},
      {"a fault after the section", "", "", "XYZ!", "not a handle: \"XYZ!\"",
       "0\nENDSEC\n0\nSECTION\n2\nOBJECTS\n0\nDICTIONARY\n5\nXYZ!\n0\nENDSEC\n0\nEOF\n"},
  };
  constexpr int kLines = 100000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A CIRCLE first: the types are numbered in another order from the middle on.
    std::string text =
        "0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n40\n1\n";
    for (int i = 0; i < kLines; ++i) {
      if (i == kLines / 2) text += c.middle;
      if (i == kLines * 7 / 8) text += c.late;
      text += "0\nLINE\n8\n0\n10\n" + std::to_string(i % 1000) + ".5\n11\n1\n";
    }
    text += c.tail;
    std::vector<size_t> lineStarts{0};
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
      lineStarts.push_back(at + 1);
    auto lineOf = [&](size_t at) {
      return uint32_t(std::upper_bound(lineStarts.begin(), lineStarts.end(), at) -
                      lineStarts.begin());
    };
    Drawing d;
    DxfError error;
    const bool read = openDrawing(text, "large.dxf", d, error);
    if (c.mark) {
      ASSERT_FALSE(read);
      expectFault(Fault{c.what, "", lineOf(text.find(c.mark, text.find("ENTITIES"))), c.message},
                  error);
      continue;
    }
    ASSERT_TRUE(read) << error.text;
    EXPECT_EQ(d.readers, 2);
    EXPECT_EQ(d.largestCoordinate, 987654.25);
    EXPECT_TRUE(d.anyZ);
    const Section* s = findSection(d, "ENTITIES");
    ASSERT_EQ(s->recordCount, uint32_t(kLines + 5));  // a POLYLINE and an INSERT with followers
    for (uint32_t i = s->firstRecord; i < s->firstRecord + s->recordCount; ++i) {
      const Record& r = d.records[i];
      ASSERT_EQ(r.line, lineOf(r.begin)) << i;
      ASSERT_EQ(
          text.compare(r.begin + 2, typeName(d, r).size() + 1, std::string(typeName(d, r)) + "\n"),
          0)
          << i;
      ASSERT_EQ(r.end,
                i + 1 < s->firstRecord + s->recordCount ? d.records[i + 1].begin : s->end - 9)
          << i;
    }
  }
}

TEST(DxfMalformed, EntityValuesThatDoNotDecode) {
  const Fault cases[] = {
      {"coordinate", drawing("0\nLINE\n10\n1,5\n"), 8, "\"1,5\" is not a number for group code 10"},
      {"huge vertex count", drawing("0\nLWPOLYLINE\n90\n2000000000\n10\n0\n20\n0\n"), 5,
       "LWPOLYLINE says 2000000000 vertices but has 1"},
      {"bulge before a vertex", drawing("0\nLWPOLYLINE\n90\n0\n42\n1\n"), 10, "for group code 42"},
      {"huge knot count", drawing("0\nSPLINE\n72\n2000000000\n40\n0\n"), 8,
       "SPLINE says 2000000000 knots but has 1"},
      {"fewer weights than control points",
       drawing("0\nSPLINE\n73\n2\n10\n0\n20\n0\n10\n1\n20\n1\n41\n1\n"), 8,
       "SPLINE says 2 weights (one per control point) but has 1"},
      {"huge loop count", drawing("0\nHATCH\n91\n2000000000\n92\n2\n93\n0\n97\n0\n"), 8,
       "HATCH says 2000000000 loops but has 1"},
      {"huge edge count",
       drawing("0\nHATCH\n91\n1\n92\n1\n93\n1000000000\n72\n1\n10\n0\n20\n0\n97\n0\n"), 12,
       "HATCH says 1000000000 edges but has 1"},
      {"huge source count", drawing("0\nHATCH\n91\n1\n92\n2\n93\n0\n97\n70000\n330\n1F\n"), 14,
       "HATCH says 70000 source objects but has 1"},
      {"loop vertex before a loop", drawing("0\nHATCH\n91\n1\n10\n0\n"), 9,
       "group code 10 is out of place in HATCH"},
      {"huge vertex count", drawing("0\nMLINE\n72\n2000000000\n73\n0\n11\n0\n21\n0\n"), 8,
       "MLINE says 2000000000 vertices but has 1"},
      {"huge parameter count", drawing("0\nMLINE\n72\n1\n73\n1\n11\n0\n74\n99999\n41\n0.5\n"), 14,
       "MLINE says 99999 parameters but has 1"},
      {"ratio", drawing("0\nELLIPSE\n40\nhalf\n"), 8, "\"half\" is not a number for group code 40"},
  };
  for (const Fault& c : cases) {
    SCOPED_TRACE(c.what);
    Drawing d;
    DxfError error;
    ASSERT_TRUE(openDrawing(c.bytes, "bad.dxf", d, error)) << error.text;
    Entity e;
    EXPECT_FALSE(decodeEntity(d, d.records.at(0), e, error));
    expectFault(c, error);
  }
}

TEST(DxfMalformed, UnusualButValidInputIsRead) {
  // A section whose content is not records (a preview bitmap), and an ATTRIB carrying an
  // embedded object whose own text must not replace the attribute's value.
  const std::string thumbnail = "0\nSECTION\n2\nTHUMBNAILIMAGE\n90\n3\n310\nABCDEF\n0\nENDSEC\n";
  const std::string insert =
      "0\nINSERT\n66\n1\n2\nB\n0\nATTRIB\n2\nTAG\n1\nV\n101\nEmbedded Object\n1\nW\n0\nSEQEND\n";
  struct Case {
    std::string bytes;
    std::vector<std::string> attribs;  // tag=value of the first record
  } cases[] = {{thumbnail + drawing(), {}}, {drawing(insert), {"TAG=V"}}};
  for (const Case& c : cases) {
    Drawing d;
    DxfError error;
    ASSERT_TRUE(openDrawing(c.bytes, "ok.dxf", d, error)) << error.text;
    ASSERT_EQ(d.records.size(), 1u);
    Entity e;
    ASSERT_TRUE(decodeEntity(d, d.records[0], e, error)) << error.text;
    std::vector<std::string> attribs;
    for (const Attrib& a : e.attribs) attribs.push_back(a.tag + "=" + a.value);
    EXPECT_EQ(attribs, c.attribs);
  }
}

TEST(DxfTags, ValueTypesAndNumbers) {
  using V = ValueType;
  const std::pair<int, V> types[] = {
      {0, V::String},    {5, V::Handle},    {10, V::Double},  {39, V::Double},  {59, V::Double},
      {62, V::Int16},    {90, V::Int32},    {100, V::String}, {105, V::Handle}, {160, V::Int64},
      {290, V::Bool},    {310, V::Binary},  {320, V::Handle}, {369, V::Handle}, {370, V::Int16},
      {390, V::Handle},  {420, V::Int32},   {481, V::Handle}, {999, V::String}, {1004, V::Binary},
      {1005, V::Handle}, {1040, V::Double}, {1071, V::Int32}};
  for (const auto& [code, type] : types) EXPECT_EQ(valueType(code), type) << code;

  double x = 0;
  int64_t n = 0;
  uint64_t h = 0;
  EXPECT_TRUE(parseDouble("1.0E+20", x) && x == 1e20);
  EXPECT_TRUE(parseDouble(" 0.5000000000000001 ", x) && x == 0.5000000000000001);
  EXPECT_FALSE(parseDouble("1,5", x));
  EXPECT_TRUE(parseInt("     -3", n) && n == -3);
  EXPECT_FALSE(parseInt("3.0", n));
  EXPECT_TRUE(parseHandle("FFFFFFFFFFFFFFFF", h) && h == ~uint64_t{0});
  EXPECT_FALSE(parseHandle("10000000000000000", h));
  EXPECT_FALSE(parseHandle("", h));
}

TEST(DxfText, CodePagesEscapesAndFormatting) {
  struct Case {
    const char* raw;
    const char* codePage;  // nullptr: a drawing of R2007 or later (UTF-8)
    bool mtext;
    const char* plain;
    const char* formatting;
  } cases[] = {
      {"Caf\xE9 \x80", "ANSI_1252", false, "Caf\u00e9 \u20ac", ""},
      {"\x8A", "ansi_1250", false, "\u0160", ""},
      {"\x82", "DOS437", false, "\u00e9", ""},
      {"\x8A\xBF", "ANSI_932", false, "\u6f22", ""},
      {"Caf\xE9", "NOT_A_PAGE", false, "Caf\u00e9", ""},
      {"a\xFF"
       "b",
       nullptr, false, "a\uFFFDb", ""},
      {"%%176 %%065 %%C %%% 5% %%", "ANSI_1252", false, "\u00b0 A \u2300 % 5% %%", ""},
      {"\\U+00e9\\M+5B0A1\\M+2A140 \\U+41", nullptr, false, "\u00e9\u554a\u3000 \\U+41", ""},
      {"%%uA%%U\\P{x}", nullptr, false, "A\\P{x}", "@0%%u@1%%U"},
      {"{\\A1;\\LU\\l}\\Z\\S1#2;", nullptr, true, "U\\Z1/2", "@0{@0\\A1;@0\\L@1\\l@1}@3\\S1#2;"},
      {"\\pxqc;T\\P\\X\\~", nullptr, true, "T\n\n\u00a0", "@0\\pxqc;"},
  };
  for (const Case& c : cases) {
    const PlainText p = plainText(c.raw, c.codePage ? c.codePage : "", !c.codePage, c.mtext);
    EXPECT_EQ(p.text, c.plain) << c.raw;
    EXPECT_EQ(p.formatting, c.formatting) << c.raw;
  }
}

TEST(DxfSymbology, LevelsWeightsColoursAndStyles) {
  EXPECT_EQ(levelCode("0"), 0u);
  EXPECT_GE(levelCode("Walls"), 64u);
  EXPECT_EQ(levelCode("Walls"), levelCode("WALLS"));
  EXPECT_NE(levelCode("Walls"), levelCode("Doors"));
  // Names that fold alike collide: the first in (folded, raw) order keeps the code.
  std::vector<Layer> layers(3);
  layers[0].name = "Walls", layers[1].name = "0", layers[2].name = "WALLS";
  EXPECT_EQ(levelCodes(layers),
            (std::vector<uint32_t>{levelCode("Walls") + 1, 0, levelCode("Walls")}));

  const int legal[] = {0,  5,  9,  13, 15, 18,  20,  25,  30,  35,  40,  50,
                       53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211};
  for (int w = 0; w < 24; ++w) EXPECT_EQ(weightOf(legal[w]), w) << legal[w];
  EXPECT_EQ(weightOf(26), 7);    // snaps to 25
  EXPECT_EQ(weightOf(500), 23);  // above the largest

  auto entity = [](const char* linetype, int colour, int lineweight, int rgb = -1) {
    Entity e;
    e.linetype = linetype, e.colour = colour, e.lineweight = lineweight;
    if (rgb >= 0) e.trueColour = rgb;
    return e;
  };
  struct Case {
    Entity e;
    By colourBy, weightBy, styleBy;
    int colour, weight;
    std::string style;
  } cases[] = {
      {entity("BYLAYER", 256, -1), By::Level, By::Level, By::Level, 0, 0, ""},
      {entity("ByBlock", 0, -2), By::Cell, By::Cell, By::Cell, 0, 0, ""},
      {entity("Continuous", 5, 35), By::Value, By::Value, By::Value, 5, 9, ""},
      {entity("DASHED", 256, -3), By::Level, By::Value, By::Value, 0, 7, "DASHED"},
      {entity("BYLAYER", 256, -1, 0x123456), By::Value, By::Level, By::Level, 0, 0, ""},
  };
  for (const Case& c : cases) {
    const Symbology s = symbology(c.e);
    EXPECT_EQ(s.colourBy, c.colourBy) << c.e.linetype;
    EXPECT_EQ(s.weightBy, c.weightBy) << c.e.linetype;
    EXPECT_EQ(s.styleBy, c.styleBy) << c.e.linetype;
    EXPECT_EQ(s.colour, c.colour) << c.e.linetype;
    EXPECT_EQ(s.weight, c.weight) << c.e.linetype;
    EXPECT_EQ(s.style, c.style) << c.e.linetype;
  }
}

}  // namespace
}  // namespace kelvara::dxf
