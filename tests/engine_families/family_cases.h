// Table-driven cases for the family comparisons: two elements built from DGN bytes, the
// options, and the expected result both ways round (A under test against candidate B, and B
// against A). runCases checks the family's own result and what comparePair makes of it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compare_pair.h"
#include "host/element.h"
#include "support/dgn_builder.h"

namespace kelvara::test {

struct FamilyCase {
  std::string name;
  Element a;
  Element b;
  CompareOptions options;
  int aAgainstB;  // 1, 2 or 3
  int bAgainstA;
};

// A descriptor of the element run (fails the test when the bytes are not one element run).
ElmDscrPtr descriptorOf(const Element& bytes, bool is3d = false);

// Runs every case through `family` both ways round, and through comparePair (with the family
// comparisons), which answers 1 only for a family result of 1.
void runCases(FamilyCompare family, const std::vector<FamilyCase>& cases, bool is3d = false);

// Options with the given switches (tolerances in UOR and radians).
CompareOptions exact();
CompareOptions overlapBy(double toleranceUor);
CompareOptions rotationBy(double radians);

// Degrees to radians.
inline double deg(double d) {
  return d * 3.14159265358979323846 / 180.0;
}

}  // namespace kelvara::test
