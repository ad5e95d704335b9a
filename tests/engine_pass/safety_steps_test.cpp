// The set-up's safety steps fail closed: a file that is to be backed up is not processed
// without a backup step, and a model restricted to selection sets is not loaded without an
// admission test. Either way the entry fails with its message and the drawing is not touched.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/engine_pass/pass_fixture.h"

namespace kelvara {
namespace {

using namespace test;

std::vector<std::pair<int, std::string>> shown;
int backups = 0;

void recordMessage(int number, const std::string& argument, void*) {
  shown.emplace_back(number, argument);
}

int countBackup(void*) {
  ++backups;
  return SUCCESS;
}

bool admitLevel5(const MSElementDescr& el, ModelRef, const std::string&, void*) {
  ElementProperties p;
  (void)mdlElement_getProperties(&p, el);
  return p.level == 5;
}

int loadNothing(const std::string&, void*) {
  return SUCCESS;
}

TEST(SafetySteps, MissingBackupOrAdmissionFailsTheEntry) {
  DesignBuilder d;
  d.add(line({0, 0}, {1000, 0}, Symb{.level = 5})).add(line({0, 0}, {1000, 0}, Symb{.level = 5}));
  EngineSettings backupOn = unattended();
  backupOn.backup = true;
  EngineSettings sets = unattended();
  sets.removeSelDup = true;
  sets.criteriaName = "walls.sel";
  sets.criteriaDescrpt = "Walls";
  EngineSettings removeAll = sets;
  removeAll.removeSelDup = false;
  removeAll.removeAllSel = true;
  struct Case {
    const char* name;
    EngineSettings settings;
    int (*backup)(void*);
    bool (*admitted)(const MSElementDescr&, ModelRef, const std::string&, void*);
    int message;  // 0: the set-up succeeds
    int backupsMade;
  };
  const std::vector<Case> cases = {
      {"backup on, no backup step", backupOn, nullptr, nullptr, MSG_BACKUP_FAILED, 0},
      {"backup on, backup step", backupOn, &countBackup, nullptr, 0, 1},
      {"duplicates in selection sets, no admission test", sets, nullptr, nullptr,
       MSG_NO_ADMISSION_TEST, 0},
      {"duplicates in selection sets, admission test", sets, nullptr, &admitLevel5, 0, 0},
      {"remove all selected, no admission test", removeAll, nullptr, nullptr, MSG_NO_ADMISSION_TEST,
       0},
  };
  SetupHooks& hooks = setupHooks();
  const SetupHooks saved = hooks;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shown.clear();
    backups = 0;
    hooks = SetupHooks{};
    hooks.showMessage = &recordMessage;
    hooks.loadSelectionFile = &loadNothing;
    hooks.backup = c.backup;
    hooks.admitted = c.admitted;
    RunExtras extras;
    extras.fileChanged = true;
    const PassRun run = runPass(d, c.settings, extras);
    EXPECT_EQ(backups, c.backupsMade);
    if (c.message == 0) {
      EXPECT_EQ(run.setupResult, SUCCESS);
      EXPECT_TRUE(shown.empty());
      continue;
    }
    EXPECT_EQ(run.setupResult, ERROR);
    EXPECT_EQ(run.setupOutcome, SETUP_BEGUN);
    EXPECT_EQ(run.after, run.before) << "the drawing was changed";
    EXPECT_EQ(shown.size(), 1u);
    if (shown.empty()) continue;
    EXPECT_EQ(shown[0].first, c.message);
    EXPECT_NE(shown[0].second.find("drawing.dgn"), std::string::npos) << shown[0].second;
  }
  hooks = saved;
}

}  // namespace
}  // namespace kelvara
