// Fuzz target for the models list reader: the input is a models list's content. Every line
// the parser takes has four non-empty parts split at the first ';' and the first ',' of each
// side, and stands at the start of its input line. The list is then loaded in a scratch folder
// that holds two design files and a text file: every row pairs records of those two files
// (each listed once per side), and the rows written back read as the same rows. Inputs naming
// other folders are passed over: the loader would open whatever files they name.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/dgn/build.h"
#include "host/ui.h"
#include "lists/models_list_file.h"

namespace {

std::string scratchFolder() {
  char pattern[] = "/tmp/kelvara_fuzz_models_XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) std::abort();
  const std::string dir = made;
  const std::vector<uint8_t> design = kelvara::dgn::makeEmptyDesign(false, {});
  for (const char* name : {"a.dgn", "b.dgn"}) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(design.data()), std::streamsize(design.size()));
  }
  std::ofstream(dir + "/notes.txt") << "not a drawing\n";
  return dir;
}

void checkParsed(const std::string& content) {
  using namespace kelvara;
  std::vector<std::string> lines;
  for (size_t start = 0; start < content.size();) {
    const size_t end = content.find('\n', start);
    lines.push_back(content.substr(start, end - start));
    start = end == std::string::npos ? content.size() : end + 1;
  }
  int previous = 0;
  for (const ModelsListLine& l : parseModelsList(content)) {
    if (l.line <= previous || l.line > static_cast<int>(lines.size())) std::abort();
    previous = l.line;
    if (l.leftFile.empty() || l.leftModel.empty() || l.rightFile.empty() || l.rightModel.empty())
      std::abort();
    if (l.leftFile.find_first_of(",;") != std::string::npos ||
        l.leftModel.find(';') != std::string::npos || l.rightFile.find(',') != std::string::npos)
      std::abort();
    const std::string joined =
        l.leftFile + "," + l.leftModel + ";" + l.rightFile + "," + l.rightModel;
    if (joined.size() > MODELS_LIST_LINE_MAX || lines[l.line - 1].rfind(joined, 0) != 0)
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvara;
  static const std::string dir = [] {
    (void)setUiPort(UiPort{});
    return scratchFolder();
  }();
  const std::string content(reinterpret_cast<const char*>(data), size);
  checkParsed(content);
  if (content.find('/') != std::string::npos || content.find('\0') != std::string::npos) return 0;

  std::ofstream(dir + "/fuzz.txt", std::ios::binary | std::ios::trunc) << content;
  static const std::string home = std::filesystem::current_path().string();
  if (chdir(dir.c_str()) != 0) std::abort();
  ModelPairList list;
  std::string notice;
  ParseError error;
  const int status = loadModelsList("fuzz.txt", MODEL_TYPES_ALL, list, &notice, &error);
  if (chdir(home.c_str()) != 0) std::abort();

  if ((status == SUCCESS) != !list.rows.empty()) std::abort();
  if (status != SUCCESS && (error.code != MODELS_LIST_NO_PAIR || error.file != "fuzz.txt"))
    std::abort();
  for (const ModelTable* table : {&list.left, &list.right}) {
    if (table->size() > 2) std::abort();
    for (const ModelRecord& r : *table)
      if ((r.fileName != "a.dgn" && r.fileName != "b.dgn") || r.modelName != "Default")
        std::abort();
  }
  if (status != SUCCESS) return 0;
  std::vector<std::string> lines;
  if (modelsListLines(list, false, false, &lines, &error) != SUCCESS) std::abort();
  std::string written;
  for (const std::string& line : lines) written += line + "\n";
  const std::vector<ModelsListLine> back = parseModelsList(written);
  if (back.size() != list.rows.size()) std::abort();
  for (size_t i = 0; i < back.size(); ++i) {
    const ModelRecord& left = list.left[static_cast<size_t>(list.rows[i].left)];
    const ModelRecord& right = list.right[static_cast<size_t>(list.rows[i].right)];
    if (back[i].leftFile != left.fileName || back[i].rightFile != right.fileName) std::abort();
  }
  return 0;
}
