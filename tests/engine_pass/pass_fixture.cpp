#include "tests/engine_pass/pass_fixture.h"

#include <sys/stat.h>

#include <cstdlib>

#include "host/design.h"
#include "host/dgn/image.h"
#include "host/state.h"
#include "host/ui.h"

namespace kelvara::test {

namespace {

PassRun* currentRun = nullptr;

void onReport(const ElementEntry& entry, bool deleted, bool complexComponent, void*) {
  if (currentRun) currentRun->reports.push_back({entry.filePosition, deleted, complexComponent});
}

}  // namespace

EngineSettings unattended() {
  EngineSettings s;
  s.interactive = false;
  s.backup = false;
  return s;
}

PassRun runPass(const DesignBuilder& drawing, const EngineSettings& settings,
                const RunExtras& extras) {
  ScratchDir dir;
  resetDesignState();
  resetHostState();
  ScopedScriptedUi ui;  // messages are recorded, not printed
  PassRun run;
  currentRun = &run;
  const std::string master = dir.file("drawing.dgn");
  EXPECT_TRUE(drawing.write(master));
  for (const auto& [name, ref] : extras.references) EXPECT_TRUE(ref.write(dir.file(name)));
  run.before = readBytes(master);

  Engine& e = engine();
  e.settings = settings;
  e.expandComplex = extras.expandComplex;
  e.report = PassReportHooks{};
  e.report.reportEntry = &onReport;
  run.setupResult = setUpModel(e, nullptr, master, "Default", master, extras.fileChanged);
  run.setupOutcome = e.setupOutcome;
  if (extras.makeReadOnlyAfterSetup) ::chmod(master.c_str(), 0444);
  if (run.setupResult == SUCCESS) run.passResult = runPassToEnd(e);

  run.status.assign(drawing.elements.size(), 0);
  run.active.assign(drawing.elements.size(), 0);
  if (run.setupResult == SUCCESS) {
    for (NodeId n = nextNode(e.table, e.table.head, LoadOrder); n != kNoNode;
         n = nextNode(e.table, n, LoadOrder)) {
      const ElementEntry& entry = entryOf(e.table, n);
      if (entry.modelRef != e.activeModel) continue;
      for (size_t i = 0; i < drawing.elements.size(); ++i) {
        if (drawing.positionOf(i) == entry.filePosition) {
          run.status[i] = entry.status;
          run.active[i] = entry.active;
        }
      }
    }
  }
  clearTable(e.table);
  EXPECT_EQ(closeAllDesignFiles(), SUCCESS);
  resetDesignState();
  resetHostState();
  currentRun = nullptr;

  run.after = readBytes(master);
  dgn::DesignImage img;
  std::string error;
  EXPECT_EQ(dgn::parseImage(run.after, master, img, &error), SUCCESS) << error;
  run.deletedInFile.assign(drawing.elements.size(), false);
  for (size_t i = 0; i < drawing.elements.size(); ++i) {
    const dgn::Bytes el = dgn::elementAt(img, drawing.positionOf(i));
    run.deletedInFile[i] = !el.empty() && dgn::isDeletedBit(el.data());
  }
  return run;
}

int setUpDrawing(const DesignBuilder& drawing, const std::string& path,
                 const EngineSettings& settings) {
  EXPECT_TRUE(drawing.write(path));
  resetDesignState();
  resetHostState();
  Engine& e = engine();
  e.settings = settings;
  e.report = PassReportHooks{};
  return setUpModel(e, nullptr, path, "Default", path, false);
}

::testing::AssertionResult onlyDeletedBitsChanged(const PassRun& run,
                                                  const std::vector<uint32_t>& positions) {
  if (run.before.size() != run.after.size()) {
    return ::testing::AssertionFailure()
           << "file size changed from " << run.before.size() << " to " << run.after.size();
  }
  std::vector<uint8_t> expected = run.before;
  dgn::DesignImage img;
  std::string error;
  if (dgn::parseImage(run.before, "before", img, &error) != SUCCESS) {
    return ::testing::AssertionFailure() << error;
  }
  for (uint32_t pos : positions) {
    const long slot = dgn::findSlot(img, pos);
    if (slot < 0) return ::testing::AssertionFailure() << "no element at " << pos;
    for (size_t k = static_cast<size_t>(slot);
         k < img.slots.size() && img.slots[k].offset < img.slots[slot].extentEnd; ++k) {
      expected[img.slots[k].offset + 1] |= 0x80;
    }
  }
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != run.after[i]) {
      return ::testing::AssertionFailure()
             << "byte " << i << " is " << int(run.after[i]) << ", expected " << int(expected[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace kelvara::test
