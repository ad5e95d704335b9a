// Which element types are compared with which, and by which comparison.
//
// The TypePairTable gives a PairCode for every (type of the element under test, type of the
// candidate) pair; 0 means the pair is never compared. The table is not symmetric: the row is
// the element that would be removed, the column the element it would duplicate. The PairCode
// then selects the family of comparison that decides the pair.
#pragma once

#include <cstdint>

namespace kelvara {

inline constexpr int kTypeCount = 200;  // element types 0-199 have a row and a column

// The comparison families a PairCode dispatches to.
enum class PairFamily {
  None,         // never compared
  Cells,        // 2
  SharedCells,  // 3
  TextNodes,    // 4
  Text,         // 5
  Arcs,         // 6
  Ellipses,     // 7
  Linear,       // 8-16, 18-87: point sequences
  Multilines,   // 17
  Dimensions,   // 88
  Solids,       // 89-97, 100: identity within a distance and an angle tolerance
  Tags,         // 98
};

struct TypePairTable {
  int32_t code[kTypeCount][kTypeCount];
};

// The table, built once.
const TypePairTable& typePairTable();

// PairCode of (element type, candidate type); 0 for a type outside 0-199.
[[nodiscard]] int32_t pairCode(uint32_t elementType, uint32_t candidateType);

// The family of a PairCode; None for 0 and for codes no comparison handles.
[[nodiscard]] PairFamily pairFamily(int32_t code);

}  // namespace kelvara
