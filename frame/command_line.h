// The command line's unattended run: `kelvara [--set KEY=VALUE]... [--] ARGUMENT...`.
//
// The arguments become the load arguments of a batch start (as the host's start-up batch would
// pass them), the user-interface port prints to standard error (progress only on a terminal),
// the end-of-run summary goes to standard output, and Ctrl-C asks the cancel question (which an
// unattended run answers OK). The process ends when the run ends.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "frame/options.h"

namespace kelvara {

inline constexpr int EXIT_RUN_COMPLETED = 0;  // every entry was processed
// Nothing to process or nothing could be processed; the run could not start, was cancelled,
// stopped early, or could not write a drawing or a run-wide report.
inline constexpr int EXIT_RUN_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
// The run completed, but some entries were skipped or failed (each named on standard error).
inline constexpr int EXIT_SOME_ENTRIES_FAILED = 3;

// Prints `why` and the usage lines to err; returns EXIT_USAGE.
int usageError(std::FILE* err, const std::string& why);

// Runs over the arguments of a parsed command line of action Run (its --set changes applied
// after the settings files). Returns the process exit status.
int runFromCommandLine(const CommandLine& line, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace kelvara
