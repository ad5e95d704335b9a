// Host set-up shared by the dialog tests: a clean dialog manager, no open designs and an idle
// host loop, and a blank design opened as the active one.
#pragma once

#include <string>

#include "host/design.h"
#include "host/dialogs.h"
#include "host/host_loop.h"
#include "host/types.h"
#include "support/dgn_builder.h"

namespace kelvara::test {

inline void resetDialogHost() {
  resetDialogManager();
  resetDesignState();
  resetHostLoop();
}

// Writes a design without elements at `path` and makes it the active design; false when either
// fails.
inline bool openBlankDesign(const std::string& path) {
  return DesignBuilder{}.write(path) && mdlSystem_newDesignFile(path) == SUCCESS;
}

}  // namespace kelvara::test
