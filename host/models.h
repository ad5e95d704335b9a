// The models of design files: the host's model directory and the model operations the model
// listing calls, with their mdl names.
//
// A DGN V7 file holds one model, "Default": the default model, not a sheet and not a cell,
// stamped with the file's modification time; its elements carry no modification time of their
// own. Formats with several models per file (layouts, sheets, cell models) answer through the
// same record: the directory is one replaceable record of functions (ModelDirectory), so a
// format, or a test, can supply the models of a file.
//
// Times are seconds since 1970-01-01 UTC, as doubles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/element.h"

namespace kelvara {

// One model of a design file, as the file's model directory lists it.
struct ModelItem {
  std::string name;
  bool isDefault = false;
  bool isSheet = false;
  bool isCell = false;        // a cell model (left out unless an iterator accepts cells)
  double modifiedTime = 0.0;  // the model's own modification time
};

// One element of a model as a work file reads it: its size in bytes (with its components) and
// its modification time, when it carries one.
struct ModelElementStamp {
  uint32_t size = 0;
  bool hasTime = false;
  double modifiedTime = 0.0;
};

// Where the models of an open design file come from.
struct ModelDirectory {
  // The models of the open file `file`, in the file's order. ERROR for an unknown file.
  int (*models)(ModelRef file, std::vector<ModelItem>* out);
  // The elements of the model named `name` of `file` that are not deleted, in file order.
  // ERROR when the file has no such model.
  int (*elements)(ModelRef file, const std::string& name, std::vector<ModelElementStamp>* out);
};

// The record in use.
const ModelDirectory& modelDirectory();
// The record of the design files themselves (DGN V7: one model).
ModelDirectory designModelDirectory();
// Replaces the record in use; setModelDirectory(designModelDirectory()) restores it.
void setModelDirectory(const ModelDirectory& directory);

// ---- Model iteration ------------------------------------------------------------------------

struct ModelIterator {
  std::vector<ModelItem> items;
  size_t next = 0;
};
// The models of the open file `file` in order, cell models only with acceptCells. ERROR for an
// unknown file (the iterator is then empty).
[[nodiscard]] int mdlModelIterator_create(ModelIterator* it, ModelRef file, bool acceptCells);
// The next model, or null after the last.
const ModelItem* mdlModelIterator_getNext(ModelIterator* it);
void mdlModelIterator_free(ModelIterator* it);

// The model's modification time.
double mdlModelItem_getData(const ModelItem& item);
bool mdlModelItem_isDefault(const ModelItem& item);
bool mdlModelItem_isSheet(const ModelItem& item);

// Reads the elements of model `name` of the open work file `file` in file order (see
// ModelDirectory::elements).
[[nodiscard]] int mdlWorkDgn_readModel(ModelRef file, const std::string& name,
                                       std::vector<ModelElementStamp>* elements);

}  // namespace kelvara
