// The models list file and the "Input Files and Models" dialog's list as data.
#include "lists/models_list_file.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>

#include "host/design.h"
#include "host/files.h"
#include "lists/paths.h"
#include "valuelist/wildcard.h"

namespace kelvara {

namespace {

constexpr const char* PRODUCT = "Kelvara";
constexpr std::array<const char*, 4> MODE_TEXTS = {
    "Compare Active Model with Models from Selected Files",
    "Compare Models of Selected Files",
    "Compare Active File Models with Models from Selected Files",
    "Compare Models Listed in a Text File",
};

ParseError listError(int code, std::string text, const std::string& file) {
  ParseError e;
  e.code = code;
  e.text = std::move(text);
  e.file = file;
  return e;
}

std::string quoted(const char* before, const std::string& path, const char* after) {
  return before + path + after;
}

// The record of a row's side, null for -1; false when the index lies outside the table.
bool sideRecord(const ModelTable& table, int index, const ModelRecord** out) {
  *out = nullptr;
  if (index == -1) return true;
  if (index < 0 || static_cast<size_t>(index) >= table.size()) return false;
  *out = &table[static_cast<size_t>(index)];
  return true;
}

// Splits at the first `separator`; false when there is none.
bool splitFirst(std::string_view text, char separator, std::string_view* before,
                std::string_view* after) {
  const size_t at = text.find(separator);
  if (at == std::string_view::npos) return false;
  *before = text.substr(0, at);
  *after = text.substr(at + 1);
  return true;
}

// The record index for one side of a line: the model newly listed, or the record an earlier
// line listed for the same file and model; -1 when the file gives none.
int sideIndex(ModelTable& table, const std::string& file, const std::string& model,
              int32_t modelTypes) {
  const int added = listFileModels(file, model, modelTypes, table);
  if (added >= 0) return added;
  const std::string lowerFile = toLowerAscii(file);
  for (size_t i = table.size(); i-- > 0;)
    if (toLowerAscii(table[i].fileName) == lowerFile && modelNamePasses(model, table[i].modelName))
      return static_cast<int>(i);
  return -1;
}

// The bytes of the regular file at path; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string* content) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  struct stat st {};
  bool ok = ::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode);
  for (char buffer[8192]; ok;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, f);
    content->append(buffer, n);
    if (n < sizeof buffer) {
      ok = std::ferror(f) == 0;
      break;
    }
  }
  std::fclose(f);
  return ok;
}

}  // namespace

std::string modelListDialogTitle(int mode) {
  std::string title = std::string(PRODUCT) + " - ";
  if (mode >= 0 && static_cast<size_t>(mode) < MODE_TEXTS.size()) title += MODE_TEXTS[mode];
  return title;
}

std::string displayedFileName(const std::string& fileName, const std::string& activeFile) {
  return !activeFile.empty() && fileName == activeFile ? "<Active File>" : fileName;
}

std::string displayedModelName(const ModelRecord& record, const std::string& activeFile,
                               const std::string& activeModel) {
  const bool active =
      !activeFile.empty() && record.fileName == activeFile && record.modelName == activeModel;
  return active ? "<Active Model>" : record.modelName;
}

void tagAllRows(ModelPairList& list, bool tag) {
  for (ModelPairRow& row : list.rows) row.tagged = tag;
}

int selectedRowRecords(const ModelPairList& list, size_t row, const ModelRecord** left,
                       const ModelRecord** right, ParseError* error) {
  if (row < list.rows.size() && sideRecord(list.left, list.rows[row].left, left) &&
      sideRecord(list.right, list.rows[row].right, right))
    return SUCCESS;
  *left = *right = nullptr;
  *error = listError(MODELS_LIST_ROW_DATA, "Internal error: Failed to get row's data (3).", "");
  return ERROR;
}

std::string modelsListEntry(const ModelRecord* record) {
  return record ? record->fileName + "," + record->modelName : ",";
}

int modelsListLines(const ModelPairList& list, bool taggedOnly, bool takeIncomplete,
                    std::vector<std::string>* lines, ParseError* error) {
  lines->clear();
  for (const ModelPairRow& row : list.rows) {
    if (taggedOnly && !row.tagged) continue;
    const ModelRecord* left = nullptr;
    const ModelRecord* right = nullptr;
    if (!sideRecord(list.left, row.left, &left) || !sideRecord(list.right, row.right, &right)) {
      lines->clear();
      *error = listError(MODELS_LIST_ROW_DATA, "Internal error: Failed to get row's data (5).", "");
      return ERROR;
    }
    if (!left && !right) continue;
    if ((!left || !right) && !takeIncomplete) continue;
    lines->push_back(modelsListEntry(left) + ";" + modelsListEntry(right));
  }
  if (!lines->empty()) return SUCCESS;
  *error = listError(MODELS_LIST_NOTHING_TAGGED,
                     "Make sure that you have tagged at least one component.", "");
  return ERROR;
}

int writeModelsList(const std::string& path, const std::vector<std::string>& lines,
                    std::string* notice, ParseError* error) {
  std::string content;
  for (const std::string& line : lines) content += line + "\n";
  std::string why;
  if (writeFileAtomically(path, bytesOf(content), &why) != SUCCESS) {
    *error = listError(MODELS_LIST_UNWRITABLE,
                       quoted("Failed to open \"", path,
                              "\" for writing. Make sure that the file is not read-only."),
                       path);
    return ERROR;
  }
  *notice = quoted("File \"", path, "\" was successfully created.");
  return SUCCESS;
}

std::vector<ModelsListLine> parseModelsList(std::string_view content) {
  std::vector<ModelsListLine> out;
  int number = 0;
  while (!content.empty()) {
    const size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = line.substr(0, MODELS_LIST_LINE_MAX);
    std::string_view left, right, leftFile, leftModel, rightFile, rightModel;
    if (!splitFirst(line, ';', &left, &right)) continue;
    if (!splitFirst(left, ',', &leftFile, &leftModel)) continue;
    if (!splitFirst(right, ',', &rightFile, &rightModel)) continue;
    if (leftFile.empty() || leftModel.empty() || rightFile.empty() || rightModel.empty()) continue;
    out.push_back({std::string(leftFile), std::string(leftModel), std::string(rightFile),
                   std::string(rightModel), number});
  }
  return out;
}

int loadModelsList(const std::string& path, int32_t modelTypes, ModelPairList& list,
                   std::string* notice, ParseError* error) {
  std::string content;
  if (!readWholeFile(path, &content)) {
    *error =
        listError(MODELS_LIST_UNREADABLE, quoted("Failed to read from file \"", path, "\"."), path);
    return ERROR;
  }
  list = ModelPairList();
  for (const ModelsListLine& line : parseModelsList(content)) {
    if (!mdlFile_validDesignFile(line.leftFile) || !mdlFile_validDesignFile(line.rightFile))
      continue;
    const int left = sideIndex(list.left, line.leftFile, line.leftModel, modelTypes);
    const int right = sideIndex(list.right, line.rightFile, line.rightModel, modelTypes);
    if (left >= 0 && right >= 0) list.rows.push_back({left, right, false});
  }
  if (list.rows.empty()) {
    *error = listError(MODELS_LIST_NO_PAIR,
                       quoted("Failed to read information about at least single valid files pair "
                              "from \"",
                              path, "\" file."),
                       path);
    return ERROR;
  }
  *notice = quoted("Models list was successfully loaded from file \"", path, "\".");
  return SUCCESS;
}

ModelsListFileDialog saveModelsListDialog() {
  ModelsListFileDialog d{"Save tagged models to list file", "*.txt", "Models List File", ""};
  (void)pathFromCfgVar(&d.folder, "_USTN_OUT", true);
  return d;
}

ModelsListFileDialog loadModelsListDialog() {
  ModelsListFileDialog d{"Load models list from file", "*.txt", "Models List File", ""};
  (void)pathFromCfgVar(&d.folder, "_USTN_OUT", true);
  return d;
}

}  // namespace kelvara
