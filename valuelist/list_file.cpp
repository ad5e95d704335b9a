#include "valuelist/list_file.h"

#include <cstdio>
#include <vector>

#include "host/config.h"
#include "host/files.h"
#include "host/types.h"

namespace kelvara {

namespace {

struct ListWords {
  const char* what;     // "level", "fonts", "text styles"
  const char* plural;   // "levels", "fonts", "text styles"
  const char* example;  // wildcards that select several
  const char* title;
  const char* defaultFile;
};

ListWords wordsOf(ListKind kind) {
  switch (kind) {
    case ListKind::Levels:
      return {"level", "levels", "V-FUEL*, V-RAIL*", "Create Level List File", "MyLevels.lst"};
    case ListKind::Fonts:
      return {"fonts", "fonts", "Arial*, *KING", "Create Font List File", "MyFonts.lst"};
    case ListKind::TextStyles:
      return {"text styles", "text styles", "V-FUEL*, V-RAIL*", "Create Text Style List File",
              "MyTextStyles.lst"};
  }
  return {};
}

}  // namespace

std::string pc_listTooLongQuestion(ListKind kind, size_t capacity) {
  const ListWords w = wordsOf(kind);
  char text[512];
  std::snprintf(text, sizeof text,
                "Sorry, a %s list is limited to a maximum of %d characters. \nYou can use "
                "wildcards to select multiple %s. For example:\n  %s\nThis application can also "
                "read an unlimited number of %s from a file. Would you like to save your %s list "
                "to a file now?",
                w.what, static_cast<int>(capacity), w.plural, w.example, w.plural, w.what);
  return text;
}

ListFileDialog listFileDialog(ListKind kind, const std::string& currentFile) {
  const ListWords w = wordsOf(kind);
  ListFileDialog dialog{w.title, "*.lst", currentFile.empty() ? w.defaultFile : currentFile, ""};
  (void)mdlSystem_getCfgVar(&dialog.startFolder, "_USTN_OUT");
  return dialog;
}

int picker_saveListFile(std::string* fieldText, std::string* message, const std::string& list,
                        const std::string& fileName, size_t capacity) {
  if (fileName.size() + 2 > capacity) {
    *message = "Sorry, the length of output field is too small even for output file name.";
    return ERROR;
  }
  std::string error;
  if (fileName.empty() ||
      writeFileAtomically(fileName, bytesOf(list), &error, Durability::Synced) != SUCCESS) {
    std::vector<char> text(fileName.size() + 64);
    std::snprintf(text.data(), text.size(), "Unable to open output file \"%s\" for writing.",
                  fileName.c_str());
    *message = text.data();
    return ERROR;
  }
  *fieldText = "@" + fileName;
  return SUCCESS;
}

}  // namespace kelvara
