// Runs the comparison pass on a drawing built in a temporary folder and reports what became of
// every element: its entry's status and active flag, whether the file now marks it deleted,
// and what the pass reported.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/load.h"
#include "tests/support/dgn_builder.h"
#include "tests/support/scratch.h"

namespace kelvara::test {

// One reported entry.
struct Reported {
  uint32_t filePosition = 0;
  bool deleted = false;
  bool complexComponent = false;
};

struct PassRun {
  int setupResult = 0;
  int setupOutcome = 0;
  int passResult = 0;
  std::vector<uint32_t> status;  // by element index of the builder (0 = no entry)
  std::vector<uint32_t> active;
  std::vector<bool> deletedInFile;  // after the file was saved
  std::vector<uint8_t> before;      // file bytes before and after
  std::vector<uint8_t> after;
  std::vector<Reported> reports;
};

// Settings for an unattended run with no backup and otherwise the factory values.
EngineSettings unattended();

// Hooks the fixture can set before a run.
struct RunExtras {
  bool expandComplex = false;
  bool makeReadOnlyAfterSetup = false;
  bool fileChanged = false;  // the entry's file differs from the last one's (asks for a backup)
  // Referenced files to write beside the master (name, builder).
  std::vector<std::pair<std::string, DesignBuilder>> references;
};

// Writes the drawing, sets the model up, runs the pass to its end, saves and reads the file
// back. The host state is reset before and after.
PassRun runPass(const DesignBuilder& drawing, const EngineSettings& settings,
                const RunExtras& extras = {});

// Writes the drawing to `path`, resets the host and sets the model up in engine() with `settings`
// and no report hooks; the caller runs the pass and clears the table.
int setUpDrawing(const DesignBuilder& drawing, const std::string& path,
                 const EngineSettings& settings);

// True when the only differences between before and after are deleted bits set on the elements
// at the given positions (and their components): nothing appended, nothing else changed.
::testing::AssertionResult onlyDeletedBitsChanged(const PassRun& run,
                                                  const std::vector<uint32_t>& positions);

}  // namespace kelvara::test
