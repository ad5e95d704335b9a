// Set-up shared by the tests that drive the application's dialogs from the main dialog: no
// open dialogs or designs, no run, factory settings.
#pragma once

#include "frame/main_dialog.h"
#include "run/driver.h"
#include "settings/run_settings.h"
#include "support/dialog_host.h"

namespace kelvara::test {

// No dialogs, designs or run, and the factory settings (also the state a test leaves behind).
inline void resetMainDialogHost() {
  resetDialogManager();
  resetDesignState();
  duplicateRun() = DuplicateRun{};
  runSession() = RunSession{};
  settings_resetToFactory(runSettings(), true);
}

// Publishes the settings record and opens the main dialog on it; nullptr when it fails.
inline DialogBox* openMainDialog() {
  publishSettingsRecord();
  defineMainDialog();
  return mdlDialog_open(MAIN_DIALOG_ID);
}

}  // namespace kelvara::test
