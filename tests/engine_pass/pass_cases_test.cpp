// The pass on small drawings: for each case the statuses of every element after the pass, and
// which elements the saved file marks deleted.
#include <functional>

#include "tests/engine_pass/pass_fixture.h"

namespace kelvara::test {
namespace {

using Tweak = std::function<void(EngineSettings&)>;

struct Case {
  const char* name;
  std::vector<Element> elements;
  Tweak tweak;
  std::vector<uint32_t> status;  // expected, by element
  std::vector<bool> deleted;     // expected in the saved file
};

const Symb kPlain{};
Symb level(int l) {
  return Symb{.level = l};
}
Symb colour(int c) {
  return Symb{.colour = c};
}
Symb weight(int w) {
  return Symb{.weight = w};
}
Symb style(int s) {
  return Symb{.style = s};
}

const std::vector<DPoint3d> kSquare{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}};
// The same square starting at its second vertex, and running the other way from its third.
const std::vector<DPoint3d> kSquareRotated{{1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}, {1000, 0}};
const std::vector<DPoint3d> kSquareBackward{
    {1000, 1000}, {1000, 0}, {0, 0}, {0, 1000}, {1000, 1000}};

Tweak none = [](EngineSettings&) {};
Tweak reversed = [](EngineSettings& s) { s.allowReversed = true; };
Tweak underlap = [](EngineSettings& s) { s.allowUnderlap = true; };
Tweak overlap = [](EngineSettings& s) { s.overlap = true; };
// Tolerance 0.5 master units = 500 UOR with 1000 UOR per master unit.
Tweak overlapHalf = [](EngineSettings& s) { s.overlap = true, s.tolerance = "0.5"; };
Tweak overlapHalfUnderlap = [](EngineSettings& s) {
  s.overlap = true, s.tolerance = "0.5", s.allowUnderlap = true;
};

std::vector<Case> cases() {
  const Element a = line({0, 0}, {1000, 0});
  return {
      {"identical lines: the first loaded goes", {a, a}, none, {23, 22}, {true, false}},
      {"unique lines stay", {a, line({0, 0}, {1000, 5})}, none, {22, 22}, {false, false}},
      {"keep wider: the narrower goes",
       {line({0, 0}, {1000, 0}, weight(3)), line({0, 0}, {1000, 0}, weight(1))},
       [](EngineSettings& s) {
         s.keepWider = true;
         s.ignore.useWeight = true;  // the weights differ: compare without them
       },
       {26, 23},
       {false, true}},
      {"without keep wider the wider goes first",
       {line({0, 0}, {1000, 0}, weight(3)), line({0, 0}, {1000, 0}, weight(3))},
       none,
       {23, 22},
       {true, false}},
      {"keep solid: the dashed goes",
       {line({0, 0}, {1000, 0}, style(0)), line({0, 0}, {1000, 0}, style(2))},
       [](EngineSettings& s) {
         s.keepSolid = true;
         s.ignore.useStyle = true;  // the styles differ: compare without them
       },
       {26, 23},
       {false, true}},
      {"different weights are not duplicates",
       {line({0, 0}, {1000, 0}, weight(3)), line({0, 0}, {1000, 0}, weight(1))},
       none,
       {22, 22},
       {false, false}},
      {"line and line string: no overlap, no comparison",
       {line({0, 0}, {1000, 0}), lineString({{0, 0}, {1000, 0}})},
       none,
       {22, 22},
       {false, false}},
      {"line and line string with overlap",
       {line({0, 0}, {1000, 0}), lineString({{0, 0}, {1000, 0}})},
       overlap,
       {23, 22},
       {true, false}},
      {"line on a longer line string, underlap",
       {lineString({{0, 0}, {1000, 0}, {2000, 0}}), line({1000, 0}, {2000, 0})},
       underlap,
       {22, 23},
       {false, true}},
      {"line on a longer line string, no underlap",
       {lineString({{0, 0}, {1000, 0}, {2000, 0}}), line({1000, 0}, {2000, 0})},
       none,
       {22, 22},
       {false, false}},
      {"reversed line strings with reversal",
       {lineString({{0, 0}, {500, 300}, {1000, 0}}), lineString({{1000, 0}, {500, 300}, {0, 0}})},
       reversed,
       {23, 22},
       {true, false}},
      {"reversed line strings without reversal",
       {lineString({{0, 0}, {500, 300}, {1000, 0}}), lineString({{1000, 0}, {500, 300}, {0, 0}})},
       none,
       {22, 22},
       {false, false}},
      {"closed shape from another vertex, forward",
       {shape(kSquare), shape(kSquareRotated)},
       reversed,
       {23, 22},
       {true, false}},
      {"closed shape from another vertex, backward",
       {shape(kSquareBackward), shape(kSquare)},
       reversed,
       {23, 22},
       {true, false}},
      {"closed shape from another vertex needs reversal",
       {shape(kSquare), shape(kSquareRotated)},
       none,
       {22, 22},
       {false, false}},
      {"overlap 0.5: 100 against 100.4 containing it",
       {line({0, 0}, {100000, 0}), line({-200, 0}, {100200, 0})},
       overlapHalf,
       {23, 22},
       {true, false}},
      {"overlap 0.5: 100.4 over 100, its ends within 0.5",
       {line({-200, 0}, {100200, 0}), line({0, 0}, {100000, 0})},
       overlapHalf,
       {23, 22},
       {true, false}},
      {"overlap 0.5: 100.4 beside 100, ends 0.6 away",
       {line({-600, 0}, {99800, 0}), line({0, 0}, {100000, 0})},
       overlapHalf,
       {22, 22},
       {false, false}},
      {"overlap 0.5 with underlap: 50 on 100",
       {line({0, 0}, {100000, 0}), line({25000, 0}, {75000, 0})},
       overlapHalfUnderlap,
       {22, 23},
       {false, true}},
      {"overlap 0.5 without underlap: 50 on 100 differs in length",
       {line({0, 0}, {100000, 0}), line({25000, 0}, {75000, 0})},
       overlapHalf,
       {22, 22},
       {false, false}},
      {"filled against unfilled shape",
       {withFill(shape(kSquare), 3), shape(kSquare)},
       none,
       {22, 22},
       {false, false}},
      {"both filled alike",
       {withFill(shape(kSquare), 3), withFill(shape(kSquare), 3)},
       none,
       {23, 22},
       {true, false}},
      {"filled in other colours",
       {withFill(shape(kSquare), 3), withFill(shape(kSquare), 4)},
       none,
       {22, 22},
       {false, false}},
      {"levels differ",
       {line({0, 0}, {1000, 0}, level(1)), line({0, 0}, {1000, 0}, level(2))},
       none,
       {22, 22},
       {false, false}},
      {"levels differ, level ignored",
       {line({0, 0}, {1000, 0}, level(1)), line({0, 0}, {1000, 0}, level(2))},
       [](EngineSettings& s) { s.ignore.useLevel = true; },
       {23, 22},
       {true, false}},
      {"colours differ, colour ignored",
       {line({0, 0}, {1000, 0}, colour(1)), line({0, 0}, {1000, 0}, colour(2))},
       [](EngineSettings& s) { s.ignore.useColor = true; },
       {23, 22},
       {true, false}},
      {"colours differ",
       {line({0, 0}, {1000, 0}, colour(1)), line({0, 0}, {1000, 0}, colour(2))},
       none,
       {22, 22},
       {false, false}},
      {"weights differ, weight ignored",
       {line({0, 0}, {1000, 0}, weight(1)), line({0, 0}, {1000, 0}, weight(2))},
       [](EngineSettings& s) { s.ignore.useWeight = true; },
       {23, 22},
       {true, false}},
      {"styles differ",
       {line({0, 0}, {1000, 0}, style(1)), line({0, 0}, {1000, 0}, style(2))},
       none,
       {22, 22},
       {false, false}},
      {"styles differ, style ignored",
       {line({0, 0}, {1000, 0}, style(1)), line({0, 0}, {1000, 0}, style(2))},
       [](EngineSettings& s) { s.ignore.useStyle = true; },
       {23, 22},
       {true, false}},
      {"REMOVE group admits level 2 only",
       {line({0, 0}, {1000, 0}, level(1)), line({0, 0}, {1000, 0}, level(1)),
        line({0, 5000}, {1000, 5000}, level(2)), line({0, 5000}, {1000, 5000}, level(2))},
       [](EngineSettings& s) { s.remove.useLevel = true, s.remove.level = "2"; },
       {25, 25, 23, 22},
       {false, false, true, false}},
      {"REMOVE group by colour list",
       {line({0, 0}, {1000, 0}, colour(4)), line({0, 0}, {1000, 0}, colour(4)),
        line({0, 5000}, {1000, 5000}, colour(9)), line({0, 5000}, {1000, 5000}, colour(9))},
       [](EngineSettings& s) { s.remove.useColor = true, s.remove.color = "1-5"; },
       {23, 22, 25, 25},
       {true, false, false, false}},
      {"REMOVE group by weight list never admits a cell",
       {cell("DOOR", {0, 0}, {line({0, 0}, {1000, 0})}), line({0, 5000}, {1000, 5000}),
        line({0, 5000}, {1000, 5000})},
       [](EngineSettings& s) { s.remove.useWeight = true, s.remove.weight = "0-31"; },
       {25, 23, 22},
       {false, true, false}},
      {"COMPARED group rejects the partner's colour",
       {line({0, 0}, {1000, 0}, colour(1)), line({0, 0}, {1000, 0}, colour(1))},
       [](EngineSettings& s) { s.compared.useColor = true, s.compared.color = "3"; },
       {26, 26},
       {false, false}},
      {"COMPARED group by weight list admits the partner",
       {line({0, 0}, {1000, 0}, weight(2)), line({0, 0}, {1000, 0}, weight(2))},
       [](EngineSettings& s) { s.compared.useWeight = true, s.compared.weight = "0-2"; },
       {23, 22},
       {true, false}},
      {"shape first: never compared with the line (6,3)",
       {shape({{0, 0}, {1000, 0}}), line({0, 0}, {1000, 0})},
       underlap,
       {22, 23},
       {false, true}},
      {"line first: the line is a duplicate of the shape (3,6)",
       {line({0, 0}, {1000, 0}), shape({{0, 0}, {1000, 0}})},
       underlap,
       {23, 22},
       {true, false}},
      {"ellipse first: never a duplicate of the arc (15,16)",
       {ellipse({5000, 5000}, 2000, 2000, 0), arc({5000, 5000}, 2000, 2000, 0, 0, 360)},
       underlap,
       {22, 23},
       {false, true}},
      {"arc first: the arc is a duplicate of the ellipse (16,15)",
       {arc({5000, 5000}, 2000, 2000, 0, 0, 360), ellipse({5000, 5000}, 2000, 2000, 0)},
       underlap,
       {23, 22},
       {true, false}},
      {"report only deletes nothing",
       {a, a},
       [](EngineSettings& s) { s.reportOnly = true; },
       {23, 22},
       {false, false}},
  };
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class PassCases : public ::testing::TestWithParam<Case> {};

TEST_P(PassCases, StatusesAndFile) {
  const Case& c = GetParam();
  DesignBuilder d;
  for (const Element& e : c.elements) d.add(e);
  EngineSettings s = unattended();
  c.tweak(s);
  const PassRun run = runPass(d, s);
  ASSERT_EQ(run.setupResult, SUCCESS);
  EXPECT_EQ(run.passResult, PASS_ENDED);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.deletedInFile, c.deleted);
  std::vector<uint32_t> gone;
  for (size_t i = 0; i < c.deleted.size(); ++i) {
    if (c.deleted[i]) gone.push_back(d.positionOf(i));
  }
  EXPECT_TRUE(onlyDeletedBitsChanged(run, gone));
}

INSTANTIATE_TEST_SUITE_P(Drawings, PassCases, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           }
                           return name;
                         });

// Which entries stay candidates after the pass: a unique entry only under underlap, a duplicate
// only in interactive runs.
TEST(PassActive, UniqueEntriesStayCandidatesOnlyWithUnderlap) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0})).add(line({0, 3000}, {1000, 3000}));
  EngineSettings s = unattended();
  EXPECT_EQ(runPass(d, s).active, (std::vector<uint32_t>{0, 0}));
  s.allowUnderlap = true;
  EXPECT_EQ(runPass(d, s).active, (std::vector<uint32_t>{1, 1}));
}

TEST(PassActive, RejectedAndNotAdmittedStayCandidates) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}, weight(3))).add(line({0, 0}, {1000, 0}, weight(1)));
  EngineSettings s = unattended();
  s.keepWider = true;
  s.ignore.useWeight = true;
  const PassRun run = runPass(d, s);
  EXPECT_EQ(run.status, (std::vector<uint32_t>{26, 23}));
  EXPECT_EQ(run.active, (std::vector<uint32_t>{1, 0}));
}

}  // namespace
}  // namespace kelvara::test
