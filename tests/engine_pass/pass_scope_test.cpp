// What the pass may touch: reference attachments, complex components, read-only files, the
// fence, the selection hook, and the writability probe.
#include <sys/stat.h>

#include "host/design.h"
#include "host/fence.h"
#include "host/probe.h"
#include "host/state.h"
#include "tests/engine_pass/pass_fixture.h"

namespace kelvara::test {
namespace {

// The attachment is displayed and not locate-locked: INC_REF_FILES 0, 1 and 2 load it, 3 and 7
// do not. Its duplicate is reported, never deleted.
TEST(PassScope, ReferencesAreLoadedByTheSettingAndTheirDuplicatesNeverDeleted) {
  DesignBuilder ref;
  ref.add(line({0, 0}, {1000, 0})).add(line({0, 0}, {1000, 0}));
  DesignBuilder master;
  master.add(reference("ref.dgn", "REF")).add(line({0, 5000}, {1000, 5000}));
  RunExtras extras;
  extras.references.push_back({"ref.dgn", ref});
  for (int setting : {0, 1, 2, 3, 7}) {
    SCOPED_TRACE(setting);
    EngineSettings s = unattended();
    s.incRefFiles = setting;
    const PassRun run = runPass(master, s, extras);
    ASSERT_EQ(run.setupResult, SUCCESS);
    ASSERT_EQ(run.reports.size(), setting <= 2 ? 1u : 0u);
    EXPECT_EQ(run.status[1], 22u);
    EXPECT_TRUE(onlyDeletedBitsChanged(run, {}));
    if (run.reports.empty()) continue;
    EXPECT_EQ(run.reports[0].filePosition, ref.positionOf(0));
    EXPECT_FALSE(run.reports[0].deleted);
  }
}

// Rotations are compared in the dimension of the design that was set up: two ellipses turned
// 179.9999 and -179.9999 deg agree by the 26 directions of a 3D design (within 1 deg), not by
// the angles of a 2D design, which differ by nearly a full turn. The elements of a 2D attachment
// of a 3D master are compared as 3D rotations too; the same 2D drawing set up on its own keeps
// the 2D test.
TEST(PassScope, RotationsAreComparedInTheDimensionOfTheDesignSetUp) {
  const auto pair = [](bool is3d, DPoint3d centre) {
    return std::vector<Element>{ellipse(centre, 800, 300, 179.9999, {}, is3d),
                                ellipse(centre, 800, 300, -179.9999, {}, is3d)};
  };
  EngineSettings s = unattended();
  s.incRefFiles = 0;
  s.allowRotation = true;
  s.rotTolerance = "1";
  DesignBuilder ref;  // 2D
  for (Element& e : pair(false, {0, 0, 0})) ref.add(std::move(e));
  DesignBuilder master;
  master.is3d = true;
  master.add(reference("ref.dgn", "REF"));
  for (Element& e : pair(true, {50000, 0, 0})) master.add(std::move(e));
  RunExtras extras;
  extras.references.push_back({"ref.dgn", ref});
  const PassRun run = runPass(master, s, extras);
  ASSERT_EQ(run.setupResult, SUCCESS);
  EXPECT_EQ(run.status[1], 23u);  // the master's own pair: 3D test
  EXPECT_EQ(run.status[2], 22u);
  ASSERT_EQ(run.reports.size(), 2u) << "the reference's pair is compared in 3D too";
  EXPECT_EQ(run.reports[0].filePosition, master.positionOf(1));
  EXPECT_FALSE(run.reports[1].deleted) << "an attachment's element is reported, never deleted";

  const PassRun alone = runPass(ref, s);
  ASSERT_EQ(alone.setupResult, SUCCESS);
  EXPECT_TRUE(alone.reports.empty()) << "on its own the 2D drawing takes the 2D test";
}

TEST(PassScope, ComplexComponentsAreReportedNeverDeleted) {
  DesignBuilder d;
  d.add(complexChain({line({0, 0}, {1000, 0}), line({1000, 0}, {1000, 1000})}))
      .add(line({0, 0}, {1000, 0}));
  RunExtras extras;
  extras.expandComplex = true;
  const PassRun run = runPass(d, unattended(), extras);
  ASSERT_EQ(run.setupResult, SUCCESS);
  ASSERT_EQ(run.reports.size(), 1u);
  EXPECT_TRUE(run.reports[0].complexComponent);
  EXPECT_FALSE(run.reports[0].deleted);
  EXPECT_EQ(run.status[0], 0u);   // the chain header is not loaded when expanding
  EXPECT_EQ(run.status[1], 22u);  // the free line: its partner left the candidates
  EXPECT_TRUE(onlyDeletedBitsChanged(run, {}));
}

TEST(PassScope, FileTurnedReadOnlyDuringThePassIsNeverChanged) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0})).add(line({0, 0}, {1000, 0}));
  RunExtras extras;
  extras.makeReadOnlyAfterSetup = true;
  const PassRun run = runPass(d, unattended(), extras);
  ASSERT_EQ(run.setupResult, SUCCESS);
  EXPECT_EQ(run.status, (std::vector<uint32_t>{23, 22}));
  ASSERT_EQ(run.reports.size(), 1u);
  EXPECT_FALSE(run.reports[0].deleted);
  EXPECT_EQ(run.before, run.after);
}

// (An empty model: the end-to-end run with a model without elements.)
TEST(PassScope, ModelOfDeletedElementsOnlyFailsTheSetUp) {
  DesignBuilder onlyDeleted;
  onlyDeleted.add(deleted(line({0, 0}, {1000, 0})));
  EXPECT_EQ(runPass(onlyDeleted, unattended()).setupResult, ERROR);
}

// Elements outside the fence (or crossing it) are neither compared nor deleted.
TEST(PassScope, OnlyElementsInsideTheFence) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}))  // inside, duplicated
      .add(line({0, 0}, {1000, 0}))
      .add(line({9000, 0}, {12000, 0}))  // crosses the fence edge, duplicated
      .add(line({9000, 0}, {12000, 0}))
      .add(line({20000, 0}, {21000, 0}))  // outside, duplicated
      .add(line({20000, 0}, {21000, 0}));
  ScratchDir dir;
  const std::vector<DPoint3d> fence{{-100, -100}, {10000, -100}, {10000, 100}, {-100, 100}};
  EngineSettings s = unattended();
  s.fence = true;
  // The fence is part of the host state, which runPass resets: define it through a selection
  // hook that runs during loading, before the first element is scanned.
  static std::vector<DPoint3d> fencePoints;
  fencePoints = fence;
  SetupHooks& hooks = setupHooks();
  const SetupHooks saved = hooks;
  hooks.resetModelCounters = [](void*) { ASSERT_EQ(mdlFence_define(fencePoints), SUCCESS); };
  const PassRun run = runPass(d, s);
  hooks = saved;
  ASSERT_EQ(run.setupResult, SUCCESS);
  EXPECT_EQ(run.status, (std::vector<uint32_t>{23, 22, 0, 0, 0, 0}));  // 0: never loaded
  EXPECT_TRUE(onlyDeletedBitsChanged(run, {d.positionOf(0)}));
}

// With REMOVE_ALL_SEL only the elements the selection sets admit are loaded, and each of them
// is deleted without comparison.
TEST(PassScope, RemoveAllSelectedDeletesExactlyTheAdmitted) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}, Symb{.level = 5}))
      .add(line({0, 0}, {1000, 0}, Symb{.level = 1}))
      .add(line({0, 3000}, {1000, 3000}, Symb{.level = 5}));
  SetupHooks& hooks = setupHooks();
  const SetupHooks saved = hooks;
  hooks.admitted = [](const MSElementDescr& el, ModelRef, const std::string& sets, void*) {
    ElementProperties p;
    (void)mdlElement_getProperties(&p, el);
    return sets == "Walls" && p.level == 5;
  };
  EngineSettings s = unattended();
  s.removeAllSel = true;
  s.criteriaDescrpt = "Walls";
  const PassRun run = runPass(d, s);
  hooks = saved;
  ASSERT_EQ(run.setupResult, SUCCESS);
  EXPECT_EQ(run.status, (std::vector<uint32_t>{21, 0, 21}));
  EXPECT_TRUE(onlyDeletedBitsChanged(run, {d.positionOf(0), d.positionOf(2)}));
}

// A drawing of one line in `dir`, its path; the design state is reset.
std::string oneLine(const ScratchDir& dir) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}));
  EXPECT_TRUE(d.write(dir.file("p.dgn")));
  resetDesignState();
  return dir.file("p.dgn");
}

// The probe appends and takes the element back: a cleaned drawing holds exactly its own
// elements, the duplicates marked deleted (EndToEnd.DeleteRunWithDefaultSettings).
TEST(Probe, RefusedOnAReadOnlyFile) {
  ScratchDir dir;
  ModelRef work = 0;
  ASSERT_EQ(mdlWorkDgn_openFile(&work, oneLine(dir), true), SUCCESS);
  const std::vector<uint8_t> before = designFileOf(work)->image.bytes;
  EXPECT_FALSE(probeAppend(work));
  EXPECT_EQ(designFileOf(work)->image.bytes, before);
  resetDesignState();
}

TEST(Probe, UndoRefusesAnythingButTheLastAppend) {
  ScratchDir dir;
  ASSERT_EQ(mdlSystem_newDesignFile(oneLine(dir)), SUCCESS);
  const ModelRef model = mdlModelRef_getActive();
  const ProbeMark mark = markBeforeAppend(model);
  EXPECT_EQ(undoAppend(mark, 1536), ERROR);  // the line after the header: older than the mark
  const DPoint3d pts[2] = {{5, 5}, {6, 6}};
  EXPECT_NE(mdlElement_add(mdlLine_create(pts, false), model), 0u);
  const uint32_t second = mdlElement_add(mdlLine_create(pts, false), model);
  EXPECT_EQ(undoAppend(mark, second), ERROR);  // two appends since the mark
  resetDesignState();
}

}  // namespace
}  // namespace kelvara::test
