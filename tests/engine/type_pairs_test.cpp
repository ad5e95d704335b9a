// The type pair table and the dispatch of its codes.
#include "engine/type_pairs.h"

#include <gtest/gtest.h>

#include <map>

namespace kelvara {
namespace {

TEST(TypePairTest, AsymmetricAndSymmetricPairs) {
  struct Case {
    uint32_t row, column;
    int32_t code;
  };
  for (const Case& c : {
           Case{3, 6, 29}, Case{6, 3, 0},      // a line may duplicate a shape, not the reverse
           Case{16, 15, 18}, Case{15, 16, 0},  // an arc may duplicate an ellipse, not the reverse
           Case{3, 22, 32}, Case{22, 3, 62},   // line and point string both ways
           Case{3, 16, 27}, Case{16, 3, 19},   // line and arc both ways
           Case{14, 12, 78}, Case{12, 14, 73}, Case{2, 2, 2}, Case{35, 35, 3}, Case{7, 7, 4},
           Case{17, 17, 5}, Case{16, 16, 6}, Case{15, 15, 7}, Case{3, 3, 8}, Case{27, 27, 16},
           Case{36, 36, 17}, Case{33, 33, 88}, Case{37, 37, 98}, Case{94, 94, 100},
           Case{34, 34, 0},  // shared cell definitions
                             // are never compared
           Case{87, 87, 0}, Case{5, 5, 0}, Case{9, 9, 0}, Case{66, 66, 0}, Case{0, 0, 0},
           Case{2, 35, 0}, Case{17, 7, 0}, Case{6, 16, 0}, Case{200, 200, 0},
           Case{3, 4000000000u, 0},  // outside the table
       }) {
    EXPECT_EQ(pairCode(c.row, c.column), c.code) << c.row << "," << c.column;
  }
}

TEST(TypePairTest, EveryCodeNamesExactlyOnePair) {
  // Codes 2-98 and 100 each belong to one (row, column) pair, and nothing else is set.
  std::map<int32_t, int> seen;
  const TypePairTable& t = typePairTable();
  for (int r = 0; r < kTypeCount; ++r) {
    for (int c = 0; c < kTypeCount; ++c) {
      if (t.code[r][c] != 0) ++seen[t.code[r][c]];
    }
  }
  EXPECT_EQ(seen.size(), 98u);
  for (int32_t code = 2; code <= 100; ++code) {
    EXPECT_EQ(seen[code], code == 99 ? 0 : 1) << "code " << code;
  }
}

TEST(TypePairTest, CodesDispatchToTheirFamily) {
  struct Case {
    int32_t code;
    PairFamily family;
  };
  for (const Case& c : {
           Case{0, PairFamily::None},        Case{1, PairFamily::None},
           Case{2, PairFamily::Cells},       Case{3, PairFamily::SharedCells},
           Case{4, PairFamily::TextNodes},   Case{5, PairFamily::Text},
           Case{6, PairFamily::Arcs},        Case{7, PairFamily::Ellipses},
           Case{8, PairFamily::Linear},      Case{16, PairFamily::Linear},
           Case{17, PairFamily::Multilines}, Case{18, PairFamily::Linear},
           Case{87, PairFamily::Linear},     Case{88, PairFamily::Dimensions},
           Case{89, PairFamily::Solids},     Case{97, PairFamily::Solids},
           Case{98, PairFamily::Tags},       Case{99, PairFamily::None},
           Case{100, PairFamily::Solids},    Case{101, PairFamily::None},
           Case{-1, PairFamily::None},
       }) {
    EXPECT_EQ(pairFamily(c.code), c.family) << "code " << c.code;
  }
  // Arc against ellipse is compared as point sequences; ellipse against ellipse by parameters.
  EXPECT_EQ(pairFamily(pairCode(16, 15)), PairFamily::Linear);
  EXPECT_EQ(pairFamily(pairCode(15, 15)), PairFamily::Ellipses);
}

}  // namespace
}  // namespace kelvara
