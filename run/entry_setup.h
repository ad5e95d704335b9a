// What the run plugs into the engine's model set-up and comparison pass, and the options it
// takes from the settings once per run.
//
// The set-up hooks reset the model's counters, make the backup copy (once per file per run,
// before its first model), open the entry's design and text reports and write the file block,
// show numbered messages, and restrict loading to the selection sets when the run is limited
// to them. The pass hooks send every reported element to the text and design reports.
#pragma once

#include <string>

#include "engine/pass.h"
#include "settings/run_settings.h"

namespace kelvara {

struct DuplicateRun;

// The report options and the run header, taken when the run starts.
void takeRunOptions(DuplicateRun& run, const RunSettings& s);

// The date line of a report created now (the stepper's clock, local time).
std::string reportDateNow();

// Installs the set-up hooks and the pass's report hooks.
void installEntryHooks();

// The backup name of a design file: the same directory and name with the extension "bak".
std::string backupName(const std::string& designFile);

// Makes the backup copy of the active design file unless this run already made one for it.
// When the file has a backup already, it is replaced only if this run changes the file: the
// host makes it right before it first writes the file (registerPendingBackup). SUCCESS when
// copied, left pending or already done; ERROR (message 25 shown) when the copy fails or an
// existing backup could not be replaced.
[[nodiscard]] int backupActiveFile(DuplicateRun& run);

}  // namespace kelvara
