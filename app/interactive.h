// `kelvara --ui [--port N] [--no-browser] [FILE]`: the interactive application.
#pragma once

#include <cstdio>

#include "frame/options.h"

namespace kelvara {

// Serves the dialogs on 127.0.0.1, prints the page's address on `out`, opens it with
// xdg-open unless --no-browser, opens the main dialog and runs the host loop on this thread
// until the main dialog is closed. Returns the exit status: 0 after the main dialog was
// closed, 1 when the server or the main dialog could not start or a drawing could not be
// saved at the end.
int runInteractive(const CommandLine& line, std::FILE* out = stdout, std::FILE* err = stderr);

}  // namespace kelvara
