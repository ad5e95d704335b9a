// Host set-up shared by the dialog tests: a clean dialog manager, no open designs and an idle
// host loop, a blank design opened as the active one, and the events a user sends.
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

// The events a user sends to a dialog's item, and an item of an open dialog.
inline EventResult change(int dialog, int item, const std::string& value) {
  return dialogs_handleEvent({dialog, item, DialogEventKind::Change, value});
}
inline EventResult press(int dialog, int item) {
  return dialogs_handleEvent({dialog, item, DialogEventKind::Button, ""});
}
inline EventResult closeWindow(int dialog) {
  return dialogs_handleEvent({dialog, 0, DialogEventKind::Close, ""});
}
inline const DialogItem* itemOf(int dialog, int item) {
  return mdlDialog_itemGetById(mdlDialog_find(dialog), item);
}

}  // namespace kelvara::test
