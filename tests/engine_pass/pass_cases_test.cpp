// The pass on small drawings: for each case the statuses of every element after the pass, and
// which elements the saved file marks deleted (in an unattended run: exactly the duplicates).
// How a pair's geometry compares is the comparisons' own tests' business; these cases check
// that each setting reaches the pass. Plain copies (the first loaded goes), reversed copies and
// copies in another colour are run through the executable (EndToEnd, DxfCases).
#include <functional>

#include "tests/engine_pass/pass_fixture.h"

namespace kelvara::test {
namespace {

using Tweak = std::function<void(EngineSettings&)>;
constexpr uint32_t U = STATUS_UNIQUE, D = STATUS_DUPLICATE, N = STATUS_NOT_ADMITTED,
                   R = STATUS_REJECTED;

struct Case {
  const char* name;
  std::vector<Element> elements;
  Tweak tweak;
  std::vector<uint32_t> status;  // expected, by element
};

Element ln(Symb s = {}, double y = 0) {
  return line({0, y}, {1000, y}, s);
}
const std::vector<DPoint3d> kSquare{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}};
const std::vector<DPoint3d> kRun{{0, 0}, {1000, 0}, {2000, 0}};

Tweak none = [](EngineSettings&) {};
Tweak underlap = [](EngineSettings& s) { s.allowUnderlap = true; };
Tweak overlap = [](EngineSettings& s) { s.overlap = true; };
// Tolerance 0.5 master units = 500 UOR with 1000 UOR per master unit.
Tweak overlapHalf = [](EngineSettings& s) { s.overlap = true, s.tolerance = "0.5"; };

// clang-format off
std::vector<Case> cases() {
  return {
      {"keep wider: the narrower goes", {ln({.weight = 3}), ln({.weight = 1})},
       [](EngineSettings& s) { s.keepWider = true, s.ignore.useWeight = true; }, {R, D}},
      {"keep solid: the dashed goes", {ln({.style = 0}), ln({.style = 2})},
       [](EngineSettings& s) { s.keepSolid = true, s.ignore.useStyle = true; }, {R, D}},
      {"line and line string: no overlap, no comparison", {ln(), lineString({{0, 0}, {1000, 0}})},
       none, {U, U}},
      {"line and line string with overlap", {ln(), lineString({{0, 0}, {1000, 0}})}, overlap,
       {D, U}},
      {"line on a longer line string, underlap", {lineString(kRun), line(kRun[1], kRun[2])},
       underlap, {U, D}},
      {"line on a longer line string, no underlap", {lineString(kRun), line(kRun[1], kRun[2])},
       none, {U, U}},
      {"overlap 0.5: 100.4 over 100, its ends within 0.5",
       {line({-200, 0}, {100200, 0}), line({0, 0}, {100000, 0})}, overlapHalf, {D, U}},
      {"overlap 0.5: 100.4 beside 100, ends 0.6 away",
       {line({-600, 0}, {99800, 0}), line({0, 0}, {100000, 0})}, overlapHalf, {U, U}},
      {"filled against unfilled shape", {withFill(shape(kSquare), 3), shape(kSquare)}, none,
       {U, U}},
      {"both filled alike", {withFill(shape(kSquare), 3), withFill(shape(kSquare), 3)}, none,
       {D, U}},
      {"filled in other colours", {withFill(shape(kSquare), 3), withFill(shape(kSquare), 4)},
       none, {U, U}},
      {"levels differ", {ln({.level = 1}), ln({.level = 2})}, none, {U, U}},
      {"levels differ, level ignored", {ln({.level = 1}), ln({.level = 2})},
       [](EngineSettings& s) { s.ignore.useLevel = true; }, {D, U}},
      {"colours differ, colour ignored", {ln({.colour = 1}), ln({.colour = 2})},
       [](EngineSettings& s) { s.ignore.useColor = true; }, {D, U}},
      {"weights differ", {ln({.weight = 3}), ln({.weight = 1})}, none, {U, U}},
      {"weights differ, weight ignored", {ln({.weight = 1}), ln({.weight = 2})},
       [](EngineSettings& s) { s.ignore.useWeight = true; }, {D, U}},
      {"styles differ", {ln({.style = 1}), ln({.style = 2})}, none, {U, U}},
      {"styles differ, style ignored", {ln({.style = 1}), ln({.style = 2})},
       [](EngineSettings& s) { s.ignore.useStyle = true; }, {D, U}},
      {"REMOVE group admits level 2 only",
       {ln({.level = 1}), ln({.level = 1}), ln({.level = 2}, 5000), ln({.level = 2}, 5000)},
       [](EngineSettings& s) { s.remove.useLevel = true, s.remove.level = "2"; }, {N, N, D, U}},
      {"REMOVE group by colour list",
       {ln({.colour = 4}), ln({.colour = 4}), ln({.colour = 9}, 5000), ln({.colour = 9}, 5000)},
       [](EngineSettings& s) { s.remove.useColor = true, s.remove.color = "1-5"; }, {D, U, N, N}},
      {"REMOVE group by weight list never admits a cell",
       {cell("DOOR", {0, 0}, {ln()}), ln({}, 5000), ln({}, 5000)},
       [](EngineSettings& s) { s.remove.useWeight = true, s.remove.weight = "0-31"; }, {N, D, U}},
      {"COMPARED group rejects the partner's colour", {ln({.colour = 1}), ln({.colour = 1})},
       [](EngineSettings& s) { s.compared.useColor = true, s.compared.color = "3"; }, {R, R}},
      {"COMPARED group by weight list admits the partner", {ln({.weight = 2}), ln({.weight = 2})},
       [](EngineSettings& s) { s.compared.useWeight = true, s.compared.weight = "0-2"; }, {D, U}},
      // The type pairs are asymmetric: the element under test is the row.
      {"shape first: never compared with the line (6,3)", {shape({{0, 0}, {1000, 0}}), ln()},
       underlap, {U, D}},
      {"line first: the line is a duplicate of the shape (3,6)", {ln(), shape({{0, 0}, {1000, 0}})},
       underlap, {D, U}},
  };
}
// clang-format on

TEST(PassCases, StatusesAndFile) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    DesignBuilder d;
    for (const Element& e : c.elements) d.add(e);
    EngineSettings s = unattended();
    c.tweak(s);
    const PassRun run = runPass(d, s);
    ASSERT_EQ(run.setupResult, SUCCESS);
    EXPECT_EQ(run.passResult, PASS_ENDED);
    EXPECT_EQ(run.status, c.status);
    std::vector<bool> deleted;
    std::vector<uint32_t> gone;
    for (size_t i = 0; i < c.status.size(); ++i) {
      deleted.push_back(c.status[i] == D);
      if (deleted.back()) gone.push_back(d.positionOf(i));
    }
    EXPECT_EQ(run.deletedInFile, deleted);
    EXPECT_TRUE(onlyDeletedBitsChanged(run, gone));
  }
}

// Which entries stay candidates after the pass: a unique entry only under underlap, a
// rejected one always, a duplicate only in interactive runs.
TEST(PassActive, UniqueEntriesStayCandidatesOnlyWithUnderlapAndRejectedOnesAlways) {
  DesignBuilder d;
  d.add(ln()).add(ln({}, 3000));
  EngineSettings s = unattended();
  EXPECT_EQ(runPass(d, s).active, (std::vector<uint32_t>{0, 0}));
  s.allowUnderlap = true;
  EXPECT_EQ(runPass(d, s).active, (std::vector<uint32_t>{1, 1}));

  DesignBuilder pair;
  pair.add(ln({.weight = 3})).add(ln({.weight = 1}));
  s = unattended();
  s.keepWider = true;
  s.ignore.useWeight = true;
  EXPECT_EQ(runPass(pair, s).active, (std::vector<uint32_t>{1, 0}));
}

}  // namespace
}  // namespace kelvara::test
