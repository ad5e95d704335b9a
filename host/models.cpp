// The host's model directory: the one model of a DGN V7 file, and iteration over the models
// that the directory in use gives.
#include "host/models.h"

#include <sys/stat.h>

#include <utility>

#include "host/design.h"
#include "host/dgn/codec.h"
#include "host/dxf/model.h"

namespace kelvara {

namespace {

int designModels(ModelRef file, std::vector<ModelItem>* out) {
  out->clear();
  const DesignFile* f = designFileOf(file);
  if (!f) return ERROR;
  ModelItem item;
  item.name = DEFAULT_MODEL_NAME;
  item.isDefault = true;
  struct stat st {};
  if (::stat(f->path.c_str(), &st) == 0)
    item.modifiedTime = static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec * 1e-9;
  if (f->dxf) {  // model space, then the paper-space layouts in tab order
    for (size_t i = 0; i < f->dxf->drawing->layouts.size(); ++i) {
      ModelItem layout = item;
      layout.name = i == 0 ? "Model" : f->dxf->drawing->layouts[i].name;
      layout.isDefault = i == 0;
      layout.isSheet = i != 0;
      out->push_back(std::move(layout));
    }
    return SUCCESS;
  }
  out->push_back(std::move(item));
  return SUCCESS;
}

int designElements(ModelRef file, const std::string& name, std::vector<ModelElementStamp>* out) {
  out->clear();
  const DesignFile* f = designFileOf(file);
  if (!f) return ERROR;
  // A DXF drawing's models are its model space and layouts: another one than the file holds
  // open is built from the same drawing.
  dgn::DesignImage built;
  const dgn::DesignImage* image = &f->image;
  if (f->dxf) {
    const int layout = name == DEFAULT_MODEL_NAME ? 0 : dxf::findLayout(*f->dxf->drawing, name);
    if (layout < 0) return ERROR;
    dxf::ModelSide side;
    std::string error;
    if (layout != f->dxf->layout &&
        !dxf::buildModel(f->dxf->drawing, layout, f->dxf->placement, built, side, error))
      return ERROR;
    if (layout != f->dxf->layout) image = &built;
  } else if (name != DEFAULT_MODEL_NAME) {
    return ERROR;
  }
  const dgn::DesignImage& img = *image;
  for (uint32_t slot : img.topLevel) {
    const dgn::ElementSlot& s = img.slots[slot];
    if (dgn::isDeletedBit(img.bytes.data() + s.offset)) continue;
    out->push_back({s.extentEnd - s.offset, false, 0.0});
  }
  return SUCCESS;
}

ModelDirectory& directoryInUse() {
  static ModelDirectory directory = designModelDirectory();
  return directory;
}

}  // namespace

const ModelDirectory& modelDirectory() {
  return directoryInUse();
}

ModelDirectory designModelDirectory() {
  return {designModels, designElements};
}

void setModelDirectory(const ModelDirectory& directory) {
  directoryInUse() = directory;
}

int mdlModelIterator_create(ModelIterator* it, ModelRef file, bool acceptCells) {
  it->items.clear();
  it->next = 0;
  if (modelDirectory().models(file, &it->items) != SUCCESS) {
    it->items.clear();
    return ERROR;
  }
  if (!acceptCells) std::erase_if(it->items, [](const ModelItem& m) { return m.isCell; });
  return SUCCESS;
}

const ModelItem* mdlModelIterator_getNext(ModelIterator* it) {
  return it->next < it->items.size() ? &it->items[it->next++] : nullptr;
}

void mdlModelIterator_free(ModelIterator* it) {
  it->items.clear();
  it->next = 0;
}

double mdlModelItem_getData(const ModelItem& item) {
  return item.modifiedTime;
}

bool mdlModelItem_isDefault(const ModelItem& item) {
  return item.isDefault;
}

bool mdlModelItem_isSheet(const ModelItem& item) {
  return item.isSheet;
}

int mdlWorkDgn_readModel(ModelRef file, const std::string& name,
                         std::vector<ModelElementStamp>* elements) {
  return modelDirectory().elements(file, name, elements);
}

}  // namespace kelvara
