// Working copies, placeholder files and opening a file and model.
//
// A run processes each entry through a working-copy slot. On this platform there is no
// document-management system: every path is a local file, a check-out hands the path through
// unchanged and a check-in does nothing. Before a run each slot gets a placeholder design file
// (cmptmp0.dgn to cmptmp9.dgn in the temporary folder) that the host could be switched to while
// a working copy is put back.
#pragma once

#include <string>

#include "host/types.h"

namespace kelvara {

inline constexpr int PLACEHOLDER_COUNT = 10;

struct WorkingCopySlot {
  std::string localPath;        // the path the host opens
  std::string placeholderPath;  // a design file the host can be switched to
  int checkInControl = 0;
  int status = -1;           // -1 before a check-out, then its result (0 success)
  std::string documentPath;  // the document's path in document management ("" here)
  int checkOutInfo[2] = {0, 0};
  int mode = 0;  // 1: only read (the copy is removed after use); 0: checked in after use
  bool removeCopy = false;
};

// True when the path names a document of the document-management system ("PW:" in any case).
bool isDocumentPath(const std::string& path);

// True when document management is available ("PW_WORKDIR" is defined); asked once.
bool documentManagementAvailable();

// Prepares a slot before a run: picks the first usable placeholder cmptmp<n>.dgn of the
// temporary folder (creating it as an empty design file seeded from the active model when it
// does not exist; an existing one must be a valid, writable design file). Without a temporary
// folder, or when all ten fail, the placeholder is the active design file.
void prepareSlot(WorkingCopySlot& slot);

// Checks `path` out into the slot; *path may be replaced by the local working copy's path.
// 0 on success, 1 when the check-out failed (with its message shown).
int checkOut(WorkingCopySlot& slot, std::string* path, int mode);

// Puts the slot's working copy back (check-in or removal); hands the document path back in
// *path when it is not null and the slot was active.
void finishSlot(WorkingCopySlot& slot, std::string* path);

// Switches the host to `file` (when it is not already the active design file) and to `model`
// (when given, not "<ActiveModel>" and not the active model). 0 on success, 1 when the file
// cannot be opened, 2 when the model cannot be activated.
int openFileAndModel(const std::string& file, const std::string& model);

}  // namespace kelvara
