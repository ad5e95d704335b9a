#include "lists/working_copy.h"

#include <cstdio>

#include "host/config.h"
#include "host/design.h"
#include "lists/paths.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

constexpr const char* kActiveModel = "<ActiveModel>";

std::string activeFileName() {
  std::string path;
  (void)mdlModelRef_getFileName(mdlModelRef_getActive(), &path);
  return path;
}

// A placeholder candidate that exists is usable when it is a valid, writable design file; one
// that does not exist is created as an empty design file. Runs that start at the same time may
// pick the same candidate: it is created exclusively, and one that another run created meanwhile
// is judged as any existing one.
bool usablePlaceholder(const std::string& candidate) {
  auto existingIsUsable = [&] {
    uint32_t attributes = 0;
    if (mdlFile_getFileAttributes(candidate, &attributes) != SUCCESS) return false;
    return mdlFile_validDesignFile(candidate) && (attributes & FILE_ATTR_READONLY) == 0;
  };
  if (mdlFile_getFileAttributes(candidate, nullptr) == SUCCESS) return existingIsUsable();
  const ModelRef seed = mdlModelRef_getActive();
  const int created = seed != 0 ? createDesignFileFromSeed(candidate, seed, Replace::Never)
                                : createDesignFile(candidate, false, Replace::Never);
  return created == SUCCESS || existingIsUsable();
}

}  // namespace

bool isDocumentPath(const std::string& path) {
  return path.size() >= 3 && toLowerAscii(path.substr(0, 3)) == "pw:";
}

bool documentManagementAvailable() {
  static const bool available = cfgVarDefined("PW_WORKDIR");
  return available;
}

void prepareSlot(WorkingCopySlot& slot) {
  slot.checkInControl = 1;
  slot.placeholderPath.clear();
  std::string folder;
  if (temporaryFolder(&folder) == SUCCESS && !folder.empty()) {
    for (int n = 0; n < PLACEHOLDER_COUNT; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "cmptmp%d.dgn", n);
      const std::string candidate = folder + name;
      if (usablePlaceholder(candidate)) {
        slot.placeholderPath = candidate;
        return;
      }
    }
  }
  slot.placeholderPath = activeFileName();
}

int checkOut(WorkingCopySlot& slot, std::string* path, int mode) {
  slot.removeCopy = false;
  slot.checkOutInfo[0] = slot.checkOutInfo[1] = 0;
  slot.status = -1;
  slot.mode = mode;
  slot.documentPath.clear();
  // Without document management a check-out hands the local path through; a document path
  // cannot be checked out here and is opened (and refused) as it stands.
  slot.localPath = *path;
  return 0;
}

void finishSlot(WorkingCopySlot& slot, std::string* path) {
  const bool active = !slot.documentPath.empty() && slot.status == 0;
  if (active && path != nullptr) *path = slot.documentPath;
  slot.checkInControl = 0;
}

int openFileAndModel(const std::string& file, const std::string& model) {
  if (toLowerAscii(file) != toLowerAscii(activeFileName()) || mdlModelRef_getActive() == 0) {
    if (mdlSystem_newDesignFile(file) != SUCCESS) return 1;
  }
  if (model.empty() || model == kActiveModel) return 0;
  std::string activeModel;
  (void)mdlModelRef_getModelName(mdlModelRef_getActive(), &activeModel);
  if (model == activeModel) return 0;
  ModelRef working = 0;
  if (mdlModelRef_createWorkingByName(&working, file, model) != SUCCESS) return 2;
  if (mdlModelRef_activateAndDisplay(working) != SUCCESS) return 2;
  return 0;
}

}  // namespace kelvara
