// A model directory for tests: design files that hold several models (sheets, cell models,
// element times), as formats with layouts will give them. Each scratch design file is named
// after the models it is to show; files not named here answer with their own (V7) model.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/design.h"
#include "host/models.h"

namespace kelvara::test {

struct FakeModel {
  ModelItem item;
  std::vector<ModelElementStamp> elements;
};

// Models by file name (the part after the last '/').
inline std::map<std::string, std::vector<FakeModel>>& fakeModels() {
  static std::map<std::string, std::vector<FakeModel>> models;
  return models;
}

inline const std::vector<FakeModel>* fakeModelsOf(ModelRef file) {
  std::string path;
  if (mdlModelRef_getFileName(file, &path) != SUCCESS) return nullptr;
  const auto it = fakeModels().find(path.substr(path.find_last_of('/') + 1));
  return it == fakeModels().end() ? nullptr : &it->second;
}

inline int fakeModelList(ModelRef file, std::vector<ModelItem>* out) {
  const std::vector<FakeModel>* models = fakeModelsOf(file);
  if (!models) return designModelDirectory().models(file, out);
  out->clear();
  for (const FakeModel& m : *models) out->push_back(m.item);
  return SUCCESS;
}

inline int fakeModelElements(ModelRef file, const std::string& name,
                             std::vector<ModelElementStamp>* out) {
  const std::vector<FakeModel>* models = fakeModelsOf(file);
  if (!models) return designModelDirectory().elements(file, name, out);
  for (const FakeModel& m : *models) {
    if (m.item.name != name) continue;
    *out = m.elements;
    return SUCCESS;
  }
  return ERROR;
}

// Installs the fake directory while it lives; the design files' own afterwards.
struct ScopedFakeModels {
  ScopedFakeModels() { setModelDirectory({fakeModelList, fakeModelElements}); }
  ~ScopedFakeModels() {
    setModelDirectory(designModelDirectory());
    fakeModels().clear();
  }
  ScopedFakeModels(const ScopedFakeModels&) = delete;
  ScopedFakeModels& operator=(const ScopedFakeModels&) = delete;
};

}  // namespace kelvara::test
