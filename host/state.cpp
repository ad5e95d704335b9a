#include "host/state.h"

namespace kelvara {

HostState& hostState() {
  static HostState state = [] {
    HostState s;
    s.ui = commandLineUi(stderr, false);
    return s;
  }();
  return state;
}

void resetHostState() {
  HostState& s = hostState();
  s = HostState{};
  s.ui = commandLineUi(stderr, false);
  clearInterrupt();
}

}  // namespace kelvara
