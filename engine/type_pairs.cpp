#include "engine/type_pairs.h"

#include <array>

namespace kelvara {

namespace {

struct PairEntry {
  uint8_t row;     // the element under test
  uint8_t column;  // the candidate
  uint8_t code;
};

// Rows in type order, each row's pairs as the product defines them.
constexpr PairEntry kPairs[] = {
    // 2 cell
    {2, 2, 2},
    // 3 line
    {3, 3, 8},
    {3, 16, 27},
    {3, 4, 28},
    {3, 6, 29},
    {3, 11, 30},
    {3, 23, 31},
    {3, 22, 32},
    {3, 12, 33},
    {3, 14, 34},
    {3, 27, 35},
    // 4 line string
    {4, 4, 9},
    {4, 16, 36},
    {4, 3, 37},
    {4, 6, 38},
    {4, 11, 39},
    {4, 23, 40},
    {4, 22, 41},
    {4, 12, 42},
    {4, 14, 43},
    {4, 27, 44},
    // 6 shape
    {6, 6, 10},
    {6, 11, 45},
    {6, 4, 46},
    {6, 12, 47},
    {6, 14, 48},
    {6, 27, 49},
    // 7 text node
    {7, 7, 4},
    // 11 curve
    {11, 11, 11},
    {11, 3, 50},
    {11, 16, 51},
    {11, 4, 52},
    {11, 6, 53},
    {11, 23, 54},
    {11, 12, 55},
    {11, 14, 56},
    {11, 27, 57},
    // 12 connected string
    {12, 12, 14},
    {12, 16, 67},
    {12, 3, 68},
    {12, 4, 69},
    {12, 6, 70},
    {12, 11, 71},
    {12, 23, 72},
    {12, 14, 73},
    {12, 27, 74},
    // 14 complex shape
    {14, 14, 15},
    {14, 4, 75},
    {14, 6, 76},
    {14, 11, 77},
    {14, 12, 78},
    {14, 27, 79},
    // 15 ellipse
    {15, 15, 7},
    // 16 arc
    {16, 16, 6},
    {16, 15, 18},
    {16, 3, 19},
    {16, 4, 20},
    {16, 6, 21},
    {16, 11, 22},
    {16, 23, 23},
    {16, 12, 24},
    {16, 14, 25},
    {16, 27, 26},
    // 17 text
    {17, 17, 5},
    // 18 surface, 19 solid
    {18, 18, 89},
    {18, 19, 92},
    {18, 24, 93},
    {19, 19, 90},
    {19, 18, 94},
    {19, 24, 95},
    // 22 point string
    {22, 22, 13},
    {22, 3, 62},
    {22, 4, 63},
    {22, 6, 64},
    {22, 12, 65},
    {22, 14, 66},
    // 23 circular truncated cone
    {23, 23, 12},
    {23, 16, 58},
    {23, 4, 59},
    {23, 12, 60},
    {23, 27, 61},
    // 24 B-spline surface
    {24, 24, 91},
    {24, 19, 96},
    {24, 18, 97},
    // 27 B-spline curve
    {27, 27, 16},
    {27, 3, 80},
    {27, 16, 81},
    {27, 4, 82},
    {27, 6, 83},
    {27, 11, 84},
    {27, 23, 85},
    {27, 12, 86},
    {27, 14, 87},
    // 33 dimension, 35 shared cell, 36 multiline, 37 tag, 94 raster frame
    {33, 33, 88},
    {35, 35, 3},
    {36, 36, 17},
    {37, 37, 98},
    {94, 94, 100},
};

// PairCode ranges and the family each dispatches to.
struct CodeRange {
  int32_t low, high;
  PairFamily family;
};
constexpr CodeRange kDispatch[] = {
    {2, 2, PairFamily::Cells},      {3, 3, PairFamily::SharedCells},
    {4, 4, PairFamily::TextNodes},  {5, 5, PairFamily::Text},
    {6, 6, PairFamily::Arcs},       {7, 7, PairFamily::Ellipses},
    {8, 16, PairFamily::Linear},    {17, 17, PairFamily::Multilines},
    {18, 87, PairFamily::Linear},   {88, 88, PairFamily::Dimensions},
    {89, 97, PairFamily::Solids},   {98, 98, PairFamily::Tags},
    {100, 100, PairFamily::Solids},
};

TypePairTable buildTable() {
  TypePairTable t{};
  for (const PairEntry& p : kPairs) t.code[p.row][p.column] = p.code;
  return t;
}

}  // namespace

const TypePairTable& typePairTable() {
  static const TypePairTable table = buildTable();
  return table;
}

int32_t pairCode(uint32_t elementType, uint32_t candidateType) {
  if (elementType >= kTypeCount || candidateType >= kTypeCount) return 0;
  return typePairTable().code[elementType][candidateType];
}

PairFamily pairFamily(int32_t code) {
  for (const CodeRange& r : kDispatch) {
    if (code >= r.low && code <= r.high) return r.family;
  }
  return PairFamily::None;
}

}  // namespace kelvara
