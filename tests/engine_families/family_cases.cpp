#include "family_cases.h"

namespace kelvara::test {

ElmDscrPtr descriptorOf(const Element& bytes, bool is3d) {
  ElmDscrPtr d;
  EXPECT_EQ(mdlElmdscr_new(&d, dgn::Bytes(bytes.data(), bytes.size()), is3d), SUCCESS);
  return d;
}

void runCases(FamilyCompare family, const std::vector<FamilyCase>& cases, bool is3d) {
  for (const FamilyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ElmDscrPtr a = descriptorOf(c.a, is3d), b = descriptorOf(c.b, is3d);
    ASSERT_TRUE(a && b);
    const PairElement pa{a.get(), 0}, pb{b.get(), 0};
    CompareOptions options = c.options;
    options.is3d = is3d;
    EXPECT_EQ(family(pa, pb, options), c.aAgainstB) << "A under test, B the candidate";
    EXPECT_EQ(family(pb, pa, options), c.bAgainstA) << "B under test, A the candidate";
    EXPECT_EQ(comparePair(pa, pb, options), c.aAgainstB == 1 ? 1 : 3) << "comparePair(A, B)";
    EXPECT_EQ(comparePair(pb, pa, options), c.bAgainstA == 1 ? 1 : 3) << "comparePair(B, A)";
  }
}

CompareOptions exact() {
  return {};
}

CompareOptions overlapBy(double toleranceUor) {
  CompareOptions o;
  o.overlap = true;
  o.toleranceUor = toleranceUor;
  return o;
}

CompareOptions rotationBy(double radians) {
  CompareOptions o;
  o.allowRotation = true;
  o.rotationTolerance = radians;
  return o;
}

}  // namespace kelvara::test
