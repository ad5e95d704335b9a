// Model lists: listing the models of design files and building the run's entry list.
#include "lists/model_lists.h"

#include <ctime>

#include "host/design.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

// `text` cut to at most `max` bytes, never inside a UTF-8 sequence.
std::string cut(std::string_view text, size_t max) {
  std::string buffer(max + 1, '\0');
  buffer.resize(copyCut(buffer.data(), buffer.size(), text));
  return buffer;
}

std::string fileNamePart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool inTable(const ModelTable& table, const std::string& fileName, const std::string& modelName) {
  const std::string file = toLowerAscii(fileName);
  const std::string model = toLowerAscii(modelName);
  for (const ModelRecord& r : table)
    if (toLowerAscii(r.modelName) == model && toLowerAscii(r.fileName) == file) return true;
  return false;
}

// The record of one model that passed the filters, with its elements read; false when they
// cannot be read.
bool makeRecord(ModelRef workFile, const std::string& fileName, const std::string& modelName,
                double modelTime, ModelRecord* record) {
  std::vector<ModelElementStamp> elements;
  if (mdlWorkDgn_readModel(workFile, modelName, &elements) != SUCCESS) return false;
  record->modelName = modelName;
  record->fileName = fileName;
  record->shortName = fileNamePart(fileName);
  record->modifiedTime = modelTime;
  record->elementBytes = 0;
  record->hasElementTimes = false;
  for (const ModelElementStamp& e : elements) {
    record->elementBytes += e.size;
    if (!e.hasTime) continue;
    record->hasElementTimes = true;
    if (e.modifiedTime > record->modifiedTime) record->modifiedTime = e.modifiedTime;
  }
  record->modifiedText = modifiedTimeText(record->modifiedTime);
  return true;
}

}  // namespace

bool modelNamePasses(std::string_view filter, std::string_view modelName) {
  if (filter.empty() || filter == "*") return true;
  return b_wild(toLowerAscii(filter), toLowerAscii(modelName), 0) != 0;
}

bool modelTypePasses(int32_t modelTypes, const ModelItem& model) {
  switch (modelTypes) {
    case MODEL_TYPES_DEFAULT:
    case MODEL_TYPES_ACTIVE:
      return mdlModelItem_isDefault(model);
    case MODEL_TYPES_NOT_SHEETS:
      return !mdlModelItem_isSheet(model);
    case MODEL_TYPES_SHEETS:
      return mdlModelItem_isSheet(model);
    default:
      return true;
  }
}

std::string modifiedTimeText(double time) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm local{};
  char text[128] = "";
  if (::localtime_r(&t, &local) == nullptr) return {};
  const size_t n = std::strftime(text, sizeof text, "%c", &local);
  return cut(std::string_view(text, n), MODIFIED_TEXT_MAX);
}

int listFileModels(const std::string& fileName, std::string_view nameFilter, int32_t modelTypes,
                   ModelTable& table) {
  if (!mdlFile_validDesignFile(fileName)) return -1;
  ModelRef workFile = 0;
  if (mdlWorkDgn_openFile(&workFile, fileName, true) != SUCCESS) return -1;
  const std::string recordFile = cut(fileName, MODEL_FILE_NAME_MAX);
  int last = -1;
  ModelIterator it;
  if (mdlModelIterator_create(&it, workFile, false) == SUCCESS) {
    while (const ModelItem* model = mdlModelIterator_getNext(&it)) {
      if (table.size() >= MAX_MODEL_RECORDS) break;
      const std::string name = cut(model->name, MODEL_NAME_MAX);
      if (!modelNamePasses(nameFilter, name)) continue;
      if (inTable(table, recordFile, name)) continue;
      const double modelTime = mdlModelItem_getData(*model);
      if (!modelTypePasses(modelTypes, *model)) continue;
      ModelRecord record;
      // The directory is asked by the model's own name, not by the cut one.
      if (!makeRecord(workFile, recordFile, model->name, modelTime, &record)) continue;
      record.modelName = name;
      table.push_back(std::move(record));
      last = static_cast<int>(table.size()) - 1;
    }
  }
  mdlModelIterator_free(&it);
  (void)mdlWorkDgn_discardFile(workFile);  // only read: nothing to save
  return last;
}

int listSelectedFileModels(const std::vector<std::string>& files, std::string_view nameFilter,
                           int32_t modelTypes, ModelTable& table) {
  for (const std::string& file : files) (void)listFileModels(file, nameFilter, modelTypes, table);
  return static_cast<int>(files.size());
}

std::string runEntryText(const ModelRecord& record, int32_t modelTypes) {
  return record.fileName + "," +
         (modelTypes == MODEL_TYPES_ACTIVE ? std::string(ACTIVE_MODEL_ENTRY) : record.modelName);
}

int b_compareFillStringLists(StringList** entryList, const std::vector<std::string>& files,
                             const RunSettings& settings, ModelTable& table) {
  (void)mdlStringList_destroy(*entryList);
  *entryList = mdlStringList_create(0, 0);
  table.clear();
  (void)listSelectedFileModels(files, settings.MODEL_NAMES_FILTER.view(), settings.MODEL_TYPES,
                               table);
  for (const ModelRecord& record : table) {
    long index = 0;
    if (mdlStringList_insertMember(&index, *entryList, -1, 1) != SUCCESS ||
        mdlStringList_setMember(*entryList, index,
                                toWide(runEntryText(record, settings.MODEL_TYPES)),
                                nullptr) != SUCCESS)
      return 1;
  }
  return !files.empty() && table.empty() ? 1 : 0;
}

}  // namespace kelvara
