// The process-wide host state, apart from the design files (host/design.h keeps those).
//
// One record holds what the host remembers between calls: the configuration variables the
// application defined, the user-interface port and the message fields, the armed timers and
// the event loop's flags, the fence, the selection set and named groups, and the views.
// Everything runs on one thread; only the interrupt flag may be set from a signal handler.
#pragma once

#include <array>
#include <atomic>
#include <map>
#include <string>

#include "host/fence.h"
#include "host/selection.h"
#include "host/timers.h"
#include "host/ui.h"
#include "host/view.h"

namespace kelvara {

struct HostState {
  std::map<std::string, std::string, std::less<>> cfgVars;  // defined by the application
  UiPort ui;
  std::array<std::string, FIELD_COUNT> fields;  // last text per message field
  bool progressOpen = false;
  TimerState timers;
  Fence fence;
  SelectionState selection;
  ViewState views;
};

// The one host state record of this process.
HostState& hostState();

// Puts the host state back to its start: no defined variables, the command-line UI port on
// standard error without progress, cleared fields, no timers, no fence, empty selection and
// groups, views reset. Tests call it between cases.
void resetHostState();

}  // namespace kelvara
