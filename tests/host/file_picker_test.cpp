// The file dialog's refusals and questions, driven through the dialog manager: a missing file,
// several files where one is asked for, another filter, replacing an existing file, a second
// dialog. (Listing, folders, choosing and creating: the browser test of the file lists.)
#include "host/file_picker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>

#include "host/dialogs.h"
#include "host/host_loop.h"
#include "host/types.h"
#include "host/ui.h"
#include "support/scratch.h"

namespace kelvara {
namespace {

constexpr const char* kDesignFilter =
    "MicroStation files (*.dgn;*.cel)\n*.dgn;*.cel\nAutoCAD files (*.dwg;*.dxf)\n*.dwg;*.dxf\n"
    "All files (*.*)\n*.*";

// A user's steps, ';'-separated: "select ROW,ROW", "type TEXT", "filter INDEX", "ok", "cancel",
// "close".
struct Case {
  const char* name;
  bool create;
  FilePickerRequest request;  // startDirectory relative to the scratch folder
  const char* steps;
  std::deque<int> answers;         // to the dialog's own questions
  const char* rowsBeforeLastStep;  // the list as shown, space-separated
  int result;                      // SUCCESS or ACTION_CANCEL
  const char* chosen;              // space-separated, relative to the scratch folder
  std::vector<std::string> boxes;  // info and message box texts, scratch folder as "@"
};

const std::string kReplace = "\"@/old.lst\" already exists. Do you want to replace it?";

// clang-format off
const std::vector<Case> kCases = {
    {"another filter lists its files; a typed relative path is taken", false,
     {"Pick", kDesignFilter, "sub", "", false}, "filter 1;type ../c.dwg;ok", {}, "../", SUCCESS,
     "c.dwg", {}},
    {"a file that does not exist is refused, Cancel answers", false,
     {"Pick", "*.dgn", "", "", false}, "type missing.dgn;ok;cancel", {}, "../ sub/ a.dgn b.DGN",
     ACTION_CANCEL, "", {"Cannot find the file \"@/missing.dgn\"."}},
    {"one file only without multiple selection", false, {"Pick", "*.dgn", "", "", false},
     "type \"a.dgn\" \"b.DGN\";ok;close", {}, "../ sub/ a.dgn b.DGN", ACTION_CANCEL, "",
     {"Choose one file."}},
    {"create: an existing file is replaced only when the user says yes", true,
     {"Create A Batch File", "*.lst", "", "", false}, "select old.lst;ok;ok",
     {ANSWER_NO, ANSWER_YES}, "../ sub/ old.lst", SUCCESS, "old.lst", {kReplace, kReplace}},
};
// clang-format on

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// The indices of the named rows, as the list box's selection value.
std::string rowsNamed(const std::string& names) {
  const DialogItem* list =
      mdlDialog_itemGetById(mdlDialog_find(FILE_PICKER_DIALOG_ID), PICKER_LIST);
  std::string value;
  for (const std::string& name : test::split(names, ',')) {
    const auto it = std::find(list->choices.begin(), list->choices.end(), name);
    value += (value.empty() ? "" : ",") + std::to_string(it - list->choices.begin());
  }
  return value;
}

EventResult apply(const std::string& step) {
  const int id = FILE_PICKER_DIALOG_ID;
  const size_t space = step.find(' ');
  const std::string verb = step.substr(0, space);
  const std::string value = space == std::string::npos ? "" : step.substr(space + 1);
  if (verb == "select") {
    return dialogs_handleEvent({id, PICKER_LIST, DialogEventKind::Change, rowsNamed(value)});
  }
  if (verb == "type" || verb == "filter") {
    const int item = verb == "type" ? PICKER_NAME : PICKER_TYPE;
    return dialogs_handleEvent({id, item, DialogEventKind::Change, value});
  }
  if (verb == "ok" || verb == "cancel") {
    const int item = verb == "ok" ? PICKER_OK : PICKER_CANCEL;
    return dialogs_handleEvent({id, item, DialogEventKind::Button, ""});
  }
  return dialogs_handleEvent({id, 0, DialogEventKind::Close, ""});
}

TEST(FilePicker, RefusesWhatCannotBeChosenAndAsksBeforeReplacing) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    test::ScratchDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    for (const char* name : {"a.dgn", "b.DGN", "c.dwg", "notes.txt", ".hidden.dgn", "sub/d.dgn",
                             c.create ? "old.lst" : "x.cel.bak"}) {
      std::ofstream(dir.file(name)) << "x";
    }
    resetDialogManager();
    resetHostLoop();
    ScopedScriptedUi ui;
    ui.script.answers = c.answers;
    FilePickerRequest request = c.request;
    request.startDirectory = dir.file(request.startDirectory);
    std::string rowsSeen;
    bool leftOpen = false;
    const std::vector<std::string> steps = test::split(c.steps, ';');
    for (size_t i = 0; i < steps.size(); ++i) {
      postHostTask([&, i] {
        if (i + 1 == steps.size()) {
          const DialogBox* db = mdlDialog_find(FILE_PICKER_DIALOG_ID);
          rowsSeen = joined(db->items[PICKER_LIST - 1].choices);
          EXPECT_EQ(db->title, c.request.title);
        }
        EXPECT_EQ(apply(steps[i]), EventResult::Done) << steps[i];
      });
    }
    postHostTask([&] {
      leftOpen = true;
      (void)apply("close");
    });
    std::vector<std::string> chosen;
    int result = ERROR;
    if (c.create) {
      std::string one;
      result = mdlDialog_fileCreate(&one, request);
      if (result == SUCCESS) chosen.push_back(one);
    } else {
      result = mdlDialog_fileOpen(&chosen, request);
    }
    EXPECT_FALSE(leftOpen);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(rowsSeen, c.rowsBeforeLastStep);
    std::vector<std::string> expected;
    for (const std::string& name : test::split(c.chosen, ' ')) expected.push_back(dir.file(name));
    EXPECT_EQ(chosen, expected);
    std::vector<std::string> boxes = ui.script.texts(UiEventKind::InfoBox);
    for (const std::string& t : ui.script.texts(UiEventKind::MessageBox)) boxes.push_back(t);
    for (std::string& text : boxes) text = test::replaceAll(text, dir.path(), "@");
    EXPECT_EQ(boxes, c.boxes);
    EXPECT_EQ(mdlDialog_find(FILE_PICKER_DIALOG_ID), nullptr);
  }
  resetHostLoop();
}

TEST(FilePicker, AnOpenDialogRefusesASecondOne) {
  resetDialogManager();
  resetHostLoop();
  int inner = SUCCESS;
  postHostTask([&] {
    inner = mdlDialog_fileOpen(nullptr, {"Inner", "*.lst", "", "", false});
    (void)dialogs_handleEvent({FILE_PICKER_DIALOG_ID, PICKER_CANCEL, DialogEventKind::Button, ""});
  });
  EXPECT_EQ(mdlDialog_fileOpen(nullptr, {"Outer", "*.lst", "", "", false}), ACTION_CANCEL);
  EXPECT_EQ(inner, ERROR);
  resetHostLoop();
}

}  // namespace
}  // namespace kelvara
