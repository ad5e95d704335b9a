#include "frame/messages.h"

#include <map>
#include <string_view>

#include "host/types.h"
#include "host/ui.h"
#include "run/driver.h"

namespace kelvara {

namespace {

// Message list 1. The numbers are fixed by the places that show them.
const std::map<int, const char*>& messageList() {
  static const std::map<int, const char*> list = {
      {1, "Kelvara could not process \"%s\"."},
      {3, "Finds and removes duplicate elements in design files"},
      {4, "Find and remove duplicate elements"},
      {23,
       "Neither a text report nor a design report is switched on. Switch on at least one "
       "report in the report settings before starting a run."},
      {24, "\"%s\" is not a valid design file and has not been processed."},
      {25,
       "Unable to make the backup copy of \"%s\". The file has not been processed, so that it "
       "is not changed without a backup."},
      {26, "Unable to prepare or create the report for \"%s\". The file has not been processed."},
      {27,
       "The elements of the model could not be loaded: the model has no elements, or there is "
       "not enough memory for them."},
      {28,
       "Unable to read the selection file \"%s\". Check that it exists and is a selection file."},
      {29,
       "The selection sets cannot be applied to \"%s\": no selection-set test is set up. The "
       "file has not been processed."},
      {41, "The text report \"%s\" does not exist yet. Run a comparison to create it."},
      {42, "Text reports are switched off, so there is no text report to show."},
      {44,
       "Duplicate elements will be deleted from the design files without review (delete mode "
       "1). Press OK to start or Cancel to stop."},
      {45,
       "Duplicate elements will be deleted from the design files without review (delete mode "
       "2). Press OK to start or Cancel to stop."},
      {46,
       "Duplicate elements will be deleted from the design files without review (delete mode "
       "3). Press OK to start or Cancel to stop."},
      {47,
       "Duplicate elements will be deleted from the design files without review (delete mode "
       "4). Press OK to start or Cancel to stop."},
      {48, "Delete mode 0: duplicates are deleted without review, and the run starts at once."},
      {49, "Delete mode 1: duplicates are deleted without review, after you confirm the run."},
      {50, "Delete mode 2: duplicates are deleted without review, after you confirm the run."},
      {51, "Delete mode 3: duplicates are deleted without review, after you confirm the run."},
      {52, "Delete mode 4: duplicates are deleted without review, after you confirm the run."},
      {57,
       "The text report would replace the design file, because both have the same name and "
       "extension. Choose another text report extension, or keep the design file's extension "
       "in report names."},
      {58,
       "The design report would replace the design file, because both have the same name and "
       "extension. Choose another design report extension, or keep the design file's extension "
       "in report names."},
      {62, "The design report and the text report must have different extensions."},
      {63, "The design report \"%s\" does not exist yet. Run a comparison to create it."},
      {64, "Design reports are switched off, so there is no design report to show."},
      {65, "The fence could not be read. Place a fence, or switch the fence option off."},
      {73, "An entry of the list of design files could not be read. The run has been stopped."},
      {74, "Unable to make a report name from \"%s\": the name is too long."},
      {76,
       "No selection file has been chosen. Choose a selection file, or process every "
       "duplicate of the model."},
      {82, "Unable to create the design report file \"%s\"."},
      {95, "Select A Comparison List File"},
      {96, "Comparison lists (*.lst)\n*.lst\nAll files (*.*)\n*.*"},
  };
  return list;
}

// Message list 2: labels of the review dialog's two delete buttons.
const std::map<int, const char*>& buttonLabelList() {
  static const std::map<int, const char*> list = {
      {2, "~Delete"},
      {4, "~Undelete"},
      {6, "Delete and ~Continue"},
      {8, "Undelete and ~Continue"},
  };
  return list;
}

// Puts `argument` in place of the first %s; the text is never used as a printf format, so an
// argument or message holding % signs is shown as it is.
std::string fill(std::string_view format, const char* argument) {
  std::string out;
  const size_t at = format.find("%s");
  if (at == std::string_view::npos) {
    out.assign(format);
  } else {
    out.assign(format.substr(0, at));
    if (argument != nullptr) out.append(argument);
    out.append(format.substr(at + 2));
  }
  if (out.size() > MAX_MESSAGE_BYTES - 1) out.resize(MAX_MESSAGE_BYTES - 1);
  return out;
}

}  // namespace

const char* messageFormat(int list, int number) {
  if (list != MESSAGE_LIST && list != BUTTON_LABEL_LIST) return nullptr;
  const auto& table = list == MESSAGE_LIST ? messageList() : buttonLabelList();
  const auto it = table.find(number);
  return it == table.end() ? nullptr : it->second;
}

std::string messageText(int number, const char* argument) {
  const char* format = messageFormat(MESSAGE_LIST, number);
  return format == nullptr ? std::string() : fill(format, argument);
}

std::string buttonLabel(int number) {
  const char* format = messageFormat(BUTTON_LABEL_LIST, number);
  return format == nullptr ? std::string() : std::string(format);
}

int showListMessage(int list, int number, const char* argument, bool asMessageBox) {
  const char* format = messageFormat(list, number);
  if (format == nullptr) return ERROR;
  const std::string text = fill(format, argument);
  if (runSession().unattended) return ANSWER_OK;
  if (asMessageBox) return mdlDialog_openMessageBox(MessageBoxButtons::OkCancel, text);
  (void)mdlDialog_openInfoBox(text);
  return ANSWER_OK;
}

int showMessage(int number, const char* argument, bool asMessageBox) {
  return showListMessage(MESSAGE_LIST, number, argument, asMessageBox);
}

}  // namespace kelvara
