// `kelvara --settings`: every settings key with its value, its factory value and its meaning,
// and the settings file in use.
#pragma once

#include <cstdio>

#include "frame/options.h"

namespace kelvara {

// Loads the settings as a run would (the settings file, or the settings files among the
// line's arguments, then its --set changes) without creating or changing any file, and prints
// them to out. Returns 0, or 1 after a message on err when a named settings file is missing.
int listSettings(const CommandLine& line, std::FILE* out, std::FILE* err);

}  // namespace kelvara
