// Fuzz target for the comparison list reader: the input is a comparison list's content. It is
// read in a scratch folder that holds two design files and a text file; every name the list
// gives must be one of the two design files, alone or as "FILE,MODEL", each entry at most once. A
// line's names never hold the pair separator and are never blank. Inputs naming other folders are
// passed over: the reader would open whatever files they match.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/dgn/build.h"
#include "host/dgn/image.h"
#include "host/strings.h"
#include "host/ui.h"
#include "lists/file_lists.h"

namespace {

std::string scratchFolder() {
  char pattern[] = "/tmp/kelvara_fuzz_lists_XXXXXX";
  const char* made = mkdtemp(pattern);
  if (made == nullptr) std::abort();
  const std::string dir = made;
  const std::vector<uint8_t> design = kelvara::dgn::makeEmptyDesign(false, {});
  for (const char* name : {"a.dgn", "b.DGN"}) {
    std::ofstream(dir + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(design.data()), std::streamsize(design.size()));
  }
  std::ofstream(dir + "/notes.txt") << "not a drawing\n";
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvara;
  static const std::string dir = [] {
    (void)setUiPort(UiPort{});  // the reader's information boxes are not shown
    return scratchFolder();
  }();
  const std::string content(reinterpret_cast<const char*>(data), size);
  if (content.find('/') != std::string::npos || content.find('\0') != std::string::npos) return 0;

  std::istringstream lines(content);
  for (std::string line; std::getline(lines, line);) {
    for (const std::string& name : comparisonListLineNames(line)) {
      if (name.find('|') != std::string::npos) std::abort();
      if (line.find('|') != std::string::npos &&
          name.find_first_not_of(" \t") == std::string::npos) {
        std::abort();
      }
    }
  }

  std::ofstream(dir + "/fuzz.lst", std::ios::binary | std::ios::trunc) << content;
  // Names are read relative to the working folder: the scratch folder while the list is read,
  // and back again for the fuzzer, which reads its corpus by relative paths.
  static const std::string home = std::filesystem::current_path().string();
  if (chdir(dir.c_str()) != 0) std::abort();
  StringListOwner list(mdlStringList_create(0, 0));
  std::vector<ParseError> errors;
  const int status = readComparisonList(list.get(), "fuzz.lst", errors);
  if (chdir(home.c_str()) != 0) std::abort();
  const long count = mdlStringList_size(list.get());
  if ((status == SUCCESS) != (count > 0)) std::abort();
  // Every error names the list and the line of the name; only the empty list's comes last and
  // without a line.
  for (const ParseError& e : errors) {
    if (e.file != "fuzz.lst" || (e.code != LIST_EMPTY && e.line < 1) || e.text.empty()) {
      std::abort();
    }
    if ((e.code == LIST_EMPTY) != (&e == &errors.back() && status != SUCCESS)) std::abort();
  }
  std::set<std::wstring> seen;
  for (long i = 0; i < count; ++i) {
    const wchar_t* text = nullptr;
    if (mdlStringList_getMember(&text, nullptr, list.get(), i) != SUCCESS) std::abort();
    const std::wstring name(text);
    const std::wstring file = name.substr(0, name.find(L','));
    if (file != L"a.dgn" && file != L"b.DGN") std::abort();
    if (!seen.insert(name).second) std::abort();
  }
  return 0;
}
