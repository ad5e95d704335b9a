// Lists too long for their field: the pickers that build level, font and text style lists
// offer to save a list that does not fit into a list file, which the field then names as
// "@file" (the list-file form the value-list parser reads). This is what they share: the
// question, the file dialog's title, filter, proposed name and start folder, and the save.
#pragma once

#include <cstddef>
#include <string>

namespace kelvara {

enum class ListKind { Levels, Fonts, TextStyles };

// What the "create list file" dialog shows.
struct ListFileDialog {
  std::string title;        // "Create Level List File", "Create Font List File", ...
  std::string filter;       // "*.lst"
  std::string proposed;     // the file the field names already, else "MyLevels.lst", ...
  std::string startFolder;  // the value of "_USTN_OUT" ("" when it is not defined)
};

// The question asked when a list is longer than its field's `capacity` (OK saves to a file).
std::string pc_listTooLongQuestion(ListKind kind, size_t capacity);

// The dialog for saving a list; `currentFile` is the list file the field names ("" for none).
ListFileDialog listFileDialog(ListKind kind, const std::string& currentFile);

// Writes `list` as one line (no line break) to fileName through the atomic writer and gives
// *fieldText "@fileName". ERROR with *message, the field left as it was, when "@" and the name
// do not fit a field of `capacity` characters or the file cannot be written.
[[nodiscard]] int picker_saveListFile(std::string* fieldText, std::string* message,
                                      const std::string& list, const std::string& fileName,
                                      size_t capacity);

}  // namespace kelvara
